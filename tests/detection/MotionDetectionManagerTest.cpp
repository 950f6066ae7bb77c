#include "detection/MotionDetectionManager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "detection/ZoneFrame.h"
#include "support/LogCapture.h"

namespace {

constexpr int32_t kLevel = 10;
const std::string kStepError =
    "Error in TMotionDetectionManager.MotionDecetction_CountDifferentPixelsBlock_RGB32 call...";

// Waits until the zone's threaded detector has finished the frame it was handed; fails the
// test instead of hanging.
::testing::AssertionResult WaitUntilIdle(const TMotionDetectionManager& manager) {
    const TNeuralMotionDetection* detector = manager.NeuralMotionDetection();
    if (detector == nullptr) {
        return ::testing::AssertionFailure() << "no threaded detector";
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (detector->ProcessingState() != 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            return ::testing::AssertionFailure() << "threaded detector never became idle";
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return ::testing::AssertionSuccess();
}

// One byte of one pixel changed in the new frame.
struct TByteChange {
    int32_t X;
    int32_t Y;
    int32_t ByteIndex;  // 0 blue, 1 green, 2 red, 3 fourth byte
    int32_t Delta;
};

struct TSimpleCase {
    const char* Name;
    int32_t Width;
    int32_t Height;
    int32_t Level;
    std::vector<TByteChange> Changes;
    uint32_t ExpectedCount;
    int32_t ExpectedActivity;
};

void PrintTo(const TSimpleCase& c, std::ostream* os) {
    *os << c.Name;
}

class MotionDetectionManagerSimpleMode : public ::testing::TestWithParam<TSimpleCase> {};

// Frames and zone coincide: the simple count in isolation, on a background of 100.
TEST_P(MotionDetectionManagerSimpleMode, CountsDifferentPixelsAndActivity) {
    const TSimpleCase& c = GetParam();
    TZoneFrame previous(c.Width, c.Height, 100, 100);
    TZoneFrame current = previous;
    for (const TByteChange& change : c.Changes) {
        current.Pixel(change.X, change.Y)[change.ByteIndex] += change.Delta;
    }
    TMotionDetectionManager manager;
    ASSERT_TRUE(manager.Initialize(c.Width, c.Height, 1));
    ASSERT_TRUE(manager.SetMotionDetectionRectangle({0, 0, c.Width, c.Height}));
    ASSERT_TRUE(manager.SetMotionDetectionSensitivity(90));

    uint32_t count = 12345;
    ASSERT_TRUE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
        current.Data(), previous.Data(), c.Level, count));
    EXPECT_EQ(count, c.ExpectedCount);
    EXPECT_EQ(manager.MotionActivityPrc(), c.ExpectedActivity);
    EXPECT_TRUE(manager.IsReadyToProcess());
}

INSTANTIATE_TEST_SUITE_P(
    MotionDetectionManager, MotionDetectionManagerSimpleMode,
    ::testing::Values(
        TSimpleCase{"IdenticalFrames", 4, 4, kLevel, {}, 0, 0},
        TSimpleCase{"ChangeOfExactlyTheLevel", 4, 4, kLevel, {{1, 1, 0, 10}}, 0, 0},
        TSimpleCase{"ChangeOneAboveTheLevel", 4, 4, kLevel, {{1, 1, 0, 11}}, 1, 6},
        TSimpleCase{"DarkerByOneAboveTheLevel", 4, 4, kLevel, {{1, 1, 2, -11}}, 1, 6},
        TSimpleCase{"FourthByteAlone", 4, 4, kLevel, {{2, 3, 3, 11}}, 1, 6},
        TSimpleCase{"SeveralBytesOfOnePixel", 4, 4, kLevel, {{0, 0, 0, 20}, {0, 0, 1, 20}}, 1, 6},
        TSimpleCase{"OnlyTheLevelsLowByteCounts", 4, 4, 256 + kLevel, {{1, 1, 0, 11}}, 1, 6},
        TSimpleCase{"LevelZeroCountsAnyChange", 4, 4, 0, {{1, 1, 0, 1}}, 1, 6},
        TSimpleCase{"Zone3x3IgnoresTheNinthPixel", 3, 3, kLevel, {{2, 2, 0, 50}}, 0, 0},
        TSimpleCase{"Zone3x3ComparesTheEighthPixel", 3, 3, kLevel, {{1, 2, 0, 50}}, 1, 11},
        TSimpleCase{"OneOfEightRoundsDownToEven", 4, 2, kLevel, {{3, 1, 1, 30}}, 1, 12},
        TSimpleCase{"ThreeOfEightRoundsUpToEven",
                    4,
                    2,
                    kLevel,
                    {{0, 0, 0, 30}, {1, 0, 0, 30}, {2, 1, 0, 30}},
                    3,
                    38},
        TSimpleCase{"EveryPixel",
                    2,
                    2,
                    kLevel,
                    {{0, 0, 0, 50}, {1, 0, 1, 50}, {0, 1, 2, 50}, {1, 1, 3, 50}},
                    4,
                    100}),
    [](const auto& info) { return std::string(info.param.Name); });

// A zone away from the origin of a larger frame: rows are taken with the frame's stride and a
// change just outside the zone is not counted.
struct TOffsetCase {
    int32_t X;
    int32_t Y;
    uint32_t ExpectedCount;
};

void PrintTo(const TOffsetCase& c, std::ostream* os) {
    *os << c.X << "," << c.Y;
}

class MotionDetectionManagerOffsetZone : public ::testing::TestWithParam<TOffsetCase> {};

TEST_P(MotionDetectionManagerOffsetZone, CountsOnlyInsideTheZone) {
    const TOffsetCase& c = GetParam();
    TZoneFrame previous(16, 12, 40);
    TZoneFrame current = previous;
    current.SetPixel(c.X, c.Y, 200, 200, 200, 200);

    TMotionDetectionManager manager;
    ASSERT_TRUE(manager.Initialize(16, 12, 1));
    ASSERT_TRUE(manager.SetMotionDetectionRectangle({5, 3, 9, 7}));  // 4 x 4 at (5, 3)
    EXPECT_EQ(manager.DetectionRegionPixelsCount(), 16);

    uint32_t count = 0;
    ASSERT_TRUE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
        current.Data(), previous.Data(), kLevel, count));
    EXPECT_EQ(count, c.ExpectedCount);
    EXPECT_EQ(manager.MotionActivityPrc(), c.ExpectedCount == 0 ? 0 : 6);  // 6.25 %

    // The explicit-block form of the same zone gives the same answer.
    uint32_t blockCount = 99;
    ASSERT_TRUE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
        current.Data(), previous.Data(), kLevel, 5, 3, 4, 4, blockCount));
    EXPECT_EQ(blockCount, c.ExpectedCount);
}

