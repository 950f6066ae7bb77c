// A camera that stops delivering is reported lost, its recordings are finished, and it is started
// again (same camera, same format, same zones) as soon as it can be.

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "capture/CaptureTestFiles.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "controller/CameraManagerTestSupport.h"
#include "platform/MediaFramework.h"
#include "support/FakeCameraProvider.h"
#include "support/LogCapture.h"
#include "zones/SelectorObjectManager.h"

namespace fs = std::filesystem;

namespace {

constexpr int kLongWaitMs = 60000;

GstPadProbeReturn DropEverything(GstPad*, GstPadProbeInfo*, gpointer) {
    return GST_PAD_PROBE_DROP;
}

// The camera's graph keeps playing but no frame reaches the program any more: every sink of the
// graph drops what comes.
void StallCamera(TFrameGrabCaptureGraph& graph) {
    GstIterator* sinks = gst_bin_iterate_sinks(GST_BIN(graph.MediaControl()));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(sinks, &item) == GST_ITERATOR_OK) {
        auto* sink = GST_ELEMENT(g_value_get_object(&item));
        if (GstPad* pad = gst_element_get_static_pad(sink, "sink")) {
            gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, DropEverything, nullptr, nullptr);
            gst_object_unref(pad);
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(sinks);
}

class CameraManagerReconnectTest : public CameraManagerFixture {
protected:
    // The camera starts with one zone over the picture, detection on and, if asked, the
    // continually running recording.
    void StartWatching(bool constantRecording) {
        Store({{"FormatIndex", 0},
               {"MotionDetectionMode", 1},
               {"UseContinuallyRunningVideoLogging", constantRecording ? 1 : 0}});
        FManager = std::make_unique<TCameraManager>(FWindow.get(), 100);
        FManager->SetRecordingEventCallback([this](const TRecordingEvent& event) {
            std::lock_guard<std::mutex> guard(FEventsLock);
            (event.Finished ? FFinished : FStarted).push_back(event.File);
        });
        ASSERT_TRUE(FManager->InitializeCamera());
        FManager->OnAddZoneClick();
        FManager->OnActivateClick();
        ASSERT_TRUE(FManager->Activated());
        ASSERT_TRUE(FramesFlow());
    }
    // Frames arrive (a few more than now), within a generous time.
    bool FramesFlow() {
        const int64_t from = FManager->FrameCounter();
        return QTest::qWaitFor([&] { return FManager->FrameCounter() > from + 5; }, kLongWaitMs);
    }
    QLabel* LostCaption() { return FWindow->findChild<QLabel*>("CameraLostCaption"); }
    size_t Started() {
        std::lock_guard<std::mutex> guard(FEventsLock);
        return FStarted.size();
    }
    std::vector<std::string> Finished() {
        std::lock_guard<std::mutex> guard(FEventsLock);
        return FFinished;
    }
    static int CountLines(const LogCapture& log, const std::string& start) {
        const auto lines = log.Lines();
        return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const auto& line) {
            return line.rfind(start, 0) == 0;
        }));
    }

    std::mutex FEventsLock;
    std::vector<std::string> FStarted;
    std::vector<std::string> FFinished;
};

const char kLost[] = "Error in TCameraManager.WatchCamera - camera 0 lost";

}  // namespace

TEST_F(CameraManagerReconnectTest, AStalledCameraFinishesItsRecordingAndComesBack) {
    StartWatching(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Started() == 1; }, kLongWaitMs));
    // The recording holds pictures before the camera stalls (a recording of nothing gets no
    // information file).
    QTest::qWait(2500);
    LogCapture log;
    int reported = 0;
    FManager->SetCameraLostCallback([&] { ++reported; });
    StallCamera(*FManager->FrameGrabCaptureGraph());
    ASSERT_TRUE(QTest::qWaitFor([&] { return FManager->CameraLost(); }, kLongWaitMs));
    EXPECT_EQ(reported, 1);
    EXPECT_TRUE(log.Contains(std::string(kLost) + " (no frame for 5 seconds); reconnecting."));
    ASSERT_NE(LostCaption(), nullptr);
    EXPECT_EQ(LostCaption()->text(), "Camera lost \u2014 reconnecting\u2026");
    EXPECT_TRUE(LostCaption()->isVisible());
    // The recording is finished with its information file.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Finished().size() == 1; }, kLongWaitMs));
    const fs::path file = Finished().front();
    EXPECT_TRUE(
        fs::exists(file.parent_path() / "LogInfo" / file.filename().replace_extension(".vli")));

    // The Test Pattern is there at once: the first attempt, a second later, brings it back.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !FManager->CameraLost(); }, kLongWaitMs));
    EXPECT_TRUE(FramesFlow());
    EXPECT_EQ(LostCaption(), nullptr);
    EXPECT_EQ(FManager->SelectorObjectManager()->Count(), 1) << "the zone stays";
    EXPECT_TRUE(FManager->Activated()) << "detection resumes";
    EXPECT_TRUE(QTest::qWaitFor([&] { return Started() == 2; }, kLongWaitMs))
        << "the continually running recording goes on in a new file";
    EXPECT_EQ(CountLines(log, kLost), 1);
    EXPECT_TRUE(log.Contains("TCameraManager.WatchCamera - camera 0 is back."));
}

