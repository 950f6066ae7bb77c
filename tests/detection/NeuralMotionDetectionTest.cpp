#include "detection/NeuralMotionDetection.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "detection/ZoneFrame.h"
#include "platform/Sync.h"
#include "support/LogCapture.h"

namespace {

constexpr int32_t kSide = 10;  // zones of 10 x 10 = 100 pixels
constexpr int32_t kPixels = kSide * kSide;
constexpr int32_t kFramesToLearn = 69;  // 10 still frames, the 10th being the first of 60 learned

// Waits until the worker has handed back the frame it was given; fails instead of hanging.
::testing::AssertionResult WaitUntilIdle(const TNeuralMotionDetection& detector) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (detector.ProcessingState() != 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            return ::testing::AssertionFailure() << "worker never handed the frame back";
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return ::testing::AssertionSuccess();
}

// Hands one frame over and waits until the worker has processed it.
::testing::AssertionResult Feed(TNeuralMotionDetection& detector, const TZoneFrame& frame) {
    if (detector.ProcessingState() != 0) {
        return ::testing::AssertionFailure() << "worker busy before the hand-over";
    }
    if (!detector.AddFrame(frame.Data(), frame.Size())) {
        return ::testing::AssertionFailure() << "frame not accepted";
    }
    return WaitUntilIdle(detector);
}

::testing::AssertionResult FeedRepeatedly(TNeuralMotionDetection& detector, const TZoneFrame& frame,
                                          int count) {
    for (int i = 0; i < count; ++i) {
        if (auto result = Feed(detector, frame); !result) {
            return result << " (frame " << i << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

TZoneFrame Uniform(uint8_t value) {
    return TZoneFrame(kSide, kSide, value);
}

// A frame with `count` bright pixels on interior, non-adjacent places of a uniform 50 zone
// (a checkerboard of the inner 8 x 8). Under the 3 x 3 Laplacian each of them is one positive
// edge pixel, and every other pixel of the edge image is 0.
TZoneFrame IsolatedBrightPixels(int count) {
    TZoneFrame frame = Uniform(50);
    int placed = 0;
    for (int y = 1; y < kSide - 1 && placed < count; ++y) {
        for (int x = 1; x < kSide - 1 && placed < count; ++x) {
            if ((x + y) % 2 == 0) {
                frame.SetPixel(x, y, 100, 100, 100);
                ++placed;
            }
        }
    }
    EXPECT_EQ(placed, count) << "not enough room for the pixels";
    return frame;
}

// ---- Learning states -------------------------------------------------------------------------

// Frames as letters ('a' uniform 50, 'b' uniform 100: every pixel differs) and the learning
// state expected after each one.
struct TLearningCase {
    const char* Name;
    std::string Frames;
    std::string States;
};

void PrintTo(const TLearningCase& c, std::ostream* os) {
    *os << c.Name;
}

std::string Repeat(const std::string& part, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += part;
    }
    return result;
}

class NeuralMotionDetectionLearning
    : public ::testing::TestWithParam<std::tuple<TLearningCase, int32_t>> {};

TEST_P(NeuralMotionDetectionLearning, FollowsTheStillFrames) {
    const auto& [c, mode] = GetParam();
    ASSERT_EQ(c.Frames.size(), c.States.size());
    const TZoneFrame a = Uniform(50);
    const TZoneFrame b = Uniform(100);
    TNeuralMotionDetection detector;
    ASSERT_TRUE(detector.Initialize(kSide, kSide, mode));
    ASSERT_TRUE(detector.SetMotionDetectionSensitivity(90));
    for (size_t i = 0; i < c.Frames.size(); ++i) {
        ASSERT_TRUE(Feed(detector, c.Frames[i] == 'a' ? a : b)) << i;
        const int32_t state = c.States[i] - '0';
        ASSERT_EQ(detector.NeuralMode(), state) << "after frame " << i;
        if (state < 2) {
            EXPECT_EQ(detector.GetDifferentPixelsCount(), 0) << "after frame " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    NeuralMotionDetection, NeuralMotionDetectionLearning,
    ::testing::Combine(
        ::testing::Values(
            TLearningCase{"MotionOnEveryFrame", Repeat("ab", 20), Repeat("0", 40)},
            TLearningCase{"TenStillFramesStartLearning", Repeat("a", 10), Repeat("0", 9) + "1"},
            TLearningCase{"NineStillThenMotion", Repeat("a", 9) + Repeat("b", 11),
                          Repeat("0", 19) + "1"},
            TLearningCase{"LearningTakes69Frames", Repeat("a", 69),
                          Repeat("0", 9) + Repeat("1", 59) + "2"},
            TLearningCase{"MotionDuringLearningStartsAgain", Repeat("a", 15) + Repeat("b", 11),
                          Repeat("0", 9) + Repeat("1", 6) + Repeat("0", 10) + "1"},
            TLearningCase{"LearnedIsFinal", Repeat("a", 69) + Repeat("ba", 5),
                          Repeat("0", 9) + Repeat("1", 59) + Repeat("2", 11)}),
        ::testing::Values(2, 3)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).Name) + "Mode" +
               std::to_string(std::get<1>(info.param));
    });

// The still test: more than (100 - sensitivity) % of the pixels must differ by more than 10.
struct TStillCase {
    const char* Name;
    int32_t Sensitivity;
    int32_t ChangedPixels;
    int32_t Change;
    bool Motion;
};

void PrintTo(const TStillCase& c, std::ostream* os) {
    *os << c.Name;
}

class NeuralMotionDetectionStillTest : public ::testing::TestWithParam<TStillCase> {};

TEST_P(NeuralMotionDetectionStillTest, DecidesWhetherTheTenthFrameIsStill) {
    const TStillCase& c = GetParam();
    const TZoneFrame background = Uniform(50);
    TZoneFrame changed = background;
    for (int i = 0; i < c.ChangedPixels; ++i) {
        changed.Pixel(i % kSide, i / kSide)[1] += c.Change;
    }
    TNeuralMotionDetection detector;
    ASSERT_TRUE(detector.Initialize(kSide, kSide, 2));
    ASSERT_TRUE(detector.SetMotionDetectionSensitivity(c.Sensitivity));
    ASSERT_TRUE(FeedRepeatedly(detector, background, 9));
    ASSERT_TRUE(Feed(detector, changed));
    EXPECT_EQ(detector.NeuralMode(), c.Motion ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    NeuralMotionDetection, NeuralMotionDetectionStillTest,
    ::testing::Values(TStillCase{"Sensitivity90TenPercent", 90, 10, 20, false},
                      TStillCase{"Sensitivity90ElevenPercent", 90, 11, 20, true},
                      TStillCase{"Sensitivity70ThirtyPercent", 70, 30, 20, false},
                      TStillCase{"Sensitivity70ThirtyOnePercent", 70, 31, 20, true},
                      TStillCase{"Sensitivity100NoChange", 100, 0, 20, false},
                      TStillCase{"Sensitivity100OnePixel", 100, 1, 20, true},
                      TStillCase{"Sensitivity1AllButOne", 1, 99, 20, false},
                      TStillCase{"Sensitivity1Everything", 1, 100, 20, true},
                      TStillCase{"ChangeOfTheLevelIsStill", 90, 100, 10, false},
                      TStillCase{"ChangeAboveTheLevelIsMotion", 90, 100, 11, true}),
    [](const auto& info) { return std::string(info.param.Name); });

// ---- Counting after learning -----------------------------------------------------------------

// Mode 2 learns a uniform 50 background and widens it by (100 - sensitivity) div 4; then one
// pixel of each probe frame is set to the given bytes.
struct TProbe {
    uint8_t Blue, Green, Red, Fourth;
    int32_t ExpectedCount;
};

struct TEnvelopeCase {
    const char* Name;
    int32_t Sensitivity;
    std::vector<TProbe> Probes;
};

void PrintTo(const TEnvelopeCase& c, std::ostream* os) {
    *os << c.Name;
}

class NeuralMotionDetectionEnvelope : public ::testing::TestWithParam<TEnvelopeCase> {};

TEST_P(NeuralMotionDetectionEnvelope, CountsPixelsOutsideTheWidenedEnvelope) {
    const TEnvelopeCase& c = GetParam();
    const TZoneFrame background = Uniform(50);
    TNeuralMotionDetection detector;
    ASSERT_TRUE(detector.Initialize(kSide, kSide, 2));
    ASSERT_TRUE(detector.SetMotionDetectionSensitivity(c.Sensitivity));
    ASSERT_TRUE(FeedRepeatedly(detector, background, kFramesToLearn));
    ASSERT_EQ(detector.NeuralMode(), 2);
    EXPECT_EQ(detector.GetDifferentPixelsCount(), 0);

    for (const TProbe& p : c.Probes) {
        TZoneFrame probe = background;
        probe.SetPixel(4, 6, p.Blue, p.Green, p.Red, p.Fourth);
        ASSERT_TRUE(Feed(detector, probe));
        EXPECT_EQ(detector.GetDifferentPixelsCount(), p.ExpectedCount)
            << int(p.Blue) << "," << int(p.Green) << "," << int(p.Red) << "," << int(p.Fourth);
    }
}

INSTANTIATE_TEST_SUITE_P(
    NeuralMotionDetection, NeuralMotionDetectionEnvelope,
    ::testing::Values(
        TEnvelopeCase{"Sensitivity90MarginTwo",
                      90,
                      {{50, 50, 50, 0, 0},
                       {52, 52, 52, 0, 0},
                       {53, 50, 50, 0, 1},
                       {50, 48, 50, 0, 0},
                       {50, 50, 47, 0, 1},
                       {50, 50, 50, 2, 0},
                       {50, 50, 50, 3, 1},
                       {0, 0, 0, 0, 0},  // outside, but all zero: not counted
                       {0, 0, 0, 1, 1},
                       {255, 255, 255, 255, 1}}},
        TEnvelopeCase{
            "Sensitivity70MarginSeven",
            70,
            {{57, 57, 57, 7, 0}, {58, 50, 50, 0, 1}, {43, 43, 43, 0, 0}, {42, 50, 50, 0, 1}}},
        TEnvelopeCase{
            "Sensitivity100NoMargin",
            100,
            {{50, 50, 50, 0, 0}, {51, 50, 50, 0, 1}, {50, 49, 50, 0, 1}, {50, 50, 50, 1, 1}}},
        TEnvelopeCase{
            "Sensitivity1MarginTwentyFour",
            1,
            {{74, 74, 74, 24, 0}, {75, 50, 50, 0, 1}, {26, 26, 26, 0, 0}, {50, 25, 50, 0, 1}}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(NeuralMotionDetectionCounting, RawModeCountsEveryPixelOutside) {
    TNeuralMotionDetection detector;
    ASSERT_TRUE(detector.Initialize(kSide, kSide, 2));
    ASSERT_TRUE(FeedRepeatedly(detector, Uniform(50), kFramesToLearn));
    ASSERT_EQ(detector.NeuralMode(), 2);
    for (int changed : {10, 37, 100}) {
        TZoneFrame frame = Uniform(50);
        for (int i = 0; i < changed; ++i) {
            frame.Pixel(i % kSide, i / kSide)[2] = 90;
        }
        ASSERT_TRUE(Feed(detector, frame));
        EXPECT_EQ(detector.GetDifferentPixelsCount(), changed);
    }
}

// Mode 3 learns the edge image of a uniform background (all 0, widened to 0..2) and counts
// every edge pixel outside it four times, up to the zone's pixel count.
class NeuralMotionDetectionEdgeMode : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Detector.Initialize(kSide, kSide, 3));
        ASSERT_TRUE(Detector.SetMotionDetectionSensitivity(90));
        ASSERT_TRUE(FeedRepeatedly(Detector, Uniform(50), kFramesToLearn));
        ASSERT_EQ(Detector.NeuralMode(), 2);
    }
    TNeuralMotionDetection Detector;
};

TEST_F(NeuralMotionDetectionEdgeMode, CountsEachEdgePixelOutsideFourTimes) {
    struct TCase {
        int BrightPixels;
        int32_t ExpectedCount;
    };
    for (const TCase& c :
         std::vector<TCase>{{0, 0}, {1, 4}, {10, 40}, {24, 96}, {25, 100}, {30, 100}, {0, 0}}) {
        ASSERT_TRUE(Feed(Detector, IsolatedBrightPixels(c.BrightPixels)));
        EXPECT_EQ(Detector.GetDifferentPixelsCount(), c.ExpectedCount) << c.BrightPixels;
    }
}

TEST_F(NeuralMotionDetectionEdgeMode, IgnoresBrightnessWithoutEdges) {
    // A uniformly brighter or darker zone has no edges: the edge image stays inside.
    for (uint8_t value : {0, 120, 255}) {
        ASSERT_TRUE(Feed(Detector, Uniform(value)));
        EXPECT_EQ(Detector.GetDifferentPixelsCount(), 0) << int(value);
    }
    // Changes on the zone's border rows and columns have no edge pixel of their own.
    TZoneFrame border = Uniform(50);
    border.SetPixel(0, 0, 200, 200, 200);
    border.SetPixel(9, 4, 200, 200, 200);
    ASSERT_TRUE(Feed(Detector, border));
    EXPECT_EQ(Detector.GetDifferentPixelsCount(), 0);
}

// A textured zone that flickers by less than the still level between two looks; after
// learning, either look lies inside the envelope.
TZoneFrame Texture(int flicker) {
    TZoneFrame frame(kSide, kSide);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const int base = (x * 37 + y * 71) % 200;
            frame.SetPixel(x, y, base, (base + 60) % 200 + ((x + y) % 2 ? flicker : 0),
                           (base * 3) % 200, y % 3 ? flicker : 0);
        }
    }
    return frame;
}

class NeuralMotionDetectionLearnedFrames : public ::testing::TestWithParam<int32_t> {};

TEST_P(NeuralMotionDetectionLearnedFrames, LearnedFramesCountZero) {
    const TZoneFrame look1 = Texture(0);
    const TZoneFrame look2 = Texture(8);
    TNeuralMotionDetection detector;
    ASSERT_TRUE(detector.Initialize(kSide, kSide, GetParam()));
    for (int i = 0; i < kFramesToLearn; ++i) {
        ASSERT_TRUE(Feed(detector, i % 2 ? look2 : look1));
    }
    ASSERT_EQ(detector.NeuralMode(), 2);
    for (const TZoneFrame* frame : {&look1, &look2, &look1, &look1}) {
        ASSERT_TRUE(Feed(detector, *frame));
        EXPECT_EQ(detector.GetDifferentPixelsCount(), 0);
    }
    if (GetParam() == 2) {
        TZoneFrame changed = look1;
        changed.Pixel(3, 3)[2] += 40;
        changed.Pixel(7, 1)[0] += 40;
        ASSERT_TRUE(Feed(detector, changed));
        EXPECT_EQ(detector.GetDifferentPixelsCount(), 2);
    }
}

INSTANTIATE_TEST_SUITE_P(NeuralMotionDetection, NeuralMotionDetectionLearnedFrames,
                         ::testing::Values(2, 3),
                         [](const auto& info) { return "Mode" + std::to_string(info.param); });

TEST(NeuralMotionDetectionCounting, InterruptedLearningKeepsItsEnvelope) {
    const TZoneFrame dark = Uniform(50);
    const TZoneFrame bright = Uniform(100);

    // Learns 6 dark frames, is interrupted by the change to bright, then learns bright.
    TNeuralMotionDetection interrupted;
    ASSERT_TRUE(interrupted.Initialize(kSide, kSide, 2));
    ASSERT_TRUE(FeedRepeatedly(interrupted, dark, 15));
    ASSERT_EQ(interrupted.NeuralMode(), 1);
    ASSERT_TRUE(Feed(interrupted, bright));
    ASSERT_EQ(interrupted.NeuralMode(), 0);
    ASSERT_TRUE(FeedRepeatedly(interrupted, bright, kFramesToLearn));
    ASSERT_EQ(interrupted.NeuralMode(), 2);

    // Learns bright only.
    TNeuralMotionDetection fresh;
    ASSERT_TRUE(fresh.Initialize(kSide, kSide, 2));
    ASSERT_TRUE(FeedRepeatedly(fresh, bright, kFramesToLearn));
    ASSERT_EQ(fresh.NeuralMode(), 2);

    struct TCase {
        uint8_t Value;
        int32_t Interrupted;  // envelope 48..102
        int32_t Fresh;        // envelope 98..102
    };
    for (const TCase& c : std::vector<TCase>{{50, 0, kPixels},
                                             {75, 0, kPixels},
                                             {100, 0, 0},
                                             {47, kPixels, kPixels},
                                             {103, kPixels, kPixels}}) {
        ASSERT_TRUE(Feed(interrupted, Uniform(c.Value)));
        ASSERT_TRUE(Feed(fresh, Uniform(c.Value)));
        EXPECT_EQ(interrupted.GetDifferentPixelsCount(), c.Interrupted) << int(c.Value);
        EXPECT_EQ(fresh.GetDifferentPixelsCount(), c.Fresh) << int(c.Value);
    }
}

TEST(NeuralMotionDetectionCounting, SimpleModeReportsTheStillTestCount) {
    TNeuralMotionDetection detector;
    ASSERT_TRUE(detector.Initialize(kSide, kSide, 1));
    ASSERT_TRUE(Feed(detector, Uniform(50)));
    EXPECT_EQ(detector.GetDifferentPixelsCount(), 0);  // the first frame is its own previous
    ASSERT_TRUE(Feed(detector, Uniform(61)));
    EXPECT_EQ(detector.GetDifferentPixelsCount(), kPixels);
    ASSERT_TRUE(Feed(detector, Uniform(70)));
    EXPECT_EQ(detector.GetDifferentPixelsCount(), 0);  // 9 is within the level
    EXPECT_EQ(detector.NeuralMode(), 0);
}

// ---- Hand-over and lifecycle -----------------------------------------------------------------

// Holds the worker inside ProcessFrame until the test opens the gate.
class TGatedNeuralMotionDetection : public TNeuralMotionDetection {
public:
    ~TGatedNeuralMotionDetection() override {
        Gate.SetEvent();
        StopThread();
    }
    TEvent Entered{true, false};
    TEvent Gate{true, false};

protected:
    void ProcessFrame() override {
        Entered.SetEvent();
        Gate.WaitFor(30000);
        TNeuralMotionDetection::ProcessFrame();
    }
};

TEST(NeuralMotionDetectionHandOver, FrameArrivingWhileBusyIsDropped) {
    TGatedNeuralMotionDetection detector;
    ASSERT_TRUE(detector.Initialize(kSide, kSide, 1));
    const TZoneFrame first = Uniform(50);
    const TZoneFrame second = Uniform(200);

    ASSERT_TRUE(detector.AddFrame(first.Data(), first.Size()));
    ASSERT_EQ(detector.Entered.WaitFor(30000), WAIT_OBJECT_0);
    EXPECT_EQ(detector.ProcessingState(), 1);
    EXPECT_FALSE(detector.AddFrame(second.Data(), second.Size()));  // dropped
    EXPECT_FALSE(detector.AddFrame(second.Data(), second.Size()));
    EXPECT_EQ(detector.GetDifferentPixelsCount(), 0);

    detector.Gate.SetEvent();
    ASSERT_TRUE(WaitUntilIdle(detector));
    // The dropped frame never reached the worker: the next frame is compared with the first.
    ASSERT_TRUE(detector.AddFrame(first.Data(), first.Size()));
    ASSERT_TRUE(WaitUntilIdle(detector));
    EXPECT_EQ(detector.GetDifferentPixelsCount(), 0);
    ASSERT_TRUE(Feed(detector, second));
    EXPECT_EQ(detector.GetDifferentPixelsCount(), kPixels);
}

// The frame thread reads the published values at any moment while the worker learns: with
// only still frames the state only ever goes up and the count stays 0.
TEST(NeuralMotionDetectionHandOver, PublishedValuesCanBeReadWhileTheWorkerRuns) {
    TNeuralMotionDetection detector;
    ASSERT_TRUE(detector.Initialize(kSide, kSide, 3));
    TEvent stop(true, false);
    std::thread reader([&] {
        int32_t lastState = 0;
        while (stop.WaitFor(0) != WAIT_OBJECT_0) {
            const int32_t state = detector.NeuralMode();
            EXPECT_GE(state, lastState);
            EXPECT_LE(state, 2);
            EXPECT_EQ(detector.GetDifferentPixelsCount(), 0);
            lastState = state;
        }
    });
    EXPECT_TRUE(FeedRepeatedly(detector, Uniform(50), kFramesToLearn));
    stop.SetEvent();
    reader.join();
    EXPECT_EQ(detector.NeuralMode(), 2);
}

TEST(NeuralMotionDetectionHandOver, RejectsFramesItCannotTake) {
    const TZoneFrame frame = Uniform(50);
    const TZoneFrame larger(kSide + 1, kSide, 50);

    TNeuralMotionDetection notInitialized;
    EXPECT_FALSE(notInitialized.AddFrame(frame.Data(), frame.Size()));
    EXPECT_EQ(notInitialized.GetDifferentPixelsCount(), 0);
    EXPECT_EQ(notInitialized.NeuralMode(), 0);
    EXPECT_EQ(notInitialized.MotionDetectionMode(), 3);

    TNeuralMotionDetection detector;
    ASSERT_TRUE(detector.Initialize(kSide, kSide, 2));
    EXPECT_FALSE(detector.AddFrame(nullptr, frame.Size()));
    EXPECT_FALSE(detector.AddFrame(larger.Data(), larger.Size()));
    EXPECT_FALSE(detector.AddFrame(frame.Data(), 0));
    EXPECT_FALSE(detector.AddFrame(frame.Data(), -4));
    EXPECT_EQ(detector.ProcessingState(), 0);
    EXPECT_TRUE(Feed(detector, frame));

    ASSERT_TRUE(detector.Deinitialize());
    EXPECT_FALSE(detector.AddFrame(frame.Data(), frame.Size()));
}

TEST(NeuralMotionDetectionHandOver, EmptyZoneNeverTakesAFrame) {
    for (auto [width, height] : {std::pair{0, 0}, std::pair{0, 5}, std::pair{5, 0}}) {
        TNeuralMotionDetection detector;
        ASSERT_TRUE(detector.Initialize(width, height, 3));
        const TZoneFrame frame(4, 4, 9);
        EXPECT_FALSE(detector.AddFrame(frame.Data(), frame.Size()));
        EXPECT_EQ(detector.GetDifferentPixelsCount(), 0);
        EXPECT_EQ(detector.NeuralMode(), 0);
    }
}

TEST(NeuralMotionDetectionHandOver, FailedInitializeIsLoggedAndLeavesItUnusable) {
    TNeuralMotionDetection detector;
    LogCapture log;
    EXPECT_FALSE(detector.Initialize(-3, 10, 2));
    EXPECT_FALSE(detector.Initialize(100000, 100000, 2));
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"Error in TNeuralMotionDetection.Initialize call...",
                                        "Error in TNeuralMotionDetection.Initialize call..."}));
    const TZoneFrame frame = Uniform(50);
    EXPECT_FALSE(detector.AddFrame(frame.Data(), frame.Size()));
}

