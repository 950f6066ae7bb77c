#pragma once

#include <memory>
#include <string>

#include "graph/GraphCommon.h"
#include "graph/GraphRender.h"

// The filter-graph wrapper of the encoding graph, the alarm playback and CanFileRender.
// Its lines go straight to OutputDebugString, tagged "gkt: " (except the renderer queries);
// Play/Pause stop waiting silently on an intermediate state, Stop waits silently, and
// disconnecting a pin without peer succeeds. Created and destroyed on the same thread.
class TGraph : public TGraphCommon {
public:
    // TGraphClock::System is Create, TGraphClock::Own is CreateNoClock.
    explicit TGraph(TGraphClock clock = TGraphClock::System);
    ~TGraph() override;

    static std::unique_ptr<TGraph> Create();
    static std::unique_ptr<TGraph> CreateNoClock();

    using TGraphCommon::DisconnectPins;

    TGstPadHandle FindFirstPinOnFilter(GstElement* F, bool Connected, TPinDirection PinDir);
    bool IsPinConnected(GstPad* Pin);
    TGstPadHandle GetPinConnectedTo(GstPad* Pin);
    HRESULT GetFilterInOutPinsCount(GstElement* Filter, int32_t& InputPinsCount,
                                    int32_t& OutputPinsCount);
    // Like ConnectPins, but may insert converters or a decoder between the pins.
    HRESULT ConnectPinsIntelligent(GstElement* OutF, const std::string& OutPinName, GstElement* InF,
                                   const std::string& InPinName);
    HRESULT DisconnectFilter(GstElement* F);
    HRESULT DisconnectPins(GstPad* Pin);
    bool AllPinsConnected(GstElement* Filter);
    // Connects `Pin` to the first free input of `Filter` that accepts it (intelligently);
    // VFW_E_CANNOT_CONNECT when none does.
    HRESULT ConnectOutPinWithFilter(GstPad* Pin, GstElement* Filter);
    // The frame interval of the first video renderer in the graph (any depth); 0 when none.
    int64_t GetRenderedGraphAvgTimePerFrame();
    // Keep the graph's video sink in VideoWindow / its volume control (a stream-volume
    // element, else the audio sink) in BasicAudio; false when the graph has none.
    bool RetrieveVideoWindow();
    bool RetrieveBasicAudio();
    // Makes the element that ends a rendered video stream instead of the default video sink.
    using TVideoSinkFactory = GraphRender::TVideoSinkFactory;
    // Renders every stream of a local file (IGraphBuilder.RenderFile): uridecodebin plus
    // converters and default sinks for the decoded streams, completed while prerolling. The
    // graph plays again after Stop with the same sinks. VideoSink, when set, makes the video
    // sink; an empty element from it fails that stream.
    HRESULT RenderFile(const std::string& FileName, TVideoSinkFactory VideoSink = {});

    // IMediaControl.GetState with a time-out: the state (the one the graph is heading for
    // while it changes, also while it prerolls again after a seek) and S_OK,
    // VFW_S_STATE_INTERMEDIATE or E_FAIL.
    using TGraphCommon::GetState;
    HRESULT GetState(int32_t TimeoutMs, TFilterState& State);
    // Flushing seek to the start: S_OK; S_FALSE while stopped (a start begins there anyway);
    // E_FAIL when refused.
    HRESULT SetPositionToStart();
    // IMediaEvent.WaitForCompletion: waits up to TimeoutMs for the end of the stream or an
    // error on the bus, discarding every other message. S_OK with EvCode EC_COMPLETE or
    // EC_ERRORABORT; VFW_E_TIMEOUT (EvCode 0) when neither came.
    static constexpr int32_t EC_COMPLETE = 0x01;
    static constexpr int32_t EC_ERRORABORT = 0x03;
    HRESULT WaitForCompletion(int32_t TimeoutMs, int32_t& EvCode);

    GstElement* MediaFilter() const { return FGraphBuilder.Get(); }
    GstElement* VideoWindow() const { return FVideoWindow.Get(); }
    void SetVideoWindow(TGstElementHandle value) { FVideoWindow = std::move(value); }
    GstElement* BasicAudio() const { return FBasicAudio.Get(); }
    void SetBasicAudio(TGstElementHandle value) { FBasicAudio = std::move(value); }

private:
    TGstElementHandle FBasicAudio;
};
