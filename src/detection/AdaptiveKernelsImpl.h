#pragma once

// Internal: the implementations behind AdaptiveKernels.h.

#include <cstddef>
#include <cstdint>
#include <cstring>

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

// The 3 x 3 filters over a whole mask, walking its rows; each kernel set passes its own row
// kernels, so the row walk exists once. Erosion clears the first and last rows; dilation and
// its count repeat the edge row beyond the mask (the maximum is the same).
namespace AdaptiveKernelRows {

template <void (*ErodeRow)(const uint8_t*, const uint8_t*, const uint8_t*, uint8_t*, int32_t)>
void Erode3x3(const uint8_t* Mask, uint8_t* Out, int32_t Width, int32_t Height) {
    if (Mask == nullptr || Out == nullptr || Width <= 0 || Height <= 0) {
        return;
    }
    for (int32_t y = 0; y < Height; ++y) {
        uint8_t* out = Out + static_cast<size_t>(y) * Width;
        if (y == 0 || y == Height - 1) {
            std::memset(out, 0, static_cast<size_t>(Width));
            continue;
        }
        const uint8_t* mid = Mask + static_cast<size_t>(y) * Width;
        ErodeRow(mid - Width, mid, mid + Width, out, Width);
    }
}

template <void (*DilateRow)(const uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*,
                            uint8_t*, int32_t)>
void Dilate3x3(const uint8_t* Mask, const uint8_t* Gate, uint8_t* Out, int32_t Width,
               int32_t Height) {
    if (Mask == nullptr || Gate == nullptr || Out == nullptr || Width <= 0 || Height <= 0) {
        return;
    }
    for (int32_t y = 0; y < Height; ++y) {
        const size_t at = static_cast<size_t>(y) * Width;
        const uint8_t* mid = Mask + at;
        DilateRow(y > 0 ? mid - Width : mid, mid, y < Height - 1 ? mid + Width : mid, Gate + at,
                  Out + at, Width);
    }
}

template <uint32_t (*DilateCountRow)(const uint8_t*, const uint8_t*, const uint8_t*, int32_t)>
void DilateCount3x3(const uint8_t* Mask, int32_t Width, int32_t Height, uint32_t& Count) {
    Count = 0;
    if (Mask == nullptr || Width <= 0 || Height <= 0) {
        return;
    }
    uint32_t count = 0;
    for (int32_t y = 0; y < Height; ++y) {
        const uint8_t* mid = Mask + static_cast<size_t>(y) * Width;
        count += DilateCountRow(y > 0 ? mid - Width : mid, mid,
                                y < Height - 1 ? mid + Width : mid, Width);
    }
    Count = count;
}

}  // namespace AdaptiveKernelRows
