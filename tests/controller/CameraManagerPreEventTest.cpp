// A motion recording opens with the seconds before the motion: the frames the frame step kept,
// on their own time stamps, and the information file starts at the first of them.

#include <gtest/gtest.h>

#include <QRect>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "capture/FrameGrabCaptureGraph.h"
#include "controller/CameraManagerTestSupport.h"
#include "controller/CameraPicture.h"
#include "platform/DateTime.h"
#include "support/FrameNumbers.h"
#include "videolog/VideoLogInfo.h"
#include "zones/SelectorObjectManager.h"

namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kMarks = 18;  // distinct marks: the index modulo this

uint8_t MarkLevel(int index) {
    return static_cast<uint8_t>(28 + 12 * (index % kMarks));
}

// The marks of a recording's frames in order: the brightness of the right half's middle,
// decoded back into a frame index modulo kMarks.
std::vector<int> DecodeMarks(const std::string& path) {
    std::vector<int> marks;
    ForEachDecodedPicture(path, [&](const uint8_t* data, size_t) {
        // The red of the frame's grey, back through the encoder's colour conversion.
        int sum = 0;
        for (int y = kHeight / 2 - 4; y < kHeight / 2 + 4; ++y) {
            for (int x = 3 * kWidth / 4 - 4; x < 3 * kWidth / 4 + 4; ++x) {
                sum += data[(static_cast<size_t>(y) * kWidth + x) * 4];
            }
        }
        const int mark = static_cast<int>(std::lround((sum / 64.0 - 28) / 12));
        marks.push_back((mark % kMarks + kMarks) % kMarks);
    });
    return marks;
}

class CameraManagerPreEventTest : public CameraManagerClockFixture {
protected:
    // One zone over the left half (Simple Mode, any change is motion); the right half carries
    // each frame's mark and is watched by no zone. The first frame (index 0) is fed before the
    // zone exists. The camera's own graph is stopped: the test
    // feeds the frames, on a clock of its own.
    void Start(int preEventSeconds) {
        Store({{"FormatIndex", 0},
               {"MotionDetectionMode", 1},
               {"MotionDetectionSensitivity", 100},
               {"UseMotionDetectionVideoLogging", 1},
               {"UseContinuallyRunningVideoLogging", 0},
               {"PreEventSeconds", preEventSeconds}});
        FManager = std::make_unique<TCameraManager>(FWindow.get(), 100);
        FManager->SetRecordingEventCallback([this](const TRecordingEvent& event) {
            std::lock_guard<std::mutex> guard(FEventsLock);
            if (event.Finished) {
                FFinished.push_back(event.File);
            }
        });
        ASSERT_TRUE(FManager->InitializeCamera());
        ASSERT_EQ(FManager->VideoWidth(), kWidth);
        FManager->FrameGrabCaptureGraph()->Stop();
        Step(false);  // the picture now holds the still scene, not the last streamed frame
        const QRect picture = FManager->FramePreviewImage()->geometry();
        FManager->OnAddZoneClick();
        FManager->SelectorObjectManager()->SetRectangle(
            0, TRect{picture.left() + 4, picture.top() + 4,
                     picture.left() + picture.width() / 2 - 4, picture.bottom() - 4});
        FManager->OnActivateClick();
        ASSERT_TRUE(FManager->Activated());
    }

    // The next frame, 0.1 s after the last: its mark on the right, and on the left the next
    // grey level when there is motion.
    void Step(bool motion) {
        Advance(0.1);
        if (motion) {
            FPhase = (FPhase + 1) % 3;
        }
        std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 4);
        for (int row = 0; row < kHeight; ++row) {
            uint8_t* line = frame.data() + static_cast<size_t>(row) * kWidth * 4;
            std::fill_n(line, kWidth * 2, static_cast<uint8_t>(20 + 100 * FPhase));
            std::fill_n(line + kWidth * 2, kWidth * 2, MarkLevel(FIndex));
        }
        FTimes[FIndex++] = FNow;
        FManager->NextFrameDataFunction(frame.data(), static_cast<int32_t>(frame.size()));
    }

    std::string FinishedFile() {
        std::lock_guard<std::mutex> guard(FEventsLock);
        EXPECT_EQ(FFinished.size(), 1u);
        return FFinished.size() == 1 ? FFinished.front() : std::string();
    }

    // Time passing without a frame, on the wall clock and the monotonic clock alike.
    void Pause(double seconds) { Advance(seconds); }

    int FPhase = 0;
    int FIndex = 0;
    std::map<int, TDateTime> FTimes;
    std::mutex FEventsLock;
    std::vector<std::string> FFinished;
};

