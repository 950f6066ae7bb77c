// AVX2 version of the YUY2 conversion: 16 pixels (32 source bytes) per step, the same
// arithmetic as the SSE2 version (see there why it is exact) on sixteen 16-bit channels; the
// last up to 15 pixels of a row go to the SSE2 version. Built with -mavx2.
#if defined(__x86_64__) || defined(_M_X64)

#include <immintrin.h>

#include "capture/Yuy2ConversionImpl.h"

namespace Yuy2ConversionAvx2 {

void ConvertRow(const uint8_t* Src, uint8_t* Dst, int32_t Width) {
    const __m256i lowBytes = _mm256_set1_epi16(0x00FF);
    const __m256i lumaOffset = _mm256_set1_epi16(15);
    const __m256i chromaOffset = _mm256_set1_epi16(128);
    const __m256i lumaGain = _mm256_set1_epi16(132);
    const __m256i blueU = _mm256_set1_epi16(255);
    const __m256i greenU = _mm256_set1_epi16(-50);
    const __m256i greenV = _mm256_set1_epi16(-104);
    const __m256i redV = _mm256_set1_epi16(204);
    const __m256i zero = _mm256_setzero_si256();

    int32_t x = 0;
    for (; x + 16 <= Width; x += 16) {
        // Every step below works within 128-bit lanes: pixels 0-7 in the low lane, 8-15 in
        // the high one.
        const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Src + x * 2));
        const __m256i y = _mm256_sub_epi16(_mm256_and_si256(in, lowBytes), lumaOffset);
        const __m256i uv = _mm256_sub_epi16(_mm256_srli_epi16(in, 8), chromaOffset);
        const __m256i u = _mm256_shufflehi_epi16(
            _mm256_shufflelo_epi16(uv, _MM_SHUFFLE(2, 2, 0, 0)), _MM_SHUFFLE(2, 2, 0, 0));
        const __m256i v = _mm256_shufflehi_epi16(
            _mm256_shufflelo_epi16(uv, _MM_SHUFFLE(3, 3, 1, 1)), _MM_SHUFFLE(3, 3, 1, 1));

        const __m256i luma = _mm256_mullo_epi16(y, lumaGain);
        const __m256i blueChroma = _mm256_mullo_epi16(u, blueU);
        const __m256i greenChroma =
            _mm256_add_epi16(_mm256_mullo_epi16(u, greenU), _mm256_mullo_epi16(v, greenV));
        const __m256i redChroma = _mm256_mullo_epi16(v, redV);
        const __m256i b = _mm256_srai_epi16(_mm256_adds_epi16(luma, blueChroma), 7);
        const __m256i g = _mm256_srai_epi16(_mm256_adds_epi16(luma, greenChroma), 7);
        const __m256i r = _mm256_srai_epi16(_mm256_adds_epi16(luma, redChroma), 7);

        const __m256i blueRed = _mm256_packus_epi16(b, r);
        const __m256i greenZero = _mm256_packus_epi16(g, zero);
        const __m256i bg = _mm256_unpacklo_epi8(blueRed, greenZero);
        const __m256i r0 = _mm256_unpackhi_epi8(blueRed, zero);
        const __m256i low = _mm256_unpacklo_epi16(bg, r0);   // pixels 0-3 | 8-11
        const __m256i high = _mm256_unpackhi_epi16(bg, r0);  // pixels 4-7 | 12-15
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Dst + x * 4),
                            _mm256_permute2x128_si256(low, high, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Dst + x * 4 + 32),
                            _mm256_permute2x128_si256(low, high, 0x31));
    }
    if (x < Width) {
        Yuy2ConversionSse2::ConvertRow(Src + x * 2, Dst + x * 4, Width - x);
    }
}

}  // namespace Yuy2ConversionAvx2

#endif
