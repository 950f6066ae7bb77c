#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/CaptureDeviceDescription.h"

// Providers of the program's own virtual devices: their display names are provider + ":" +
// path.
inline constexpr const char* kVirtualDeviceProvider = "tandrel-virtual";
inline constexpr const char* kFileCameraProvider = "tandrel-file";
inline constexpr const char* kNetworkCameraProvider = "tandrel-network";

// Finds a listed device again among the devices present now. A device unplugged and plugged in
// again can come back under another path (the kernel numbers video nodes in the order they
// appear), so a device whose name, display name and path all match is preferred, and otherwise
// the first real device of the same friendly name is taken. Virtual devices (Test Pattern, file
// and network cameras) are found by their exact entry only: their path is what they are.
// Empty fields of `Wanted` match anything. Answers the index in `Present`, or -1.
int32_t FindCaptureDevice(const std::vector<TCaptureDeviceDescription>& Present,
                          const TCaptureDeviceDescription& Wanted);

// Whether a display name is that of a virtual device of this program, and of a file camera.
bool IsVirtualDeviceDisplayName(const std::string& DisplayName);
bool IsFileCameraDisplayName(const std::string& DisplayName);
