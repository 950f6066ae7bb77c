#pragma once

#include <string>
#include <vector>

// Where the virtual cameras come from: the settings file and, for tests and one-off runs, the
// environment. Every capture graph of the program (the camera controller's, the setup
// dialog's, the camera list of the command line) is made from the same lists, so a device
// index means the same camera everywhere.
namespace CameraSourceSettings {

// The file cameras: the settings value "FileCameras" (paths separated by ":"), then those of
// TANDREL_FILE_CAMERAS; a path named twice is listed once.
std::vector<std::string> FileCameras();

}  // namespace CameraSourceSettings
