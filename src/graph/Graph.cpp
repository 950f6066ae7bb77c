#include "graph/Graph.h"

#include <gst/audio/streamvolume.h>

#include <stdexcept>
#include <vector>

#include "graph/GraphFunctions.h"
#include "graph/GraphRender.h"
#include "platform/DebugOutput.h"

namespace {

void WriteDebugLine(std::string_view line) {
    OutputDebugString(line);
}

const TGraphLogStyle kGraphStyle = {"TGraph",
                                    "gkt: ",
                                    &WriteDebugLine,
                                    /*WarnOnIntermediate*/ false,
                                    /*WarnWhileStopping*/ false,
                                    /*PeerlessDisconnectSucceeds*/ true,
                                    "Error in TGraph.DisconnectPins call..."};

// Every element of a bin at any depth.
std::vector<TGstElementHandle> AllElements(GstBin* bin) {
    std::vector<TGstElementHandle> elements;
    TGstIteratorHandle it(gst_bin_iterate_recurse(bin));
    GValue item = G_VALUE_INIT;
    for (bool done = false; !done;) {
        switch (gst_iterator_next(it.get(), &item)) {
            case GST_ITERATOR_OK:
                elements.push_back(TGstElementHandle::Ref(GST_ELEMENT(g_value_get_object(&item))));
                g_value_reset(&item);
                break;
            case GST_ITERATOR_RESYNC:
                elements.clear();
                gst_iterator_resync(it.get());
                break;
            default:
                done = true;
                break;
        }
    }
    g_value_unset(&item);
    return elements;
}

}  // namespace

TGraph::TGraph(TGraphClock clock) : TGraphCommon(kGraphStyle) {
    const bool systemClock = clock == TGraphClock::System;
    const std::string method = systemClock ? "Create" : "CreateNoClock";
    const std::string failed = "Error in TGraph." + method + " - ";
    try {
        if (FAILED(CreateGraphBuilder())) {
            Line(failed + "cannot create GraphBuilder.");
            return;
        }
        if (FAILED(AddToRunningObjectTable())) {
            Line(failed + "cannot add graph to ROT.");
            return;
        }
        if (FAILED(ObtainInterfaces())) {
            throw std::runtime_error("graph interfaces");
        }
        if (!systemClock) {
            return;
        }
        if (FAILED(CreateReferenceClock())) {
            Line(failed + "cannot create Reference clock.");
            return;
        }
        if (FAILED(SetSyncSource())) {
            Line(failed + "cannot set SyncSource.");
        }
    } catch (...) {
        Line("Error in TGraph." + method + " call...");
    }
}

TGraph::~TGraph() {
    Teardown();
    FBasicAudio.Reset();
}

std::unique_ptr<TGraph> TGraph::Create() {
    return std::make_unique<TGraph>(TGraphClock::System);
}

std::unique_ptr<TGraph> TGraph::CreateNoClock() {
    return std::make_unique<TGraph>(TGraphClock::Own);
}

TGstPadHandle TGraph::FindFirstPinOnFilter(GstElement* F, bool Connected, TPinDirection PinDir) {
    return ::FindFirstPinOnFilter(F, Connected, PinDir);
}

bool TGraph::IsPinConnected(GstPad* Pin) {
    return ::IsPinConnected(Pin);
}

TGstPadHandle TGraph::GetPinConnectedTo(GstPad* Pin) {
    try {
        if (Pin == nullptr) {
            Line("Error in TGraph.GetPinConnectedTo - invalid pin.");
            return {};
        }
        return GraphPads::Peer(Pin);
    } catch (...) {
        CallFailed("GetPinConnectedTo");
        return {};
    }
}

HRESULT TGraph::GetFilterInOutPinsCount(GstElement* Filter, int32_t& InputPinsCount,
                                        int32_t& OutputPinsCount) {
    InputPinsCount = 0;
    OutputPinsCount = 0;
    try {
        if (Filter == nullptr) {
            Line("Error in TGraph.GetFilterInOutPinsCount - invalid filter.");
            return E_POINTER;
        }
        for (const auto& pad : GraphPads::ElementPads(Filter)) {
            if (GST_PAD_DIRECTION(pad.Get()) == GST_PAD_SINK) {
                ++InputPinsCount;
            } else if (GST_PAD_DIRECTION(pad.Get()) == GST_PAD_SRC) {
                ++OutputPinsCount;
            }
        }
        return S_OK;
    } catch (...) {
        CallFailed("GetFilterInOutPinsCount");
        return E_FAIL;
    }
}

HRESULT TGraph::ConnectPinsIntelligent(GstElement* OutF, const std::string& OutPinName,
                                       GstElement* InF, const std::string& InPinName) {
    try {
        return ConnectNamedPins(OutF, OutPinName, InF, InPinName, true);
    } catch (...) {
        CallFailed("ConnectPinsIntelligent");
        return E_FAIL;
    }
}

HRESULT TGraph::DisconnectFilter(GstElement* F) {
    try {
        if (F == nullptr) {
            Line("Error in TGraph.DisconnectFilter - invalid filter.");
            return E_POINTER;
        }
        for (const auto& pad : GraphPads::ElementPads(F)) {
            const HRESULT hr = DisconnectPin(pad.Get());
            if (FAILED(hr)) {
                Line("Error in TGraph.DisconnectFilter - cannot disconnect pins.");
                return hr;
            }
        }
        return S_OK;
    } catch (...) {
        CallFailed("DisconnectFilter");
        return E_FAIL;
    }
}

HRESULT TGraph::DisconnectPins(GstPad* Pin) {
    try {
        return Pin != nullptr ? DisconnectPin(Pin) : E_POINTER;
    } catch (...) {
        Line("Error in TGraph.DisconnectPins call...");
        return E_FAIL;
    }
}

