// Motion recordings and the continually running recording of the camera controller, with real
// recorders writing real files.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QAbstractItemModel>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "alarms/AlarmSettings.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "controller/CameraManagerTestSupport.h"
#include "controller/CameraPicture.h"
#include "platform/DateTime.h"
#include "platform/MediaFramework.h"
#include "platform/MonotonicClock.h"
#include "recording/RecordingTestSupport.h"
#include "videolog/VideoLogInfo.h"
#include "videolog/PreviewPlayer.h"
#include "videolog/VideoLogPreviewForm.h"
#include "videolog/VideoLoggerFrm.h"
#include "zones/SelectorObjectManager.h"

namespace {

constexpr double kSecond = 1.0 / 86400.0;

// Every recording event the controller reports (from any thread).
class RecordingLog {
public:
    TRecordingEventCallback Callback() {
        return [this](const TRecordingEvent& event) {
            std::lock_guard<std::mutex> guard(FMutex);
            FEvents.push_back(event);
        };
    }
    int Started() const { return Count(false); }
    int Finished() const { return Count(true); }
    std::vector<TRecordingEvent> Events() const {
        std::lock_guard<std::mutex> guard(FMutex);
        return FEvents;
    }

private:
    int Count(bool finished) const {
        std::lock_guard<std::mutex> guard(FMutex);
        return static_cast<int>(std::count_if(FEvents.begin(), FEvents.end(),
                                              [&](const TRecordingEvent& e) {
                                                  return e.Finished == finished;
                                              }));
    }
    mutable std::mutex FMutex;
    std::vector<TRecordingEvent> FEvents;
};

// The camera is started for real, then its graph is stopped: the test feeds the frames, and a
// clock of its own says when they arrive.
class CameraManagerMotionRecordingTest : public CameraManagerFixture {
protected:
    void SetUp() override {
        CameraManagerFixture::SetUp();
        FPreviousClock = SetDateTimeClock([this] { return FNow; });
        FPreviousMonotonicClock = SetMonotonicClock([this] { return FMono; });
    }
    void TearDown() override {
        FManager.reset();  // recordings finished here
        SetDateTimeClock(FPreviousClock);
        SetMonotonicClock(FPreviousMonotonicClock);
        CameraManagerFixture::TearDown();
    }

    // Two zones side by side, the left and the right half of the picture; Simple Mode at the
    // highest sensitivity, so any change in a zone is motion. Without a hold after the motion
    // unless one is given.
    void StartWithTwoZones(bool motionLogger = true, int postEventSeconds = 0) {
        Store({{"FormatIndex", 0},
               {"MotionDetectionMode", 1},
               {"MotionDetectionSensitivity", 100},
               {"UseMotionDetectionVideoLogging", motionLogger ? 1 : 0},
               {"PostEventSeconds", postEventSeconds}});
        FManager = std::make_unique<TCameraManager>(FWindow.get(), 100);
        FManager->SetRecordingEventCallback(FLog.Callback());
        ASSERT_TRUE(FManager->InitializeCamera());
        FManager->FrameGrabCaptureGraph()->Stop();
        Step(false);  // the picture now holds the still scene, not the last streamed frame
        const QRect picture = FManager->FramePreviewImage()->geometry();
        const int half = picture.width() / 2;
        FManager->OnAddZoneClick();
        FManager->OnAddZoneClick();
        TSelectorObjectManager& zones = *FManager->SelectorObjectManager();
        zones.SetRectangle(0, TRect{picture.left() + 4, picture.top() + 4, picture.left() + half - 4,
                                    picture.bottom() - 4});
        zones.SetRectangle(1, TRect{picture.left() + half + 4, picture.top() + 4,
                                    picture.right() - 4, picture.bottom() - 4});
        FManager->OnActivateClick();
        ASSERT_TRUE(FManager->Activated());
        Step(false);
        ASSERT_FALSE(FManager->MotionRecording());
    }

