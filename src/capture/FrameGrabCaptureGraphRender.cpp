// The output part of the capture graph: everything between the device's pin and the frame
// grab filter, one variant per device type.
#include <string>

#include "capture/CapturePins.h"
#include "capture/CaptureSplitters.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "capture/VideoFrameGrabFilter.h"
#include "graph/GraphRender.h"
#include "platform/Diagnostics.h"

namespace {

// A render variant's failure: the output part goes, then its line is logged.
class TRenderFailure {
public:
    TRenderFailure(const char* variant, HRESULT hr) : FVariant(variant), FResult(hr) {}
    HRESULT Fail(TFrameGrabCaptureGraph& graph, const char* reason, HRESULT hr = E_FAIL) const {
        graph.ResetMainGraph();
        LogMessage(std::string("Error in TFrameGrabCaptureGraph.") + FVariant + " - " + reason);
        return FAILED(hr) ? hr : FResult;
    }

private:
    const char* FVariant;
    HRESULT FResult;
};

// The element factory behind a demultiplexer class for the stream it has to split.
const char* DemultiplexerFactory(const TGUID& guid, bool programStream) {
    if (guid == CLSID_MPEG2Demultiplexer) {
        return programStream ? "mpegpsdemux" : "tsdemux";
    }
    return nullptr;
}

// The element factory behind a video decoder class.
const char* VideoDecoderFactory(const TGUID& guid) {
    if (guid == CLSID_CMPEG2VidDecoderDS) {
        return "avdec_mpeg2video";
    }
    if (guid == CLSID_DVVideoCodec) {
        return "dvdec";
    }
    return nullptr;
}

TGstPadHandle FirstPin(GstElement* filter, TPinDirection dir) {
    return GraphPads::FindPad(filter, "", dir, false);
}

}  // namespace

