#include "graph/GraphFunctions.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "graph/DirectShowGraph.h"
#include "graph/FileRenderProbe.h"
#include "graph/Graph.h"
#include "graph/GraphPads.h"
#include "graph/GraphTestSupport.h"
#include "support/LogCapture.h"

namespace {

namespace fs = std::filesystem;

// Runs a launch line to its end of stream; the files of the CanFileRender cases are made so.
bool RunToEnd(const std::string& launch) {
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(launch.c_str(), &error);
    if (pipeline == nullptr) {
        g_clear_error(&error);
        return false;
    }
    g_clear_error(&error);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(
        bus, 20 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = msg != nullptr && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
    if (msg != nullptr) {
        gst_message_unref(msg);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok;
}

class CanFileRenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        gFolder = fs::temp_directory_path() / ("tandrel-graph-" + std::to_string(::getpid()));
        fs::create_directories(gFolder);
    }
    static void TearDownTestSuite() { fs::remove_all(gFolder); }
    static std::string File(const char* name) { return (gFolder / name).string(); }
    static fs::path gFolder;
};
fs::path CanFileRenderTest::gFolder;

TEST_F(CanFileRenderTest, AnswersTrueForFilesWithAudioOrVideo) {
    const std::string wav = File("alarm.wav");
    const std::string avi = File("alarm.avi");
    const std::string mkv = File("alarm.mkv");
    ASSERT_TRUE(RunToEnd("audiotestsrc num-buffers=20 ! wavenc ! filesink location=" + wav));
    ASSERT_TRUE(
        RunToEnd("videotestsrc num-buffers=10 ! video/x-raw,width=160,height=120 ! "
                 "jpegenc ! avimux ! filesink location=" +
                 avi));
    ASSERT_TRUE(
        RunToEnd("videotestsrc num-buffers=10 ! video/x-raw,width=160,height=120 ! "
                 "jpegenc ! mux. audiotestsrc num-buffers=10 ! audioconvert ! mux. "
                 "matroskamux name=mux ! filesink location=" +
                 mkv));
    for (const auto& file : {wav, avi, mkv}) {
        EXPECT_TRUE(CanFileRender(file)) << file;
    }
}

TEST_F(CanFileRenderTest, AnswersFalseForFilesThatDoNotRender) {
    const std::string garbage = File("garbage.avi");
    const std::string text = File("notes.wav");
    const std::string empty = File("empty.mp4");
    {
        std::ofstream out(garbage, std::ios::binary);
        uint32_t x = 2463534242u;
        for (int i = 0; i < 65536; ++i) {  // xorshift noise
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            out.put(static_cast<char>(x & 0xFF));
        }
    }
    std::ofstream(text) << "This is not a sound.\nJust two lines of text.\n";
    std::ofstream(empty).flush();
    LogCapture log;
    for (const auto& file :
         {garbage, text, empty, File("missing.wav"), gFolder.string(), std::string()}) {
        EXPECT_FALSE(CanFileRender(file)) << file;
    }
}

// Graphs that end decoded streams in sinks: Stop takes the decoder's outputs away and the
// next start brings them back, when they have to find the sinks of the first start again
// instead of a second set that never prerolls.
using GraphRenderTest = CanFileRenderTest;

struct TSinkCount {
    int Audio = 0;  // by the caps of their input, so only meaningful while data flows
    int Video = 0;
    int All = 0;
};

TSinkCount CountSinks(const TGraphCommon& graph) {
    GstBin* bin = GST_BIN(graph.GraphBuilder());
    std::vector<TGstElementHandle> sinks;
    GST_OBJECT_LOCK(bin);
    for (GList* l = GST_BIN_CHILDREN(bin); l != nullptr; l = l->next) {
        if (GST_OBJECT_FLAG_IS_SET(l->data, GST_ELEMENT_FLAG_SINK)) {
            sinks.push_back(TGstElementHandle::Ref(GST_ELEMENT(l->data)));
        }
    }
    GST_OBJECT_UNLOCK(bin);
    TSinkCount count;
    for (const auto& sink : sinks) {
        ++count.All;
        TGstPadHandle input = TGstPadHandle::Adopt(gst_element_get_static_pad(sink.Get(), "sink"));
        TGstCapsHandle caps = GraphPads::ConnectionCaps(input.Get());
        switch (GraphPads::KindOfCaps(caps.Get())) {
            case GraphPads::TStreamKind::RawAudio:
                ++count.Audio;
                break;
            case GraphPads::TStreamKind::RawVideo:
                ++count.Video;
                break;
            default:
                break;
        }
    }
    return count;
}

// The state a graph settles in; a graph whose sinks never preroll stays short of PLAYING.
GstState SettledState(const TGraphCommon& graph) {
    GstState current = GST_STATE_VOID_PENDING;
    gst_element_get_state(GST_ELEMENT(graph.GraphBuilder()), &current, nullptr, 10 * GST_SECOND);
    return current;
}

TEST_F(GraphRenderTest, RenderedGraphsPlayAgainAfterStopWithOneSinkPerStream) {
    const std::string wav = File("replay.wav");
    const std::string avi = File("replay.avi");
    const std::string mkv = File("replay.mkv");
    ASSERT_TRUE(RunToEnd("audiotestsrc num-buffers=10 ! wavenc ! filesink location=" + wav));
    ASSERT_TRUE(
        RunToEnd("videotestsrc num-buffers=5 ! video/x-raw,width=160,height=120 ! "
                 "jpegenc ! avimux ! filesink location=" +
                 avi));
    ASSERT_TRUE(
        RunToEnd("videotestsrc num-buffers=5 ! video/x-raw,width=160,height=120 ! "
                 "jpegenc ! mux. audiotestsrc num-buffers=5 ! audioconvert ! mux. "
                 "matroskamux name=mux ! filesink location=" +
                 mkv));
    struct {
        std::string file;
        bool throughPin;  // filesrc's encoded output via RenderPinOnFilter, else RenderFile
        int audio;
        int video;
    } const cases[] = {
        {wav, false, 1, 0}, {avi, false, 0, 1}, {mkv, false, 1, 1},
        {wav, true, 1, 0},  {avi, true, 0, 1},  {mkv, true, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + (c.throughPin ? " through the source's pin" : " as a file"));
        TGraph graph;
        if (c.throughPin) {
            TGstElementHandle source = AddOrFail(graph, "filesrc", "Source");
            g_object_set(source.Get(), "location", c.file.c_str(), nullptr);
            ASSERT_EQ(graph.RenderPinOnFilter(source.Get(), "src", PINDIR_OUTPUT), S_OK);
        } else {
            ASSERT_EQ(graph.RenderFile(c.file), S_OK);
        }
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(round);
            ASSERT_EQ(graph.Play(), S_OK);
            EXPECT_EQ(SettledState(graph), GST_STATE_PLAYING);
            EXPECT_EQ(graph.GetState(), State_Running);
            const TSinkCount running = CountSinks(graph);
            EXPECT_EQ(running.Audio, c.audio);
            EXPECT_EQ(running.Video, c.video);
            EXPECT_EQ(running.All, c.audio + c.video);
            EXPECT_EQ(graph.Stop(), S_OK);
            EXPECT_EQ(CountSinks(graph).All, c.audio + c.video);
        }
    }
}

