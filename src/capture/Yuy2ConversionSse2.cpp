// SSE2 version of the YUY2 conversion: 8 pixels (16 source bytes) per step, eight 16-bit
// channels per instruction; the last up to 7 pixels of a row go to the scalar reference.
//
// Exactness: the luma term 132 Y' and each chroma term (255 U', -50 U' - 104 V', 204 V') fit in
// a signed 16-bit lane exactly. Only their final sum can leave the range, and the saturating add
// then stops at -32768 or 32767, which after >> 7 and the unsigned pack give 0 and 255: the
// values the exact sum clamps to anyway.
#if defined(__x86_64__) || defined(_M_X64)

#include <emmintrin.h>

#include "capture/Yuy2ConversionImpl.h"

namespace Yuy2ConversionSse2 {

void ConvertRow(const uint8_t* Src, uint8_t* Dst, int32_t Width) {
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    const __m128i lumaOffset = _mm_set1_epi16(15);
    const __m128i chromaOffset = _mm_set1_epi16(128);
    const __m128i lumaGain = _mm_set1_epi16(132);
    const __m128i blueU = _mm_set1_epi16(255);
    const __m128i greenU = _mm_set1_epi16(-50);
    const __m128i greenV = _mm_set1_epi16(-104);
    const __m128i redV = _mm_set1_epi16(204);
    const __m128i zero = _mm_setzero_si128();

    int32_t x = 0;
    for (; x + 8 <= Width; x += 8) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Src + x * 2));
        const __m128i y = _mm_sub_epi16(_mm_and_si128(in, lowBytes), lumaOffset);
        // U0 V0 U1 V1 U2 V2 U3 V3, then each spread over the two pixels of its group.
        const __m128i uv = _mm_sub_epi16(_mm_srli_epi16(in, 8), chromaOffset);
        const __m128i u = _mm_shufflehi_epi16(_mm_shufflelo_epi16(uv, _MM_SHUFFLE(2, 2, 0, 0)),
                                              _MM_SHUFFLE(2, 2, 0, 0));
        const __m128i v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(uv, _MM_SHUFFLE(3, 3, 1, 1)),
                                              _MM_SHUFFLE(3, 3, 1, 1));

        const __m128i luma = _mm_mullo_epi16(y, lumaGain);
        const __m128i blueChroma = _mm_mullo_epi16(u, blueU);
        const __m128i greenChroma =
            _mm_add_epi16(_mm_mullo_epi16(u, greenU), _mm_mullo_epi16(v, greenV));
        const __m128i redChroma = _mm_mullo_epi16(v, redV);
        const __m128i b = _mm_srai_epi16(_mm_adds_epi16(luma, blueChroma), 7);
        const __m128i g = _mm_srai_epi16(_mm_adds_epi16(luma, greenChroma), 7);
        const __m128i r = _mm_srai_epi16(_mm_adds_epi16(luma, redChroma), 7);

        // Clamp to bytes and interleave to B G R 0.
        const __m128i blueRed = _mm_packus_epi16(b, r);       // B0..B7 R0..R7
        const __m128i greenZero = _mm_packus_epi16(g, zero);  // G0..G7 0..0
        const __m128i bg = _mm_unpacklo_epi8(blueRed, greenZero);
        const __m128i r0 = _mm_unpackhi_epi8(blueRed, zero);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Dst + x * 4), _mm_unpacklo_epi16(bg, r0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Dst + x * 4 + 16), _mm_unpackhi_epi16(bg, r0));
    }
    if (x < Width) {
        Yuy2ConversionScalar::ConvertRow(Src + x * 2, Dst + x * 4, Width - x);
    }
}

}  // namespace Yuy2ConversionSse2

#endif
