#include <gst/base/gstbasetransform.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "capture/CaptureFormats.h"
#include "capture/CaptureTestFiles.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "capture/VideoFrameGrabFilter.h"
#include "graph/GraphRender.h"
#include "support/LogCapture.h"

namespace {

constexpr int64_t kFrameTime = 1'000'000;  // ten frames a second

// The format the frame grab element's input was negotiated with ("" when none).
std::string NegotiatedFormat(GstElement* grab) {
    std::string format;
    GstPad* pad = grab != nullptr ? gst_element_get_static_pad(grab, "sink") : nullptr;
    if (pad == nullptr) {
        return format;
    }
    if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
        if (const char* f = gst_structure_get_string(gst_caps_get_structure(caps, 0), "format")) {
            format = f;
        }
        gst_caps_unref(caps);
    }
    gst_object_unref(pad);
    return format;
}

// Every videoconvert in `bin` (at any depth): whether each passes its pictures through
// unconverted, and how many there are.
struct TConverters {
    int Count = 0;
    int Converting = 0;
};

TConverters Converters(GstBin* bin) {
    TConverters converters;
    GstIterator* it = gst_bin_iterate_recurse(bin);
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        GstElement* e = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* factory = gst_element_get_factory(e);
        if (factory != nullptr && std::string(gst_plugin_feature_get_name(
                                      GST_PLUGIN_FEATURE(factory))) == "videoconvert") {
            ++converters.Count;
            if (!gst_base_transform_is_passthrough(GST_BASE_TRANSFORM(e))) {
                ++converters.Converting;
            }
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return converters;
}

// A capture graph over the Test Pattern and the test files, the Test Pattern first.
class FrameGrabCaptureGraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("TANDREL_TEST_PATTERN");
        const auto& f = TCaptureTestFiles::Get();
        FGraph = std::make_unique<TFrameGrabCaptureGraph>(
            std::vector<std::string>{f.DV, f.HDV, f.AnalogHW, f.Webcam, f.Text, f.DVVideo});
        FGraph->SetNextFrameDataFunction(
            [this](uint8_t* data, int32_t size) { return FFrames.OnFrame(data, size); });
        FGraph->SetFrameTime(kFrameTime);
    }
    void TearDown() override {
        if (FGraph) {
            FGraph->Stop();
            FGraph->DeactivateMainGraph();
        }
    }

    int Index(const std::string& name) {
        int32_t count = 0;
        FGraph->GetSupportedDevicesCount(count);
        for (int32_t i = 0; i < count; ++i) {
            const std::string* friendly = nullptr;
            if (FGraph->GetSupportedDeviceFriendlyName(i, friendly) == S_OK && *friendly == name) {
                return i;
            }
        }
        ADD_FAILURE() << name << " not listed";
        return -1;
    }

    bool HasFilter(const char* name) {
        GstElement* e = gst_bin_get_by_name(GST_BIN(FGraph->GraphBuilder()), name);
        if (e != nullptr) {
            gst_object_unref(e);
        }
        return e != nullptr;
    }

    // The picture size the frame grab filter was connected with.
    std::pair<int32_t, int32_t> DeliveredSize() {
        TVideoFrameGrabFilter* filter =
            VideoFrameGrabFilterFromElement(FGraph->VideoFrameGrabFilter());
        return filter != nullptr ? std::make_pair(filter->Width(), filter->Height())
                                 : std::make_pair(0, 0);
    }

    // Selects what GetOutputType says for `index`, renders, plays and waits for frames.
    void RunDevice(const std::string& name, int32_t width, int32_t height) {
        const int before = FFrames.Frames();
        ASSERT_EQ(FGraph->ActivateMainGraph(Index(name)), S_OK) << name;
        int32_t w = 0;
        int32_t h = 0;
        int64_t interval = 0;
        ASSERT_EQ(FGraph->GetOutputType(0, w, h, interval), S_OK);
        ASSERT_EQ(FGraph->SelectOutputType(0, w, h, interval), S_OK);
        ASSERT_EQ(FGraph->RenderOutput(), S_OK) << name;
        ASSERT_TRUE(SUCCEEDED(FGraph->Play()));
        ASSERT_TRUE(FFrames.WaitFor(before + 3)) << name << ": no frames";
        EXPECT_EQ(DeliveredSize(), std::make_pair(width, height)) << name;
        EXPECT_EQ(FFrames.LastSize(), width * height * 4) << name;
    }

    std::unique_ptr<TFrameGrabCaptureGraph> FGraph;
    TFrameCounter FFrames;
};