TEST(GraphFunctionsTest, NukeDownstreamRemovesEverythingAfterTheFilter) {
    TDirectShowGraph graph(TGraphClock::Own);
    TGstElementHandle source = AddOrFail(graph, "videotestsrc", "Source");
    TGstElementHandle tee = AddOrFail(graph, "tee", "Tee");
    TGstElementHandle queue = AddOrFail(graph, "queue", "Queue");
    TGstElementHandle sink = AddOrFail(graph, "fakesink", "Sink");
    TGstElementHandle sink2 = AddOrFail(graph, "fakesink", "Sink2");
    ASSERT_EQ(graph.ConnectPins(source.Get(), "src", tee.Get(), "sink"), S_OK);
    ASSERT_EQ(graph.ConnectPins(tee.Get(), "src_%u", queue.Get(), "sink"), S_OK);
    ASSERT_EQ(graph.ConnectPins(queue.Get(), "src", sink.Get(), "sink"), S_OK);
    ASSERT_EQ(graph.ConnectPins(tee.Get(), "src_%u", sink2.Get(), "sink"), S_OK);

    NukeDownstream(tee.Get());
    EXPECT_EQ(ChildCount(graph), 2);
    EXPECT_EQ(GST_OBJECT_PARENT(tee.Get()), GST_OBJECT(graph.GraphBuilder()));
    EXPECT_EQ(GST_OBJECT_PARENT(queue.Get()), nullptr);
    EXPECT_EQ(GST_OBJECT_PARENT(sink.Get()), nullptr);
    EXPECT_EQ(GST_OBJECT_PARENT(sink2.Get()), nullptr);
    EXPECT_TRUE(PadLinked(tee.Get(), "sink"));  // the input side stays
    NukeDownstream(nullptr);
}

