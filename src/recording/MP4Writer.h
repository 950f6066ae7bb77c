#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <string>

#include "platform/HResult.h"
#include "platform/UniqueFd.h"
#include "recording/WMProfile.h"

// The MP4 writer: a bin element that encodes its inputs as H.264 (High profile, 4:2:0) and AAC
// and writes them as one MP4 file. It is used like the WMV writer (TWMVWriter) and takes the
// same profile: per video input `videorate ! videoconvert ! videoscale ! capsfilter ! x264enc !
// capsfilter ! h264parse`, per audio input `audioconvert ! audioresample ! capsfilter ! <AAC
// encoder>`, all into `mp4mux ! fdsink`. Its input pins appear when a profile is applied:
// "Video Input 01", "Video Input 02", ... and "Audio Input 01", ... in the profile's stream
// order.
//
// The file is fragmented: its header (with the streams, no samples) comes first and every
// second or so a fragment with the samples of that second is appended and written at once. A
// file cut off (the program killed, the disk full) plays up to about its last second; a file
// closed normally also carries its duration and a fragment index for seeking.
class TMP4Writer {
public:
    static constexpr const char* kFactoryName = "tandrelmp4writer";
    // The length of one fragment: what a cut-off file may lose at its end.
    static constexpr uint32_t kFragmentMs = 1000;
    // H.264 bit rate per bit of the profile's rate. The WMV encoder does not hold the
    // profile's rate (it keeps a quantizer derived from it); on ten seconds of a 1280 x 720
    // street scene at 10 frames per second and 1 Mbit/s its file is 311 kB at 30.4 dB luma
    // PSNR, H.264 at this factor 139 kB (45 %) at 31.8 dB (see MP4WriterTest).
    static constexpr double kBitrateFactor = 0.1;
    // The least H.264 bit rate (kbit/s), whatever the profile asks.
    static constexpr uint32_t kMinKilobitsPerSecond = 32;
    // The largest key-frame spacing: seeking and stepping in a player start from a key frame.
    static constexpr int64_t kMaxKeyFrameSpacing = 20000000;  // 100-ns units

    // Registers the element with the media framework (once per process).
    static bool Register();
    static bool IsWriter(GstElement* element);

    // The destination file, as TWMVWriter::SetFileName. File is the file already opened for
    // it (see CreateNewFile); without one the writer creates FileName as a new file.
    // E_INVALIDARG for an empty name; E_FAIL, with a line naming the folder or the file, when
    // its folder does not exist or cannot be written or the name is taken. The file is locked
    // (flock) while the writer holds it.
    static HRESULT SetFileName(GstElement* Writer, const std::string& FileName,
                               TUniqueFd File = TUniqueFd());
    static std::string FileName(GstElement* Writer);

    // Replaces the inputs by the profile's streams. Only while stopped. E_FAIL (with a line)
    // for an audio stream when no AAC encoder is installed.
    static HRESULT ConfigureFilterUsingProfile(GstElement* Writer, const TWMProfile& Profile);

    // The H.264 bit rate (kbit/s, as x264enc takes it) for a profile's bit rate (bit/s).
    static uint32_t H264KilobitsPerSecond(uint32_t ProfileBitrate);
};
