#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "graph/DirectShowGraph.h"
#include "graph/Graph.h"
#include "graph/GraphTestSupport.h"
#include "support/LogCapture.h"

namespace {

// The behaviour shared by both wrappers runs against each of them.
enum class TTwin { DirectShowGraph, Graph };

class BothGraphsTest : public ::testing::TestWithParam<TTwin> {
protected:
    std::unique_ptr<TGraphCommon> Make(TGraphClock clock = TGraphClock::System) {
        if (GetParam() == TTwin::DirectShowGraph) {
            return std::make_unique<TDirectShowGraph>(clock);
        }
        return std::make_unique<TGraph>(clock);
    }
    std::string Tag() const { return GetParam() == TTwin::Graph ? "gkt: " : ""; }
    std::string Class() const { return GetParam() == TTwin::Graph ? "TGraph" : "TDirectShowGraph"; }
};

INSTANTIATE_TEST_SUITE_P(Twins, BothGraphsTest,
                         ::testing::Values(TTwin::DirectShowGraph, TTwin::Graph),
                         [](const auto& info) {
                             return info.param == TTwin::Graph ? "TGraph" : "TDirectShowGraph";
                         });

TEST_P(BothGraphsTest, CreateForcesTheSystemClockAndCreateNoClockDoesNot) {
    LogCapture log;
    auto withClock = Make(TGraphClock::System);
    auto ownClock = Make(TGraphClock::Own);
    ASSERT_TRUE(withClock->Valid());
    ASSERT_TRUE(ownClock->Valid());
    EXPECT_TRUE(log.Lines().empty());

    GstClock* system = gst_system_clock_obtain();
    GstClock* used = gst_pipeline_get_pipeline_clock(withClock->GraphBuilder());
    EXPECT_EQ(used, system);
    EXPECT_TRUE(GST_OBJECT_FLAG_IS_SET(withClock->GraphBuilder(), GST_PIPELINE_FLAG_FIXED_CLOCK));
    EXPECT_FALSE(GST_OBJECT_FLAG_IS_SET(ownClock->GraphBuilder(), GST_PIPELINE_FLAG_FIXED_CLOCK));
    gst_object_unref(used);
    gst_object_unref(system);
    EXPECT_NE(withClock->MediaEvent(), nullptr);
    EXPECT_EQ(withClock->GetState(), State_Stopped);
}

TEST_P(BothGraphsTest, FindPinOnFilter) {
    auto graph = Make();
    TGstElementHandle source = AddOrFail(*graph, "videotestsrc", "Source");
    TGstElementHandle tee = AddOrFail(*graph, "tee", "Tee");
    TGstElementHandle queue = AddOrFail(*graph, "queue", "Queue");
    struct {
        GstElement* element;
        const char* name;
        TPinDirection dir;
        const char* expected;  // nullptr: no pin
    } const cases[] = {
        {source.Get(), "", PINDIR_OUTPUT, "src"},
        {source.Get(), "src", PINDIR_OUTPUT, "src"},
        {source.Get(), "SRC", PINDIR_OUTPUT, nullptr},  // names are case-sensitive
        {source.Get(), "", PINDIR_INPUT, nullptr},
        {source.Get(), "src", PINDIR_INPUT, nullptr},
        {queue.Get(), "", PINDIR_INPUT, "sink"},
        {queue.Get(), "", PINDIR_OUTPUT, "src"},
        {tee.Get(), "sink", PINDIR_INPUT, "sink"},
        {tee.Get(), "src_%u", PINDIR_OUTPUT, nullptr},  // a lookup never creates a pad
        {tee.Get(), "src_5", PINDIR_OUTPUT, nullptr},
        {tee.Get(), "src_x", PINDIR_OUTPUT, nullptr},
        {tee.Get(), "src_%u", PINDIR_INPUT, nullptr},
        {nullptr, "", PINDIR_OUTPUT, nullptr},
    };
    for (const auto& c : cases) {
        TGstPadHandle pin = graph->FindPinOnFilter(c.element, c.name, c.dir);
        if (c.expected == nullptr) {
            EXPECT_FALSE(pin) << c.name;
        } else {
            ASSERT_TRUE(pin) << c.name;
            EXPECT_STREQ(GST_PAD_NAME(pin.Get()), c.expected);
        }
    }
    EXPECT_EQ(GST_ELEMENT(tee.Get())->numsrcpads, 0);
    EXPECT_FALSE(graph->RenderPinOnFilter(tee.Get(), "src_%u", PINDIR_OUTPUT) == S_OK);
    EXPECT_EQ(GST_ELEMENT(tee.Get())->numsrcpads, 0);
}

TEST_P(BothGraphsTest, RequestedPinsAreMadeOnceAndReleasedWithTheGraph) {
    auto graph = Make();
    TGstElementHandle tee = AddOrFail(*graph, "tee", "Tee");
    struct {
        const char* name;
        TPinDirection dir;
        const char* expected;  // nullptr: no pin
    } const cases[] = {
        {"src_%u", PINDIR_OUTPUT, "src_0"},  // requested from the template
        {"src_5", PINDIR_OUTPUT, "src_5"},
        {"src_5", PINDIR_OUTPUT, "src_5"},  // now an existing pad
        {"sink", PINDIR_INPUT, "sink"},
        {"src_x", PINDIR_OUTPUT, nullptr},
        {"src_%u", PINDIR_INPUT, nullptr},
    };
    for (const auto& c : cases) {
        TGstPadHandle pin = graph->RequestPinOnFilter(tee.Get(), c.name, c.dir);
        if (c.expected == nullptr) {
            EXPECT_FALSE(pin) << c.name;
        } else {
            ASSERT_TRUE(pin) << c.name;
            EXPECT_STREQ(GST_PAD_NAME(pin.Get()), c.expected);
        }
    }
    EXPECT_EQ(GST_ELEMENT(tee.Get())->numsrcpads, 2);
    TGstPadHandle found = graph->FindPinOnFilter(tee.Get(), "src_5", PINDIR_OUTPUT);
    ASSERT_TRUE(found);
    found.Reset();
    graph.reset();
    EXPECT_EQ(GST_ELEMENT(tee.Get())->numsrcpads, 0) << "released with the graph";
}

TEST_P(BothGraphsTest, ConnectPinsWithAMissingPinLogsOneLineAndLeavesTheGraph) {
    auto graph = Make();
    TGstElementHandle source = AddOrFail(*graph, "videotestsrc", "Source");
    TGstElementHandle tee = AddOrFail(*graph, "tee", "Tee");
    TGstElementHandle sink = AddOrFail(*graph, "fakesink", "Sink");
    LogCapture log;
    EXPECT_EQ(graph->ConnectPins(source.Get(), "Capture", sink.Get(), "sink"), E_FAIL);
    // A pad requested for the output is given back when the input is missing.
    EXPECT_EQ(graph->ConnectPins(tee.Get(), "src_%u", sink.Get(), "Input"), E_FAIL);
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{Tag() + "Error connecting pins Capture and sink.",
                                        Tag() + "Error connecting pins src_%u and Input."}));
    EXPECT_FALSE(PadLinked(sink.Get(), "sink"));
    EXPECT_EQ(GST_ELEMENT(tee.Get())->numsrcpads, 0);
    EXPECT_EQ(ChildCount(*graph), 3);

    EXPECT_EQ(graph->ConnectPins(nullptr, "src", sink.Get(), "sink"), E_FAIL);
    EXPECT_EQ(graph->ConnectPins(source.Get(), "src", sink.Get(), "sink"), S_OK);
    EXPECT_TRUE(PadLinked(sink.Get(), "sink"));
    EXPECT_EQ(graph->ConnectPins(source.Get(), "src", sink.Get(), "sink"), VFW_E_ALREADY_CONNECTED);
}

