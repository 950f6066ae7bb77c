#pragma once

#include <memory>
#include <string>

#include "capture/GraphCommon.h"

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
    // Renders every stream of a local file (IGraphBuilder.RenderFile): uridecodebin plus
    // converters and default sinks for the decoded streams, completed while prerolling.
    HRESULT RenderFile(const std::string& FileName);

    GstElement* MediaFilter() const { return FGraphBuilder.Get(); }
    GstElement* VideoWindow() const { return FVideoWindow.Get(); }
    void SetVideoWindow(TGstElementHandle value) { FVideoWindow = std::move(value); }
    GstElement* BasicAudio() const { return FBasicAudio.Get(); }
    void SetBasicAudio(TGstElementHandle value) { FBasicAudio = std::move(value); }

private:
    TGstElementHandle FBasicAudio;
};