TEST_F(FrameGrabCaptureGraphTest, TestPatternOffersItsFormatList) {
    ASSERT_EQ(FGraph->ActivateMainGraph(Index("Test Pattern")), S_OK);
    int32_t count = 0;
    ASSERT_EQ(FGraph->GetOutputTypesCount(count), S_OK);
    EXPECT_EQ(count, 18);
    // Index 9: 640 x 480 RGB32 at 30 frames per second (sizes, then YUY2/RGB32, then rates).
    const TMediaType* mt = nullptr;
    int32_t minW = 0, minH = 0, maxW = 0, maxH = 0, gw = 0, gh = 0;
    int64_t minI = 0, maxI = 0;
    ASSERT_EQ(FGraph->GetOutputType(9, mt, minW, minH, maxW, maxH, gw, gh, minI, maxI), S_OK);
    ASSERT_NE(mt, nullptr);
    EXPECT_TRUE(mt->subtype == MEDIASUBTYPE_RGB32);
    EXPECT_EQ(minW, 640);
    EXPECT_EQ(maxH, 480);
    EXPECT_EQ(minI, 333333);
    EXPECT_EQ(maxI, 333333);
    EXPECT_EQ(gw, 1);
    EXPECT_EQ(FormatDescription(*mt), "Resolution: 640 x 480, Frames per second: 30.00");
    int32_t w = 0, h = 0;
    int64_t interval = 0;
    ASSERT_EQ(FGraph->GetOutputType(17, w, h, interval), S_OK);
    EXPECT_EQ(std::make_tuple(w, h, interval), std::make_tuple(1280, 720, int64_t{1000000}));
}

TEST_F(FrameGrabCaptureGraphTest, TestPatternDeliversFramesAtTheSelectedSize) {
    ASSERT_EQ(FGraph->ActivateMainGraph(Index("Test Pattern")), S_OK);
    int32_t index = 0, w = 0, h = 0;
    int64_t interval = 0;
    FGraph->GetSelectedOutputType(index, w, h, interval);
    EXPECT_EQ(std::make_tuple(index, w, h, interval), std::make_tuple(-1, -1, -1, int64_t{-1}));
    // 640 x 480 YUY2 at 30 frames per second.
    ASSERT_EQ(FGraph->GetOutputType(6, w, h, interval), S_OK);
    ASSERT_EQ(FGraph->SelectOutputType(6, w, h, interval), S_OK);
    FGraph->GetSelectedOutputType(index, w, h, interval);
    EXPECT_EQ(std::make_tuple(index, w, h, interval),
              std::make_tuple(6, 640, 480, int64_t{333333}));
    const TMediaType* current = nullptr;
    ASSERT_EQ(FGraph->GetCurrentOutputType(current), S_OK);
    ASSERT_NE(current, nullptr);
    EXPECT_TRUE(current->subtype == MEDIASUBTYPE_YUY2);
    ASSERT_EQ(FGraph->RenderOutput(), S_OK);
    ASSERT_TRUE(SUCCEEDED(FGraph->Play()));
    ASSERT_TRUE(FFrames.WaitFor(3));
    EXPECT_EQ(DeliveredSize(), std::make_pair(640, 480));
    EXPECT_EQ(FFrames.LastSize(), 640 * 480 * 4);
}

