// AVX2 version of the planar 4:2:0 conversions: 32 pixels (32 luma bytes, 16 chroma samples)
// per step, the arithmetic of the SSE2 version on sixteen 16-bit channels; the last up to 31
// pixels of a row go to the SSE2 version. Built with -mavx2.
#if defined(__x86_64__) || defined(_M_X64)

#include <immintrin.h>

#include "capture/PlanarYuvConversionImpl.h"

namespace {

struct TColours {
    __m256i Blue, Green, Red;
};

TColours ConvertSixteenChannels(__m256i y, __m256i u, __m256i v) {
    const __m256i luma = _mm256_mullo_epi16(y, _mm256_set1_epi16(132));
    const __m256i blueChroma = _mm256_mullo_epi16(u, _mm256_set1_epi16(255));
    const __m256i greenChroma = _mm256_add_epi16(_mm256_mullo_epi16(u, _mm256_set1_epi16(-50)),
                                                 _mm256_mullo_epi16(v, _mm256_set1_epi16(-104)));
    const __m256i redChroma = _mm256_mullo_epi16(v, _mm256_set1_epi16(204));
    return {_mm256_srai_epi16(_mm256_adds_epi16(luma, blueChroma), 7),
            _mm256_srai_epi16(_mm256_adds_epi16(luma, greenChroma), 7),
            _mm256_srai_epi16(_mm256_adds_epi16(luma, redChroma), 7)};
}

// Thirty-two pixels: 32 luma bytes at Y; chroma samples 0-7 in the low 128-bit lane of u and v,
// 8-15 in the high lane (16-bit, offsets removed). Every step works within 128-bit lanes, so
// the low lane carries pixels 0-15 and the high lane pixels 16-31 until the final permutes.
void ConvertThirtyTwo(const uint8_t* Y, __m256i u, __m256i v, uint8_t* Dst) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lumaOffset = _mm256_set1_epi16(15);
    const __m256i lumaBytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Y));
    // Pixels 0-7 | 16-23 and 8-15 | 24-31.
    const __m256i yFirst = _mm256_sub_epi16(_mm256_unpacklo_epi8(lumaBytes, zero), lumaOffset);
    const __m256i ySecond = _mm256_sub_epi16(_mm256_unpackhi_epi8(lumaBytes, zero), lumaOffset);
    const TColours first =
        ConvertSixteenChannels(yFirst, _mm256_unpacklo_epi16(u, u), _mm256_unpacklo_epi16(v, v));
    const TColours second =
        ConvertSixteenChannels(ySecond, _mm256_unpackhi_epi16(u, u), _mm256_unpackhi_epi16(v, v));

    // Bytes of pixels 0-15 | 16-31.
    const __m256i blue = _mm256_packus_epi16(first.Blue, second.Blue);
    const __m256i green = _mm256_packus_epi16(first.Green, second.Green);
    const __m256i red = _mm256_packus_epi16(first.Red, second.Red);
    const __m256i bgLow = _mm256_unpacklo_epi8(blue, green);   // pixels 0-7 | 16-23
    const __m256i bgHigh = _mm256_unpackhi_epi8(blue, green);  // pixels 8-15 | 24-31
    const __m256i r0Low = _mm256_unpacklo_epi8(red, zero);
    const __m256i r0High = _mm256_unpackhi_epi8(red, zero);
    const __m256i p0 = _mm256_unpacklo_epi16(bgLow, r0Low);     // pixels 0-3 | 16-19
    const __m256i p4 = _mm256_unpackhi_epi16(bgLow, r0Low);     // pixels 4-7 | 20-23
    const __m256i p8 = _mm256_unpacklo_epi16(bgHigh, r0High);   // pixels 8-11 | 24-27
    const __m256i p12 = _mm256_unpackhi_epi16(bgHigh, r0High);  // pixels 12-15 | 28-31
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Dst), _mm256_permute2x128_si256(p0, p4, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Dst + 32),
                        _mm256_permute2x128_si256(p8, p12, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Dst + 64),
                        _mm256_permute2x128_si256(p0, p4, 0x31));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Dst + 96),
                        _mm256_permute2x128_si256(p8, p12, 0x31));
}

}  // namespace

namespace PlanarYuvConversionAvx2 {

void ConvertI420Row(const uint8_t* Y, const uint8_t* U, const uint8_t* V, uint8_t* Dst,
                    int32_t Width) {
    const __m256i chromaOffset = _mm256_set1_epi16(128);
    int32_t x = 0;
    for (; x + 32 <= Width; x += 32) {
        const __m256i u =
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(U + x / 2)));
        const __m256i v =
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(V + x / 2)));
        ConvertThirtyTwo(Y + x, _mm256_sub_epi16(u, chromaOffset),
                         _mm256_sub_epi16(v, chromaOffset), Dst + x * 4);
    }
    if (x < Width) {
        PlanarYuvConversionSse2::ConvertI420Row(Y + x, U + x / 2, V + x / 2, Dst + x * 4,
                                                Width - x);
    }
}

void ConvertNv12Row(const uint8_t* Y, const uint8_t* UV, uint8_t* Dst, int32_t Width) {
    const __m256i lowBytes = _mm256_set1_epi16(0x00FF);
    const __m256i chromaOffset = _mm256_set1_epi16(128);
    int32_t x = 0;
    for (; x + 32 <= Width; x += 32) {
        // U0 V0 ... U15 V15: samples 0-7 in the low lane, 8-15 in the high one.
        const __m256i uv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(UV + x));
        ConvertThirtyTwo(Y + x, _mm256_sub_epi16(_mm256_and_si256(uv, lowBytes), chromaOffset),
                         _mm256_sub_epi16(_mm256_srli_epi16(uv, 8), chromaOffset), Dst + x * 4);
    }
    if (x < Width) {
        PlanarYuvConversionSse2::ConvertNv12Row(Y + x, UV + x, Dst + x * 4, Width - x);
    }
}

}  // namespace PlanarYuvConversionAvx2

#endif
