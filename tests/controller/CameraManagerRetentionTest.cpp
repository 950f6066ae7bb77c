// The camera controller left alone: old recordings make room before each new file, a full disk
// ends a recording cleanly and holds the next one back until there is room again, and the
// retention limits live in the settings store.

#include <gtest/gtest.h>

#include <QTest>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "alarms/AlarmSettings.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "controller/CameraManagerTestSupport.h"
#include "platform/DateTime.h"
#include "recording/RecordingRetention.h"
#include "recording/RecordingTestSupport.h"
#include "support/FileSizeLimit.h"
#include "support/LogCapture.h"
#include "zones/SelectorObjectManager.h"

namespace fs = std::filesystem;

namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr uint64_t kGB = 1024ULL * 1024ULL * 1024ULL;

// The camera is started for real, then its graph is stopped: the test feeds noise frames (all
// motion, and no encoder can squeeze them) on a clock of its own, and decides the disk's free
// space.
class CameraManagerRetentionTest : public CameraManagerFixture {
protected:
    void SetUp() override {
        CameraManagerFixture::SetUp();
        FPreviousClock = SetDateTimeClock([this] { return FNow.load(); });
        FPreviousQuery =
            SetDiskSpaceQuery([this](const std::string&, uint64_t& free, uint64_t& total) {
                free = FFree;
                total = 1000 * kGB;
                return true;
            });
    }
    void TearDown() override {
        FManager.reset();
        SetDiskSpaceQuery(FPreviousQuery);
        SetDateTimeClock(FPreviousClock);
        CameraManagerFixture::TearDown();
    }

    // One zone over the whole picture, Simple Mode at the highest sensitivity.
    void StartWithOneZone() {
        Store({{"FormatIndex", 0},
               {"MotionDetectionMode", 1},
               {"MotionDetectionSensitivity", 100},
               {"UseMotionDetectionVideoLogging", 1}});
        FManager = std::make_unique<TCameraManager>(FWindow.get(), 100);
        FManager->SetRecordingEventCallback([this](const TRecordingEvent& event) {
            std::lock_guard<std::mutex> guard(FEventsLock);
            (event.Finished ? FFinished : FStarted).push_back(event.File);
        });
        ASSERT_TRUE(FManager->InitializeCamera());
        FManager->FrameGrabCaptureGraph()->Stop();
        Step(false);  // the picture now holds the still scene, not the last streamed frame
        FManager->OnAddZoneClick();
        const QRect picture = FManager->FramePreviewImage()->geometry();
        FManager->SelectorObjectManager()->SetRectangle(
            0, TRect{picture.left() + 4, picture.top() + 4, picture.right() - 4,
                     picture.bottom() - 4});
        FManager->OnActivateClick();
        ASSERT_TRUE(FManager->Activated());
        Step(false);
        ASSERT_FALSE(FManager->MotionRecording());
    }

    // One frame, 0.1 s after the last: new noise with motion, else the last frame again; true
    // when it was shown.
    bool Step(bool motion = true) {
        FNow = FNow + 0.1 * kSecond;
        if (motion) {
            for (uint8_t& byte : FFrame) {
                byte = static_cast<uint8_t>(FRandom());
            }
        }
        std::vector<uint8_t> frame = FFrame;
        return Feed(frame);
    }
    // Noise for the given seconds of the test's clock; false when a frame was not shown.
    bool Run(double seconds) {
        bool shown = true;
        for (int i = 0; i < static_cast<int>(seconds * 10); ++i) {
            shown = Step() && shown;
        }
        return shown;
    }
    // Noise until the motion recording runs, for at most the given seconds; how long it took.
    double RunUntilRecording(double seconds) {
        const TDateTime from = FNow;
        while (!FManager->MotionRecording() && (FNow - from) / kSecond < seconds) {
            Step();
        }
        return (FNow - from) / kSecond;
    }

