#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "detection/AdaptiveKernelsImpl.h"

namespace AdaptiveKernelsScalar {

uint8_t LumaOf(const uint8_t* Pixel) {
    return static_cast<uint8_t>((29 * Pixel[0] + 150 * Pixel[1] + 77 * Pixel[2] + 128) >> 8);
}

uint8_t ErodedRowAt(const uint8_t* Up, const uint8_t* Mid, const uint8_t* Down, int32_t Width,
                    int32_t X) {
    if (X <= 0 || X >= Width - 1) {
        return 0;
    }
    for (const uint8_t* row : {Up, Mid, Down}) {
        if (row[X - 1] == 0 || row[X] == 0 || row[X + 1] == 0) {
            return 0;
        }
    }
    return 0xFF;
}

bool DilatedRowAt(const uint8_t* Up, const uint8_t* Mid, const uint8_t* Down, int32_t Width,
                  int32_t X) {
    for (const uint8_t* row : {Up, Mid, Down}) {
        for (int32_t x = std::max(X - 1, 0); x <= std::min(X + 1, Width - 1); ++x) {
            if (row[x] != 0) {
                return true;
            }
        }
    }
    return false;
}

void AdaptiveLumaRow(const void* Frame, const uint16_t* Background, const uint8_t* PreviousMask,
                     uint8_t* Luma, uint8_t* Altered, int32_t Pixels, int64_t& DiffSum,
                     int64_t& StillCount, int64_t& AlteredCount) {
    if (Frame == nullptr || Background == nullptr || PreviousMask == nullptr ||
        Luma == nullptr || Altered == nullptr) {
        return;
    }
    const auto* frame = static_cast<const uint8_t*>(Frame);
    for (int32_t i = 0; i < Pixels; ++i) {
        const uint8_t luma = LumaOf(frame + static_cast<size_t>(i) * 4);
        Altered[i] = Luma[i] != luma ? 0xFF : 0;
        AlteredCount += Luma[i] != luma ? 1 : 0;
        Luma[i] = luma;
        if (PreviousMask[i] == 0) {
            DiffSum += luma * 16 - Background[i];
            ++StillCount;
        }
    }
}

void AdaptiveClassify(const uint8_t* Luma, uint16_t* Background, uint16_t* Noise, uint8_t* Mask,
                      int32_t Pixels, const TAdaptiveClassifyParams& Params, uint32_t& Changed) {
    Changed = 0;
    if (Luma == nullptr || Background == nullptr || Noise == nullptr || Mask == nullptr) {
        return;
    }
    uint32_t changed = 0;
    for (int32_t i = 0; i < Pixels; ++i) {
        const int32_t luma16 = Luma[i] * 16;
        const int32_t background = Background[i];
        const int32_t noise = Noise[i];
        const int32_t signedDeviation = luma16 - background - Params.Offset;
        const int32_t deviation = std::abs(signedDeviation);
        const bool isChanged =
            deviation > Params.MinThreshold + (noise << Params.NoiseGainShift);
        Mask[i] = isChanged ? 0xFF : 0;
        changed += isChanged ? 1 : 0;
        const int32_t noiseShift = isChanged ? Params.NoiseSlowShift : Params.NoiseShift;
        Noise[i] = static_cast<uint16_t>(
            noise + ((std::min(deviation, kAdaptiveNoiseClamp) - noise) >> noiseShift));
        const int32_t shift = isChanged ? Params.SlowShift : Params.FastShift;
        Background[i] = static_cast<uint16_t>(std::clamp(
            background + Params.Offset + (signedDeviation >> shift), 0, kAdaptiveMaxBackground));
    }
    Changed = changed;
}

void AdaptiveErodeRow(const uint8_t* Up, const uint8_t* Mid, const uint8_t* Down, uint8_t* Out,
                      int32_t Width) {
    for (int32_t x = 0; x < Width; ++x) {
        Out[x] = ErodedRowAt(Up, Mid, Down, Width, x);
    }
}

void AdaptiveDilateRow(const uint8_t* Up, const uint8_t* Mid, const uint8_t* Down,
                       const uint8_t* Gate, uint8_t* Out, int32_t Width) {
    for (int32_t x = 0; x < Width; ++x) {
        Out[x] = Gate[x] != 0 && DilatedRowAt(Up, Mid, Down, Width, x) ? 0xFF : 0;
    }
}

uint32_t AdaptiveDilateCountRow(const uint8_t* Up, const uint8_t* Mid, const uint8_t* Down,
                                int32_t Width) {
    uint32_t count = 0;
    for (int32_t x = 0; x < Width; ++x) {
        count += DilatedRowAt(Up, Mid, Down, Width, x) ? 1 : 0;
    }
    return count;
}

void AdaptiveErode3x3(const uint8_t* Mask, uint8_t* Out, int32_t Width, int32_t Height) {
    AdaptiveKernelRows::Erode3x3<&AdaptiveErodeRow>(Mask, Out, Width, Height);
}

void AdaptiveDilate3x3(const uint8_t* Mask, const uint8_t* Gate, uint8_t* Out, int32_t Width,
                       int32_t Height) {
    AdaptiveKernelRows::Dilate3x3<&AdaptiveDilateRow>(Mask, Gate, Out, Width, Height);
}

void AdaptiveDilateCount3x3(const uint8_t* Mask, int32_t Width, int32_t Height,
                            uint32_t& Count) {
    AdaptiveKernelRows::DilateCount3x3<&AdaptiveDilateCountRow>(Mask, Width, Height, Count);
}

}  // namespace AdaptiveKernelsScalar
