#pragma once

// Internal: the row converters behind ConvertYUY2ToRGB32 (Yuy2Conversion.h).

#include <cstdint>

namespace Yuy2ConversionDetail {

// Converts one row of Width pixels (Width > 0) from Src to Dst (Width * 4 bytes).
using TYuy2RowConverter = void (*)(const uint8_t* Src, uint8_t* Dst, int32_t Width);

// Runs `row` over a picture with the argument rules of ConvertYUY2ToRGB32.
void ConvertFrame(TYuy2RowConverter row, const uint8_t* Src, int32_t SrcStride, uint8_t* Dst,
                  int32_t Width, int32_t Height);

}  // namespace Yuy2ConversionDetail

namespace Yuy2ConversionScalar {
void ConvertRow(const uint8_t* Src, uint8_t* Dst, int32_t Width);
}  // namespace Yuy2ConversionScalar

#if defined(__x86_64__) || defined(_M_X64)

namespace Yuy2ConversionSse2 {
void ConvertRow(const uint8_t* Src, uint8_t* Dst, int32_t Width);
}  // namespace Yuy2ConversionSse2

// Compiled with -mavx2; call only after checking the CPU. The file must not instantiate inline
// or template functions shared with other files (the linker could keep the AVX2 copy).
namespace Yuy2ConversionAvx2 {
void ConvertRow(const uint8_t* Src, uint8_t* Dst, int32_t Width);
}  // namespace Yuy2ConversionAvx2

#endif