TEST_P(BothGraphsTest, ConnectFilters) {
    auto graph = Make();
    TGstElementHandle audio = AddOrFail(*graph, "audiotestsrc", "Audio");
    TGstElementHandle video = AddOrFail(*graph, "videotestsrc", "Video");
    TGstElementHandle convert = AddOrFail(*graph, "videoconvert", "Convert");
    EXPECT_EQ(graph->ConnectFilters(audio.Get(), convert.Get()), E_FAIL);  // all refuse
    EXPECT_FALSE(PadLinked(convert.Get(), "sink"));
    EXPECT_EQ(graph->ConnectFilters(video.Get(), convert.Get()), S_OK);
    EXPECT_TRUE(PadLinked(convert.Get(), "sink"));
    EXPECT_EQ(graph->ConnectFilters(video.Get(), nullptr), E_FAIL);
}

TEST_P(BothGraphsTest, DisassembleGraphRemovesAtMost101Filters) {
    for (const int filters : {100, 101, 102}) {
        auto graph = Make();
        for (int i = 0; i < filters; ++i) {
            AddOrFail(*graph, "identity", "Identity " + std::to_string(i));
        }
        LogCapture log;
        graph->DisassembleGraph();
        const bool logged = log.Contains(Tag() + "Error in " + Class() +
                                         ".DisassembleGraph - more than 100 filters...");
        EXPECT_EQ(logged, filters > 100) << filters;
        EXPECT_EQ(ChildCount(*graph), filters > 101 ? filters - 101 : 0) << filters;
    }
}

