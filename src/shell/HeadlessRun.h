#pragma once

#include <QObject>

#include <chrono>
#include <memory>
#include <string>

#include "notifications/NotificationSettings.h"
#include "shell/CommandLine.h"

class QWidget;
class TCameraManager;
class TEventStream;

// Watches one camera without showing a window: the camera controller runs on a hidden host
// widget (Qt's offscreen platform), detection is activated at start, and every event goes to
// standard output as one JSON line. Ends on SIGINT, SIGTERM or SIGHUP, or after --seconds.
class THeadlessRun : public QObject {
    Q_OBJECT
public:
    explicit THeadlessRun(TCommandLine Line, QObject* Parent = nullptr);
    ~THeadlessRun() override;

    // Runs until the end; the process exit status.
    int Run();

private:
    int Start();
    // The camera delivers: the start event, the zones and detection. An exit status, 0 when
    // detection runs.
    int BeginWatching();
    // The camera asked for by name or index, or the stored one; -1 when a name is unknown.
    int32_t ResolveCamera();
    std::string CameraLabel(int32_t Index) const;
    // The camera's name as the device list has it; empty when there is none.
    std::string DeviceName(int32_t Index) const;
    // The stored notification settings with this run's --mqtt and --webhook; false (and why)
    // when they cannot be used.
    bool NotificationSettingsOfRun(TNotificationSettings& Settings, std::string& Error) const;
    void PlaceZones();
    void ReportError(const std::string& Text);
    // Ends the run at FEnd; re-arms itself where that is further than one timer can wait.
    void ArmEndTimer();

    TCommandLine FLine;
    std::unique_ptr<QWidget> FHost;
    // Every event goes through the stream; standard output is one of its outputs.
    std::shared_ptr<TEventStream> FEvents;
    std::unique_ptr<TCameraManager> FManager;
    std::chrono::steady_clock::time_point FEnd;
    // The camera has started and detection runs (a camera missing at the start is waited for).
    bool FWatching = false;
};

// Prints every camera (index, name, device type) and its formats, one per line; exit status.
int ListCameras();
