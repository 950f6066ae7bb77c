// SSE2 versions of the adaptive detector's kernels: 8 pixels per step for the luma and the
// classification (16-bit lanes), 16 mask bytes per step for erosion and dilation; what is left
// of a row goes to the scalar reference.
#if defined(__x86_64__) || defined(_M_X64)

#include <emmintrin.h>

#include <cstring>
#include <algorithm>
#include <cstddef>

#include "detection/AdaptiveKernelsImpl.h"

namespace AdaptiveKernelsSse2 {

namespace {

__m128i Load(const void* p) {
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
__m128i Load64(const void* p) {
    return _mm_loadl_epi64(static_cast<const __m128i*>(p));
}
int64_t SumLanes(__m128i v) {
    alignas(16) int32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), v);
    return int64_t{lanes[0]} + lanes[1] + lanes[2] + lanes[3];
}

// Luma of 8 pixels (32 bytes) in 16-bit lanes.
__m128i Luma8(const uint8_t* frame) {
    const __m128i low = _mm_set1_epi32(0xFF);
    const __m128i a = Load(frame);
    const __m128i b = Load(frame + 16);
    const __m128i blue = _mm_packs_epi32(_mm_and_si128(a, low), _mm_and_si128(b, low));
    const __m128i green = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(a, 8), low),
                                          _mm_and_si128(_mm_srli_epi32(b, 8), low));
    const __m128i red = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(a, 16), low),
                                        _mm_and_si128(_mm_srli_epi32(b, 16), low));
    // At most 65408: exact in unsigned 16-bit lanes.
    __m128i sum = _mm_mullo_epi16(blue, _mm_set1_epi16(29));
    sum = _mm_add_epi16(sum, _mm_mullo_epi16(green, _mm_set1_epi16(150)));
    sum = _mm_add_epi16(sum, _mm_mullo_epi16(red, _mm_set1_epi16(77)));
    sum = _mm_add_epi16(sum, _mm_set1_epi16(128));
    return _mm_srli_epi16(sum, 8);
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
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi16(1);
    __m128i sums = zero;    // int32 lanes
    __m128i counts = zero;  // int32 lanes, minus the still pixels
    int32_t i = 0;
    int32_t pending = 0;
    int64_t same = 0;
    for (; i + 8 <= Pixels; i += 8) {
        const __m128i luma = Luma8(frame + static_cast<size_t>(i) * 4);
        const __m128i luma8 = _mm_packus_epi16(luma, luma);
        const __m128i unaltered = _mm_cmpeq_epi8(luma8, Load64(Luma + i));
        same += __builtin_popcount(_mm_movemask_epi8(unaltered) & 0xFF);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(Luma + i), luma8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(Altered + i),
                         _mm_xor_si128(unaltered, _mm_set1_epi8(-1)));
        const __m128i diff = _mm_sub_epi16(_mm_slli_epi16(luma, 4), Load(Background + i));
        const __m128i mask = _mm_unpacklo_epi8(Load64(PreviousMask + i), zero);
        const __m128i still = _mm_cmpeq_epi16(mask, zero);
        sums = _mm_add_epi32(sums, _mm_madd_epi16(_mm_and_si128(diff, still), ones));
        counts = _mm_add_epi32(counts, _mm_madd_epi16(still, ones));
        // Each lane grows by at most 2 x 4080 per step: flushed long before it could wrap.
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
    const __m128i zero = _mm_setzero_si128();
    const __m128i offset = _mm_set1_epi16(static_cast<int16_t>(Params.Offset));
    const __m128i minThreshold = _mm_set1_epi16(static_cast<int16_t>(Params.MinThreshold));
    const __m128i clamp = _mm_set1_epi16(static_cast<int16_t>(kAdaptiveNoiseClamp));
    const __m128i maxBackground = _mm_set1_epi16(static_cast<int16_t>(kAdaptiveMaxBackground));
    const __m128i gainShift = _mm_cvtsi32_si128(Params.NoiseGainShift);
    const __m128i noiseShift = _mm_cvtsi32_si128(Params.NoiseShift);
    const __m128i noiseSlowShift = _mm_cvtsi32_si128(Params.NoiseSlowShift);
    const __m128i fastShift = _mm_cvtsi32_si128(Params.FastShift);
    const __m128i slowShift = _mm_cvtsi32_si128(Params.SlowShift);
    uint32_t changed = 0;
    int32_t i = 0;
    for (; i + 8 <= Pixels; i += 8) {
        const __m128i luma16 = _mm_slli_epi16(_mm_unpacklo_epi8(Load64(Luma + i), zero), 4);
        const __m128i background = Load(Background + i);
        const __m128i noise = Load(Noise + i);
        const __m128i signedDeviation =
            _mm_sub_epi16(_mm_sub_epi16(luma16, background), offset);
        const __m128i deviation =
            _mm_max_epi16(signedDeviation, _mm_sub_epi16(zero, signedDeviation));
        const __m128i threshold = _mm_add_epi16(minThreshold, _mm_sll_epi16(noise, gainShift));
        const __m128i isChanged = _mm_cmpgt_epi16(deviation, threshold);
        const __m128i mask8 = _mm_packs_epi16(isChanged, isChanged);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(Mask + i), mask8);
        changed += static_cast<uint32_t>(__builtin_popcount(_mm_movemask_epi8(mask8) & 0xFF));

        const __m128i noiseError = _mm_sub_epi16(_mm_min_epi16(deviation, clamp), noise);
        const __m128i noiseStep =
            _mm_or_si128(_mm_andnot_si128(isChanged, _mm_sra_epi16(noiseError, noiseShift)),
                         _mm_and_si128(isChanged, _mm_sra_epi16(noiseError, noiseSlowShift)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Noise + i), _mm_add_epi16(noise, noiseStep));

        const __m128i step = _mm_or_si128(
            _mm_andnot_si128(isChanged, _mm_sra_epi16(signedDeviation, fastShift)),
            _mm_and_si128(isChanged, _mm_sra_epi16(signedDeviation, slowShift)));
        const __m128i updated = _mm_add_epi16(_mm_add_epi16(background, offset), step);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Background + i),
                         _mm_min_epi16(_mm_max_epi16(updated, zero), maxBackground));
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
    const __m128i zero = _mm_setzero_si128();
    const __m128i all = _mm_set1_epi8(-1);
    Out[0] = 0;
    int32_t x = 1;
    for (; x + 16 <= Width - 1; x += 16) {
        __m128i m = _mm_min_epu8(Load(Up + x - 1), Load(Up + x));
        m = _mm_min_epu8(m, Load(Up + x + 1));
        m = _mm_min_epu8(m, Load(Mid + x - 1));
        m = _mm_min_epu8(m, Load(Mid + x));
        m = _mm_min_epu8(m, Load(Mid + x + 1));
        m = _mm_min_epu8(m, Load(Down + x - 1));
        m = _mm_min_epu8(m, Load(Down + x));
        m = _mm_min_epu8(m, Load(Down + x + 1));
        // 0xFF where the minimum is non-zero.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + x), _mm_xor_si128(_mm_cmpeq_epi8(m, zero), all));
    }
    for (; x < Width; ++x) {
        Out[x] = AdaptiveKernelsScalar::ErodedRowAt(Up, Mid, Down, Width, x);
    }
}

