#include "capture/CameraSourceSettings.h"

#include <QByteArray>
#include <QString>

#include <algorithm>

#include "capture/NetworkCameraProbes.h"
#include "platform/Diagnostics.h"
#include "platform/SettingsStore.h"

namespace CameraSourceSettings {

namespace {

const QString kCredentialsKey = QStringLiteral("NetworkCameraCredentials");

// A camera's name as a settings key: names may hold characters that keys treat specially.
QString CredentialKey(const std::string& name, const char* what) {
    return QString::fromLatin1(QByteArray::fromStdString(name).toHex()) + "_" + what;
}

}  // namespace

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

std::vector<NetworkCamera::TNetworkCamera> StoredNetworkCameras() {
    std::vector<NetworkCamera::TNetworkCamera> cameras;
    try {
        TSettingsStore store;
        QString stored;
        if (!store.OpenKey(QString(), false) || !store.ReadString("NetworkCameras", stored)) {
            return cameras;
        }
        cameras = NetworkCamera::ParseList(stored.toStdString());
        TSettingsStore credentials;
        if (credentials.OpenKey(kCredentialsKey, false)) {
            for (NetworkCamera::TNetworkCamera& camera : cameras) {
                QString user;
                QString password;
                if (credentials.ReadString(CredentialKey(camera.Name, "User"), user)) {
                    camera.User = user.toStdString();
                }
                if (credentials.ReadString(CredentialKey(camera.Name, "Password"), password)) {
                    camera.Password = password.toStdString();
                }
            }
        }
    } catch (...) {
        LogMessage("Error in CameraSourceSettings::StoredNetworkCameras call...");
    }
    return cameras;
}

std::vector<NetworkCamera::TNetworkCamera> NetworkCameras() {
    std::vector<NetworkCamera::TNetworkCamera> cameras = StoredNetworkCameras();
    for (NetworkCamera::TNetworkCamera& camera : NetworkCamera::FromEnvironment()) {
        const bool taken = std::any_of(cameras.begin(), cameras.end(),
                                       [&](const auto& c) { return c.Name == camera.Name; });
        if (!taken) {
            cameras.push_back(std::move(camera));
        }
    }
    return cameras;
}

bool SaveNetworkCameras(const std::vector<NetworkCamera::TNetworkCamera>& Cameras) {
    try {
        TSettingsStore store;
        if (!store.OpenKey(QString(), true)) {
            return false;
        }
        bool written = store.WriteString(
            "NetworkCameras", QString::fromStdString(NetworkCamera::FormatList(Cameras)));
        store.CloseKey();
        if (store.KeyExists(kCredentialsKey)) {
            written = store.DeleteKey(kCredentialsKey) && written;
        }
        if (store.OpenKey(kCredentialsKey, true)) {
            for (const NetworkCamera::TNetworkCamera& camera : Cameras) {
                if (camera.User.empty() && camera.Password.empty()) {
                    continue;
                }
                written = store.WriteString(CredentialKey(camera.Name, "User"),
                                            QString::fromStdString(camera.User)) &&
                          written;
                written = store.WriteString(CredentialKey(camera.Name, "Password"),
                                            QString::fromStdString(camera.Password)) &&
                          written;
            }
        }
        // What was found out about the cameras of the old list is looked at again.
        TNetworkCameraProbes::Instance().Forget();
        return store.Flush() && written;
    } catch (...) {
        LogMessage("Error in CameraSourceSettings::SaveNetworkCameras call...");
        return false;
    }
}

VirtualDevices::TCameraSources Sources() {
    return {FileCameras(), NetworkCameras()};
}

}  // namespace CameraSourceSettings
