#include "graph/GraphCommon.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "graph/GraphFunctions.h"
#include "graph/GraphRender.h"
#include "platform/MediaFramework.h"

namespace {

TFilterState ToFilterState(GstState state) {
    switch (state) {
        case GST_STATE_PLAYING:
            return State_Running;
        case GST_STATE_PAUSED:
            return State_Paused;
        default:
            return State_Stopped;
    }
}

bool HasChildNamed(GstBin* bin, const std::string& name) {
    GstElement* existing = gst_bin_get_by_name(bin, name.c_str());
    if (existing == nullptr) {
        return false;
    }
    gst_object_unref(existing);
    return true;
}

}  // namespace

void TGraphCommon::Line(const std::string& text) const {
    FStyle.Write(FStyle.Tag + text);
}

void TGraphCommon::CallFailed(const char* method) const {
    Line(std::string("Error in ") + FStyle.ClassName + "." + method + " call...");
}

HRESULT TGraphCommon::CreateGraphBuilder() {
    if (!InitializeMediaFramework()) {
        return E_FAIL;
    }
    FGraphBuilder = TGstElementHandle::Adopt(gst_pipeline_new(nullptr));
    return FGraphBuilder ? S_OK : E_FAIL;
}

HRESULT TGraphCommon::AddToRunningObjectTable() {
    return AddGraphToRunningObjectTable(FGraphBuilder.Get(), FRotRegister);
}

HRESULT TGraphCommon::ObtainInterfaces() {
    FMediaEvent = TGstBusHandle::Adopt(gst_pipeline_get_bus(GraphBuilder()));
    return FMediaEvent ? S_OK : E_FAIL;
}

HRESULT TGraphCommon::CreateReferenceClock() {
    FReferenceClock = TGstClockHandle::Adopt(gst_system_clock_obtain());
    return FReferenceClock ? S_OK : E_FAIL;
}

HRESULT TGraphCommon::SetSyncSource() {
    if (!FGraphBuilder || !FReferenceClock) {
        return E_POINTER;
    }
    gst_pipeline_use_clock(GraphBuilder(), FReferenceClock.Get());
    return S_OK;
}

void TGraphCommon::Teardown() {
    try {
        if (FGraphBuilder) {
            ChangeState(GST_STATE_NULL, State_Stopped, "Stop");
        }
        if (FRotRegister != 0) {
            RemoveGraphFromRunningObjectTable(FRotRegister);
            FRotRegister = 0;
        }
        DisassembleGraph();
        FVideoWindow.Reset();
        FReferenceClock.Reset();
        FMediaEvent.Reset();
        FGraphBuilder.Reset();
    } catch (...) {
        CallFailed("Destroy");
    }
}

HRESULT TGraphCommon::QueryState(TFilterState& state, int timeoutMs) const {
    state = State_Stopped;
    if (!FGraphBuilder) {
        return E_FAIL;
    }
    GstState current = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    const GstStateChangeReturn ret =
        gst_element_get_state(FGraphBuilder.Get(), &current, &pending,
                              static_cast<GstClockTime>(timeoutMs) * GST_MSECOND);
    switch (ret) {
        case GST_STATE_CHANGE_ASYNC:
            // Still changing: report the state the graph is heading for.
            state = ToFilterState(pending != GST_STATE_VOID_PENDING ? pending : current);
            return VFW_S_STATE_INTERMEDIATE;
        case GST_STATE_CHANGE_FAILURE:
            state = ToFilterState(current);
            return E_FAIL;
        default:
            state = ToFilterState(current);
            return S_OK;
    }
}

