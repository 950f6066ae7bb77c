// Cameras plugged in and pulled out while the device monitor watches.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/FrameGrabCaptureGraph.h"
#include "capture/VideoDeviceMonitor.h"
#include "support/FakeCameraProvider.h"
#include "support/LogCapture.h"

namespace {

class VideoDeviceMonitorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FakeCameraProvider::Register()); }
    void TearDown() override { FakeCameraProvider::UnplugAll(); }
};

TEST_F(VideoDeviceMonitorTest, ReportsCamerasPluggedInAndPulledOutOnce) {
    FakeCameraProvider::PlugIn("Porch Cam", "/dev/fake-video0");
    TVideoDeviceMonitor monitor;
    ASSERT_TRUE(monitor.Watching());
    // A camera present at the start is no change.
    monitor.TakeChanges();
    EXPECT_TRUE(monitor.TakeChanges().Empty());

    // Listing the cameras meanwhile (as every reconnect attempt does) takes nothing away from
    // the watch: a provider tells only one monitor.
    TFrameGrabCaptureGraph listing(VirtualDevices::TCameraSources{});
    LogCapture log;
    FakeCameraProvider::PlugIn("Garage Cam", "/dev/fake-video1");
    TVideoDeviceMonitor::TChanges changes = monitor.TakeChanges();
    EXPECT_EQ(changes.Added, std::vector<std::string>{"Garage Cam"});
    EXPECT_TRUE(changes.Removed.empty());
    EXPECT_TRUE(log.Contains("TVideoDeviceMonitor - camera added: Garage Cam."));

    FakeCameraProvider::Unplug("/dev/fake-video0");
    changes = monitor.TakeChanges();
    EXPECT_TRUE(changes.Added.empty());
    EXPECT_EQ(changes.Removed, std::vector<std::string>{"Porch Cam"});
    EXPECT_TRUE(monitor.TakeChanges().Empty()) << "each change is told once";
}

// A camera plugged in again under another path is still the camera the list entry names.
TEST_F(VideoDeviceMonitorTest, ACameraBackUnderAnotherPathIsFoundByItsName) {
    FakeCameraProvider::PlugIn("Porch Cam", "/dev/fake-video0");
    TFrameGrabCaptureGraph graph(VirtualDevices::TCameraSources{});
    const std::string* path = nullptr;
    ASSERT_EQ(graph.GetSupportedDeviceDevicePath(0, path), S_OK);
    EXPECT_EQ(*path, "/dev/fake-video0");

    FakeCameraProvider::Unplug("/dev/fake-video0");
    FakeCameraProvider::PlugIn("Porch Cam", "/dev/fake-video3");
    LogCapture log;
    ASSERT_EQ(graph.ActivateMainGraph(0), S_OK);
    EXPECT_TRUE(
        log.Contains("TFrameGrabCaptureGraph.CreateDevice - Porch Cam is now at "
                     "/dev/fake-video3."));
    ASSERT_EQ(graph.GetSupportedDeviceDevicePath(0, path), S_OK);
    EXPECT_EQ(*path, "/dev/fake-video3");
    graph.DeactivateMainGraph();

    // Another camera of another name is not taken for it.
    FakeCameraProvider::UnplugAll();
    FakeCameraProvider::PlugIn("Garage Cam", "/dev/fake-video0");
    EXPECT_NE(graph.ActivateMainGraph(0), S_OK);
}

}  // namespace
