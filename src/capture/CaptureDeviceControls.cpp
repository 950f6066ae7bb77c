#include "capture/CaptureDeviceControls.h"

namespace CaptureDeviceControls {

HRESULT FindControl(GstElement*, TControlKind, const TGUID&, TDeviceControlPtr& control) {
    control.reset();
    return E_FAIL;
}

HRESULT FindUpstreamCrossbar(GstElement*, const TDeviceControlPtr&, TDeviceControlPtr& upstream) {
    upstream.reset();
    return E_FAIL;
}

HRESULT SetupAnalogFrontEnd(const TDeviceControlPtr&, const TDeviceControlPtr&,
                            const TDeviceControlPtr&, const TDeviceControlPtr&,
                            std::vector<TAnalogCardInput>& inputs) {
    inputs.clear();
    return S_OK;
}

}  // namespace CaptureDeviceControls
