#pragma once

#include <cstdint>

// One pixel of the program's YUV to RGB32 formula (the scalar reference of every YUY2, I420 and
// NV12 conversion): Y' = Y - 15, U' = U - 128, V' = V - 128, each channel clamped to 0..255.
// Included by the scalar files only: the files compiled with -mavx2 must not share inline
// functions with others.
namespace YuvPixel {

inline uint8_t Clamp(int32_t value) {
    return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

// Writes blue, green, red, 0 at dst.
inline void ConvertPixel(int32_t Y, int32_t U, int32_t V, uint8_t* dst) {
    const int32_t y = Y - 15;
    const int32_t u = U - 128;
    const int32_t v = V - 128;
    dst[0] = Clamp((132 * y + 255 * u) >> 7);
    dst[1] = Clamp((132 * y - 50 * u - 104 * v) >> 7);
    dst[2] = Clamp((132 * y + 204 * v) >> 7);
    dst[3] = 0;
}

}  // namespace YuvPixel
