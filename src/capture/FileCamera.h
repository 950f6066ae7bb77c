#pragma once

#include <string>

#include "platform/GstHandle.h"

// A video file played as a camera, in real time and looping. It offers what the file holds:
// a raw DV stream with sound is a DV camcorder (pin "DV A/V Out"), one without sound a DV video
// device (pin "DV Video Out"; it needs no splitter), an MPEG-2 transport stream an HDV
// camcorder (pin "MPEG2 TS Out"), an MPEG-2 program stream an analog card with hardware encoder
// (pin "MPEG PS Out"), anything else a webcam whose capture pin offers the decoded picture in
// I420, YUY2 and RGB32 at the file's own size and frame rate. The MPEG pins name the picture size and
// rate the file holds.
namespace FileCamera {

enum class TKind { Unusable, DV, DVVideo, TransportStream, ProgramStream, Decoded };

struct TInfo {
    TKind Kind = TKind::Unusable;
    int Width = 0;
    int Height = 0;
    int RateNum = 0;  // frame rate as a fraction; 0/1 when the file does not say
    int RateDen = 1;
    bool HasAudio = false;
    std::string Reason;  // why an Unusable file cannot be a camera ("does not exist", ...)
};

// Looks into the file; Unusable when it cannot be read or holds no video. Waits five seconds
// at most, whatever the file does (opening a named pipe, for one, waits for a writer): a file
// not inspected by then is Unusable, and its inspection is left to finish on a thread of its
// own. An unusable file is logged with its path and the reason, once per reason.
TInfo Discover(const std::string& path);

// The capture filter of the file camera named `name`; a filter without pins for an unusable
// file (the device is then listed as unrecognised).
TGstElementHandle MakeFilter(const std::string& name, const std::string& path);

}  // namespace FileCamera
