// The frame grab sink: caps it accepts, media type handling, frame delivery on the frame-time
// grid (synthetic time stamps pushed through an appsrc, so no test waits for wall time), frame
// layout, failures, and one live pipeline delivering frames.
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "capture/PlanarYuvConversion.h"
#include "capture/VideoFrameGrabFilter.h"
#include "capture/Yuy2Conversion.h"
#include "graph/DirectShowGraph.h"
#include "graph/MediaTypeCaps.h"
#include "platform/Sync.h"
#include "support/LogCapture.h"

namespace {

using TBytes = std::vector<uint8_t>;

constexpr int64_t kUnitsPerMs = 10'000;  // 100-ns units
constexpr int64_t kNone = -1;

GstClockTime Ms(int64_t ms) {
    return static_cast<GstClockTime>(ms) * GST_MSECOND;
}

// A buffer of `bytes` bytes of `fill`; kNone leaves a time unset.
GstBuffer* MakeSample(size_t bytes, uint8_t fill, int64_t startMs, int64_t durationMs) {
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, bytes, nullptr);
    gst_buffer_memset(buffer, 0, fill, bytes);
    GST_BUFFER_PTS(buffer) = startMs == kNone ? GST_CLOCK_TIME_NONE : Ms(startMs);
    GST_BUFFER_DURATION(buffer) = durationMs == kNone ? GST_CLOCK_TIME_NONE : Ms(durationMs);
    return buffer;
}

GstBuffer* MakeSample(const TBytes& bytes, int64_t startMs, int64_t durationMs) {
    GstBuffer* buffer = MakeSample(bytes.size(), 0, startMs, durationMs);
    gst_buffer_fill(buffer, 0, bytes.data(), bytes.size());
    return buffer;
}

// The frame callback's side: every call with its pointer, size and a copy of the frame.
class TFrameRecorder {
public:
    struct TCall {
        const uint8_t* Data;
        int32_t Size;
        TBytes Bytes;
    };

    TNextFrameDataFunction Callback() {
        return [this](uint8_t* Data, int32_t Size) {
            {
                std::lock_guard lock(FMutex);
                FCalls.push_back({Data, Size, TBytes(Data, Data + Size)});
            }
            FCalled.SetEvent();
            return true;
        };
    }

    std::vector<TCall> Calls() const {
        std::lock_guard lock(FMutex);
        return FCalls;
    }
    // The first byte of every delivered frame: the fill byte that names the sample.
    std::vector<int> Samples() const {
        std::vector<int> samples;
        for (const TCall& call : Calls()) {
            samples.push_back(call.Bytes.empty() ? -1 : call.Bytes[0]);
        }
        return samples;
    }
    // Waits (bounded) until at least `count` calls were made.
    bool WaitForCalls(size_t count) {
        for (;;) {
            {
                std::lock_guard lock(FMutex);
                if (FCalls.size() >= count) {
                    return true;
                }
            }
            if (FCalled.WaitFor(10'000) != WAIT_OBJECT_0) {
                return false;
            }
        }
    }

private:
    mutable std::mutex FMutex;
    std::vector<TCall> FCalls;
    TEvent FCalled;
};

// appsrc ! tandrelframegrab without clock sync: samples are rendered as fast as they are
// pushed, with exactly the time stamps the test gives them.
class TPushGraph {
public:
    explicit TPushGraph(const std::string& caps) {
        EXPECT_TRUE(RegisterVideoFrameGrabFilter());
        GError* error = nullptr;
        FPipeline = TGstElementHandle::Adopt(gst_parse_launch(
            "appsrc name=source format=time ! tandrelframegrab name=grab sync=false", &error));
        if (error != nullptr) {
            ADD_FAILURE() << error->message;
            g_clear_error(&error);
        }
        GstBin* bin = GST_BIN(FPipeline.Get());
        FSource = TGstElementHandle::Adopt(gst_bin_get_by_name(bin, "source"));
        FGrab = TGstElementHandle::Adopt(gst_bin_get_by_name(bin, "grab"));
        GstCaps* parsed = gst_caps_from_string(caps.c_str());
        g_object_set(FSource.Get(), "caps", parsed, nullptr);
        gst_caps_unref(parsed);
    }
    ~TPushGraph() { gst_element_set_state(FPipeline.Get(), GST_STATE_NULL); }

    TVideoFrameGrabFilter& Filter() { return *VideoFrameGrabFilterFromElement(FGrab.Get()); }
    GstElement* Source() { return FSource.Get(); }

