#include "capture/FrameGrabCaptureGraph.h"

#include <chrono>
#include <string>
#include <thread>

#include "capture/CapturePins.h"
#include "capture/NetworkCameraProbes.h"
#include "capture/VideoFrameGrabFilter.h"
#include "graph/GraphFunctions.h"
#include "platform/Diagnostics.h"

using CaptureDeviceControls::TControlKind;
using CapturePins::TPinCategory;

// Nobody else reads the capture graph's bus, so every message is dropped where it is posted;
// errors and warnings are logged first, and the end of the stream or a failure is reported to
// the stream end handler.
GstBusSyncReply TFrameGrabCaptureGraph::OnBusMessage(GstBus*, GstMessage* message, gpointer self) {
    const GstMessageType type = GST_MESSAGE_TYPE(message);
    if (type == GST_MESSAGE_ERROR || type == GST_MESSAGE_WARNING) {
        GError* error = nullptr;
        gchar* debug = nullptr;
        if (type == GST_MESSAGE_ERROR) {
            gst_message_parse_error(message, &error, &debug);
        } else {
            gst_message_parse_warning(message, &error, &debug);
        }
        const char* source = GST_MESSAGE_SRC_NAME(message);
        LogMessageFmt("%s in TFrameGrabCaptureGraph - %s: %s",
                      type == GST_MESSAGE_ERROR ? "Error" : "Warning",
                      source != nullptr ? source : "graph",
                      error != nullptr ? error->message : "unknown failure");
        g_clear_error(&error);
        g_free(debug);
    }
    if (type == GST_MESSAGE_ERROR || type == GST_MESSAGE_EOS) {
        auto* graph = static_cast<TFrameGrabCaptureGraph*>(self);
        std::lock_guard lock(graph->FStreamEndLock);
        if (graph->FStreamEndHandler) {
            graph->FStreamEndHandler(type == GST_MESSAGE_ERROR);
        }
    }
    return GST_BUS_DROP;
}

void TFrameGrabCaptureGraph::SetStreamEndHandler(TStreamEndHandler Handler) {
    std::lock_guard lock(FStreamEndLock);
    FStreamEndHandler = std::move(Handler);
}

TFrameGrabCaptureGraph::TFrameGrabCaptureGraph(std::vector<std::string> FileCameras)
    : TFrameGrabCaptureGraph(VirtualDevices::TCameraSources{std::move(FileCameras),
                                                            NetworkCamera::FromEnvironment()}) {}

TFrameGrabCaptureGraph::TFrameGrabCaptureGraph(VirtualDevices::TCameraSources Sources,
                                               int NetworkProbeWaitMs)
    : TDirectShowGraph(TGraphClock::Own),
      FSources(std::move(Sources)),
      FNetworkProbeWaitMs(NetworkProbeWaitMs) {
    try {
        FDeviceIndex = -1;
        FAnalogCardInputs.clear();
        EnumSupportedDevices();
        FMainGraphActive = false;
        FDemultiplexerGUID = CLSID_MPEG2Demultiplexer;
        FVideoDecoderGUID = GUID_NULL;
        // The pipeline plays the capture graph builder's part; its bus is drained here.
        CheckDXError(Valid() ? S_OK : E_FAIL, "Error creating CaptureGraphBuilder2.");
        CheckDXError(MediaEvent() != nullptr ? S_OK : E_FAIL, "Error setting filter graph.");
        gst_bus_set_sync_handler(MediaEvent(), OnBusMessage, this, nullptr);
        FOutputVideoWidth = -1;
        FOutputVideoHeight = -1;
        FOutputFrameInterval = -1;
    } catch (...) {
        LogMessage("TFrameGrabCaptureGraph.Create call...");
    }
}

TFrameGrabCaptureGraph::~TFrameGrabCaptureGraph() {
    try {
        if (FMainGraphActive) {
            DeactivateMainGraph();
        }
        FAnalogCardInputs.clear();
        if (MediaEvent() != nullptr) {
            gst_bus_set_sync_handler(MediaEvent(), nullptr, nullptr, nullptr);
        }
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.Destroy call...");
    }
}

