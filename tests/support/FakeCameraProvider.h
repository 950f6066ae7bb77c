#pragma once

#include <string>

// A GStreamer device provider of the tests' own, listed like a camera driver's: its cameras are
// "Video/Source" devices with a path, and each gives a live moving ball (320 x 240, YUY2, 10 fps).
// The tests plug cameras in and pull them out while the program watches, as a user does with a
// USB camera: a pulled camera leaves the device list and its running source fails.
// Used from the test's main thread.
namespace FakeCameraProvider {

// Registers the provider with GStreamer (once); device monitors created afterwards see it.
bool Register();
// Plugs in a camera called `Name` at `Path`.
void PlugIn(const std::string& Name, const std::string& Path);
// Pulls out the camera at `Path`: gone from the list, its running sources post an error.
void Unplug(const std::string& Path);
// Pulls out every camera (between tests).
void UnplugAll();

}  // namespace FakeCameraProvider
