#include "capture/CaptureDeviceMatch.h"

#include <string>

namespace {

bool Matches(const std::string& wanted, const std::string& present) {
    return wanted.empty() || wanted == present;
}

bool OfProvider(const std::string& displayName, const char* provider) {
    const std::string prefix = std::string(provider) + ":";
    return displayName.rfind(prefix, 0) == 0;
}

}  // namespace

bool IsVirtualDeviceDisplayName(const std::string& DisplayName) {
    return OfProvider(DisplayName, kVirtualDeviceProvider) ||
           OfProvider(DisplayName, kFileCameraProvider) ||
           OfProvider(DisplayName, kNetworkCameraProvider);
}

bool IsFileCameraDisplayName(const std::string& DisplayName) {
    return OfProvider(DisplayName, kFileCameraProvider);
}

int32_t FindCaptureDevice(const std::vector<TCaptureDeviceDescription>& Present,
                          const TCaptureDeviceDescription& Wanted) {
    for (size_t i = 0; i < Present.size(); ++i) {
        const TCaptureDeviceDescription& device = Present[i];
        if (Matches(Wanted.FriendlyName, device.FriendlyName) &&
            Matches(Wanted.DisplayName, device.DisplayName) &&
            Matches(Wanted.DevicePath, device.DevicePath)) {
            return static_cast<int32_t>(i);
        }
    }
    if (Wanted.FriendlyName.empty() || IsVirtualDeviceDisplayName(Wanted.DisplayName)) {
        return -1;
    }
    for (size_t i = 0; i < Present.size(); ++i) {
        const TCaptureDeviceDescription& device = Present[i];
        if (device.FriendlyName == Wanted.FriendlyName &&
            !IsVirtualDeviceDisplayName(device.DisplayName)) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}
