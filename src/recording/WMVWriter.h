#pragma once

#include <gst/gst.h>

#include <string>

#include "platform/HResult.h"
#include "platform/UniqueFd.h"
#include "recording/WMProfile.h"

// The WMV writer: a bin element that encodes its inputs and writes them as one ASF file.
// Inside: per video input `videorate ! videoconvert ! videoscale ! capsfilter ! <WMV encoder>`,
// per audio input `audioconvert ! audioresample ! capsfilter ! <WMA encoder>`, all into
// `asfmux ! fdsink`. Its input pins appear when a profile is applied: "Video Input 01",
// "Video Input 02", ... and "Audio Input 01", ... in the profile's stream order.
//
// The file is written unbuffered and its header stays readable while it grows, so a file cut
// off (the program killed, the disk full) still plays up to about its last written second;
// a file closed normally also carries its duration and index.
class TWMVWriter {
public:
    static constexpr const char* kFactoryName = "tandrelwmvwriter";

    // Registers the element with the media framework (once per process).
    static bool Register();
    static bool IsWriter(GstElement* element);

    // The destination file (IFileSinkFilter.SetFileName). File is the file already opened
    // for it (see CreateNewFile); without one the writer creates FileName as a new file.
    // E_INVALIDARG for an empty name; E_FAIL, with a line naming the folder or the file, when
    // its folder does not exist or cannot be written or the name is taken. The file is locked
    // (flock) while the writer holds it.
    static HRESULT SetFileName(GstElement* Writer, const std::string& FileName,
                               TUniqueFd File = TUniqueFd());
    static std::string FileName(GstElement* Writer);

    // Replaces the inputs by the profile's streams (IConfigAsfWriter). Only while stopped.
    static HRESULT ConfigureFilterUsingProfile(GstElement* Writer, const TWMProfile& Profile);
};
