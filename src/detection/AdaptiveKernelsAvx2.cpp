// AVX2 versions of the adaptive detector's kernels: 16 pixels per step for the luma and the
// classification (16-bit lanes), 32 mask bytes per step for erosion and dilation; what is left
// of a row goes to the scalar reference. Built with -mavx2; no inline or template functions
// shared with other files are instantiated here.
#if defined(__x86_64__) || defined(_M_X64)

#include <immintrin.h>

#include <cstring>
#include <algorithm>
#include <cstddef>

#include "detection/AdaptiveKernelsImpl.h"

namespace AdaptiveKernelsAvx2 {

namespace {

__m256i Load(const void* p) {
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}
__m128i Load128(const void* p) {
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
int64_t SumLanes(__m256i v) {
    alignas(32) int32_t lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), v);
    int64_t sum = 0;
    for (int32_t lane : lanes) {
        sum += lane;
    }
    return sum;
}

// Luma of 16 pixels (64 bytes) in 16-bit lanes, in pixel order.
__m256i Luma16(const uint8_t* frame) {
    const __m256i low = _mm256_set1_epi32(0xFF);
    const __m256i a = Load(frame);
    const __m256i b = Load(frame + 32);
    // packs works per 128-bit half: reorder the 64-bit quarters back into pixel order.
    const auto pack = [](__m256i x, __m256i y) {
        return _mm256_permute4x64_epi64(_mm256_packs_epi32(x, y), 0xD8);
    };
    const __m256i blue = pack(_mm256_and_si256(a, low), _mm256_and_si256(b, low));
    const __m256i green = pack(_mm256_and_si256(_mm256_srli_epi32(a, 8), low),
                               _mm256_and_si256(_mm256_srli_epi32(b, 8), low));
    const __m256i red = pack(_mm256_and_si256(_mm256_srli_epi32(a, 16), low),
                             _mm256_and_si256(_mm256_srli_epi32(b, 16), low));
    __m256i sum = _mm256_mullo_epi16(blue, _mm256_set1_epi16(29));
    sum = _mm256_add_epi16(sum, _mm256_mullo_epi16(green, _mm256_set1_epi16(150)));
    sum = _mm256_add_epi16(sum, _mm256_mullo_epi16(red, _mm256_set1_epi16(77)));
    sum = _mm256_add_epi16(sum, _mm256_set1_epi16(128));
    return _mm256_srli_epi16(sum, 8);
}

// 16 words (0 or -1 / 0..255) to 16 bytes, in order.
__m128i PackBytes(__m256i words, bool isSigned) {
    const __m128i lowHalf = _mm256_castsi256_si128(words);
    const __m128i highHalf = _mm256_extracti128_si256(words, 1);
    return isSigned ? _mm_packs_epi16(lowHalf, highHalf) : _mm_packus_epi16(lowHalf, highHalf);
}

// The 3 x 3 minimum (IsMin) or maximum of the rows around a row, 32 bytes at a time, handed
// to Sink(x, result) for x = 1, 33, ... while x + 32 <= Width - 1; returns the first x left.
// The rows are combined first, once per column, and the columns x-1 and x+1 are taken from
// the combined neighbour blocks by byte alignment.
template <bool IsMin, typename TSink>
int32_t NeighbourhoodBlocks(const uint8_t* Up, const uint8_t* Mid, const uint8_t* Down,
                            int32_t Width, TSink Sink) {
    const auto op = [](__m256i a, __m256i b) {
        return IsMin ? _mm256_min_epu8(a, b) : _mm256_max_epu8(a, b);
    };
    const auto rows = [&](int32_t x) {
        return op(op(Load(Up + x), Load(Mid + x)), Load(Down + x));
    };
    int32_t x = 1;
    if (x + 32 > Width - 1) {
        return x;
    }
    // The first block reads its left column directly.
    __m256i previous = rows(x);
    Sink(x, op(op(rows(x - 1), previous), rows(x + 1)));
    x += 32;
    if (x + 64 <= Width) {
        __m256i current = rows(x);
        // The next block must lie wholly in the row.
        while (x + 64 <= Width) {
            const __m256i next = rows(x + 32);
            const __m256i left = _mm256_alignr_epi8(
                current, _mm256_permute2x128_si256(previous, current, 0x21), 15);
            const __m256i right = _mm256_alignr_epi8(
                _mm256_permute2x128_si256(current, next, 0x21), current, 1);
            Sink(x, op(op(left, current), right));
            previous = current;
            current = next;
            x += 32;
        }
    }
    for (; x + 32 <= Width - 1; x += 32) {
        Sink(x, op(op(rows(x - 1), rows(x)), rows(x + 1)));
    }
    return x;
}

}  // namespace

