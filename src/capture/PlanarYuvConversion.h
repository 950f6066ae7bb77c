#pragma once

#include <cstdint>

// Planar 4:2:0 pictures (I420 and NV12, what decoders and MJPEG webcams deliver) to the
// program's RGB32 frames in one step.
//
// Sources, rows top-down: a luma plane of Height rows, each Width Y bytes, StrideY bytes apart,
// and chroma at half resolution in both directions ((Width + 1) / 2 samples per row,
// (Height + 1) / 2 rows): I420 has a U plane and a V plane, each with its own stride; NV12 has
// one plane of U V byte pairs. Every pixel takes the U and V of its 2 x 2 block (no
// interpolation), so pixel (x, y) reads chroma sample (x / 2, y / 2); with an odd width or
// height the last chroma column or row covers one pixel column or row.
// Destination: Height rows of exactly Width * 4 bytes (blue, green, red, 0), bottom-up: source
// row r lands in destination row Height - 1 - r.
//
// The per-pixel formula is the one of ConvertYUY2ToRGB32 (Yuy2Conversion.h), so a planar
// picture with the same luma and chroma as a YUY2 picture gives the same frame.
//
// Pointers need no alignment; sources and destination must not overlap. A null pointer, a width
// or height <= 0 or a stride smaller than its plane's row do nothing.
//
// Both functions dispatch to the fastest implementation the CPU runs (AVX2, SSE2 or the scalar
// reference); all give bit-identical results.
void ConvertI420ToRGB32(const uint8_t* SrcY, int32_t StrideY, const uint8_t* SrcU, int32_t StrideU,
                        const uint8_t* SrcV, int32_t StrideV, uint8_t* Dst, int32_t Width,
                        int32_t Height);
void ConvertNV12ToRGB32(const uint8_t* SrcY, int32_t StrideY, const uint8_t* SrcUV,
                        int32_t StrideUV, uint8_t* Dst, int32_t Width, int32_t Height);

namespace PlanarYuvConversionScalar {
// The portable references the vectorised versions are measured against.
void ConvertI420ToRGB32(const uint8_t* SrcY, int32_t StrideY, const uint8_t* SrcU, int32_t StrideU,
                        const uint8_t* SrcV, int32_t StrideV, uint8_t* Dst, int32_t Width,
                        int32_t Height);
void ConvertNV12ToRGB32(const uint8_t* SrcY, int32_t StrideY, const uint8_t* SrcUV,
                        int32_t StrideUV, uint8_t* Dst, int32_t Width, int32_t Height);
}  // namespace PlanarYuvConversionScalar

// "avx2", "sse2" or "scalar": the implementation both conversions use.
const char* PlanarYuvConversionImplementationName();
// Tests and benchmarks force an implementation; a name the CPU cannot run is refused (false).
// "default" (or nullptr) returns to the automatic choice. The switch is atomic; a conversion
// running meanwhile finishes with either implementation (same results).
bool SelectPlanarYuvConversionImplementation(const char* name);
