#include "detection/MotionDetectionManager.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "detection/PixelKernels.h"
#include "platform/Diagnostics.h"

namespace {

// Longest wait for the threaded detector's count of the frame just handed over. Far beyond
// any zone's processing time; it only keeps the frame thread going should the worker stall,
// in which case the step reports the worker's last finished count.
constexpr uint32_t kResultWaitMs = 1000;

// Rounds to the nearest integer, ties to even (12.5 -> 12, 37.5 -> 38), independent of the
// floating-point environment; saturates at the int32 range.
int32_t RoundHalfToEven(double value) {
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) {
        whole += 1.0;
    }
    return static_cast<int32_t>(std::clamp<double>(whole, std::numeric_limits<int32_t>::min(),
                                                   std::numeric_limits<int32_t>::max()));
}

// Counts the differing pixels of a zone in place in both frames, with the result of one
// packed pass over the zone: the packed count examines pixels in pairs and skips the zone's
// last pixel when the zone has an odd number of them. Each row is counted straight from the
// frames; when the width is odd, a row's last pixel pairs with the next row's last pixel
// (which is where the packed pass pairs it up), and the last row's one is skipped if the row
// count is odd too.
uint32_t CountZoneInPlace(const uint8_t* First1, const uint8_t* First2, size_t Stride,
                          int64_t Width, int64_t Height, int32_t DetectionLevel) {
    const int32_t rowBytes = static_cast<int32_t>(Width * 4);
    const bool oddWidth = Width % 2 != 0;
    uint32_t total = 0;
    // The last pixels of two rows, packed side by side.
    uint8_t tail1[8];
    uint8_t tail2[8];
    for (int64_t row = 0; row < Height; ++row) {
        const uint8_t* row1 = First1 + static_cast<size_t>(row) * Stride;
        const uint8_t* row2 = First2 + static_cast<size_t>(row) * Stride;
        uint32_t levelAndCount = static_cast<uint32_t>(DetectionLevel);
        CountDiffPixels32(row1, row2, levelAndCount, rowBytes);
        total += levelAndCount;
        if (oddWidth) {
            const size_t half = static_cast<size_t>(row % 2) * 4;
            std::memcpy(tail1 + half, row1 + rowBytes - 4, 4);
            std::memcpy(tail2 + half, row2 + rowBytes - 4, 4);
            if (half != 0) {
                levelAndCount = static_cast<uint32_t>(DetectionLevel);
                CountDiffPixels32(tail1, tail2, levelAndCount, 8);
                total += levelAndCount;
            }
        }
    }
    return total;
}

}  // namespace

TMotionDetectionManager::TMotionDetectionManager() = default;

TMotionDetectionManager::~TMotionDetectionManager() {
    try {
        Deinitialize();
        FNeuralMotionDetection.reset();
    } catch (...) {
        LogMessage("Error in TMotionDetectionManager.Destroy call...");
    }
}

bool TMotionDetectionManager::Initialize(int32_t FrameWidth, int32_t FrameHeight,
                                         int32_t MotionDetectionMode) {
    try {
        if (FInitialized && !Deinitialize()) {
            LogMessage(
                "Error in TMotionDetectionManager.Initialize - cannot deinitialize the class.");
            return false;
        }
        if (FrameWidth < 0 || FrameHeight < 0) {
            throw std::invalid_argument("negative frame size");
        }
        // The kernels take the byte size as a signed 32-bit value.
        const int64_t size = int64_t{FrameWidth} * FrameHeight * 4;
        if (size > std::numeric_limits<int32_t>::max()) {
            throw std::length_error("frame too large");
        }
        FFrameWidth = FrameWidth;
        FFrameHeight = FrameHeight;
        FMotionDetectionMode = MotionDetectionMode;
        FInitialized = true;
        return true;
    } catch (...) {
        LogMessage("Error in TMotionDetectionManager.Initialize call...");
        return false;
    }
}

