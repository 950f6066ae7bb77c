#include "alarms/AlarmSettings.h"

TAlarmSettings::~TAlarmSettings() {
    ClearZones();
}

void TAlarmSettings::Assign(const TAlarmSettings& Source) noexcept {
    try {
        // Emptying the own list first would lose the entries of a self-assignment.
        if (&Source == this) {
            return;
        }
        ClearZones();
        FUseMotionVideoLogger = Source.FUseMotionVideoLogger;
        FUseConstantVideoLogger = Source.FUseConstantVideoLogger;
        FRecordingFormat.store(Source.FRecordingFormat.load());
        FRetentionLimits = Source.FRetentionLimits;
        FZoneAlarmsList.reserve(Source.FZoneAlarmsList.size());
        for (const auto& entry : Source.FZoneAlarmsList) {
            auto copy = std::make_unique<TZoneAlarmSettings>();
            if (entry) {
                copy->Assign(*entry);
            }
            FZoneAlarmsList.push_back(std::move(copy));
        }
    } catch (...) {
        // Out of memory: the list keeps the entries copied so far.
    }
}

TZoneAlarmSettings* TAlarmSettings::Zone(int Index) {
    if (Index < 0 || Index >= ZoneCount()) {
        return nullptr;
    }
    return FZoneAlarmsList[static_cast<size_t>(Index)].get();
}

const TZoneAlarmSettings* TAlarmSettings::Zone(int Index) const {
    if (Index < 0 || Index >= ZoneCount()) {
        return nullptr;
    }
    return FZoneAlarmsList[static_cast<size_t>(Index)].get();
}

TZoneAlarmSettings* TAlarmSettings::AddZone() noexcept {
    try {
        FZoneAlarmsList.push_back(std::make_unique<TZoneAlarmSettings>());
        return FZoneAlarmsList.back().get();
    } catch (...) {
        return nullptr;
    }
}

bool TAlarmSettings::DeleteZone(int Index) noexcept {
    if (Index < 0 || Index >= ZoneCount()) {
        return false;
    }
    FZoneAlarmsList.erase(FZoneAlarmsList.begin() + Index);
    return true;
}

void TAlarmSettings::ClearZones() noexcept {
    // Last to first, as the entries were created.
    while (!FZoneAlarmsList.empty()) {
        FZoneAlarmsList.pop_back();
    }
}
