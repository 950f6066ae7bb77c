#pragma once

// Internal: the implementations behind the dispatcher of PixelKernels.h and Convolution.h.

#include <cstddef>
#include <cstdint>

namespace PixelKernelsDetail {

// One complete set of kernels; the dispatcher switches between sets atomically.
struct TPixelKernelTable {
    const char* Name;
    void (*CountDiffPixels32)(const void*, const void*, uint32_t&, int32_t);
    void (*FillMem32)(void*, int32_t, uint32_t);
    void (*BrightnessIncrease)(void*, int32_t, uint8_t);
    void (*BrightnessDecrease)(void*, int32_t, uint8_t);
    void (*MaxBytes32)(const void*, void*, int32_t);
    void (*MinBytes32)(const void*, void*, int32_t);
    void (*MaskEnvelope32)(void*, const void*, const void*, int32_t);
    void (*CountNonZeroPixels32)(const void*, int32_t, uint32_t&);
    bool (*ConvolveRGB32)(const void*, void*, int32_t, int32_t, const int32_t*, int32_t);
};

// The table in use (the best one the CPU supports unless a test or benchmark chose another).
const TPixelKernelTable& CurrentPixelKernels();

// Shared by the convolution implementations (Convolution.cpp).
bool ValidConvolutionArguments(const void* Src, const void* Dst, int32_t Width, int32_t Height,
                               const int32_t* Kernel);
// Kernel sum with 32-bit wrap-around, or 1 when it is 0.
int32_t ConvolutionDivisor(const int32_t Kernel[9]);
// One destination byte of an interior pixel: Offset is the byte's position in the image.
uint8_t ConvolvePixelByte(const uint8_t* Src, size_t RowBytes, size_t Offset,
                          const int32_t Kernel[9], int32_t Divisor, int32_t Bias);

// How a vectorised convolution can reproduce the 32-bit reference exactly.
enum class TConvolutionPlan {
    // Divisor 1, sum of |weights| <= 128 and |Bias| <= 32767: every partial sum fits in 16 bits
    // and a saturating 16-bit bias add clamps to 0..255 like the reference.
    Int16,
    // Every weight fits in 16 bits: 32-bit sums from pairwise 16-bit products never wrap; the
    // division is done in double precision, which is exact for 32-bit operands.
    Int32,
    // Anything else (weights that could wrap, overlapping buffers): the scalar reference.
    Scalar,
};
TConvolutionPlan PlanConvolution(const void* Src, const void* Dst, int32_t Width, int32_t Height,
                                 const int32_t Kernel[9], int32_t Bias);

}  // namespace PixelKernelsDetail

#if defined(__x86_64__) || defined(_M_X64)

namespace PixelKernelsSse2 {
void CountDiffPixels32(const void* Block1, const void* Block2, uint32_t& LevelAndCount,
                       int32_t Size);
void FillMem32(void* Dest, int32_t Size, uint32_t Value);
void BrightnessIncrease(void* Source, int32_t Size, uint8_t Level);
void BrightnessDecrease(void* Source, int32_t Size, uint8_t Level);
void MaxBytes32(const void* Source, void* Dest, int32_t Size);
void MinBytes32(const void* Source, void* Dest, int32_t Size);
void MaskEnvelope32(void* Frame, const void* Min, const void* Max, int32_t Size);
void CountNonZeroPixels32(const void* Frame, int32_t Size, uint32_t& Count);
bool ConvolveRGB32(const void* Src, void* Dst, int32_t Width, int32_t Height,
                   const int32_t Kernel[9], int32_t Bias);
}  // namespace PixelKernelsSse2

// Compiled with -mavx2; call only after checking the CPU. These files must not instantiate
// inline or template functions shared with other files (the linker could keep the AVX2 copy).
namespace PixelKernelsAvx2 {
void CountDiffPixels32(const void* Block1, const void* Block2, uint32_t& LevelAndCount,
                       int32_t Size);
void FillMem32(void* Dest, int32_t Size, uint32_t Value);
void BrightnessIncrease(void* Source, int32_t Size, uint8_t Level);
void BrightnessDecrease(void* Source, int32_t Size, uint8_t Level);
void MaxBytes32(const void* Source, void* Dest, int32_t Size);
void MinBytes32(const void* Source, void* Dest, int32_t Size);
void MaskEnvelope32(void* Frame, const void* Min, const void* Max, int32_t Size);
void CountNonZeroPixels32(const void* Frame, int32_t Size, uint32_t& Count);
bool ConvolveRGB32(const void* Src, void* Dst, int32_t Width, int32_t Height,
                   const int32_t Kernel[9], int32_t Bias);
}  // namespace PixelKernelsAvx2

#endif