HRESULT TFrameGrabCaptureGraph::ActivateMainGraph(int32_t DeviceIndex) {
    try {
        if (FMainGraphActive) {
            LogMessage("Error in TFrameGrabCaptureGraph.ActivateMainGraph - graph already active.");
            return E_FAIL;
        }
        FOutputMediaTypeIndex = -1;
        if (DeviceIndex < 0 || DeviceIndex >= FCaptureDeviceDescriptionList.DevicesCount) {
            LogMessage("Error in TFrameGrabCaptureGraph.ActivateMainGraph - invalid device index.");
            return E_FAIL;
        }
        // A network camera starts only with the size a look at its stream found; one whose look
        // has not answered (NetworkProbePending) or failed (logged by the look) does not.
        if (const NetworkCamera::TNetworkCamera* camera = NetworkCameraOf(DeviceIndex)) {
            const std::optional<NetworkCamera::TStreamInfo> info =
                TNetworkCameraProbes::Instance().Result(*camera, FNetworkProbeWaitMs);
            if (!info || !info->Opened) {
                return E_FAIL;
            }
        }
        // A network camera listed as unrecognised (its look failed then) is a webcam once a
        // later look finds its stream.
        const int32_t type =
            NetworkCameraOf(DeviceIndex) != nullptr
                ? CaptureDeviceType_Analog
                : FCaptureDeviceDescriptionList.Devices[static_cast<size_t>(DeviceIndex)]
                      .DeviceType;
        // The builders read the entry through FDeviceIndex; a failed build restores it.
        const int32_t previousIndex = FDeviceIndex;
        FDeviceIndex = DeviceIndex;
        HRESULT hr = E_FAIL;
        switch (type) {
            case CaptureDeviceType_DV:
                hr = BuildMainGraph_DV();
                break;
            case CaptureDeviceType_HDV:
                hr = BuildMainGraph_HDV();
                break;
            case CaptureDeviceType_BMD:
                hr = BuildMainGraph_BMD();
                break;
            case CaptureDeviceType_Analog:
                hr = BuildMainGraph_Analog();
                break;
            case CaptureDeviceType_AnalogHW:
                hr = BuildMainGraph_AnalogHW();
                break;
            case CaptureDeviceType_DVVideo:
                hr = BuildMainGraph_DVVideo();
                break;
            default:
                FDeviceIndex = previousIndex;
                LogMessage(
                    "Error in TFrameGrabCaptureGraph.ActivateMainGraph - unknown device type.");
                return E_FAIL;
        }
        if (FAILED(hr)) {
            FDeviceIndex = previousIndex;
            LogMessage("Error in TFrameGrabCaptureGraph.ActivateMainGraph - cannot build grpah.");
            return hr;
        }
        FDeviceType = type;
        FMainGraphActive = true;
        return hr;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.ActivateMainGraph call...");
        return E_FAIL;
    }
}

bool TFrameGrabCaptureGraph::CreateCaptureFilter(const char* builder) {
    const std::string prefix = std::string("Error in TFrameGrabCaptureGraph.") + builder;
    if (FDeviceIndex < 0 || FDeviceIndex >= FCaptureDeviceDescriptionList.DevicesCount) {
        LogMessage(prefix + " - invalid device index.");
        return false;
    }
    TCaptureDeviceDescription& entry =
        FCaptureDeviceDescriptionList.Devices[static_cast<size_t>(FDeviceIndex)];
    TCaptureDeviceDescription found;
    const HRESULT hr =
        CreateDevice(FVideoCapture, CLSID_VideoInputDeviceCategory, entry.FriendlyName,
                     entry.DevicePath, entry.DisplayName, &found);
    if (FAILED(hr) || !FVideoCapture) {
        FVideoCapture.Reset();
        LogMessage(prefix + " - cannot create video capture filter.");
        return false;
    }
    // A camera plugged in again under another path keeps its place in the list.
    entry.DisplayName = found.DisplayName;
    entry.DevicePath = found.DevicePath;
    return true;
}

HRESULT TFrameGrabCaptureGraph::AddOwnFilter(TGstElementHandle& filter, const std::string& name) {
    GstPipeline* graph = GraphBuilder();
    if (!filter || graph == nullptr) {
        return E_FAIL;
    }
    GstElement* existing = gst_bin_get_by_name(GST_BIN(graph), name.c_str());
    if (existing != nullptr) {
        gst_object_unref(existing);  // a taken name: the element keeps its own
    } else {
        gst_object_set_name(GST_OBJECT(filter.Get()), name.c_str());
    }
    return gst_bin_add(GST_BIN(graph), filter.Get()) ? S_OK : E_FAIL;
}