void AdaptiveLumaRow(const void* Frame, const uint16_t* Background, const uint8_t* PreviousMask,
                     uint8_t* Luma, uint8_t* Altered, int32_t Pixels, int64_t& DiffSum,
                     int64_t& StillCount, int64_t& AlteredCount) {
    if (Frame == nullptr || Background == nullptr || PreviousMask == nullptr ||
        Luma == nullptr || Altered == nullptr) {
        return;
    }
    const auto* frame = static_cast<const uint8_t*>(Frame);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i ones = _mm256_set1_epi16(1);
    __m256i sums = zero;
    __m256i counts = zero;
    int32_t i = 0;
    int32_t pending = 0;
    int64_t same = 0;
    for (; i + 16 <= Pixels; i += 16) {
        const __m256i luma = Luma16(frame + static_cast<size_t>(i) * 4);
        const __m128i luma8 = PackBytes(luma, false);
        const __m128i unaltered = _mm_cmpeq_epi8(luma8, Load128(Luma + i));
        same += __builtin_popcount(_mm_movemask_epi8(unaltered));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Luma + i), luma8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Altered + i),
                         _mm_xor_si128(unaltered, _mm_set1_epi8(-1)));
        const __m256i diff = _mm256_sub_epi16(_mm256_slli_epi16(luma, 4), Load(Background + i));
        const __m256i mask = _mm256_cvtepu8_epi16(Load128(PreviousMask + i));
        const __m256i still = _mm256_cmpeq_epi16(mask, zero);
        sums = _mm256_add_epi32(sums, _mm256_madd_epi16(_mm256_and_si256(diff, still), ones));
        counts = _mm256_add_epi32(counts, _mm256_madd_epi16(still, ones));
        if (++pending == 65536) {
            DiffSum += SumLanes(sums);
            StillCount -= SumLanes(counts);
            sums = zero;
            counts = zero;
            pending = 0;
        }
    }
    DiffSum += SumLanes(sums);
    StillCount -= SumLanes(counts);
    AlteredCount += i - same;
    AdaptiveKernelsScalar::AdaptiveLumaRow(frame + static_cast<size_t>(i) * 4, Background + i,
                                           PreviousMask + i, Luma + i, Altered + i, Pixels - i,
                                           DiffSum, StillCount, AlteredCount);
}

void AdaptiveClassify(const uint8_t* Luma, uint16_t* Background, uint16_t* Noise, uint8_t* Mask,
                      int32_t Pixels, const TAdaptiveClassifyParams& Params, uint32_t& Changed) {
    Changed = 0;
    if (Luma == nullptr || Background == nullptr || Noise == nullptr || Mask == nullptr) {
        return;
    }
    const __m256i offset = _mm256_set1_epi16(static_cast<int16_t>(Params.Offset));
    const __m256i minThreshold = _mm256_set1_epi16(static_cast<int16_t>(Params.MinThreshold));
    const __m256i clamp = _mm256_set1_epi16(static_cast<int16_t>(kAdaptiveNoiseClamp));
    const __m256i maxBackground = _mm256_set1_epi16(static_cast<int16_t>(kAdaptiveMaxBackground));
    const __m128i gainShift = _mm_cvtsi32_si128(Params.NoiseGainShift);
    const __m128i noiseShift = _mm_cvtsi32_si128(Params.NoiseShift);
    const __m128i noiseSlowShift = _mm_cvtsi32_si128(Params.NoiseSlowShift);
    const __m128i fastShift = _mm_cvtsi32_si128(Params.FastShift);
    const __m128i slowShift = _mm_cvtsi32_si128(Params.SlowShift);
    uint32_t changed = 0;
    int32_t i = 0;
    for (; i + 16 <= Pixels; i += 16) {
        const __m256i luma16 = _mm256_slli_epi16(_mm256_cvtepu8_epi16(Load128(Luma + i)), 4);
        const __m256i background = Load(Background + i);
        const __m256i noise = Load(Noise + i);
        const __m256i signedDeviation =
            _mm256_sub_epi16(_mm256_sub_epi16(luma16, background), offset);
        const __m256i deviation = _mm256_abs_epi16(signedDeviation);
        const __m256i threshold =
            _mm256_add_epi16(minThreshold, _mm256_sll_epi16(noise, gainShift));
        const __m256i isChanged = _mm256_cmpgt_epi16(deviation, threshold);
        const __m128i mask8 = PackBytes(isChanged, true);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Mask + i), mask8);
        changed += static_cast<uint32_t>(__builtin_popcount(_mm_movemask_epi8(mask8)));

        const __m256i noiseError = _mm256_sub_epi16(_mm256_min_epi16(deviation, clamp), noise);
        const __m256i noiseStep =
            _mm256_blendv_epi8(_mm256_sra_epi16(noiseError, noiseShift),
                               _mm256_sra_epi16(noiseError, noiseSlowShift), isChanged);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Noise + i),
                            _mm256_add_epi16(noise, noiseStep));

        const __m256i step = _mm256_blendv_epi8(_mm256_sra_epi16(signedDeviation, fastShift),
                                                _mm256_sra_epi16(signedDeviation, slowShift),
                                                isChanged);
        const __m256i updated = _mm256_add_epi16(_mm256_add_epi16(background, offset), step);
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(Background + i),
            _mm256_min_epi16(_mm256_max_epi16(updated, _mm256_setzero_si256()), maxBackground));
    }
    uint32_t tail = 0;
    AdaptiveKernelsScalar::AdaptiveClassify(Luma + i, Background + i, Noise + i, Mask + i,
                                            Pixels - i, Params, tail);
    Changed = changed + tail;
}