    void Start() {
        ASSERT_NE(gst_element_set_state(FPipeline.Get(), GST_STATE_PLAYING),
                  GST_STATE_CHANGE_FAILURE);
    }
    void Push(GstBuffer* sample) {
        EXPECT_EQ(gst_app_src_push_buffer(GST_APP_SRC(FSource.Get()), sample), GST_FLOW_OK);
    }
    // Ends the stream and waits until the sink has handled every sample: true at end of
    // stream, false on an error (its text in `error`) or when nothing comes within 10 s.
    bool Finish(std::string* error = nullptr) {
        gst_app_src_end_of_stream(GST_APP_SRC(FSource.Get()));
        TGstBusHandle bus = TGstBusHandle::Adopt(gst_element_get_bus(FPipeline.Get()));
        TGstMessageHandle message = TGstMessageHandle::Adopt(gst_bus_timed_pop_filtered(
            bus.Get(), 10 * GST_SECOND,
            static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
        if (message && GST_MESSAGE_TYPE(message.Get()) == GST_MESSAGE_ERROR && error != nullptr) {
            GError* e = nullptr;
            gst_message_parse_error(message.Get(), &e, nullptr);
            *error = e->message;
            g_clear_error(&e);
        }
        return message && GST_MESSAGE_TYPE(message.Get()) == GST_MESSAGE_EOS;
    }

private:
    TGstElementHandle FPipeline;
    TGstElementHandle FSource;
    TGstElementHandle FGrab;
};

// 2 x 2 BGRx pictures: a filled sample comes out as a frame of the same byte.
constexpr char kTinyBgrx[] = "video/x-raw,format=BGRx,width=2,height=2,framerate=30/1";
constexpr size_t kTinyBgrxBytes = 16;

// ---- Caps and media types ----

struct TCapsCase {
    const char* Caps;
    bool Accepted;
};

const TCapsCase kCapsCases[] = {
    {"video/x-raw,format=BGRx,width=320,height=240,framerate=30/1", true},
    {"video/x-raw,format=BGRA,width=320,height=240,framerate=30/1", true},
    {"video/x-raw,format=YUY2,width=320,height=240,framerate=30/1", true},
    {"video/x-raw,format=YUY2,width=321,height=241,framerate=0/1", true},
    {"video/x-raw,format=UYVY,width=320,height=240,framerate=30/1", false},
    {"video/x-raw,format=BGR,width=320,height=240,framerate=30/1", false},
    {"video/x-raw,format=RGBx,width=320,height=240,framerate=30/1", false},
    {"video/x-raw,format=RGB16,width=320,height=240,framerate=30/1", false},
    {"video/x-raw,format=I420,width=320,height=240,framerate=30/1", true},
    {"video/x-raw,format=I420,width=321,height=241,framerate=0/1", true},
    {"video/x-raw,format=NV12,width=320,height=240,framerate=30/1", true},
    {"video/x-raw,format=NV12,width=1,height=1,framerate=30/1", true},
    {"video/x-raw,format=NV21,width=320,height=240,framerate=30/1", false},
    {"video/x-raw,format=YV12,width=320,height=240,framerate=30/1", false},
    {"video/x-raw,format=Y42B,width=320,height=240,framerate=30/1", false},
    {"video/x-raw(memory:GLMemory),format=I420,width=320,height=240,framerate=30/1", false},
    {"video/x-raw(memory:GLMemory),format=BGRx,width=320,height=240,framerate=30/1", false},
    {"image/jpeg,width=320,height=240,framerate=30/1", false},
    {"video/mpeg,mpegversion=2,systemstream=false,width=720,height=576,framerate=25/1", false},
    {"audio/x-raw,format=S16LE,rate=44100,channels=2,layout=interleaved", false},
};

TEST(VideoFrameGrabFilterCaps, AcceptsOnlyRawRgb32Yuy2I420AndNv12) {
    TGstElementHandle grab = TVideoFrameGrabFilter::CreateFromFactory();
    ASSERT_TRUE(grab);
    TGstPadHandle pad = TGstPadHandle::Adopt(
        gst_element_get_static_pad(grab.Get(), kVideoFrameGrabFilterInputPinName));
    ASSERT_TRUE(pad);
    for (const TCapsCase& c : kCapsCases) {
        GstCaps* caps = gst_caps_from_string(c.Caps);
        ASSERT_NE(caps, nullptr) << c.Caps;
        EXPECT_EQ(gst_pad_query_accept_caps(pad.Get(), caps) != FALSE, c.Accepted) << c.Caps;
        gst_caps_unref(caps);
    }
}

TEST(VideoFrameGrabFilterCaps, RefusedFormatFailsNegotiationAndAcceptedOneDelivers) {
    struct TCase {
        const char* Format;
        bool Delivers;
    };
    for (const TCase c : {TCase{"UYVY", false}, TCase{"BGRA", true}}) {
        TPushGraph graph(std::string("video/x-raw,format=") + c.Format +
                         ",width=2,height=2,framerate=30/1");
        TFrameRecorder recorder;
        graph.Filter().SetNextFrameDataFunction(recorder.Callback());
        graph.Start();
        graph.Push(MakeSample(16, 7, 0, 33));
        std::string error;
        EXPECT_EQ(graph.Finish(&error), c.Delivers) << c.Format << ": " << error;
        EXPECT_EQ(recorder.Calls().size(), c.Delivers ? 1u : 0u) << c.Format;
    }
}

TMediaType VideoMediaType(const TGUID& subtype, const TGUID& formatType, int32_t width,
                          int32_t height) {
    TMediaType mt;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = subtype;
    TBitmapInfoHeader bitmap{};
    bitmap.biSize = sizeof bitmap;
    bitmap.biWidth = width;
    bitmap.biHeight = height;
    if (formatType == FORMAT_VideoInfo2) {
        TVideoInfoHeader2 info{};
        info.bmiHeader = bitmap;
        mt.SetFormat(FORMAT_VideoInfo2, info);
    } else if (formatType == FORMAT_MPEG2Video) {
        TMpeg2VideoInfo info{};
        info.hdr.bmiHeader = bitmap;
        mt.SetFormat(FORMAT_MPEG2Video, info);
    } else {
        TVideoInfoHeader info{};
        info.bmiHeader = bitmap;
        mt.SetFormat(FORMAT_VideoInfo, info);
    }
    return mt;
}

class VideoFrameGrabFilterMediaType : public ::testing::Test {
protected:
    void SetUp() override {
        FElement = TVideoFrameGrabFilter::CreateFromFactory();
        ASSERT_TRUE(FElement);
        FFilter = VideoFrameGrabFilterFromElement(FElement.Get());
        ASSERT_NE(FFilter, nullptr);
    }

    TGstElementHandle FElement;
    TVideoFrameGrabFilter* FFilter = nullptr;
};

TEST_F(VideoFrameGrabFilterMediaType, CheckAcceptsVideoRgb32Yuy2I420OrNv12WithAVideoInfoBlock) {
    struct TCase {
        const char* Name;
        TMediaType Type;
        HRESULT Expected;
    };
    TMediaType audio = VideoMediaType(MEDIASUBTYPE_YUY2, FORMAT_VideoInfo, 320, 240);
    audio.majortype = MEDIATYPE_Audio;
    TMediaType noFormat = VideoMediaType(MEDIASUBTYPE_RGB32, FORMAT_VideoInfo, 320, 240);
    noFormat.ClearFormat();
    const TCase cases[] = {
        {"RGB32 VideoInfo", VideoMediaType(MEDIASUBTYPE_RGB32, FORMAT_VideoInfo, 320, 240), S_OK},
        {"RGB32 VideoInfo2", VideoMediaType(MEDIASUBTYPE_RGB32, FORMAT_VideoInfo2, 320, 240), S_OK},
        {"YUY2 VideoInfo", VideoMediaType(MEDIASUBTYPE_YUY2, FORMAT_VideoInfo, 320, 240), S_OK},
        {"YUY2 VideoInfo2", VideoMediaType(MEDIASUBTYPE_YUY2, FORMAT_VideoInfo2, 320, 240), S_OK},
        {"I420 VideoInfo", VideoMediaType(MEDIASUBTYPE_I420, FORMAT_VideoInfo, 320, 240), S_OK},
        {"NV12 VideoInfo2", VideoMediaType(MEDIASUBTYPE_NV12, FORMAT_VideoInfo2, 321, 241), S_OK},
        {"I420 MPEG2Video format", VideoMediaType(MEDIASUBTYPE_I420, FORMAT_MPEG2Video, 320, 240),
         E_INVALIDARG},
        {"RGB24", VideoMediaType(MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, 320, 240), E_INVALIDARG},
        {"UYVY", VideoMediaType(MEDIASUBTYPE_UYVY, FORMAT_VideoInfo, 320, 240), E_INVALIDARG},
        {"MJPG", VideoMediaType(MEDIASUBTYPE_MJPG, FORMAT_VideoInfo, 320, 240), E_INVALIDARG},
        {"YUY2 MPEG2Video format", VideoMediaType(MEDIASUBTYPE_YUY2, FORMAT_MPEG2Video, 320, 240),
         E_INVALIDARG},
        {"audio major type", audio, E_INVALIDARG},
        {"no format block", noFormat, E_INVALIDARG},
    };
    LogCapture log;
    for (const TCase& c : cases) {
        EXPECT_EQ(FFilter->CheckMediaType(&c.Type), c.Expected) << c.Name;
    }
    EXPECT_EQ(FFilter->CheckMediaType(nullptr), E_POINTER);
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(VideoFrameGrabFilterMediaType, SetTakesColourSpaceAndSizeFromEitherFormatBlock) {
    const TMediaType yuy2 = VideoMediaType(MEDIASUBTYPE_YUY2, FORMAT_VideoInfo2, 640, 480);
    ASSERT_EQ(FFilter->SetMediaType(&yuy2), S_OK);
    EXPECT_FALSE(FFilter->IsRGB32ColorSpace());
    EXPECT_EQ(FFilter->Width(), 640);
    EXPECT_EQ(FFilter->Height(), 480);

    const TMediaType rgb32 = VideoMediaType(MEDIASUBTYPE_RGB32, FORMAT_VideoInfo, 320, 240);
    ASSERT_EQ(FFilter->SetMediaType(&rgb32), S_OK);
    EXPECT_TRUE(FFilter->IsRGB32ColorSpace());
    EXPECT_EQ(FFilter->Width(), 320);
    EXPECT_EQ(FFilter->Height(), 240);
    EXPECT_EQ(FFilter->SetMediaType(nullptr), E_POINTER);
}

TEST_F(VideoFrameGrabFilterMediaType, SetRestartsTheGrid) {
    const TMediaType yuy2 = VideoMediaType(MEDIASUBTYPE_YUY2, FORMAT_VideoInfo, 4, 2);
    ASSERT_EQ(FFilter->SetMediaType(&yuy2), S_OK);
    GstBuffer* sample = MakeSample(16, 128, 0, 33);
    EXPECT_EQ(FFilter->DoRenderSample(sample), S_OK);
    gst_buffer_unref(sample);
    EXPECT_EQ(FFilter->NextFrameTime(), TVideoFrameGrabFilter::kDefaultFrameTime);

    ASSERT_EQ(FFilter->SetMediaType(&yuy2), S_OK);
    EXPECT_EQ(FFilter->NextFrameTime(), 0);
}

TEST_F(VideoFrameGrabFilterMediaType, SetRefusesPicturesBeyondTheFrameBufferLimit) {
    LogCapture log;
    const TMediaType huge = VideoMediaType(MEDIASUBTYPE_YUY2, FORMAT_VideoInfo, 4002, 4000);
    EXPECT_EQ(FFilter->SetMediaType(&huge), E_INVALIDARG);
    const TMediaType largest = VideoMediaType(MEDIASUBTYPE_YUY2, FORMAT_VideoInfo, 4000, 4000);
    EXPECT_EQ(FFilter->SetMediaType(&largest), S_OK);
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(VideoFrameGrabFilterMediaType, SetWithoutAFormatBlockFailsWithItsLine) {
    LogCapture log;
    TMediaType broken = VideoMediaType(MEDIASUBTYPE_YUY2, FORMAT_VideoInfo, 320, 240);
    broken.format.resize(40);  // too small for a VIDEOINFOHEADER
    EXPECT_EQ(FFilter->SetMediaType(&broken), E_FAIL);
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{"Error in TVideoFrameGrabFilter.SetMediaType call..."});
}

// ---- Element and control interface ----

TEST(VideoFrameGrabFilterElement, IsARegisteredSinkWithOneInputPad) {
    ASSERT_TRUE(RegisterVideoFrameGrabFilter());
    ASSERT_TRUE(RegisterVideoFrameGrabFilter());  // any number of times
    GstElementFactory* factory = gst_element_factory_find(kVideoFrameGrabFilterFactoryName);
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(factory)),
              static_cast<guint>(GST_RANK_NONE));
    EXPECT_STREQ(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME),
                 kVideoFrameGrabFilterLongName);
    gst_object_unref(factory);

