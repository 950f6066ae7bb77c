// SSE2 version of the planar 4:2:0 conversions: 16 pixels (16 luma bytes, 8 chroma samples) per
// step in two halves of eight 16-bit channels; the last up to 15 pixels of a row go to the
// scalar reference. The arithmetic is the YUY2 conversion's (Yuy2ConversionSse2.cpp explains
// why the saturating 16-bit sums are exact).
#if defined(__x86_64__) || defined(_M_X64)

#include <emmintrin.h>

#include "capture/PlanarYuvConversionImpl.h"

namespace {

struct TColours {
    __m128i Blue, Green, Red;
};

// Eight pixels from their luma and their (already spread) chroma, all 16-bit with offsets
// removed: blue, green and red as signed 16-bit values before clamping.
TColours ConvertEight(__m128i y, __m128i u, __m128i v) {
    const __m128i luma = _mm_mullo_epi16(y, _mm_set1_epi16(132));
    const __m128i blueChroma = _mm_mullo_epi16(u, _mm_set1_epi16(255));
    const __m128i greenChroma = _mm_add_epi16(_mm_mullo_epi16(u, _mm_set1_epi16(-50)),
                                              _mm_mullo_epi16(v, _mm_set1_epi16(-104)));
    const __m128i redChroma = _mm_mullo_epi16(v, _mm_set1_epi16(204));
    return {_mm_srai_epi16(_mm_adds_epi16(luma, blueChroma), 7),
            _mm_srai_epi16(_mm_adds_epi16(luma, greenChroma), 7),
            _mm_srai_epi16(_mm_adds_epi16(luma, redChroma), 7)};
}

// Sixteen pixels: 16 luma bytes at Y, chroma samples 0-7 in u and v (16-bit, offsets removed).
void ConvertSixteen(const uint8_t* Y, __m128i u, __m128i v, uint8_t* Dst) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lumaOffset = _mm_set1_epi16(15);
    const __m128i lumaBytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Y));
    const __m128i yLow = _mm_sub_epi16(_mm_unpacklo_epi8(lumaBytes, zero), lumaOffset);
    const __m128i yHigh = _mm_sub_epi16(_mm_unpackhi_epi8(lumaBytes, zero), lumaOffset);
    // Each chroma sample spread over its two pixels.
    const TColours low = ConvertEight(yLow, _mm_unpacklo_epi16(u, u), _mm_unpacklo_epi16(v, v));
    const TColours high = ConvertEight(yHigh, _mm_unpackhi_epi16(u, u), _mm_unpackhi_epi16(v, v));

    // Clamp to bytes and interleave to B G R 0.
    const __m128i blue = _mm_packus_epi16(low.Blue, high.Blue);
    const __m128i green = _mm_packus_epi16(low.Green, high.Green);
    const __m128i red = _mm_packus_epi16(low.Red, high.Red);
    const __m128i bgLow = _mm_unpacklo_epi8(blue, green);
    const __m128i bgHigh = _mm_unpackhi_epi8(blue, green);
    const __m128i r0Low = _mm_unpacklo_epi8(red, zero);
    const __m128i r0High = _mm_unpackhi_epi8(red, zero);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Dst), _mm_unpacklo_epi16(bgLow, r0Low));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Dst + 16), _mm_unpackhi_epi16(bgLow, r0Low));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Dst + 32), _mm_unpacklo_epi16(bgHigh, r0High));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Dst + 48), _mm_unpackhi_epi16(bgHigh, r0High));
}

}  // namespace

namespace PlanarYuvConversionSse2 {

void ConvertI420Row(const uint8_t* Y, const uint8_t* U, const uint8_t* V, uint8_t* Dst,
                    int32_t Width) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i chromaOffset = _mm_set1_epi16(128);
    int32_t x = 0;
    for (; x + 16 <= Width; x += 16) {
        const __m128i uBytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(U + x / 2));
        const __m128i vBytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(V + x / 2));
        ConvertSixteen(Y + x, _mm_sub_epi16(_mm_unpacklo_epi8(uBytes, zero), chromaOffset),
                       _mm_sub_epi16(_mm_unpacklo_epi8(vBytes, zero), chromaOffset), Dst + x * 4);
    }
    if (x < Width) {
        PlanarYuvConversionScalar::ConvertI420Row(Y + x, U + x / 2, V + x / 2, Dst + x * 4,
                                                  Width - x);
    }
}

void ConvertNv12Row(const uint8_t* Y, const uint8_t* UV, uint8_t* Dst, int32_t Width) {
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    const __m128i chromaOffset = _mm_set1_epi16(128);
    int32_t x = 0;
    for (; x + 16 <= Width; x += 16) {
        // U0 V0 U1 V1 ... U7 V7: U in the low byte of each 16-bit channel, V in the high one.
        const __m128i uv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(UV + x));
        ConvertSixteen(Y + x, _mm_sub_epi16(_mm_and_si128(uv, lowBytes), chromaOffset),
                       _mm_sub_epi16(_mm_srli_epi16(uv, 8), chromaOffset), Dst + x * 4);
    }
    if (x < Width) {
        PlanarYuvConversionScalar::ConvertNv12Row(Y + x, UV + x, Dst + x * 4, Width - x);
    }
}

}  // namespace PlanarYuvConversionSse2

#endif
