#include "detection/NeuralMotionDetection.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "detection/Convolution.h"
#include "detection/PixelKernels.h"
#include "platform/Diagnostics.h"

namespace {

constexpr uint32_t kStillLevel = 10;         // per-byte change still counted as "same"
constexpr int32_t kStillFramesToLearn = 10;  // state 0 -> 1
constexpr int32_t kLearningFrames = 60;      // state 1 -> 2

}  // namespace

TNeuralMotionDetection::TNeuralMotionDetection() {
    try {
        FWorkerActive.store(true, std::memory_order_release);
        FThread.Start("tdr-neural", [this] { Execute(); });
    } catch (...) {
        FWorkerActive.store(false, std::memory_order_release);
        LogMessage("Error in TNeuralMotionDetection.Create call...");
    }
}

TNeuralMotionDetection::~TNeuralMotionDetection() {
    try {
        StopThread();
        if (FInitialized.load(std::memory_order_acquire)) {
            Deinitialize();
        }
    } catch (...) {
        LogMessage("Error in TNeuralMotionDetection.Destroy call...");
    }
}

void TNeuralMotionDetection::StopThread() {
    if (FThread.Running()) {
        FExitEvent.SetEvent();
        FThread.Join();
    }
}

bool TNeuralMotionDetection::Initialize(int32_t FrameWidth, int32_t FrameHeight,
                                        int32_t MotionDetectionMode) {
    try {
        if (FInitialized.load(std::memory_order_acquire) && !Deinitialize()) {
            return false;
        }
        if (FrameWidth < 0 || FrameHeight < 0) {
            throw std::invalid_argument("negative zone size");
        }
        // The kernels take the byte size as a signed 32-bit value.
        const int64_t size = int64_t{FrameWidth} * FrameHeight * 4;
        if (size > std::numeric_limits<int32_t>::max()) {
            throw std::length_error("zone too large");
        }
        FFrameWidth = FrameWidth;
        FFrameHeight = FrameHeight;
        FMotionDetectionMode = MotionDetectionMode;
        // Each mode holds only what it reads: the two frames always, the learned envelope in
        // the learning modes, the edge images only where edges are learned.
        const bool learns = MotionDetectionMode >= 2;
        const bool edges = MotionDetectionMode == 3;
        FreeBuffers();
        for (auto* buffer : {&FFrameBlock1, &FFrameBlock2}) {
            buffer->assign(static_cast<size_t>(size), 0);
        }
        if (edges) {
            FFrameBlockEdge1.assign(static_cast<size_t>(size), 0);
            FFrameBlockEdge2.assign(static_cast<size_t>(size), 0);
        }
        if (learns) {
            FMinPnt.assign(static_cast<size_t>(size), 0xFF);
            FMaxPnt.assign(static_cast<size_t>(size), 0);
        }
        FNeuralMode.store(0, std::memory_order_relaxed);
        FSimpleDetectionCounter = 0;
        FNeuralDetectionCounter = 0;
        FDifferentPixelsCount.store(0, std::memory_order_relaxed);
        FFirstFrame = true;
        FProcessingState.store(0, std::memory_order_relaxed);
        // Publishes everything above to the worker and to AddFrame.
        FInitialized.store(true, std::memory_order_release);
        return true;
    } catch (...) {
        FreeBuffers();
        LogMessage("Error in TNeuralMotionDetection.Initialize call...");
        return false;
    }
}

bool TNeuralMotionDetection::Deinitialize() {
    try {
        FInitialized.store(false, std::memory_order_release);
        // No new frame is handed over from here on; wait until the worker has given back the
        // one it may hold (or has ended), so no buffer is freed while it still reads it.
        WaitForResult(INFINITE);
        FreeBuffers();
        return true;
    } catch (...) {
        LogMessage("Error in TNeuralMotionDetection.Deinitialize call...");
        return false;
    }
}

void TNeuralMotionDetection::FreeBuffers() {
    for (auto* buffer :
         {&FFrameBlock1, &FFrameBlock2, &FFrameBlockEdge1, &FFrameBlockEdge2, &FMinPnt, &FMaxPnt}) {
        std::vector<uint8_t>().swap(*buffer);
    }
}

