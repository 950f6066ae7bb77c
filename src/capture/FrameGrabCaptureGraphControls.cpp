// Device controls of the capture graph: the analog front end (crossbar inputs, tuner, video
// standard), the control interfaces handed to callers and the property pages.
#include <stdexcept>
#include <string>

#include "capture/CaptureDeviceTypes.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "capture/PropertyPages.h"
#include "graph/GraphFunctions.h"
#include "platform/Diagnostics.h"

using namespace CaptureDeviceControls;

namespace {

constexpr const char* kPageCaption = "Settings";

struct ECrossbarFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) {
        throw ECrossbarFailure(what);
    }
}

bool IsVideoOutput(int32_t type) {
    return type == PhysConn_Video_Tuner || type == PhysConn_Video_VideoDecoder;
}

bool IsAudioOutput(int32_t type) {
    return type == PhysConn_Audio_Tuner || type == PhysConn_Audio_AudioDecoder;
}

// The lowest output pin of video type; -1 when there is none.
int32_t FirstVideoOutput(TCrossbar& crossbar, int32_t outputs) {
    for (int32_t out = 0; out < outputs; ++out) {
        int32_t type = 0;
        Check(crossbar.PinType(false, out, type), "pin type");
        if (IsVideoOutput(type)) {
            return out;
        }
    }
    return -1;
}

// Hands out `field` with a new reference; E_FAIL while it is empty.
template <typename T>
HRESULT HandOut(const char* method, const T& field, T& out) {
    try {
        out.reset();
        if (!field) {
            return E_FAIL;
        }
        out = field;
        return S_OK;
    } catch (...) {
        LogMessage(std::string("Error in TFrameGrabCaptureGraph.") + method + " call...");
        return E_FAIL;
    }
}

}  // namespace

// ---- front-end set-up ----

void TFrameGrabCaptureGraph::SetupAnalogFrontEnd() {
    // Step results are not checked: a card that refuses one keeps what was set before.
    if (auto* tuner = dynamic_cast<TTVTuner*>(FAMTVTuner.get())) {
        tuner->Logon();
        tuner->PutMode(AMTUNER_MODE_TV);
        tuner->PutInputType(0, TunerInputCable);
        tuner->PutTuningSpace(0);
    }
    SetCrossBar(FAMCrossbar);
    SetCrossBar(FAMCrossbar2);
    if (FAMCrossbar) {
        EnumAnalogCardInputs();
    }
    if (auto* decoder = dynamic_cast<TAnalogVideoDecoder*>(FAMAnalogVideoDecoder.get())) {
        decoder->PutTVFormat(AnalogVideo_PAL_B);
    }
}

