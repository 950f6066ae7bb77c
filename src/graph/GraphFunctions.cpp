#include "graph/GraphFunctions.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "graph/MediaTypeCaps.h"
#include "platform/DebugOutput.h"
#include "platform/Diagnostics.h"

namespace {

// ---- graph registration ----

struct TRotEntry {
    std::string Name;
    TGstElementHandle Graph;
};

std::mutex gRotMutex;
std::map<int32_t, TRotEntry> gRot;
int32_t gNextCookie = 1;

bool DotDumpEnabled() {
    const char* dir = std::getenv("GST_DEBUG_DUMP_DOT_DIR");
    return dir != nullptr && *dir != '\0';
}

// ---- renderers ----

bool IsVideoConnection(const GstCaps* caps) {
    if (GraphPads::KindOfCaps(caps) == GraphPads::TStreamKind::RawVideo) {
        return true;
    }
    TMediaType mt;
    return MediaTypeFromCaps(caps, mt) && mt.majortype == MEDIATYPE_Video &&
           (mt.formattype == FORMAT_VideoInfo || mt.formattype == FORMAT_VideoInfo2);
}

int64_t FrameIntervalOf(const GstCaps* caps) {
    if (caps == nullptr || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) {
        return 0;
    }
    int num = 0;
    int den = 1;
    if (!gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "framerate", &num, &den)) {
        return 0;
    }
    return AvgTimePerFrameFromFrameRate(num, den);
}

}  // namespace

HRESULT AddGraphToRunningObjectTable(GstElement* graph, int32_t& cookie) {
    cookie = 0;
    if (graph == nullptr) {
        return E_POINTER;
    }
    char name[96];
    std::snprintf(name, sizeof name, "FilterGraph %p pid %x", static_cast<void*>(graph),
                  static_cast<unsigned>(::getpid()));
    {
        std::lock_guard lock(gRotMutex);
        cookie = gNextCookie++;
        gRot[cookie] = TRotEntry{name, TGstElementHandle::Ref(graph)};
    }
    DumpRunningObjectTableGraph(cookie, "Registered");
    return S_OK;
}

HRESULT RemoveGraphFromRunningObjectTable(int32_t cookie) {
    TGstElementHandle graph;  // released outside the lock
    std::lock_guard lock(gRotMutex);
    auto it = gRot.find(cookie);
    if (it == gRot.end()) {
        return E_INVALIDARG;
    }
    graph = std::move(it->second.Graph);
    gRot.erase(it);
    return S_OK;
}

std::string RunningObjectTableName(int32_t cookie) {
    std::lock_guard lock(gRotMutex);
    auto it = gRot.find(cookie);
    return it != gRot.end() ? it->second.Name : std::string();
}

void DumpRunningObjectTableGraph(int32_t cookie, const char* stage) {
    if (!DotDumpEnabled()) {
        return;
    }
    std::string fileName;
    TGstElementHandle graph;
    {
        std::lock_guard lock(gRotMutex);
        auto it = gRot.find(cookie);
        if (it == gRot.end()) {
            return;
        }
        fileName = it->second.Name;
        graph = it->second.Graph;
    }
    for (char& c : fileName) {
        if (c == ' ') {
            c = '_';
        }
    }
    fileName += std::string(".") + stage;
    gst_debug_bin_to_dot_file(GST_BIN(graph.Get()), GST_DEBUG_GRAPH_SHOW_ALL, fileName.c_str());
}

void NukeDownstream(GstElement* filter) {
    try {
        if (filter == nullptr) {
            return;
        }
        for (auto& pad : GraphPads::ElementPads(filter)) {
            if (GST_PAD_DIRECTION(pad.Get()) != GST_PAD_SRC) {
                continue;
            }
            TGstPadHandle peer = GraphPads::Peer(pad.Get());
            if (!peer || GST_PAD_DIRECTION(peer.Get()) != GST_PAD_SINK) {
                continue;
            }
            TGstElementHandle downstream = GraphPads::ParentElement(peer.Get());
            if (!downstream) {
                continue;
            }
            NukeDownstream(downstream.Get());
            gst_pad_unlink(pad.Get(), peer.Get());
            if (GstObject* bin = gst_object_get_parent(GST_OBJECT(downstream.Get()))) {
                gst_bin_remove(GST_BIN(bin), downstream.Get());
                gst_object_unref(bin);
            }
            gst_element_set_state(downstream.Get(), GST_STATE_NULL);
        }
    } catch (...) {
        LogMessage("Error in NukeDownstream call...");
    }
}

bool IsFilterVideoRenderer(GstElement* filter) {
    try {
        if (filter == nullptr) {
            return false;
        }
        const auto pads = GraphPads::ElementPads(filter);
        for (const auto& pad : pads) {
            if (GST_PAD_DIRECTION(pad.Get()) == GST_PAD_SRC) {
                return false;
            }
        }
        for (const auto& pad : pads) {
            TGstCapsHandle caps = GraphPads::ConnectionCaps(pad.Get());
            if (gst_pad_is_linked(pad.Get()) && IsVideoConnection(caps.Get())) {
                return true;
            }
        }
        return false;
    } catch (...) {
        OutputDebugString("Error in IsFilterVideoRenderer call...");
        return false;
    }
}

HRESULT GetVideoRenderFilterFPS(GstElement* filter, int64_t& frameInterval) {
    frameInterval = 0;
    try {
        if (filter == nullptr) {
            OutputDebugString("Error in GetVideoRenderFilterFPS - invalid argument.");
            return E_INVALIDARG;
        }
        for (const auto& pad : GraphPads::ElementPads(filter)) {
            if (GST_PAD_DIRECTION(pad.Get()) != GST_PAD_SINK || !gst_pad_is_linked(pad.Get())) {
                continue;
            }
            TGstCapsHandle caps = GraphPads::ConnectionCaps(pad.Get());
            if (IsVideoConnection(caps.Get())) {
                frameInterval = FrameIntervalOf(caps.Get());
                return S_OK;
            }
        }
        return S_FALSE;
    } catch (...) {
        OutputDebugString("Error in GetVideoRenderFilterFPS call.");
        return E_FAIL;
    }
}

TGstPadHandle FindFirstPinOnFilter(GstElement* filter, bool connected, TPinDirection dir) {
    try {
        if (filter == nullptr) {
            OutputDebugString("gkt: Error in TGraph.FindFirstPinOnFilter - invalid filter.");
            return {};
        }
        const GstPadDirection padDir = GraphPads::ToPadDirection(dir);
        for (auto& pad : GraphPads::ElementPads(filter)) {
            if (GST_PAD_DIRECTION(pad.Get()) == padDir && IsPinConnected(pad.Get()) == connected) {
                return pad;
            }
        }
        return {};
    } catch (...) {
        OutputDebugString("gkt: Error in TGraph.FindFirstPinOnFilter call...");
        return {};
    }
}

bool IsPinConnected(GstPad* pin) {
    try {
        if (pin == nullptr) {
            OutputDebugString("gkt: Error in TGraph.IsPinConnected - invalid pin.");
            return false;
        }
        return static_cast<bool>(GraphPads::Peer(pin));
    } catch (...) {
        OutputDebugString("gkt: Error in TGraph.IsPinConnected call...");
        return false;
    }
}