TEST_F(CameraManagerReconnectTest, AFileCameraMovedAwayAndBackIsPickedUpAgain) {
    ASSERT_TRUE(InitializeMediaFramework());
    const fs::path folder = fs::path(FHome.path().toStdString()) / "cameras";
    fs::create_directories(folder);
    const fs::path camera = folder / "webcam.avi";
    const fs::path away = folder / "elsewhere.avi";
    fs::copy_file(TCaptureTestFiles::Get().Webcam, camera);
    qputenv("TANDREL_TEST_PATTERN", "0");
    qputenv("TANDREL_FILE_CAMERAS", QByteArray::fromStdString(camera.string()));
    StartWatching(false);

    LogCapture log;
    // The camera reads from its open file; moving the file away is enough to lose it.
    fs::rename(camera, away);
    ASSERT_TRUE(QTest::qWaitFor([&] { return FManager->CameraLost(); }, kLongWaitMs));
    EXPECT_TRUE(log.Contains(std::string(kLost) + " (its file is gone); reconnecting."));
    // While the file is away, no attempt brings the camera back (three attempts: 1, 2 and 4 s).
    const int64_t frames = FManager->FrameCounter();
    QTest::qWait(7500);
    EXPECT_TRUE(FManager->CameraLost());
    EXPECT_EQ(FManager->FrameCounter(), frames);

    fs::rename(away, camera);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !FManager->CameraLost(); }, kLongWaitMs));
    EXPECT_TRUE(FramesFlow());
    EXPECT_EQ(FManager->SelectorObjectManager()->Count(), 1);
    EXPECT_TRUE(FManager->Activated());
    EXPECT_EQ(CountLines(log, kLost), 1);
}

// A USB camera pulled out and plugged in again comes back under another device path; the
// device monitor sees it arrive and the camera is tried at once, found by its name.
TEST_F(CameraManagerReconnectTest, ACameraPluggedInAgainIsTakenAtOnceUnderItsNewPath) {
    ASSERT_TRUE(InitializeMediaFramework());
    ASSERT_TRUE(FakeCameraProvider::Register());
    struct TUnplugAll {
        ~TUnplugAll() { FakeCameraProvider::UnplugAll(); }
    } unplugAll;
    FakeCameraProvider::PlugIn("Porch Cam", "/dev/fake-video0");
    qputenv("TANDREL_TEST_PATTERN", "0");
    StartWatching(false);
    const std::string* name = nullptr;
    ASSERT_EQ(FManager->FrameGrabCaptureGraph()->GetSupportedDeviceFriendlyName(0, name), S_OK);
    ASSERT_EQ(*name, "Porch Cam");

    LogCapture log;
    FakeCameraProvider::Unplug("/dev/fake-video0");
    ASSERT_TRUE(QTest::qWaitFor([&] { return FManager->CameraLost(); }, kLongWaitMs));
    // Two attempts fail while the camera is out (after 1 and 3 s); the next is due 4 s later.
    const std::string failed = "cannot create video capture filter.";
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto lines = log.Lines();
            return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
                       return line.find(failed) != std::string::npos;
                   }) >= 2;
        },
        kLongWaitMs));

    FakeCameraProvider::PlugIn("Porch Cam", "/dev/fake-video2");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !FManager->CameraLost(); }, kLongWaitMs));
    EXPECT_TRUE(log.Contains(
        "TCameraManager.WatchCamera - a camera was plugged in; trying camera 0 at once."))
        << ::testing::PrintToString(log.Lines());
    const std::string* path = nullptr;
    ASSERT_EQ(FManager->FrameGrabCaptureGraph()->GetSupportedDeviceDevicePath(0, path), S_OK);
    EXPECT_EQ(*path, "/dev/fake-video2");
    EXPECT_TRUE(FramesFlow());
    EXPECT_EQ(FManager->SelectorObjectManager()->Count(), 1);
    EXPECT_TRUE(FManager->Activated());
    EXPECT_EQ(CountLines(log, kLost), 1);
}
