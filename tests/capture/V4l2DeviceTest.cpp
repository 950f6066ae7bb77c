#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "capture/PropertyPages.h"
#include "capture/V4l2Device.h"
#include "capture/V4l2Source.h"
#include "graph/GraphFunctions.h"
#include "platform/GstHandle.h"
#include "support/LogCapture.h"

namespace {

// Every query on a device that is not open fails with the reason kept.
void ExpectQueriesFail(TV4l2Device& device) {
    std::vector<TV4l2Input> inputs(1);
    std::vector<TV4l2Control> controls(1);
    uint32_t index = 0;
    uint64_t standard = 0;
    int32_t value = 0;
    TV4l2Tuner tuner;
    EXPECT_FALSE(device.EnumInputs(inputs));
    EXPECT_TRUE(inputs.empty());
    EXPECT_FALSE(device.GetInput(index));
    EXPECT_FALSE(device.SetInput(0));
    EXPECT_FALSE(device.GetStandard(standard));
    EXPECT_FALSE(device.SetStandard(1));
    EXPECT_FALSE(device.GetTuner(tuner));
    EXPECT_FALSE(device.HasAudioInput());
    EXPECT_FALSE(device.QueryUserControls(controls));
    EXPECT_TRUE(controls.empty());
    EXPECT_FALSE(device.GetControl(0x00980900, value));
    EXPECT_FALSE(device.SetControl(0x00980900, 1));
    EXPECT_NE(device.LastError(), 0);
}

TEST(V4l2DeviceTest, MissingPathFailsCleanly) {
    TV4l2Device device;
    EXPECT_FALSE(device.Open("/dev/no-such-video-device", false));
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.LastError(), ENOENT);
    ExpectQueriesFail(device);
    EXPECT_EQ(device.LastError(), EBADF);
}

TEST(V4l2DeviceTest, NonV4l2FileIsClosedAgain) {
    const int before = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(before, 0);
    ::close(before);
    {
        TV4l2Device device;
        EXPECT_FALSE(device.Open("/dev/null", true));
        EXPECT_FALSE(device.IsOpen());
        EXPECT_NE(device.LastError(), 0);
        EXPECT_TRUE(device.Card().empty());
    }
    // The descriptor the failed open used is free again: the next open gets the same number.
    const int after = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(after, before);
    ::close(after);
}

TEST(V4l2DeviceTest, BorrowedDescriptorIsNeverClosed) {
    const int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    {
        TV4l2Device device;
        ASSERT_TRUE(device.Borrow(fd));
        EXPECT_TRUE(device.IsOpen());
        std::vector<TV4l2Input> inputs;
        EXPECT_FALSE(device.EnumInputs(inputs));  // not a V4L2 device: ENOTTY
        EXPECT_EQ(device.LastError(), ENOTTY);
        std::vector<TV4l2Control> controls;
        EXPECT_FALSE(device.QueryUserControls(controls));
        TV4l2Device moved(std::move(device));
        EXPECT_TRUE(moved.IsOpen());
        EXPECT_FALSE(device.IsOpen());  // NOLINT(bugprone-use-after-move): moved-from state
    }
    EXPECT_NE(::fcntl(fd, F_GETFD), -1);
    ::close(fd);
    TV4l2Device device;
    EXPECT_FALSE(device.Borrow(-1));
    EXPECT_FALSE(device.IsOpen());
}

// A capture filter as the device list builds it: a bin around the source element.
TGstElementHandle MakeCaptureFilter(const char* sourceFactory, const char* device) {
    TGstElementHandle bin = TGstElementHandle::Adopt(gst_bin_new("capture"));
    GstElement* source = gst_element_factory_make(sourceFactory, nullptr);
    if (source == nullptr) {
        return {};
    }
    if (device != nullptr) {
        g_object_set(source, "device", device, nullptr);
    }
    gst_bin_add(GST_BIN(bin.Get()), source);
    return bin;
}

TEST(V4l2DeviceTest, SourceIsFoundInsideTheCaptureFilter) {
    TGstElementHandle test = MakeCaptureFilter("videotestsrc", nullptr);
    ASSERT_TRUE(test);
    EXPECT_FALSE(V4l2Source::Find(test.Get()));
    EXPECT_FALSE(V4l2Source::Find(nullptr));

    TGstElementHandle v4l2 = MakeCaptureFilter("v4l2src", "/dev/null");
    if (!v4l2) {
        GTEST_SKIP() << "v4l2src not installed";
    }
    TGstElementHandle source = V4l2Source::Find(v4l2.Get());
    ASSERT_TRUE(source);
    EXPECT_EQ(V4l2Source::Find(source.Get()), source);
}

TEST(V4l2DeviceTest, SourceOnANonV4l2DeviceHasNoControls) {
    for (const char* path : {"/dev/null", "/dev/no-such-video-device"}) {
        TGstElementHandle filter = MakeCaptureFilter("v4l2src", path);
        if (!filter) {
            GTEST_SKIP() << "v4l2src not installed";
        }
        std::vector<TV4l2Control> controls(1);
        EXPECT_FALSE(V4l2Source::ReadControls(filter.Get(), controls)) << path;
        EXPECT_TRUE(controls.empty());
        EXPECT_FALSE(V4l2Source::WriteControl(filter.Get(), 0x00980900, 1)) << path;

        // A V4L2 capture filter without controls: no pages, but not "not supported" either.
        LogCapture log;
        bool shown = false;
        auto previous = SetPropertyPageHandler([&](GstElement*, void*, const std::string&) {
            shown = true;
            return S_OK;
        });
        EXPECT_FALSE(IsPropertyPageAvailable(filter.Get())) << path;
        EXPECT_EQ(ShowSpecifiedPropertyPages(filter.Get(), nullptr, "Settings"), E_NOTIMPL);
        EXPECT_FALSE(shown);
        EXPECT_FALSE(log.Contains("Property Pages not supported."));
        SetPropertyPageHandler(previous);
    }
}

}  // namespace