INSTANTIATE_TEST_SUITE_P(MotionDetectionManager, MotionDetectionManagerOffsetZone,
                         ::testing::Values(TOffsetCase{5, 3, 1}, TOffsetCase{8, 3, 1},
                                           TOffsetCase{5, 6, 1}, TOffsetCase{8, 6, 1},
                                           TOffsetCase{6, 5, 1}, TOffsetCase{4, 3, 0},
                                           TOffsetCase{9, 6, 0}, TOffsetCase{5, 2, 0},
                                           TOffsetCase{8, 7, 0}, TOffsetCase{0, 0, 0},
                                           TOffsetCase{15, 11, 0}, TOffsetCase{4, 4, 0}));

// Zones partly or wholly outside the frame, or empty: every pixel of the frame differs, so the
// count is the area of the zone's part inside the frame; the activity is taken over the whole
// zone. Frames are allocated to exactly 8 x 6 pixels.
struct TClampCase {
    const char* Name;
    TRect Zone;
    uint32_t ExpectedCount;
    int32_t ExpectedActivity;
};

void PrintTo(const TClampCase& c, std::ostream* os) {
    *os << c.Name;
}

class MotionDetectionManagerClampedZone : public ::testing::TestWithParam<TClampCase> {};

TEST_P(MotionDetectionManagerClampedZone, CountsOnlyPixelsInsideTheFrame) {
    const TClampCase& c = GetParam();
    const TZoneFrame previous(8, 6, 0);
    const TZoneFrame current(8, 6, 255);
    TMotionDetectionManager manager;
    ASSERT_TRUE(manager.Initialize(8, 6, 1));
    ASSERT_TRUE(manager.SetMotionDetectionRectangle(c.Zone));

    uint32_t count = 777;
    EXPECT_TRUE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
        current.Data(), previous.Data(), kLevel, count));
    EXPECT_EQ(count, c.ExpectedCount);
    EXPECT_EQ(manager.MotionActivityPrc(), c.ExpectedActivity);
}

