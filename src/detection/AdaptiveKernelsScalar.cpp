#include <algorithm>
#include <cstdlib>

#include "detection/AdaptiveKernelsImpl.h"

namespace AdaptiveKernelsScalar {

uint8_t LumaOf(const uint8_t* Pixel) {
    return static_cast<uint8_t>((29 * Pixel[0] + 150 * Pixel[1] + 77 * Pixel[2] + 128) >> 8);
}

uint8_t ErodedAt(const uint8_t* Mask, int32_t Width, int32_t Height, int32_t X, int32_t Y) {
    if (X <= 0 || Y <= 0 || X >= Width - 1 || Y >= Height - 1) {
        return 0;
    }
    for (int32_t dy = -1; dy <= 1; ++dy) {
        for (int32_t dx = -1; dx <= 1; ++dx) {
            if (Mask[static_cast<size_t>(Y + dy) * Width + (X + dx)] == 0) {
                return 0;
            }
        }
    }
    return 0xFF;
}

bool DilatedAt(const uint8_t* Mask, int32_t Width, int32_t Height, int32_t X, int32_t Y) {
    for (int32_t y = std::max(Y - 1, 0); y <= std::min(Y + 1, Height - 1); ++y) {
        for (int32_t x = std::max(X - 1, 0); x <= std::min(X + 1, Width - 1); ++x) {
            if (Mask[static_cast<size_t>(y) * Width + x] != 0) {
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

void AdaptiveErode3x3(const uint8_t* Mask, uint8_t* Out, int32_t Width, int32_t Height) {
    if (Mask == nullptr || Out == nullptr || Width <= 0 || Height <= 0) {
        return;
    }
    for (int32_t y = 0; y < Height; ++y) {
        for (int32_t x = 0; x < Width; ++x) {
            Out[static_cast<size_t>(y) * Width + x] = ErodedAt(Mask, Width, Height, x, y);
        }
    }
}

void AdaptiveDilate3x3(const uint8_t* Mask, const uint8_t* Gate, uint8_t* Out, int32_t Width,
                       int32_t Height) {
    if (Mask == nullptr || Gate == nullptr || Out == nullptr || Width <= 0 || Height <= 0) {
        return;
    }
    for (int32_t y = 0; y < Height; ++y) {
        for (int32_t x = 0; x < Width; ++x) {
            const size_t i = static_cast<size_t>(y) * Width + x;
            Out[i] = Gate[i] != 0 && DilatedAt(Mask, Width, Height, x, y) ? 0xFF : 0;
        }
    }
}

void AdaptiveDilateCount3x3(const uint8_t* Mask, int32_t Width, int32_t Height,
                            uint32_t& Count) {
    Count = 0;
    if (Mask == nullptr || Width <= 0 || Height <= 0) {
        return;
    }
    uint32_t count = 0;
    for (int32_t y = 0; y < Height; ++y) {
        for (int32_t x = 0; x < Width; ++x) {
            count += DilatedAt(Mask, Width, Height, x, y) ? 1 : 0;
        }
    }
    Count = count;
}

}  // namespace AdaptiveKernelsScalar
