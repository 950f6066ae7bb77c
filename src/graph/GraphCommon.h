#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "graph/GraphPads.h"
#include "platform/GstHandle.h"
#include "platform/HResult.h"

// How a graph wrapper reports: which class name its lines carry, where they go, and the few
// behaviours in which the two wrappers differ.
struct TGraphLogStyle {
    const char* ClassName;                 // "TDirectShowGraph" or "TGraph"
    const char* Tag;                       // put in front of every line ("" or "gkt: ")
    void (*Write)(std::string_view line);  // LogMessage or OutputDebugString
    bool WarnOnIntermediate;               // Play/Pause log when the state stays intermediate
    bool WarnWhileStopping;                // Stop logs every poll that is not stopped yet
    bool PeerlessDisconnectSucceeds;       // DisconnectPins on a pin without peer: S_OK
    const char* DisconnectPinsError;       // DisconnectPins' catch-all line (without tag)
};

// Whether construction forces the system clock (Create) or leaves the choice to the
// pipeline (CreateNoClock).
enum class TGraphClock { System, Own };

// The mechanics shared by TDirectShowGraph and TGraph: one GstPipeline ("filter graph
// manager") with its bus, filters = elements, pins = pads.
//
// Threading: a graph is used by one thread and is created and destroyed on that thread.
// Stop goes to GST_STATE_NULL, so devices and files are released like in a stopped graph
// whose filters can be removed; a graph in READY also reads as State_Stopped.
class TGraphCommon {
public:
    TGraphCommon(const TGraphCommon&) = delete;
    TGraphCommon& operator=(const TGraphCommon&) = delete;
    virtual ~TGraphCommon() = default;

    // False when construction failed before the pipeline existed; every operation then
    // answers its failure value.
    bool Valid() const { return static_cast<bool>(FGraphBuilder); }

    // Set the state and wait (GetState polls of 200 ms, 1 ms apart) until it is reached;
    // Play and Pause stop waiting when the change stays asynchronous (VFW_S_STATE_INTERMEDIATE).
    // The wait is bounded by kStateWaitBoundMs and ends early when the change failed. The
    // result is that of the state change: S_OK (also when it completes asynchronously) or
    // E_FAIL; E_FAIL without a pipeline.
    virtual HRESULT Play();
    virtual HRESULT Stop();
    virtual HRESULT Pause();

    void DisassembleGraph();
    HRESULT RemoveFilter(TGstElementHandle& Filter);
    // Finds an existing pin by name (any pin of the direction for an empty name); never
    // creates one.
    TGstPadHandle FindPinOnFilter(GstElement* F, const std::string& PinName, TPinDirection PinDir);
    // The pin FindPinOnFilter finds, else a new one requested from the filter's request
    // templates by that name (a template name such as "src_%u" or a concrete "src_1"). A pin
    // created here belongs to the graph: it is released when the graph is taken apart.
    TGstPadHandle RequestPinOnFilter(GstElement* F, const std::string& PinName,
                                     TPinDirection PinDir);
    HRESULT ConnectPins(GstElement* OutF, const std::string& OutPinName, GstElement* InF,
                        const std::string& InPinName);
    HRESULT ConnectFilters(GstElement* OutFilter, GstElement* InFilter);
    HRESULT DisconnectPins(GstElement* F, const std::string& PinName, TPinDirection PinDir);
    // Creates an element of `factoryName` into `Filter` and adds it to the graph named
    // `FilterName` (a taken name gets " 0001", " 0002", ... appended).
    HRESULT AddFilter(const std::string& factoryName, TGstElementHandle& Filter,
                      const std::string& FilterName);
    HRESULT GetStatus(int32_t& Status);
    TFilterState GetState();
    // Renders an existing pin (found as FindPinOnFilter finds it).
    HRESULT RenderPinOnFilter(GstElement* Filter, const std::string& PinName,
                              TPinDirection PinDirection);

    // The pipeline plays every control role (media control, position, seeking, filter);
    // its bus carries the media events.
    GstPipeline* GraphBuilder() const {
        return FGraphBuilder ? GST_PIPELINE(FGraphBuilder.Get()) : nullptr;
    }
    GstElement* MediaControl() const { return FGraphBuilder.Get(); }
    GstElement* MediaPosition() const { return FGraphBuilder.Get(); }
    GstElement* MediaSeekeing() const { return FGraphBuilder.Get(); }
    GstBus* MediaEvent() const { return FMediaEvent.Get(); }
    GstBus* MediaEventEx() const { return FMediaEvent.Get(); }
    TFilterState State() { return GetState(); }

    static constexpr int kStateWaitBoundMs = 5000;
    static constexpr int kGetStateTimeoutMs = 200;

protected:
    explicit TGraphCommon(const TGraphLogStyle& style) : FStyle(style) {}

    // Construction steps, in order; each answers an HRESULT for the caller's failure lines.
    HRESULT CreateGraphBuilder();
    HRESULT AddToRunningObjectTable();
    HRESULT ObtainInterfaces();
    HRESULT CreateReferenceClock();
    HRESULT SetSyncSource();

    // Destruction: stop, revoke the registration, remove every filter, release references.
    void Teardown();

    void Line(const std::string& text) const;   // tag + text
    void CallFailed(const char* method) const;  // "Error in <class>.<method> call..."
    HRESULT QueryState(TFilterState& state, int timeoutMs) const;
    HRESULT ConnectNamedPins(GstElement* OutF, const std::string& OutPinName, GstElement* InF,
                             const std::string& InPinName, bool intelligent);
    // Disconnects `pin` from its peer (the second form of DisconnectPins).
    HRESULT DisconnectPin(GstPad* pin);
    GstBin* Bin() const { return FGraphBuilder ? GST_BIN(FGraphBuilder.Get()) : nullptr; }

    const TGraphLogStyle& FStyle;
    int32_t FRotRegister = 0;
    TGstElementHandle FGraphBuilder;  // the GstPipeline
    TGstBusHandle FMediaEvent;
    TGstElementHandle FVideoWindow;  // the video sink, once retrieved
    TGstClockHandle FReferenceClock;

private:
    // Remembers a pin requested for the graph, to be released when the graph is taken apart.
    void KeepRequestedPin(GstElement* F, const TGstPadHandle& pin);
    void ReleaseRequestedPins();

    // Pins requested by RequestPinOnFilter and by connections, with their filters.
    std::vector<std::pair<TGstElementHandle, TGstPadHandle>> FRequestedPins;

    HRESULT ChangeState(GstState state, TFilterState target, const char* method);
    void WaitForState(TFilterState target, const char* method);
};