bool TGraph::AllPinsConnected(GstElement* Filter) {
    try {
        if (Filter == nullptr) {
            Line("Error in TGraph.AllPinsConnected - invalid paremeter.");
            return false;
        }
        for (const auto& pad : GraphPads::ElementPads(Filter)) {
            if (!gst_pad_is_linked(pad.Get())) {
                return false;
            }
        }
        return true;
    } catch (...) {
        CallFailed("AllPinsConnected");
        return false;
    }
}

HRESULT TGraph::ConnectOutPinWithFilter(GstPad* Pin, GstElement* Filter) {
    try {
        if (Pin == nullptr || Filter == nullptr || !FGraphBuilder) {
            Line("Error in TGraph.ConnectOutPinWithFilter - invalid parameters.");
            return E_POINTER;
        }
        for (const auto& pad : GraphPads::ElementPads(Filter)) {
            if (GST_PAD_DIRECTION(pad.Get()) == GST_PAD_SINK && !gst_pad_is_linked(pad.Get()) &&
                SUCCEEDED(GraphRender::ConnectIntelligent(Bin(), Pin, pad.Get()))) {
                return S_OK;
            }
        }
        return VFW_E_CANNOT_CONNECT;
    } catch (...) {
        CallFailed("ConnectOutPinWithFilter");
        return E_FAIL;
    }
}

int64_t TGraph::GetRenderedGraphAvgTimePerFrame() {
    try {
        if (!FGraphBuilder) {
            OutputDebugString(
                "Error in TGraph.GetRenderedGraphAvgTimePerFrame - cannot get EnumFilters "
                "interface.");
            return 0;
        }
        for (const auto& element : AllElements(Bin())) {
            if (IsFilterVideoRenderer(element.Get())) {
                int64_t interval = 0;
                GetVideoRenderFilterFPS(element.Get(), interval);
                return interval;
            }
        }
        return 0;
    } catch (...) {
        OutputDebugString("Error in TGraph.GetRenderedGraphAvgTimePerFrame call...");
        return 0;
    }
}

bool TGraph::RetrieveVideoWindow() {
    try {
        FVideoWindow = GraphRender::FindRenderer(Bin(), GraphPads::TStreamKind::RawVideo);
        return static_cast<bool>(FVideoWindow);
    } catch (...) {
        OutputDebugString("Error in TGraph.RetrieveVideoWindow call...");
        return false;
    }
}

bool TGraph::RetrieveBasicAudio() {
    try {
        FBasicAudio.Reset();
        if (GstBin* bin = Bin()) {
            FBasicAudio =
                TGstElementHandle::Adopt(gst_bin_get_by_interface(bin, GST_TYPE_STREAM_VOLUME));
            if (!FBasicAudio) {
                FBasicAudio = GraphRender::FindRenderer(bin, GraphPads::TStreamKind::RawAudio);
            }
        }
        return static_cast<bool>(FBasicAudio);
    } catch (...) {
        OutputDebugString("Error in TGraph.RetrieveBasicAudio call...");
        return false;
    }
}

HRESULT TGraph::RenderFile(const std::string& FileName, TVideoSinkFactory VideoSink) {
    try {
        return GraphRender::RenderFile(Bin(), FileName, VideoSink);
    } catch (...) {
        CallFailed("RenderFile");
        return E_FAIL;
    }
}

HRESULT TGraph::GetState(int32_t TimeoutMs, TFilterState& State) {
    try {
        const HRESULT hr = QueryState(State, TimeoutMs);
        if (hr == VFW_S_STATE_INTERMEDIATE) {
            // A flushing seek drops a running graph to paused until it has prerolled again;
            // it is still on its way to running.
            GST_OBJECT_LOCK(FGraphBuilder.Get());
            const GstState target = GST_STATE_TARGET(FGraphBuilder.Get());
            GST_OBJECT_UNLOCK(FGraphBuilder.Get());
            if (target == GST_STATE_PLAYING) {
                State = State_Running;
            }
        }
        return hr;
    } catch (...) {
        State = State_Stopped;
        CallFailed("GetState");
        return E_FAIL;
    }
}

HRESULT TGraph::SetPositionToStart() {
    try {
        if (!FGraphBuilder) {
            return E_FAIL;
        }
        GstState current = GST_STATE_VOID_PENDING;
        gst_element_get_state(FGraphBuilder.Get(), &current, nullptr, 0);
        if (current < GST_STATE_PAUSED) {
            return S_FALSE;
        }
        return gst_element_seek_simple(
                   FGraphBuilder.Get(), GST_FORMAT_TIME,
                   static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0)
                   ? S_OK
                   : E_FAIL;
    } catch (...) {
        CallFailed("SetPositionToStart");
        return E_FAIL;
    }
}

HRESULT TGraph::WaitForCompletion(int32_t TimeoutMs, int32_t& EvCode) {
    EvCode = 0;
    try {
        if (!FMediaEvent) {
            return E_FAIL;
        }
        const GstClockTime timeout = TimeoutMs < 0
                                         ? GST_CLOCK_TIME_NONE
                                         : static_cast<GstClockTime>(TimeoutMs) * GST_MSECOND;
        TGstMessageHandle msg = TGstMessageHandle::Adopt(gst_bus_timed_pop_filtered(
            FMediaEvent.Get(), timeout,
            static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
        if (!msg) {
            return VFW_E_TIMEOUT;
        }
        EvCode = GST_MESSAGE_TYPE(msg.Get()) == GST_MESSAGE_EOS ? EC_COMPLETE : EC_ERRORABORT;
        return S_OK;
    } catch (...) {
        CallFailed("WaitForCompletion");
        return E_FAIL;
    }
}