// The Test Pattern draws only the pictures the frame grab filter takes: at a 30 frames-per-
// second format and the graph's frame time of 100 ms, every third frame of the format, each
// lasting three.
TEST_F(FrameGrabCaptureGraphTest, TestPatternDrawsOnlyThePicturesTheFrameTimeTakes) {
    ASSERT_EQ(FGraph->ActivateMainGraph(Index("Test Pattern")), S_OK);
    int32_t w = 0, h = 0;
    int64_t interval = 0;
    ASSERT_EQ(FGraph->GetOutputType(0, w, h, interval), S_OK);  // 320 x 240 YUY2, 30 fps
    ASSERT_EQ(interval, 333333);
    ASSERT_EQ(FGraph->SelectOutputType(0, w, h, interval), S_OK);
    ASSERT_EQ(FGraph->RenderOutput(), S_OK);
    TGstElementHandle pattern =
        TGstElementHandle::Adopt(gst_bin_get_by_name(GST_BIN(FGraph->GraphBuilder()), "Pattern"));
    ASSERT_TRUE(pattern);
    gint64 frameTime = 0;
    g_object_get(pattern.Get(), "frame-time", &frameTime, nullptr);
    EXPECT_EQ(frameTime, kFrameTime);
    struct TOffsets {
        std::mutex Lock;
        std::vector<guint64> Values;
    } offsets;
    TGstPadHandle out = TGstPadHandle::Adopt(gst_element_get_static_pad(pattern.Get(), "src"));
    gst_pad_add_probe(
        out.Get(), GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo* info, gpointer data) {
            auto* o = static_cast<TOffsets*>(data);
            std::lock_guard guard(o->Lock);
            o->Values.push_back(GST_BUFFER_OFFSET(GST_PAD_PROBE_INFO_BUFFER(info)));
            return GST_PAD_PROBE_OK;
        },
        &offsets, nullptr);
    ASSERT_TRUE(SUCCEEDED(FGraph->Play()));
    ASSERT_TRUE(FFrames.WaitFor(5));
    FGraph->Stop();
    std::lock_guard guard(offsets.Lock);
    ASSERT_GE(offsets.Values.size(), 4u);
    for (size_t i = 0; i < offsets.Values.size(); ++i) {
        EXPECT_EQ(offsets.Values[i], i * 3) << i;
    }
}

TEST_F(FrameGrabCaptureGraphTest, FileCameraDVRendersThroughSplitterAndDecoder) {
    ASSERT_EQ(FGraph->ActivateMainGraph(Index("camcorder.dv")), S_OK);
    int32_t count = 0;
    ASSERT_EQ(FGraph->GetOutputTypesCount(count), S_OK);
    EXPECT_EQ(count, 1);
    int32_t w = 0, h = 0;
    int64_t interval = 0;
    ASSERT_EQ(FGraph->GetOutputType(0, w, h, interval), S_OK);
    EXPECT_EQ(std::make_tuple(w, h, interval), std::make_tuple(720, 576, int64_t{400000}));
    EXPECT_FALSE(HasFilter("DV Splitter")) << "the probe leaves nothing behind";
    ASSERT_EQ(FGraph->SelectOutputType(0, w, h, interval), S_OK);
    int32_t index = 0;
    // The selection records the stream's size: it is the size of the frames delivered.
    FGraph->GetSelectedOutputType(index, w, h, interval);
    EXPECT_EQ(std::make_tuple(index, w, h, interval),
              std::make_tuple(0, 720, 576, int64_t{400000}));
    ASSERT_EQ(FGraph->RenderOutput(), S_OK);
    EXPECT_TRUE(HasFilter("DV Splitter"));
    EXPECT_TRUE(HasFilter("DV Video Decoder"));
    ASSERT_TRUE(SUCCEEDED(FGraph->Play()));
    ASSERT_TRUE(FFrames.WaitFor(3));
    EXPECT_EQ(DeliveredSize(), std::make_pair(720, 576));
}