HRESULT TFrameGrabCaptureGraph::AddCaptureFilter() {
    const TCaptureDeviceDescription& entry =
        FCaptureDeviceDescriptionList.Devices[static_cast<size_t>(FDeviceIndex)];
    return AddOwnFilter(FVideoCapture, entry.FriendlyName);
}

void TFrameGrabCaptureGraph::LookUpAnalogPins(bool logOutcome) {
    auto log = [logOutcome](bool found, const char* foundLine, const char* missingLine) {
        if (logOutcome) {
            LogMessage(found ? foundLine : missingLine);
        }
    };
    FVCFMPEGPin = CapturePins::FindPin(FVideoCapture.Get(), TPinCategory::Any, &MEDIATYPE_Stream);
    log(static_cast<bool>(FVCFMPEGPin), "MPEG pin found.", "MPEG pin can not be found.");
    FVCFDVPin =
        CapturePins::FindPin(FVideoCapture.Get(), TPinCategory::Capture, &MEDIATYPE_Interleaved);
    log(static_cast<bool>(FVCFDVPin), "DV pin found.", "DV pin can not be found.");
    FVCFVideoCapturePin =
        CapturePins::FindPin(FVideoCapture.Get(), TPinCategory::Capture, &MEDIATYPE_Video);
    log(static_cast<bool>(FVCFVideoCapturePin), "Video Capture pin found.",
        "Video Capture pin can not be found.");
    FVCFVideoPreviewPin =
        CapturePins::FindPin(FVideoCapture.Get(), TPinCategory::Preview, &MEDIATYPE_Video);
    log(static_cast<bool>(FVCFVideoPreviewPin), "Video Preview pin found.",
        "Video Preview pin can not be found.");
}

void TFrameGrabCaptureGraph::LookUpAnalogInterfaces(bool logRetries) {
    GstElement* filter = FVideoCapture.Get();
    // Interleaved first, then Video; the Video retry of an analog card with hardware encoder
    // reports its failure (and goes on).
    auto find = [&](TControlKind kind, CaptureDeviceControls::TDeviceControlPtr& control,
                    const char* retryLine) {
        if (SUCCEEDED(
                CaptureDeviceControls::FindControl(filter, kind, MEDIATYPE_Interleaved, control))) {
            return;
        }
        const HRESULT hr =
            CaptureDeviceControls::FindControl(filter, kind, MEDIATYPE_Video, control);
        if (logRetries && retryLine != nullptr) {
            try {
                CheckDXError(hr, retryLine);
            } catch (const EDXError&) {
            }
        }
    };
    find(TControlKind::Crossbar, FAMCrossbar, "Interface IAMCrossbar not supported.");
    find(TControlKind::TVTuner, FAMTVTuner, "Interface IAMTVTuner not supported.");
    find(TControlKind::TVAudio, FAMTVAudio, nullptr);
    // The stream configuration is the capture pin's of Video type.
    FAMStreamConfig =
        CapturePins::FindStreamConfig(filter, TPinCategory::Capture, MEDIATYPE_Interleaved);
    FAMStreamConfig = CapturePins::FindStreamConfig(filter, TPinCategory::Capture, MEDIATYPE_Video);
    try {
        CheckDXError(FAMStreamConfig ? S_OK : E_NOINTERFACE,
                     "Interface IAMStreamConfig not supported.");
    } catch (const EDXError&) {
    }
    find(TControlKind::AnalogVideoDecoder, FAMAnalogVideoDecoder,
         "Interface FAMAnalogVideoDecoder not supported.");
    FPreviewAMStreamConfig =
        CapturePins::FindStreamConfig(filter, TPinCategory::Preview, MEDIATYPE_Interleaved);
    if (!FPreviewAMStreamConfig) {
        FPreviewAMStreamConfig =
            CapturePins::FindStreamConfig(filter, TPinCategory::Preview, MEDIATYPE_Video);
        if (logRetries) {
            try {
                CheckDXError(FPreviewAMStreamConfig ? S_OK : E_NOINTERFACE,
                             "Interface IAMStreamConfig for preview not supported.");
            } catch (const EDXError&) {
            }
        }
    }
    if (FAMCrossbar &&
        FAILED(CaptureDeviceControls::FindUpstreamCrossbar(filter, FAMCrossbar, FAMCrossbar2))) {
        LogMessage("Second crossbar not available.");
    }
}

