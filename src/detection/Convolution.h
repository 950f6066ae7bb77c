#pragma once

#include <cstdint>

// 3 x 3 integer convolution of an RGB32 image (4 bytes per pixel: blue, green, red, fourth
// byte; rows packed without padding) into a distinct buffer of the same size.
//
// The kernel is stored column by column: Kernel[3 * c + r] weighs the neighbour at column
// offset c - 1 and row offset r - 1. For every interior pixel and each of its three colour
// bytes: value = sum / divisor + Bias, clamped to 0..255, where divisor is the kernel sum (1
// when that sum is 0) and the division truncates toward zero. The fourth byte and the first
// and last row and column of the destination are 0; images narrower or lower than 3 pixels
// come out all zero.
//
// Arithmetic is 32-bit signed as in a plain integer implementation: with huge weights or bias
// the sums wrap like 32-bit two's-complement integers (and INT32_MIN / -1 gives INT32_MIN);
// every implementation gives these same bits.
//
// Returns false for null pointers or a non-positive size (nothing written), and when an
// exception occurs ("Error in ConvolveRGB32 call..." is logged). Dispatches to the fastest
// implementation the CPU supports (see SelectPixelKernelsImplementation in PixelKernels.h).
bool ConvolveRGB32(const void* Src, void* Dst, int32_t Width, int32_t Height,
                   const int32_t Kernel[9], int32_t Bias);

// The portable reference that defines the exact result; same arguments and result.
bool ConvolveRGB32Scalar(const void* Src, void* Dst, int32_t Width, int32_t Height,
                         const int32_t Kernel[9], int32_t Bias);

// The 8-neighbour Laplacian the self-learning detector uses for its edge images: every
// neighbour -1, the centre 8 (sum 0, so the divisor is 1).
inline constexpr int32_t kEdgeKernel[9] = {-1, -1, -1, -1, 8, -1, -1, -1, -1};