HRESULT TFrameGrabCaptureGraph::RenderOutput() {
    try {
        if (!FMainGraphActive) {
            return E_FAIL;
        }
        switch (FDeviceType) {
            case CaptureDeviceType_DV:
                return RenderOutput_DV();
            case CaptureDeviceType_HDV:
                return RenderOutput_HDV();
            case CaptureDeviceType_BMD:
                return RenderOutput_BMD();
            case CaptureDeviceType_Analog:
                return RenderOutput_Analog();
            case CaptureDeviceType_AnalogHW:
                return RenderOutput_AnalogHW();
            case CaptureDeviceType_DVVideo:
                return RenderOutput_DVVideo();
            default:
                LogMessage("Error in TFrameGrabCaptureGraph.RenderOutput - unknown device type.");
                return E_FAIL;
        }
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.RenderOutput call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::AddFrameGrabFilter() {
    TGstElementHandle filter = TVideoFrameGrabFilter::CreateFromFactory();
    if (!filter) {
        return E_FAIL;
    }
    FVideoFrameGrabFilter = filter;
    FVideoFrameGrabFilterClass = VideoFrameGrabFilterFromElement(filter.Get());
    FVideoFrameGrabFilterControl = VideoFrameGrabFilterControl(filter.Get());
    if (FVideoFrameGrabFilterControl != nullptr) {
        if (FNextFrameDataFunction) {
            FVideoFrameGrabFilterControl->SetNextFrameDataFunction(FNextFrameDataFunction);
        }
        if (FFrameTime > 0) {
            FVideoFrameGrabFilterControl->SetFrameTime(FFrameTime);
        }
    }
    HandFrameTimeToSources();
    return AddOwnFilter(FVideoFrameGrabFilter, "VideoFrameGrabFilter");
}

TGstPadHandle TFrameGrabCaptureGraph::FrameGrabFilterInputPin() {
    if (FFrameSizeFilter) {
        return FindPinOnFilter(FFrameSizeFilter.Get(), "sink", PINDIR_INPUT);
    }
    return FindPinOnFilter(FVideoFrameGrabFilter.Get(), kVideoFrameGrabFilterInputPinName,
                           PINDIR_INPUT);
}

HRESULT TFrameGrabCaptureGraph::AddFrameSizeFilter(int32_t Width, int32_t Height) {
    if (Width <= 0 || Height <= 0 || !FVideoFrameGrabFilter) {
        return E_INVALIDARG;
    }
    TGstElementHandle filter =
        TGstElementHandle::Adopt(gst_element_factory_make("capsfilter", nullptr));
    if (!filter) {
        return E_FAIL;
    }
    TGstCapsHandle caps = TGstCapsHandle::Adopt(gst_caps_new_simple(
        "video/x-raw", "width", G_TYPE_INT, Width, "height", G_TYPE_INT, Height, nullptr));
    g_object_set(filter.Get(), "caps", caps.Get(), nullptr);
    if (FAILED(AddOwnFilter(filter, "Frame Size"))) {
        return E_FAIL;
    }
    FFrameSizeFilter = filter;
    return ConnectPins(FFrameSizeFilter.Get(), "src", FVideoFrameGrabFilter.Get(),
                       kVideoFrameGrabFilterInputPinName);
}

bool TFrameGrabCaptureGraph::FrameGrabFilterConnected() {
    TGstPadHandle input = FrameGrabFilterInputPin();
    return input && gst_pad_is_linked(input.Get());
}

HRESULT TFrameGrabCaptureGraph::RenderToFrameGrabFilter(GstPad* pin) {
    GstBin* bin = GST_BIN(GraphBuilder());
    if (pin == nullptr || bin == nullptr) {
        return E_POINTER;
    }
    TGstPadHandle input = FrameGrabFilterInputPin();
    if (input && !gst_pad_is_linked(input.Get())) {
        // Filters already in the graph come first: a chosen decoder, then the frame grab filter.
        if (FVideoDecoder) {
            TGstPadHandle decoderIn = FirstPin(FVideoDecoder.Get(), PINDIR_INPUT);
            TGstPadHandle decoderOut = FirstPin(FVideoDecoder.Get(), PINDIR_OUTPUT);
            if (decoderIn && decoderOut && !gst_pad_is_linked(decoderIn.Get()) &&
                SUCCEEDED(GraphPads::LinkPads(pin, decoderIn.Get()))) {
                return GraphRender::ConnectIntelligent(bin, decoderOut.Get(), input.Get());
            }
        }
        if (SUCCEEDED(GraphRender::ConnectIntelligent(bin, pin, input.Get()))) {
            return S_OK;
        }
    }
    return GraphRender::RenderPad(bin, pin);
}

HRESULT TFrameGrabCaptureGraph::RenderCapturePin(const char* variant) {
    const TRenderFailure failure(variant, E_FAIL);
    if (FAILED(AddFrameGrabFilter())) {
        return failure.Fail(*this, "cannot add Frame Grab Filter.");
    }
    GstPad* output = FVCFVideoCapturePin ? FVCFVideoCapturePin.Get() : FVCFVideoPreviewPin.Get();
    if (output == nullptr) {
        return failure.Fail(*this, "cannot find proper output pin.");
    }
    TGstPadHandle input = FrameGrabFilterInputPin();
    if (!input) {
        return failure.Fail(*this, "cannot find input pin of Frame Grab Filter.");
    }
    // A direct link, or a decompressor / colour converter in between (jpegdec for MJPG).
    if (SUCCEEDED(GraphRender::ConnectIntelligent(GST_BIN(GraphBuilder()), output, input.Get()))) {
        return S_OK;
    }
    RenderToFrameGrabFilter(output);
    if (!FrameGrabFilterConnected()) {
        return failure.Fail(*this, "cannot render Video Frame Grab Filter.");
    }
    return S_OK;
}

HRESULT TFrameGrabCaptureGraph::RenderOutput_Analog() {
    try {
        return RenderCapturePin("RenderOutput_Analog");
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.RenderOutput_Analog call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::RenderOutput_BMD() {
    try {
        return RenderCapturePin("RenderOutput_BMD");
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.RenderOutput_BMD call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::RenderMpegPin(const char* variant, bool programStream) {
    const TRenderFailure failure(variant, E_FAIL);
    if (FAILED(AddFrameGrabFilter())) {
        return failure.Fail(*this, "cannot add Frame Grab Filter.");
    }
    if (!FVCFMPEGPin) {
        return failure.Fail(*this, "cannot find proper output pin.");
    }
    // The stream's pictures arrive at the size the format queries report, whatever the
    // stream holds (scaled where it differs).
    const TStreamPicture picture =
        StreamPicture(programStream ? kProgramStreamPicture : kHdvPicture);
    if (FAILED(AddFrameSizeFilter(picture.Width, picture.Height))) {
        return failure.Fail(*this, "cannot add Frame Grab Filter.");
    }
    const char* factory = DemultiplexerFactory(FDemultiplexerGUID, programStream);
    if (factory != nullptr) {
        FDemultiplexer = CaptureSplitters::MakeDemultiplexer(factory);
    }
    if (factory == nullptr || !FDemultiplexer ||
        FAILED(AddOwnFilter(FDemultiplexer, "MPEG Demultiplexer"))) {
        FDemultiplexer.Reset();
        return failure.Fail(*this, "cannot add MPEG-2 Demultiplexer filter.");
    }
    if (programStream) {
        CreateDemultiplexerPSOutputVideoPin();
    } else {
        CreateDemultiplexerTSOutputVideoPin();
    }
    TGstPadHandle demuxIn = FirstPin(FDemultiplexer.Get(), PINDIR_INPUT);
    if (!demuxIn) {
        return failure.Fail(*this, "cannot find input pin of Demultiplexer Filter.");
    }
    HRESULT hr =
        GraphRender::ConnectIntelligent(GST_BIN(GraphBuilder()), FVCFMPEGPin.Get(), demuxIn.Get());
    if (FAILED(hr)) {
        return failure.Fail(*this, "cannot connect capture and demultiplexer filters.", hr);
    }
    TGstPadHandle demuxOut = FirstPin(FDemultiplexer.Get(), PINDIR_OUTPUT);
    if (!demuxOut) {
        return failure.Fail(*this, "cannot find output pin of Demultiplexer Filter.");
    }
    if (!(FVideoDecoderGUID == GUID_NULL)) {
        if (const char* decoder = VideoDecoderFactory(FVideoDecoderGUID)) {
            AddFilter(decoder, FVideoDecoder, "FVideoDecoder");
        }
    }
    RenderToFrameGrabFilter(demuxOut.Get());
    if (!FrameGrabFilterConnected()) {
        return failure.Fail(*this, "cannot render Video Frame Grab Filter.");
    }
    return S_OK;
}

HRESULT TFrameGrabCaptureGraph::RenderOutput_AnalogHW() {
    try {
        return RenderMpegPin("RenderOutput_AnalogHW", true);
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.RenderOutput_AnalogHW call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::RenderOutput_HDV() {
    try {
        return RenderMpegPin("RenderOutput_HDV", false);
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.RenderOutput_HDV call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::RenderDVDecoder(const char* variant) {
    const TRenderFailure failure(variant, E_FAIL);
    if (SUCCEEDED(ConnectPins(FVideoDecoder.Get(), "", FVideoFrameGrabFilter.Get(), ""))) {
        return S_OK;
    }
    RenderPinOnFilter(FVideoDecoder.Get(), "", PINDIR_OUTPUT);
    TGstPadHandle input = FrameGrabFilterInputPin();
    if (!input) {
        return failure.Fail(*this, "cannot find Video Frame Grab Filter input pin.");
    }
    if (!gst_pad_is_linked(input.Get())) {
        return failure.Fail(*this, "cannot render Video Frame Grab Filter.");
    }
    return S_OK;
}

HRESULT TFrameGrabCaptureGraph::RenderOutput_DV() {
    try {
        const TRenderFailure failure("RenderOutput_DV", E_FAIL);
        FDemultiplexer = CaptureSplitters::MakeDVSplitter();
        if (!FDemultiplexer || FAILED(AddOwnFilter(FDemultiplexer, "DV Splitter"))) {
            FDemultiplexer.Reset();
            return failure.Fail(*this, "cannot add DV Splitter.");
        }
        if (FAILED(AddFilter("dvdec", FVideoDecoder, "DV Video Decoder"))) {
            return failure.Fail(*this, "cannot add DV Decoder.");
        }
        if (FAILED(AddFrameGrabFilter())) {
            return failure.Fail(*this, "cannot add Frame Grab Filter.");
        }
        TGstPadHandle splitterIn = FirstPin(FDemultiplexer.Get(), PINDIR_INPUT);
        if (!splitterIn) {
            return failure.Fail(*this, "cannot find DV splitter input pin.");
        }
        HRESULT hr = GraphRender::ConnectIntelligent(GST_BIN(GraphBuilder()), FVCFDVPin.Get(),
                                                     splitterIn.Get());
        if (FAILED(hr)) {
            return failure.Fail(*this, "cannot connect capture and DV splitter filters.", hr);
        }
        hr = ConnectPins(FDemultiplexer.Get(), CaptureSplitters::kDVSplitterVideoPin,
                         FVideoDecoder.Get(), "");
        if (FAILED(hr)) {
            return failure.Fail(*this, "cannot connect DV splitter and DV decoder filters.", hr);
        }
        return RenderDVDecoder("RenderOutput_DV");
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.RenderOutput_DV call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::RenderOutput_DVVideo() {
    try {
        const TRenderFailure failure("RenderOutput_DVVideo", E_FAIL);
        if (FAILED(AddFilter("dvdec", FVideoDecoder, "DV Video Decoder"))) {
            return failure.Fail(*this, "cannot add DV Decoder.");
        }
        if (FAILED(AddFrameGrabFilter())) {
            return failure.Fail(*this, "cannot add Frame Grab Filter.");
        }
        TGstPadHandle decoderIn = FirstPin(FVideoDecoder.Get(), PINDIR_INPUT);
        if (!decoderIn) {
            return failure.Fail(*this, "cannot find DV decoder input pin.");
        }
        const HRESULT hr = GraphRender::ConnectIntelligent(GST_BIN(GraphBuilder()), FVCFDVPin.Get(),
                                                           decoderIn.Get());
        if (FAILED(hr)) {
            return failure.Fail(*this, "cannot connect capture and DV decoder filters.", hr);
        }
        return RenderDVDecoder("RenderOutput_DVVideo");
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.RenderOutput_DVVideo call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::CreateDemultiplexerPSOutputVideoPin() {
    try {
        if (!FDemultiplexer) {
            LogMessage(
                "Error in TFrameGrabCaptureGraph.CreateDemultiplexerPSOutputVideoPin - "
                "Demultiplexer = nil.");
            return E_FAIL;
        }
        // Stream id 0xE0, the first MPEG video stream of a program stream.
        if (FAILED(CaptureSplitters::CreateVideoOutputPin(FDemultiplexer.Get(), "e0"))) {
            LogMessage(
                "Error in TFrameGrabCaptureGraph.CreateDemultiplexerPSOutputVideoPin - cannot "
                "create Demultiplexer output pin.");
            return E_FAIL;
        }
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.CreateDemultiplexerPSOutputVideoPin call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::CreateDemultiplexerTSOutputVideoPin() {
    try {
        if (!FDemultiplexer) {
            LogMessage(
                "Error in TFrameGrabCaptureGraph.CreateDemultiplexerTSOutputVideoPin - "
                "Demultiplexer = nil.");
            return E_FAIL;
        }
        // PID 0x810, where HDV camcorders put their video.
        if (FAILED(CaptureSplitters::CreateVideoOutputPin(FDemultiplexer.Get(), "0810"))) {
            LogMessage(
                "Error in TFrameGrabCaptureGraph.CreateDemultiplexerTSOutputVideoPin - cannot "
                "create Demultiplexer output pin.");
            return E_FAIL;
        }
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.CreateDemultiplexerTSOutputVideoPin call...");
        return E_FAIL;
    }
}
