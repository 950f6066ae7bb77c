// One activity, one recording, and nothing lost between recordings: numbered frames go through
// the controller at the camera's pace while the motion in a zone comes and goes, and the frames
// of all recorded files together are read back by their numbers.

#include <gtest/gtest.h>

#include <QRect>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

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
constexpr int kPreEventSeconds = 2;

// What happens in the zone, frame by frame: motion or none.
std::vector<bool> Scene(const std::vector<std::pair<double, bool>>& Parts) {
    std::vector<bool> frames;
    for (const auto& [seconds, motion] : Parts) {
        const int count = static_cast<int>(seconds * 10 + 0.5);
        frames.insert(frames.end(), static_cast<size_t>(count), motion);
    }
    return frames;
}

class CameraManagerActivityRecordingTest : public CameraManagerClockFixture {
protected:
    // The Test Pattern camera, opened but fed by the test; one zone over the lower left of the
    // picture (Simple Mode, any change is motion). The frame numbers run across the top quarter,
    // where no zone looks.
    void Start(int postEventSeconds, int64_t maxFileLength = TCameraManager::kMaxRecordingDuration) {
        Store({{"FormatIndex", 0},
               {"MotionDetectionMode", 1},
               {"MotionDetectionSensitivity", 100},
               {"UseMotionDetectionVideoLogging", 1},
               {"UseContinuallyRunningVideoLogging", 0},
               {"PreEventSeconds", kPreEventSeconds},
               {"PostEventSeconds", postEventSeconds}});
        ASSERT_TRUE(StartWithFramesFromTheTest());
        FManager->SetMaxRecordingDuration(maxFileLength);
        FManager->SetRecordingEventCallback([this](const TRecordingEvent& event) {
            std::lock_guard<std::mutex> guard(FEventsLock);
            if (event.Finished && event.Error.empty()) {
                FFinished.push_back(event.File);
            }
        });
        ASSERT_EQ(FManager->VideoWidth(), kWidth);
        ASSERT_EQ(FManager->VideoHeight(), kHeight);
        const QRect picture = FManager->FramePreviewImage()->geometry();
        FManager->OnAddZoneClick();
        FManager->SelectorObjectManager()->SetRectangle(
            0, TRect{picture.left() + 4, picture.top() + picture.height() / 3,
                     picture.left() + picture.width() / 2 - 4, picture.bottom() - 4});
        FManager->OnActivateClick();
        ASSERT_TRUE(FManager->Activated());
    }

    // Feeds the scene's frames at the camera's pace, each with its number; the numbers of the
    // motion frames are collected.
    void Play(const std::vector<bool>& Frames) {
        const auto start = std::chrono::steady_clock::now();
        for (size_t i = 0; i < Frames.size(); ++i) {
            Advance(0.1);
            if (Frames[i]) {
                FPhase = (FPhase + 1) % 3;
                FMotionFrames.push_back(FNumber);
            }
            FTimes[FNumber] = FNow;
            std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 4,
                                       static_cast<uint8_t>(40 + 80 * FPhase));
            PaintFrameNumber(frame.data(), kWidth, kHeight, FNumber++);
            FManager->NextFrameDataFunction(frame.data(), static_cast<int32_t>(frame.size()));
            const auto due = start + std::chrono::milliseconds(100 * (i + 1));
            QTest::qWait(static_cast<int>(std::max<int64_t>(
                0, std::chrono::duration_cast<std::chrono::milliseconds>(
                       due - std::chrono::steady_clock::now())
                       .count())));
        }
    }

    // Every recording's frame numbers, in the order the recordings finished; a number repeated
    // in a row is one frame (a gap in the camera's pace repeats the picture before). Each
    // recording's information file says when its first frame came and how long it plays.
    std::vector<std::vector<int>> RecordedNumbers() {
        FManager.reset();  // the last recording is finished here
        TVideoLogInfoList list;
        EXPECT_TRUE(LoadVideoLogInfoList(
            TCameraManager::MotionLogFolderOf(FHome.path().toStdString() + "/data/"), &list));
        std::lock_guard<std::mutex> guard(FEventsLock);
        std::vector<std::vector<int>> files;
        for (const std::string& file : FFinished) {
            SCOPED_TRACE(file);
            std::vector<int> numbers = DecodeFrameNumbers(file, kWidth, kHeight);
            const size_t pictures = numbers.size();
            numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
            const auto info = std::find_if(list.begin(), list.end(), [&](const auto& entry) {
                return entry->FileName == file;
            });
            EXPECT_NE(info, list.end());
            if (info != list.end() && !numbers.empty() && numbers.front() >= 0) {
                EXPECT_NEAR(((*info)->StartTime - FTimes[numbers.front()]) / kSecond, 0.0, 0.1)
                    << "the file starts at its first frame";
                EXPECT_NEAR((*info)->Duration, pictures / 10.0, 0.1) << "and lasts its frames";
            }
            files.push_back(numbers);
        }
        return files;
    }

    // The frames an activity must leave in the files: from PreEventSeconds before each motion
    // frame to the hold after it.
    std::set<int> Wanted(int postEventSeconds) const {
        std::set<int> wanted;
        for (const int motion : FMotionFrames) {
            const int last = std::max(motion, motion + postEventSeconds * 10 - 1);
            for (int n = motion - kPreEventSeconds * 10; n <= last; ++n) {
                if (n >= 0 && n < FNumber) {
                    wanted.insert(n);
                }
            }
        }
        return wanted;
    }

    int FPhase = 0;
    int FNumber = 0;
    std::map<int, TDateTime> FTimes;
    std::vector<int> FMotionFrames;
    std::mutex FEventsLock;
    std::vector<std::string> FFinished;
};