bool TNeuralMotionDetection::SetMotionDetectionSensitivity(int32_t Sensitivity) {
    FMotionDetectionSensitivity.store(Sensitivity, std::memory_order_relaxed);
    return true;
}

// Whether the worker can take a frame: set up and done with the last one (a busy worker's
// frame is dropped).
bool TNeuralMotionDetection::ReadyForFrame() const {
    return FInitialized.load(std::memory_order_acquire) &&
           FProcessingState.load(std::memory_order_acquire) == 0;
}

// The frame block is filled: the worker may take it.
void TNeuralMotionDetection::HandOverFrame() {
    FProcessingState.store(1, std::memory_order_release);
    FFrameEvent.SetEvent();
}

bool TNeuralMotionDetection::AddFrame(const void* Frame, int32_t FrameSize) {
    try {
        if (!ReadyForFrame()) {
            return false;
        }
        if (Frame == nullptr || FrameSize <= 0 ||
            static_cast<size_t>(FrameSize) > FFrameBlock1.size()) {
            return false;
        }
        std::memcpy(FFrameBlock1.data(), Frame, static_cast<size_t>(FrameSize));
        HandOverFrame();
        return true;
    } catch (...) {
        LogMessage("Error in TNeuralMotionDetection.AddFrame call...");
        return false;
    }
}

bool TNeuralMotionDetection::AddFrame(const uint8_t* TopLeft, size_t Stride) {
    try {
        if (!ReadyForFrame()) {
            return false;
        }
        const size_t rowBytes = static_cast<size_t>(FFrameWidth) * 4;
        if (TopLeft == nullptr || rowBytes == 0 || FFrameHeight <= 0) {
            return false;
        }
        uint8_t* block = FFrameBlock1.data();
        for (int32_t row = 0; row < FFrameHeight; ++row) {
            std::memcpy(block, TopLeft, rowBytes);
            block += rowBytes;
            TopLeft += Stride;
        }
        HandOverFrame();
        return true;
    } catch (...) {
        LogMessage("Error in TNeuralMotionDetection.AddFrame call...");
        return false;
    }
}

bool TNeuralMotionDetection::WaitForResult(uint32_t TimeoutMs) {
    using TClock = std::chrono::steady_clock;
    const auto deadline = TClock::now() + std::chrono::milliseconds(TimeoutMs);
    // A signal left over from an earlier frame only causes one more look at the flag.
    while (FProcessingState.load(std::memory_order_acquire) != 0 &&
           FWorkerActive.load(std::memory_order_acquire)) {
        uint32_t wait = INFINITE;
        if (TimeoutMs != INFINITE) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - TClock::now());
            if (left.count() <= 0) {
                return false;
            }
            wait = static_cast<uint32_t>(left.count());
        }
        FResultEvent.WaitFor(wait);
    }
    return true;
}

int32_t TNeuralMotionDetection::GetDifferentPixelsCount() const {
    return FDifferentPixelsCount.load(std::memory_order_relaxed);
}

void TNeuralMotionDetection::BrightnessIncrease(void* Source, int32_t Size, uint8_t Level) {
    ::BrightnessIncrease(Source, Size, Level);
}

void TNeuralMotionDetection::BrightnessDecrease(void* Source, int32_t Size, uint8_t Level) {
    ::BrightnessDecrease(Source, Size, Level);
}

void TNeuralMotionDetection::Execute() {
    try {
        for (;;) {
            // Sleeps until a frame is handed over or the thread is asked to end.
            if (WaitForMultipleObjects({&FExitEvent, &FFrameEvent}, INFINITE) == WAIT_OBJECT_0) {
                break;
            }
            if (FProcessingState.load(std::memory_order_acquire) == 1) {
                ProcessFrame();
                // The processed frame becomes the previous one; the next hand-over may only
                // write FFrameBlock1 after the swap, hence the release store.
                FFrameBlock1.swap(FFrameBlock2);
                FFrameBlockEdge1.swap(FFrameBlockEdge2);
                FProcessingState.store(0, std::memory_order_release);
                FResultEvent.SetEvent();
            }
        }
    } catch (...) {
        LogMessage("Error in TNeuralMotionDetection.Execute call...");
    }
    FWorkerActive.store(false, std::memory_order_release);
    FResultEvent.SetEvent();
}

