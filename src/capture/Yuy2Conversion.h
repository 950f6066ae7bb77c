#pragma once

#include <cstdint>

// YUY2 pictures to the program's RGB32 frames.
//
// Source: packed 4:2:2, rows top-down, SrcStride bytes apart; each 4-byte group Y0 U Y1 V gives
// two pixels, the first from Y0, the second from Y1, both with the same U and V. A row holds
// (Width + 1) / 2 groups; with an odd width the last group gives only its Y0 pixel.
// Destination: Height rows of exactly Width * 4 bytes (blue, green, red, 0), bottom-up: source
// row r lands in destination row Height - 1 - r.
//
// Per pixel, in integers, with Y' = Y - 15, U' = U - 128, V' = V - 128, >> an arithmetic shift
// and every result clamped to 0..255:
//   blue  = (132 Y' + 255 U') >> 7
//   green = (132 Y' - 50 U' - 104 V') >> 7
//   red   = (132 Y' + 204 V') >> 7
//
// Pointers need no alignment; source and destination must not overlap. A null pointer, a width
// or height <= 0 or a stride smaller than a row's groups do nothing.
//
// ConvertYUY2ToRGB32 dispatches to the fastest implementation the CPU runs (AVX2, SSE2 or the
// scalar reference); all give bit-identical results.
void ConvertYUY2ToRGB32(const uint8_t* Src, int32_t SrcStride, uint8_t* Dst, int32_t Width,
                        int32_t Height);

namespace Yuy2ConversionScalar {
// The portable reference the vectorised versions are measured against.
void ConvertYUY2ToRGB32(const uint8_t* Src, int32_t SrcStride, uint8_t* Dst, int32_t Width,
                        int32_t Height);
}  // namespace Yuy2ConversionScalar

// "avx2", "sse2" or "scalar": the implementation ConvertYUY2ToRGB32 uses.
const char* Yuy2ConversionImplementationName();
// Tests and benchmarks force an implementation; a name the CPU cannot run is refused (false).
// "default" (or nullptr) returns to the automatic choice. The switch is atomic; a conversion
// running meanwhile finishes with either implementation (same results).
bool SelectYuy2ConversionImplementation(const char* name);
