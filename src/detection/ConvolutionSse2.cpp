// SSE2 convolution: 16 destination bytes (four pixels) per block, all four bytes of a pixel
// computed alike and the fourth masked to 0 afterwards.
#if defined(__x86_64__) || defined(_M_X64)

#include <emmintrin.h>

#include <cstring>

#include "detection/Convolution.h"
#include "detection/PixelKernelsSimd.h"

namespace PixelKernelsSse2 {

namespace {

using PixelKernelsDetail::TConvolutionPlan;

constexpr size_t kVector = 16;
constexpr size_t kPixelBytes = 4;

__m128i Load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
void Store(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
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

// Sums that fit in 16 bits: one multiply per tap on eight 16-bit lanes.
class TInt16Block {
public:
    TInt16Block(const int32_t Kernel[9], int32_t Bias) {
        for (int t = 0; t < 9; ++t) {
            FWeights[t] = _mm_set1_epi16(static_cast<int16_t>(Kernel[t]));
        }
        FBias = _mm_set1_epi16(static_cast<int16_t>(Bias));
    }

    __m128i Compute(const TTaps& taps, size_t i) const {
        const __m128i zero = _mm_setzero_si128();
        __m128i lo = zero;
        __m128i hi = zero;
#pragma GCC unroll 9
        for (int t = 0; t < 9; ++t) {
            const __m128i v = Load(taps.At[t] + i);
            lo = _mm_add_epi16(lo, _mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), FWeights[t]));
            hi = _mm_add_epi16(hi, _mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), FWeights[t]));
        }
        // Saturation keeps the sign and anything beyond 255, so packus clamps like the reference.
        lo = _mm_adds_epi16(lo, FBias);
        hi = _mm_adds_epi16(hi, FBias);
        return _mm_packus_epi16(lo, hi);
    }

private:
    __m128i FWeights[9];
    __m128i FBias;
};

// 32-bit sums from pairs of 16-bit products (pmaddwd), any divisor, wrapping bias add.
class TInt32Block {
public:
    TInt32Block(const int32_t Kernel[9], int32_t Bias)
        : FDivisor(PixelKernelsDetail::ConvolutionDivisor(Kernel)),
          FDivisorPd(_mm_set1_pd(FDivisor)),
          FBias(_mm_set1_epi32(Bias)) {
        for (int p = 0; p < 5; ++p) {
            const auto first = static_cast<uint16_t>(Kernel[2 * p]);
            const auto second = static_cast<uint16_t>(p < 4 ? Kernel[2 * p + 1] : 0);
            FPairWeights[p] = _mm_set1_epi32(static_cast<int>(first | (uint32_t{second} << 16)));
        }
    }

    __m128i Compute(const TTaps& taps, size_t i) const {
        const __m128i zero = _mm_setzero_si128();
        __m128i sums[4] = {zero, zero, zero, zero};  // destination bytes 0-3, 4-7, 8-11, 12-15
#pragma GCC unroll 5
        for (int p = 0; p < 5; ++p) {
            const __m128i a = Load(taps.At[2 * p] + i);
            const __m128i b = p < 4 ? Load(taps.At[2 * p + 1] + i) : zero;
            const __m128i aLo = _mm_unpacklo_epi8(a, zero);
            const __m128i aHi = _mm_unpackhi_epi8(a, zero);
            const __m128i bLo = _mm_unpacklo_epi8(b, zero);
            const __m128i bHi = _mm_unpackhi_epi8(b, zero);
            const __m128i w = FPairWeights[p];
            sums[0] = _mm_add_epi32(sums[0], _mm_madd_epi16(_mm_unpacklo_epi16(aLo, bLo), w));
            sums[1] = _mm_add_epi32(sums[1], _mm_madd_epi16(_mm_unpackhi_epi16(aLo, bLo), w));
            sums[2] = _mm_add_epi32(sums[2], _mm_madd_epi16(_mm_unpacklo_epi16(aHi, bHi), w));
            sums[3] = _mm_add_epi32(sums[3], _mm_madd_epi16(_mm_unpackhi_epi16(aHi, bHi), w));
        }
        for (__m128i& s : sums) {
            if (FDivisor != 1) {
                s = Divide(s);
            }
            s = _mm_add_epi32(s, FBias);
        }
        return _mm_packus_epi16(_mm_packs_epi32(sums[0], sums[1]),
                                _mm_packs_epi32(sums[2], sums[3]));
    }

private:
    // Truncating division through double: for 32-bit operands the rounded quotient never
    // reaches the next integer, so truncating it gives the exact integer quotient.
    __m128i Divide(__m128i v) const {
        const __m128d lo = _mm_div_pd(_mm_cvtepi32_pd(v), FDivisorPd);
        const __m128d hi =
            _mm_div_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(v, _MM_SHUFFLE(3, 2, 3, 2))), FDivisorPd);
        return _mm_unpacklo_epi64(_mm_cvttpd_epi32(lo), _mm_cvttpd_epi32(hi));
    }

    int32_t FDivisor;
    __m128d FDivisorPd;
    __m128i FBias;
    __m128i FPairWeights[5];
};

// Needs Width >= 6 (at least one whole block of interior bytes per row) and Height >= 3.
template <typename Block>
void ConvolveRows(const uint8_t* src, uint8_t* dst, int32_t Width, int32_t Height,
                  const Block& block) {
    const size_t rowBytes = static_cast<size_t>(Width) * kPixelBytes;
    const size_t end = rowBytes - kPixelBytes;  // interior bytes are [kPixelBytes, end)
    const __m128i colourBytes = _mm_set1_epi32(0x00FFFFFF);
    std::memset(dst, 0, rowBytes);
    std::memset(dst + (Height - 1) * rowBytes, 0, rowBytes);
    for (int32_t y = 1; y < Height - 1; ++y) {
        const TTaps taps(src, rowBytes, y);
        uint8_t* out = dst + y * rowBytes;
        std::memset(out, 0, kPixelBytes);
        std::memset(out + end, 0, kPixelBytes);
        size_t i = kPixelBytes;
        for (; i + kVector <= end; i += kVector) {
            Store(out + i, _mm_and_si128(block.Compute(taps, i), colourBytes));
        }
        if (i < end) {  // a last block overlapping the previous one
            i = end - kVector;
            Store(out + i, _mm_and_si128(block.Compute(taps, i), colourBytes));
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
    const TConvolutionPlan plan = PlanConvolution(Src, Dst, Width, Height, Kernel, Bias);
    if (plan == TConvolutionPlan::Scalar || Width < 6 || Height < 3) {
        return ConvolveRGB32Scalar(Src, Dst, Width, Height, Kernel, Bias);
    }
    const auto* src = static_cast<const uint8_t*>(Src);
    auto* dst = static_cast<uint8_t*>(Dst);
    if (plan == TConvolutionPlan::Int16) {
        ConvolveRows(src, dst, Width, Height, TInt16Block(Kernel, Bias));
    } else {
        ConvolveRows(src, dst, Width, Height, TInt32Block(Kernel, Bias));
    }
    return true;
}

}  // namespace PixelKernelsSse2

#endif