// Motion that dips under the threshold for single frames, then pauses of 1, 4 and 7 s: with the
// default hold of 5 s the dips and the short pauses stay in one recording and the 7 s pause
// makes a second. With no hold the recordings are cut as the motion stops, and files of three
// seconds cut a long activity into many; still nothing is lost. Every frame from each motion
// frame less the pre-event seconds to the hold after it is in exactly one file, in order.
TEST_F(CameraManagerActivityRecordingTest, EveryFrameOfTheActivityIsInExactlyOneRecording) {
    std::vector<bool> dips;
    for (int i = 0; i < 30; ++i) {
        dips.push_back(i % 6 != 5);
    }
    const auto activity = [&](int hold) {
        std::vector<bool> scene = Scene({{3.0, false}});
        scene.insert(scene.end(), dips.begin(), dips.end());
        for (const bool frame : Scene({{1.0, false},
                                       {1.0, true},
                                       {4.0, false},
                                       {1.0, true},
                                       {7.0, false},
                                       {1.5, true},
                                       {hold + 1.0, false}})) {
            scene.push_back(frame);
        }
        return scene;
    };
    const struct {
        const char* What;
        int Hold;
        int64_t FileLength;  // 100-ns units
        std::vector<bool> Frames;
        size_t Recordings;  // 0: more than two, as many as the cuts give
    } cases[] = {
        {"the default hold", 5, TCameraManager::kMaxRecordingDuration, activity(5), 2},
        {"no hold", 0, TCameraManager::kMaxRecordingDuration, activity(0), 0},
        {"files of three seconds", 5, 30000000, Scene({{3.0, false}, {9.0, true}, {6.0, false}}),
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        FMotionFrames.clear();
        FNumber = 0;
        FTimes.clear();
        {
            std::lock_guard<std::mutex> guard(FEventsLock);
            FFinished.clear();
        }
        Start(c.Hold, c.FileLength);
        Play(c.Frames);
        const std::vector<std::vector<int>> files = RecordedNumbers();
        if (c.Recordings > 0) {
            EXPECT_EQ(files.size(), c.Recordings);
        } else {
            EXPECT_GT(files.size(), 2u);
        }
        std::map<int, int> seen;
        int previous = -1;
        for (size_t f = 0; f < files.size(); ++f) {
            SCOPED_TRACE("recording " + std::to_string(f));
            ASSERT_FALSE(files[f].empty());
            EXPECT_EQ(std::count(files[f].begin(), files[f].end(), -1), 0) << "unreadable pictures";
            EXPECT_GT(files[f].front(), previous) << "the recordings follow each other";
            for (size_t i = 1; i < files[f].size(); ++i) {
                EXPECT_GT(files[f][i], files[f][i - 1]) << "frames in order, at " << i;
            }
            for (const int n : files[f]) {
                ++seen[n];
            }
            previous = files[f].back();
        }
        for (const auto& [n, count] : seen) {
            EXPECT_EQ(count, 1) << "frame " << n << " is in more than one recording";
        }
        for (const int n : Wanted(c.Hold)) {
            EXPECT_EQ(seen.count(n), 1u) << "frame " << n << " is in no recording";
        }
    }
}

}  // namespace