TEST_F(CameraManagerPreEventTest, TheRecordingOpensWithTheFramesBeforeTheMotion) {
    struct TCase {
        const char* What;
        int PreEventSeconds;
        int QuietFrames;  // before the first motion frame
        int FirstRecorded;
    } const cases[] = {
        {"two seconds kept", 2, 40, 20},
        {"switched off", 0, 40, 40},
        {"motion half a second after the start: what there is", 2, 5, 0},
        {"one second", 1, 30, 20},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        FIndex = 0;
        FTimes.clear();
        FFinished.clear();
        Start(c.PreEventSeconds);
        for (int i = 1; i < c.QuietFrames; ++i) {
            Step(false);
        }
        const int motionFrame = FIndex;
        // The motion at the frames' real pace, so that the recorder (started on its own
        // thread) takes them.
        for (int i = 0; i < 20; ++i) {
            Step(true);
            QTest::qWait(100);
        }
        ASSERT_TRUE(FManager->MotionRecording());
        FManager.reset();  // finishes the recording and writes its information file
        const std::string file = FinishedFile();
        ASSERT_FALSE(file.empty());

        const std::vector<int> marks = DecodeMarks(file);
        const int kept = motionFrame - c.FirstRecorded;
        // A ring that is not full yet also holds the pictures the camera streamed before the
        // test stopped its graph: the fed frames follow them.
        size_t first = 0;
        while (c.QuietFrames < 20 && first < 4 && marks[first] != c.FirstRecorded % kMarks) {
            ++first;
        }
        ASSERT_GT(marks.size(), first + kept + 1);
        for (int i = 0; i < kept; ++i) {
            EXPECT_EQ(marks[first + static_cast<size_t>(i)], (c.FirstRecorded + i) % kMarks)
                << "recorded frame " << i;
        }
        // Then the live frames, from the motion frame itself: the recorder queues frames while
        // its graph is being built.
        const int live =
            (marks[first + static_cast<size_t>(kept)] - motionFrame % kMarks + kMarks) % kMarks;
        EXPECT_EQ(live, 0) << "the first live frame is " << live << " after the motion frame";
        TVideoLogInfoList list;
        ASSERT_TRUE(LoadVideoLogInfoList(
            TCameraManager::MotionLogFolderOf(FHome.path().toStdString() + "/data/"), &list));
        const auto info = std::find_if(list.begin(), list.end(),
                                       [&](const auto& entry) { return entry->FileName == file; });
        ASSERT_NE(info, list.end());
        if (first == 0) {
            EXPECT_NEAR(((*info)->StartTime - FTimes[c.FirstRecorded]) / kSecond, 0.0, 0.002)
                << "the file starts at its first frame's time";
        }
    }
}

// A camera whose frames miss the grid now and then (a busy machine): the kept frames stay on
// their own times, a missing one repeats the frame before, so the seconds before the motion
// are not squeezed together.
TEST_F(CameraManagerPreEventTest, FramesMissingFromTheGridKeepTheirTime) {
    Start(2);
    for (int i = 1; i < 30; ++i) {
        Step(false);
        if (i % 5 == 4) {
            Pause(0.1);  // a frame that never came
        }
    }
    const int motionFrame = FIndex;
    for (int i = 0; i < 20; ++i) {
        Step(true);
        QTest::qWait(100);
    }
    FManager.reset();
    const std::vector<int> marks = DecodeMarks(FinishedFile());
    // The ring holds frames 10..29, which span 2.2 s with the missing ones. The opening is the
    // two seconds before the last of them (frames 13..29), each missing frame's slot filled by
    // the frame before it.
    const std::vector<int> expected = {13, 14, 14, 15, 16, 17, 18, 19, 19, 20,
                                       21, 22, 23, 24, 24, 25, 26, 27, 28, 29};
    ASSERT_GT(marks.size(), expected.size());
    for (size_t slot = 0; slot < expected.size(); ++slot) {
        EXPECT_EQ(marks[slot], expected[slot] % kMarks) << "slot " << slot;
    }
    const int live = (marks[expected.size()] - motionFrame % kMarks + kMarks) % kMarks;
    EXPECT_EQ(live, 0) << "then the motion frame itself";
}

// The kept frames are timed by a clock that never steps: a wall clock set back an hour, or a
// pause of the camera, never stretches the opening beyond its two seconds nor fills it with a
// still picture from before the pause; the information file starts as long before the motion
// as the opening lasts, on the wall clock of the moment.
TEST_F(CameraManagerPreEventTest, AClockStepOrAPauseNeverStretchesTheOpening) {
    struct TCase {
        const char* What;
        double WallStepSeconds;  // the wall clock alone, after 30 frames
        double PauseSeconds;     // no frame at all, after 30 frames
        int FramesAfter;         // before the motion
        int FirstKept;
    } const cases[] = {
        {"the wall clock set back an hour", -3600, 0, 10, 20},
        {"ten minutes without a frame, then half a second", 0, 600, 5, 30},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        FIndex = 0;
        FTimes.clear();
        FFinished.clear();
        Start(2);
        for (int i = 1; i < 30; ++i) {
            Step(false);
        }
        FNow += c.WallStepSeconds * kSecond;
        Pause(c.PauseSeconds);
        for (int i = 0; i < c.FramesAfter; ++i) {
            Step(false);
        }
        const int motionFrame = FIndex;
        for (int i = 0; i < 20; ++i) {
            Step(true);
            QTest::qWait(100);
        }
        FManager.reset();
        const std::string file = FinishedFile();
        ASSERT_FALSE(file.empty());
        const std::vector<int> marks = DecodeMarks(file);
        const int kept = motionFrame - c.FirstKept;
        ASSERT_GT(marks.size(), static_cast<size_t>(kept));
        for (int i = 0; i < kept; ++i) {
            EXPECT_EQ(marks[static_cast<size_t>(i)], (c.FirstKept + i) % kMarks) << "frame " << i;
        }
        const int live = (marks[static_cast<size_t>(kept)] - motionFrame % kMarks + kMarks) % kMarks;
        EXPECT_EQ(live, 0) << "then the motion frame itself";
        TVideoLogInfoList list;
        ASSERT_TRUE(LoadVideoLogInfoList(
            TCameraManager::MotionLogFolderOf(FHome.path().toStdString() + "/data/"), &list));
        const auto info = std::find_if(list.begin(), list.end(),
                                       [&](const auto& entry) { return entry->FileName == file; });
        ASSERT_NE(info, list.end());
        EXPECT_NEAR(((*info)->StartTime - FTimes[motionFrame]) / kSecond, -0.1 * kept, 0.002)
            << "the file starts as long before the motion as its opening lasts";
        EXPECT_LT((*info)->Duration, 0.1 * kept + 5.0);
    }
}

}  // namespace