TEST_F(FrameGrabCaptureGraphTest, FileCameraHDVRendersThroughTransportDemultiplexer) {
    ASSERT_EQ(FGraph->ActivateMainGraph(Index("hdv.ts")), S_OK);
    int32_t count = 0;
    ASSERT_EQ(FGraph->GetOutputTypesCount(count), S_OK);
    EXPECT_EQ(count, 1);
    // The size the stream carries, not a fixed HDV size the frames would not have.
    int32_t w = 0, h = 0;
    int64_t interval = -1;
    ASSERT_EQ(FGraph->GetOutputType(0, w, h, interval), S_OK);
    EXPECT_EQ(std::make_tuple(w, h, interval), std::make_tuple(352, 288, int64_t{400000}));
    ASSERT_EQ(FGraph->SelectOutputType(0, w, h, interval), S_OK);
    int32_t index = -1;
    FGraph->GetSelectedOutputType(index, w, h, interval);
    EXPECT_EQ(std::make_tuple(index, w, h, interval),
              std::make_tuple(0, 352, 288, int64_t{400000}));
    ASSERT_EQ(FGraph->RenderOutput(), S_OK);
    EXPECT_TRUE(HasFilter("MPEG Demultiplexer"));
    ASSERT_TRUE(SUCCEEDED(FGraph->Play()));
    ASSERT_TRUE(FFrames.WaitFor(3));
    EXPECT_EQ(DeliveredSize(), std::make_pair(352, 288));
}

TEST_F(FrameGrabCaptureGraphTest, FileCameraAnalogHWRendersThroughProgramDemultiplexer) {
    LogCapture log;
    ASSERT_EQ(FGraph->ActivateMainGraph(Index("encoder.mpg")), S_OK);
    for (const char* line :
         {"MPEG pin found.", "DV pin can not be found.", "Video Capture pin can not be found.",
          "Video Preview pin can not be found."}) {
        EXPECT_TRUE(log.Contains(line)) << line;
    }
    // One format, the stream's own picture, like the other stream devices.
    int32_t count = -1;
    ASSERT_EQ(FGraph->GetOutputTypesCount(count), S_OK);
    EXPECT_EQ(count, 1);
    const TMediaType* mt = nullptr;
    int32_t minW = 0, minH = 0, maxW = 0, maxH = 0, gw = 0, gh = 0;
    int64_t minI = 0, maxI = 0;
    ASSERT_EQ(FGraph->GetOutputType(0, mt, minW, minH, maxW, maxH, gw, gh, minI, maxI), S_OK);
    ASSERT_NE(mt, nullptr);
    EXPECT_TRUE(mt->majortype == MEDIATYPE_Stream);
    EXPECT_TRUE(mt->subtype == MEDIASUBTYPE_MPEG2_PROGRAM);
    EXPECT_EQ(std::make_tuple(minW, minH, maxW, maxH), std::make_tuple(352, 288, 352, 288));
    EXPECT_EQ(std::make_tuple(minI, maxI), std::make_tuple(int64_t{400000}, int64_t{400000}));
    int32_t w = 0, h = 0;
    int64_t interval = 0;
    ASSERT_EQ(FGraph->GetOutputType(0, w, h, interval), S_OK);
    ASSERT_EQ(FGraph->SelectOutputType(0, w, h, interval), S_OK);
    int32_t index = -1;
    FGraph->GetSelectedOutputType(index, w, h, interval);
    EXPECT_EQ(std::make_tuple(index, w, h, interval),
              std::make_tuple(0, 352, 288, int64_t{400000}));
    ASSERT_EQ(FGraph->RenderOutput(), S_OK);
    EXPECT_TRUE(HasFilter("MPEG Demultiplexer"));
    ASSERT_TRUE(SUCCEEDED(FGraph->Play()));
    ASSERT_TRUE(FFrames.WaitFor(3));
    EXPECT_EQ(DeliveredSize(), std::make_pair(352, 288));
}