TEST_P(BothGraphsTest, RemoveAndAddFilter) {
    auto graph = Make();
    TGstElementHandle none;
    EXPECT_EQ(graph->RemoveFilter(none), S_OK);

    TGstElementHandle missing;
    EXPECT_EQ(graph->AddFilter("no-such-element-factory", missing, "X"), E_FAIL);
    EXPECT_FALSE(missing);

    TGstElementHandle first = AddOrFail(*graph, "identity", "Splitter");
    TGstElementHandle second = AddOrFail(*graph, "identity", "Splitter");
    EXPECT_STREQ(GST_ELEMENT_NAME(second.Get()), "Splitter 0001");

    TGstElementHandle keep = first;
    EXPECT_EQ(graph->RemoveFilter(first), S_OK);
    EXPECT_FALSE(first);
    EXPECT_EQ(GST_OBJECT_PARENT(keep.Get()), nullptr);
    EXPECT_EQ(graph->RemoveFilter(keep), VFW_E_NOT_FOUND);  // no longer in the graph
    EXPECT_EQ(ChildCount(*graph), 1);
}

TEST_P(BothGraphsTest, PlayAndStopReachTheStates) {
    auto graph = Make();
    TGstElementHandle source = AddOrFail(*graph, "videotestsrc", "Source");
    TGstElementHandle sink = AddOrFail(*graph, "fakesink", "Sink");
    ASSERT_EQ(graph->ConnectPins(source.Get(), "src", sink.Get(), "sink"), S_OK);
    LogCapture log;
    EXPECT_EQ(graph->Play(), S_OK);
    EXPECT_EQ(graph->GetState(), State_Running);
    int32_t status = -1;
    EXPECT_EQ(graph->GetStatus(status), S_OK);
    EXPECT_EQ(status, State_Running);
    EXPECT_EQ(graph->Pause(), S_OK);
    EXPECT_EQ(graph->State(), State_Paused);
    EXPECT_EQ(graph->Stop(), S_OK);
    EXPECT_EQ(graph->GetState(), State_Stopped);
    EXPECT_TRUE(log.Lines().empty());
}

TEST_P(BothGraphsTest, PlayOfAFailingSourceReturns) {
    auto graph = Make();
    TGstElementHandle source = AddOrFail(*graph, "filesrc", "Source");
    TGstElementHandle sink = AddOrFail(*graph, "fakesink", "Sink");
    g_object_set(source.Get(), "location", "/nonexistent/tandrel/input.avi", nullptr);
    ASSERT_EQ(graph->ConnectPins(source.Get(), "src", sink.Get(), "sink"), S_OK);
    LogCapture log;
    EXPECT_EQ(graph->Play(), E_FAIL);
    EXPECT_TRUE(log.Contains(Tag() + "Warning " + Class() + ".Play call -> state not reached."));
    EXPECT_NE(graph->GetState(), State_Running);
    EXPECT_EQ(graph->Stop(), S_OK);
}

TEST_P(BothGraphsTest, PlayStopsWaitingOnAnIntermediateState) {
    // appsrc never delivers, so the sink never prerolls and the change stays asynchronous.
    auto graph = Make();
    TGstElementHandle source = AddOrFail(*graph, "appsrc", "Source");
    TGstElementHandle sink = AddOrFail(*graph, "fakesink", "Sink");
    ASSERT_EQ(graph->ConnectPins(source.Get(), "src", sink.Get(), "sink"), S_OK);
    LogCapture log;
    EXPECT_EQ(graph->Play(), S_OK);
    const bool warned =
        log.Contains("Warning TDirectShowGraph.Play call... VFW_S_STATE_INTERMEDIATE");
    EXPECT_EQ(warned, GetParam() == TTwin::DirectShowGraph);
    EXPECT_EQ(log.Lines().size(), warned ? 1u : 0u);
    EXPECT_EQ(graph->GetState(), State_Running);  // the state it is heading for
    EXPECT_EQ(graph->Stop(), S_OK);
}