TEST(NeuralMotionDetectionHandOver, DeinitializeWithAFramePendingWaitsForTheWorker) {
    const TZoneFrame frame = Uniform(50);
    for (int round = 0; round < 20; ++round) {
        TNeuralMotionDetection detector;
        ASSERT_TRUE(detector.Initialize(64, 64, 3));
        const TZoneFrame large(64, 64, 30);
        ASSERT_TRUE(detector.AddFrame(large.Data(), large.Size()));
        ASSERT_TRUE(detector.Deinitialize());
        EXPECT_EQ(detector.ProcessingState(), 0);
        EXPECT_FALSE(detector.AddFrame(large.Data(), large.Size()));

        // Usable again after a new Initialize, starting from scratch.
        ASSERT_TRUE(detector.Initialize(kSide, kSide, 2));
        ASSERT_TRUE(Feed(detector, frame));
        EXPECT_EQ(detector.NeuralMode(), 0);
    }
}

TEST(NeuralMotionDetectionHandOver, DestroyedWithAFramePending) {
    for (int round = 0; round < 20; ++round) {
        TNeuralMotionDetection detector;
        ASSERT_TRUE(detector.Initialize(64, 64, 3));
        const TZoneFrame large(64, 64, 30);
        ASSERT_TRUE(detector.AddFrame(large.Data(), large.Size()));
    }
}

