#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureDeviceMatch.h"
#include "capture/CaptureDeviceTypes.h"
#include "capture/CapturePins.h"
#include "capture/CaptureTestFiles.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "capture/VirtualDevices.h"
#include "support/LogCapture.h"
#include "support/NamedPipe.h"

namespace {

// Sets an environment variable for one test and restores it afterwards.
class TScopedEnv {
public:
    TScopedEnv(const char* name, const char* value) : FName(name) {
        if (const char* old = std::getenv(name)) {
            FOld = old;
            FHadOld = true;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~TScopedEnv() {
        if (FHadOld) {
            setenv(FName, FOld.c_str(), 1);
        } else {
            unsetenv(FName);
        }
    }

private:
    const char* FName;
    std::string FOld;
    bool FHadOld = false;
};

int IndexOf(TFrameGrabCaptureGraph& graph, const std::string& friendlyName) {
    int32_t count = 0;
    graph.GetSupportedDevicesCount(count);
    for (int32_t i = 0; i < count; ++i) {
        const std::string* name = nullptr;
        if (graph.GetSupportedDeviceFriendlyName(i, name) == S_OK && *name == friendlyName) {
            return i;
        }
    }
    return -1;
}

int32_t TypeOf(TFrameGrabCaptureGraph& graph, int index) {
    int32_t type = -1;
    EXPECT_EQ(graph.GetSupportedDeviceType(index, type), S_OK);
    return type;
}

// A capture filter whose one output pin offers `caps` (a caps string, structures in order).
TGstElementHandle FilterOffering(const char* caps) {
    TGstElementHandle bin = TGstElementHandle::Adopt(gst_bin_new(nullptr));
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    GstCaps* parsed = gst_caps_from_string(caps);
    g_object_set(filter, "caps", parsed, nullptr);
    gst_caps_unref(parsed);
    gst_bin_add(GST_BIN(bin.Get()), filter);
    GstPad* target = gst_element_get_static_pad(filter, "src");
    GstPad* ghost = gst_ghost_pad_new("Capture", target);
    gst_object_unref(target);
    CapturePins::SetPinCategory(ghost, CapturePins::TPinCategory::Capture);
    gst_element_add_pad(bin.Get(), ghost);
    return bin;
}

TEST(CaptureDevicesList, TestPatternIsListedAsAnalogDevice) {
    TScopedEnv pattern("TANDREL_TEST_PATTERN", nullptr);
    TFrameGrabCaptureGraph graph(std::vector<std::string>{});
    const int index = IndexOf(graph, "Test Pattern");
    ASSERT_GE(index, 0);
    int32_t count = 0;
    graph.GetSupportedDevicesCount(count);
    EXPECT_EQ(index, count - 1) << "virtual devices come after the real ones";
    EXPECT_EQ(TypeOf(graph, index), CaptureDeviceType_Analog);
    const std::string* display = nullptr;
    const std::string* path = nullptr;
    ASSERT_EQ(graph.GetSupportedDeviceDisplayName(index, display), S_OK);
    ASSERT_EQ(graph.GetSupportedDeviceDevicePath(index, path), S_OK);
    EXPECT_EQ(*display, "tandrel-virtual:test-pattern");
    EXPECT_EQ(*path, "test-pattern");
}

TEST(CaptureDevicesList, TestPatternHiddenByEnvironment) {
    TScopedEnv pattern("TANDREL_TEST_PATTERN", "0");
    TFrameGrabCaptureGraph graph(std::vector<std::string>{});
    EXPECT_EQ(IndexOf(graph, "Test Pattern"), -1);
}

// A camera plugged in again is followed by its name only when it is a real device.
TEST(CaptureDevicesList, VirtualDevicesAreKnownByTheirDisplayNames) {
    TScopedEnv pattern("TANDREL_TEST_PATTERN", nullptr);
    VirtualDevices::TCameraSources sources;
    sources.FileCameras = {TCaptureTestFiles::Get().Webcam};
    sources.NetworkCameras = {{"Door", "rtsp://127.0.0.1:1/door", "", ""}};
    const auto devices = VirtualDevices::ListVirtualDevices(sources);
    ASSERT_EQ(devices.size(), 3u);
    for (const auto& device : devices) {
        EXPECT_TRUE(IsVirtualDeviceDisplayName(device.DisplayName)) << device.DisplayName;
    }
    EXPECT_FALSE(IsVirtualDeviceDisplayName("v4l2:/dev/video0"));
}

TEST(CaptureDevicesList, FileCamerasFromEnvironmentAreSplitAtColons) {
    TScopedEnv files("TANDREL_FILE_CAMERAS", "/a/one.avi::/b/two.ts:");
    EXPECT_EQ(VirtualDevices::FileCamerasFromEnvironment(),
              (std::vector<std::string>{"/a/one.avi", "/b/two.ts"}));
}

TEST(CaptureDevicesList, FileCamerasAreClassifiedByWhatTheirFilesHold) {
    TScopedEnv pattern("TANDREL_TEST_PATTERN", "0");
    const auto& files = TCaptureTestFiles::Get();
    LogCapture log;
    TFrameGrabCaptureGraph graph(
        {files.DV, files.DVVideo, files.HDV, files.AnalogHW, files.Webcam, files.Text});
    const std::pair<const char*, int32_t> expected[] = {
        {"camcorder.dv", CaptureDeviceType_DV},
        {"silent.dv", CaptureDeviceType_DVVideo},  // DV without sound needs no splitter
        {"hdv.ts", CaptureDeviceType_HDV},
        {"encoder.mpg", CaptureDeviceType_AnalogHW},
        {"webcam.avi", CaptureDeviceType_Analog},
        {"notes.txt", CaptureDeviceType_Unrecognised}};
    for (const auto& [name, type] : expected) {
        const int index = IndexOf(graph, name);
        ASSERT_GE(index, 0) << name;
        EXPECT_EQ(TypeOf(graph, index), type) << name;
    }
    const std::string* path = nullptr;
    ASSERT_EQ(graph.GetSupportedDeviceDevicePath(IndexOf(graph, "hdv.ts"), path), S_OK);
    EXPECT_EQ(*path, files.HDV);
}

// A named pipe (which would block whoever opens it) and a folder among the file cameras are
// left out without being opened; the real file camera beside them is listed.
TEST(CaptureDevicesList, OnlyRegularFilesAreFileCameras) {
    TScopedEnv pattern("TANDREL_TEST_PATTERN", "0");
    const auto& files = TCaptureTestFiles::Get();
    const std::string folder = files.Dir + "/folder.avi";
    g_mkdir_with_parents(folder.c_str(), 0700);
    TNamedPipe pipe(files.Dir + "/pipe.avi");
    TScopedEnv cameras("TANDREL_FILE_CAMERAS",
                       (pipe.Path() + ":" + folder + ":" + files.Webcam).c_str());
    LogCapture log;

    auto graph = NamedPipe::CallWithoutHanging(
        pipe.Path(), [] { return std::make_unique<TFrameGrabCaptureGraph>(); });
    const int webcam = IndexOf(*graph, "webcam.avi");
    ASSERT_GE(webcam, 0);
    EXPECT_EQ(TypeOf(*graph, webcam), CaptureDeviceType_Analog);
    EXPECT_EQ(IndexOf(*graph, "pipe.avi"), -1);
    EXPECT_EQ(IndexOf(*graph, "folder.avi"), -1);
    for (const std::string& path : {pipe.Path(), folder}) {
        EXPECT_TRUE(log.Contains("Error in VirtualDevices::ListVirtualDevices - " + path +
                                 " is not a regular file."))
            << path;
    }
}

TEST(CaptureDevicesList, InvalidIndexIsRefusedWithItsLine) {
    TFrameGrabCaptureGraph graph(std::vector<std::string>{});
    int32_t count = 0;
    graph.GetSupportedDevicesCount(count);
    LogCapture log;
    for (const int32_t index : {-1, count}) {
        const std::string* text = nullptr;
        int32_t type = 0;
        EXPECT_EQ(graph.GetSupportedDeviceFriendlyName(index, text), E_FAIL);
        EXPECT_EQ(graph.GetSupportedDeviceDisplayName(index, text), E_FAIL);
        EXPECT_EQ(graph.GetSupportedDeviceDevicePath(index, text), E_FAIL);
        EXPECT_EQ(graph.GetSupportedDeviceType(index, type), E_FAIL);
    }
    for (const char* line :
         {"Error in TFrameGrabCaptureGraph.GetSupportedDeviceFriendlyName - invalid device index.",
          "Error in TFrameGrabCaptureGraph.GetSupportedDeviceDisplayName - invalid device index.",
          "Error in TFrameGrabCaptureGraph.GetSupportedDeviceDevicePath - invalid device index.",
          "Error in TFrameGrabCaptureGraph.GetSupportedDeviceType - invalid device index."}) {
        EXPECT_TRUE(log.Contains(line)) << line;
    }
}

TEST(CaptureDevicesList, NoDevicesGiveAnEmptyListAndTheEnumeratorLine) {
    TScopedEnv pattern("TANDREL_TEST_PATTERN", "0");
    LogCapture log;
    TFrameGrabCaptureGraph graph(std::vector<std::string>{});
    int32_t count = -1;
    ASSERT_EQ(graph.GetSupportedDevicesCount(count), S_OK);
    if (count > 0) {
        GTEST_SKIP() << "this machine has a camera";
    }
    EXPECT_TRUE(log.Contains(
        "Error in TFrameGrabCaptureGraph.EnumSupportedDevices - cannot CreateClassEnumerator "
        "CLSID_VideoInputDeviceCategory."));
}

TEST(CaptureDevicesCreate, FindsDeviceByFriendlyNameDisplayNameAndPath) {
    TScopedEnv pattern("TANDREL_TEST_PATTERN", nullptr);
    const auto& files = TCaptureTestFiles::Get();
    TFrameGrabCaptureGraph graph({files.Webcam});
    TGstElementHandle filter;
    ASSERT_EQ(graph.CreateDevice(filter, CLSID_VideoInputDeviceCategory, "Test Pattern", "", ""),
              S_OK);
    ASSERT_TRUE(filter);
    EXPECT_STREQ(GST_OBJECT_NAME(filter.Get()), "Test Pattern");

    ASSERT_EQ(graph.CreateDevice(filter, CLSID_VideoInputDeviceCategory, "", "",
                                 "tandrel-file:" + files.Webcam),
              S_OK);
    ASSERT_TRUE(filter);
    EXPECT_STREQ(GST_OBJECT_NAME(filter.Get()), "webcam.avi");

    ASSERT_EQ(
        graph.CreateDevice(filter, CLSID_VideoInputDeviceCategory, "webcam.avi", files.Webcam, ""),
        S_OK);
    EXPECT_TRUE(filter);

    // Every given name must match.
    graph.CreateDevice(filter, CLSID_VideoInputDeviceCategory, "Test Pattern", files.Webcam, "");
    EXPECT_FALSE(filter);
    graph.CreateDevice(filter, CLSID_VideoInputDeviceCategory, "No Such Camera", "", "");
    EXPECT_FALSE(filter);
}

TEST(CaptureDevicesCreate, SameFriendlyNameToldApartByDisplayName) {
    TScopedEnv pattern("TANDREL_TEST_PATTERN", "0");
    const auto& files = TCaptureTestFiles::Get();
    // Two files of the same name in different folders.
    const std::string otherDir = files.Dir + "/other";
    g_mkdir_with_parents(otherDir.c_str(), 0700);
    const std::string other = otherDir + "/webcam.avi";
    ASSERT_TRUE(g_file_set_contents(other.c_str(), "not a video", -1, nullptr));
    TFrameGrabCaptureGraph graph({files.Webcam, other});
    TGstElementHandle filter;
    ASSERT_EQ(graph.CreateDevice(filter, CLSID_VideoInputDeviceCategory, "webcam.avi", "",
                                 "tandrel-file:" + other),
              S_OK);
    ASSERT_TRUE(filter);
    int32_t type = 0;
    TFrameGrabCaptureGraph::GetCaptureDeviceType(filter.Get(), "webcam.avi", type);
    EXPECT_EQ(type, CaptureDeviceType_Unrecognised);
    ASSERT_EQ(graph.CreateDevice(filter, CLSID_VideoInputDeviceCategory, "webcam.avi", "",
                                 "tandrel-file:" + files.Webcam),
              S_OK);
    TFrameGrabCaptureGraph::GetCaptureDeviceType(filter.Get(), "webcam.avi", type);
    EXPECT_EQ(type, CaptureDeviceType_Analog);
}

struct TFilterCase {
    const char* Name;
    const char* FriendlyName;
    const char* Caps;
    int32_t Expected;
    int UnknownTypes;  // media types logged as unknown before the decision
};

class CaptureDevicesFilterType : public ::testing::TestWithParam<TFilterCase> {};

TEST_P(CaptureDevicesFilterType, FirstRecognisedMediaTypeDecides) {
    const TFilterCase& c = GetParam();
    TGstElementHandle filter = FilterOffering(c.Caps);
    LogCapture log;
    int32_t type = -1;
    EXPECT_EQ(TFrameGrabCaptureGraph::GetCaptureDeviceType(filter.Get(), c.FriendlyName, type),
              S_OK);
    EXPECT_EQ(type, c.Expected);
    const auto lines = log.Lines();
    int unknown = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == "Error in TFrameGrabCaptureGraph.GetCaptureDeviceType - unknown device.") {
            ++unknown;
            ASSERT_LT(i + 1, lines.size());
            EXPECT_EQ(lines[i + 1].rfind("MajorType = {", 0), 0u) << lines[i + 1];
        }
    }
    EXPECT_EQ(unknown, c.UnknownTypes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureDevicesFilterType,
    ::testing::Values(
        TFilterCase{"MjpgThenYuy2", "USB Camera",
                    "image/jpeg,width=640,height=480,framerate=30/1;"
                    "video/x-raw,format=YUY2,width=640,height=480,framerate=30/1",
                    CaptureDeviceType_Analog, 0},
        TFilterCase{"DeckLinkNameFirst", "Blackmagic decklink Duo",
                    "video/mpegts,systemstream=true", CaptureDeviceType_BMD, 0},
        TFilterCase{"UnknownThenTransportStream", "Tuner",
                    "video/x-raw,format=UYVY,width=320,height=240,framerate=25/1;"
                    "audio/x-raw,format=S16LE,rate=48000,channels=2,layout=interleaved;"
                    "video/mpegts,systemstream=true",
                    CaptureDeviceType_HDV, 2},
        TFilterCase{"OnlyUnknownTypes", "Odd Device",
                    "video/mpeg,mpegversion=2,systemstream=false,width=320,height=240,"
                    "framerate=25/1;"
                    "video/x-raw,format=UYVY,width=320,height=240,framerate=25/1",
                    CaptureDeviceType_Unrecognised, 2},
        TFilterCase{"DVVideo", "DV Bridge",
                    "video/x-dv,systemstream=false,width=720,height=576,framerate=25/1",
                    CaptureDeviceType_DVVideo, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(CaptureDevicesFilterTypeErrors, MissingFilterIsRefused) {
    LogCapture log;
    int32_t type = -1;
    EXPECT_EQ(TFrameGrabCaptureGraph::GetCaptureDeviceType(nullptr, "x", type), E_FAIL);
    EXPECT_EQ(type, CaptureDeviceType_Unrecognised);
    EXPECT_TRUE(log.Contains(
        "Error in TFrameGrabCaptureGraph.GetCaptureDeviceType - CaptureFilter = nil."));
}

}  // namespace
