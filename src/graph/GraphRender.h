#pragma once

#include <gst/gst.h>

#include <functional>
#include <string>

#include "graph/GraphPads.h"
#include "platform/GstHandle.h"
#include "platform/HResult.h"

// Building parts of a graph the way an intelligent graph builder would: raw streams end in a
// converter and the default sink (capture/DefaultSinks.h), anything else goes through a
// decoder first. Decoders expose their outputs only once data flows, so those outputs are
// completed from the decoder's "pad-added" signal (on a streaming thread) while the graph
// prerolls. A stopped graph loses those outputs and gets them again on the next start; the
// sink chains made for them stay in the graph and take them again, so a graph plays as often
// as it is started.
namespace GraphRender {

// Makes the element that ends a rendered video stream instead of the default video sink; an
// empty element from it fails that stream.
using TVideoSinkFactory = std::function<TGstElementHandle()>;

// Ends an unlinked output pad: raw video in videoconvert + video sink, raw audio in
// audioconvert ! audioresample + audio sink, everything else in decodebin whose decoded
// streams are ended the same way. `videoSink`, when set, makes the video sinks.
HRESULT RenderPad(GstBin* bin, GstPad* src, const TVideoSinkFactory& videoSink = {});

// Links `src` to `sink` directly when their caps agree; otherwise inserts videoconvert or
// audioconvert (with decodebin in front for encoded input) between them.
HRESULT ConnectIntelligent(GstBin* bin, GstPad* src, GstPad* sink);

// Adds uridecodebin for a local file and renders every decoded stream like RenderPad.
HRESULT RenderFile(GstBin* bin, const std::string& fileName,
                   const TVideoSinkFactory& videoSink = {});

// The first sink element (directly in `bin`) whose input carries `kind`.
TGstElementHandle FindRenderer(GstBin* bin, GraphPads::TStreamKind kind);

}  // namespace GraphRender
