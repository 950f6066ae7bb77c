// Output formats of the activated device: the capture pin's capability list for webcams,
// analog and DeckLink cards, one format taken from the stream for DV, HDV, DV video and analog
// cards with hardware encoder. A graph without an activated device offers nothing.
#include <string>

#include "capture/CaptureFormats.h"
#include "capture/CapturePins.h"
#include "capture/CaptureSplitters.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "graph/GraphRender.h"
#include "graph/MediaTypeCaps.h"
#include "platform/Diagnostics.h"

namespace {

bool UsesStreamConfig(int32_t type) {
    return type == CaptureDeviceType_Analog || type == CaptureDeviceType_BMD;
}

bool UsesProbe(int32_t type) {
    return type == CaptureDeviceType_DV || type == CaptureDeviceType_HDV ||
           type == CaptureDeviceType_DVVideo || type == CaptureDeviceType_AnalogHW;
}

// A known device type whose graph is not active (deactivated, or its activation failed): it
// answers like every inactive graph, with nothing, instead of probing a device that is gone.
bool InactiveKnownDevice(bool active, int32_t type) {
    return !active && type != CaptureDeviceType_Unrecognised;
}

}  // namespace

HRESULT TFrameGrabCaptureGraph::GetOutputTypesCount(int32_t& Count) {
    Count = 0;
    try {
        if (InactiveKnownDevice(FMainGraphActive, FDeviceType)) {
            return E_FAIL;
        }
        if (UsesProbe(FDeviceType)) {
            Count = 1;
            return S_OK;
        }
        if (UsesStreamConfig(FDeviceType)) {
            if (!FAMStreamConfig) {
                return E_FAIL;
            }
            int32_t size = 0;
            return FAMStreamConfig->GetNumberOfCapabilities(Count, size);
        }
        LogMessage("Error in TFrameGrabCaptureGraph.GetOutputTypesCount - unknown device type.");
        return E_FAIL;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.GetOutputTypesCount call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::ProbeFirstMediaType(GstPad* pin, const char* probe, int32_t& Width,
                                                    int64_t& FrameInterval, int32_t& Height) {
    const std::string prefix = std::string("Error in TFrameGrabCaptureGraph.") + probe;
    if (pin == nullptr) {
        LogMessage(prefix + " - cannot get IEnumMediaTypes interface.");
        return E_FAIL;
    }
    const std::vector<TMediaType> types = CapturePins::PinMediaTypes(pin);
    if (types.empty()) {
        LogMessage(prefix + " - cannot read from IEnumMediaTypes interface.");
        return E_FAIL;
    }
    FPAMMediaType = std::make_unique<TMediaType>(types.front());
    if (!ReadVideoInfoFormat(*FPAMMediaType, Width, Height, FrameInterval)) {
        Width = 0;
        Height = 0;
        FrameInterval = 0;
    }
    return S_OK;
}

HRESULT TFrameGrabCaptureGraph::GetOutputType_DV(int32_t& Width, int64_t& FrameInterval,
                                                 int32_t& Height) {
    try {
        auto fail = [this](const char* reason) {
            ResetMainGraph();
            LogMessage(std::string("Error in TFrameGrabCaptureGraph.GetOutputType_DV - ") + reason);
            return E_FAIL;
        };
        FDemultiplexer = CaptureSplitters::MakeDVSplitter();
        if (!FDemultiplexer || FAILED(AddOwnFilter(FDemultiplexer, "DV Splitter"))) {
            FDemultiplexer.Reset();
            return fail("cannot add DV Splitter.");
        }
        TGstPadHandle input = GraphPads::FindPad(FDemultiplexer.Get(), "", PINDIR_INPUT, false);
        if (!input) {
            return fail("cannot find DV splitter input pin.");
        }
        if (FAILED(GraphRender::ConnectIntelligent(GST_BIN(GraphBuilder()), FVCFDVPin.Get(),
                                                   input.Get()))) {
            return fail("cannot connect capture and DV splitter filters.");
        }
        TGstPadHandle video = FindPinOnFilter(FDemultiplexer.Get(),
                                              CaptureSplitters::kDVSplitterVideoPin, PINDIR_OUTPUT);
        if (!video) {
            ResetMainGraph();
            return E_FAIL;
        }
        const HRESULT hr =
            ProbeFirstMediaType(video.Get(), "GetOutputType_DV", Width, FrameInterval, Height);
        // The probe leaves nothing behind, also when it worked.
        ResetMainGraph();
        return hr;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.GetOutputType_DV call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::GetOutputType_DVVideo(int32_t& Width, int64_t& FrameInterval,
                                                      int32_t& Height) {
    try {
        return ProbeFirstMediaType(FVCFDVPin.Get(), "GetOutputType_DVVideo", Width, FrameInterval,
                                   Height);
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.GetOutputType_DVVideo call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::GetOutputType_HDV(int32_t& Width, int64_t& FrameInterval,
                                                  int32_t& Height) {
    try {
        int32_t ignoredWidth = 0;
        int32_t ignoredHeight = 0;
        int64_t ignoredInterval = 0;
        const HRESULT hr = ProbeFirstMediaType(FVCFMPEGPin.Get(), "GetOutputType_HDV", ignoredWidth,
                                               ignoredInterval, ignoredHeight);
        // The picture size the stream says it carries; an HDV camcorder's 1440 x 1080 when it
        // does not say. Rendering delivers exactly this size.
        const TStreamPicture picture = StreamPicture(kHdvPicture);
        Width = picture.Width;
        Height = picture.Height;
        FrameInterval = picture.FrameInterval;
        return hr;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.GetOutputType_HDV call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::GetOutputType_AnalogHW(int32_t& Width, int64_t& FrameInterval,
                                                       int32_t& Height) {
    try {
        int32_t ignoredWidth = 0;
        int32_t ignoredHeight = 0;
        int64_t ignoredInterval = 0;
        const HRESULT hr = ProbeFirstMediaType(FVCFMPEGPin.Get(), "GetOutputType_AnalogHW",
                                               ignoredWidth, ignoredInterval, ignoredHeight);
        // As for HDV; the encoder card's NTSC picture when the stream does not say.
        const TStreamPicture picture = StreamPicture(kProgramStreamPicture);
        Width = picture.Width;
        Height = picture.Height;
        FrameInterval = picture.FrameInterval;
        return hr;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.GetOutputType_AnalogHW call...");
        return E_FAIL;
    }
}

TFrameGrabCaptureGraph::TStreamPicture TFrameGrabCaptureGraph::StreamPicture(
    const TStreamPicture& fallback) const {
    TStreamPicture picture = fallback;
    if (!FVCFMPEGPin) {
        return picture;
    }
    TGstCapsHandle caps = TGstCapsHandle::Adopt(gst_pad_query_caps(FVCFMPEGPin.Get(), nullptr));
    if (!caps || gst_caps_is_empty(caps.Get()) || gst_caps_is_any(caps.Get())) {
        return picture;
    }
    const GstStructure* s = gst_caps_get_structure(caps.Get(), 0);
    int width = 0;
    int height = 0;
    if (gst_structure_get_int(s, "width", &width) && gst_structure_get_int(s, "height", &height) &&
        width > 0 && height > 0) {
        picture.Width = width;
        picture.Height = height;
        int num = 0;
        int den = 0;
        picture.FrameInterval =
            gst_structure_get_fraction(s, "framerate", &num, &den) && num > 0 && den > 0
                ? AvgTimePerFrameFromFrameRate(num, den)
                : 0;
    }
    return picture;
}

HRESULT TFrameGrabCaptureGraph::QueryOutputType(int32_t Index, const char* method,
                                                TVideoStreamConfigCaps* configCaps, int32_t& Width,
                                                int32_t& Height, int64_t& FrameInterval) {
    FPAMMediaType.reset();
    switch (FDeviceType) {
        case CaptureDeviceType_DV:
            return GetOutputType_DV(Width, FrameInterval, Height);
        case CaptureDeviceType_DVVideo:
            return GetOutputType_DVVideo(Width, FrameInterval, Height);
        case CaptureDeviceType_HDV:
            return GetOutputType_HDV(Width, FrameInterval, Height);
        case CaptureDeviceType_AnalogHW:
            return GetOutputType_AnalogHW(Width, FrameInterval, Height);
        case CaptureDeviceType_Analog:
        case CaptureDeviceType_BMD: {
            if (!FAMStreamConfig) {
                return E_FAIL;
            }
            auto mt = std::make_unique<TMediaType>();
            TVideoStreamConfigCaps caps;
            const HRESULT hr = FAMStreamConfig->GetStreamCaps(Index, *mt, caps);
            if (hr != S_OK) {
                return FAILED(hr) ? hr : E_FAIL;
            }
            FPAMMediaType = std::move(mt);
            if (configCaps != nullptr) {
                *configCaps = caps;
            }
            return S_OK;
        }
        default:
            LogMessage(std::string("Error in TFrameGrabCaptureGraph.") + method +
                       " - unknown device type.");
            return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::GetOutputType(int32_t Index, const TMediaType*& OutputType,
                                              int32_t& MinWidth, int32_t& MinHeight,
                                              int32_t& MaxWidth, int32_t& MaxHeight,
                                              int32_t& GranularityWidth, int32_t& GranularityHeight,
                                              int64_t& MinFrameInterval,
                                              int64_t& MaxFrameInterval) {
    OutputType = nullptr;
    try {
        if (InactiveKnownDevice(FMainGraphActive, FDeviceType)) {
            FPAMMediaType.reset();
            return E_FAIL;
        }
        TVideoStreamConfigCaps caps;
        int32_t width = 0;
        int32_t height = 0;
        int64_t interval = 0;
        const HRESULT hr = QueryOutputType(Index, "GetOutputType", &caps, width, height, interval);
        if (FAILED(hr)) {
            return hr;
        }
        if (UsesProbe(FDeviceType)) {
            MinWidth = MaxWidth = width;
            MinHeight = MaxHeight = height;
            MinFrameInterval = MaxFrameInterval = interval;
        } else if (UsesStreamConfig(FDeviceType)) {
            MinWidth = caps.MinOutputSizeCx;
            MinHeight = caps.MinOutputSizeCy;
            MaxWidth = caps.MaxOutputSizeCx;
            MaxHeight = caps.MaxOutputSizeCy;
            MinFrameInterval = caps.MinFrameInterval;
            MaxFrameInterval = caps.MaxFrameInterval;
            const bool analog = FDeviceType == CaptureDeviceType_Analog;
            GranularityWidth = analog ? caps.OutputGranularityX : 1;
            GranularityHeight = analog ? caps.OutputGranularityY : 1;
        } else {
            MinWidth = MinHeight = MaxWidth = MaxHeight = 0;
            GranularityWidth = GranularityHeight = 0;
            MinFrameInterval = MaxFrameInterval = 0;
        }
        OutputType = FPAMMediaType.get();
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.GetOutputType call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::GetOutputType(int32_t Index, int32_t& Width, int32_t& Height,
                                              int64_t& FrameInterval) {
    Width = 0;
    Height = 0;
    FrameInterval = 0;
    try {
        if (InactiveKnownDevice(FMainGraphActive, FDeviceType)) {
            FPAMMediaType.reset();
            return E_FAIL;
        }
        int32_t width = 0;
        int32_t height = 0;
        int64_t interval = 0;
        const HRESULT hr =
            QueryOutputType(Index, "GetOutputType", nullptr, width, height, interval);
        if (FAILED(hr)) {
            return hr;
        }
        if (FDeviceType == CaptureDeviceType_HDV || FDeviceType == CaptureDeviceType_AnalogHW) {
            Width = width;
            Height = height;
            FrameInterval = interval;
        }
        if (FPAMMediaType) {
            ReadVideoInfoFormat(*FPAMMediaType, Width, Height, FrameInterval);
        }
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.GetOutputType call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::SelectOutputType(int32_t Index, int32_t NewWidth, int32_t NewHeight,
                                                 int64_t NewFrameInterval) {
    try {
        if (InactiveKnownDevice(FMainGraphActive, FDeviceType)) {
            return E_FAIL;
        }
        if (UsesProbe(FDeviceType)) {
            // The one format of the stream. Its size is recorded too: the frames delivered have
            // it, and the zone detectors are set up with the selected size.
            if (Index == 0) {
                FOutputMediaTypeIndex = 0;
                FOutputVideoWidth = NewWidth;
                FOutputVideoHeight = NewHeight;
                FOutputFrameInterval = NewFrameInterval;
            }
            return S_OK;
        }
        if (!UsesStreamConfig(FDeviceType)) {
            LogMessage("Error in TFrameGrabCaptureGraph.SelectOutputType - unknown device type.");
            return E_FAIL;
        }
        if (!FAMStreamConfig) {
            return E_FAIL;
        }
        TMediaType mt;
        TVideoStreamConfigCaps caps;
        const HRESULT hr = FAMStreamConfig->GetStreamCaps(Index, mt, caps);
        if (hr != S_OK) {
            LogMessage("Error in TFrameGrabCaptureGraph.SelectOutputType - cannot get media type.");
            return FAILED(hr) ? hr : E_FAIL;
        }
        if (mt.formattype == FORMAT_VideoInfo) {
            UpdateMediaTypeVideoInfo(mt, NewWidth, NewFrameInterval, NewHeight);
        } else if (mt.formattype == FORMAT_VideoInfo2) {
            UpdateMediaTypeVideoInfo2(mt, NewWidth, NewFrameInterval, NewHeight);
        }
        // A device that refuses the adjusted format keeps delivering its current one; the
        // selection is recorded either way and callers take the size from GetOutputType.
        FAMStreamConfig->SetFormat(mt);
        FOutputMediaTypeIndex = Index;
        FOutputVideoWidth = NewWidth;
        FOutputVideoHeight = NewHeight;
        FOutputFrameInterval = NewFrameInterval;
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.SelectOutputType call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::GetSelectedOutputType(int32_t& Index, int32_t& Width,
                                                      int32_t& Height, int64_t& FrameInterval) {
    Index = FOutputMediaTypeIndex;
    Width = FOutputVideoWidth;
    Height = FOutputVideoHeight;
    FrameInterval = FOutputFrameInterval;
    return S_OK;
}

HRESULT TFrameGrabCaptureGraph::GetSelectedOutputType(int32_t& Index) {
    Index = FOutputMediaTypeIndex;
    return S_OK;
}

HRESULT TFrameGrabCaptureGraph::GetCurrentOutputType(const TMediaType*& OutputType) {
    OutputType = nullptr;
    try {
        FPAMMediaType.reset();
        if (InactiveKnownDevice(FMainGraphActive, FDeviceType)) {
            return E_FAIL;
        }
        int32_t width = 0;
        int32_t height = 0;
        int64_t interval = 0;
        HRESULT hr = S_OK;
        if (UsesProbe(FDeviceType)) {
            hr = QueryOutputType(0, "GetCurrentOutputType", nullptr, width, height, interval);
        } else if (UsesStreamConfig(FDeviceType)) {
            if (!FAMStreamConfig) {
                return E_FAIL;
            }
            auto mt = std::make_unique<TMediaType>();
            hr = FAMStreamConfig->GetFormat(*mt);
            if (SUCCEEDED(hr)) {
                FPAMMediaType = std::move(mt);
            }
        } else {
            LogMessage(
                "Error in TFrameGrabCaptureGraph.GetCurrentOutputType - unknown device type.");
            return E_FAIL;
        }
        OutputType = FPAMMediaType.get();
        return FAILED(hr) ? hr : S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.GetCurrentOutputType call...");
        return E_FAIL;
    }
}
