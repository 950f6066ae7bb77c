#include "recording/I420Conversion.h"

#include <algorithm>
#include <atomic>

#include "platform/KernelChoice.h"
#include "recording/I420ConversionImpl.h"

namespace {

uint8_t Clamp8(int32_t v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
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

struct TImplementation {
    const char* Name;
    bool NeedsAvx2;
    I420ConversionDetail::TRowPairConverter RowPair;
};

constexpr TImplementation kScalar = {"scalar", false, I420ConversionScalar::ConvertRowPair};
#if defined(__x86_64__) || defined(_M_X64)
constexpr TImplementation kSse2 = {"sse2", false, I420ConversionSse2::ConvertRowPair};
const TImplementation* const kImplementations[] = {&kSse2, &kScalar};
#else
const TImplementation* const kImplementations[] = {&kScalar};
#endif

constinit std::atomic<const TImplementation*> gCurrent{nullptr};

const TImplementation& CurrentImplementation() {
    return KernelChoice::Current(gCurrent, kImplementations);
}

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
    const I420ConversionDetail::TRowPairConverter rowPair = CurrentImplementation().RowPair;
    const TI420Planes<uint8_t> planes(Dst, Width, Height);
    const size_t rowBytes = planes.W * 4;
    // One pass per pair of picture rows (top-down row y is bottom-up row h-1-y). A last single
    // row (odd height) pairs with itself.
    for (size_t cy = 0; cy < planes.CH; ++cy) {
        const size_t y0 = cy * 2;
        const size_t y1 = std::min(y0 + 1, planes.H - 1);
        rowPair(Src + (planes.H - 1 - y0) * rowBytes, Src + (planes.H - 1 - y1) * rowBytes,
                planes.Y + y0 * planes.W, y1 != y0 ? planes.Y + y1 * planes.W : nullptr,
                planes.U + cy * planes.CW, planes.V + cy * planes.CW, Width);
    }
}

const char* I420ConversionImplementationName() {
    return CurrentImplementation().Name;
}

bool SelectI420ConversionImplementation(const char* name) {
    return KernelChoice::Select(gCurrent, kImplementations, name);
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
