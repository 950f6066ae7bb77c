// The scalar reference of the RGB32 to I420 conversion, one pair of rows at a time.
#include <algorithm>

#include "recording/I420ConversionImpl.h"

namespace {

uint8_t Clamp8(int32_t v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

// BT.601 limited range in 8-bit fixed point (the coefficients scaled by 256).
uint8_t LumaOf(int32_t r, int32_t g, int32_t b) {
    return Clamp8(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}

void ConvertLumaRow(const uint8_t* Row, uint8_t* Luma, int32_t Width) {
    for (int32_t x = 0; x < Width; ++x) {
        const uint8_t* p = Row + x * 4;
        Luma[x] = LumaOf(p[2], p[1], p[0]);
    }
}

}  // namespace

namespace I420ConversionScalar {

void ConvertRowPair(const uint8_t* Row0, const uint8_t* Row1, uint8_t* Luma0, uint8_t* Luma1,
                    uint8_t* U, uint8_t* V, int32_t Width) {
    ConvertLumaRow(Row0, Luma0, Width);
    if (Luma1 != nullptr) {
        ConvertLumaRow(Row1, Luma1, Width);
    }
    // A last single column (odd width) pairs with itself.
    const int32_t chromaWidth = (Width + 1) / 2;
    for (int32_t cx = 0; cx < chromaWidth; ++cx) {
        const int32_t x0 = cx * 2 * 4;
        const int32_t x1 = std::min(cx * 2 + 1, Width - 1) * 4;
        const int32_t b = (Row0[x0] + Row0[x1] + Row1[x0] + Row1[x1] + 2) >> 2;
        const int32_t g = (Row0[x0 + 1] + Row0[x1 + 1] + Row1[x0 + 1] + Row1[x1 + 1] + 2) >> 2;
        const int32_t r = (Row0[x0 + 2] + Row0[x1 + 2] + Row1[x0 + 2] + Row1[x1 + 2] + 2) >> 2;
        U[cx] = Clamp8(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
        V[cx] = Clamp8(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
    }
}

}  // namespace I420ConversionScalar
