#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <string>

#include "graph/GraphPads.h"
#include "platform/GstHandle.h"
#include "platform/HResult.h"

// Free functions beside the graph wrappers.

// Graph registration: the graph is known as "FilterGraph %p pid %x" (pipeline address,
// process id). When GST_DEBUG_DUMP_DOT_DIR is set, a registered graph is written there as
// "<name>.<stage>.dot" on registration and after every Play or Pause, the way to look into
// a running graph. `cookie` is 0 when registration fails.
HRESULT AddGraphToRunningObjectTable(GstElement* graph, int32_t& cookie);
HRESULT RemoveGraphFromRunningObjectTable(int32_t cookie);
// Writes the .dot file of a registered graph (nothing when dumping is off or `cookie` unknown).
void DumpRunningObjectTableGraph(int32_t cookie, const char* stage);
// The registered name of `cookie`; empty when unknown.
std::string RunningObjectTableName(int32_t cookie);

// Removes everything downstream of `filter` from its graph, depth first; the filter stays.
void NukeDownstream(GstElement* filter);

// A renderer has no outputs and a connected input carrying video.
bool IsFilterVideoRenderer(GstElement* filter);
// The frame interval (100 ns) of the first connected video input: S_OK; S_FALSE when there is
// none; E_INVALIDARG for a nil filter. 0 while the interval is unknown (not negotiated yet).
HRESULT GetVideoRenderFilterFPS(GstElement* filter, int64_t& frameInterval);

// The first pad of `dir` whose linked state equals `connected`.
TGstPadHandle FindFirstPinOnFilter(GstElement* filter, bool connected, TPinDirection dir);
bool IsPinConnected(GstPad* pin);
