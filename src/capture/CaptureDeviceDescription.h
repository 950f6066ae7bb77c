#pragma once

#include <array>
#include <cstdint>
#include <string>

// Device types of the capture device list: they decide how the capture graph is built and
// which output formats are offered.
enum TCaptureDeviceType : int32_t {
    CaptureDeviceType_DV = 1,
    CaptureDeviceType_HDV = 2,
    CaptureDeviceType_BMD = 3,
    CaptureDeviceType_Analog = 4,
    CaptureDeviceType_AnalogHW = 5,
    CaptureDeviceType_DVVideo = 6,
    CaptureDeviceType_Unrecognised = 10,
};

// One listed video capture device.
struct TCaptureDeviceDescription {
    std::string FriendlyName;  // what the user sees
    std::string DisplayName;   // stable identifier: provider + ":" + path (may be empty)
    std::string DevicePath;    // the device's path (may be empty)
    int32_t DeviceType = CaptureDeviceType_Unrecognised;
};

constexpr int32_t kMaxCaptureDevices = 32;

// The devices present when a capture graph was created; the index of an entry is the
// "device index" used by the camera controller and the setup dialog.
struct TCaptureDeviceDescriptionList {
    int32_t DevicesCount = 0;
    std::array<TCaptureDeviceDescription, kMaxCaptureDevices> Devices;
};