    static void MakeFile(const std::string& path, size_t bytes) {
        std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
    }
    static int CountLines(const LogCapture& log, const std::string& start) {
        const auto lines = log.Lines();
        return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const auto& line) {
            return line.rfind(start, 0) == 0;
        }));
    }
    std::vector<std::string> Finished() {
        std::lock_guard<std::mutex> guard(FEventsLock);
        return FFinished;
    }
    std::vector<std::string> Started() {
        std::lock_guard<std::mutex> guard(FEventsLock);
        return FStarted;
    }

    std::atomic<TDateTime> FNow{EncodeDateTime({2026, 12, 10, 9, 0, 0, 0})};
    std::atomic<uint64_t> FFree{500 * kGB};
    TDateTimeClock FPreviousClock;
    TDiskSpaceQuery FPreviousQuery;
    std::minstd_rand FRandom{17};
    std::vector<uint8_t> FFrame = std::vector<uint8_t>(320 * 240 * 4, 40);
    std::mutex FEventsLock;
    std::vector<std::string> FStarted;
    std::vector<std::string> FFinished;
};

const char kNoRoom[] = "Error in TCameraManager.StartWMEncoderGraph - ";

}  // namespace

TEST_F(CameraManagerRetentionTest, OldRecordingsMakeRoomAndNoneStartsWhileThereIsNone) {
    StartWithOneZone();
    const std::string folder = FManager->MotionLogFolder();
    fs::create_directories(folder + "LogInfo");
    for (const char* stamp : {"20261201_080000", "20261202_080000"}) {
        MakeFile(folder + "Rec_" + stamp + ".wmv", 5000);
        MakeFile(folder + "LogInfo/Rec_" + stamp + ".vli", 20);
    }
    MakeFile(folder + "holiday.wmv", 5000);

    // A full disk: the older recording goes, the newest stays (a new recording never costs the
    // last one), the foreign file stays, and still there is no room.
    FFree = 0;
    LogCapture log;
    EXPECT_TRUE(Run(20.0)) << "the live picture goes on";
    EXPECT_FALSE(FManager->MotionRecording());
    EXPECT_TRUE(Started().empty());
    EXPECT_FALSE(fs::exists(folder + "Rec_20261201_080000.wmv"));
    EXPECT_TRUE(fs::exists(folder + "LogInfo/Rec_20261202_080000.vli"));
    EXPECT_TRUE(fs::exists(folder + "holiday.wmv"));
    EXPECT_EQ(CountLines(log, "Recording retention - deleted "), 1);
    EXPECT_EQ(CountLines(log, kNoRoom), 1) << "logged once while the disk stays full";
    EXPECT_TRUE(log.Contains(std::string(kNoRoom) + "0 MB free for " + folder +
                             ", 2048 MB wanted; no recording starts until there is room."));

    // Room again: the recording starts within the retry pause of 10 s.
    FFree = 500 * kGB;
    EXPECT_LE(RunUntilRecording(12.0), 10.1);
    EXPECT_TRUE(FManager->MotionRecording());
    EXPECT_EQ(Started().size(), 1u);
}