    // One frame, 0.1 s after the last: with motion, the left half takes the next of three grey
    // levels (so it differs from the last two frames, shown or dropped); without, the frame
    // repeats the last one.
    bool Step(bool motion) {
        FNow += 0.1 * kSecond;
        FMono += 0.1;
        if (motion) {
            FPhase = (FPhase + 1) % 3;
        }
        std::vector<uint8_t> frame = Frame(320, 240, 20);
        const uint8_t level = static_cast<uint8_t>(20 + 100 * FPhase);
        for (int row = 0; row < 240; ++row) {
            std::fill_n(frame.begin() + row * 320 * 4, 160 * 4, level);
        }
        return Feed(frame);
    }
    // Frames for the given seconds.
    void Run(double seconds, bool motion) {
        for (int i = 0; i < static_cast<int>(std::lround(seconds * 10)); ++i) {
            Step(motion);
        }
    }
    // Seconds from the given moment to the next frame's.
    double NextFrameAfter(TDateTime since) const { return (FNow - since) / kSecond + 0.1; }

    const TDateTime FStart = EncodeDateTime({2026, 12, 10, 9, 0, 0, 0});
    TDateTime FNow = FStart;
    TDateTimeClock FPreviousClock;
    double FMono = 1000.0;
    TMonotonicClock FPreviousMonotonicClock;
    int FPhase = 0;
    RecordingLog FLog;
};

// Without a hold, a short motion is recorded for 5 seconds: the first frame after them ends the
// recording, and that frame is still shown (and kept for the next recording).
TEST_F(CameraManagerMotionRecordingTest, WithoutAHoldShortMotionRecordsFiveSeconds) {
    StartWithTwoZones();
    Step(true);
    const TDateTime started = FNow;
    Run(1.9, true);
    ASSERT_TRUE(FManager->MotionRecording());
    EXPECT_EQ(FLog.Started(), 1);
    Step(false);  // no motion anywhere: the stop waits for the 5 seconds
    EXPECT_TRUE(FManager->MotionRecording());
    EXPECT_TRUE(FManager->WaitMinMotionDuration());
    while (NextFrameAfter(started) < 4.95) {
        EXPECT_TRUE(Step(false));
        EXPECT_TRUE(FManager->MotionRecording());
    }
    // The first frame more than 5 s after the start ends the recording.
    while (FManager->MotionRecording() && NextFrameAfter(started) < 5.15) {
        const int64_t shown = FManager->FrameCounter();
        EXPECT_TRUE(Step(false));
        EXPECT_EQ(FManager->FrameCounter(), shown + 1) << "every frame goes through the step";
    }
    EXPECT_GT((FNow - started) / kSecond, 5.0);
    EXPECT_FALSE(FManager->MotionRecording());
    EXPECT_FALSE(FManager->WaitMinMotionDuration());
}

TEST_F(CameraManagerMotionRecordingTest, ANoMotionFrameAfterFiveSecondsStopsAtOnce) {
    StartWithTwoZones();
    Run(6.0, true);
    ASSERT_TRUE(FManager->MotionRecording());
    EXPECT_TRUE(Step(false));
    EXPECT_FALSE(FManager->MotionRecording());
    EXPECT_FALSE(FManager->WaitMinMotionDuration());
    EXPECT_EQ(FLog.Started(), 1);
}

// Without a hold, motion after a frame without any does not cancel the stop at 5 seconds; the
// motion frame at which it comes starts the next file itself.
TEST_F(CameraManagerMotionRecordingTest, MotionAgainDoesNotCancelThePendingStopAndStartsTheNextFile) {
    StartWithTwoZones();
    Step(true);
    const TDateTime started = FNow;
    Run(0.9, true);
    Step(false);  // pending stop
    ASSERT_TRUE(FManager->WaitMinMotionDuration());
    while (NextFrameAfter(started) < 4.95) {
        EXPECT_TRUE(Step(true));
        EXPECT_TRUE(FManager->MotionRecording());
    }
    // Stopped once more than 5 s have passed, although the motion goes on; the same frame
    // starts the next file.
    while (FLog.Started() == 1 && NextFrameAfter(started) < 5.15) {
        EXPECT_TRUE(Step(true));
    }
    EXPECT_GT((FNow - started) / kSecond, 5.0);
    EXPECT_TRUE(FManager->MotionRecording());
    EXPECT_FALSE(FManager->WaitMinMotionDuration());
    EXPECT_EQ(FLog.Started(), 2);
    // ... which runs on as long as the motion lasts.
    Run(8.0, true);
    EXPECT_TRUE(FManager->MotionRecording());
    EXPECT_EQ(FLog.Started(), 2);
}

// Each recording is made in the format chosen when it starts: its file has the format's
// extension and its recorder is told the format. A change applies from the next recording on;
// the running one goes on as it is.
TEST_F(CameraManagerMotionRecordingTest, EachRecordingIsMadeInTheFormatChosenWhenItStarts) {
    Store({{"RecordingFormat", "mp4"}});
    StartWithTwoZones();
    Run(1.0, true);
    ASSERT_TRUE(FManager->MotionRecording());
    EXPECT_EQ(FManager->RecordingFormatOf(1), TRecordingFormat::Mp4);
    EXPECT_EQ(FManager->RecordingFormatOf(0), std::nullopt) << "no continual recording";
    FManager->AlarmSettings()->SetRecordingFormat(TRecordingFormat::Wmv);
    EXPECT_EQ(FManager->RecordingFormatOf(1), TRecordingFormat::Mp4);
    Run(5.0, false);
    ASSERT_FALSE(FManager->MotionRecording());
    Run(1.0, true);
    ASSERT_TRUE(FManager->MotionRecording());
    EXPECT_EQ(FManager->RecordingFormatOf(1), TRecordingFormat::Wmv);

    std::vector<std::string> started;
    for (const TRecordingEvent& event : FLog.Events()) {
        if (!event.Finished) {
            started.push_back(std::filesystem::path(event.File).filename().string());
            EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(event.File))) << event.File;
        }
    }
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0], "Rec_20261210_090000.mp4");
    EXPECT_EQ(started[1].substr(0, 4), "Rec_");
    EXPECT_EQ(started[1].substr(started[1].size() - 4), ".wmv");
}

