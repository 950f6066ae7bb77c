// AVX2 versions of the packed pixel kernels: 32 bytes (eight pixels, four 8-byte steps) per
// iteration; the last up to three 8-byte steps go to the scalar reference. Built with -mavx2.
#if defined(__x86_64__) || defined(_M_X64)

#include <immintrin.h>

#include <cstddef>
#include <cstring>

#include "detection/PixelKernelsScalar.h"
#include "detection/PixelKernelsSimd.h"

namespace PixelKernelsAvx2 {

namespace {

constexpr size_t kVector = 32;

size_t StepBytes(int32_t Size) {
    return Size < 8 ? 0 : static_cast<size_t>(Size / 8) * 8;
}

__m256i Load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
void Store(uint8_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

uint32_t SumLanes(__m256i v) {
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(s));
}

// Calls op(offset) for every whole vector of the step bytes and tail(offset, bytes) for the
// remaining steps.
template <typename Op, typename Tail>
void ForEachVector(size_t bytes, Op op, Tail tail) {
    size_t i = 0;
    for (; i + kVector <= bytes; i += kVector) {
        op(i);
    }
    if (i < bytes) {
        tail(i, static_cast<int32_t>(bytes - i));
    }
}

}  // namespace

void CountDiffPixels32(const void* Block1, const void* Block2, uint32_t& LevelAndCount,
                       int32_t Size) {
    const uint8_t level = static_cast<uint8_t>(LevelAndCount & 0xFF);
    if (Block1 == nullptr || Block2 == nullptr) {
        LevelAndCount = 0;
        return;
    }
    const auto* b1 = static_cast<const uint8_t*>(Block1);
    const auto* b2 = static_cast<const uint8_t*>(Block2);
    const size_t bytes = StepBytes(Size);
    const __m256i levels = _mm256_set1_epi8(static_cast<char>(level));
    const __m256i zero = _mm256_setzero_si256();
    __m256i same = zero;  // per lane: minus the number of unchanged pixels
    uint32_t tailCount = 0;
    ForEachVector(
        bytes,
        [&](size_t i) {
            const __m256i a = Load(b1 + i);
            const __m256i b = Load(b2 + i);
            const __m256i diff = _mm256_or_si256(_mm256_subs_epu8(a, b), _mm256_subs_epu8(b, a));
            const __m256i over = _mm256_subs_epu8(diff, levels);  // non-zero: above the level
            same = _mm256_add_epi32(same, _mm256_cmpeq_epi32(over, zero));
        },
        [&](size_t i, int32_t rest) {
            tailCount = level;
            PixelKernelsScalar::CountDiffPixels32(b1 + i, b2 + i, tailCount, rest);
        });
    const uint32_t vectorPixels = static_cast<uint32_t>(bytes / kVector * 8);
    LevelAndCount = vectorPixels + SumLanes(same) + tailCount;
}

void FillMem32(void* Dest, int32_t Size, uint32_t Value) {
    if (Dest == nullptr || Size < 4) {
        return;
    }
    auto* d = static_cast<uint8_t*>(Dest);
    const size_t bytes = static_cast<size_t>(Size / 4) * 4;
    const __m256i v = _mm256_set1_epi32(static_cast<int>(Value));
    size_t i = 0;
    for (; i + kVector <= bytes; i += kVector) {
        Store(d + i, v);
    }
    for (; i < bytes; i += 4) {
        std::memcpy(d + i, &Value, 4);
    }
}

void BrightnessIncrease(void* Source, int32_t Size, uint8_t Level) {
    if (Source == nullptr) {
        return;
    }
    auto* s = static_cast<uint8_t*>(Source);
    const __m256i levels = _mm256_set1_epi8(static_cast<char>(Level));
    ForEachVector(
        StepBytes(Size), [&](size_t i) { Store(s + i, _mm256_adds_epu8(Load(s + i), levels)); },
        [&](size_t i, int32_t rest) {
            PixelKernelsScalar::BrightnessIncrease(s + i, rest, Level);
        });
}

void BrightnessDecrease(void* Source, int32_t Size, uint8_t Level) {
    if (Source == nullptr) {
        return;
    }
    auto* s = static_cast<uint8_t*>(Source);
    const __m256i levels = _mm256_set1_epi8(static_cast<char>(Level));
    ForEachVector(
        StepBytes(Size), [&](size_t i) { Store(s + i, _mm256_subs_epu8(Load(s + i), levels)); },
        [&](size_t i, int32_t rest) {
            PixelKernelsScalar::BrightnessDecrease(s + i, rest, Level);
        });
}

void MaxBytes32(const void* Source, void* Dest, int32_t Size) {
    if (Source == nullptr || Dest == nullptr) {
        return;
    }
    const auto* s = static_cast<const uint8_t*>(Source);
    auto* d = static_cast<uint8_t*>(Dest);
    ForEachVector(
        StepBytes(Size), [&](size_t i) { Store(d + i, _mm256_max_epu8(Load(s + i), Load(d + i))); },
        [&](size_t i, int32_t rest) { PixelKernelsScalar::MaxBytes32(s + i, d + i, rest); });
}

void MinBytes32(const void* Source, void* Dest, int32_t Size) {
    if (Source == nullptr || Dest == nullptr) {
        return;
    }
    const auto* s = static_cast<const uint8_t*>(Source);
    auto* d = static_cast<uint8_t*>(Dest);
    ForEachVector(
        StepBytes(Size), [&](size_t i) { Store(d + i, _mm256_min_epu8(Load(s + i), Load(d + i))); },
        [&](size_t i, int32_t rest) { PixelKernelsScalar::MinBytes32(s + i, d + i, rest); });
}

void MaskEnvelope32(void* Frame, const void* Min, const void* Max, int32_t Size) {
    if (Frame == nullptr || Min == nullptr || Max == nullptr) {
        return;
    }
    auto* f = static_cast<uint8_t*>(Frame);
    const auto* lo = static_cast<const uint8_t*>(Min);
    const auto* hi = static_cast<const uint8_t*>(Max);
    const __m256i zero = _mm256_setzero_si256();
    ForEachVector(
        StepBytes(Size),
        [&](size_t i) {
            const __m256i v = Load(f + i);
            // Non-zero bytes lie outside the envelope; a pixel without any is cleared.
            const __m256i outside = _mm256_or_si256(_mm256_subs_epu8(Load(lo + i), v),
                                                    _mm256_subs_epu8(v, Load(hi + i)));
            const __m256i inside = _mm256_cmpeq_epi32(outside, zero);
            Store(f + i, _mm256_andnot_si256(inside, v));
        },
        [&](size_t i, int32_t rest) {
            PixelKernelsScalar::MaskEnvelope32(f + i, lo + i, hi + i, rest);
        });
}

void CountNonZeroPixels32(const void* Frame, int32_t Size, uint32_t& Count) {
    if (Frame == nullptr) {
        Count = 0;
        return;
    }
    const auto* f = static_cast<const uint8_t*>(Frame);
    const size_t bytes = StepBytes(Size);
    const __m256i zero = _mm256_setzero_si256();
    __m256i zeros = zero;  // per lane: minus the number of zero pixels
    uint32_t tailCount = 0;
    ForEachVector(
        bytes,
        [&](size_t i) { zeros = _mm256_add_epi32(zeros, _mm256_cmpeq_epi32(Load(f + i), zero)); },
        [&](size_t i, int32_t rest) {
            PixelKernelsScalar::CountNonZeroPixels32(f + i, rest, tailCount);
        });
    const uint32_t vectorPixels = static_cast<uint32_t>(bytes / kVector * 8);
    Count = vectorPixels + SumLanes(zeros) + tailCount;
}

}  // namespace PixelKernelsAvx2

#endif