HRESULT TFrameGrabCaptureGraph::SetCrossBar(const TDeviceControlPtr& Crossbar) {
    try {
        if (!Crossbar) {
            return E_FAIL;
        }
        auto* crossbar = dynamic_cast<TCrossbar*>(Crossbar.get());
        if (crossbar == nullptr) {
            throw ECrossbarFailure("not a crossbar");
        }
        int32_t outputs = 0;
        int32_t inputs = 0;
        Check(crossbar->PinCounts(outputs, inputs), "pin counts");
        for (int32_t out = 0; out < outputs; ++out) {
            int32_t outType = 0;
            Check(crossbar->PinType(false, out, outType), "output pin type");
            int32_t wanted;
            if (IsVideoOutput(outType)) {
                wanted = PhysConn_Video_Tuner;
            } else if (IsAudioOutput(outType)) {
                wanted = PhysConn_Audio_Tuner;
            } else {
                continue;
            }
            for (int32_t in = 0; in < inputs; ++in) {
                int32_t inType = 0;
                Check(crossbar->PinType(true, in, inType), "input pin type");
                if (inType == wanted && crossbar->CanRoute(out, in) == S_OK) {
                    crossbar->Route(out, in);
                    break;
                }
            }
        }
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.SetCrossBar call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::EnumAnalogCardInputs() {
    try {
        if (!FAMCrossbar) {
            return S_OK;
        }
        FAnalogCardInputs.clear();
        TCrossbar& crossbar = AnalogCardCrossbar();
        int32_t outputs = 0;
        int32_t inputs = 0;
        Check(crossbar.PinCounts(outputs, inputs), "pin counts");
        for (int32_t out = 0; out < outputs; ++out) {
            int32_t outType = 0;
            Check(crossbar.PinType(false, out, outType), "output pin type");
            if (!IsVideoOutput(outType)) {
                continue;
            }
            for (int32_t in = 0; in < inputs; ++in) {
                if (crossbar.CanRoute(out, in) != S_OK) {
                    continue;
                }
                int32_t inType = 0;
                Check(crossbar.PinType(true, in, inType), "input pin type");
                FAnalogCardInputs.push_back({GetPhysicalConnectorName(inType), in});
            }
        }
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.EnumAnalogCardInputs call...");
        return E_FAIL;
    }
}

// ---- analog card inputs ----

bool TFrameGrabCaptureGraph::AnalogCardActive() const {
    return FMainGraphActive &&
           (FDeviceType == CaptureDeviceType_Analog || FDeviceType == CaptureDeviceType_AnalogHW);
}

TCrossbar& TFrameGrabCaptureGraph::AnalogCardCrossbar() const {
    auto* crossbar = dynamic_cast<TCrossbar*>(FAMCrossbar.get());
    if (crossbar == nullptr) {
        throw ECrossbarFailure("no crossbar");
    }
    return *crossbar;
}

HRESULT TFrameGrabCaptureGraph::AnalogCardGetInputsCount(int32_t& Count) {
    try {
        if (!AnalogCardActive()) {
            return E_FAIL;
        }
        Count = static_cast<int32_t>(FAnalogCardInputs.size());
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.AnalogCardGetInputsCount call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::AnalogCardGetInputName(int32_t Index, std::string& InputName) {
    try {
        InputName.clear();
        if (!AnalogCardActive() || Index < 0 ||
            Index >= static_cast<int32_t>(FAnalogCardInputs.size())) {
            return E_FAIL;
        }
        InputName = FAnalogCardInputs[static_cast<size_t>(Index)].Name;
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.AnalogCardGetInputName call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::AnalogCardSelectInput(int32_t Index) {
    try {
        if (!AnalogCardActive()) {
            return E_FAIL;
        }
        TCrossbar& crossbar = AnalogCardCrossbar();
        int32_t outputs = 0;
        int32_t inputs = 0;
        Check(crossbar.PinCounts(outputs, inputs), "pin counts");
        if (Index < 0 || Index >= inputs) {
            LogMessage(
                "Error in TFrameGrabCaptureGraph.AnalogCardSelectInput - invalid input index.");
            return E_FAIL;
        }
        const int32_t out = FirstVideoOutput(crossbar, outputs);
        if (out < 0) {
            return E_FAIL;
        }
        return crossbar.Route(out, Index);
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.AnalogCardSelectInput call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::AnalogCardGetSelectedInput(int32_t& Index) {
    try {
        if (!AnalogCardActive()) {
            return E_FAIL;
        }
        TCrossbar& crossbar = AnalogCardCrossbar();
        int32_t outputs = 0;
        int32_t inputs = 0;
        Check(crossbar.PinCounts(outputs, inputs), "pin counts");
        const int32_t out = FirstVideoOutput(crossbar, outputs);
        if (out < 0) {
            return E_FAIL;
        }
        return crossbar.IsRoutedTo(out, Index);
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.AnalogCardGetSelectedInput call...");
        return E_FAIL;
    }
}

// ---- interfaces ----

HRESULT TFrameGrabCaptureGraph::GetAMCrossBarInterface(TDeviceControlPtr& AMCrossbar) {
    return HandOut("GetAMCrossBarInterface", FAMCrossbar, AMCrossbar);
}

HRESULT TFrameGrabCaptureGraph::GetAMTVTunerInterface(TDeviceControlPtr& AMTVTuner) {
    return HandOut("GetAMTVTunerInterface", FAMTVTuner, AMTVTuner);
}

HRESULT TFrameGrabCaptureGraph::GetAMTVAudioInterface(TDeviceControlPtr& AMTVAudio) {
    return HandOut("GetAMTVAudioInterface", FAMTVAudio, AMTVAudio);
}

HRESULT TFrameGrabCaptureGraph::GetVideoCaptureAMAnalogVideoDecoderInterface(
    TDeviceControlPtr& AMAnalogVideoDecoder) {
    return HandOut("GetVideoCaptureAMAnalogVideoDecoderInterface", FAMAnalogVideoDecoder,
                   AMAnalogVideoDecoder);
}

HRESULT TFrameGrabCaptureGraph::GetVideoCaptureAMStreamConfigInterface(
    TCaptureStreamConfigPtr& AMStreamConfig) {
    return HandOut("GetVideoCaptureAMStreamConfigInterface", FAMStreamConfig, AMStreamConfig);
}

HRESULT TFrameGrabCaptureGraph::GetVideoPreviewAMStreamConfigInterface(
    TCaptureStreamConfigPtr& AMStreamConfig) {
    return HandOut("GetVideoPreviewAMStreamConfigInterface", FPreviewAMStreamConfig,
                   AMStreamConfig);
}

HRESULT TFrameGrabCaptureGraph::GetDeckLinkIOControlInterface(
    TDeviceControlPtr& DecklinkIOControl) {
    try {
        DecklinkIOControl.reset();
        if (!FMainGraphActive || FDeviceType != CaptureDeviceType_BMD || !FVideoCapture) {
            return E_FAIL;
        }
        return E_NOINTERFACE;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.GetDeckLinkIOControlInterface call...");
        return E_FAIL;
    }
}

// ---- property pages ----

TGstElementHandle TFrameGrabCaptureGraph::PinObject(GstPad* pin) {
    if (pin == nullptr) {
        return {};
    }
    TGstPadHandle target = TGstPadHandle::Ref(pin);
    if (GST_IS_GHOST_PAD(pin)) {
        target = TGstPadHandle::Adopt(gst_ghost_pad_get_target(GST_GHOST_PAD(pin)));
    }
    return target ? TGstElementHandle::Adopt(gst_pad_get_parent_element(target.Get()))
                  : TGstElementHandle{};
}

HRESULT TFrameGrabCaptureGraph::ShowPropertyPage(const char* method, bool present,
                                                 GstElement* object) {
    try {
        if (!present) {
            return E_FAIL;
        }
        // Objects without pages show nothing; the call still ends with the (absent) frame.
        ShowSpecifiedPropertyPages(object, nullptr, kPageCaption);
        return S_OK;
    } catch (...) {
        LogMessage(std::string("Error in TFrameGrabCaptureGraph.") + method + " call...");
        return E_FAIL;
    }
}

bool TFrameGrabCaptureGraph::IsPageAvailable(const char* method, bool present, GstElement* object) {
    try {
        if (!present) {
            return false;
        }
        if (object == nullptr) {
            // Front-end controls are parts of the V4L2 device, not objects with pages.
            LogMessage("Property Pages not supported.");
            return false;
        }
        return IsPropertyPageAvailable(object);
    } catch (...) {
        LogMessage(std::string("Error in TFrameGrabCaptureGraph.") + method + " call...");
        return false;
    }
}

HRESULT TFrameGrabCaptureGraph::ShowVideoCaptureFilterPropertyPage() {
    return ShowPropertyPage("ShowVideoCaptureFilterPropertyPage", static_cast<bool>(FVideoCapture),
                            FVideoCapture.Get());
}

bool TFrameGrabCaptureGraph::IsVideoCaptureFilterPropertyPageAvailable() {
    return IsPageAvailable("IsVideoCaptureFilterPropertyPageAvailable",
                           static_cast<bool>(FVideoCapture), FVideoCapture.Get());
}

HRESULT TFrameGrabCaptureGraph::ShowVideoCaptureFilterCapturePinPropertyPage() {
    TGstElementHandle pin = PinObject(FVCFVideoCapturePin.Get());
    return ShowPropertyPage("ShowVideoCaptureFilterCapturePinPropertyPage",
                            static_cast<bool>(FAMStreamConfig), pin.Get());
}

bool TFrameGrabCaptureGraph::IsVideoCaptureFilterCapturePinPropertyPageAvailable() {
    TGstElementHandle pin = PinObject(FVCFVideoCapturePin.Get());
    return IsPageAvailable("IsVideoCaptureFilterCapturePinPropertyPageAvailable",
                           static_cast<bool>(FAMStreamConfig), pin.Get());
}

HRESULT TFrameGrabCaptureGraph::ShowVideoCaptureFilterPreviewPinPropertyPage() {
    TGstElementHandle pin = PinObject(FVCFVideoPreviewPin.Get());
    return ShowPropertyPage("ShowVideoCaptureFilterPreviewPinPropertyPage",
                            static_cast<bool>(FPreviewAMStreamConfig), pin.Get());
}

bool TFrameGrabCaptureGraph::IsVideoCaptureFilterPreviewPinPropertyPageAvailable() {
    TGstElementHandle pin = PinObject(FVCFVideoPreviewPin.Get());
    return IsPageAvailable("IsVideoCaptureFilterPreviewPinPropertyPageAvailable",
                           static_cast<bool>(FPreviewAMStreamConfig), pin.Get());
}

HRESULT TFrameGrabCaptureGraph::ShowCrossBarFilterPropertyPage() {
    return ShowPropertyPage("ShowCrossBarFilterPropertyPage", static_cast<bool>(FAMCrossbar),
                            nullptr);
}

bool TFrameGrabCaptureGraph::IsCrossBarFilterPropertyPageAvailable() {
    return IsPageAvailable("IsCrossBarFilterPropertyPageAvailable", static_cast<bool>(FAMCrossbar),
                           nullptr);
}

HRESULT TFrameGrabCaptureGraph::ShowTVAudioFilterPropertyPage() {
    return ShowPropertyPage("ShowTVAudioFilterPropertyPage", static_cast<bool>(FAMTVAudio),
                            nullptr);
}

bool TFrameGrabCaptureGraph::IsTVAudioFilterPropertyPageAvailable() {
    return IsPageAvailable("IsTVAudioFilterPropertyPageAvailable", static_cast<bool>(FAMTVAudio),
                           nullptr);
}

HRESULT TFrameGrabCaptureGraph::ShowTVTunerFilterPropertyPage() {
    return ShowPropertyPage("ShowTVTunerFilterPropertyPage", static_cast<bool>(FAMTVTuner),
                            nullptr);
}

bool TFrameGrabCaptureGraph::IsTVTunerFilterPropertyPageAvailable() {
    return IsPageAvailable("IsTVTunerFilterPropertyPageAvailable", static_cast<bool>(FAMTVTuner),
                           nullptr);
}

HRESULT TFrameGrabCaptureGraph::ShowVideoDecoderPropertyPage() {
    return ShowPropertyPage("ShowVideoDecoderPropertyPage", static_cast<bool>(FVideoDecoder),
                            FVideoDecoder.Get());
}

bool TFrameGrabCaptureGraph::IsVideoDecoderPropertyPageAvailable() {
    return IsPageAvailable("IsVideoDecoderPropertyPageAvailable", static_cast<bool>(FVideoDecoder),
                           FVideoDecoder.Get());
}

HRESULT TFrameGrabCaptureGraph::ShowDemultiplexerPropertyPage() {
    return ShowPropertyPage("ShowDemultiplexerPropertyPage", static_cast<bool>(FDemultiplexer),
                            FDemultiplexer.Get());
}

bool TFrameGrabCaptureGraph::IsDemultiplexerPropertyPageAvailable() {
    return IsPageAvailable("IsDemultiplexerPropertyPageAvailable",
                           static_cast<bool>(FDemultiplexer), FDemultiplexer.Get());
}
