#pragma once

#include <gst/gst.h>

#include <string>

#include "capture/CapturePins.h"
#include "platform/GstHandle.h"

// Capture filters are bins whose ghost pads are the device's pins.
namespace CaptureSourceBin {

constexpr const char* kCapturePinName = "Capture";

// A device whose format can be chosen: `source` ! capsfilter, the capsfilter's output being the
// capture pin "Capture" with a stream configuration over `offered` (the device's formats in
// its preferred order). Until a format is set the capsfilter lets every offered format pass.
TGstElementHandle MakeFormatSource(const std::string& name, TGstElementHandle source,
                                   const GstCaps* offered);

// A device that delivers one stream as it comes (DV, MPEG transport or program stream):
// `source` ! capsfilter(`caps`), the capsfilter's output being the capture pin `pinName`,
// without stream configuration. The capsfilter lets the pin answer with `caps` before the
// device runs.
TGstElementHandle MakeStreamSource(const std::string& name, TGstElementHandle source,
                                   const GstCaps* caps, const std::string& pinName);

}  // namespace CaptureSourceBin