INSTANTIATE_TEST_SUITE_P(
    MotionDetectionManager, MotionDetectionManagerClampedZone,
    ::testing::Values(TClampCase{"WholeFrame", {0, 0, 8, 6}, 48, 100},
                      TClampCase{"PastTheRightEdge", {6, 0, 12, 6}, 12, 33},   // 12 of 36
                      TClampCase{"PastTheBottomEdge", {0, 4, 8, 10}, 16, 33},  // 16 of 48
                      TClampCase{"BeforeTheTopLeft", {-2, -3, 2, 3}, 6, 25},   // 6 of 24
                      TClampCase{"AroundTheFrame", {-4, -4, 12, 10}, 48, 21},  // 48 of 224
                      TClampCase{"RightOfTheFrame", {8, 0, 12, 6}, 0, 0},
                      TClampCase{"BelowTheFrame", {0, 6, 8, 9}, 0, 0},
                      TClampCase{
                          "FarOutside", {2000000000, 2000000000, 2000000010, 2000000010}, 0, 0},
                      TClampCase{"Empty", {3, 3, 3, 3}, 0, 0},
                      TClampCase{"Inverted", {5, 4, 2, 1}, 0, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

// Large zones are handled in pieces; the count must still be that of one pass of two-pixel
// steps over the whole zone: every pixel when the pixel count is even, all but the last when
// it is odd. Odd widths are the case where a step spans two rows.
TEST(MotionDetectionManagerLargeZone, CountsLikeOnePassOverTheWholeZone) {
    struct TCase {
        int32_t Width, Height;
    };
    for (const TCase& c : std::vector<TCase>{
             {3, 12000}, {3, 11999}, {16385, 3}, {16385, 2}, {1920, 1080}, {1, 70001}}) {
        const TZoneFrame previous(c.Width + 2, c.Height + 1, 0);
        TZoneFrame current(c.Width + 2, c.Height + 1, 0);
        for (int32_t y = 1; y <= c.Height; ++y) {
            for (int32_t x = 1; x <= c.Width; ++x) {
                current.SetPixel(x, y, 0, 0, 0, 99);
            }
        }
        TMotionDetectionManager manager;
        ASSERT_TRUE(manager.Initialize(c.Width + 2, c.Height + 1, 1));
        ASSERT_TRUE(manager.SetMotionDetectionRectangle({1, 1, c.Width + 1, c.Height + 1}));
        uint32_t count = 0;
        ASSERT_TRUE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
            current.Data(), previous.Data(), kLevel, count));
        const uint32_t pixels = static_cast<uint32_t>(c.Width * c.Height);
        EXPECT_EQ(count, pixels & ~1u) << c.Width << " x " << c.Height;
    }
}

TEST(MotionDetectionManagerClampedBlock, ExplicitBlocksAreClampedToo) {
    const TZoneFrame previous(8, 6, 0);
    const TZoneFrame current(8, 6, 255);
    TMotionDetectionManager manager;
    ASSERT_TRUE(manager.Initialize(8, 6, 1));
    ASSERT_TRUE(manager.SetMotionDetectionRectangle({0, 0, 4, 3}));  // 12 pixels

    struct TBlock {
        int32_t X, Y, Width, Height;
        uint32_t ExpectedCount;
    };
    for (const TBlock& b : std::vector<TBlock>{{6, 4, 100, 100, 4},
                                               {-100, -100, 102, 101, 2},
                                               {0, 0, -5, 3, 0},
                                               {0, 0, 3, 0, 0},
                                               {2147483647, 0, 2147483647, 6, 0},
                                               {0, 0, 4, 3, 12}}) {
        uint32_t count = 1;
        EXPECT_TRUE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
            current.Data(), previous.Data(), kLevel, b.X, b.Y, b.Width, b.Height, count));
        EXPECT_EQ(count, b.ExpectedCount) << b.X << "," << b.Y << " " << b.Width << "x" << b.Height;
    }
    // The activity of an explicit block is taken over the stored zone.
    EXPECT_EQ(manager.MotionActivityPrc(), 100);
}

