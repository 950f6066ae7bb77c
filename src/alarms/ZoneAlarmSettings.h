#pragma once

#include <string>

// One zone's alarm configuration: whether motion in the zone plays its alarm file, and which file.
// The remaining fields are carried along by Assign for compatibility with stored settings; nothing
// else uses them.
class TZoneAlarmSettings {
public:
    std::string ZoneName;
    bool SoundVideoAlarmEnabled = false;
    std::string SoundVideoAlarmFileName;  // full path (UTF-8) of a sound or video file
    bool CaptureStillImagesEnabled = false;
    std::string CaptureStillImagesFolder;
    bool CaptureVideoEnabled = false;
    std::string CaptureVideoFolder;

    TZoneAlarmSettings() = default;
    // Copies go through Assign only, so that a copy never half-succeeds unnoticed.
    TZoneAlarmSettings(const TZoneAlarmSettings&) = delete;
    TZoneAlarmSettings& operator=(const TZoneAlarmSettings&) = delete;

    // Copies all seven fields from Source; failures are swallowed.
    void Assign(const TZoneAlarmSettings& Source) noexcept;
};
