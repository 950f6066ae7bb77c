#pragma once

#include <gst/gst.h>

// Decoders that feed the live picture (file, network and stream cameras, MJPEG webcams) work
// one picture at a time: frame threading would hold one decoded picture per thread and delay
// each picture by as many frames, which a camera watcher pays for in memory and in the time
// from a movement to its alarm. Slice threading keeps whatever parallelism a stream's slices
// allow, on at most two threads.
constexpr int kLiveDecoderMaxThreads = 2;

// Applies the live settings to a decoder element (a libav decoder or any element with the same
// properties); elements without them are left alone.
void ConfigureLiveDecoder(GstElement* Element);

// Applies them to every decoder `Decodebin` (a decodebin or uridecodebin) plugs, now and later.
void ConfigureLiveDecoders(GstElement* Decodebin);
