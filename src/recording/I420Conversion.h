#pragma once

#include <cstddef>
#include <cstdint>

// Conversion between the program's frames (RGB32, bottom-up rows, B G R X bytes) and planar
// YUV 4:2:0 (I420, top-down rows, BT.601 limited range). I420 holds a frame in 12 bits per
// pixel instead of 32, which is what makes a few seconds of full-HD frames affordable in
// memory. Odd widths and heights are allowed: the last chroma column or row covers one pixel.
//
// Pure functions over caller-owned memory: nothing is allocated.

// Bytes of one I420 frame of Width x Height (0 for a size that is not positive).
size_t I420FrameBytes(int32_t Width, int32_t Height);

// Converts one bottom-up RGB32 frame into I420 at Dst (I420FrameBytes bytes: the Y plane, then
// U, then V). Each chroma sample is the average of its 2 x 2 block (an edge pixel of an odd
// size counted twice). Runs the fastest implementation the CPU has (SSE2 or the scalar
// reference); all give bit-identical results.
void ConvertRgb32BottomUpToI420(const uint8_t* Src, int32_t Width, int32_t Height, uint8_t* Dst);

// "sse2" or "scalar": the implementation ConvertRgb32BottomUpToI420 uses.
const char* I420ConversionImplementationName();
// Tests and benchmarks force an implementation; an unknown name is refused (false). "default"
// (or nullptr) returns to the fastest. A conversion running meanwhile finishes with either
// implementation (same results).
bool SelectI420ConversionImplementation(const char* name);

// Converts one I420 frame back into a bottom-up RGB32 frame (X bytes set to 255).
void ConvertI420ToRgb32BottomUp(const uint8_t* Src, int32_t Width, int32_t Height, uint8_t* Dst);
