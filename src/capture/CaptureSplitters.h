#pragma once

#include <gst/gst.h>

#include <string>

#include "platform/GstHandle.h"
#include "platform/HResult.h"

// The splitters between a camcorder or encoder card and its decoder, as bins with fixed pin
// names: demultiplexers add their outputs only once data flows, so the bins' output pins are
// ghost pads that take a target when the stream shows up.
namespace CaptureSplitters {

constexpr const char* kDVSplitterInputPin = "Input";
constexpr const char* kDVSplitterVideoPin = "DVVidOut0";
constexpr const char* kDemultiplexerInputPin = "MPEG-2 Stream";
constexpr const char* kDemultiplexerVideoPin = "MPEG Video";

// DV splitter over dvdemux: input "Input" (DV interleaved), video output "DVVidOut0". Before
// the stream flows, "DVVidOut0" answers caps queries with the DV video its input will carry.
TGstElementHandle MakeDVSplitter();

// MPEG-2 demultiplexer over `demuxFactory` (tsdemux or mpegpsdemux): input "MPEG-2 Stream",
// no outputs until CreateVideoOutputPin.
TGstElementHandle MakeDemultiplexer(const std::string& demuxFactory);

// Adds the output "MPEG Video" (MPEG-2 video) to a demultiplexer bin. It carries the video
// stream whose pad name ends in `streamSuffix` (the mapped stream id or PID), else the first
// video stream of the multiplex. E_FAIL when the bin is not a demultiplexer or has it already.
HRESULT CreateVideoOutputPin(GstElement* demultiplexer, const std::string& streamSuffix);

}  // namespace CaptureSplitters
