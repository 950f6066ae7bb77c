#include "recording/I420Conversion.h"

#include <algorithm>

namespace {

uint8_t Clamp8(int32_t v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

// BT.601 limited range in 8-bit fixed point (the coefficients scaled by 256).
uint8_t LumaOf(int32_t r, int32_t g, int32_t b) {
    return Clamp8(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}

size_t ChromaWidth(int32_t Width) {
    return static_cast<size_t>((Width + 1) / 2);
}
size_t ChromaHeight(int32_t Height) {
    return static_cast<size_t>((Height + 1) / 2);
}

// The sizes and planes of an I420 picture held in one block: luma, then U, then V.
template <typename TByte>
struct TI420Planes {
    size_t W, H, CW, CH;
    TByte* Y;
    TByte* U;
    TByte* V;

    TI420Planes(TByte* Block, int32_t Width, int32_t Height)
        : W(static_cast<size_t>(Width)),
          H(static_cast<size_t>(Height)),
          CW(ChromaWidth(Width)),
          CH(ChromaHeight(Height)),
          Y(Block),
          U(Block + W * H),
          V(Block + W * H + CW * CH) {}
};

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
    const TI420Planes<uint8_t> planes(Dst, Width, Height);
    const size_t w = planes.W;
    const size_t h = planes.H;
    const size_t cw = planes.CW;
    const size_t ch = planes.CH;
    uint8_t* yPlane = planes.Y;
    uint8_t* uPlane = planes.U;
    uint8_t* vPlane = planes.V;
    const size_t rowBytes = w * 4;
    // One pass per pair of picture rows (top-down row y is bottom-up row h-1-y): both rows'
    // luma, then the pair's chroma. A last single row (odd height) pairs with itself, a last
    // single column (odd width) with itself, which averages the same pixel twice.
    for (size_t cy = 0; cy < ch; ++cy) {
        const size_t y0 = cy * 2;
        const size_t y1 = std::min(y0 + 1, h - 1);
        const uint8_t* row0 = Src + (h - 1 - y0) * rowBytes;
        const uint8_t* row1 = Src + (h - 1 - y1) * rowBytes;
        uint8_t* luma0 = yPlane + y0 * w;
        uint8_t* luma1 = yPlane + y1 * w;
        for (size_t x = 0; x < w; ++x) {
            const uint8_t* p = row0 + x * 4;
            luma0[x] = LumaOf(p[2], p[1], p[0]);
        }
        if (y1 != y0) {
            for (size_t x = 0; x < w; ++x) {
                const uint8_t* p = row1 + x * 4;
                luma1[x] = LumaOf(p[2], p[1], p[0]);
            }
        }
        uint8_t* u = uPlane + cy * cw;
        uint8_t* v = vPlane + cy * cw;
        for (size_t cx = 0; cx < cw; ++cx) {
            const size_t x0 = cx * 2 * 4;
            const size_t x1 = std::min(cx * 2 + 1, w - 1) * 4;
            const int32_t b = (row0[x0] + row0[x1] + row1[x0] + row1[x1] + 2) >> 2;
            const int32_t g = (row0[x0 + 1] + row0[x1 + 1] + row1[x0 + 1] + row1[x1 + 1] + 2) >> 2;
            const int32_t r = (row0[x0 + 2] + row0[x1 + 2] + row1[x0 + 2] + row1[x1 + 2] + 2) >> 2;
            u[cx] = Clamp8(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
            v[cx] = Clamp8(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
        }
    }
}

void ConvertI420ToRgb32BottomUp(const uint8_t* Src, int32_t Width, int32_t Height, uint8_t* Dst) {
    if (Src == nullptr || Dst == nullptr || Width <= 0 || Height <= 0) {
        return;
    }
    const TI420Planes<const uint8_t> planes(Src, Width, Height);
    const size_t w = planes.W;
    const size_t h = planes.H;
    const size_t cw = planes.CW;
    const uint8_t* yPlane = planes.Y;
    const uint8_t* uPlane = planes.U;
    const uint8_t* vPlane = planes.V;
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