TEST_F(CameraManagerMotionRecordingTest, AQuietZoneDoesNotChopTheBusyZonesRecording) {
    StartWithTwoZones();
    // The left zone sees motion in every frame, the right one never.
    Run(12.0, true);
    EXPECT_TRUE(FManager->MotionRecording());
    EXPECT_EQ(FLog.Started(), 1);
    EXPECT_EQ(FLog.Finished(), 0);
}

TEST_F(CameraManagerMotionRecordingTest, TheMotionRecordingSwitchIsHonoured) {
    StartWithTwoZones(/*motionLogger=*/false);
    Run(3.0, true);
    EXPECT_FALSE(FManager->MotionRecording());
    EXPECT_EQ(FLog.Started(), 0);
}

// With a hold, one activity is one recording: frames without motion now and then, and pauses
// shorter than the hold, continue it; it ends at the first frame the hold after the last motion.
TEST_F(CameraManagerMotionRecordingTest, TheHoldKeepsOneActivityInOneRecording) {
    StartWithTwoZones(true, 5);
    for (int i = 0; i < 30; ++i) {
        Step(i % 7 != 6);  // motion, with a single frame without any now and then
    }
    Run(1.0, false);
    Run(1.0, true);
    Run(4.0, false);
    Run(1.0, true);
    EXPECT_TRUE(FManager->MotionRecording());
    EXPECT_EQ(FLog.Started(), 1);
    const TDateTime lastMotion = FNow;
    while (FManager->MotionRecording() && NextFrameAfter(lastMotion) < 6.0) {
        Step(false);
    }
    EXPECT_FALSE(FManager->MotionRecording());
    // The frame at 5 s or the next one, as the sums of tenths of a second round.
    EXPECT_NEAR((FNow - lastMotion) / kSecond, 5.05, 0.06) << "the hold after the last motion";
    EXPECT_EQ(FLog.Started(), 1);
    Step(true);  // the next activity is the next recording
    EXPECT_EQ(FLog.Started(), 2);
}

// The hold never makes a recording shorter than 5 seconds; the longest hold is taken too.
TEST_F(CameraManagerMotionRecordingTest, TheHoldEndsTheRecordingNoSoonerThanFiveSeconds) {
    const struct {
        int Hold;
        double Motion;      // seconds of motion from the start
        double EndsAfter;   // seconds from the first motion frame to the frame that ends it
    } cases[] = {{1, 1.0, 5.0}, {3, 4.0, 6.9}, {60, 1.0, 60.9}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Hold);
        StartWithTwoZones(true, c.Hold);
        const int started = FLog.Started();
        Step(true);
        const TDateTime first = FNow;
        Run(c.Motion - 0.1, true);
        while (FManager->MotionRecording() && NextFrameAfter(first) < c.EndsAfter + 1.0) {
            Step(false);
        }
        EXPECT_FALSE(FManager->MotionRecording());
        EXPECT_NEAR((FNow - first) / kSecond, c.EndsAfter + 0.05, 0.06);
        EXPECT_EQ(FLog.Started(), started + 1);
        FManager.reset();
    }
}