    TGstElementHandle grab = TVideoFrameGrabFilter::CreateFromFactory();
    ASSERT_TRUE(grab);
    EXPECT_TRUE(GST_OBJECT_FLAG_IS_SET(grab.Get(), GST_ELEMENT_FLAG_SINK));
    ASSERT_EQ(grab->numpads, 1u);
    GstPad* pad = GST_PAD(grab->pads->data);
    EXPECT_STREQ(GST_PAD_NAME(pad), kVideoFrameGrabFilterInputPinName);
    EXPECT_EQ(GST_PAD_DIRECTION(pad), GST_PAD_SINK);

    uint32_t flags = 0;
    EXPECT_EQ(VideoFrameGrabFilterFromElement(grab.Get())->GetMiscFlags(flags), S_OK);
    EXPECT_EQ(flags, AM_FILTER_MISC_FLAGS_IS_RENDERER);
}

TEST(VideoFrameGrabFilterElement, FilterAndControlComeOnlyFromFrameGrabElements) {
    TGstElementHandle grab = TVideoFrameGrabFilter::CreateFromFactory();
    TGstElementHandle other =
        TGstElementHandle::Adopt(gst_element_factory_make("fakesink", nullptr));
    ASSERT_TRUE(grab);
    ASSERT_TRUE(other);
    TVideoFrameGrabFilter* filter = VideoFrameGrabFilterFromElement(grab.Get());
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->Element(), grab.Get());
    EXPECT_EQ(VideoFrameGrabFilterControl(grab.Get()), filter);
    EXPECT_EQ(VideoFrameGrabFilterFromElement(other.Get()), nullptr);
    EXPECT_EQ(VideoFrameGrabFilterControl(other.Get()), nullptr);
    EXPECT_EQ(VideoFrameGrabFilterFromElement(nullptr), nullptr);
}

TEST(VideoFrameGrabFilterElement, GraphWrapperAddsItByFactoryName) {
    ASSERT_TRUE(RegisterVideoFrameGrabFilter());
    TDirectShowGraph graph;
    TGstElementHandle grab;
    ASSERT_EQ(graph.AddFilter(kVideoFrameGrabFilterFactoryName, grab, "VideoFrameGrabFilter"),
              S_OK);
    EXPECT_STREQ(GST_OBJECT_NAME(grab.Get()), "VideoFrameGrabFilter");
    EXPECT_NE(VideoFrameGrabFilterControl(grab.Get()), nullptr);
}