TEST(MotionDetectionManagerFailures, NotInitializedLeavesTheCountAlone) {
    const TZoneFrame frame(4, 4, 0);
    TMotionDetectionManager manager;
    LogCapture log;
    uint32_t count = 4321;
    EXPECT_FALSE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
        frame.Data(), frame.Data(), kLevel, count));
    EXPECT_FALSE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
        frame.Data(), frame.Data(), kLevel, 0, 0, 4, 4, count));
    EXPECT_EQ(count, 4321u);
    EXPECT_TRUE(log.Lines().empty());

    // The same after Deinitialize.
    ASSERT_TRUE(manager.Initialize(4, 4, 1));
    ASSERT_TRUE(manager.Deinitialize());
    EXPECT_FALSE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
        frame.Data(), frame.Data(), kLevel, 0, 0, 4, 4, count));
    EXPECT_EQ(count, 4321u);
}

TEST(MotionDetectionManagerFailures, MissingFramesAreLoggedAndGiveFalse) {
    const TZoneFrame frame(4, 4, 0);
    TMotionDetectionManager manager;
    ASSERT_TRUE(manager.Initialize(4, 4, 1));
    ASSERT_TRUE(manager.SetMotionDetectionRectangle({0, 0, 4, 4}));
    LogCapture log;
    uint32_t count = 5;
    EXPECT_FALSE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(nullptr, frame.Data(),
                                                                          kLevel, count));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(frame.Data(), nullptr,
                                                                          kLevel, count));
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{kStepError, kStepError}));

    // Still usable afterwards.
    EXPECT_TRUE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(frame.Data(), frame.Data(),
                                                                         10, count));
}

TEST(MotionDetectionManagerFailures, SensitivityBeforeTheRectangleIsLoggedAndKept) {
    TMotionDetectionManager manager;
    ASSERT_TRUE(manager.Initialize(8, 8, 1));
    LogCapture log;
    EXPECT_FALSE(manager.SetMotionDetectionSensitivity(70));
    EXPECT_EQ(manager.MotionDetectionSensitivity(), 70);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{
                               "Error in TMotionDetectionManager.SetMotionDetectionSensitivity "
                               "call..."});

    log.Clear();
    ASSERT_TRUE(manager.SetMotionDetectionRectangle({0, 0, 8, 8}));
    EXPECT_TRUE(manager.SetMotionDetectionSensitivity(60));
    EXPECT_EQ(manager.MotionDetectionSensitivity(), 60);
    EXPECT_TRUE(log.Lines().empty());
}

TEST(MotionDetectionManagerFailures, ZoneTooLargeToCountIsLoggedAndCountsNothing) {
    TMotionDetectionManager manager;
    ASSERT_TRUE(manager.Initialize(8, 6, 1));
    LogCapture log;
    EXPECT_FALSE(manager.SetMotionDetectionRectangle({-2000000000, -2000000000, 2000000000, 8}));
    EXPECT_EQ(log.Lines(), std::vector<std::string>{
                               "Error in TMotionDetectionManager.SetMotionDetectionRectangle "
                               "call..."});
    EXPECT_EQ(manager.DetectionRegionPixelsCount(), 0);
    EXPECT_EQ(manager.NeuralMotionDetection(), nullptr);

    // The frame is still counted, but no percentage is taken of a zone without a pixel count.
    const TZoneFrame previous(8, 6, 0);
    const TZoneFrame current(8, 6, 255);
    uint32_t count = 0;
    EXPECT_TRUE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
        current.Data(), previous.Data(), kLevel, count));
    EXPECT_EQ(count, 48u);
    EXPECT_EQ(manager.MotionActivityPrc(), 0);
}

TEST(MotionDetectionManagerFailures, BadFrameSizesAreLoggedAndGiveFalse) {
    TMotionDetectionManager manager;
    LogCapture log;
    EXPECT_FALSE(manager.Initialize(-1, 10, 1));
    EXPECT_FALSE(manager.Initialize(100000, 100000, 1));  // more than the kernels can address
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"Error in TMotionDetectionManager.Initialize call...",
                                        "Error in TMotionDetectionManager.Initialize call..."}));
    const TZoneFrame frame(2, 2, 0);
    uint32_t count = 3;
    EXPECT_FALSE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
        frame.Data(), frame.Data(), kLevel, 0, 0, 2, 2, count));
    EXPECT_EQ(count, 3u);
}

