// AVX2 convolution for the common case (divisor 1, small weights such as the edge kernel):
// 32 destination bytes per block, taps paired so that one pmaddubsw applies two weights.
// Every other case goes to the SSE2 version. Built with -mavx2.
#if defined(__x86_64__) || defined(_M_X64)

#include <immintrin.h>

#include <cstring>

#include "detection/Convolution.h"
#include "detection/PixelKernelsSimd.h"

namespace PixelKernelsAvx2 {

namespace {

using PixelKernelsDetail::TConvolutionPlan;

constexpr size_t kVector = 32;
constexpr size_t kPixelBytes = 4;

__m256i Load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
void Store(uint8_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

bool FitsInt8(int32_t k) {
    return k >= -128 && k <= 127;
}

// Per destination row: where kernel tap 3 * c + r reads, relative to the destination byte's
// offset in the row (source row r - 1 around it, column offset c - 1).
struct TTaps {
    TTaps(const uint8_t* src, size_t rowBytes, int32_t y) {
        for (int t = 0; t < 9; ++t) {
            const uint8_t* row = src + (y + t % 3 - 1) * rowBytes;
            At[t] = row + (t / 3) * kPixelBytes - kPixelBytes;
        }
    }
    const uint8_t* At[9];
};

// Taps 0-1, 2-3, 4-5, 6-7 and 8 (with a zero partner) are interleaved byte-wise and multiplied
// by their weight pair. With the sum of |weights| * 255 within 16 bits nothing saturates before
// the bias add. The in-lane unpacks are undone by the in-lane pack at the end.
class TInt16Block {
public:
    TInt16Block(const int32_t Kernel[9], int32_t Bias) {
        for (int p = 0; p < 5; ++p) {
            const auto first = static_cast<uint8_t>(Kernel[2 * p]);
            const auto second = static_cast<uint8_t>(p < 4 ? Kernel[2 * p + 1] : 0);
            FPairWeights[p] = _mm256_set1_epi16(static_cast<int16_t>(first | (second << 8)));
        }
        FBias = _mm256_set1_epi16(static_cast<int16_t>(Bias));
    }

    __m256i Compute(const TTaps& taps, size_t i) const {
        const __m256i zero = _mm256_setzero_si256();
        __m256i lo = zero;
        __m256i hi = zero;
#pragma GCC unroll 5
        for (int p = 0; p < 5; ++p) {
            const __m256i a = Load(taps.At[2 * p] + i);
            const __m256i b = p < 4 ? Load(taps.At[2 * p + 1] + i) : zero;
            lo = _mm256_add_epi16(
                lo, _mm256_maddubs_epi16(_mm256_unpacklo_epi8(a, b), FPairWeights[p]));
            hi = _mm256_add_epi16(
                hi, _mm256_maddubs_epi16(_mm256_unpackhi_epi8(a, b), FPairWeights[p]));
        }
        // Saturation keeps the sign and anything beyond 255, so packus clamps like the reference.
        lo = _mm256_adds_epi16(lo, FBias);
        hi = _mm256_adds_epi16(hi, FBias);
        return _mm256_packus_epi16(lo, hi);
    }

private:
    __m256i FPairWeights[5];
    __m256i FBias;
};

// Needs Width >= 10 (at least one whole block of interior bytes per row) and Height >= 3.
void ConvolveRows(const uint8_t* src, uint8_t* dst, int32_t Width, int32_t Height,
                  const TInt16Block& block) {
    const size_t rowBytes = static_cast<size_t>(Width) * kPixelBytes;
    const size_t end = rowBytes - kPixelBytes;  // interior bytes are [kPixelBytes, end)
    const __m256i colourBytes = _mm256_set1_epi32(0x00FFFFFF);
    std::memset(dst, 0, rowBytes);
    std::memset(dst + (Height - 1) * rowBytes, 0, rowBytes);
    for (int32_t y = 1; y < Height - 1; ++y) {
        const TTaps taps(src, rowBytes, y);
        uint8_t* out = dst + y * rowBytes;
        std::memset(out, 0, kPixelBytes);
        std::memset(out + end, 0, kPixelBytes);
        size_t i = kPixelBytes;
        for (; i + kVector <= end; i += kVector) {
            Store(out + i, _mm256_and_si256(block.Compute(taps, i), colourBytes));
        }
        if (i < end) {  // a last block overlapping the previous one
            i = end - kVector;
            Store(out + i, _mm256_and_si256(block.Compute(taps, i), colourBytes));
        }
    }
}

}  // namespace

bool ConvolveRGB32(const void* Src, void* Dst, int32_t Width, int32_t Height,
                   const int32_t Kernel[9], int32_t Bias) {
    using namespace PixelKernelsDetail;
    if (!ValidConvolutionArguments(Src, Dst, Width, Height, Kernel)) {
        return false;
    }
    bool weightsFitInt8 = true;
    for (int t = 0; t < 9; ++t) {
        weightsFitInt8 = weightsFitInt8 && FitsInt8(Kernel[t]);
    }
    if (!weightsFitInt8 || Width < 10 || Height < 3 ||
        PlanConvolution(Src, Dst, Width, Height, Kernel, Bias) != TConvolutionPlan::Int16) {
        return PixelKernelsSse2::ConvolveRGB32(Src, Dst, Width, Height, Kernel, Bias);
    }
    ConvolveRows(static_cast<const uint8_t*>(Src), static_cast<uint8_t*>(Dst), Width, Height,
                 TInt16Block(Kernel, Bias));
    return true;
}

}  // namespace PixelKernelsAvx2

#endif
