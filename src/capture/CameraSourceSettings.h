#pragma once

#include <string>
#include <vector>

#include "capture/VirtualDevices.h"

// Where the virtual cameras come from: the settings file and, for tests and one-off runs, the
// environment. Every capture graph of the program (the camera controller's, the setup
// dialog's, the camera list of the command line) is made from the same lists, so a device
// index means the same camera everywhere.
namespace CameraSourceSettings {

// The file cameras: the settings value "FileCameras" (paths separated by ":"), then those of
// TANDREL_FILE_CAMERAS; a path named twice is listed once.
std::vector<std::string> FileCameras();

// The network cameras: the settings value "NetworkCameras" (`Name=URI` entries separated by
// ";", URIs without credentials) with each camera's user name and password from the group
// "NetworkCameraCredentials", then those of TANDREL_NETWORK_CAMERAS whose names are not taken.
std::vector<NetworkCamera::TNetworkCamera> NetworkCameras();

// The network cameras of the settings alone (what the setup dialog edits).
std::vector<NetworkCamera::TNetworkCamera> StoredNetworkCameras();

// Replaces the stored network cameras and their credentials; false when the settings cannot
// be written.
bool SaveNetworkCameras(const std::vector<NetworkCamera::TNetworkCamera>& Cameras);

// File cameras and network cameras together.
VirtualDevices::TCameraSources Sources();

}  // namespace CameraSourceSettings