TEST_P(BothGraphsTest, DisconnectPins) {
    auto graph = Make();
    TGstElementHandle source = AddOrFail(*graph, "videotestsrc", "Source");
    TGstElementHandle sink = AddOrFail(*graph, "fakesink", "Sink");
    // A pin without peer: TDirectShowGraph hands on the failure, TGraph counts it as done.
    const HRESULT peerless = graph->DisconnectPins(source.Get(), "src", PINDIR_OUTPUT);
    EXPECT_EQ(peerless, GetParam() == TTwin::Graph ? S_OK : VFW_E_NOT_CONNECTED);
    EXPECT_EQ(graph->DisconnectPins(source.Get(), "Nope", PINDIR_OUTPUT), E_FAIL);
    EXPECT_EQ(graph->DisconnectPins(nullptr, "src", PINDIR_OUTPUT), S_OK);

    for (const TPinDirection side : {PINDIR_OUTPUT, PINDIR_INPUT}) {
        ASSERT_EQ(graph->ConnectPins(source.Get(), "src", sink.Get(), "sink"), S_OK);
        GstElement* element = side == PINDIR_OUTPUT ? source.Get() : sink.Get();
        EXPECT_EQ(graph->DisconnectPins(element, "", side), S_OK);
        EXPECT_FALSE(PadLinked(source.Get(), "src"));
    }
}

TEST_P(BothGraphsTest, RenderPinOnFilterEndsTheStreamInASink) {
    auto graph = Make();
    TGstElementHandle source = AddOrFail(*graph, "videotestsrc", "Source");
    EXPECT_EQ(graph->RenderPinOnFilter(source.Get(), "Missing", PINDIR_OUTPUT), E_FAIL);
    ASSERT_EQ(graph->RenderPinOnFilter(source.Get(), "src", PINDIR_OUTPUT), S_OK);
    EXPECT_TRUE(PadLinked(source.Get(), "src"));
    EXPECT_EQ(ChildCount(*graph), 3);  // source, videoconvert, sink
    EXPECT_EQ(graph->Play(), S_OK);
    EXPECT_EQ(graph->GetState(), State_Running);
}

TEST(GraphTest, TGraphLinesGoStraightToTheDebugOutputWithTheirTag) {
    TGraph graph;
    LogCapture log;
    EXPECT_FALSE(graph.FindFirstPinOnFilter(nullptr, false, PINDIR_INPUT));
    EXPECT_FALSE(graph.IsPinConnected(nullptr));
    EXPECT_FALSE(graph.GetPinConnectedTo(nullptr));
    int32_t in = -1;
    int32_t out = -1;
    EXPECT_EQ(graph.GetFilterInOutPinsCount(nullptr, in, out), E_POINTER);
    EXPECT_EQ(graph.DisconnectFilter(nullptr), E_POINTER);
    EXPECT_FALSE(graph.AllPinsConnected(nullptr));
    EXPECT_EQ(graph.ConnectOutPinWithFilter(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "gkt: Error in TGraph.FindFirstPinOnFilter - invalid filter.",
                               "gkt: Error in TGraph.IsPinConnected - invalid pin.",
                               "gkt: Error in TGraph.GetPinConnectedTo - invalid pin.",
                               "gkt: Error in TGraph.GetFilterInOutPinsCount - invalid filter.",
                               "gkt: Error in TGraph.DisconnectFilter - invalid filter.",
                               "gkt: Error in TGraph.AllPinsConnected - invalid paremeter.",
                               "gkt: Error in TGraph.ConnectOutPinWithFilter - invalid parameters.",
                           }));
}

