#include "detection/Convolution.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "detection/PixelKernelsSimd.h"
#include "platform/Diagnostics.h"

namespace {

constexpr int kPixelBytes = 4;
constexpr int kColourBytes = 3;

// Wrapping 32-bit helpers: the arithmetic of the convolution is defined modulo 2^32.
int32_t WrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t WrapMul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
int32_t TruncatingDivide(int32_t a, int32_t b) {
    if (a == INT32_MIN && b == -1) {
        return INT32_MIN;  // the only quotient that does not fit; wraps
    }
    return a / b;
}

}  // namespace

namespace PixelKernelsDetail {

int32_t ConvolutionDivisor(const int32_t Kernel[9]) {
    int32_t sum = 0;
    for (int i = 0; i < 9; ++i) {
        sum = WrapAdd(sum, Kernel[i]);
    }
    return sum == 0 ? 1 : sum;
}

uint8_t ConvolvePixelByte(const uint8_t* Src, size_t RowBytes, size_t Offset,
                          const int32_t Kernel[9], int32_t Divisor, int32_t Bias) {
    int32_t sum = 0;
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r) {
            const size_t at = Offset + r * RowBytes + c * kPixelBytes - RowBytes - kPixelBytes;
            sum = WrapAdd(sum, WrapMul(Kernel[3 * c + r], Src[at]));
        }
    }
    const int32_t value = WrapAdd(TruncatingDivide(sum, Divisor), Bias);
    return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

bool ValidConvolutionArguments(const void* Src, const void* Dst, int32_t Width, int32_t Height,
                               const int32_t* Kernel) {
    return Src != nullptr && Dst != nullptr && Kernel != nullptr && Width > 0 && Height > 0;
}

TConvolutionPlan PlanConvolution(const void* Src, const void* Dst, int32_t Width, int32_t Height,
                                 const int32_t Kernel[9], int32_t Bias) {
    const size_t bytes = static_cast<size_t>(Width) * static_cast<size_t>(Height) * kPixelBytes;
    const auto src = reinterpret_cast<uintptr_t>(Src);
    const auto dst = reinterpret_cast<uintptr_t>(Dst);
    if (src < dst + bytes && dst < src + bytes) {
        return TConvolutionPlan::Scalar;  // the reference defines what overlapping buffers give
    }
    int64_t absoluteSum = 0;
    bool weightsFitInt16 = true;
    for (int i = 0; i < 9; ++i) {
        const int64_t k = Kernel[i];
        absoluteSum += k < 0 ? -k : k;
        weightsFitInt16 = weightsFitInt16 && k >= INT16_MIN && k <= INT16_MAX;
    }
    if (ConvolutionDivisor(Kernel) == 1 && absoluteSum * 255 <= INT16_MAX && Bias >= -INT16_MAX &&
        Bias <= INT16_MAX) {
        return TConvolutionPlan::Int16;
    }
    return weightsFitInt16 ? TConvolutionPlan::Int32 : TConvolutionPlan::Scalar;
}

}  // namespace PixelKernelsDetail

bool ConvolveRGB32Scalar(const void* Src, void* Dst, int32_t Width, int32_t Height,
                         const int32_t Kernel[9], int32_t Bias) {
    using namespace PixelKernelsDetail;
    if (!ValidConvolutionArguments(Src, Dst, Width, Height, Kernel)) {
        return false;
    }
    const auto* src = static_cast<const uint8_t*>(Src);
    auto* dst = static_cast<uint8_t*>(Dst);
    const size_t rowBytes = static_cast<size_t>(Width) * kPixelBytes;
    std::memset(dst, 0, rowBytes * static_cast<size_t>(Height));
    const int32_t divisor = ConvolutionDivisor(Kernel);
    for (int32_t y = 1; y < Height - 1; ++y) {
        for (int32_t x = 1; x < Width - 1; ++x) {
            const size_t pixel = y * rowBytes + static_cast<size_t>(x) * kPixelBytes;
            for (int b = 0; b < kColourBytes; ++b) {
                dst[pixel + b] = ConvolvePixelByte(src, rowBytes, pixel + b, Kernel, divisor, Bias);
            }
        }
    }
    return true;
}

bool ConvolveRGB32(const void* Src, void* Dst, int32_t Width, int32_t Height,
                   const int32_t Kernel[9], int32_t Bias) {
    try {
        return PixelKernelsDetail::CurrentPixelKernels().ConvolveRGB32(Src, Dst, Width, Height,
                                                                       Kernel, Bias);
    } catch (...) {
        LogMessage("Error in ConvolveRGB32 call...");
        return false;
    }
}