TEST_F(FrameGrabCaptureGraphTest, FileCameraDVWithoutSoundRendersThroughTheDecoderAlone) {
    ASSERT_EQ(FGraph->ActivateMainGraph(Index("silent.dv")), S_OK);
    int32_t count = 0;
    ASSERT_EQ(FGraph->GetOutputTypesCount(count), S_OK);
    EXPECT_EQ(count, 1);
    int32_t w = 0, h = 0;
    int64_t interval = 0;
    ASSERT_EQ(FGraph->GetOutputType(0, w, h, interval), S_OK);
    EXPECT_EQ(std::make_tuple(w, h, interval), std::make_tuple(720, 576, int64_t{400000}));
    ASSERT_EQ(FGraph->RenderOutput(), S_OK);
    EXPECT_FALSE(HasFilter("DV Splitter"));
    EXPECT_TRUE(HasFilter("DV Video Decoder"));
    ASSERT_TRUE(SUCCEEDED(FGraph->Play()));
    ASSERT_TRUE(FFrames.WaitFor(3));
    EXPECT_EQ(DeliveredSize(), std::make_pair(720, 576));
}

// A graph whose device was deactivated answers the format queries with nothing, whatever its
// last device was: no probe of a device that is gone, no selection recorded.
TEST_F(FrameGrabCaptureGraphTest, DeactivatedGraphsOfferNoFormat) {
    for (const char* name : {"camcorder.dv", "hdv.ts", "encoder.mpg", "silent.dv", "webcam.avi"}) {
        ASSERT_EQ(FGraph->ActivateMainGraph(Index(name)), S_OK) << name;
        ASSERT_EQ(FGraph->DeactivateMainGraph(), S_OK) << name;
        LogCapture log;
        int32_t count = -1;
        EXPECT_EQ(FGraph->GetOutputTypesCount(count), E_FAIL) << name;
        EXPECT_EQ(count, 0) << name;
        int32_t w = -1, h = -1;
        int64_t interval = -1;
        EXPECT_EQ(FGraph->GetOutputType(0, w, h, interval), E_FAIL) << name;
        EXPECT_EQ(std::make_tuple(w, h, interval), std::make_tuple(0, 0, int64_t{0})) << name;
        const TMediaType* mt = nullptr;
        int32_t minW = 0, minH = 0, maxW = 0, maxH = 0, gw = 0, gh = 0;
        int64_t minI = 0, maxI = 0;
        EXPECT_EQ(FGraph->GetOutputType(0, mt, minW, minH, maxW, maxH, gw, gh, minI, maxI), E_FAIL)
            << name;
        EXPECT_EQ(mt, nullptr) << name;
        EXPECT_EQ(FGraph->GetCurrentOutputType(mt), E_FAIL) << name;
        EXPECT_EQ(mt, nullptr) << name;
        EXPECT_EQ(FGraph->SelectOutputType(0, 720, 576, 400000), E_FAIL) << name;
        int32_t index = 0;
        FGraph->GetSelectedOutputType(index, w, h, interval);
        EXPECT_EQ(std::make_tuple(index, w, h, interval), std::make_tuple(-1, -1, -1, int64_t{-1}))
            << name;
        EXPECT_TRUE(log.Lines().empty()) << name << ": " << log.Lines().front();
        EXPECT_EQ(GST_BIN_NUMCHILDREN(GST_BIN(FGraph->GraphBuilder())), 0) << name;
    }
}

