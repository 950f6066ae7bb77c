#include "shell/UpdateCheck.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUuid>

#include <vector>

#include "localisation/UiText.h"
#include "platform/Diagnostics.h"
#include "platform/SettingsStore.h"
#include "shell/UpdateHost.h"
#include "shell/UpdateRoutines.h"
#include "ui/MessageDialog.h"

namespace {

constexpr const char* kVersionFilePath = "/download/tdr/ver.txt";
constexpr const char* kPackagePath = "/download/tdr/TDRUpdater.zip";
constexpr const char* kPackageFile = "TDRUpdater.zip";
constexpr const char* kUpdaterFile = "TDRUpdater.exe";
constexpr int kVersionBufferSize = 2048;

}  // namespace

TUpdateCheck::TUpdateCheck(const QString& Host, const std::string& TempPath,
                           std::function<void()> CloseMainWindow)
    : FHost(Host.trimmed()),
      FTempPath(TempPath),
      FCloseMainWindow(std::move(CloseMainWindow)),
      FRunner([](const std::string& file, const std::string& parameters) {
          return RunAsAdministrator(nullptr, file, parameters);
      }) {
    while (FHost.endsWith('/')) {
        FHost.chop(1);
    }
}

QString TUpdateCheck::ConfiguredHost() {
    TSettingsStore settings;
    QString host;
    if (settings.OpenKey(QString(), false) && settings.ReadString("UpdateHost", host)) {
        return host.trimmed();
    }
    return QString::fromUtf8(TANDREL_UPDATE_HOST).trimmed();
}

std::string TUpdateCheck::InstallationId() {
    TSettingsStore settings;
    QString id;
    if (settings.OpenKey(QString(), true)) {
        if (settings.ReadString("InstallationId", id) && !id.isEmpty()) {
            return id.toStdString();
        }
        id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        settings.WriteString("InstallationId", id);
        settings.Flush();
        return id.toStdString();
    }
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
}

std::string TUpdateCheck::Url(const char* path) const {
    return FHost.toStdString() + path;
}

std::string TUpdateCheck::UserAgent() const {
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return exe.toStdString() + "_F_" + InstallationId() + NowDateTimeToString();
}

bool TUpdateCheck::Fail(TTextIndex text) {
    ShowMessageDialog(UiText(text), TMsgDlgType::mtError,
                      {TMsgDlgBtn::mbClose}, UiText(txtError), {UiText(txtClose)});
    if (FCloseMainWindow) {
        FCloseMainWindow();
    }
    return false;
}

bool TUpdateCheck::InitializationAndUpdate() {
    try {
        // No update host: nothing to compare with, and no network is touched.
        if (FHost.isEmpty()) {
            return true;
        }
        if (!GetVersionFromWebHost()) {
            return Fail(txtNoInternet);
        }
        if (!GetVersionFromRegistry()) {
            return Fail(txtCannotRetrieveVersion);
        }
        // Any difference, higher or lower, is an update.
        if (FRegistryVersion == FHostVersion) {
            return true;
        }
        if (DownloadFile(Url(kPackagePath), FTempPath + kPackageFile, nullptr, std::string(),
                         nullptr, {}, FPump, FPackageLimits) != kDownloadOK) {
            return Fail(txtCannotRetrieveUpdater);
        }
        if (!UnpackUpdaterFile()) {
            return Fail(txtCannotUnpackUpdater);
        }
        // A refused elevation changes nothing: the program closes all the same.
        if (FRunner) {
            FRunner(FTempPath + kUpdaterFile,
                    QCoreApplication::applicationFilePath().toStdString());
        }
        if (FCloseMainWindow) {
            FCloseMainWindow();
        }
        return false;
    } catch (...) {
        LogMessage("Error in TForm1.InitializationAndUpdate call...");
        return false;
    }
}

bool TUpdateCheck::GetVersionFromWebHost() {
    try {
        FHostVersion = 0;
        std::vector<char> buffer(kVersionBufferSize, 0);
        int size = kVersionBufferSize;
        const std::string agent = UserAgent();
        if (DownloadToBuffer(Url(kVersionFilePath), buffer.data(), size, agent, {}, nullptr, FPump,
                             FVersionLimits) != kDownloadOK) {
            LogMessage("Error in TForm1.GetVersionFromWebHost - cannot download the ver.txt file.");
            return false;
        }
        // The buffer was zeroed, so the text ends at its first NUL character.
        int version = 0;
        if (!ParseVersionText(buffer.data(), buffer.size(), version)) {
            LogMessage("Error in TForm1.GetVersionFromWebHost call...");
            return false;
        }
        FHostVersion = version;
        return true;
    } catch (...) {
        LogMessage("Error in TForm1.GetVersionFromWebHost call...");
        return false;
    }
}

bool TUpdateCheck::GetVersionFromRegistry() {
    try {
        FRegistryVersion = 0;
        TSettingsStore settings;
        if (!settings.OpenKey(QString(), false)) {
            return false;
        }
        int version = 0;
        if (settings.ReadInteger("Version", version)) {
            FRegistryVersion = version;
        } else {
            // A first run adopts the host's number and does not update.
            FRegistryVersion = FHostVersion;
            settings.WriteInteger("Version", FHostVersion);
            settings.Flush();
        }
        return true;
    } catch (...) {
        LogMessage("Error in TForm1.GetVersionFromRegistry call...");
        return false;
    }
}

bool TUpdateCheck::UnpackUpdaterFile() {
    try {
        const std::string package = FTempPath + kPackageFile;
        if (!QFileInfo::exists(QString::fromStdString(package))) {
            return false;
        }
        if (!ExtractZipArchive(package, FTempPath)) {
            LogMessage("Error in TForm1.UnpackUpdaterFile call...");
            return false;
        }
        return true;
    } catch (...) {
        LogMessage("Error in TForm1.UnpackUpdaterFile call...");
        return false;
    }
}
