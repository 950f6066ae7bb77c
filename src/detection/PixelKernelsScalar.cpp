#include "detection/PixelKernelsScalar.h"

#include <cstddef>
#include <cstring>

namespace PixelKernelsScalar {

namespace {

constexpr int32_t kStepBytes = 8;  // one step = two RGB32 pixels
constexpr int32_t kPixelBytes = 4;

// Bytes covered by the Size div 8 steps; the rest of the buffer is never touched.
size_t StepBytes(int32_t Size) {
    return Size < kStepBytes ? 0 : static_cast<size_t>(Size / kStepBytes) * kStepBytes;
}

// True when some byte of the pixel at p1 differs from the one at p2 by more than level.
bool PixelDiffers(const uint8_t* p1, const uint8_t* p2, uint8_t level) {
    for (int i = 0; i < kPixelBytes; ++i) {
        const int diff = p1[i] > p2[i] ? p1[i] - p2[i] : p2[i] - p1[i];
        if (diff > level) {
            return true;
        }
    }
    return false;
}

bool PixelOutsideEnvelope(const uint8_t* frame, const uint8_t* min, const uint8_t* max) {
    for (int i = 0; i < kPixelBytes; ++i) {
        if (frame[i] < min[i] || frame[i] > max[i]) {
            return true;
        }
    }
    return false;
}

bool PixelIsZero(const uint8_t* p) {
    return p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 0;
}

}  // namespace

void CountDiffPixels32(const void* Block1, const void* Block2, uint32_t& LevelAndCount,
                       int32_t Size) {
    const uint8_t level = static_cast<uint8_t>(LevelAndCount & 0xFF);
    uint32_t count = 0;
    if (Block1 != nullptr && Block2 != nullptr) {
        const auto* b1 = static_cast<const uint8_t*>(Block1);
        const auto* b2 = static_cast<const uint8_t*>(Block2);
        const size_t bytes = StepBytes(Size);
        for (size_t i = 0; i < bytes; i += kPixelBytes) {
            count += PixelDiffers(b1 + i, b2 + i, level) ? 1 : 0;
        }
    }
    LevelAndCount = count;
}

void FillMem32(void* Dest, int32_t Size, uint32_t Value) {
    if (Dest == nullptr || Size < kPixelBytes) {
        return;
    }
    auto* d = static_cast<uint8_t*>(Dest);
    const int32_t words = Size / kPixelBytes;
    for (int32_t i = 0; i < words; ++i) {
        std::memcpy(d + static_cast<size_t>(i) * kPixelBytes, &Value, kPixelBytes);
    }
}

void BrightnessIncrease(void* Source, int32_t Size, uint8_t Level) {
    if (Source == nullptr) {
        return;
    }
    auto* s = static_cast<uint8_t*>(Source);
    const size_t bytes = StepBytes(Size);
    for (size_t i = 0; i < bytes; ++i) {
        const int v = s[i] + Level;
        s[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
    }
}

void BrightnessDecrease(void* Source, int32_t Size, uint8_t Level) {
    if (Source == nullptr) {
        return;
    }
    auto* s = static_cast<uint8_t*>(Source);
    const size_t bytes = StepBytes(Size);
    for (size_t i = 0; i < bytes; ++i) {
        const int v = s[i] - Level;
        s[i] = static_cast<uint8_t>(v < 0 ? 0 : v);
    }
}

void MaxBytes32(const void* Source, void* Dest, int32_t Size) {
    if (Source == nullptr || Dest == nullptr) {
        return;
    }
    const auto* s = static_cast<const uint8_t*>(Source);
    auto* d = static_cast<uint8_t*>(Dest);
    const size_t bytes = StepBytes(Size);
    for (size_t i = 0; i < bytes; ++i) {
        if (s[i] > d[i]) {
            d[i] = s[i];
        }
    }
}

void MinBytes32(const void* Source, void* Dest, int32_t Size) {
    if (Source == nullptr || Dest == nullptr) {
        return;
    }
    const auto* s = static_cast<const uint8_t*>(Source);
    auto* d = static_cast<uint8_t*>(Dest);
    const size_t bytes = StepBytes(Size);
    for (size_t i = 0; i < bytes; ++i) {
        if (s[i] < d[i]) {
            d[i] = s[i];
        }
    }
}

void MaskEnvelope32(void* Frame, const void* Min, const void* Max, int32_t Size) {
    if (Frame == nullptr || Min == nullptr || Max == nullptr) {
        return;
    }
    auto* f = static_cast<uint8_t*>(Frame);
    const auto* lo = static_cast<const uint8_t*>(Min);
    const auto* hi = static_cast<const uint8_t*>(Max);
    const size_t bytes = StepBytes(Size);
    for (size_t i = 0; i < bytes; i += kPixelBytes) {
        if (!PixelOutsideEnvelope(f + i, lo + i, hi + i)) {
            std::memset(f + i, 0, kPixelBytes);
        }
    }
}

void CountNonZeroPixels32(const void* Frame, int32_t Size, uint32_t& Count) {
    uint32_t count = 0;
    if (Frame != nullptr) {
        const auto* f = static_cast<const uint8_t*>(Frame);
        const size_t bytes = StepBytes(Size);
        for (size_t i = 0; i < bytes; i += kPixelBytes) {
            count += PixelIsZero(f + i) ? 0 : 1;
        }
    }
    Count = count;
}

}  // namespace PixelKernelsScalar
