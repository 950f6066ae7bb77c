#pragma once

#include <QString>

#include <functional>
#include <string>

#include "localisation/TandrelTexts.h"
#include "shell/Download.h"
#include "shell/UpdateRoutines.h"

// The update gate of the main window: compares the product version stored in the settings with
// the one published on the update host and, when they differ, downloads the updater package into
// a new private folder (mode 0700) in the temporary folder, unpacks it there, starts the updater
// it holds with administrator rights and closes the main window. Runs on the GUI thread; the
// downloads, and the wait for the elevation, pump its messages.
//
// Without an update host (settings value "UpdateHost" empty and none compiled in) the gate lets
// start-up go on at once and touches no network.
class TUpdateCheck {
public:
    // Starts the updater: file and its one parameter; true when it was started.
    using TRunner = std::function<bool(const std::string& FileName, const std::string& Parameters)>;

    // Host: e.g. "https://updates.example.org" (no trailing "/" needed); TempPath ends in "/";
    // CloseMainWindow closes the window the gate belongs to.
    TUpdateCheck(const QString& Host, const std::string& TempPath,
                 std::function<void()> CloseMainWindow);

    // The host from the settings value "UpdateHost", else the one compiled in; "" for none.
    static QString ConfiguredHost();
    // The installation's identifier (a random UUID made once and kept in the settings). The
    // settings key is never created for it: before the key exists, each call makes a new one.
    static std::string InstallationId();

    void SetRunner(TRunner runner) { FRunner = std::move(runner); }
    void SetMessagePump(TMessagePump pump) { FPump = std::move(pump); }
    void SetLimits(const TDownloadLimits& versionFile, const TDownloadLimits& package,
                   const TUnpackLimits& unpacked = {}) {
        FVersionLimits = versionFile;
        FPackageLimits = package;
        FUnpackLimits = unpacked;
    }

    // True when start-up may open the camera.
    bool InitializationAndUpdate();
    bool GetVersionFromWebHost();
    bool GetVersionFromRegistry();
    bool UnpackUpdaterFile();
    // The user-agent text of the version request.
    std::string UserAgent() const;

    int HostVersion() const { return FHostVersion; }
    int RegistryVersion() const { return FRegistryVersion; }
    // The private folder of the last update ("" when none); it stays only when the updater was
    // handed over.
    const std::string& UpdateFolder() const { return FUpdateFolder; }

private:
    bool Fail(TTextIndex text);
    // Fails with text and removes the update folder with everything in it.
    bool FailAndClean(TTextIndex text);
    std::string Url(const char* path) const;

    QString FHost;
    std::string FTempPath;
    std::function<void()> FCloseMainWindow;
    TRunner FRunner;
    TMessagePump FPump;
    TDownloadLimits FVersionLimits{5, 5, 10};
    // The package: at most 256 MB, unpacking to at most 1 GB.
    TDownloadLimits FPackageLimits{10, 30, 0, int64_t{256} << 20};
    TUnpackLimits FUnpackLimits;
    std::string FUpdateFolder;
    int FHostVersion = 0;
    int FRegistryVersion = 0;
};