TEST(GraphTest, PinQueries) {
    TGraph graph;
    TGstElementHandle source = AddOrFail(graph, "videotestsrc", "Source");
    TGstElementHandle queue = AddOrFail(graph, "queue", "Queue");
    TGstElementHandle sink = AddOrFail(graph, "fakesink", "Sink");
    ASSERT_EQ(graph.ConnectPins(source.Get(), "src", queue.Get(), "sink"), S_OK);

    int32_t in = -1;
    int32_t out = -1;
    EXPECT_EQ(graph.GetFilterInOutPinsCount(queue.Get(), in, out), S_OK);
    EXPECT_EQ(in, 1);
    EXPECT_EQ(out, 1);
    EXPECT_FALSE(graph.AllPinsConnected(queue.Get()));
    EXPECT_TRUE(graph.AllPinsConnected(source.Get()));

    TGstPadHandle free = graph.FindFirstPinOnFilter(queue.Get(), false, PINDIR_OUTPUT);
    ASSERT_TRUE(free);
    EXPECT_STREQ(GST_PAD_NAME(free.Get()), "src");
    EXPECT_FALSE(graph.FindFirstPinOnFilter(queue.Get(), false, PINDIR_INPUT));
    TGstPadHandle linked = graph.FindFirstPinOnFilter(queue.Get(), true, PINDIR_INPUT);
    ASSERT_TRUE(linked);
    EXPECT_TRUE(graph.IsPinConnected(linked.Get()));
    TGstPadHandle peer = graph.GetPinConnectedTo(linked.Get());
    ASSERT_TRUE(peer);
    EXPECT_EQ(GST_PAD_PARENT(peer.Get()), source.Get());

    EXPECT_EQ(graph.ConnectOutPinWithFilter(free.Get(), sink.Get()), S_OK);
    EXPECT_TRUE(graph.AllPinsConnected(queue.Get()));
    EXPECT_EQ(graph.DisconnectFilter(queue.Get()), S_OK);
    EXPECT_FALSE(PadLinked(queue.Get(), "sink"));
    EXPECT_FALSE(PadLinked(queue.Get(), "src"));
    EXPECT_EQ(graph.DisconnectFilter(queue.Get()), S_OK);  // pins without peer count as done
    EXPECT_EQ(graph.DisconnectPins(free.Get()), S_OK);
}

TEST(GraphTest, ConnectPinsIntelligentInsertsAConverter) {
    TGraph graph;
    TGstElementHandle source = AddOrFail(graph, "audiotestsrc", "Source");
    TGstElementHandle floatCaps = AddOrFail(graph, "capsfilter", "Float");
    TGstElementHandle intCaps = AddOrFail(graph, "capsfilter", "Integer");
    TGstElementHandle sink = AddOrFail(graph, "fakesink", "Sink");
    SetCaps(floatCaps.Get(), "audio/x-raw,format=F64LE");
    SetCaps(intCaps.Get(), "audio/x-raw,format=S16LE");
    ASSERT_EQ(graph.ConnectPins(source.Get(), "src", floatCaps.Get(), "sink"), S_OK);
    ASSERT_EQ(graph.ConnectPins(intCaps.Get(), "src", sink.Get(), "sink"), S_OK);
    // The formats do not agree: a direct connection fails, the intelligent one converts.
    EXPECT_NE(graph.ConnectPins(floatCaps.Get(), "src", intCaps.Get(), "sink"), S_OK);
    EXPECT_EQ(graph.ConnectPinsIntelligent(floatCaps.Get(), "src", intCaps.Get(), "sink"), S_OK);
    EXPECT_EQ(ChildCount(graph), 6);
    EXPECT_EQ(graph.Play(), S_OK);
    EXPECT_EQ(graph.GetState(), State_Running);
    EXPECT_TRUE(graph.AllPinsConnected(intCaps.Get()));
}

TEST(GraphTest, RenderedGraphReportsItsFrameIntervalAndSinks) {
    TGraph graph;
    TGstElementHandle source = AddOrFail(graph, "videotestsrc", "Source");
    TGstElementHandle caps = AddOrFail(graph, "capsfilter", "Caps");
    SetCaps(caps.Get(), "video/x-raw,framerate=25/1");
    ASSERT_EQ(graph.ConnectPins(source.Get(), "src", caps.Get(), "sink"), S_OK);
    ASSERT_EQ(graph.RenderPinOnFilter(caps.Get(), "src", PINDIR_OUTPUT), S_OK);
    ASSERT_EQ(graph.Pause(), S_OK);
    EXPECT_EQ(graph.GetRenderedGraphAvgTimePerFrame(), 400000);
    EXPECT_TRUE(graph.RetrieveVideoWindow());
    EXPECT_NE(graph.VideoWindow(), nullptr);
    EXPECT_FALSE(graph.RetrieveBasicAudio());
    EXPECT_EQ(graph.BasicAudio(), nullptr);
}

}  // namespace