TEST(MotionDetectionManagerLifecycle, DefaultsAndReinitialization) {
    TMotionDetectionManager manager;
    EXPECT_EQ(manager.MotionDetectionMode(), 3);
    EXPECT_EQ(manager.MotionDetectionSensitivity(), 90);
    EXPECT_EQ(manager.DetectionRegionPixelsCount(), 0);
    EXPECT_EQ(manager.MotionActivityPrc(), 0);
    EXPECT_FALSE(manager.IsReadyToProcess());  // mode 3 without a threaded detector
    EXPECT_TRUE(manager.Deinitialize());       // nothing to do

    ASSERT_TRUE(manager.Initialize(8, 8, 2));
    ASSERT_TRUE(manager.SetMotionDetectionRectangle({1, 2, 5, 7}));
    EXPECT_EQ(manager.DetectionRegionPixelsCount(), 20);
    const TNeuralMotionDetection* detector = manager.NeuralMotionDetection();
    ASSERT_NE(detector, nullptr);
    EXPECT_EQ(detector->FrameWidth(), 4);
    EXPECT_EQ(detector->FrameHeight(), 5);
    EXPECT_EQ(detector->MotionDetectionMode(), 2);

    // A second Initialize deinitializes first: the threaded detector goes with it.
    ASSERT_TRUE(manager.Initialize(16, 16, 1));
    EXPECT_EQ(manager.NeuralMotionDetection(), nullptr);
    EXPECT_EQ(manager.MotionDetectionMode(), 1);
    EXPECT_TRUE(manager.IsReadyToProcess());

    const TZoneFrame previous(16, 16, 0);
    const TZoneFrame current(16, 16, 50);
    uint32_t count = 0;
    ASSERT_TRUE(manager.SetMotionDetectionRectangle({0, 0, 16, 16}));
    ASSERT_TRUE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
        current.Data(), previous.Data(), kLevel, count));
    EXPECT_EQ(count, 256u);
}

TEST(MotionDetectionManagerLifecycle, UnknownModeCountsNothingAndIsNeverReady) {
    const TZoneFrame previous(4, 4, 0);
    const TZoneFrame current(4, 4, 200);
    TMotionDetectionManager manager;
    ASSERT_TRUE(manager.Initialize(4, 4, 7));
    ASSERT_TRUE(manager.SetMotionDetectionRectangle({0, 0, 4, 4}));
    uint32_t count = 9;
    EXPECT_TRUE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
        current.Data(), previous.Data(), kLevel, count));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(manager.MotionActivityPrc(), 0);
    EXPECT_FALSE(manager.IsReadyToProcess());
    EXPECT_EQ(manager.NeuralMotionDetection()->ProcessingState(), 0);
}

TEST(MotionDetectionManagerLifecycle, EmptyRectangleGivesAZeroZoneThatStaysHarmless) {
    for (const TRect& zone : {TRect{2, 2, 2, 2}, TRect{5, 5, 1, 1}, TRect{0, 0, 0, 4}}) {
        for (int32_t mode : {1, 2, 3}) {
            TMotionDetectionManager manager;
            ASSERT_TRUE(manager.Initialize(6, 6, mode));
            EXPECT_TRUE(manager.SetMotionDetectionRectangle(zone));
            EXPECT_EQ(manager.DetectionRegionPixelsCount(), 0);
            // Simple mode counts in place and needs no worker; the learning modes have one.
            const TNeuralMotionDetection* worker = manager.NeuralMotionDetection();
            EXPECT_EQ(worker == nullptr, mode == 1);
            EXPECT_TRUE(manager.SetMotionDetectionSensitivity(90));

            const TZoneFrame previous(6, 6, 0);
            const TZoneFrame current(6, 6, 99);
            for (int frame = 0; frame < 3; ++frame) {
                uint32_t count = 1;
                EXPECT_TRUE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
                    current.Data(), previous.Data(), kLevel, count));
                EXPECT_EQ(count, 0u);
                EXPECT_EQ(manager.MotionActivityPrc(), 0);
            }
            if (worker != nullptr) {
                EXPECT_EQ(worker->ProcessingState(), 0);
            }
        }
    }
}

TEST(MotionDetectionManagerLifecycle, BrightnessTwinsSaturate) {
    std::vector<uint8_t> bytes = {0, 5, 100, 250, 255, 1, 2, 3};
    TMotionDetectionManager::BrightnessIncrease(bytes.data(), 8, 10);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{10, 15, 110, 255, 255, 11, 12, 13}));
    TMotionDetectionManager::BrightnessDecrease(bytes.data(), 8, 12);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0, 3, 98, 243, 243, 0, 0, 1}));
}

