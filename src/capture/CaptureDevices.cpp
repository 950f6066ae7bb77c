#include "capture/CaptureDevices.h"

#include "capture/CaptureDeviceMatch.h"

#include "capture/CaptureDeviceTypes.h"
#include "capture/CapturePins.h"
#include "capture/CaptureSourceBin.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "capture/NetworkCameraProbes.h"
#include "capture/VideoDeviceMonitor.h"
#include "platform/Diagnostics.h"

namespace CaptureDevices {

namespace {

std::string StructureString(const GstStructure* s, const char* field) {
    const char* value = s != nullptr ? gst_structure_get_string(s, field) : nullptr;
    return value != nullptr ? value : "";
}

TDeviceMoniker MonikerOfDevice(GstDevice* device) {
    TDeviceMoniker moniker;
    moniker.Device = TGstDeviceHandle::Ref(device);
    gchar* name = gst_device_get_display_name(device);
    moniker.FriendlyName = name != nullptr ? name : "";
    g_free(name);
    GstStructure* props = gst_device_get_properties(device);
    for (const char* field : {"device.path", "api.v4l2.path", "object.path"}) {
        moniker.DevicePath = StructureString(props, field);
        if (!moniker.DevicePath.empty()) {
            break;
        }
    }
    std::string provider = StructureString(props, "device.api");
    if (provider.empty()) {
        provider = G_OBJECT_TYPE_NAME(device);
    }
    if (props != nullptr) {
        gst_structure_free(props);
    }
    if (!moniker.DevicePath.empty()) {
        moniker.DisplayName = provider + ":" + moniker.DevicePath;
    }
    return moniker;
}

}  // namespace

HRESULT EnumerateVideoInputDevices(const VirtualDevices::TCameraSources& sources,
                                   std::vector<TDeviceMoniker>& monikers) {
    monikers.clear();
    for (const auto& device : TVideoDeviceMonitor::VideoSources()) {
        monikers.push_back(MonikerOfDevice(device.Get()));
    }
    for (auto& device : VirtualDevices::ListVirtualDevices(sources)) {
        TDeviceMoniker moniker;
        moniker.FriendlyName = device.FriendlyName;
        moniker.DisplayName = device.DisplayName;
        moniker.DevicePath = device.DevicePath;
        moniker.Virtual = std::move(device);
        monikers.push_back(std::move(moniker));
    }
    return monikers.empty() ? S_FALSE : S_OK;
}

TGstElementHandle BindToFilter(const TDeviceMoniker& moniker, int networkProbeWaitMs) {
    if (!moniker.Device) {
        return VirtualDevices::CreateVirtualDeviceFilter(moniker.Virtual, networkProbeWaitMs);
    }
    TGstElementHandle source =
        TGstElementHandle::Adopt(gst_device_create_element(moniker.Device.Get(), nullptr));
    TGstCapsHandle offered = TGstCapsHandle::Adopt(gst_device_get_caps(moniker.Device.Get()));
    if (!source || !offered) {
        return {};
    }
    return CaptureSourceBin::MakeFormatSource(moniker.FriendlyName, source, offered.Get());
}

}  // namespace CaptureDevices

using CaptureDevices::TDeviceMoniker;

void TFrameGrabCaptureGraph::EnumSupportedDevices() {
    auto& list = FCaptureDeviceDescriptionList;
    list.DevicesCount = 0;
    try {
        std::vector<TDeviceMoniker> monikers;
        // Every network camera is looked at now, all at once, on threads of their own; the
        // list waits for their answers at most as long as this graph may.
        for (const NetworkCamera::TNetworkCamera& camera : FSources.NetworkCameras) {
            TNetworkCameraProbes::Instance().Request(camera);
        }
        if (CaptureDevices::EnumerateVideoInputDevices(FSources, monikers) != S_OK) {
            LogMessage(
                "Error in TFrameGrabCaptureGraph.EnumSupportedDevices - cannot "
                "CreateClassEnumerator "
                "CLSID_VideoInputDeviceCategory.");
            return;
        }
        for (const TDeviceMoniker& moniker : monikers) {
            // A device without a name takes no entry; more than the list holds are ignored.
            if (moniker.FriendlyName.empty() || list.DevicesCount >= kMaxCaptureDevices) {
                continue;
            }
            TCaptureDeviceDescription& entry = list.Devices[static_cast<size_t>(list.DevicesCount)];
            entry.FriendlyName = moniker.FriendlyName;
            entry.DisplayName = moniker.DisplayName;
            entry.DevicePath = moniker.DevicePath;
            entry.DeviceType = CaptureDeviceType_Unrecognised;
            if (moniker.Virtual.Network) {
                // A network camera is a webcam; one whose look failed is listed as unrecognised.
                const std::optional<NetworkCamera::TStreamInfo> info =
                    TNetworkCameraProbes::Instance().Result(moniker.Virtual.Camera,
                                                            FNetworkProbeWaitMs);
                entry.DeviceType =
                    !info || info->Opened ? CaptureDeviceType_Analog : CaptureDeviceType_Unrecognised;
                list.DevicesCount = list.DevicesCount + 1;
                continue;
            }
            TGstElementHandle filter = CaptureDevices::BindToFilter(moniker, FNetworkProbeWaitMs);
            if (filter) {
                GetCaptureDeviceType(filter.Get(), entry.FriendlyName, entry.DeviceType);
                gst_element_set_state(filter.Get(), GST_STATE_NULL);
            }
            list.DevicesCount = list.DevicesCount + 1;
        }
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.EnumDeviceIntoList call...");
    }
}

