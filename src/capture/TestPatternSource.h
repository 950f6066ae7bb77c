#pragma once

#include <gst/gst.h>

#include "platform/GstHandle.h"

// The Test Pattern as a live GStreamer source ("tandreltestpattern"): the moving ball of
// TestPatternPicture.h in YUY2 or BGRx at the negotiated size and frame rate, time-stamped like
// a camera's pictures (running time, live).
//
// Property "frame-time" (100-ns units, 0 by default): the frame time of whoever takes the
// pictures. When it is longer than the negotiated rate's, only the frames that frame time uses
// are drawn: every k-th frame of the rate, each lasting k frames, so a 30 frames-per-second
// format watched ten times a second draws ten pictures a second, not thirty. The ball follows
// the negotiated rate's frame numbers either way, so it moves at the same speed.
//
// Threads: the frame time (set by the application) and the negotiated format are kept under
// the object lock; the streaming thread reads both when it starts a picture, latency queries
// from any thread.
namespace TestPatternSource {

constexpr const char* kFactoryName = "tandreltestpattern";

// Registers the element factory once per process (after InitializeMediaFramework).
bool Register();
TGstElementHandle Create(const char* Name);

}  // namespace TestPatternSource
