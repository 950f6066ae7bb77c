#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/Rect.h"

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
    std::string Instance;                 // single-instance name; empty: the program's own

    // True when the run uses only stored values (and may therefore write them back).
    bool UsesStoredValuesOnly() const {
        return !CameraIndex && !CameraName && Zones.empty() && !Mode && !Sensitivity;
    }
};

// The longest --instance name (bytes): it becomes part of a lock file's name.
constexpr size_t kMaxInstanceNameLength = 100;

TCommandLine ParseCommandLine(const std::vector<std::string>& Arguments);

// The usage text printed by --help and after a refused line.
std::string CommandLineUsage();

// Exit statuses of the command-line modes.
constexpr int kExitBadUsage = 64;      // a refused command line
constexpr int kExitNoCamera = 2;       // the camera cannot be started
constexpr int kExitAlreadyRunning = 3;  // another run holds the single-instance lock