TEST(VideoFrameGrabFilterControl, FrameTimeStartsAtOneSecondAndKeepsWhatIsSet) {
    TGstElementHandle grab = TVideoFrameGrabFilter::CreateFromFactory();
    ASSERT_TRUE(grab);
    IVideoFrameGrabFilterControl* control = VideoFrameGrabFilterControl(grab.Get());
    ASSERT_NE(control, nullptr);
    int64_t frameTime = 0;
    EXPECT_EQ(control->GetFrameTime(frameTime), S_OK);
    EXPECT_EQ(frameTime, 10'000'000);
    for (const int64_t value : {int64_t{1'000'000}, int64_t{0}, int64_t{-5}, int64_t{333'667}}) {
        EXPECT_EQ(control->SetFrameTime(value), S_OK);
        EXPECT_EQ(control->GetFrameTime(frameTime), S_OK);
        EXPECT_EQ(frameTime, value);
    }
    EXPECT_EQ(control->SetNextFrameDataFunction(nullptr), S_OK);
}

// ---- Frame-time grid ----

struct TSample {
    int64_t StartMs;     // kNone: no time stamp
    int64_t DurationMs;  // kNone: no duration
};

struct TGridCase {
    const char* Name;
    int64_t FrameTime;
    std::vector<TSample> Samples;  // sample i is filled with byte i + 1
    std::vector<int> Delivered;    // the samples the callbacks got, in order
};

const TGridCase kGridCases[] = {
    {"first sample at once", TVideoFrameGrabFilter::kDefaultFrameTime, {{0, 33}}, {1}},
    {"first sample at once, however late", 100 * kUnitsPerMs, {{250, 33}}, {1, 1, 1}},
    {"ending exactly at the due point gives none",
     100 * kUnitsPerMs,
     {{0, 100}, {50, 50}, {100, 33}},
     {1, 3}},
    {"350 ms past the due point gives four",
     100 * kUnitsPerMs,
     {{0, 33}, {400, 50}},
     {1, 2, 2, 2, 2}},
    {"faster source skipped",
     100 * kUnitsPerMs,
     {{0, 40}, {40, 40}, {80, 40}, {120, 40}, {160, 40}, {200, 40}},
     {1, 3, 6}},
    {"without duration a sample is an instant",
     100 * kUnitsPerMs,
     {{0, kNone}, {50, kNone}, {100, kNone}, {150, kNone}, {350, kNone}},
     {1, 3, 5, 5}},
    {"frame time 0 delivers every sample once", 0, {{0, 33}, {33, 33}, {66, 34}}, {1, 2, 3}},
    {"negative frame time delivers every sample once",
     -1'000'000,
     {{0, 33}, {500, 33}, {1000, kNone}},
     {1, 2, 3}},
    {"samples without time stamps are delivered once each",
     100 * kUnitsPerMs,
     {{kNone, kNone}, {kNone, 33}, {kNone, kNone}},
     {1, 2, 3}},
};

void PrintTo(const TGridCase& c, std::ostream* os) {
    *os << c.Name;
}

class VideoFrameGrabFilterGrid : public ::testing::TestWithParam<TGridCase> {};

INSTANTIATE_TEST_SUITE_P(, VideoFrameGrabFilterGrid, ::testing::ValuesIn(kGridCases),
                         [](const auto& info) {
                             std::string name = info.param.Name;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) {
                                     ch = '_';
                                 }
                             }
                             return name;
                         });