void TGraphCommon::WaitForState(TFilterState target, const char* method) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kStateWaitBoundMs);
    const std::string prefix = std::string("Warning ") + FStyle.ClassName + "." + method;
    for (;;) {
        TFilterState state = State_Stopped;
        const HRESULT hr = QueryState(state, kGetStateTimeoutMs);
        if (target != State_Stopped && hr == VFW_S_STATE_INTERMEDIATE) {
            if (FStyle.WarnOnIntermediate) {
                Line(prefix + " call... VFW_S_STATE_INTERMEDIATE");
            }
            return;
        }
        if (state == target) {
            return;
        }
        if (target == State_Stopped && FStyle.WarnWhileStopping) {
            Line(prefix + " call -> waiting stop");
        }
        // A failed change never completes by itself, and nothing may wait for ever.
        if (FAILED(hr) || std::chrono::steady_clock::now() >= deadline) {
            Line(prefix + " call -> state not reached.");
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

HRESULT TGraphCommon::ChangeState(GstState state, TFilterState target, const char* method) {
    if (!FGraphBuilder) {
        return E_FAIL;
    }
    try {
        const GstStateChangeReturn ret = gst_element_set_state(FGraphBuilder.Get(), state);
        const HRESULT hr = ret == GST_STATE_CHANGE_FAILURE ? E_FAIL : S_OK;
        WaitForState(target, method);
        if (target != State_Stopped) {
            DumpRunningObjectTableGraph(FRotRegister, method);
        }
        return hr;
    } catch (...) {
        CallFailed(method);
        return E_FAIL;
    }
}

HRESULT TGraphCommon::Play() {
    return ChangeState(GST_STATE_PLAYING, State_Running, "Play");
}

HRESULT TGraphCommon::Pause() {
    return ChangeState(GST_STATE_PAUSED, State_Paused, "Pause");
}

HRESULT TGraphCommon::Stop() {
    return ChangeState(GST_STATE_NULL, State_Stopped, "Stop");
}

HRESULT TGraphCommon::GetStatus(int32_t& Status) {
    Status = 0;
    try {
        TFilterState state = State_Stopped;
        if (FGraphBuilder) {
            QueryState(state, kGetStateTimeoutMs);
        }
        Status = state;
    } catch (...) {
        CallFailed("GetStatus");
    }
    return S_OK;
}

TFilterState TGraphCommon::GetState() {
    try {
        TFilterState state = State_Stopped;
        QueryState(state, kGetStateTimeoutMs);
        return state;
    } catch (...) {
        CallFailed("GetState");
        return State_Stopped;
    }
}

void TGraphCommon::DisassembleGraph() {
    try {
        ReleaseRequestedPins();
        GstBin* bin = Bin();
        if (bin == nullptr) {
            return;
        }
        int removed = 0;
        for (;;) {
            TGstElementHandle filter;
            GST_OBJECT_LOCK(bin);
            if (GST_BIN_CHILDREN(bin) != nullptr) {
                filter = TGstElementHandle::Ref(GST_ELEMENT(GST_BIN_CHILDREN(bin)->data));
            }
            GST_OBJECT_UNLOCK(bin);
            if (!filter) {
                return;
            }
            if (FAILED(RemoveFilter(filter))) {
                Line("Error removing filter..");
            }
            if (++removed > 100) {
                Line(std::string("Error in ") + FStyle.ClassName +
                     ".DisassembleGraph - more than 100 filters...");
                return;
            }
        }
    } catch (...) {
        CallFailed("DisassembleGraph");
    }
}

HRESULT TGraphCommon::RemoveFilter(TGstElementHandle& Filter) {
    if (!Filter) {
        return S_OK;
    }
    try {
        HRESULT hr = E_FAIL;
        GstBin* bin = Bin();
        if (bin != nullptr && GST_OBJECT_PARENT(Filter.Get()) == GST_OBJECT(bin)) {
            // Removal unlinks the element's pads; it leaves the graph at NULL so that it
            // releases its resources now rather than when the last reference goes.
            hr = gst_bin_remove(bin, Filter.Get()) ? S_OK : E_FAIL;
            gst_element_set_state(Filter.Get(), GST_STATE_NULL);
        } else {
            hr = VFW_E_NOT_FOUND;
        }
        Filter.Reset();
        return hr;
    } catch (...) {
        CallFailed("RemoveFilter");
        return E_FAIL;
    }
}

TGstPadHandle TGraphCommon::FindPinOnFilter(GstElement* F, const std::string& PinName,
                                            TPinDirection PinDir) {
    try {
        return GraphPads::FindPad(F, PinName, PinDir, false);
    } catch (...) {
        CallFailed("FindPinOnFilter");
        return {};
    }
}

TGstPadHandle TGraphCommon::RequestPinOnFilter(GstElement* F, const std::string& PinName,
                                               TPinDirection PinDir) {
    try {
        bool requested = false;
        TGstPadHandle pin = GraphPads::FindPad(F, PinName, PinDir, true, &requested);
        if (requested) {
            KeepRequestedPin(F, pin);
        }
        return pin;
    } catch (...) {
        CallFailed("RequestPinOnFilter");
        return {};
    }
}

void TGraphCommon::KeepRequestedPin(GstElement* F, const TGstPadHandle& pin) {
    if (F != nullptr && pin) {
        FRequestedPins.emplace_back(TGstElementHandle::Ref(F), pin);
    }
}

void TGraphCommon::ReleaseRequestedPins() {
    // A filter's pins go with the filter too; releasing them first leaves no pad behind on a
    // filter the caller still holds.
    for (auto& [filter, pin] : FRequestedPins) {
        if (GST_PAD_PARENT(pin.Get()) == GST_ELEMENT_CAST(filter.Get())) {
            gst_element_release_request_pad(filter.Get(), pin.Get());
        }
    }
    FRequestedPins.clear();
}

HRESULT TGraphCommon::ConnectNamedPins(GstElement* OutF, const std::string& OutPinName,
                                       GstElement* InF, const std::string& InPinName,
                                       bool intelligent) {
    if (OutF == nullptr || InF == nullptr || !FGraphBuilder) {
        return E_FAIL;
    }
    bool outRequested = false;
    bool inRequested = false;
    TGstPadHandle out = GraphPads::FindPad(OutF, OutPinName, PINDIR_OUTPUT, true, &outRequested);
    TGstPadHandle in;
    if (out) {
        in = GraphPads::FindPad(InF, InPinName, PINDIR_INPUT, true, &inRequested);
    }
    if (!out || !in) {
        // Give back a pad requested for this connection, so the graph stays as it was.
        if (out && outRequested) {
            gst_element_release_request_pad(OutF, out.Get());
        }
        Line("Error connecting pins " + OutPinName + " and " + InPinName + ".");
        return E_FAIL;
    }
    const HRESULT hr = intelligent ? GraphRender::ConnectIntelligent(Bin(), out.Get(), in.Get())
                                   : GraphPads::LinkPads(out.Get(), in.Get());
    if (FAILED(hr)) {
        if (outRequested) {
            gst_element_release_request_pad(OutF, out.Get());
        }
        if (inRequested) {
            gst_element_release_request_pad(InF, in.Get());
        }
        return hr;
    }
    if (outRequested) {
        KeepRequestedPin(OutF, out);
    }
    if (inRequested) {
        KeepRequestedPin(InF, in);
    }
    return hr;
}

HRESULT TGraphCommon::ConnectPins(GstElement* OutF, const std::string& OutPinName, GstElement* InF,
                                  const std::string& InPinName) {
    try {
        return ConnectNamedPins(OutF, OutPinName, InF, InPinName, false);
    } catch (...) {
        CallFailed("ConnectPins");
        return E_FAIL;
    }
}

HRESULT TGraphCommon::ConnectFilters(GstElement* OutFilter, GstElement* InFilter) {
    if (OutFilter == nullptr || InFilter == nullptr) {
        return E_FAIL;
    }
    try {
        bool connected = false;
        for (auto& out : GraphPads::ElementPads(OutFilter)) {
            if (GST_PAD_DIRECTION(out.Get()) != GST_PAD_SRC || gst_pad_is_linked(out.Get())) {
                continue;
            }
            for (auto& in : GraphPads::ElementPads(InFilter)) {
                if (GST_PAD_DIRECTION(in.Get()) == GST_PAD_SINK && !gst_pad_is_linked(in.Get()) &&
                    GraphPads::LinkPads(out.Get(), in.Get()) == S_OK) {
                    connected = true;
                    break;
                }
            }
        }
        return connected ? S_OK : E_FAIL;
    } catch (...) {
        CallFailed("ConnectFilters");
        return E_FAIL;
    }
}

HRESULT TGraphCommon::DisconnectPin(GstPad* pin) {
    const HRESULT hr = GraphPads::UnlinkPad(pin);
    if (hr == VFW_E_NOT_CONNECTED && FStyle.PeerlessDisconnectSucceeds) {
        return S_OK;
    }
    return hr;
}

HRESULT TGraphCommon::DisconnectPins(GstElement* F, const std::string& PinName,
                                     TPinDirection PinDir) {
    if (!FGraphBuilder || F == nullptr) {
        return S_OK;
    }
    try {
        TGstPadHandle pin = GraphPads::FindPad(F, PinName, PinDir, false);
        return pin ? DisconnectPin(pin.Get()) : E_FAIL;
    } catch (...) {
        Line(FStyle.DisconnectPinsError);
        return E_FAIL;
    }
}

HRESULT TGraphCommon::AddFilter(const std::string& factoryName, TGstElementHandle& Filter,
                                const std::string& FilterName) {
    try {
        Filter = TGstElementHandle::Adopt(gst_element_factory_make(factoryName.c_str(), nullptr));
        if (!Filter) {
            return E_FAIL;  // no such element factory: the class is not registered
        }
        GstBin* bin = Bin();
        if (bin == nullptr) {
            Filter.Reset();
            return E_FAIL;
        }
        if (!FilterName.empty()) {
            std::string name = FilterName;
            char suffix[16];
            for (int n = 1; HasChildNamed(bin, name) && n < 10000; ++n) {
                std::snprintf(suffix, sizeof suffix, " %04d", n);
                name = FilterName + suffix;
            }
            gst_object_set_name(GST_OBJECT(Filter.Get()), name.c_str());
        }
        if (!gst_bin_add(bin, Filter.Get())) {
            Filter.Reset();
            return E_FAIL;
        }
        return S_OK;
    } catch (...) {
        CallFailed("AddFilter");
        Filter.Reset();
        return E_FAIL;
    }
}

HRESULT TGraphCommon::RenderPinOnFilter(GstElement* Filter, const std::string& PinName,
                                        TPinDirection PinDirection) {
    try {
        TGstPadHandle pin = GraphPads::FindPad(Filter, PinName, PinDirection, false);
        if (!pin || !FGraphBuilder) {
            return E_FAIL;
        }
        return GraphRender::RenderPad(Bin(), pin.Get());
    } catch (...) {
        CallFailed("RenderPinOnFilter");
        return E_FAIL;
    }
}