TEST_F(CameraManagerRetentionTest, AFullDiskEndsTheFileCleanlyAndTheNextWaitsForRoom) {
    StartWithOneZone();
    const std::string folder = FManager->MotionLogFolder();
    LogCapture log;
    FileSizeLimit limit(400000);
    // Frames at about the camera's pace until the recorder's writes fail and the controller
    // ends the recording.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            Step();
            return !Started().empty() && !FManager->MotionRecording();
        },
        60000));
    EXPECT_EQ(CountLines(log,
                         "Error in TCameraManager.NextFrameDataFunction - "
                         "FMotionVideoLoggerThread.AddVideoFrame exited with"),
              1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Finished().size() == 1; }, 30000));
    limit.Lift();
    const std::string file = Finished().front();
    EXPECT_GT(DecodeFile(file).Frames, 0) << "what was written plays";
    fs::path info = fs::path(folder) / "LogInfo" / fs::path(file).filename();
    info.replace_extension(".vli");
    EXPECT_TRUE(fs::exists(info));

    // The disk stays full: the next recording waits, the live picture goes on.
    FFree = 0;
    EXPECT_TRUE(Run(15.0));
    EXPECT_EQ(Started().size(), 1u);
    EXPECT_TRUE(fs::exists(file)) << "the recording just finished is never deleted for room";
    EXPECT_EQ(CountLines(log, kNoRoom), 1);

    FFree = 500 * kGB;
    EXPECT_LE(RunUntilRecording(12.0), 10.1);
    EXPECT_EQ(Started().size(), 2u);
    FManager.reset();
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (entry.is_regular_file()) {
            EXPECT_GT(entry.file_size(), 0u) << entry.path();
        }
    }
}

TEST_F(CameraManagerRetentionTest, LimitsAreStoredAndOutOfRangeValuesGiveTheDefault) {
    Store({{"RetentionMinFreePercent", 7},
           {"RetentionMinFreeMegabytes", 900},
           {"RetentionMaxFolderMegabytes", 4000},
           {"RetentionMaxAgeDays", -3}});
    LogCapture log;
    ASSERT_TRUE(Start());
    EXPECT_EQ(FManager->AlarmSettings()->RetentionLimits(), (TRetentionLimits{7, 900, 4000, 30}));
    EXPECT_TRUE(
        log.Contains("Error in TCameraManager.LoadRegistrySettings - RetentionMaxAgeDays "
                     "-3 is out of range; 30 is used."));
    FManager->AlarmSettings()->SetRetentionLimits(TRetentionLimits{1, 2, 3, 4});
    FManager.reset();
    auto stored = Stored();
    EXPECT_EQ(stored->value("RetentionMinFreePercent").toInt(), 1);
    EXPECT_EQ(stored->value("RetentionMinFreeMegabytes").toInt(), 2);
    EXPECT_EQ(stored->value("RetentionMaxFolderMegabytes").toInt(), 3);
    EXPECT_EQ(stored->value("RetentionMaxAgeDays").toInt(), 4);
}

// The seconds before and after the motion are kept with the limits: a stored value within its
// range is taken (0 switches each off), one outside gives the default, and the value in use is
// written back, so a fresh start of the program reads it.
TEST_F(CameraManagerRetentionTest, SecondsAroundTheMotionAreStoredWithTheLimits) {
    const struct {
        const char* Name;
        int32_t TRetentionLimits::*Field;
        int Stored;
        int32_t Used;
    } cases[] = {
        {"PreEventSeconds", &TRetentionLimits::PreEventSeconds, 0, 0},
        {"PreEventSeconds", &TRetentionLimits::PreEventSeconds, 7, 7},
        {"PreEventSeconds", &TRetentionLimits::PreEventSeconds, 10, 10},
        {"PreEventSeconds", &TRetentionLimits::PreEventSeconds, 11, 2},
        {"PreEventSeconds", &TRetentionLimits::PreEventSeconds, -1, 2},
        {"PostEventSeconds", &TRetentionLimits::PostEventSeconds, 0, 0},
        {"PostEventSeconds", &TRetentionLimits::PostEventSeconds, 60, 60},
        {"PostEventSeconds", &TRetentionLimits::PostEventSeconds, 61, 5},
        {"PostEventSeconds", &TRetentionLimits::PostEventSeconds, -3, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " " + std::to_string(c.Stored));
        Store({{c.Name, c.Stored}});
        ASSERT_TRUE(Start());
        EXPECT_EQ(FManager->AlarmSettings()->RetentionLimits().*c.Field, c.Used);
        FManager.reset();
        EXPECT_EQ(Stored()->value(c.Name).toInt(), c.Used);
    }
}
