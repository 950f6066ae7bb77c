#include "videolog/VideoWindowInfo.h"

#include <cstdlib>

#include "graph/GraphFunctions.h"
#include "graph/GraphPads.h"
#include "graph/MediaTypeCaps.h"
#include "platform/Diagnostics.h"
#include "platform/MediaType.h"
#include "videolog/PlaybackFilter.h"
#include "videolog/StreamNames.h"

namespace {

// Decoded pictures travel as raw video; the first other format upstream is the stream's own.
bool IsDecodedVideo(GstPad* pad) {
    TGstCapsHandle caps = GraphPads::ConnectionCaps(pad);
    if (!caps || gst_caps_get_size(caps.Get()) == 0) {
        return true;
    }
    const GstStructure* s = gst_caps_get_structure(caps.Get(), 0);
    return gst_structure_has_name(s, "video/x-raw");
}

// Size and frame time of the decoded pictures crossing Pad; false when its format has none.
bool DescribePicture(GstPad* Pad, TVideoInfo& Info) {
    TMediaType mediaType;
    TGstCapsHandle caps = GraphPads::ConnectionCaps(Pad);
    if (!caps || !MediaTypeFromCaps(caps.Get(), mediaType) ||
        (mediaType.formattype != FORMAT_VideoInfo && mediaType.formattype != FORMAT_VideoInfo2)) {
        return false;
    }
    const TBitmapInfoHeader* header = mediaType.BitmapHeader();
    if (header == nullptr) {
        return false;
    }
    Info.Width = header->biWidth;
    Info.Height = std::abs(header->biHeight);
    int64_t frameTime = 0;
    if (mediaType.AvgTimePerFrame(frameTime) && frameTime > 0) {
        Info.AvgTimePerFrame = frameTime;
    }
    return true;
}

}  // namespace

bool DescribeVideoWindow(TPlaybackVideoWindow& Window, TVideoInfo& Info) {
    try {
        TGstElementHandle renderer = Window.Renderer();
        TGstPadHandle input;
        if (renderer) {
            input = FindFirstPinOnFilter(renderer.Get(), true, PINDIR_INPUT);
        }
        if (!input) {
            LogMessage("Error in TPreviewPlayer.RefreshVideoWindowInfo - cannot get input pin.");
            return false;
        }
        if (!DescribePicture(input.Get(), Info)) {
            LogMessage("Warning in TPreviewPlayer.RefreshVideoWindowInfo - cannot get video info.");
        }
        // Upstream through converters and the decoder to the compressed stream.
        TGstPadHandle current = input;
        for (int guard = 0; guard < 64; ++guard) {
            TGstPadHandle upstream = GraphPads::PeerAcrossBins(current.Get());
            // Scalers may sit between decoder and renderer: the picture's own size is the one
            // nearest the decoder.
            if (upstream && IsDecodedVideo(upstream.Get())) {
                DescribePicture(upstream.Get(), Info);
            }
            TGstElementHandle filter = upstream ? GraphPads::ParentElement(upstream.Get()) : nullptr;
            if (!filter) {
                LogMessage("Error in TPreviewPlayer.RefreshVideoWindowInfo - pDecoderFilter is nil.");
                return false;
            }
            TGstPadHandle filterInput = FindFirstPinOnFilter(filter.Get(), true, PINDIR_INPUT);
            if (!filterInput) {
                TraceMessage("TPreviewPlayer.RefreshVideoWindowInfo - no further input pin.");
                return true;
            }
            if (IsDecodedVideo(filterInput.Get())) {
                current = filterInput;
                continue;
            }
            TMediaType compressed;
            TGstCapsHandle compressedCaps = GraphPads::ConnectionCaps(filterInput.Get());
            if (compressedCaps && MediaTypeFromCaps(compressedCaps.Get(), compressed)) {
                Info.Stream = StreamNameOfSubtype(compressed.subtype);
            } else if (compressedCaps && gst_caps_get_size(compressedCaps.Get()) > 0) {
                // A format without a subtype of its own is named by its media type.
                Info.Stream = gst_structure_get_name(gst_caps_get_structure(compressedCaps.Get(), 0));
            }
            return true;
        }
        return true;
    } catch (...) {
        LogMessage("Error in TPreviewPlayer.RefreshVideoWindowInfo call...");
        return false;
    }
}
