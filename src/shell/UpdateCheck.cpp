#include "shell/UpdateCheck.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUuid>

#include <sys/stat.h>

#include <algorithm>
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
// The private folder of one update, in the temporary folder: this prefix and six random
// characters.
constexpr const char* kUpdateFolderPrefix = "TDRUpdater-";
constexpr int kVersionBufferSize = 2048;

}  // namespace

TUpdateCheck::TUpdateCheck(const QString& Host, const std::string& TempPath,
                           std::function<void()> CloseMainWindow)
    : FHost(Host.trimmed()),
      FTempPath(TempPath),
      FCloseMainWindow(std::move(CloseMainWindow)),
      FRunner([this](const std::string& file, const std::string& parameters) {
          return RunAsAdministrator(nullptr, file, parameters, FPump);
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
    // Only an existing key keeps the identifier: creating the key here would hide a missing
    // product key from the version check that follows.
    if (settings.OpenKey(QString(), false)) {
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

bool TUpdateCheck::FailAndClean(TTextIndex text) {
    if (!FUpdateFolder.empty()) {
        RemoveFolder(FUpdateFolder);
        FUpdateFolder.clear();
    }
    return Fail(text);
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
        // The temporary folder is shared with every user: the package is stored and unpacked in
        // a folder of this run's own, so nothing planted there can be taken for the updater.
        FUpdateFolder = MakePrivateFolder(FTempPath + kUpdateFolderPrefix);
        if (FUpdateFolder.empty()) {
            LogMessage(
                "Error in TForm1.InitializationAndUpdate - cannot create a private folder "
                "in the temporary folder.");
            return Fail(txtCannotRetrieveUpdater);
        }
        if (DownloadFile(Url(kPackagePath), FUpdateFolder + kPackageFile, nullptr, std::string(),
                         nullptr, {}, FPump, FPackageLimits) != kDownloadOK) {
            return FailAndClean(txtCannotRetrieveUpdater);
        }
        if (!UnpackUpdaterFile()) {
            return FailAndClean(txtCannotUnpackUpdater);
        }
        // The program stays until pkexec has started the updater or given up: pkexec asks on
        // behalf of this process and refuses once it is gone.
        if (FRunner && !FRunner(FUpdateFolder + kUpdaterFile,
                                QCoreApplication::applicationFilePath().toStdString())) {
            LogMessage("Error in TForm1.InitializationAndUpdate - the updater was not started.");
            return FailAndClean(txtUpdaterNotStarted);
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
        if (FUpdateFolder.empty()) {
            return false;
        }
        const std::string package = FUpdateFolder + kPackageFile;
        if (!QFileInfo::exists(QString::fromStdString(package))) {
            return false;
        }
        std::vector<std::string> files;
        if (!ExtractZipArchive(package, FUpdateFolder, FUnpackLimits, &files)) {
            LogMessage("Error in TForm1.UnpackUpdaterFile call...");
            return false;
        }
        // Only an updater that came out of this very package is ever started, and only a
        // regular file.
        struct stat info {};
        const std::string updater = FUpdateFolder + kUpdaterFile;
        if (std::find(files.begin(), files.end(), kUpdaterFile) == files.end() ||
            ::lstat(updater.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            LogMessage(
                "Error in TForm1.UnpackUpdaterFile - the package holds no TDRUpdater.exe "
                "file.");
            return false;
        }
        return true;
    } catch (...) {
        LogMessage("Error in TForm1.UnpackUpdaterFile call...");
        return false;
    }
}
