#pragma once

#include <cstdint>

// Packed pixel kernels over RGB32 buffers (4 bytes per pixel: blue, green, red, fourth byte).
// Sizes are in bytes. The packed kernels work on 8 bytes (two pixels) per step and make
// Size div 8 steps, so with an odd pixel count the last pixel is never examined.
//
// Sizes <= 0 and null pointers do nothing (counts come out 0). Pointers need no alignment.
//
// Each kernel has a portable scalar reference (namespace PixelKernelsScalar) and vectorised
// versions (SSE2 on x86-64, AVX2 picked at run time); the public entry points below dispatch to
// the fastest one the CPU supports. All versions give bit-identical results.

// LevelAndCount: in, the level in its low byte; out, the number of pixels of which at least
// one byte (the fourth included) differs between the blocks by strictly more than the level.
void CountDiffPixels32(const void* Block1, const void* Block2, uint32_t& LevelAndCount,
                       int32_t Size);

// Writes Value into Size div 4 consecutive 32-bit words.
void FillMem32(void* Dest, int32_t Size, uint32_t Value);

// Every byte b becomes min(b + Level, 255) / max(b - Level, 0).
void BrightnessIncrease(void* Source, int32_t Size, uint8_t Level);
void BrightnessDecrease(void* Source, int32_t Size, uint8_t Level);

// Every byte of Dest becomes max(Dest, Source) / min(Dest, Source), unsigned.
void MaxBytes32(const void* Source, void* Dest, int32_t Size);
void MinBytes32(const void* Source, void* Dest, int32_t Size);

// In place: a pixel of Frame stays when at least one of its bytes is below the Min byte or
// above the Max byte at the same place; otherwise all four of its bytes become 0.
void MaskEnvelope32(void* Frame, const void* Min, const void* Max, int32_t Size);

// Count = number of pixels of Frame that are not entirely zero.
void CountNonZeroPixels32(const void* Frame, int32_t Size, uint32_t& Count);

// ConvolveRGB32 (3 x 3 convolution of the colour bytes) is declared in detection/Convolution.h
// and dispatched together with these kernels.

// Which implementation the dispatcher uses: "avx2", "sse2" or "scalar". All kernels are
// stateless and may be called from any number of threads at once.
const char* PixelKernelsImplementationName();
// Tests and benchmarks force an implementation; a name the CPU cannot run is ignored (false).
// "default" (or nullptr) goes back to the automatic choice. The switch is atomic, so kernels
// running on other threads meanwhile finish with either implementation (same results).
bool SelectPixelKernelsImplementation(const char* name);