TEST(NeuralMotionDetectionHandOver, SecondInitializeStartsOver) {
    TNeuralMotionDetection detector;
    ASSERT_TRUE(detector.Initialize(kSide, kSide, 2));
    ASSERT_TRUE(FeedRepeatedly(detector, Uniform(50), 12));
    ASSERT_EQ(detector.NeuralMode(), 1);
    ASSERT_TRUE(detector.Initialize(kSide, kSide, 3));
    EXPECT_EQ(detector.NeuralMode(), 0);
    EXPECT_EQ(detector.MotionDetectionMode(), 3);
    ASSERT_TRUE(FeedRepeatedly(detector, Uniform(50), 9));
    EXPECT_EQ(detector.NeuralMode(), 0);
    ASSERT_TRUE(Feed(detector, Uniform(50)));
    EXPECT_EQ(detector.NeuralMode(), 1);
}

TEST(NeuralMotionDetectionHandOver, BrightnessMethodsSaturate) {
    std::vector<uint8_t> bytes = {0, 5, 100, 250, 255, 1, 2, 3};
    TNeuralMotionDetection::BrightnessIncrease(bytes.data(), 8, 7);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{7, 12, 107, 255, 255, 8, 9, 10}));
    TNeuralMotionDetection::BrightnessDecrease(bytes.data(), 8, 9);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0, 3, 98, 246, 246, 0, 0, 1}));
}

}  // namespace
