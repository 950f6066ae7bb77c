#pragma once

#include <string>
#include <vector>

#include "capture/NetworkCamera.h"
#include "platform/GstHandle.h"

// The built-in devices listed after the machine's real cameras: the "Test Pattern" (a live
// moving ball; hidden when TANDREL_TEST_PATTERN=0), one file camera per video file named in
// the settings or in TANDREL_FILE_CAMERAS, then one device per network camera.
namespace VirtualDevices {

constexpr const char* kTestPatternName = "Test Pattern";

struct TVirtualDevice {
    std::string FriendlyName;
    std::string DisplayName;  // provider + ":" + path, stable across runs
    std::string DevicePath;
    bool TestPattern = false;
    bool Network = false;
    NetworkCamera::TNetworkCamera Camera;  // a network camera's address and credentials
};

// Everything the virtual devices are made from.
struct TCameraSources {
    std::vector<std::string> FileCameras;
    std::vector<NetworkCamera::TNetworkCamera> NetworkCameras;

    bool operator==(const TCameraSources&) const = default;
};

// The files of TANDREL_FILE_CAMERAS (paths separated by ":"; empty entries skipped).
std::vector<std::string> FileCamerasFromEnvironment();

// A list of paths separated by ":" (empty entries skipped).
std::vector<std::string> SplitPathList(const std::string& list);

// Whether the environment hides the Test Pattern.
bool TestPatternHidden();

// Test Pattern (unless hidden), then the file cameras in the given order. Only regular files
// (or paths where nothing is yet) are file cameras: a named pipe, device or folder is skipped
// with a line naming it.
std::vector<TVirtualDevice> ListVirtualDevices(const std::vector<std::string>& FileCameras);
// The same, then the network cameras in their order (device path: the URI without
// credentials).
std::vector<TVirtualDevice> ListVirtualDevices(const TCameraSources& Sources);

// The capture filter of a listed virtual device; a network camera's waits at most
// `NetworkProbeWaitMs` for the look at its stream.
TGstElementHandle CreateVirtualDeviceFilter(const TVirtualDevice& Device, int NetworkProbeWaitMs);

// The Test Pattern's filter: pin "Capture" offering 320 x 240, 640 x 480 and 1280 x 720, each
// in YUY2 and RGB32, each at 30, 15 and 10 frames per second, in that order.
TGstElementHandle MakeTestPatternFilter(const std::string& name);

}  // namespace VirtualDevices
