#include "recording/I420Conversion.h"

#include <algorithm>

namespace {

uint8_t Clamp8(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// BT.601 limited range in 8-bit fixed point (the coefficients scaled by 256).
uint8_t LumaOf(int32_t r, int32_t g, int32_t b) {
    return Clamp8(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}

size_t ChromaWidth(int32_t Width) { return static_cast<size_t>((Width + 1) / 2); }
size_t ChromaHeight(int32_t Height) { return static_cast<size_t>((Height + 1) / 2); }

}  // namespace

size_t I420FrameBytes(int32_t Width, int32_t Height) {
    if (Width <= 0 || Height <= 0) {
        return 0;
    }
    return static_cast<size_t>(Width) * static_cast<size_t>(Height) +
           2 * ChromaWidth(Width) * ChromaHeight(Height);
}

void ConvertRgb32BottomUpToI420(const uint8_t* Src, int32_t Width, int32_t Height, uint8_t* Dst) {
    if (Src == nullptr || Dst == nullptr || Width <= 0 || Height <= 0) {
        return;
    }
    const size_t w = static_cast<size_t>(Width);
    const size_t h = static_cast<size_t>(Height);
    const size_t cw = ChromaWidth(Width);
    const size_t ch = ChromaHeight(Height);
    uint8_t* yPlane = Dst;
    uint8_t* uPlane = Dst + w * h;
    uint8_t* vPlane = uPlane + cw * ch;
    const size_t rowBytes = w * 4;
    // Row y of the picture (top-down) is row h-1-y of the bottom-up source.
    auto pixel = [&](size_t x, size_t y) { return Src + (h - 1 - y) * rowBytes + x * 4; };
    for (size_t y = 0; y < h; ++y) {
        for (size_t x = 0; x < w; ++x) {
            const uint8_t* p = pixel(x, y);
            yPlane[y * w + x] = LumaOf(p[2], p[1], p[0]);
        }
    }
    for (size_t cy = 0; cy < ch; ++cy) {
        for (size_t cx = 0; cx < cw; ++cx) {
            int32_t r = 0;
            int32_t g = 0;
            int32_t b = 0;
            int32_t n = 0;
            for (size_t dy = 0; dy < 2; ++dy) {
                for (size_t dx = 0; dx < 2; ++dx) {
                    const size_t x = cx * 2 + dx;
                    const size_t y = cy * 2 + dy;
                    if (x < w && y < h) {
                        const uint8_t* p = pixel(x, y);
                        r += p[2];
                        g += p[1];
                        b += p[0];
                        ++n;
                    }
                }
            }
            r = (r + n / 2) / n;
            g = (g + n / 2) / n;
            b = (b + n / 2) / n;
            uPlane[cy * cw + cx] = Clamp8(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
            vPlane[cy * cw + cx] = Clamp8(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
        }
    }
}

void ConvertI420ToRgb32BottomUp(const uint8_t* Src, int32_t Width, int32_t Height, uint8_t* Dst) {
    if (Src == nullptr || Dst == nullptr || Width <= 0 || Height <= 0) {
        return;
    }
    const size_t w = static_cast<size_t>(Width);
    const size_t h = static_cast<size_t>(Height);
    const size_t cw = ChromaWidth(Width);
    const size_t ch = ChromaHeight(Height);
    const uint8_t* yPlane = Src;
    const uint8_t* uPlane = Src + w * h;
    const uint8_t* vPlane = uPlane + cw * ch;
    const size_t rowBytes = w * 4;
    for (size_t y = 0; y < h; ++y) {
        uint8_t* row = Dst + (h - 1 - y) * rowBytes;
        for (size_t x = 0; x < w; ++x) {
            const int32_t c = 298 * (yPlane[y * w + x] - 16);
            const int32_t d = uPlane[(y / 2) * cw + x / 2] - 128;
            const int32_t e = vPlane[(y / 2) * cw + x / 2] - 128;
            uint8_t* p = row + x * 4;
            p[0] = Clamp8((c + 516 * d + 128) >> 8);
            p[1] = Clamp8((c - 100 * d - 208 * e + 128) >> 8);
            p[2] = Clamp8((c + 409 * e + 128) >> 8);
            p[3] = 255;
        }
    }
}
