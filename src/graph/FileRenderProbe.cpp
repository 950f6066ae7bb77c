#include "graph/FileRenderProbe.h"

#include "graph/Graph.h"
#include "platform/DebugOutput.h"

namespace {

// Bounded preroll of a rendered file: true once the graph reached PAUSED without error.
bool Preroll(TGraph& graph) {
    constexpr GstClockTime kPrerollBound = 5 * GST_SECOND;
    const GstStateChangeReturn ret = gst_element_set_state(graph.MediaControl(), GST_STATE_PAUSED);
    if (ret == GST_STATE_CHANGE_FAILURE) {
        return false;
    }
    if (ret != GST_STATE_CHANGE_ASYNC) {
        return true;
    }
    TGstMessageHandle msg = TGstMessageHandle::Adopt(gst_bus_timed_pop_filtered(
        graph.MediaEvent(), kPrerollBound,
        static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_ASYNC_DONE)));
    return msg && GST_MESSAGE_TYPE(msg.Get()) == GST_MESSAGE_ASYNC_DONE;
}

}  // namespace

bool CanFileRender(const std::string& fileName) {
    try {
        TGraph graph(TGraphClock::System);
        if (!graph.Valid() || FAILED(graph.RenderFile(fileName)) || !Preroll(graph)) {
            return false;
        }
        const bool video = graph.RetrieveVideoWindow();
        const bool audio = graph.RetrieveBasicAudio();
        return video || audio;
    } catch (...) {
        OutputDebugString("Error in CanFileRender call...");
        return false;
    }
}
