#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "capture/V4l2Device.h"
#include "platform/HResult.h"
#include "platform/MediaType.h"

// The analog front end behind a capture device: a crossbar that routes the physical inputs,
// the TV tuner, TV audio and the analog video decoder. On a V4L2 device these are the
// device's inputs (VIDIOC_ENUMINPUT / G_INPUT / S_INPUT), its tuner (VIDIOC_G_TUNER), its
// audio input and its video standard (VIDIOC_G_STD / S_STD). Every other device (virtual
// devices, file cameras, webcams with a single camera input) has none of them, so every
// lookup answers E_FAIL and the capture graph takes the paths it takes for a webcam.
namespace CaptureDeviceControls {

// Crossbar pin types (physical connector values).
constexpr int32_t PhysConn_Video_Tuner = 1;
constexpr int32_t PhysConn_Video_Composite = 2;
constexpr int32_t PhysConn_Video_SVideo = 3;
constexpr int32_t PhysConn_Video_RGB = 4;
constexpr int32_t PhysConn_Video_YRYBY = 5;
constexpr int32_t PhysConn_Video_SerialDigital = 6;
constexpr int32_t PhysConn_Video_USB = 11;
constexpr int32_t PhysConn_Video_VideoDecoder = 12;
constexpr int32_t PhysConn_Audio_Tuner = 0x1000;
constexpr int32_t PhysConn_Audio_AudioDecoder = 0x1009;

// Tuner set-up values.
constexpr int32_t AMTUNER_MODE_TV = 1;
constexpr int32_t TunerInputCable = 0;
constexpr int32_t AnalogVideo_PAL_B = 0x10;

// One control object of the front end.
class TDeviceControl {
public:
    virtual ~TDeviceControl() = default;
};
using TDeviceControlPtr = std::shared_ptr<TDeviceControl>;

// Routes inputs (input pins) to outputs (output pins), pins counted from 0 per direction.
class TCrossbar : public TDeviceControl {
public:
    virtual HRESULT PinCounts(int32_t& outputs, int32_t& inputs) = 0;
    virtual HRESULT PinType(bool input, int32_t index, int32_t& physicalType) = 0;
    // S_OK when `output` can carry `input`, S_FALSE when not.
    virtual HRESULT CanRoute(int32_t output, int32_t input) = 0;
    virtual HRESULT Route(int32_t output, int32_t input) = 0;
    virtual HRESULT IsRoutedTo(int32_t output, int32_t& input) = 0;
};

class TTVTuner : public TDeviceControl {
public:
    virtual HRESULT Logon() = 0;
    virtual HRESULT PutMode(int32_t mode) = 0;
    virtual HRESULT PutInputType(int32_t index, int32_t inputType) = 0;
    virtual HRESULT PutTuningSpace(int32_t tuningSpace) = 0;
};

// The tuner's audio; handed out to callers, nothing in the graph drives it.
class TTVAudio : public TDeviceControl {};

class TAnalogVideoDecoder : public TDeviceControl {
public:
    virtual HRESULT PutTVFormat(int32_t analogVideoStandard) = 0;
};

// One selectable input of an analog card: its connector name and crossbar input pin index.
struct TAnalogCardInput {
    std::string Name;
    int32_t InputPinIndex = 0;
};

enum class TControlKind { Crossbar, TVTuner, TVAudio, AnalogVideoDecoder };

// The control of `kind` that serves the pins of `majorType` on the capture filter. A V4L2
// device serves its Video pins; it has a crossbar when it offers a tuner input or more than
// one input, a tuner and TV audio when VIDIOC_G_TUNER (and VIDIOC_G_AUDIO) answer, and an
// analog video decoder when it reports a video standard.
HRESULT FindControl(GstElement* captureFilter, TControlKind kind, const TGUID& majorType,
                    TDeviceControlPtr& control);

// The crossbar upstream of `crossbar` (a second routing stage); V4L2 has a single stage.
HRESULT FindUpstreamCrossbar(GstElement* captureFilter, const TDeviceControlPtr& crossbar,
                             TDeviceControlPtr& upstream);

// The connector a V4L2 input stands for: a tuner input is "Tuner"; a camera input is named
// after the connector its name mentions (S-Video, component, RGB, SDI, USB) and counts as
// composite otherwise.
int32_t ConnectorTypeOfInput(const TV4l2Input& input);

}  // namespace CaptureDeviceControls