TEST_F(FrameGrabCaptureGraphTest, FileCameraWebcamOffersDecodedPictures) {
    ASSERT_EQ(FGraph->ActivateMainGraph(Index("webcam.avi")), S_OK);
    int32_t count = 0;
    ASSERT_EQ(FGraph->GetOutputTypesCount(count), S_OK);
    EXPECT_EQ(count, 3);  // I420, YUY2 and RGB32 at the file's size
    int32_t w = 0, h = 0;
    int64_t interval = 0;
    ASSERT_EQ(FGraph->GetOutputType(2, w, h, interval), S_OK);
    EXPECT_EQ(std::make_tuple(w, h, interval), std::make_tuple(320, 240, int64_t{666667}));
    ASSERT_EQ(FGraph->SelectOutputType(2, w, h, interval), S_OK);
    ASSERT_EQ(FGraph->RenderOutput(), S_OK);
    ASSERT_TRUE(SUCCEEDED(FGraph->Play()));
    ASSERT_TRUE(FFrames.WaitFor(3));
    EXPECT_EQ(DeliveredSize(), std::make_pair(320, 240));
    EXPECT_EQ(NegotiatedFormat(FGraph->VideoFrameGrabFilter()), "BGRx");
}

// The default format (index 0) of a decoded file camera is the decoder's own I420 (the test
// webcam is 4:2:0 MJPEG): it reaches the frame grab filter with no conversion on the way.
TEST_F(FrameGrabCaptureGraphTest, FileCameraDefaultFormatIsTheDecodersPictureUnconverted) {
    RunDevice("webcam.avi", 320, 240);
    EXPECT_EQ(NegotiatedFormat(FGraph->VideoFrameGrabFilter()), "I420");
    const TConverters converters = Converters(GST_BIN(FGraph->GraphBuilder()));
    EXPECT_GE(converters.Count, 1);
    EXPECT_EQ(converters.Converting, 0);
}