void AdaptiveErodeRow(const uint8_t* Up, const uint8_t* Mid, const uint8_t* Down, uint8_t* Out,
                      int32_t Width) {
    if (Width < 3) {
        std::memset(Out, 0, static_cast<size_t>(std::max(Width, 0)));
        return;
    }
    const __m256i zero = _mm256_setzero_si256();
    const __m256i all = _mm256_set1_epi8(-1);
    Out[0] = 0;
    int32_t x = NeighbourhoodBlocks<true>(Up, Mid, Down, Width, [&](int32_t at, __m256i m) {
        // 0xFF where the minimum is non-zero.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Out + at),
                            _mm256_xor_si256(_mm256_cmpeq_epi8(m, zero), all));
    });
    for (; x < Width; ++x) {
        Out[x] = AdaptiveKernelsScalar::ErodedRowAt(Up, Mid, Down, Width, x);
    }
}

void AdaptiveDilateRow(const uint8_t* Up, const uint8_t* Mid, const uint8_t* Down,
                       const uint8_t* Gate, uint8_t* Out, int32_t Width) {
    if (Width <= 0) {
        return;
    }
    const __m256i zero = _mm256_setzero_si256();
    const __m256i all = _mm256_set1_epi8(-1);
    Out[0] = Gate[0] != 0 && AdaptiveKernelsScalar::DilatedRowAt(Up, Mid, Down, Width, 0) ? 0xFF : 0;
    int32_t x = NeighbourhoodBlocks<false>(Up, Mid, Down, Width, [&](int32_t at, __m256i m) {
        // 0xFF where the maximum and the gate are both non-zero.
        const __m256i closed = _mm256_or_si256(_mm256_cmpeq_epi8(m, zero),
                                               _mm256_cmpeq_epi8(Load(Gate + at), zero));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Out + at), _mm256_xor_si256(closed, all));
    });
    for (; x < Width; ++x) {
        Out[x] = Gate[x] != 0 && AdaptiveKernelsScalar::DilatedRowAt(Up, Mid, Down, Width, x) ? 0xFF : 0;
    }
}

uint32_t AdaptiveDilateCountRow(const uint8_t* Up, const uint8_t* Mid, const uint8_t* Down,
                                int32_t Width) {
    if (Width <= 0) {
        return 0;
    }
    const __m256i zero = _mm256_setzero_si256();
    uint32_t count = AdaptiveKernelsScalar::DilatedRowAt(Up, Mid, Down, Width, 0) ? 1 : 0;
    int32_t x = NeighbourhoodBlocks<false>(Up, Mid, Down, Width, [&](int32_t, __m256i m) {
        count += 32 - static_cast<uint32_t>(__builtin_popcount(
                          static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(m, zero)))));
    });
    for (; x < Width; ++x) {
        count += AdaptiveKernelsScalar::DilatedRowAt(Up, Mid, Down, Width, x) ? 1 : 0;
    }
    return count;
}

void AdaptiveErode3x3(const uint8_t* Mask, uint8_t* Out, int32_t Width, int32_t Height) {
    AdaptiveKernelRows::Erode3x3<&AdaptiveErodeRow>(Mask, Out, Width, Height);
}

void AdaptiveDilate3x3(const uint8_t* Mask, const uint8_t* Gate, uint8_t* Out, int32_t Width,
                       int32_t Height) {
    AdaptiveKernelRows::Dilate3x3<&AdaptiveDilateRow>(Mask, Gate, Out, Width, Height);
}

void AdaptiveDilateCount3x3(const uint8_t* Mask, int32_t Width, int32_t Height,
                            uint32_t& Count) {
    AdaptiveKernelRows::DilateCount3x3<&AdaptiveDilateCountRow>(Mask, Width, Height, Count);
}

}  // namespace AdaptiveKernelsAvx2

#endif