void TFrameGrabCaptureGraph::ProposeFixedAnalogFormat() {
    // PAL 720 x 576 YUY2 at 25 frames per second; a device that cannot deliver it keeps its own.
    TMediaType mt;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_YUY2;
    mt.bFixedSizeSamples = true;
    mt.bTemporalCompression = false;
    mt.lSampleSize = 829440;
    TVideoInfoHeader vih{};
    vih.rcSource = {0, 0, 720, 576};
    vih.rcTarget = {0, 0, 720, 576};
    vih.dwBitRate = 165888000;
    vih.dwBitErrorRate = 0;
    vih.AvgTimePerFrame = 400000;
    vih.bmiHeader.biSize = 40;
    vih.bmiHeader.biWidth = 720;
    vih.bmiHeader.biHeight = 576;
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = 16;
    vih.bmiHeader.biCompression = MakeFourCC('Y', 'U', 'Y', '2');
    vih.bmiHeader.biSizeImage = 829440;
    mt.SetFormat(FORMAT_VideoInfo, vih);
    FAMStreamConfig->SetFormat(mt);
}

HRESULT TFrameGrabCaptureGraph::BuildMainGraph_Analog() {
    try {
        if (!CreateCaptureFilter("BuildMainGraph_Analog")) {
            return E_FAIL;
        }
        CheckDXError(AddCaptureFilter(), "Error adding FVideoCapture filter.");
        LookUpAnalogPins(false);
        LookUpAnalogInterfaces(false);
        SetupAnalogFrontEnd();
        if (FAMStreamConfig) {
            ProposeFixedAnalogFormat();
        }
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.BuildMainGraph_Analog call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::BuildMainGraph_AnalogHW() {
    try {
        if (!CreateCaptureFilter("BuildMainGraph_AnalogHW")) {
            return E_FAIL;
        }
        CheckDXError(AddCaptureFilter(), "Error adding FVideoCapture filter.");
        LookUpAnalogPins(true);
        LookUpAnalogInterfaces(true);
        // The TV format is part of the front-end set-up and needs the analog video decoder.
        SetupAnalogFrontEnd();
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.BuildMainGraph_AnalogHW call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::BuildMainGraph_BMD() {
    try {
        if (!CreateCaptureFilter("BuildMainGraph_BMD")) {
            return E_FAIL;
        }
        FVCFVideoCapturePin =
            CapturePins::FindPin(FVideoCapture.Get(), TPinCategory::Capture, &MEDIATYPE_Video);
        if (!FVCFVideoCapturePin) {
            LogMessage("Video Capture pin can not be found.");
            FVCFVideoCapturePin.Reset();
            FVideoCapture.Reset();
            return E_FAIL;
        }
        LogMessage("Video Capture pin found.");
        FAMStreamConfig = CapturePins::StreamConfig(FVCFVideoCapturePin.Get());
        try {
            CheckDXError(FAMStreamConfig ? S_OK : E_NOINTERFACE,
                         "Interface IAMStreamConfig not supported.");
        } catch (const EDXError&) {
        }
        CheckDXError(AddCaptureFilter(), "Error adding FVideoCapture filter.");
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.BuildMainGraph_BMD call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::BuildStreamDevice(const char* builder, const TGUID& majorType,
                                                  bool anyCategory, TGstPadHandle& pin,
                                                  const char* missingLine, const char* foundLine) {
    try {
        if (!CreateCaptureFilter(builder)) {
            return E_FAIL;
        }
        pin = CapturePins::FindPin(FVideoCapture.Get(),
                                   anyCategory ? TPinCategory::Any : TPinCategory::Capture,
                                   &majorType);
        if (!pin) {
            pin.Reset();
            FVideoCapture.Reset();
            LogMessage(missingLine);
            return E_FAIL;
        }
        LogMessage(foundLine);
        CheckDXError(AddCaptureFilter(), "Error adding FVideoCapture filter.");
        return S_OK;
    } catch (...) {
        LogMessage(std::string("Error in TFrameGrabCaptureGraph.") + builder + " call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::BuildMainGraph_DV() {
    return BuildStreamDevice("BuildMainGraph_DV", MEDIATYPE_Interleaved, false, FVCFDVPin,
                             "DV pin can not be found.", "DV pin found.");
}

HRESULT TFrameGrabCaptureGraph::BuildMainGraph_DVVideo() {
    return BuildStreamDevice("BuildMainGraph_DVVideo", MEDIATYPE_Video, false, FVCFDVPin,
                             "DV pin can not be found.", "DV pin found.");
}

HRESULT TFrameGrabCaptureGraph::BuildMainGraph_HDV() {
    return BuildStreamDevice("BuildMainGraph_HDV", MEDIATYPE_Stream, true, FVCFMPEGPin,
                             "MPEG pin can not be found.", "MPEG pin found.");
}

void TFrameGrabCaptureGraph::RemoveOutputPart() {
    GstPipeline* graph = GraphBuilder();
    if (graph == nullptr) {
        return;
    }
    for (;;) {
        TGstElementHandle leftover;
        GST_OBJECT_LOCK(graph);
        for (GList* l = GST_BIN_CHILDREN(GST_BIN(graph)); l != nullptr; l = l->next) {
            if (l->data != FVideoCapture.Get()) {
                leftover = TGstElementHandle::Ref(GST_ELEMENT(l->data));
                break;
            }
        }
        GST_OBJECT_UNLOCK(graph);
        if (!leftover) {
            return;
        }
        RemoveFilter(leftover);
    }
}

HRESULT TFrameGrabCaptureGraph::ResetMainGraph() {
    try {
        Stop();
        NukeDownstream(FVideoCapture.Get());
        RemoveFilter(FDemultiplexer);
        RemoveFilter(FVideoDecoder);
        RemoveFilter(FFrameSizeFilter);
        FVideoFrameGrabFilterControl = nullptr;
        FVideoFrameGrabFilterClass = nullptr;
        RemoveFilter(FVideoFrameGrabFilter);
        // Converters an intelligent connection put in front of the frame grab filter are not
        // reachable from the device while no data has flowed; they go too.
        RemoveOutputPart();
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.ResetMainGraph call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::DeactivateMainGraph() {
    try {
        FPAMMediaType.reset();
        Stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ResetMainGraph();
        FAMStreamConfig.reset();
        FPreviewAMStreamConfig.reset();
        FAMCrossbar.reset();
        FAMCrossbar2.reset();
        FAMTVTuner.reset();
        FAMTVAudio.reset();
        FAMAnalogVideoDecoder.reset();
        FVCFMPEGPin.Reset();
        FVCFDVPin.Reset();
        FVCFVideoCapturePin.Reset();
        FVCFVideoPreviewPin.Reset();
        RemoveFilter(FVideoCapture);
        FMainGraphActive = false;
        FOutputVideoWidth = -1;
        FOutputVideoHeight = -1;
        FOutputFrameInterval = -1;
        FAnalogCardInputs.clear();
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.DeactivateMainGraph call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::SetNextFrameDataFunction(TNextFrameDataFunction Func) {
    try {
        FNextFrameDataFunction = std::move(Func);
        if (FVideoFrameGrabFilterControl != nullptr) {
            return FVideoFrameGrabFilterControl->SetNextFrameDataFunction(FNextFrameDataFunction);
        }
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.SetNextFrameDataFunction call...");
        return E_FAIL;
    }
}

void TFrameGrabCaptureGraph::HandFrameTimeToSources() {
    if (!FVideoCapture || FFrameTime <= 0 || !GST_IS_BIN(FVideoCapture.Get())) {
        return;
    }
    // Sources that can draw only the pictures the grid takes (the Test Pattern) say so with a
    // "frame-time" property.
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(FVideoCapture.Get()));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        GObject* element = G_OBJECT(g_value_get_object(&item));
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(element), "frame-time") != nullptr) {
            g_object_set(element, "frame-time", static_cast<gint64>(FFrameTime), nullptr);
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
}

HRESULT TFrameGrabCaptureGraph::SetFrameTime(int64_t FrameTime) {
    try {
        FFrameTime = FrameTime;
        HandFrameTimeToSources();
        if (FVideoFrameGrabFilterControl != nullptr) {
            return FVideoFrameGrabFilterControl->SetFrameTime(FFrameTime);
        }
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.SetFrameTime call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::GetFrameTime(int64_t& FrameTime) {
    FrameTime = FFrameTime;
    return S_OK;
}

HRESULT TFrameGrabCaptureGraph::SetVideoDecoder(const TGUID* Guid) {
    FVideoDecoderGUID = Guid != nullptr ? *Guid : GUID_NULL;
    return S_OK;
}

HRESULT TFrameGrabCaptureGraph::SetDemultiplexer(const TGUID* Guid) {
    FDemultiplexerGUID = Guid != nullptr ? *Guid : GUID_NULL;
    return S_OK;
}
