#pragma once

// Internal: the row-pair converters behind ConvertRgb32BottomUpToI420 (I420Conversion.h).

#include <cstdint>

namespace I420ConversionDetail {

// Converts one pair of picture rows (top-down order; Row0 above Row1) of Width pixels
// (Width > 0) of RGB32 into their luma rows and their one chroma row. A single last row of an
// odd height is passed as Row1 == Row0 with Luma1 == nullptr: its chroma averages the row with
// itself.
using TRowPairConverter = void (*)(const uint8_t* Row0, const uint8_t* Row1, uint8_t* Luma0,
                                   uint8_t* Luma1, uint8_t* U, uint8_t* V, int32_t Width);

}  // namespace I420ConversionDetail

namespace I420ConversionScalar {
void ConvertRowPair(const uint8_t* Row0, const uint8_t* Row1, uint8_t* Luma0, uint8_t* Luma1,
                    uint8_t* U, uint8_t* V, int32_t Width);
}  // namespace I420ConversionScalar

#if defined(__x86_64__) || defined(_M_X64)

namespace I420ConversionSse2 {
void ConvertRowPair(const uint8_t* Row0, const uint8_t* Row1, uint8_t* Luma0, uint8_t* Luma1,
                    uint8_t* U, uint8_t* V, int32_t Width);
}  // namespace I420ConversionSse2

#endif
