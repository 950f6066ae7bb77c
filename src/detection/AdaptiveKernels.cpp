#include "detection/AdaptiveKernels.h"

#include <algorithm>
#include <cstring>

#include "detection/AdaptiveKernelsImpl.h"
#include "detection/PixelKernels.h"

namespace {

struct TAdaptiveKernelTable {
    decltype(&AdaptiveKernelsScalar::AdaptiveLumaRow) LumaRow;
    decltype(&AdaptiveKernelsScalar::AdaptiveClassify) Classify;
    decltype(&AdaptiveKernelsScalar::AdaptiveErode3x3) Erode3x3;
    decltype(&AdaptiveKernelsScalar::AdaptiveDilate3x3) Dilate3x3;
    decltype(&AdaptiveKernelsScalar::AdaptiveDilateCount3x3) DilateCount3x3;
};

constexpr TAdaptiveKernelTable kScalar = {
    AdaptiveKernelsScalar::AdaptiveLumaRow, AdaptiveKernelsScalar::AdaptiveClassify,
    AdaptiveKernelsScalar::AdaptiveErode3x3, AdaptiveKernelsScalar::AdaptiveDilate3x3,
    AdaptiveKernelsScalar::AdaptiveDilateCount3x3};

#if defined(__x86_64__) || defined(_M_X64)
constexpr TAdaptiveKernelTable kSse2 = {
    AdaptiveKernelsSse2::AdaptiveLumaRow, AdaptiveKernelsSse2::AdaptiveClassify,
    AdaptiveKernelsSse2::AdaptiveErode3x3, AdaptiveKernelsSse2::AdaptiveDilate3x3,
    AdaptiveKernelsSse2::AdaptiveDilateCount3x3};
constexpr TAdaptiveKernelTable kAvx2 = {
    AdaptiveKernelsAvx2::AdaptiveLumaRow, AdaptiveKernelsAvx2::AdaptiveClassify,
    AdaptiveKernelsAvx2::AdaptiveErode3x3, AdaptiveKernelsAvx2::AdaptiveDilate3x3,
    AdaptiveKernelsAvx2::AdaptiveDilateCount3x3};
#endif

// The set matching the pixel kernels in use: the dispatcher there has checked the CPU.
const TAdaptiveKernelTable& Current() {
#if defined(__x86_64__) || defined(_M_X64)
    const char* name = PixelKernelsImplementationName();
    if (std::strcmp(name, "avx2") == 0) {
        return kAvx2;
    }
    if (std::strcmp(name, "sse2") == 0) {
        return kSse2;
    }
#endif
    return kScalar;
}

}  // namespace

void AdaptiveLumaRow(const void* Frame, const uint16_t* Background, const uint8_t* PreviousMask,
                     uint8_t* Luma, uint8_t* Altered, int32_t Pixels, int64_t& DiffSum,
                     int64_t& StillCount, int64_t& AlteredCount) {
    Current().LumaRow(Frame, Background, PreviousMask, Luma, Altered, Pixels, DiffSum,
                      StillCount, AlteredCount);
}

void AdaptiveClassify(const uint8_t* Luma, uint16_t* Background, uint16_t* Noise, uint8_t* Mask,
                      int32_t Pixels, const TAdaptiveClassifyParams& Params, uint32_t& Changed) {
    // Kept within the ranges where the 16-bit lanes of the vectorised versions cannot wrap.
    TAdaptiveClassifyParams params = Params;
    params.Offset = std::clamp(params.Offset, -kAdaptiveMaxOffset, kAdaptiveMaxOffset);
    params.MinThreshold = std::clamp(params.MinThreshold, 0, 16 * 1024);
    params.NoiseGainShift = std::clamp(params.NoiseGainShift, 0, 3);
    params.FastShift = std::clamp(params.FastShift, 1, 14);
    params.SlowShift = std::clamp(params.SlowShift, 1, 14);
    params.NoiseShift = std::clamp(params.NoiseShift, 1, 14);
    params.NoiseSlowShift = std::clamp(params.NoiseSlowShift, 1, 14);
    Current().Classify(Luma, Background, Noise, Mask, Pixels, params, Changed);
}

void AdaptiveErode3x3(const uint8_t* Mask, uint8_t* Out, int32_t Width, int32_t Height) {
    Current().Erode3x3(Mask, Out, Width, Height);
}

void AdaptiveDilate3x3(const uint8_t* Mask, const uint8_t* Gate, uint8_t* Out, int32_t Width,
                       int32_t Height) {
    Current().Dilate3x3(Mask, Gate, Out, Width, Height);
}

void AdaptiveDilateCount3x3(const uint8_t* Mask, int32_t Width, int32_t Height,
                            uint32_t& Count) {
    Current().DilateCount3x3(Mask, Width, Height, Count);
}