void TNeuralMotionDetection::ProcessFrame() {
    if (!FInitialized.load(std::memory_order_acquire)) {
        return;
    }
    try {
        const int64_t n = int64_t{FFrameWidth} * FFrameHeight;
        if (n == 0) {
            return;
        }
        const int32_t size = static_cast<int32_t>(n * 4);
        const int32_t mode = FMotionDetectionMode;
        const int32_t sensitivity = FMotionDetectionSensitivity.load(std::memory_order_relaxed);

        if (mode == 3) {
            ConvolveRGB32(FFrameBlock1.data(), FFrameBlockEdge1.data(), FFrameWidth, FFrameHeight,
                          kEdgeKernel, 0);
        }
        if (FFirstFrame) {
            if (mode == 3) {
                std::memcpy(FFrameBlockEdge2.data(), FFrameBlockEdge1.data(), size);
            }
            std::memcpy(FFrameBlock2.data(), FFrameBlock1.data(), size);
            FFirstFrame = false;
        }

        // Stillness is always judged on the raw pixels, against the previous frame.
        uint32_t different = kStillLevel;
        CountDiffPixels32(FFrameBlock1.data(), FFrameBlock2.data(), different, size);
        const bool motion =
            static_cast<double>(different) * 100.0 / static_cast<double>(n) > 100 - sensitivity;

        int64_t result = 0;
        if (mode <= 1) {
            result = different;
        } else {
            // Mode 3 learns and tests the edge image, every other mode the raw pixels.
            uint8_t* image = mode == 3 ? FFrameBlockEdge1.data() : FFrameBlock1.data();
            if (FNeuralMode.load(std::memory_order_relaxed) == 0) {
                FSimpleDetectionCounter = motion ? 0 : FSimpleDetectionCounter + 1;
                if (FSimpleDetectionCounter >= kStillFramesToLearn) {
                    FNeuralDetectionCounter = 0;
                    FNeuralMode.store(1, std::memory_order_relaxed);
                }
            }
            if (FNeuralMode.load(std::memory_order_relaxed) == 1) {
                if (motion) {
                    // What was learned so far stays in the envelope.
                    FSimpleDetectionCounter = 0;
                    FNeuralMode.store(0, std::memory_order_relaxed);
                } else {
                    MaxBytes32(image, FMaxPnt.data(), size);
                    MinBytes32(image, FMinPnt.data(), size);
                    if (++FNeuralDetectionCounter >= kLearningFrames) {
                        // Out-of-range sensitivities give no margin or the byte maximum.
                        const int32_t margin = std::clamp((100 - sensitivity) / 4, 0, 255);
                        BrightnessIncrease(FMaxPnt.data(), size, static_cast<uint8_t>(margin));
                        BrightnessDecrease(FMinPnt.data(), size, static_cast<uint8_t>(margin));
                        FNeuralMode.store(2, std::memory_order_relaxed);
                    }
                }
            }
            if (FNeuralMode.load(std::memory_order_relaxed) == 2) {
                MaskEnvelope32(image, FMinPnt.data(), FMaxPnt.data(), size);
                uint32_t outside = 0;
                CountNonZeroPixels32(image, size, outside);
                // An edge pixel stands for the few raw pixels around it.
                result = std::min<int64_t>(mode == 3 ? int64_t{4} * outside : outside, n);
            }
        }
        FDifferentPixelsCount.store(static_cast<int32_t>(result), std::memory_order_relaxed);
    } catch (...) {
        LogMessage(
            "Error in TMotionDetectionManager.MotionDecetction_CountDifferentPixelsBlock_RGB32 "
            "call...");
    }
}
