#include "capture/VirtualDevices.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "capture/CaptureDeviceMatch.h"
#include "capture/CaptureSourceBin.h"
#include "capture/FileCamera.h"
#include "capture/TestPatternSource.h"
#include "platform/Diagnostics.h"

namespace VirtualDevices {

namespace {

constexpr const char* kTestPatternPath = "test-pattern";

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path.front() == '/') {
        return path;
    }
    char* absolute = realpath(path.c_str(), nullptr);
    if (absolute == nullptr) {
        return path;
    }
    std::string result(absolute);
    std::free(absolute);
    return result;
}

// Whether something other than a regular file is at `path` (a named pipe, a device or a
// folder): such a path is no file camera. Looked at with stat(), which opens nothing, so a
// pipe cannot block here. A path where nothing is stays a (missing, unusable) file camera.
bool IsOtherThanRegularFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}

TGstCapsHandle TestPatternOffer() {
    struct TSize {
        int Width;
        int Height;
    };
    GstCaps* caps = gst_caps_new_empty();
    for (const TSize size : {TSize{320, 240}, TSize{640, 480}, TSize{1280, 720}}) {
        for (const char* format : {"YUY2", "BGRx"}) {
            for (const int fps : {30, 15, 10}) {
                gst_caps_append_structure(
                    caps,
                    gst_structure_new("video/x-raw", "format", G_TYPE_STRING, format, "width",
                                      G_TYPE_INT, size.Width, "height", G_TYPE_INT, size.Height,
                                      "framerate", GST_TYPE_FRACTION, fps, 1, "pixel-aspect-ratio",
                                      GST_TYPE_FRACTION, 1, 1, nullptr));
            }
        }
    }
    return TGstCapsHandle::Adopt(caps);
}

}  // namespace

std::vector<std::string> SplitPathList(const std::string& list) {
    std::vector<std::string> files;
    std::stringstream stream(list);
    std::string path;
    while (std::getline(stream, path, ':')) {
        if (!path.empty()) {
            files.push_back(path);
        }
    }
    return files;
}

std::vector<std::string> FileCamerasFromEnvironment() {
    const char* value = std::getenv("TANDREL_FILE_CAMERAS");
    return value != nullptr ? SplitPathList(value) : std::vector<std::string>{};
}

bool TestPatternHidden() {
    const char* value = std::getenv("TANDREL_TEST_PATTERN");
    return value != nullptr && std::strcmp(value, "0") == 0;
}

std::vector<TVirtualDevice> ListVirtualDevices(const std::vector<std::string>& FileCameras) {
    std::vector<TVirtualDevice> devices;
    if (!TestPatternHidden()) {
        devices.push_back({kTestPatternName,
                           std::string(kVirtualDeviceProvider) + ":" + kTestPatternPath,
                           kTestPatternPath, true});
    }
    for (const std::string& file : FileCameras) {
        const std::string path = AbsolutePath(file);
        if (IsOtherThanRegularFile(path)) {
            LogMessageFmt("Error in VirtualDevices::ListVirtualDevices - %s is not a regular file.",
                          path.c_str());
            continue;
        }
        devices.push_back(
            {BaseName(path), std::string(kFileCameraProvider) + ":" + path, path, false});
    }
    return devices;
}

std::vector<TVirtualDevice> ListVirtualDevices(const TCameraSources& Sources) {
    std::vector<TVirtualDevice> devices = ListVirtualDevices(Sources.FileCameras);
    for (const NetworkCamera::TNetworkCamera& camera : Sources.NetworkCameras) {
        TVirtualDevice device;
        device.FriendlyName = camera.Name;
        device.DevicePath = camera.Uri;
        device.DisplayName = std::string(kNetworkCameraProvider) + ":" + camera.Uri;
        device.Network = true;
        device.Camera = camera;
        devices.push_back(std::move(device));
    }
    return devices;
}

TGstElementHandle CreateVirtualDeviceFilter(const TVirtualDevice& Device, int NetworkProbeWaitMs) {
    if (Device.TestPattern) {
        return MakeTestPatternFilter(Device.FriendlyName);
    }
    if (Device.Network) {
        return NetworkCamera::MakeFilter(Device.FriendlyName, Device.Camera, NetworkProbeWaitMs);
    }
    return FileCamera::MakeFilter(Device.FriendlyName, Device.DevicePath);
}

TGstElementHandle MakeTestPatternFilter(const std::string& name) {
    // A live source like a camera: pictures are made at the negotiated rate, never ahead, and
    // only those the frame grab filter takes (the graph hands it the frame time).
    TGstElementHandle source = TestPatternSource::Create("Pattern");
    if (!source) {
        return {};
    }
    TGstCapsHandle offer = TestPatternOffer();
    return CaptureSourceBin::MakeFormatSource(name, source, offer.Get());
}

}  // namespace VirtualDevices
