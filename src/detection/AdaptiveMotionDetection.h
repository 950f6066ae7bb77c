#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "detection/AdaptiveKernels.h"

// Mode 4, "Adaptive": the background detector of one zone that keeps learning.
//
// Per frame, on the caller's thread (no worker, so a frame's result never depends on timing):
// 1. The zone's luma is taken and the global brightness offset against the background is
//    measured over the pixels that were still in the previous frame (auto-exposure, clouds).
// 2. Each pixel is changed when its offset-corrected deviation exceeds a threshold that
//    follows its own noise (minimum 10 levels plus four times its mean absolute deviation).
// 3. The background follows still pixels within about a second and changed ones eight times
//    slower (selective running average), so drift is learned and a passing person is not; the
//    noise estimate of a changed pixel grows eight times slower too.
// 4. When more than half of the zone changes and more than a fifth stays changed for half a
//    second (a light switched on), the background is re-learned from the current frame
//    instead of reporting an endless alarm; for a second after it every pixel learns fast, so
//    a person who walked through the change leaves no lasting ghost.
// 5. Of the changed pixels, those with a pixel altered since the previous frame among their
//    3 x 3 neighbours count (a block of a compressed stream that jumped once and is then
//    repeated does not); a 3 x 3 opening
//    removes isolated ones (noise, compression speckle); what is left is the zone's count.
//    A key frame of a compressed stream (a tenth of the zone or more altered at once, four
//    times the frame before) raises the threshold to 24 levels for it and the next frame, and
//    what does not stand out then becomes the background.
// The first frame is the initial background; during the first 1.5 s every pixel learns fast
// (also where people move) and the count is 0; then the zone is ready.
//
// Time constants are given in seconds and turned into frames from the time per frame.
class TAdaptiveMotionDetection {
public:
    // The sensitivity of new installs: measured best on the generated street scenes.
    static constexpr int32_t kDefaultSensitivity = 80;

    TAdaptiveMotionDetection() = default;
    TAdaptiveMotionDetection(const TAdaptiveMotionDetection&) = delete;
    TAdaptiveMotionDetection& operator=(const TAdaptiveMotionDetection&) = delete;

    // Allocates the zone's planes (the only allocation); starts learning anew. Fails (logged)
    // for an empty or too large zone.
    bool Initialize(int32_t Width, int32_t Height, int32_t TimePerFrameMS);
    // 1..100; values outside are clamped.
    void SetMotionDetectionSensitivity(int32_t Sensitivity);

    // One frame: Zone points at the zone's first pixel (RGB32), rows RowBytes apart. Changed is
    // the number of changed pixels after the opening, 0 while learning. False (logged) before
    // Initialize or without a zone pointer.
    bool AddFrame(const void* Zone, size_t RowBytes, uint32_t& Changed);

    bool IsReady() const { return FFrames >= FWarmupFrames; }
    // True when Changed of the last frame is above the area threshold of the sensitivity.
    bool MotionDetected() const { return FMotionDetected; }
    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }
    // How often the whole zone was re-learned after a sudden change.
    int32_t RelearnCount() const { return FRelearnCount; }

    // The changed area, in percent of the zone, above which a zone reports motion:
    // (100 - Sensitivity) / 20, so 1 % at sensitivity 80, 0.5 % at 90, 2 % at 60, 4.95 % at 1.
    static double AreaThresholdPercent(int32_t Sensitivity);

private:
    int32_t FWidth = 0;
    int32_t FHeight = 0;
    int32_t FSensitivity = 80;
    int64_t FFrames = 0;
    int32_t FWarmupFrames = 1;
    int32_t FRelearnFrames = 1;
    int32_t FBigChangeFrames = 0;
    int64_t FPreviousAltered = 0;
    int32_t FRefreshFrames = 0;
    int32_t FFramesPerSecond = 1;
    int32_t FNonSelectiveFrames = 0;
    int32_t FRelearnCount = 0;
    bool FMotionDetected = false;
    TAdaptiveClassifyParams FParams;
    std::vector<uint8_t> FLuma;
    std::vector<uint16_t> FBackground;
    std::vector<uint16_t> FNoise;
    std::vector<uint8_t> FMask;
    std::vector<uint8_t> FOpened;
    std::vector<uint8_t> FAltered;
    std::vector<uint32_t> FRowChanged;
};