HRESULT TFrameGrabCaptureGraph::GetCaptureDeviceType(GstElement* CaptureFilter,
                                                     const std::string& FriendlyName,
                                                     int32_t& DeviceType) {
    DeviceType = CaptureDeviceType_Unrecognised;
    try {
        if (CaptureFilter == nullptr) {
            LogMessage(
                "Error in TFrameGrabCaptureGraph.GetCaptureDeviceType - CaptureFilter = nil.");
            return E_FAIL;
        }
        if (IsDeckLinkName(FriendlyName)) {
            DeviceType = CaptureDeviceType_BMD;
            return S_OK;
        }
        for (auto& pin : GraphPads::ElementPads(CaptureFilter)) {
            if (GST_PAD_DIRECTION(pin.Get()) != GST_PAD_SRC) {
                continue;
            }
            for (const TMediaType& mt : CapturePins::PinMediaTypes(pin.Get())) {
                const int32_t type = DeviceTypeOfMediaType(mt);
                if (type != CaptureDeviceType_Unrecognised) {
                    DeviceType = type;
                    return S_OK;
                }
                LogMessage(
                    "Error in TFrameGrabCaptureGraph.GetCaptureDeviceType - unknown device.");
                LogMessage(DescribeMediaType(mt));
            }
        }
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.GetCaptureDeviceType call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::CreateDevice(TGstElementHandle& Filter, const TGUID& Category,
                                             const std::string& FriendlyName,
                                             const std::string& DevicePath,
                                             const std::string& DisplayName,
                                             TCaptureDeviceDescription* Found) {
    Filter.Reset();
    try {
        std::vector<TDeviceMoniker> monikers;
        if (!(Category == CLSID_VideoInputDeviceCategory)) {
            return S_FALSE;  // no other category has devices here
        }
        const HRESULT hr = CaptureDevices::EnumerateVideoInputDevices(FSources, monikers);
        std::vector<TCaptureDeviceDescription> present;
        present.reserve(monikers.size());
        for (const TDeviceMoniker& moniker : monikers) {
            present.push_back({moniker.FriendlyName, moniker.DisplayName, moniker.DevicePath});
        }
        const int32_t index = FindCaptureDevice(present, {FriendlyName, DisplayName, DevicePath});
        if (index < 0) {
            return hr;
        }
        const TDeviceMoniker& moniker = monikers[static_cast<size_t>(index)];
        if (!DevicePath.empty() && moniker.DevicePath != DevicePath) {
            LogMessageFmt("TFrameGrabCaptureGraph.CreateDevice - %s is now at %s.",
                          FriendlyName.c_str(), moniker.DevicePath.c_str());
        }
        if (Found != nullptr) {
            Found->FriendlyName = moniker.FriendlyName;
            Found->DisplayName = moniker.DisplayName;
            Found->DevicePath = moniker.DevicePath;
        }
        Filter = CaptureDevices::BindToFilter(moniker, FNetworkProbeWaitMs);
        return Filter ? S_OK : E_FAIL;
    } catch (...) {
        LogMessage("Error in CreateDevice call...");
        return E_FAIL;
    }
}

namespace {

bool ValidIndex(const TCaptureDeviceDescriptionList& list, int32_t index) {
    return index >= 0 && index < list.DevicesCount;
}

}  // namespace

HRESULT TFrameGrabCaptureGraph::GetSupportedDevicesCount(int32_t& Count) {
    try {
        Count = FCaptureDeviceDescriptionList.DevicesCount;
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.GetSupportedDevicesCount call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::GetSupportedDeviceFriendlyName(int32_t DeviceIndex,
                                                               const std::string*& FriendlyName) {
    try {
        if (!ValidIndex(FCaptureDeviceDescriptionList, DeviceIndex)) {
            LogMessage(
                "Error in TFrameGrabCaptureGraph.GetSupportedDeviceFriendlyName - invalid device "
                "index.");
            return E_FAIL;
        }
        FriendlyName =
            &FCaptureDeviceDescriptionList.Devices[static_cast<size_t>(DeviceIndex)].FriendlyName;
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.GetSupportedDeviceFriendlyName call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::GetSupportedDeviceDisplayName(int32_t DeviceIndex,
                                                              const std::string*& DisplayName) {
    try {
        if (!ValidIndex(FCaptureDeviceDescriptionList, DeviceIndex)) {
            LogMessage(
                "Error in TFrameGrabCaptureGraph.GetSupportedDeviceDisplayName - invalid device "
                "index.");
            return E_FAIL;
        }
        DisplayName =
            &FCaptureDeviceDescriptionList.Devices[static_cast<size_t>(DeviceIndex)].DisplayName;
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.GetSupportedDeviceDisplayName call...");
        return E_FAIL;
    }
}

HRESULT TFrameGrabCaptureGraph::GetSupportedDeviceDevicePath(int32_t DeviceIndex,
                                                             const std::string*& DevicePath) {
    try {
        if (!ValidIndex(FCaptureDeviceDescriptionList, DeviceIndex)) {
            LogMessage(
                "Error in TFrameGrabCaptureGraph.GetSupportedDeviceDevicePath - invalid device "
                "index.");
            return E_FAIL;
        }
        DevicePath =
            &FCaptureDeviceDescriptionList.Devices[static_cast<size_t>(DeviceIndex)].DevicePath;
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.GetSupportedDeviceDevicePath call...");
        return E_FAIL;
    }
}

const NetworkCamera::TNetworkCamera* TFrameGrabCaptureGraph::NetworkCameraOf(
    int32_t DeviceIndex) const {
    if (!ValidIndex(FCaptureDeviceDescriptionList, DeviceIndex)) {
        return nullptr;
    }
    const TCaptureDeviceDescription& entry =
        FCaptureDeviceDescriptionList.Devices[static_cast<size_t>(DeviceIndex)];
    if (entry.DisplayName.rfind(std::string(kNetworkCameraProvider) + ":", 0) != 0) {
        return nullptr;
    }
    for (const NetworkCamera::TNetworkCamera& camera : FSources.NetworkCameras) {
        if (camera.Name == entry.FriendlyName && camera.Uri == entry.DevicePath) {
            return &camera;
        }
    }
    return nullptr;
}

bool TFrameGrabCaptureGraph::NetworkProbePending(int32_t DeviceIndex) {
    const NetworkCamera::TNetworkCamera* camera = NetworkCameraOf(DeviceIndex);
    return camera != nullptr && TNetworkCameraProbes::Instance().Pending(*camera);
}

bool TFrameGrabCaptureGraph::ProbeDeviceAgain(int32_t DeviceIndex) {
    const NetworkCamera::TNetworkCamera* camera = NetworkCameraOf(DeviceIndex);
    if (camera == nullptr) {
        return false;
    }
    TNetworkCameraProbes::Instance().ProbeAgain(*camera);
    return true;
}

uint64_t TFrameGrabCaptureGraph::NetworkProbesFinished() {
    return TNetworkCameraProbes::Instance().FinishedCount();
}

HRESULT TFrameGrabCaptureGraph::GetSupportedDeviceType(int32_t DeviceIndex, int32_t& DeviceType) {
    try {
        if (!ValidIndex(FCaptureDeviceDescriptionList, DeviceIndex)) {
            LogMessage(
                "Error in TFrameGrabCaptureGraph.GetSupportedDeviceType - invalid device index.");
            return E_FAIL;
        }
        DeviceType =
            FCaptureDeviceDescriptionList.Devices[static_cast<size_t>(DeviceIndex)].DeviceType;
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.GetSupportedDeviceType call...");
        return E_FAIL;
    }
}
