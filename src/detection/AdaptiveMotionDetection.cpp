#include "detection/AdaptiveMotionDetection.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "platform/Diagnostics.h"

namespace {

// Frame time assumed when the caller knows none (25 frames per second).
constexpr int32_t kDefaultTimePerFrameMS = 40;
// Time constant of the background of still pixels.
constexpr double kBackgroundSeconds = 0.8;
// Changed pixels follow 2^3 times slower (background and noise); the noise estimate 2^2 times
// slower than the background.
constexpr int32_t kSlowExtraShift = 3;
constexpr int32_t kNoiseExtraShift = 2;
constexpr double kWarmupSeconds = 1.5;
constexpr double kRelearnSeconds = 0.5;
constexpr int32_t kMinThreshold = 10 * 16;
constexpr int32_t kInitialNoise = 2 * 16;
// The threshold of a key frame of a compressed stream.
constexpr int32_t kRefreshThreshold = 24 * 16;
constexpr int32_t kRefreshFrames = 2;

int32_t FramesFor(double Seconds, double FramesPerSecond) {
    return std::max(1, static_cast<int32_t>(std::lround(Seconds * FramesPerSecond)));
}

}  // namespace

bool TAdaptiveMotionDetection::Initialize(int32_t Width, int32_t Height, int32_t TimePerFrameMS) {
    try {
        if (Width <= 0 || Height <= 0) {
            throw std::invalid_argument("empty zone");
        }
        const int64_t pixels = int64_t{Width} * Height;
        if (pixels > std::numeric_limits<int32_t>::max() / 4) {
            throw std::length_error("zone too large");
        }
        const double framesPerSecond =
            1000.0 / (TimePerFrameMS > 0 ? TimePerFrameMS : kDefaultTimePerFrameMS);
        const int32_t fastShift = std::clamp(
            static_cast<int32_t>(std::lround(std::log2(kBackgroundSeconds * framesPerSecond))),
            2, 8);
        FParams = TAdaptiveClassifyParams{};
        FParams.MinThreshold = kMinThreshold;
        FParams.FastShift = fastShift;
        FParams.SlowShift = fastShift + kSlowExtraShift;
        FParams.NoiseShift = fastShift + kNoiseExtraShift;
        FParams.NoiseSlowShift = fastShift + kNoiseExtraShift + kSlowExtraShift;
        FWarmupFrames = FramesFor(kWarmupSeconds, framesPerSecond);
        FRelearnFrames = FramesFor(kRelearnSeconds, framesPerSecond);
        FFramesPerSecond = FramesFor(1.0, framesPerSecond);
        FNonSelectiveFrames = 0;

        const auto size = static_cast<size_t>(pixels);
        FLuma.assign(size, 0);
        FBackground.assign(size, 0);
        FNoise.assign(size, kInitialNoise);
        FMask.assign(size, 0);
        FOpened.assign(static_cast<size_t>(Width) * 6, 0);
        FAltered.assign(size, 0);
        FRowChanged.assign(static_cast<size_t>(Height), 0);
        FWidth = Width;
        FHeight = Height;
        FFrames = 0;
        FPreviousAltered = 0;
        FRefreshFrames = 0;
        FBigChangeFrames = 0;
        FRelearnCount = 0;
        FMotionDetected = false;
        return true;
    } catch (...) {
        FWidth = 0;
        FHeight = 0;
        LogMessage("Error in TAdaptiveMotionDetection.Initialize call...");
        return false;
    }
}

void TAdaptiveMotionDetection::SetMotionDetectionSensitivity(int32_t Sensitivity) {
    FSensitivity = std::clamp(Sensitivity, 1, 100);
}

double TAdaptiveMotionDetection::AreaThresholdPercent(int32_t Sensitivity) {
    return (100 - std::clamp(Sensitivity, 1, 100)) / 20.0;
}

