#pragma once

// Internal: the implementations behind AdaptiveKernels.h.

#include <cstdint>

#include "detection/AdaptiveKernels.h"

#define TANDREL_ADAPTIVE_KERNEL_DECLARATIONS                                                     \
    void AdaptiveLumaRow(const void* Frame, const uint16_t* Background,                        \
                         const uint8_t* PreviousMask, uint8_t* Luma, uint8_t* Altered,          \
                         int32_t Pixels, int64_t& DiffSum, int64_t& StillCount,                 \
                         int64_t& AlteredCount);                                                \
    void AdaptiveClassify(const uint8_t* Luma, uint16_t* Background, uint16_t* Noise,          \
                          uint8_t* Mask, int32_t Pixels, const TAdaptiveClassifyParams& Params, \
                          uint32_t& Changed);                                                   \
    void AdaptiveErode3x3(const uint8_t* Mask, uint8_t* Out, int32_t Width, int32_t Height);    \
    void AdaptiveDilate3x3(const uint8_t* Mask, const uint8_t* Gate, uint8_t* Out,              \
                           int32_t Width, int32_t Height);                                      \
    void AdaptiveDilateCount3x3(const uint8_t* Mask, int32_t Width, int32_t Height,             \
                                uint32_t& Count);                                               \
    void AdaptiveErodeRow(const uint8_t* Up, const uint8_t* Mid, const uint8_t* Down,           \
                          uint8_t* Out, int32_t Width);                                         \
    void AdaptiveDilateRow(const uint8_t* Up, const uint8_t* Mid, const uint8_t* Down,          \
                           const uint8_t* Gate, uint8_t* Out, int32_t Width);                   \
    uint32_t AdaptiveDilateCountRow(const uint8_t* Up, const uint8_t* Mid, const uint8_t* Down, \
                                    int32_t Width);

// The references define the results; written for clarity, one pixel at a time.
namespace AdaptiveKernelsScalar {
TANDREL_ADAPTIVE_KERNEL_DECLARATIONS
// Single pixels and border columns, shared by the vectorised versions. The row kernels take
// the rows above and below the output row (the row itself where the mask ends) and work on
// one row: erosion is 0 in the first and last column, dilation clips at the row's ends.
uint8_t LumaOf(const uint8_t* Pixel);
uint8_t ErodedRowAt(const uint8_t* Up, const uint8_t* Mid, const uint8_t* Down, int32_t Width,
                    int32_t X);
bool DilatedRowAt(const uint8_t* Up, const uint8_t* Mid, const uint8_t* Down, int32_t Width,
                  int32_t X);
}  // namespace AdaptiveKernelsScalar

#if defined(__x86_64__) || defined(_M_X64)
namespace AdaptiveKernelsSse2 {
TANDREL_ADAPTIVE_KERNEL_DECLARATIONS
}
// Compiled with -mavx2; call only after checking the CPU.
namespace AdaptiveKernelsAvx2 {
TANDREL_ADAPTIVE_KERNEL_DECLARATIONS
}
#endif
