#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <string>

// Where a decoded stream comes from. tsdemux names its output pads "<kind>_<n>_<pid>" in
// hexadecimal ("video_0_00100", "audio_0_00201"), where n counts the programs the demuxer has
// switched to (not the program number, which the filter knows from the demuxer it set up);
// walking upstream from a decoded pad through decoders, parsers, queues and bin borders finds
// that pad.

// Reads the PID of "<kind>_<n>_<pid>"; false for any other name.
bool ParseDemuxerPadName(const std::string& Name, uint32_t& Pid);

// Walks upstream from `DecodedPad` (an output pad, also a ghost pad of uridecodebin) to the
// pad the stream left a transport stream demuxer by, and reads the PID from it; false when
// the stream comes from anything else.
bool FindTransportStreamPid(GstPad* DecodedPad, uint32_t& Pid);
