#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "alarms/ZoneAlarmSettings.h"
#include "recording/RecordingFormat.h"
#include "recording/RetentionPlanner.h"

// A camera's alarm configuration: the two recorder switches, the file format of both kinds of
// recording, how long recordings are kept, and one TZoneAlarmSettings entry per
// zone (entry i belongs to zone i of the zone overlay manager). The list owns its entries.
class TAlarmSettings {
public:
    using TZoneAlarmsList = std::vector<std::unique_ptr<TZoneAlarmSettings>>;

    TAlarmSettings() = default;
    ~TAlarmSettings();
    // Copies go through Assign only (a deep copy of the zone list).
    TAlarmSettings(const TAlarmSettings&) = delete;
    TAlarmSettings& operator=(const TAlarmSettings&) = delete;

    // Empties the own list, copies both switches, the format and the retention limits, then
    // appends a copy of every entry of Source.
    // Failures are swallowed.
    void Assign(const TAlarmSettings& Source) noexcept;

    bool UseMotionVideoLogger() const { return FUseMotionVideoLogger; }
    void SetUseMotionVideoLogger(bool Value) { FUseMotionVideoLogger = Value; }
    bool UseConstantVideoLogger() const { return FUseConstantVideoLogger; }
    void SetUseConstantVideoLogger(bool Value) { FUseConstantVideoLogger = Value; }

    // The format every recording is written in from its start on. Read by the camera's frame
    // thread when a motion recording starts while the GUI thread may assign a dialog's copy,
    // hence atomic.
    TRecordingFormat RecordingFormat() const { return FRecordingFormat.load(); }
    void SetRecordingFormat(TRecordingFormat Value) { FRecordingFormat.store(Value); }

    const TRetentionLimits& RetentionLimits() const { return FRetentionLimits; }
    void SetRetentionLimits(const TRetentionLimits& Value) { FRetentionLimits = Value; }

    const TZoneAlarmsList& ZoneAlarmsList() const { return FZoneAlarmsList; }
    int ZoneCount() const { return static_cast<int>(FZoneAlarmsList.size()); }
    // The entry of zone Index, or nullptr when there is none.
    TZoneAlarmSettings* Zone(int Index);
    const TZoneAlarmSettings* Zone(int Index) const;

    // Appends an empty entry and returns it (nullptr on failure).
    TZoneAlarmSettings* AddZone() noexcept;
    // Destroys the entry of zone Index; the following entries move up. False when out of range.
    bool DeleteZone(int Index) noexcept;
    // Destroys all entries.
    void ClearZones() noexcept;

private:
    bool FUseMotionVideoLogger = false;
    bool FUseConstantVideoLogger = false;
    std::atomic<TRecordingFormat> FRecordingFormat{TRecordingFormat::Wmv};
    TRetentionLimits FRetentionLimits;
    TZoneAlarmsList FZoneAlarmsList;
};