TEST(GraphFunctionsTest, VideoRendererQueries) {
    TGraph graph;
    TGstElementHandle source = AddOrFail(graph, "videotestsrc", "Source");
    TGstElementHandle caps = AddOrFail(graph, "capsfilter", "Caps");
    TGstElementHandle sink = AddOrFail(graph, "fakesink", "Sink");
    TGstElementHandle lonely = AddOrFail(graph, "fakesink", "Lonely");
    SetCaps(caps.Get(), "video/x-raw,framerate=30000/1001");
    ASSERT_EQ(graph.ConnectPins(source.Get(), "src", caps.Get(), "sink"), S_OK);
    ASSERT_EQ(graph.ConnectPins(caps.Get(), "src", sink.Get(), "sink"), S_OK);
    ASSERT_EQ(graph.Pause(), S_OK);

    EXPECT_TRUE(IsFilterVideoRenderer(sink.Get()));
    EXPECT_FALSE(IsFilterVideoRenderer(caps.Get()));    // has an output
    EXPECT_FALSE(IsFilterVideoRenderer(lonely.Get()));  // no connection
    EXPECT_FALSE(IsFilterVideoRenderer(nullptr));

    int64_t interval = -1;
    EXPECT_EQ(GetVideoRenderFilterFPS(sink.Get(), interval), S_OK);
    EXPECT_EQ(interval, 333667);
    EXPECT_EQ(GetVideoRenderFilterFPS(lonely.Get(), interval), S_FALSE);
    EXPECT_EQ(interval, 0);
    LogCapture log;
    EXPECT_EQ(GetVideoRenderFilterFPS(nullptr, interval), E_INVALIDARG);
    EXPECT_TRUE(log.Contains("Error in GetVideoRenderFilterFPS - invalid argument."));
}

TEST(GraphFunctionsTest, RunningObjectTableNamesTheGraph) {
    GstElement* pipeline = gst_pipeline_new(nullptr);
    gst_object_ref_sink(pipeline);
    int32_t cookie = 0;
    ASSERT_EQ(AddGraphToRunningObjectTable(pipeline, cookie), S_OK);
    EXPECT_NE(cookie, 0);
    char expected[96];
    std::snprintf(expected, sizeof expected, "FilterGraph %p pid %x", static_cast<void*>(pipeline),
                  static_cast<unsigned>(::getpid()));
    EXPECT_EQ(RunningObjectTableName(cookie), expected);
    DumpRunningObjectTableGraph(cookie, "Test");
    EXPECT_EQ(RemoveGraphFromRunningObjectTable(cookie), S_OK);
    EXPECT_EQ(RunningObjectTableName(cookie), "");
    EXPECT_EQ(RemoveGraphFromRunningObjectTable(cookie), E_INVALIDARG);
    int32_t none = -1;
    EXPECT_EQ(AddGraphToRunningObjectTable(nullptr, none), E_POINTER);
    EXPECT_EQ(none, 0);
    gst_object_unref(pipeline);
}

TEST(GraphFunctionsTest, FreeFormsOfPinQueries) {
    TGraph graph;
    TGstElementHandle source = AddOrFail(graph, "videotestsrc", "Source");
    TGstPadHandle pin = FindFirstPinOnFilter(source.Get(), false, PINDIR_OUTPUT);
    ASSERT_TRUE(pin);
    EXPECT_FALSE(IsPinConnected(pin.Get()));
    EXPECT_FALSE(FindFirstPinOnFilter(source.Get(), true, PINDIR_OUTPUT));
}

}  // namespace
