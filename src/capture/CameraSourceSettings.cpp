#include "capture/CameraSourceSettings.h"

#include <algorithm>

#include "capture/VirtualDevices.h"
#include "platform/SettingsStore.h"
#include "shell/Diagnostics.h"

namespace CameraSourceSettings {

std::vector<std::string> FileCameras() {
    std::vector<std::string> files;
    try {
        TSettingsStore store;
        QString stored;
        if (store.OpenKey(QString(), false) && store.ReadString("FileCameras", stored)) {
            files = VirtualDevices::SplitPathList(stored.toStdString());
        }
    } catch (...) {
        LogMessage("Error in CameraSourceSettings::FileCameras call...");
    }
    for (const std::string& file : VirtualDevices::FileCamerasFromEnvironment()) {
        if (std::find(files.begin(), files.end(), file) == files.end()) {
            files.push_back(file);
        }
    }
    return files;
}

}  // namespace CameraSourceSettings
