#include "localisation/TandrelTexts.h"

void TTandrelTexts::Clear() noexcept {
    for (std::string& text : Texts) {
        text.clear();
    }
}

// Defined before CurrentTexts in this file, so it is initialised first.
const TTandrelTexts DefaultTexts = {{
    "English",
    "File",
    "Add Camera",
    "Exit",
    "Settings",
    "Language",
    "Help",
    "About",
    "Add Zone",
    "Remove Zone",
    "Activate",
    "Deactivate",
    "Reset",
    "Camera Setup",
    "Alarms",
    "Reset Alarms",
    "Show Videos List",
    "Setup",
    "Camera",
    "Format",
    "Resolution",
    "Frames per second",
    "Camera Settings",
    "Motion Detection Sensitivity",
    "Motion Detection Mode",
    "Simple Mode",
    "Self-Learning Mode",
    "Self-Learning Advanced Mode",
    "Zones",
    "Zone",
    "Video Logger Settings",
    "Use Motion Detection Video Logger",
    "Use Continually Running Video Logger",
    "Open Folder",
    "Alarm Properties",
    "Enable Sound/Video Alarm",
    "Sound/Video Alarm File",
    "Video Log",
    "Creation Date and Time",
    "Duration(seconds)",
    "Play Video",
    "Version",
    "Copyright",
    "a trade mark of",
    "All Rights Reserved",
    "Email",
    "Phone",
    "Error",
    "Warning",
    "Close",
    "OK",
    "Cancel",
    "Tandrel",
    "Learning",
    "You can start only one instance of the product.",
    "No internet! Please check your internet connection and restart the application.",
    "Could not retrieve the product version! Please reinstall the product.",
    "Could not retrieve the updater! Please check your internet connection and restart the "
    "application.",
    "Could not unpack updater! Please reinstall the product.",
    "Please restart the application for the changes to take place!",
    "Maximum 10 zones can be added!",
    "The selected format cannot be used.",
    "You need to add at least one zone!",
    "File cannot be played!",
    "Adaptive",
    "Motion Recordings",
    "Continuous Recordings",
    "Disk Space",
    "Free space to keep (% of the disk)",
    "Free space to keep, at most (MB)",
    "Largest size of each recordings folder (MB, 0 = no limit)",
    "Delete recordings older than (days, 0 = never)",
    "Camera lost — reconnecting…",
    "Pre-event recording (seconds before the motion, 0 = off)",
    "The updater could not be started. Please restart the application to try again.",
    "Recording goes on after the motion (seconds, 0 = stop at once)",
}};

TTandrelTexts CurrentTexts = DefaultTexts;

void ClearCurrentTexts() noexcept {
    CurrentTexts.Clear();
}
