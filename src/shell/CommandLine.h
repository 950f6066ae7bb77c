#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "notifications/NotificationSettings.h"
#include "platform/Rect.h"
#include "recording/RecordingFormat.h"

// What the command line asks for. Options of the program start with "--". Other arguments are
// left to the toolkit when the window opens (Qt's own options such as "-platform xcb"; whatever
// the toolkit does not take is refused there) and refuse the line in every other mode.
struct TCommandLine {
    enum class TAction { Window, Headless, ListCameras, Help, Version, Error };
    TAction Action = TAction::Window;
    // Why the line was refused (Action Error).
    std::string Error;

    // Headless run: each value given overrides the stored one for this run only.
    std::optional<int> Seconds;           // stop after this many seconds
    std::optional<int> CameraIndex;       // --camera 2
    std::optional<std::string> CameraName;  // --camera "Test Pattern"
    std::vector<TRect> Zones;             // frame pixels, top-down
    std::optional<int> Mode;
    std::optional<int> Sensitivity;
    std::optional<TRecordingFormat> RecordingFormat;  // --format wmv|mp4
    std::string Instance;                 // single-instance name; empty: the program's own
    // Where events go besides standard output, for this run only (never stored): the MQTT
    // broker's address (checked with ParseMqttUrl) and webhook addresses (CheckWebhookUrl).
    std::optional<std::string> MqttUrl;
    std::vector<std::string> Webhooks;

    // True when the run uses only stored values (and may therefore write them back). The
    // notification options play no part: they are never stored.
    bool UsesStoredValuesOnly() const {
        return !CameraIndex && !CameraName && Zones.empty() && !Mode && !Sensitivity &&
               !RecordingFormat;
    }
};

// The longest --instance name (bytes): it becomes part of a lock file's name.
constexpr size_t kMaxInstanceNameLength = 100;

TCommandLine ParseCommandLine(const std::vector<std::string>& Arguments);

// The environment variable a headless run takes the MQTT password from, so that it need not
// stand in the command line (where other users of the machine can read it).
constexpr const char* kMqttPasswordVariable = "TANDREL_MQTT_PASSWORD";

// The MQTT settings of a run: without --mqtt, Settings (the stored ones) stay as they are. With
// --mqtt, its address replaces the stored broker, user, password, TLS and topic prefix (the
// stored CA file and discovery switch stay), and when the address names a user but no password,
// TANDREL_MQTT_PASSWORD (when set and not empty) gives it; a password in the address wins over
// the variable. A password in the variable while the address names no user is refused: MQTT
// takes no password without a user name, and the broker would be used without the login the
// caller meant to give. False with the reason in Error and Settings untouched.
bool MqttSettingsForRun(const TCommandLine& Line, TMqttSettings& Settings, std::string& Error);

// The notification settings of a run: Settings (the stored ones) with MqttSettingsForRun applied
// and, when --webhook was given, those addresses (every event, no Authorization header, no
// snapshot) in place of the stored webhooks. Commands, snapshots and the time-out stay stored.
bool NotificationSettingsForRun(const TCommandLine& Line, TNotificationSettings& Settings,
                                std::string& Error);

// The usage text printed by --help and after a refused line.
std::string CommandLineUsage();

// Exit statuses of the command-line modes.
constexpr int kExitBadUsage = 64;      // a refused command line
constexpr int kExitNoCamera = 2;       // the camera cannot be started
constexpr int kExitAlreadyRunning = 3;  // another run holds the single-instance lock
