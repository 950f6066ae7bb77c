#pragma once

#include <cstdint>

// Portable references of the packed pixel kernels (see PixelKernels.h for the rules). They are
// written for clarity, one 8-byte step (two pixels) at a time, and define the exact results
// every vectorised version must reproduce. Sizes <= 0 or null pointers do nothing (count 0).
namespace PixelKernelsScalar {

void CountDiffPixels32(const void* Block1, const void* Block2, uint32_t& LevelAndCount,
                       int32_t Size);
void FillMem32(void* Dest, int32_t Size, uint32_t Value);
void BrightnessIncrease(void* Source, int32_t Size, uint8_t Level);
void BrightnessDecrease(void* Source, int32_t Size, uint8_t Level);
void MaxBytes32(const void* Source, void* Dest, int32_t Size);
void MinBytes32(const void* Source, void* Dest, int32_t Size);
void MaskEnvelope32(void* Frame, const void* Min, const void* Max, int32_t Size);
void CountNonZeroPixels32(const void* Frame, int32_t Size, uint32_t& Count);

}  // namespace PixelKernelsScalar