TEST_F(CameraManagerMotionRecordingTest, AStoppedRecordingLeavesNoPendingStopForTheNext) {
    StartWithTwoZones();
    Run(1.0, true);
    Step(false);
    ASSERT_TRUE(FManager->WaitMinMotionDuration());
    FManager->OnActivateClick();  // deactivate: the recording ends
    EXPECT_FALSE(FManager->MotionRecording());
    EXPECT_FALSE(FManager->WaitMinMotionDuration());
    FManager->OnActivateClick();
    Step(false);
    Run(8.0, true);  // motion throughout: one recording, never cut at 5 s
    EXPECT_TRUE(FManager->MotionRecording());
    EXPECT_EQ(FLog.Started(), 2);
}

TEST_F(CameraManagerMotionRecordingTest, ClosingFinishesTheRecordingWithItsInformationFile) {
    StartWithTwoZones();
    // Frames at their real pace, so that the recorder (built on its own thread) takes them.
    for (int i = 0; i < 25; ++i) {
        Step(true);
        QTest::qWait(100);
    }
    ASSERT_TRUE(FManager->MotionRecording());
    FManager.reset();  // returns once the file is closed and its information file written
    ASSERT_EQ(FLog.Finished(), 1);
    const TRecordingEvent finished = FLog.Events().back();
    const std::string folder = TCameraManager::MotionLogFolderOf(FHome.path().toStdString() + "/data/");
    TVideoLogInfoList list;
    ASSERT_TRUE(LoadVideoLogInfoList(folder, &list));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->FileName, finished.File);
    EXPECT_DOUBLE_EQ(list[0]->Duration, finished.Duration);
    EXPECT_GT(finished.Duration, 0.5);
}

// With the Test Pattern streaming; the recordings are decoded again here.
class CameraManagerLiveRecordingTest : public CameraManagerFixture {
protected:
    void SetUp() override {
        CameraManagerFixture::SetUp();
        ASSERT_TRUE(InitializeMediaFramework());
    }

    // One zone over the middle third of the picture, which the Test Pattern's ball crosses.
    void AddZoneAcrossTheBallsPath() {
        FManager->OnAddZoneClick();
        const QRect picture = FManager->FramePreviewImage()->geometry();
        const int third = picture.height() / 3;
        FManager->SelectorObjectManager()->SetRectangle(
            0, TRect{picture.left(), picture.top() + third, picture.right() + 1,
                     picture.top() + 2 * third});
    }
};

TEST_F(CameraManagerLiveRecordingTest, TheBallsPathIsRecordedAndTheFilePlays) {
    Store({{"FormatIndex", 0}, {"MotionDetectionMode", 1}, {"MotionDetectionSensitivity", 95}});
    RecordingLog log;
    FManager = std::make_unique<TCameraManager>(FWindow.get(), 100);
    FManager->SetRecordingEventCallback(log.Callback());
    ASSERT_TRUE(FManager->InitializeCamera());
    AddZoneAcrossTheBallsPath();
    FManager->OnActivateClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.Started() > 0; }, 20000));
    QTest::qWait(2000);
    FManager.reset();
    ASSERT_GE(log.Finished(), 1);
    const std::string folder =
        TCameraManager::MotionLogFolderOf(FHome.path().toStdString() + "/data/");
    TVideoLogInfoList list;
    ASSERT_TRUE(LoadVideoLogInfoList(folder, &list));
    ASSERT_GE(list.size(), 1u);
    for (const auto& info : list) {
        SCOPED_TRACE(info->FileName);
        EXPECT_EQ(QFileInfo(QString::fromStdString(info->FileName)).fileName().left(4), "Rec_");
        const TDecodedFile decoded = DecodeFile(info->FileName);
        EXPECT_GT(decoded.Frames, 0);
        EXPECT_EQ(decoded.Width, 320);
        EXPECT_EQ(decoded.Height, 240);
        EXPECT_NEAR(decoded.DurationSeconds, info->Duration, 1.0);
    }
}

