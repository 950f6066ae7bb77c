#pragma once

#include <cstdint>

// Kernels of the adaptive detector (mode 4) over one zone, row by row or plane by plane.
//
// A zone is held as planes of Width x Height values, rows packed without padding:
// - Luma: 8-bit brightness of each zone pixel.
// - Background: 16-bit brightness learned over time, in sixteenths of a level (0..4080).
// - Noise: 16-bit mean absolute deviation of each pixel from its background, in sixteenths of a
//   level (0..kAdaptiveNoiseClamp).
// - Mask: 8-bit, 0 for a still pixel and 0xFF for a changed one.
//
// Each kernel has a portable scalar reference (namespace AdaptiveKernelsScalar) and vectorised
// versions (SSE2, AVX2); the entry points below follow the implementation chosen for the pixel
// kernels (PixelKernelsImplementationName), so tests and benchmarks switch both at once. All
// versions give bit-identical results. Counts <= 0 and null pointers do nothing.

// Deviations from the background are clamped here before they feed the noise estimate, so a
// passing object raises a pixel's threshold only so far (48 levels).
constexpr int32_t kAdaptiveNoiseClamp = 48 * 16;
// Largest background value (255 levels).
constexpr int32_t kAdaptiveMaxBackground = 255 * 16;
// Largest global brightness offset the classification compensates (64 levels).
constexpr int32_t kAdaptiveMaxOffset = 64 * 16;

// The per-frame settings of AdaptiveClassify.
struct TAdaptiveClassifyParams {
    // Global brightness offset of this frame against the background, sixteenths of a level,
    // within +-kAdaptiveMaxOffset: subtracted from every pixel's deviation before the test.
    int32_t Offset = 0;
    // A pixel changed when |deviation| > MinThreshold + NoiseGain * noise (sixteenths).
    int32_t MinThreshold = 6 * 16;
    // 0..3: the noise estimate is multiplied by 2^NoiseGainShift.
    int32_t NoiseGainShift = 2;
    // Background update: background += Offset + (deviation >> shift), clamped to
    // 0..kAdaptiveMaxBackground, with FastShift for a still pixel and SlowShift for a changed
    // one (1..14): every pixel follows the global brightness at once, and its own deviation
    // at its own pace, so a pixel under a standing object does not fall behind the exposure.
    int32_t FastShift = 3;
    int32_t SlowShift = 6;
    // Noise update: noise += (min(|deviation|, kAdaptiveNoiseClamp) - noise) >> shift, with
    // NoiseShift for a still pixel and NoiseSlowShift for a changed one (1..14): an object
    // standing in the zone raises the threshold under it only slowly.
    int32_t NoiseShift = 5;
    int32_t NoiseSlowShift = 8;
};

// One row of Pixels RGB32 pixels (blue, green, red, fourth byte) of a frame: writes the luma
// (29 B + 150 G + 77 R + 128) >> 8 of each pixel over the previous frame's luma, sets Altered
// to 0xFF where the luma is not the one it replaces (else 0) and adds their number to
// AlteredCount, and over the pixels whose PreviousMask entry is 0 adds luma * 16 - background
// to DiffSum and their number to StillCount.
void AdaptiveLumaRow(const void* Frame, const uint16_t* Background, const uint8_t* PreviousMask,
                     uint8_t* Luma, uint8_t* Altered, int32_t Pixels, int64_t& DiffSum,
                     int64_t& StillCount, int64_t& AlteredCount);

// Per pixel: deviation d = luma * 16 - background - Offset; changed when |d| > MinThreshold +
// (noise << NoiseGainShift); Mask gets 0xFF or 0; noise and background follow as described at
// TAdaptiveClassifyParams. Changed is set to the number of changed pixels.
void AdaptiveClassify(const uint8_t* Luma, uint16_t* Background, uint16_t* Noise, uint8_t* Mask,
                      int32_t Pixels, const TAdaptiveClassifyParams& Params, uint32_t& Changed);

// 3 x 3 erosion of a Width x Height mask: Out is 0xFF where all nine neighbours are non-zero,
// else 0; the outermost rows and columns of Out are 0. Out must not overlap Mask.
void AdaptiveErode3x3(const uint8_t* Mask, uint8_t* Out, int32_t Width, int32_t Height);

// 3 x 3 dilation of a Width x Height mask, gated: Out is 0xFF where a neighbour within the
// mask is non-zero and Gate (a plane of the same shape) is non-zero at the pixel, else 0. Out
// must not overlap Mask.
void AdaptiveDilate3x3(const uint8_t* Mask, const uint8_t* Gate, uint8_t* Out, int32_t Width,
                       int32_t Height);

// The count of the detector: Gated = AdaptiveDilate3x3(Altered, gate Mask), then the 3 x 3
// opening of Gated counted (AdaptiveErode3x3, AdaptiveDilateCount3x3), computed only over the
// rows it can come from: RowChanged[y] must be 0 only where row y of Mask is all 0. Scratch
// holds at least 6 * Width bytes.
uint32_t AdaptiveGatedOpeningCount(const uint8_t* Altered, const uint8_t* Mask,
                                   const uint32_t* RowChanged, uint8_t* Scratch, int32_t Width,
                                   int32_t Height);

// 3 x 3 dilation of a Width x Height mask, counted: Count is the number of pixels with a
// non-zero value among their neighbours within the mask (a 3 x 3 opening is an erosion
// followed by this).
void AdaptiveDilateCount3x3(const uint8_t* Mask, int32_t Width, int32_t Height, uint32_t& Count);
