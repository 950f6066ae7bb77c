// The adaptive detector of one zone on small synthetic frames: learning time, a global
// brightness step, a light switched on, an object entering, and determinism.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "detection/AdaptiveMotionDetection.h"
#include "detection/ZoneFrame.h"

namespace {

constexpr int32_t kWidth = 80;
constexpr int32_t kHeight = 60;
constexpr int32_t kTimePerFrameMS = 100;  // 10 frames per second

// A textured wall with sensor noise; Gain and Offset change its brightness, and a square of
// Size pixels at (X, Y) in another brightness stands for an object.
struct TWall {
    double Gain = 1.0;
    int32_t Offset = 0;
    int32_t Ramp = 0;  // added brightness growing from 0 at the left to Ramp at the right
    int32_t X = -1, Y = -1, Size = 0;

    TZoneFrame Frame(uint32_t seed) const {
        TZoneFrame frame(kWidth, kHeight);
        uint32_t noise = seed * 2654435761u + 1;
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) {
                noise ^= noise << 13;
                noise ^= noise >> 17;
                noise ^= noise << 5;
                const int32_t texture = 60 + (x * 7 + y * 13) % 50 + static_cast<int32_t>(noise % 5);
                int32_t value = static_cast<int32_t>(texture * Gain) + Offset + Ramp * x / kWidth;
                if (x >= X && x < X + Size && y >= Y && y < Y + Size) {
                    value = 218 + static_cast<int32_t>(noise % 5);
                }
                const auto v = static_cast<uint8_t>(std::clamp(value, 0, 255));
                frame.SetPixel(x, y, v, v, v);
            }
        }
        return frame;
    }
};

struct TRun {
    std::vector<uint32_t> Counts;
    std::vector<bool> Motion;
    std::vector<bool> Ready;
};

// Frames [0, Frames) of Scene(frame index) through a fresh detector at sensitivity 80.
template <typename TScene>
TRun RunScene(int32_t Frames, TScene Scene, TAdaptiveMotionDetection* detector = nullptr) {
    TAdaptiveMotionDetection own;
    TAdaptiveMotionDetection& d = detector ? *detector : own;
    EXPECT_TRUE(d.Initialize(kWidth, kHeight, kTimePerFrameMS));
    d.SetMotionDetectionSensitivity(80);
    TRun run;
    for (int32_t i = 0; i < Frames; ++i) {
        const TZoneFrame frame = Scene(i).Frame(static_cast<uint32_t>(i));
        uint32_t count = 0;
        EXPECT_TRUE(d.AddFrame(frame.Data(), kWidth * 4, count));
        run.Counts.push_back(count);
        run.Motion.push_back(d.MotionDetected());
        run.Ready.push_back(d.IsReady());
    }
    return run;
}

TEST(AdaptiveMotionDetectionTest, ReadyAfterOneAndAHalfSecondsEvenWithAnObjectMoving) {
    // The object crosses the zone from the first frame on.
    // Until frame 35 the object lies wholly in the zone.
    const TRun run = RunScene(36, [](int32_t i) {
        TWall wall;
        wall.X = i * 2;
        wall.Y = 20;
        wall.Size = 10;
        return wall;
    });
    for (int32_t i = 0; i < 36; ++i) {
        EXPECT_EQ(run.Ready[i], i >= 14) << "frame " << i;
        if (!run.Ready[i]) {
            EXPECT_EQ(run.Counts[i], 0u) << "frame " << i;
        } else {
            EXPECT_TRUE(run.Motion[i]) << "frame " << i;
        }
    }
}

TEST(AdaptiveMotionDetectionTest, SceneChangesAndTheirOutcome) {
    struct TCase {
        const char* Name;
        TWall After;            // the scene from frame 30 on
        int32_t MaxMotionFrames;  // frames with motion from frame 30 on
        int32_t MinMotionFrames;
        int32_t Relearned;
    };
    TWall brighter;
    brighter.Offset = 25;
    // Brighter by 10 to 90 levels from left to right: no single offset explains it.
    TWall lightOn;
    lightOn.Offset = 10;
    lightOn.Ramp = 80;
    TWall object;
    object.X = 30;
    object.Y = 20;
    object.Size = 10;  // 2 % of the zone, standing still
    const TCase cases[] = {
        {"nothing happens", TWall{}, 0, 0, 0},
        {"auto-exposure step of 25 levels", brighter, 0, 0, 0},
        // Motion until the re-learning half a second later, then none.
        {"light switched on", lightOn, 5, 1, 1},
        // Detected at once and for several seconds while it stands still.
        {"object of 2 % enters", object, 30, 30, 0},
    };
    for (const TCase& c : cases) {
        TAdaptiveMotionDetection detector;
        const TRun run = RunScene(60, [&](int32_t i) { return i < 30 ? TWall{} : c.After; }, &detector);
        int32_t motionFrames = 0;
        for (int32_t i = 0; i < 60; ++i) {
            if (i < 30) {
                EXPECT_FALSE(run.Motion[i]) << c.Name << " frame " << i;
            } else {
                motionFrames += run.Motion[i] ? 1 : 0;
            }
        }
        EXPECT_LE(motionFrames, c.MaxMotionFrames) << c.Name;
        EXPECT_GE(motionFrames, c.MinMotionFrames) << c.Name;
        EXPECT_EQ(detector.RelearnCount(), c.Relearned) << c.Name;
        if (c.MinMotionFrames > 0 && c.Relearned == 0) {
            EXPECT_TRUE(run.Motion[30]) << c.Name;
        }
    }
}

TEST(AdaptiveMotionDetectionTest, SameFramesGiveTheSameCounts) {
    const auto scene = [](int32_t i) {
        TWall wall;
        wall.Offset = i / 5;
        wall.X = 70 - i;
        wall.Y = 10;
        wall.Size = 12;
        return wall;
    };
    EXPECT_EQ(RunScene(50, scene).Counts, RunScene(50, scene).Counts);
}

TEST(AdaptiveMotionDetectionTest, AreaThresholdFollowsTheSensitivity) {
    struct TCase {
        int32_t Sensitivity;
        double Percent;
    };
    const TCase cases[] = {{100, 0.0}, {90, 0.5}, {80, 1.0}, {60, 2.0}, {1, 4.95},
                           {0, 4.95},  {101, 0.0}};
    for (const TCase& c : cases) {
        EXPECT_DOUBLE_EQ(TAdaptiveMotionDetection::AreaThresholdPercent(c.Sensitivity), c.Percent)
            << c.Sensitivity;
    }
}

TEST(AdaptiveMotionDetectionTest, RefusesWhatItCannotLearn) {
    TAdaptiveMotionDetection detector;
    uint32_t count = 5;
    EXPECT_FALSE(detector.AddFrame(nullptr, 0, count));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(detector.Initialize(0, 10, 40));
    EXPECT_FALSE(detector.Initialize(10, -1, 40));
    EXPECT_TRUE(detector.Initialize(1, 1, 40));
    EXPECT_FALSE(detector.AddFrame(nullptr, 4, count));
}

}  // namespace
