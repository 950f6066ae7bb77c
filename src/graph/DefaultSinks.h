#pragma once

#include <string>

#include "platform/GstHandle.h"

// The sinks that end rendered streams. autoaudiosink / autovideosink pick the machine's
// output; TANDREL_AUDIO_SINK / TANDREL_VIDEO_SINK name another element factory (tests and
// machines without sound card or display use "fakesink").

std::string DefaultAudioSinkFactory();
std::string DefaultVideoSinkFactory();

// A new, not yet parented sink element; empty when the factory is missing.
TGstElementHandle CreateDefaultAudioSink();
TGstElementHandle CreateDefaultVideoSink();
