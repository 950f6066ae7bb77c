#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/HResult.h"
#include "platform/MediaType.h"

// The analog front end behind a capture device: crossbars that route the physical inputs, the
// TV tuner, TV audio and the analog video decoder. None of the devices we build today has
// one, so every lookup answers E_FAIL ("not available") and the capture graph takes the paths
// it takes for a webcam. V4L2 support goes here: inputs (VIDIOC_ENUMINPUT / S_INPUT), tuner
// and video standard through the device's ioctls or GStreamer's tuner interface.
namespace CaptureDeviceControls {

// One control object of the front end; what it controls is up to the implementation.
class TDeviceControl {
public:
    virtual ~TDeviceControl() = default;
};
using TDeviceControlPtr = std::shared_ptr<TDeviceControl>;

// One selectable input of an analog card: its connector name and crossbar input pin index.
struct TAnalogCardInput {
    std::string Name;
    int32_t InputPinIndex = 0;
};

enum class TControlKind { Crossbar, TVTuner, TVAudio, AnalogVideoDecoder };

// The control of `kind` that serves the pins of `majorType` on the capture filter.
HRESULT FindControl(GstElement* captureFilter, TControlKind kind, const TGUID& majorType,
                    TDeviceControlPtr& control);

// The crossbar upstream of `crossbar` (a second routing stage).
HRESULT FindUpstreamCrossbar(GstElement* captureFilter, const TDeviceControlPtr& crossbar,
                             TDeviceControlPtr& upstream);

// The front-end set-up of an analog card's activation: tuner to TV on cable input 0, both
// crossbars to the tuner, the list of selectable inputs, the analog decoder's TV format.
HRESULT SetupAnalogFrontEnd(const TDeviceControlPtr& tuner, const TDeviceControlPtr& crossbar,
                            const TDeviceControlPtr& crossbar2,
                            const TDeviceControlPtr& videoDecoder,
                            std::vector<TAnalogCardInput>& inputs);

}  // namespace CaptureDeviceControls