bool TAdaptiveMotionDetection::AddFrame(const void* Zone, size_t RowBytes, uint32_t& Changed) {
    Changed = 0;
    FMotionDetected = false;
    if (FWidth <= 0 || Zone == nullptr) {
        LogMessage("Error in TAdaptiveMotionDetection.AddFrame call...");
        return false;
    }
    const auto* zone = static_cast<const uint8_t*>(Zone);
    const size_t width = static_cast<size_t>(FWidth);
    const int32_t pixels = FWidth * FHeight;

    int64_t diffSum = 0;
    int64_t stillCount = 0;
    int64_t altered = 0;
    for (int32_t row = 0; row < FHeight; ++row) {
        const size_t at = static_cast<size_t>(row) * width;
        AdaptiveLumaRow(zone + static_cast<size_t>(row) * RowBytes, FBackground.data() + at,
                        FMask.data() + at, FLuma.data() + at, FAltered.data() + at, FWidth,
                        diffSum, stillCount, altered);
    }
    // A compressed stream at a low bit rate repeats most of a still picture unchanged from one
    // frame to the next and renews it at a key frame, where many blocks jump by a few levels
    // at once: a tenth of the zone or more altered, four times what the frame before altered.
    // (A camera's own noise alters nearly every pixel in every frame, so it never looks so.)
    // The encoder goes on renewing blocks in the frame after it.
    if (FFrames > 0 && altered * 10 > pixels && altered > FPreviousAltered * 4) {
        FRefreshFrames = kRefreshFrames;
    }
    FPreviousAltered = altered;
    const bool refresh = FRefreshFrames > 0;
    if (refresh) {
        --FRefreshFrames;
    }
    if (FFrames == 0) {
        for (int32_t i = 0; i < pixels; ++i) {
            FBackground[i] = static_cast<uint16_t>(FLuma[i] * 16);
        }
        ++FFrames;
        return true;
    }

    // The last learning frame already counts, so IsReady and the counts agree.
    const bool ready = FFrames + 1 >= FWarmupFrames;
    TAdaptiveClassifyParams params = FParams;
    // Too few still pixels say nothing about the global brightness.
    params.Offset = stillCount * 8 >= pixels
                        ? static_cast<int32_t>(std::clamp<int64_t>(
                              diffSum / stillCount, -kAdaptiveMaxOffset, kAdaptiveMaxOffset))
                        : 0;
    if (!ready) {
        // Learning: every pixel follows fast, so people in the first frame leave no ghost, and
        // the noise (swaying leaves included) is known when the zone gets ready.
        params.FastShift = std::max(1, FParams.FastShift - 1);
        params.SlowShift = params.FastShift;
        params.NoiseShift = FParams.FastShift;
        params.NoiseSlowShift = FParams.NoiseShift;
    } else if (FNonSelectiveFrames > 0) {
        // Just re-learned: what moved during the change fades like the rest.
        params.SlowShift = params.FastShift;
        --FNonSelectiveFrames;
    }
    if (refresh) {
        // Only what stands out from the key frame's own renewal counts.
        params.MinThreshold = kRefreshThreshold;
    }
    uint32_t rawChanged = 0;
    // Row by row, so the opening below can skip the rows where nothing changed.
    for (int32_t row = 0; row < FHeight; ++row) {
        const size_t at = static_cast<size_t>(row) * width;
        AdaptiveClassify(FLuma.data() + at, FBackground.data() + at, FNoise.data() + at,
                         FMask.data() + at, FWidth, params, FRowChanged[row]);
        rawChanged += FRowChanged[row];
    }
    ++FFrames;
    if (refresh) {
        // The renewed picture is the background from now on, except where something stands out.
        for (int32_t i = 0; i < pixels; ++i) {
            if (FMask[i] == 0) {
                FBackground[i] = static_cast<uint16_t>(FLuma[i] * 16);
            }
        }
    }
    if (!ready) {
        return true;
    }

    // A change of more than half the zone starts the count; it goes on while more than a fifth
    // stays changed (the still part of the zone is learned meanwhile and drops out).
    const bool bigChange = FBigChangeFrames > 0 ? rawChanged * int64_t{5} > pixels
                                                : rawChanged * int64_t{2} > pixels;
    FBigChangeFrames = bigChange ? FBigChangeFrames + 1 : 0;
    if (FBigChangeFrames >= FRelearnFrames) {
        // The whole zone changed and stayed so: this is the scene now.
        for (int32_t i = 0; i < pixels; ++i) {
            FBackground[i] = static_cast<uint16_t>(FLuma[i] * 16);
            FMask[i] = 0;
        }
        FBigChangeFrames = 0;
        FNonSelectiveFrames = FFramesPerSecond;
        ++FRelearnCount;
        return true;
    }

    // Motion is a change against the background that is still changing, here or next to it: a
    // block of a compressed stream that jumped once and is then repeated unchanged is not (a
    // camera's own noise alters nearly every pixel in every frame, so there this keeps all).
    Changed = AdaptiveGatedOpeningCount(FAltered.data(), FMask.data(), FRowChanged.data(),
                                        FOpened.data(), FWidth, FHeight);
    FMotionDetected = Changed * 100.0 > AreaThresholdPercent(FSensitivity) * pixels;
    return true;
}