bool TMotionDetectionManager::Deinitialize() {
    try {
        if (!FInitialized) {
            return true;
        }
        FInitialized = false;
        FFrameWidth = 0;
        FFrameHeight = 0;
        FNeuralMotionDetection.reset();  // stops its thread
        FAdaptiveMotionDetection.reset();
        FZoneSet = false;
        return true;
    } catch (...) {
        LogMessage("Error in TMotionDetectionManager.Deinitialize call...");
        return false;
    }
}

bool TMotionDetectionManager::SetMotionDetectionRectangle(const TRect& Rect) {
    try {
        FMotionDetectionRect = Rect;
        const int64_t width = std::max<int64_t>(Rect.Width(), 0);
        const int64_t height = std::max<int64_t>(Rect.Height(), 0);
        const int64_t count = width * height;
        if (width > std::numeric_limits<int32_t>::max() ||
            height > std::numeric_limits<int32_t>::max() ||
            count > std::numeric_limits<int32_t>::max()) {
            FDetectionRegionPixelsCount = 0;
            FNeuralMotionDetection.reset();
            throw std::length_error("zone too large");
        }
        FDetectionRegionPixelsCount = static_cast<int32_t>(count);
        FZoneSet = false;
        FNeuralMotionDetection.reset();
        FAdaptiveMotionDetection.reset();
        if (FMotionDetectionMode == 4) {
            const int64_t left = std::max<int64_t>(Rect.Left, 0);
            const int64_t top = std::max<int64_t>(Rect.Top, 0);
            const int64_t right = std::min<int64_t>(int64_t{Rect.Left} + width, FFrameWidth);
            const int64_t bottom = std::min<int64_t>(int64_t{Rect.Top} + height, FFrameHeight);
            FAdaptiveMotionDetection = std::make_unique<TAdaptiveMotionDetection>();
            FAdaptiveMotionDetection->SetMotionDetectionSensitivity(FMotionDetectionSensitivity);
            // A zone entirely outside the frame has nothing to learn and never gets ready.
            if (right <= left || bottom <= top) {
                return false;
            }
            return FAdaptiveMotionDetection->Initialize(static_cast<int32_t>(right - left),
                                                        static_cast<int32_t>(bottom - top),
                                                        FTimePerFrameMS);
        }
        if (FMotionDetectionMode == 1) {
            // Simple mode counts the zone in place in both frames: no worker, no buffers.
            FZoneSet = true;
            return true;
        }
        FNeuralMotionDetection = std::make_unique<TNeuralMotionDetection>();
        // A failure here has logged its own line; the zone then never becomes ready.
        return FNeuralMotionDetection->Initialize(
            static_cast<int32_t>(width), static_cast<int32_t>(height), FMotionDetectionMode);
    } catch (...) {
        LogMessage("Error in TMotionDetectionManager.SetMotionDetectionRectangle call...");
        return false;
    }
}

bool TMotionDetectionManager::SetMotionDetectionSensitivity(int32_t Sensitivity) {
    try {
        FMotionDetectionSensitivity = Sensitivity;
        if (FAdaptiveMotionDetection) {
            FAdaptiveMotionDetection->SetMotionDetectionSensitivity(Sensitivity);
            return true;
        }
        if (FNeuralMotionDetection) {
            return FNeuralMotionDetection->SetMotionDetectionSensitivity(Sensitivity);
        }
        if (!FZoneSet) {
            throw std::logic_error("no zone set");
        }
        return true;
    } catch (...) {
        LogMessage("Error in TMotionDetectionManager.SetMotionDetectionSensitivity call...");
        return false;
    }
}