// A new format in the middle of a long stream restarts the grid at 0; the next picture is then
// delivered once for its own grid point, not once for every grid point since the stream began.
TEST(VideoFrameGrabFilterGridRestart, FormatChangeMidStreamDoesNotRepeatThePictureSinceTimeZero) {
    TPushGraph graph(kTinyBgrx);
    TFrameRecorder recorder;
    ASSERT_EQ(graph.Filter().SetNextFrameDataFunction(recorder.Callback()), S_OK);
    ASSERT_EQ(graph.Filter().SetFrameTime(100 * kUnitsPerMs), S_OK);
    graph.Start();
    graph.Push(MakeSample(kTinyBgrxBytes, 1, 0, 33));
    graph.Push(MakeSample(kTinyBgrxBytes, 2, 60'000, 33));  // one minute later: 600 repeats
    GstCaps* wider =
        gst_caps_from_string("video/x-raw,format=BGRx,width=4,height=2,framerate=30/1");
    g_object_set(graph.Source(), "caps", wider, nullptr);
    gst_caps_unref(wider);
    graph.Push(MakeSample(2 * kTinyBgrxBytes, 3, 60'100, 33));
    ASSERT_TRUE(graph.Finish());
    const std::vector<int> samples = recorder.Samples();
    ASSERT_FALSE(samples.empty());
    EXPECT_EQ(std::count(samples.begin(), samples.end(), 3), 1);
    EXPECT_EQ(std::count(samples.begin(), samples.end(), 2), 600) << "the grid rule itself stays";
}

// The sink prerolls again when the graph pauses on its way to a stop. That preroll belongs to
// the running stream: a sample whose grid points were served is not delivered again, and a
// newer one only for its own grid points, never for every grid point since time zero.
TEST(VideoFrameGrabFilterGridRestart, PrerollDuringAStopDeliversNoStaleFrames) {
    struct TCase {
        const char* Name;
        int64_t PrerollStartMs;
        int Delivered;  // deliveries of the prerolled sample
    } const cases[] = {
        {"the picture already served", 44'000, 0},
        {"a newer picture on the next grid point", 44'100, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TPushGraph graph(kTinyBgrx);
        TFrameRecorder recorder;
        ASSERT_EQ(graph.Filter().SetNextFrameDataFunction(recorder.Callback()), S_OK);
        ASSERT_EQ(graph.Filter().SetFrameTime(100 * kUnitsPerMs), S_OK);
        graph.Start();
        graph.Push(MakeSample(kTinyBgrxBytes, 1, 0, 33));
        graph.Push(MakeSample(kTinyBgrxBytes, 2, 44'000, 33));
        ASSERT_TRUE(graph.Finish());
        GstBuffer* again = MakeSample(kTinyBgrxBytes, 3, c.PrerollStartMs, 33);
        graph.Filter().OnReceiveFirstSample(again);
        gst_buffer_unref(again);
        const std::vector<int> samples = recorder.Samples();
        EXPECT_EQ(std::count(samples.begin(), samples.end(), 3), c.Delivered);
    }
}

TEST_P(VideoFrameGrabFilterGrid, DeliversTheSamplesOfTheGridPoints) {
    const TGridCase& c = GetParam();
    TPushGraph graph(kTinyBgrx);
    TFrameRecorder recorder;
    ASSERT_EQ(graph.Filter().SetNextFrameDataFunction(recorder.Callback()), S_OK);
    ASSERT_EQ(graph.Filter().SetFrameTime(c.FrameTime), S_OK);
    graph.Start();
    for (size_t i = 0; i < c.Samples.size(); ++i) {
        graph.Push(MakeSample(kTinyBgrxBytes, static_cast<uint8_t>(i + 1), c.Samples[i].StartMs,
                              c.Samples[i].DurationMs));
    }
    ASSERT_TRUE(graph.Finish());
    EXPECT_EQ(recorder.Samples(), c.Delivered);
}

// A 30 frames-per-second source for 3 s of time stamps.
TEST(VideoFrameGrabFilterCadence, ThirtyFramesPerSecondSourceAtTheFrameTime) {
    struct TCase {
        int64_t FrameTime;
        size_t Callbacks;
    };
    for (const TCase c : {
             TCase{1'000'000, 30},
             TCase{TVideoFrameGrabFilter::kDefaultFrameTime, 3},
         }) {
        TPushGraph graph(kTinyBgrx);
        TFrameRecorder recorder;
        graph.Filter().SetNextFrameDataFunction(recorder.Callback());
        graph.Filter().SetFrameTime(c.FrameTime);
        graph.Start();
        for (int k = 0; k < 90; ++k) {
            GstBuffer* sample = MakeSample(kTinyBgrxBytes, 1, kNone, kNone);
            GST_BUFFER_PTS(sample) = gst_util_uint64_scale(k, GST_SECOND, 30);
            GST_BUFFER_DURATION(sample) =
                gst_util_uint64_scale(k + 1, GST_SECOND, 30) - GST_BUFFER_PTS(sample);
            graph.Push(sample);
        }
        ASSERT_TRUE(graph.Finish());
        EXPECT_EQ(recorder.Calls().size(), c.Callbacks) << "frame time " << c.FrameTime;
    }
}

TEST(VideoFrameGrabFilterCadence, GridAdvancesWithoutACallback) {
    TPushGraph graph(kTinyBgrx);
    graph.Filter().SetFrameTime(100 * kUnitsPerMs);
    graph.Start();
    graph.Push(MakeSample(kTinyBgrxBytes, 1, 0, 33));
    graph.Push(MakeSample(kTinyBgrxBytes, 2, 400, 50));
    ASSERT_TRUE(graph.Finish());
    EXPECT_EQ(graph.Filter().NextFrameTime(), 500 * kUnitsPerMs);
}

// The callback runs without the filter's lock: it may change the frame time, which the next
// advance of the grid uses.
TEST(VideoFrameGrabFilterCadence, CallbackMayChangeTheFrameTime) {
    TPushGraph graph(kTinyBgrx);
    TVideoFrameGrabFilter& filter = graph.Filter();
    TFrameRecorder recorder;
    const TNextFrameDataFunction record = recorder.Callback();
    filter.SetFrameTime(100 * kUnitsPerMs);
    filter.SetNextFrameDataFunction([&filter, record](uint8_t* Data, int32_t Size) {
        int64_t frameTime = 0;
        filter.GetFrameTime(frameTime);
        filter.SetFrameTime(frameTime * 2);
        return record(Data, Size);
    });
    graph.Start();
    for (int i = 0; i < 8; ++i) {
        graph.Push(MakeSample(kTinyBgrxBytes, static_cast<uint8_t>(i + 1), i * 100, 100));
    }
    ASSERT_TRUE(graph.Finish());
    // Grid points 0, 200 (after +200), 600 (after +400).
    EXPECT_EQ(recorder.Samples(), (std::vector<int>{1, 3, 7}));
}

// ---- Frames ----

TEST(VideoFrameGrabFilterFrames, Yuy2IsConvertedBottomUpIntoOneFrameBuffer) {
    // 4 x 2: top row white (Y 235), bottom row black (Y 15), chroma neutral.
    const TBytes picture = {235, 128, 235, 128, 235, 128, 235, 128,
                            15,  128, 15,  128, 15,  128, 15,  128};
    TPushGraph graph("video/x-raw,format=YUY2,width=4,height=2,framerate=30/1");
    TFrameRecorder recorder;
    graph.Filter().SetNextFrameDataFunction(recorder.Callback());
    graph.Filter().SetFrameTime(100 * kUnitsPerMs);
    graph.Start();
    for (int i = 0; i < 3; ++i) {
        graph.Push(MakeSample(picture, i * 100, 100));
    }
    ASSERT_TRUE(graph.Finish());

    const auto calls = recorder.Calls();
    ASSERT_EQ(calls.size(), 3u);
    TBytes expected;
    for (int i = 0; i < 4; ++i) {
        expected.insert(expected.end(), {0, 0, 0, 0});  // bottom line first
    }
    for (int i = 0; i < 4; ++i) {
        expected.insert(expected.end(), {226, 226, 226, 0});
    }
    for (const auto& call : calls) {
        EXPECT_EQ(call.Data, graph.Filter().FrameBuffer());  // no buffer per frame
        EXPECT_EQ(call.Size, 4 * 2 * 4);                     // twice the 16 YUY2 bytes
        EXPECT_EQ(call.Bytes, expected);
    }
}

TEST(VideoFrameGrabFilterFrames, Rgb32RowsAreFlipped) {
    TBytes picture(3 * 2 * 4);
    for (size_t i = 0; i < picture.size(); ++i) {
        picture[i] = static_cast<uint8_t>(i + 1);
    }
    for (const char* format : {"BGRx", "BGRA"}) {
        TPushGraph graph(std::string("video/x-raw,format=") + format +
                         ",width=3,height=2,framerate=30/1");
        TFrameRecorder recorder;
        graph.Filter().SetNextFrameDataFunction(recorder.Callback());
        graph.Start();
        graph.Push(MakeSample(picture, 0, 33));
        ASSERT_TRUE(graph.Finish());

        const auto calls = recorder.Calls();
        ASSERT_EQ(calls.size(), 1u) << format;
        EXPECT_EQ(calls[0].Data, graph.Filter().FrameBuffer()) << format;
        EXPECT_EQ(calls[0].Size, 24) << format;
        TBytes expected(picture.begin() + 12, picture.end());
        expected.insert(expected.end(), picture.begin(), picture.begin() + 12);
        EXPECT_EQ(calls[0].Bytes, expected) << format;
    }
}

// Planar pictures without a video meta lie in GStreamer's default layout, where the luma plane
// spans an even number of rows: I420 5 x 3 has luma rows of 8 bytes, then U and V planes of
// two 4-byte rows at 32 and 40 (48 bytes); NV12 5 x 3 has the same luma, then two 8-byte rows
// of U V pairs at 32 (48 bytes).
// Each 2 x 2 block (chroma sample) gets its own colour, so a misplaced plane, row or sample
// shows.
TEST(VideoFrameGrabFilterFrames, PlanarPicturesInTheDefaultLayoutAreConvertedBottomUp) {
    struct TBlock {
        uint8_t Y, U, V;
    };
    // Colours worked out from the conversion formula; blocks in row-major order.
    const TBlock blocks[2][3] = {{{235, 128, 128}, {81, 90, 240}, {145, 54, 34}},
                                 {{41, 240, 110}, {15, 128, 128}, {160, 200, 60}}};
    const TBytes colours[2][3] = {{{226, 226, 226, 0}, {0, 0, 246, 0}, {0, 239, 0, 0}},
                                  {{249, 0, 0, 0}, {0, 0, 0, 0}, {255, 176, 41, 0}}};
    TBytes expected;
    for (int y = 2; y >= 0; --y) {  // bottom row first
        for (int x = 0; x < 5; ++x) {
            const TBytes& c = colours[y / 2][x / 2];
            expected.insert(expected.end(), c.begin(), c.end());
        }
    }
    for (const char* format : {"I420", "NV12"}) {
        const bool i420 = std::string(format) == "I420";
        TBytes picture(48, 0x33);  // padding bytes that would convert to another colour
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                picture[y * 8 + x] = blocks[y / 2][x / 2].Y;
            }
        }
        for (int cy = 0; cy < 2; ++cy) {
            for (int cx = 0; cx < 3; ++cx) {
                const TBlock& b = blocks[cy][cx];
                if (i420) {
                    picture[32 + cy * 4 + cx] = b.U;
                    picture[40 + cy * 4 + cx] = b.V;
                } else {
                    picture[32 + cy * 8 + cx * 2] = b.U;
                    picture[32 + cy * 8 + cx * 2 + 1] = b.V;
                }
            }
        }
        TPushGraph graph(std::string("video/x-raw,format=") + format +
                         ",width=5,height=3,framerate=30/1");
        TFrameRecorder recorder;
        graph.Filter().SetNextFrameDataFunction(recorder.Callback());
        graph.Start();
        graph.Push(MakeSample(picture, 0, 33));
        ASSERT_TRUE(graph.Finish()) << format;
        const auto calls = recorder.Calls();
        ASSERT_EQ(calls.size(), 1u) << format;
        EXPECT_EQ(calls[0].Data, graph.Filter().FrameBuffer()) << format;
        EXPECT_EQ(calls[0].Size, 5 * 3 * 4) << format;
        EXPECT_EQ(calls[0].Bytes, expected) << format;
    }
}

// A video meta places the planes anywhere in the buffer with any stride: here the planes lie
// in reverse order with padded rows, and the frame must equal the conversion of the picture in
// its plain layout.
TEST(VideoFrameGrabFilterFrames, VideoMetaPlanesAndStridesAreFollowed) {
    constexpr int kWidth = 37;
    constexpr int kHeight = 5;
    constexpr int kChromaWidth = 19;
    constexpr int kChromaHeight = 3;
    TBytes luma(kWidth * kHeight);
    TBytes u(kChromaWidth * kChromaHeight);
    TBytes v(kChromaWidth * kChromaHeight);
    for (size_t i = 0; i < luma.size(); ++i) {
        luma[i] = static_cast<uint8_t>(i * 7 + 16);
    }
    for (size_t i = 0; i < u.size(); ++i) {
        u[i] = static_cast<uint8_t>(i * 13 + 40);
        v[i] = static_cast<uint8_t>(250 - i * 11);
    }
    TBytes uv;
    for (size_t i = 0; i < u.size(); ++i) {
        uv.insert(uv.end(), {u[i], v[i]});
    }

    struct TPlaneData {
        const TBytes* Rows;
        int RowBytes, Rows_, Stride;
    };
    struct TCase {
        const char* Format;
        GstVideoFormat VideoFormat;
        std::vector<TPlaneData> Planes;  // in GStreamer's plane order
    };
    const TCase cases[] = {
        {"I420",
         GST_VIDEO_FORMAT_I420,
         {{&luma, kWidth, kHeight, 48}, {&u, kChromaWidth, kChromaHeight, 29},
          {&v, kChromaWidth, kChromaHeight, 21}}},
        {"NV12",
         GST_VIDEO_FORMAT_NV12,
         {{&luma, kWidth, kHeight, 41}, {&uv, kChromaWidth * 2, kChromaHeight, 64}}},
    };
    TBytes expected(kWidth * kHeight * 4);
    PlanarYuvConversionScalar::ConvertI420ToRGB32(luma.data(), kWidth, u.data(), kChromaWidth,
                                                  v.data(), kChromaWidth, expected.data(), kWidth,
                                                  kHeight);
    for (const TCase& c : cases) {
        // Planes written from the end of the buffer backwards, after 5 leading bytes.
        TBytes buffer(5, 0x77);
        gsize offsets[GST_VIDEO_MAX_PLANES] = {};
        gint strides[GST_VIDEO_MAX_PLANES] = {};
        size_t total = 5;
        for (const TPlaneData& plane : c.Planes) {
            total += static_cast<size_t>(plane.Stride) * plane.Rows_;
        }
        buffer.resize(total, 0x77);
        size_t end = total;
        for (size_t p = 0; p < c.Planes.size(); ++p) {
            const TPlaneData& plane = c.Planes[p];
            end -= static_cast<size_t>(plane.Stride) * plane.Rows_;
            offsets[p] = end;
            strides[p] = plane.Stride;
            for (int r = 0; r < plane.Rows_; ++r) {
                std::memcpy(&buffer[end + static_cast<size_t>(r) * plane.Stride],
                            plane.Rows->data() + static_cast<size_t>(r) * plane.RowBytes,
                            static_cast<size_t>(plane.RowBytes));
            }
        }
        ASSERT_EQ(end, 5u);
        GstBuffer* sample = MakeSample(buffer, 0, 33);
        gst_buffer_add_video_meta_full(sample, GST_VIDEO_FRAME_FLAG_NONE, c.VideoFormat, kWidth,
                                       kHeight, static_cast<guint>(c.Planes.size()), offsets,
                                       strides);
        TPushGraph graph(std::string("video/x-raw,format=") + c.Format + ",width=37,height=5," +
                         "framerate=30/1");
        TFrameRecorder recorder;
        graph.Filter().SetNextFrameDataFunction(recorder.Callback());
        graph.Start();
        graph.Push(sample);
        ASSERT_TRUE(graph.Finish()) << c.Format;
        const auto calls = recorder.Calls();
        ASSERT_EQ(calls.size(), 1u) << c.Format;
        EXPECT_EQ(calls[0].Bytes, expected) << c.Format;
    }
}

// videotestsrc renders the same picture in each format; the delivered frame must equal the
// conversion of exactly the buffer the sink received (mapped through GStreamer's own frame
// mapping, which reads the video meta when there is one), at even and odd sizes. Solid colours
// have the same chroma in every block, so there all formats also give the same frame (at even
// widths: videotestsrc fills the chroma of an odd width's last YUY2 group differently).
TEST(VideoFrameGrabFilterPipeline, TestSourceFramesEqualTheConversionOfTheirBuffers) {
    ASSERT_TRUE(RegisterVideoFrameGrabFilter());
    struct TCase {
        const char* Pattern;
        int Width, Height;
        bool Solid;
    };
    const TCase cases[] = {{"smpte", 320, 240, false}, {"smpte", 321, 241, false},
                           {"ball", 64, 48, false},    {"red", 320, 240, true},
                           {"blue", 160, 120, true},   {"white", 34, 17, true}};
    for (const TCase& c : cases) {
        TBytes solidFrame;
        for (const char* format : {"YUY2", "I420", "NV12"}) {
            const std::string name = std::string(c.Pattern) + " " + std::to_string(c.Width) +
                                     "x" + std::to_string(c.Height) + " " + format;
            const std::string caps = std::string("video/x-raw,format=") + format +
                                     ",width=" + std::to_string(c.Width) +
                                     ",height=" + std::to_string(c.Height) + ",framerate=10/1";
            GError* error = nullptr;
            TGstElementHandle pipeline = TGstElementHandle::Adopt(gst_parse_launch(
                ("videotestsrc num-buffers=1 pattern=" + std::string(c.Pattern) + " ! " + caps +
                 " ! tandrelframegrab name=grab sync=false")
                    .c_str(),
                &error));
            ASSERT_EQ(error, nullptr) << name << ": " << error->message;
            TGstElementHandle grab =
                TGstElementHandle::Adopt(gst_bin_get_by_name(GST_BIN(pipeline.Get()), "grab"));
            TGstPadHandle pad = TGstPadHandle::Adopt(gst_element_get_static_pad(grab.Get(), "sink"));

            // The expected frame, computed from the buffer as it arrives at the sink.
            struct TProbeState {
                GstVideoInfo Info;
                TBytes Expected;
            } probe;
            GstCaps* parsed = gst_caps_from_string(caps.c_str());
            ASSERT_TRUE(gst_video_info_from_caps(&probe.Info, parsed)) << name;
            gst_caps_unref(parsed);
            gst_pad_add_probe(
                pad.Get(), GST_PAD_PROBE_TYPE_BUFFER,
                [](GstPad*, GstPadProbeInfo* info, gpointer data) {
                    auto* state = static_cast<TProbeState*>(data);
                    GstVideoFrame frame;
                    if (!gst_video_frame_map(&frame, &state->Info, GST_PAD_PROBE_INFO_BUFFER(info),
                                             GST_MAP_READ)) {
                        return GST_PAD_PROBE_OK;
                    }
                    const int w = GST_VIDEO_FRAME_WIDTH(&frame);
                    const int h = GST_VIDEO_FRAME_HEIGHT(&frame);
                    state->Expected.assign(static_cast<size_t>(w) * h * 4, 0);
                    const auto plane = [&](int p) {
                        return static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
                    };
                    const auto stride = [&](int p) { return GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p); };
                    switch (GST_VIDEO_FRAME_FORMAT(&frame)) {
                        case GST_VIDEO_FORMAT_YUY2:
                            Yuy2ConversionScalar::ConvertYUY2ToRGB32(
                                plane(0), stride(0), state->Expected.data(), w, h);
                            break;
                        case GST_VIDEO_FORMAT_I420:
                            PlanarYuvConversionScalar::ConvertI420ToRGB32(
                                plane(0), stride(0), plane(1), stride(1), plane(2), stride(2),
                                state->Expected.data(), w, h);
                            break;
                        case GST_VIDEO_FORMAT_NV12:
                            PlanarYuvConversionScalar::ConvertNV12ToRGB32(
                                plane(0), stride(0), plane(1), stride(1), state->Expected.data(),
                                w, h);
                            break;
                        default:
                            break;
                    }
                    gst_video_frame_unmap(&frame);
                    return GST_PAD_PROBE_OK;
                },
                &probe, nullptr);

            TFrameRecorder recorder;
            VideoFrameGrabFilterControl(grab.Get())->SetNextFrameDataFunction(recorder.Callback());
            ASSERT_NE(gst_element_set_state(pipeline.Get(), GST_STATE_PLAYING),
                      GST_STATE_CHANGE_FAILURE);
            TGstBusHandle bus = TGstBusHandle::Adopt(gst_element_get_bus(pipeline.Get()));
            TGstMessageHandle message = TGstMessageHandle::Adopt(gst_bus_timed_pop_filtered(
                bus.Get(), 10 * GST_SECOND,
                static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
            gst_element_set_state(pipeline.Get(), GST_STATE_NULL);
            ASSERT_TRUE(message && GST_MESSAGE_TYPE(message.Get()) == GST_MESSAGE_EOS) << name;

            const auto calls = recorder.Calls();
            ASSERT_EQ(calls.size(), 1u) << name;
            ASSERT_EQ(calls[0].Size, c.Width * c.Height * 4) << name;
            EXPECT_EQ(calls[0].Bytes, probe.Expected) << name;
            if (c.Solid) {
                if (solidFrame.empty()) {
                    solidFrame = calls[0].Bytes;
                }
                EXPECT_EQ(calls[0].Bytes, solidFrame) << name << " against YUY2";
            }
        }
    }
}

// ---- Failures ----

TEST(VideoFrameGrabFilterFailures, FailingCallbackLeavesTheSampleDueAndStreamingGoesOn) {
    LogCapture log;
    TPushGraph graph(kTinyBgrx);
    TFrameRecorder recorder;
    const TNextFrameDataFunction record = recorder.Callback();
    graph.Filter().SetFrameTime(100 * kUnitsPerMs);
    graph.Filter().SetNextFrameDataFunction([record](uint8_t* Data, int32_t Size) {
        if (Data[0] == 2) {
            throw std::runtime_error("consumer failed");
        }
        return record(Data, Size);
    });
    graph.Start();
    graph.Push(MakeSample(kTinyBgrxBytes, 1, 0, 33));
    graph.Push(MakeSample(kTinyBgrxBytes, 2, 100, 33));
    graph.Push(MakeSample(kTinyBgrxBytes, 3, 150, 33));  // due at 100 still
    graph.Push(MakeSample(kTinyBgrxBytes, 4, 200, 33));
    ASSERT_TRUE(graph.Finish());
    EXPECT_EQ(recorder.Samples(), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{"Error in TVideoFrameGrabFilter.DoRenderSample call..."});
}

TEST(VideoFrameGrabFilterFailures, ShortSampleIsLoggedAndSkipped) {
    LogCapture log;
    TPushGraph graph("video/x-raw,format=YUY2,width=4,height=2,framerate=30/1");
    TFrameRecorder recorder;
    graph.Filter().SetNextFrameDataFunction(recorder.Callback());
    graph.Filter().SetFrameTime(100 * kUnitsPerMs);
    graph.Start();
    graph.Push(MakeSample(8, 128, 0, 100));    // half a picture
    graph.Push(MakeSample(16, 128, 50, 100));  // the grid still waits at 0
    ASSERT_TRUE(graph.Finish());
    EXPECT_EQ(recorder.Calls().size(), 2u);  // grid points 0 and 100 from the second sample
    EXPECT_TRUE(log.Contains("Error in TVideoFrameGrabFilter.DoRenderSample call..."));
}

// A sample that cannot hold every plane of its picture is refused before anything is read:
// short default-layout buffers and video metas whose planes reach past the buffer's end. A
// sample that ends right after the last byte the picture needs (no padding) is delivered.
TEST(VideoFrameGrabFilterFailures, PlanarSampleTooSmallForAPlaneIsRefused) {
    struct TMetaPlanes {
        guint Count;
        gsize Offsets[3];
        gint Strides[3];
    };
    struct TCase {
        const char* Name;
        const char* Format;
        size_t Bytes;
        bool HasMeta;
        TMetaPlanes Meta;
        bool Delivered;
    };
    // 4 x 2 pictures. Default layouts: I420 luma 8 bytes at 0, U and V rows of 4 bytes (2 used)
    // at 8 and 12, 16 bytes in all; NV12 luma 8 bytes, then one 4-byte row of U V pairs at 8.
    // (A refused sample is logged at preroll and again when rendered.)
    const TCase cases[] = {
        {"I420 without its V plane", "I420", 12, false, {}, false},
        {"I420 ending inside its V row", "I420", 13, false, {}, false},
        {"I420 ending at its last V byte", "I420", 14, false, {}, true},
        {"NV12 missing its last byte", "NV12", 11, false, {}, false},
        {"NV12 complete", "NV12", 12, false, {}, true},
        {"I420 meta with V past the end", "I420", 16, true, {3, {0, 8, 15}, {4, 2, 2}}, false},
        {"NV12 meta with chroma past the end", "NV12", 12, true, {2, {0, 9}, {4, 4}}, false},
        {"NV12 meta with a luma stride shorter than a row", "NV12", 12, true, {2, {0, 8}, {3, 4}},
         false},
        {"I420 meta with a negative stride", "I420", 16, true, {3, {0, 8, 12}, {-4, 2, 2}},
         false},
        {"I420 meta with too few planes", "I420", 16, true, {1, {0}, {4}}, false},
        {"NV12 meta with a huge offset", "NV12", 12, true, {2, {0, ~gsize{0} - 2}, {4, 4}}, false},
        {"I420 meta with tight planes", "I420", 12, true, {3, {0, 8, 10}, {4, 2, 2}}, true},
    };
    for (const TCase& c : cases) {
        LogCapture log;
        TPushGraph graph(std::string("video/x-raw,format=") + c.Format +
                         ",width=4,height=2,framerate=30/1");
        TFrameRecorder recorder;
        graph.Filter().SetNextFrameDataFunction(recorder.Callback());
        graph.Start();
        GstBuffer* sample = MakeSample(c.Bytes, 128, 0, 33);
        if (c.HasMeta) {
            const GstVideoFormat format =
                std::string(c.Format) == "I420" ? GST_VIDEO_FORMAT_I420 : GST_VIDEO_FORMAT_NV12;
            gsize offsets[GST_VIDEO_MAX_PLANES] = {};
            gint strides[GST_VIDEO_MAX_PLANES] = {};
            std::copy(c.Meta.Offsets, c.Meta.Offsets + 3, offsets);
            std::copy(c.Meta.Strides, c.Meta.Strides + 3, strides);
            gst_buffer_add_video_meta_full(sample, GST_VIDEO_FRAME_FLAG_NONE, format, 4, 2,
                                           c.Meta.Count, offsets, strides);
        }
        graph.Push(sample);
        ASSERT_TRUE(graph.Finish()) << c.Name;
        EXPECT_EQ(recorder.Calls().size(), c.Delivered ? 1u : 0u) << c.Name;
        const auto lines = log.Lines();
        EXPECT_EQ(lines.empty(), c.Delivered) << c.Name;
        for (const std::string& line : lines) {
            EXPECT_EQ(line, "Error in TVideoFrameGrabFilter.DoRenderSample call...") << c.Name;
        }
    }
}

TEST(VideoFrameGrabFilterFailures, RenderWithoutASampleIsAPointerError) {
    TGstElementHandle grab = TVideoFrameGrabFilter::CreateFromFactory();
    ASSERT_TRUE(grab);
    LogCapture log;
    EXPECT_EQ(VideoFrameGrabFilterFromElement(grab.Get())->DoRenderSample(nullptr), E_POINTER);
    EXPECT_TRUE(log.Lines().empty());
}

// ---- A live source ----

TEST(VideoFrameGrabFilterPipeline, LiveTestSourceDeliversConvertedFrames) {
    ASSERT_TRUE(RegisterVideoFrameGrabFilter());
    LogCapture log;
    auto graph = TDirectShowGraph::CreateNoClock();
    ASSERT_TRUE(graph->Valid());
    TGstElementHandle source;
    TGstElementHandle caps;
    TGstElementHandle grab;
    ASSERT_EQ(graph->AddFilter("videotestsrc", source, "Test Pattern"), S_OK);
    ASSERT_EQ(graph->AddFilter("capsfilter", caps, "Format"), S_OK);
    ASSERT_EQ(graph->AddFilter(kVideoFrameGrabFilterFactoryName, grab, "VideoFrameGrabFilter"),
              S_OK);
    g_object_set(source.Get(), "is-live", TRUE, "pattern", 3 /* white */, nullptr);
    GstCaps* format =
        gst_caps_from_string("video/x-raw,format=YUY2,width=320,height=240,framerate=30/1");
    g_object_set(caps.Get(), "caps", format, nullptr);
    gst_caps_unref(format);
    ASSERT_EQ(graph->ConnectFilters(source.Get(), caps.Get()), S_OK);
    ASSERT_EQ(graph->ConnectFilters(caps.Get(), grab.Get()), S_OK);

    IVideoFrameGrabFilterControl* control = VideoFrameGrabFilterControl(grab.Get());
    ASSERT_NE(control, nullptr);
    TFrameRecorder recorder;
    ASSERT_EQ(control->SetNextFrameDataFunction(recorder.Callback()), S_OK);
    ASSERT_EQ(control->SetFrameTime(1'000'000), S_OK);
    ASSERT_EQ(graph->Play(), S_OK);
    const bool delivered = recorder.WaitForCalls(3);
    graph->Stop();
    ASSERT_TRUE(delivered);

    const TVideoFrameGrabFilter* filter = VideoFrameGrabFilterFromElement(grab.Get());
    for (const auto& call : recorder.Calls()) {
        EXPECT_EQ(call.Data, filter->FrameBuffer());
        ASSERT_EQ(call.Size, 320 * 240 * 4);
        TBytes white;
        for (int i = 0; i < 320 * 240; ++i) {
            white.insert(white.end(), {226, 226, 226, 0});
        }
        EXPECT_EQ(call.Bytes, white);
    }
    EXPECT_TRUE(log.Lines().empty());
}

}  // namespace
