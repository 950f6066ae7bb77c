// SSE2 version of the RGB32 to I420 conversion: 16 pixels of both rows per step, eight 16-bit
// channels per instruction; the last up to 15 pixels of a row pair go to the scalar reference.
//
// Exactness: luma's 66 R + 129 G + 25 B + 128 is at most 56228, so it is exact in unsigned
// 16-bit lanes and a logical shift gives the reference's value. Each chroma sum
// (-38 R - 74 G + 112 B + 128, 112 R - 94 G - 18 B + 128) stays within -28432..28688, exact in
// signed 16-bit lanes, where the arithmetic shift matches the reference's >> on an int. The
// 2 x 2 block sums (at most 1020) are made in 32-bit lanes by multiply-adding pairs with 1.
#if defined(__x86_64__) || defined(_M_X64)

#include <emmintrin.h>

#include "recording/I420ConversionImpl.h"

namespace {

struct TChannels {
    __m128i Blue[2];  // pixels 0..7 and 8..15, one 16-bit lane each
    __m128i Green[2];
    __m128i Red[2];
};

TChannels LoadChannels(const uint8_t* Row) {
    const __m128i low = _mm_set1_epi32(0xFF);
    __m128i b[4];
    __m128i g[4];
    __m128i r[4];
    for (int i = 0; i < 4; ++i) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Row + i * 16));
        b[i] = _mm_and_si128(px, low);
        g[i] = _mm_and_si128(_mm_srli_epi32(px, 8), low);
        r[i] = _mm_and_si128(_mm_srli_epi32(px, 16), low);
    }
    TChannels c;
    for (int half = 0; half < 2; ++half) {
        c.Blue[half] = _mm_packs_epi32(b[half * 2], b[half * 2 + 1]);
        c.Green[half] = _mm_packs_epi32(g[half * 2], g[half * 2 + 1]);
        c.Red[half] = _mm_packs_epi32(r[half * 2], r[half * 2 + 1]);
    }
    return c;
}

void StoreLuma(const TChannels& c, uint8_t* Luma) {
    const __m128i red = _mm_set1_epi16(66);
    const __m128i green = _mm_set1_epi16(129);
    const __m128i blue = _mm_set1_epi16(25);
    const __m128i round = _mm_set1_epi16(128);
    const __m128i offset = _mm_set1_epi16(16);
    __m128i luma[2];
    for (int half = 0; half < 2; ++half) {
        __m128i sum =
            _mm_add_epi16(_mm_mullo_epi16(c.Red[half], red), _mm_mullo_epi16(c.Green[half], green));
        sum = _mm_add_epi16(sum, _mm_add_epi16(_mm_mullo_epi16(c.Blue[half], blue), round));
        luma[half] = _mm_add_epi16(_mm_srli_epi16(sum, 8), offset);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Luma), _mm_packus_epi16(luma[0], luma[1]));
}

// The rounded averages of the eight 2 x 2 blocks of one channel of both rows.
__m128i BlockAverages(const __m128i (&Row0)[2], const __m128i (&Row1)[2]) {
    const __m128i ones = _mm_set1_epi16(1);
    const __m128i round = _mm_set1_epi32(2);
    __m128i sums[2];
    for (int half = 0; half < 2; ++half) {
        const __m128i columns = _mm_add_epi16(Row0[half], Row1[half]);
        sums[half] = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(columns, ones), round), 2);
    }
    return _mm_packs_epi32(sums[0], sums[1]);
}

__m128i Chroma(__m128i Red, __m128i Green, __m128i Blue, int16_t KRed, int16_t KGreen,
               int16_t KBlue) {
    __m128i sum = _mm_add_epi16(_mm_mullo_epi16(Red, _mm_set1_epi16(KRed)),
                                _mm_mullo_epi16(Green, _mm_set1_epi16(KGreen)));
    sum = _mm_add_epi16(sum, _mm_mullo_epi16(Blue, _mm_set1_epi16(KBlue)));
    sum = _mm_add_epi16(sum, _mm_set1_epi16(128));
    return _mm_add_epi16(_mm_srai_epi16(sum, 8), _mm_set1_epi16(128));
}

}  // namespace

namespace I420ConversionSse2 {

void ConvertRowPair(const uint8_t* Row0, const uint8_t* Row1, uint8_t* Luma0, uint8_t* Luma1,
                    uint8_t* U, uint8_t* V, int32_t Width) {
    int32_t x = 0;
    for (; x + 16 <= Width; x += 16) {
        const TChannels top = LoadChannels(Row0 + x * 4);
        const TChannels bottom = LoadChannels(Row1 + x * 4);
        StoreLuma(top, Luma0 + x);
        if (Luma1 != nullptr) {
            StoreLuma(bottom, Luma1 + x);
        }
        const __m128i b = BlockAverages(top.Blue, bottom.Blue);
        const __m128i g = BlockAverages(top.Green, bottom.Green);
        const __m128i r = BlockAverages(top.Red, bottom.Red);
        const __m128i u = Chroma(r, g, b, -38, -74, 112);
        const __m128i v = Chroma(r, g, b, 112, -94, -18);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(U + x / 2), _mm_packus_epi16(u, u));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(V + x / 2), _mm_packus_epi16(v, v));
    }
    if (x < Width) {
        I420ConversionScalar::ConvertRowPair(Row0 + x * 4, Row1 + x * 4, Luma0 + x,
                                             Luma1 != nullptr ? Luma1 + x : nullptr, U + x / 2,
                                             V + x / 2, Width - x);
    }
}

}  // namespace I420ConversionSse2

#endif
