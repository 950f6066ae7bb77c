#include "capture/CaptureDeviceControls.h"

#include <algorithm>
#include <cctype>

#include "capture/V4l2Source.h"
#include "platform/GstHandle.h"

namespace CaptureDeviceControls {

namespace {

bool Mentions(const std::string& lowerName, std::initializer_list<const char*> words) {
    return std::any_of(words.begin(), words.end(),
                       [&](const char* w) { return lowerName.find(w) != std::string::npos; });
}

// Base of the V4L2 controls: the device's v4l2src; the device is opened per call (or the
// element's own descriptor borrowed), so no descriptor is held between calls.
class TV4l2Object {
protected:
    explicit TV4l2Object(TGstElementHandle source) : FSource(std::move(source)) {}
    bool Open(bool readWrite, TV4l2Device& device) const {
        return V4l2Source::OpenDevice(FSource.Get(), readWrite, device);
    }
    TGstElementHandle FSource;
};

// One output (the video decoder) that carries any one of the device's inputs.
class TV4l2Crossbar final : public TCrossbar, TV4l2Object {
public:
    TV4l2Crossbar(TGstElementHandle source, std::vector<TV4l2Input> inputs)
        : TV4l2Object(std::move(source)), FInputs(std::move(inputs)) {}

    HRESULT PinCounts(int32_t& outputs, int32_t& inputs) override {
        outputs = 1;
        inputs = static_cast<int32_t>(FInputs.size());
        return S_OK;
    }
    HRESULT PinType(bool input, int32_t index, int32_t& physicalType) override {
        if (!input) {
            if (index != 0) {
                return E_INVALIDARG;
            }
            physicalType = PhysConn_Video_VideoDecoder;
            return S_OK;
        }
        if (!ValidInput(index)) {
            return E_INVALIDARG;
        }
        physicalType = ConnectorTypeOfInput(FInputs[static_cast<size_t>(index)]);
        return S_OK;
    }
    HRESULT CanRoute(int32_t output, int32_t input) override {
        if (output != 0) {
            return E_INVALIDARG;
        }
        return ValidInput(input) ? S_OK : S_FALSE;
    }
    HRESULT Route(int32_t output, int32_t input) override {
        if (output != 0 || !ValidInput(input)) {
            return E_INVALIDARG;
        }
        TV4l2Device device;
        return Open(true, device) && device.SetInput(FInputs[static_cast<size_t>(input)].Index)
                   ? S_OK
                   : E_FAIL;
    }
    HRESULT IsRoutedTo(int32_t output, int32_t& input) override {
        if (output != 0) {
            return E_INVALIDARG;
        }
        TV4l2Device device;
        uint32_t index = 0;
        if (!Open(false, device) || !device.GetInput(index)) {
            return E_FAIL;
        }
        for (size_t i = 0; i < FInputs.size(); ++i) {
            if (FInputs[i].Index == index) {
                input = static_cast<int32_t>(i);
                return S_OK;
            }
        }
        return E_FAIL;
    }

private:
    bool ValidInput(int32_t index) const {
        return index >= 0 && index < static_cast<int32_t>(FInputs.size());
    }
    std::vector<TV4l2Input> FInputs;
};

// V4L2 has no log-on, tuning spaces or cable/antenna choice; the TV mode needs an analog TV
// tuner. Those steps answer S_OK so the set-up goes on as on any card.
class TV4l2TVTuner final : public TTVTuner, TV4l2Object {
public:
    TV4l2TVTuner(TGstElementHandle source, TV4l2Tuner tuner)
        : TV4l2Object(std::move(source)), FTuner(std::move(tuner)) {}
    HRESULT Logon() override { return S_OK; }
    HRESULT PutMode(int32_t mode) override {
        return mode == AMTUNER_MODE_TV && FTuner.Type == TV4l2Device::kTunerTypeAnalogTV
                   ? S_OK
                   : E_INVALIDARG;
    }
    HRESULT PutInputType(int32_t index, int32_t) override {
        return index == 0 ? S_OK : E_INVALIDARG;
    }
    HRESULT PutTuningSpace(int32_t) override { return S_OK; }

private:
    TV4l2Tuner FTuner;
};

class TV4l2TVAudio final : public TTVAudio, TV4l2Object {
public:
    explicit TV4l2TVAudio(TGstElementHandle source) : TV4l2Object(std::move(source)) {}
};

class TV4l2AnalogVideoDecoder final : public TAnalogVideoDecoder, TV4l2Object {
public:
    explicit TV4l2AnalogVideoDecoder(TGstElementHandle source) : TV4l2Object(std::move(source)) {}
    HRESULT PutTVFormat(int32_t analogVideoStandard) override {
        const uint64_t standard = V4l2StandardOfAnalogVideoStandard(analogVideoStandard);
        if (standard == 0) {
            return E_INVALIDARG;
        }
        TV4l2Device device;
        return Open(true, device) && device.SetStandard(standard) ? S_OK : E_FAIL;
    }
};

}  // namespace

int32_t ConnectorTypeOfInput(const TV4l2Input& input) {
    if (input.Type == TV4l2Device::kInputTypeTuner) {
        return PhysConn_Video_Tuner;
    }
    std::string name = input.Name;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (Mentions(name, {"s-video", "svideo", "s video", "y/c"})) {
        return PhysConn_Video_SVideo;
    }
    if (Mentions(name, {"component", "ypbpr", "yuv"})) {
        return PhysConn_Video_YRYBY;
    }
    if (Mentions(name, {"rgb", "vga"})) {
        return PhysConn_Video_RGB;
    }
    if (Mentions(name, {"sdi", "serial digital"})) {
        return PhysConn_Video_SerialDigital;
    }
    if (Mentions(name, {"usb"})) {
        return PhysConn_Video_USB;
    }
    return PhysConn_Video_Composite;
}

HRESULT FindControl(GstElement* captureFilter, TControlKind kind, const TGUID& majorType,
                    TDeviceControlPtr& control) {
    control.reset();
    if (!(majorType == MEDIATYPE_Video)) {
        return E_FAIL;  // a V4L2 device has no interleaved pins
    }
    TGstElementHandle source = V4l2Source::Find(captureFilter);
    TV4l2Device device;
    if (!source || !V4l2Source::OpenDevice(source.Get(), false, device)) {
        return E_FAIL;
    }
    switch (kind) {
        case TControlKind::Crossbar: {
            std::vector<TV4l2Input> inputs;
            if (!device.EnumInputs(inputs)) {
                return E_FAIL;
            }
            const bool tuner = std::any_of(inputs.begin(), inputs.end(), [](const auto& i) {
                return i.Type == TV4l2Device::kInputTypeTuner;
            });
            if (inputs.size() < 2 && !tuner) {
                return E_FAIL;  // a single camera input: nothing to route
            }
            control = std::make_shared<TV4l2Crossbar>(source, std::move(inputs));
            return S_OK;
        }
        case TControlKind::TVTuner: {
            TV4l2Tuner tuner;
            if (!device.GetTuner(tuner)) {
                return E_FAIL;
            }
            control = std::make_shared<TV4l2TVTuner>(source, std::move(tuner));
            return S_OK;
        }
        case TControlKind::TVAudio: {
            TV4l2Tuner tuner;
            if (!device.GetTuner(tuner) || !device.HasAudioInput()) {
                return E_FAIL;
            }
            control = std::make_shared<TV4l2TVAudio>(source);
            return S_OK;
        }
        case TControlKind::AnalogVideoDecoder: {
            uint64_t standard = 0;
            if (!device.GetStandard(standard)) {
                return E_FAIL;
            }
            control = std::make_shared<TV4l2AnalogVideoDecoder>(source);
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT FindUpstreamCrossbar(GstElement*, const TDeviceControlPtr&, TDeviceControlPtr& upstream) {
    upstream.reset();
    return E_FAIL;
}

}  // namespace CaptureDeviceControls