void AdaptiveDilateRow(const uint8_t* Up, const uint8_t* Mid, const uint8_t* Down,
                       const uint8_t* Gate, uint8_t* Out, int32_t Width) {
    if (Width <= 0) {
        return;
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i all = _mm_set1_epi8(-1);
    Out[0] = Gate[0] != 0 && AdaptiveKernelsScalar::DilatedRowAt(Up, Mid, Down, Width, 0) ? 0xFF : 0;
    int32_t x = 1;
    for (; x + 16 <= Width - 1; x += 16) {
        __m128i m = _mm_max_epu8(Load(Up + x - 1), Load(Up + x));
        m = _mm_max_epu8(m, Load(Up + x + 1));
        m = _mm_max_epu8(m, Load(Mid + x - 1));
        m = _mm_max_epu8(m, Load(Mid + x));
        m = _mm_max_epu8(m, Load(Mid + x + 1));
        m = _mm_max_epu8(m, Load(Down + x - 1));
        m = _mm_max_epu8(m, Load(Down + x));
        m = _mm_max_epu8(m, Load(Down + x + 1));
        // 0xFF where the maximum and the gate are both non-zero.
        const __m128i closed = _mm_or_si128(_mm_cmpeq_epi8(m, zero), _mm_cmpeq_epi8(Load(Gate + x), zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + x), _mm_xor_si128(closed, all));
    }
    for (; x < Width; ++x) {
        Out[x] = Gate[x] != 0 && AdaptiveKernelsScalar::DilatedRowAt(Up, Mid, Down, Width, x) ? 0xFF : 0;
    }
}

uint32_t AdaptiveDilateCountRow(const uint8_t* Up, const uint8_t* Mid, const uint8_t* Down,
                                int32_t Width) {
    if (Width <= 0) {
        return 0;
    }
    const __m128i zero = _mm_setzero_si128();
    uint32_t count = AdaptiveKernelsScalar::DilatedRowAt(Up, Mid, Down, Width, 0) ? 1 : 0;
    int32_t x = 1;
    for (; x + 16 <= Width - 1; x += 16) {
        __m128i m = _mm_max_epu8(Load(Up + x - 1), Load(Up + x));
        m = _mm_max_epu8(m, Load(Up + x + 1));
        m = _mm_max_epu8(m, Load(Mid + x - 1));
        m = _mm_max_epu8(m, Load(Mid + x));
        m = _mm_max_epu8(m, Load(Mid + x + 1));
        m = _mm_max_epu8(m, Load(Down + x - 1));
        m = _mm_max_epu8(m, Load(Down + x));
        m = _mm_max_epu8(m, Load(Down + x + 1));
        count += 16 - static_cast<uint32_t>(__builtin_popcount(
                            static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(m, zero)))));
    }
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

}  // namespace AdaptiveKernelsSse2

#endif
