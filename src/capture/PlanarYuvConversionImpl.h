#pragma once

// Internal: the row converters behind ConvertI420ToRGB32 and ConvertNV12ToRGB32
// (PlanarYuvConversion.h).

#include <cstdint>

namespace PlanarYuvConversionDetail {

// Convert one row of Width pixels (Width > 0) to Dst (Width * 4 bytes). Y holds Width bytes;
// I420 rows read (Width + 1) / 2 bytes of U and of V, NV12 rows (Width + 1) / 2 U V pairs.
using TI420RowConverter = void (*)(const uint8_t* Y, const uint8_t* U, const uint8_t* V,
                                   uint8_t* Dst, int32_t Width);
using TNv12RowConverter = void (*)(const uint8_t* Y, const uint8_t* UV, uint8_t* Dst,
                                   int32_t Width);

// Run a row converter over a picture with the argument rules of PlanarYuvConversion.h.
void ConvertI420Frame(TI420RowConverter row, const uint8_t* SrcY, int32_t StrideY,
                      const uint8_t* SrcU, int32_t StrideU, const uint8_t* SrcV, int32_t StrideV,
                      uint8_t* Dst, int32_t Width, int32_t Height);
void ConvertNv12Frame(TNv12RowConverter row, const uint8_t* SrcY, int32_t StrideY,
                      const uint8_t* SrcUV, int32_t StrideUV, uint8_t* Dst, int32_t Width,
                      int32_t Height);

}  // namespace PlanarYuvConversionDetail

namespace PlanarYuvConversionScalar {
void ConvertI420Row(const uint8_t* Y, const uint8_t* U, const uint8_t* V, uint8_t* Dst,
                    int32_t Width);
void ConvertNv12Row(const uint8_t* Y, const uint8_t* UV, uint8_t* Dst, int32_t Width);
}  // namespace PlanarYuvConversionScalar

#if defined(__x86_64__) || defined(_M_X64)

namespace PlanarYuvConversionSse2 {
void ConvertI420Row(const uint8_t* Y, const uint8_t* U, const uint8_t* V, uint8_t* Dst,
                    int32_t Width);
void ConvertNv12Row(const uint8_t* Y, const uint8_t* UV, uint8_t* Dst, int32_t Width);
}  // namespace PlanarYuvConversionSse2

// Compiled with -mavx2; call only after checking the CPU. The file must not instantiate inline
// or template functions shared with other files (the linker could keep the AVX2 copy).
namespace PlanarYuvConversionAvx2 {
void ConvertI420Row(const uint8_t* Y, const uint8_t* U, const uint8_t* V, uint8_t* Dst,
                    int32_t Width);
void ConvertNv12Row(const uint8_t* Y, const uint8_t* UV, uint8_t* Dst, int32_t Width);
}  // namespace PlanarYuvConversionAvx2

#endif
