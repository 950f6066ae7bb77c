#pragma once

#include <gst/gst.h>

#include <string>
#include <vector>

#include "capture/VirtualDevices.h"
#include "platform/GstHandle.h"
#include "platform/HResult.h"

// The video input devices of the machine as a list of monikers: the devices GstDeviceMonitor
// finds for "Video/Source", then the virtual devices. Friendly name = the device's display
// name, device path = its path property, display name = provider + ":" + path.
namespace CaptureDevices {

using TGstDeviceHandle = TGstHandle<GstDevice>;

struct TDeviceMoniker {
    std::string FriendlyName;
    std::string DisplayName;
    std::string DevicePath;
    TGstDeviceHandle Device;                 // a real device
    VirtualDevices::TVirtualDevice Virtual;  // otherwise a virtual one
};

// S_OK with at least one device, S_FALSE when the category is empty.
HRESULT EnumerateVideoInputDevices(const VirtualDevices::TCameraSources& sources,
                                   std::vector<TDeviceMoniker>& monikers);

// The capture filter of a device: a bin named `FriendlyName` whose ghost pads are its pins. A
// network camera's waits at most `networkProbeWaitMs` for the look at its stream.
TGstElementHandle BindToFilter(const TDeviceMoniker& moniker, int networkProbeWaitMs);

}  // namespace CaptureDevices