// A webcam's MJPEG capture pin: decodebin and videoconvert go between it and the frame grab
// filter, and a 4:2:0 JPEG's I420 passes the converter untouched.
TEST(FrameGrabCaptureGraphMjpeg, CapturePinDecodesStraightIntoTheFrameGrabFilter) {
    ASSERT_TRUE(RegisterVideoFrameGrabFilter());
    TGstElementHandle pipeline = TGstElementHandle::Adopt(gst_pipeline_new("Mjpeg"));
    GError* error = nullptr;
    GstElement* camera = gst_parse_bin_from_description(
        "videotestsrc is-live=true ! video/x-raw,format=I420,width=320,height=240,"
        "framerate=10/1 ! jpegenc",
        TRUE, &error);
    ASSERT_EQ(error, nullptr) << error->message;
    TGstElementHandle grab = TVideoFrameGrabFilter::CreateFromFactory();
    ASSERT_TRUE(grab);
    gst_bin_add_many(GST_BIN(pipeline.Get()), camera, GST_ELEMENT(gst_object_ref(grab.Get())),
                     nullptr);
    TGstPadHandle capturePin = TGstPadHandle::Adopt(gst_element_get_static_pad(camera, "src"));
    TGstPadHandle input = TGstPadHandle::Adopt(gst_element_get_static_pad(grab.Get(), "sink"));
    ASSERT_EQ(
        GraphRender::ConnectIntelligent(GST_BIN(pipeline.Get()), capturePin.Get(), input.Get()),
        S_OK);
    TFrameCounter frames;
    VideoFrameGrabFilterControl(grab.Get())
        ->SetNextFrameDataFunction(
            [&](uint8_t* data, int32_t size) { return frames.OnFrame(data, size); });
    VideoFrameGrabFilterControl(grab.Get())->SetFrameTime(kFrameTime);
    ASSERT_NE(gst_element_set_state(pipeline.Get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    const bool delivered = frames.WaitFor(3);
    const std::string format = NegotiatedFormat(grab.Get());
    const TConverters converters = Converters(GST_BIN(pipeline.Get()));
    gst_element_set_state(pipeline.Get(), GST_STATE_NULL);
    ASSERT_TRUE(delivered);
    EXPECT_EQ(frames.LastSize(), 320 * 240 * 4);
    EXPECT_EQ(format, "I420");
    EXPECT_EQ(converters.Count, 1);
    EXPECT_EQ(converters.Converting, 0);
}

TEST_F(FrameGrabCaptureGraphTest, FileCamerasLoopPastTheirEnd) {
    // Each file holds one second of pictures; 25 frames at ten a second need two loops.
    const std::tuple<const char*, int32_t, int32_t> cameras[] = {{"webcam.avi", 320, 240},
                                                                 {"camcorder.dv", 720, 576},
                                                                 {"silent.dv", 720, 576},
                                                                 {"hdv.ts", 352, 288},
                                                                 {"encoder.mpg", 352, 288}};
    for (const auto& [name, width, height] : cameras) {
        const int before = FFrames.Frames();
        RunDevice(name, width, height);
        EXPECT_TRUE(FFrames.WaitFor(before + 25, std::chrono::seconds(30))) << name;
        FGraph->Stop();
        FGraph->DeactivateMainGraph();
    }
}

TEST_F(FrameGrabCaptureGraphTest, ActivatingTwiceIsRefusedAndKeepsTheFirstGraph) {
    ASSERT_EQ(FGraph->ActivateMainGraph(Index("Test Pattern")), S_OK);
    GstElement* capture = FGraph->VideoCaptureFilter();
    LogCapture log;
    EXPECT_EQ(FGraph->ActivateMainGraph(Index("webcam.avi")), E_FAIL);
    EXPECT_TRUE(
        log.Contains("Error in TFrameGrabCaptureGraph.ActivateMainGraph - graph already active."));
    EXPECT_TRUE(FGraph->MainGraphActive());
    EXPECT_EQ(FGraph->VideoCaptureFilter(), capture);
    EXPECT_EQ(FGraph->DeviceIndex(), Index("Test Pattern"));
}

TEST_F(FrameGrabCaptureGraphTest, UnrecognisedDeviceIsRefused) {
    LogCapture log;
    EXPECT_EQ(FGraph->ActivateMainGraph(Index("notes.txt")), E_FAIL);
    EXPECT_TRUE(
        log.Contains("Error in TFrameGrabCaptureGraph.ActivateMainGraph - unknown device type."));
    EXPECT_FALSE(FGraph->MainGraphActive());
    EXPECT_EQ(FGraph->DeviceIndex(), -1);
    EXPECT_EQ(FGraph->RenderOutput(), E_FAIL);
}

TEST_F(FrameGrabCaptureGraphTest, InvalidIndexIsRefused) {
    LogCapture log;
    EXPECT_EQ(FGraph->ActivateMainGraph(32), E_FAIL);
    EXPECT_TRUE(
        log.Contains("Error in TFrameGrabCaptureGraph.ActivateMainGraph - invalid device index."));
    EXPECT_FALSE(FGraph->MainGraphActive());
}

TEST_F(FrameGrabCaptureGraphTest, DeactivatingAnInactiveGraphIsHarmless) {
    EXPECT_EQ(FGraph->DeactivateMainGraph(), S_OK);
    EXPECT_EQ(FGraph->DeactivateMainGraph(), S_OK);
    EXPECT_FALSE(FGraph->MainGraphActive());
}

TEST_F(FrameGrabCaptureGraphTest, DeactivationRemovesEverythingAndAllowsAnotherDevice) {
    RunDevice("Test Pattern", 320, 240);
    ASSERT_EQ(FGraph->Stop(), S_OK);
    ASSERT_EQ(FGraph->DeactivateMainGraph(), S_OK);
    EXPECT_EQ(GST_BIN_NUMCHILDREN(GST_BIN(FGraph->GraphBuilder())), 0);
    int32_t index = 0, w = 0, h = 0;
    int64_t interval = 0;
    FGraph->GetSelectedOutputType(index, w, h, interval);
    EXPECT_EQ(std::make_tuple(w, h, interval), std::make_tuple(-1, -1, int64_t{-1}));
    const int before = FFrames.Frames();
    // The stored callback and frame time reach the next device's frame grab filter by themselves.
    ASSERT_EQ(FGraph->ActivateMainGraph(Index("webcam.avi")), S_OK);
    ASSERT_EQ(FGraph->RenderOutput(), S_OK);
    ASSERT_TRUE(SUCCEEDED(FGraph->Play()));
    EXPECT_TRUE(FFrames.WaitFor(before + 3));
    int64_t frameTime = 0;
    ASSERT_NE(VideoFrameGrabFilterControl(FGraph->VideoFrameGrabFilter()), nullptr);
    VideoFrameGrabFilterControl(FGraph->VideoFrameGrabFilter())->GetFrameTime(frameTime);
    EXPECT_EQ(frameTime, kFrameTime);
}

TEST_F(FrameGrabCaptureGraphTest, ResetMainGraphKeepsTheCallback) {
    RunDevice("Test Pattern", 320, 240);
    ASSERT_EQ(FGraph->ResetMainGraph(), S_OK);
    EXPECT_EQ(FGraph->VideoFrameGrabFilter(), nullptr);
    EXPECT_EQ(GST_BIN_NUMCHILDREN(GST_BIN(FGraph->GraphBuilder())), 1) << "device part only";
    EXPECT_TRUE(FGraph->MainGraphActive());
    const int before = FFrames.Frames();
    ASSERT_EQ(FGraph->RenderOutput(), S_OK);
    ASSERT_TRUE(SUCCEEDED(FGraph->Play()));
    EXPECT_TRUE(FFrames.WaitFor(before + 3));
}

TEST_F(FrameGrabCaptureGraphTest, FailedRenderLeavesTheDeviceReadyForAnotherRender) {
    ASSERT_EQ(FGraph->ActivateMainGraph(Index("encoder.mpg")), S_OK);
    FGraph->SetDemultiplexer(nullptr);
    LogCapture log;
    EXPECT_EQ(FGraph->RenderOutput(), E_FAIL);
    EXPECT_TRUE(log.Contains(
        "Error in TFrameGrabCaptureGraph.RenderOutput_AnalogHW - cannot add MPEG-2 Demultiplexer "
        "filter."));
    EXPECT_TRUE(FGraph->MainGraphActive());
    EXPECT_EQ(GST_BIN_NUMCHILDREN(GST_BIN(FGraph->GraphBuilder())), 1);
    int64_t frameTime = 0;
    FGraph->GetFrameTime(frameTime);
    EXPECT_EQ(frameTime, kFrameTime);
    FGraph->SetDemultiplexer(&CLSID_MPEG2Demultiplexer);
    ASSERT_EQ(FGraph->RenderOutput(), S_OK);
    ASSERT_TRUE(SUCCEEDED(FGraph->Play()));
    EXPECT_TRUE(FFrames.WaitFor(3));
}

TEST_F(FrameGrabCaptureGraphTest, FormatQueriesWithoutUnknownTypeAnswerFail) {
    // Before any activation the device type is the unrecognised one.
    LogCapture log;
    int32_t count = 0;
    EXPECT_EQ(FGraph->GetOutputTypesCount(count), E_FAIL);
    EXPECT_TRUE(
        log.Contains("Error in TFrameGrabCaptureGraph.GetOutputTypesCount - unknown device type."));
    EXPECT_EQ(FGraph->SelectOutputType(0, 1, 1, 1), E_FAIL);
    EXPECT_TRUE(
        log.Contains("Error in TFrameGrabCaptureGraph.SelectOutputType - unknown device type."));
    const TMediaType* mt = nullptr;
    EXPECT_EQ(FGraph->GetCurrentOutputType(mt), E_FAIL);
    EXPECT_TRUE(log.Contains(
        "Error in TFrameGrabCaptureGraph.GetCurrentOutputType - unknown device type."));
}

}  // namespace
