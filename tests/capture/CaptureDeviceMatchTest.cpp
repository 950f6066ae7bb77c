// Finding the camera of a stored list entry again among the devices present now.

#include <gtest/gtest.h>

#include <vector>

#include "capture/CaptureDeviceMatch.h"

namespace {

TCaptureDeviceDescription Device(const char* name, const char* display, const char* path) {
    return {name, display, path};
}

const std::vector<TCaptureDeviceDescription> kPresent = {
    Device("HD Webcam", "v4l2:/dev/video2", "/dev/video2"),
    Device("HD Webcam", "v4l2:/dev/video4", "/dev/video4"),
    Device("Capture Card", "v4l2:/dev/video6", "/dev/video6"),
    Device("Test Pattern", "tandrel-virtual:test-pattern", "test-pattern"),
    Device("porch.avi", "tandrel-file:/media/new/porch.avi", "/media/new/porch.avi"),
    Device("Door", "tandrel-network:rtsp://10.0.0.9/door", "rtsp://10.0.0.9/door"),
};

struct TMatchCase {
    const char* What;
    TCaptureDeviceDescription Wanted;
    int32_t Expected;
};

class FindCaptureDeviceTest : public ::testing::TestWithParam<TMatchCase> {};

TEST_P(FindCaptureDeviceTest, PrefersTheExactEntryAndFollowsARealCameraByName) {
    const TMatchCase& c = GetParam();
    EXPECT_EQ(FindCaptureDevice(kPresent, c.Wanted), c.Expected) << c.What;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindCaptureDeviceTest,
    ::testing::Values(
        TMatchCase{"the exact entry, second of two of the same name",
                   Device("HD Webcam", "v4l2:/dev/video4", "/dev/video4"), 1},
        TMatchCase{"plugged in again under another path: the first of the same name",
                   Device("Capture Card", "v4l2:/dev/video0", "/dev/video0"), 2},
        TMatchCase{"empty fields match anything", Device("", "", "/dev/video6"), 2},
        TMatchCase{"a camera that is not there", Device("Old Cam", "v4l2:/dev/video0", ""), -1},
        TMatchCase{"a file camera is its file: a moved file is not followed",
                   Device("porch.avi", "tandrel-file:/media/old/porch.avi", "/media/old/porch.avi"),
                   -1},
        TMatchCase{"a network camera is its address",
                   Device("Door", "tandrel-network:rtsp://10.0.0.8/door", "rtsp://10.0.0.8/door"),
                   -1},
        TMatchCase{"a real camera never becomes a virtual one of the same name",
                   Device("Test Pattern", "v4l2:/dev/video9", "/dev/video9"), -1},
        TMatchCase{"nothing asked matches the first", Device("", "", ""), 0}));

TEST(FindCaptureDevice, NothingPresentFindsNothing) {
    EXPECT_EQ(FindCaptureDevice({}, Device("HD Webcam", "", "")), -1);
}

}  // namespace