bool TMotionDetectionManager::MotionDecetction_CountDifferentPixelsBlock_RGB32(
    const void* Frame1, const void* Frame2, int32_t DetectionLevel, int32_t BlockX, int32_t BlockY,
    int32_t BlockWidth, int32_t BlockHeight, uint32_t& PixelsCount) {
    try {
        if (!FInitialized) {
            return false;
        }
        PixelsCount = 0;
        if (Frame1 == nullptr || Frame2 == nullptr) {
            throw std::invalid_argument("no frame");
        }

        // The part of the block that lies inside the frame.
        const int64_t left = std::max<int64_t>(BlockX, 0);
        const int64_t top = std::max<int64_t>(BlockY, 0);
        const int64_t right = std::min<int64_t>(int64_t{BlockX} + BlockWidth, FFrameWidth);
        const int64_t bottom = std::min<int64_t>(int64_t{BlockY} + BlockHeight, FFrameHeight);
        const int64_t width = std::max<int64_t>(right - left, 0);
        const int64_t height = std::max<int64_t>(bottom - top, 0);
        if (width == 0 || height == 0) {
            FMotionActivityPrc = 0;
            return true;
        }
        const size_t stride = static_cast<size_t>(FFrameWidth) * 4;
        const size_t first = (static_cast<size_t>(top) * FFrameWidth + left) * 4;
        const uint8_t* first1 = static_cast<const uint8_t*>(Frame1) + first;
        const uint8_t* first2 = static_cast<const uint8_t*>(Frame2) + first;

        if (FMotionDetectionMode == 1) {
            PixelsCount = CountZoneInPlace(first1, first2, stride, width, height, DetectionLevel);
        } else if (FMotionDetectionMode == 4) {
            // The detector learns the zone's in-frame size; another block is not handed over.
            if (FAdaptiveMotionDetection && width == FAdaptiveMotionDetection->Width() &&
                height == FAdaptiveMotionDetection->Height()) {
                FAdaptiveMotionDetection->AddFrame(first1, stride, PixelsCount);
            }
        } else if (FMotionDetectionMode == 2 || FMotionDetectionMode == 3) {
            if (FNeuralMotionDetection) {
                // The detector learns one zone size; a block of another size (a zone clamped at
                // the frame edge) is not handed over. A frame handed over is waited for, so
                // the count reported is this frame's.
                if (width == FNeuralMotionDetection->FrameWidth() &&
                    height == FNeuralMotionDetection->FrameHeight()) {
                    FNeuralMotionDetection->WaitForResult(kResultWaitMs);
                    if (FNeuralMotionDetection->AddFrame(first1, stride)) {
                        FNeuralMotionDetection->WaitForResult(kResultWaitMs);
                    }
                }
                PixelsCount = static_cast<uint32_t>(
                    std::max(FNeuralMotionDetection->GetDifferentPixelsCount(), 0));
            }
        }

        FMotionActivityPrc =
            FDetectionRegionPixelsCount > 0
                ? RoundHalfToEven(PixelsCount * 100.0 / FDetectionRegionPixelsCount)
                : 0;
        return true;
    } catch (...) {
        LogMessage(
            "Error in TMotionDetectionManager.MotionDecetction_CountDifferentPixelsBlock_RGB32 "
            "call...");
        return false;
    }
}

bool TMotionDetectionManager::MotionDecetction_CountDifferentPixelsBlock_RGB32(
    const void* Frame1, const void* Frame2, int32_t DetectionLevel, uint32_t& PixelsCount) {
    const TRect& zone = FMotionDetectionRect;
    // Widths beyond int32 clamp to the frame just the same.
    const auto clampedExtent = [](int64_t extent) {
        return static_cast<int32_t>(
            std::clamp<int64_t>(extent, 0, std::numeric_limits<int32_t>::max()));
    };
    return MotionDecetction_CountDifferentPixelsBlock_RGB32(
        Frame1, Frame2, DetectionLevel, zone.Left, zone.Top, clampedExtent(zone.Width()),
        clampedExtent(zone.Height()), PixelsCount);
}

bool TMotionDetectionManager::IsReadyToProcess() const {
    switch (FMotionDetectionMode) {
        case 1:
            return true;
        case 2:
        case 3:
            return FNeuralMotionDetection && FNeuralMotionDetection->NeuralMode() == 2;
        case 4:
            return FAdaptiveMotionDetection && FAdaptiveMotionDetection->IsReady();
        default:
            return false;
    }
}

void TMotionDetectionManager::BrightnessIncrease(void* Source, int32_t Size, uint8_t Level) {
    ::BrightnessIncrease(Source, Size, Level);
}

void TMotionDetectionManager::BrightnessDecrease(void* Source, int32_t Size, uint8_t Level) {
    ::BrightnessDecrease(Source, Size, Level);
}