// Where the user meets the recordings: the panel's Show Videos List lists what the last run
// recorded, and Play Video plays it.
TEST_F(CameraManagerLiveRecordingTest, TheVideosListShowsTheRecordingsOfTheLastRunAndPlaysOne) {
    Store({{"FormatIndex", 0}, {"MotionDetectionMode", 1}, {"MotionDetectionSensitivity", 95}});
    {
        RecordingLog log;
        FManager = std::make_unique<TCameraManager>(FWindow.get(), 100);
        FManager->SetRecordingEventCallback(log.Callback());
        ASSERT_TRUE(FManager->InitializeCamera());
        AddZoneAcrossTheBallsPath();
        FManager->OnActivateClick();
        ASSERT_TRUE(QTest::qWaitFor([&] { return log.Started() > 0; }, 20000));
        QTest::qWait(1500);
        FManager.reset();
        ASSERT_GE(log.Finished(), 1);
    }
    FManager = std::make_unique<TCameraManager>(FWindow.get(), 100);
    ASSERT_TRUE(FManager->InitializeCamera());
    const std::string motion =
        TCameraManager::MotionLogFolderOf(FHome.path().toStdString() + "/data/");
    int listed = -1;
    std::string shownFolder;
    bool played = false;
    const auto previousList = SetVideoLoggerFormRunHook([&](TVideoLoggerFrm& form) {
        form.show();
        shownFolder = form.Folder();
        listed = form.VideoList()->model()->rowCount();
        EXPECT_FALSE(form.FolderChoice()->isHidden());  // the continuous folder can be chosen
        const auto previousPreview = SetVideoLogPreviewFormRunHook([&](TVideoLogPreviewFrm& preview) {
            preview.show();
            played = QTest::qWaitFor(
                [&] {
                    int64_t position = 0;
                    return preview.PreviewPlayer()->FileLoaded() &&
                           preview.PreviewPlayer()->GetPosition(position) && position > 0;
                },
                15000);
            return 0;
        });
        QTest::mouseClick(form.PlayVideoButton(), Qt::LeftButton);
        SetVideoLogPreviewFormRunHook(previousPreview);
        return 0;
    });
    QTest::mouseClick(FManager->VideosListButton(), Qt::LeftButton);
    SetVideoLoggerFormRunHook(previousList);
    EXPECT_EQ(shownFolder, motion);
    EXPECT_GE(listed, 1);
    EXPECT_TRUE(played);
}

TEST_F(CameraManagerLiveRecordingTest, TheContinuallyRunningRecordingRollsOverIntoSmallFiles) {
    Store({{"FormatIndex", 0}, {"UseContinuallyRunningVideoLogging", 1}});
    RecordingLog log;
    FManager = std::make_unique<TCameraManager>(FWindow.get(), 100);
    FManager->SetRecordingEventCallback(log.Callback());
    FManager->SetMaxRecordingDuration(20000000);  // 2 s files
    ASSERT_TRUE(FManager->InitializeCamera());
    EXPECT_TRUE(FManager->ConstantRecording());
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.Finished() >= 2; }, 30000));
    // The alarms dialog closed with the switch still on does not cut the running file.
    const int started = log.Started();
    FManager->RefreshVideoLoggers();
    EXPECT_EQ(log.Started(), started);
    FManager.reset();
    const std::string folder =
        TCameraManager::ConstantLogFolderOf(FHome.path().toStdString() + "/data/");
    TVideoLogInfoList list;
    ASSERT_TRUE(LoadVideoLogInfoList(folder, &list));
    // The last file may have been stopped before it held a frame (and is then not kept).
    EXPECT_GE(list.size(), 2u);
    for (const auto& info : list) {
        SCOPED_TRACE(info->FileName);
        const TDecodedFile decoded = DecodeFile(info->FileName);
        EXPECT_EQ(decoded.Width, 320);
        // One frame per second: a full file holds about two (three at most: the last picture
        // of a file lasts its whole second), and the information file says what it plays.
        EXPECT_LE(decoded.Frames, 4);
        EXPECT_LE(info->Duration, 3.5);
    }
}

}  // namespace