// Modes 2 and 3 hand the zone to the threaded detector and report its count.
class MotionDetectionManagerSelfLearning : public ::testing::TestWithParam<int32_t> {
protected:
    static constexpr int32_t kFrameWidth = 20;
    static constexpr int32_t kFrameHeight = 14;
    static constexpr TRect kZone{6, 3, 16, 13};  // 10 x 10 pixels

    void SetUp() override {
        ASSERT_TRUE(Manager.Initialize(kFrameWidth, kFrameHeight, GetParam()));
        ASSERT_TRUE(Manager.SetMotionDetectionRectangle(kZone));
        ASSERT_TRUE(Manager.SetMotionDetectionSensitivity(90));
    }

    // One per-frame step whose frame the threaded detector has finished on return.
    ::testing::AssertionResult Step(const TZoneFrame& current, const TZoneFrame& previous,
                                    uint32_t& count) {
        if (!Manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
                current.Data(), previous.Data(), kLevel, count)) {
            return ::testing::AssertionFailure() << "step failed";
        }
        return WaitUntilIdle(Manager);
    }

    TMotionDetectionManager Manager;
};

TEST_P(MotionDetectionManagerSelfLearning, ReportsNothingUntilLearnedThenCountsTheZone) {
    TZoneFrame background(kFrameWidth, kFrameHeight, 60);
    TZoneFrame moving(kFrameWidth, kFrameHeight, 160);
    uint32_t count = 0;

    // Motion on every frame: never learns, nothing reported.
    for (int frame = 0; frame < 12; ++frame) {
        ASSERT_TRUE(Step(frame % 2 ? moving : background, frame % 2 ? background : moving, count));
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(Manager.MotionActivityPrc(), 0);
        EXPECT_FALSE(Manager.IsReadyToProcess());
    }
    // The first background frame is itself a motion frame (it follows a moving one); then 10
    // still frames start learning and 60 learned frames complete it.
    for (int frame = 0; frame < 70; ++frame) {
        ASSERT_TRUE(Step(background, background, count));
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(Manager.IsReadyToProcess(), frame == 69) << frame;
    }

    // A change outside the zone is never handed over.
    TZoneFrame outside = background;
    outside.SetPixel(5, 3, 255, 255, 255);
    outside.SetPixel(16, 12, 255, 255, 255);
    outside.SetPixel(6, 2, 255, 255, 255);
    outside.SetPixel(15, 13, 255, 255, 255);
    ASSERT_TRUE(Step(outside, background, count));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(Manager.MotionActivityPrc(), 0);

    // Interior, isolated changes inside the zone (isolated so that each one is one edge pixel
    // in mode 3, where it weighs 4).
    TZoneFrame inside = background;
    for (auto [x, y] : {std::pair{7, 4}, std::pair{15, 12}, std::pair{10, 8}}) {
        inside.SetPixel(x, y, 255, 255, 255);
    }
    // Reported by the step that hands the frame over.
    ASSERT_TRUE(Step(inside, background, count));
    const uint32_t expected = GetParam() == 3 ? 8u : 3u;  // mode 3: only 2 are interior
    EXPECT_EQ(count, expected);
    EXPECT_EQ(Manager.MotionActivityPrc(), static_cast<int32_t>(expected));  // of 100 pixels
}

TEST_P(MotionDetectionManagerSelfLearning, ZoneClampedAtTheFrameEdgeIsNotHandedOver) {
    // Reaches 4 columns past the right edge: the clamped block is smaller than the zone the
    // threaded detector learns, so it gets no frame at all.
    ASSERT_TRUE(Manager.SetMotionDetectionRectangle({14, 0, 24, 10}));
    const TZoneFrame current(kFrameWidth, kFrameHeight, 200);
    for (int frame = 0; frame < 20; ++frame) {
        uint32_t count = 1;
        EXPECT_TRUE(Manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
            current.Data(), current.Data(), kLevel, count));
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(Manager.NeuralMotionDetection()->ProcessingState(), 0);
    }
    EXPECT_EQ(Manager.NeuralMotionDetection()->NeuralMode(), 0);
    EXPECT_FALSE(Manager.IsReadyToProcess());
}

INSTANTIATE_TEST_SUITE_P(MotionDetectionManager, MotionDetectionManagerSelfLearning,
                         ::testing::Values(2, 3),
                         [](const auto& info) { return "Mode" + std::to_string(info.param); });

}  // namespace
