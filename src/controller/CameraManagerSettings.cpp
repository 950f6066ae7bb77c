#include <array>
#include <utility>

#include "alarms/AlarmSettings.h"
#include "controller/CameraManager.h"
#include "controller/CameraPicture.h"
#include "platform/SettingsStore.h"
#include "shell/Diagnostics.h"
#include "zones/SelectorObjectManager.h"

namespace {

const QString kKey = QStringLiteral("CameraManager");
constexpr int32_t kMaxStoredZones = 10;

// The literal prefix of zone n's values ("Zone 3"), whatever the UI language.
QString ZonePrefix(int32_t n) {
    return QStringLiteral("Zone %1").arg(n);
}

}  // namespace

std::array<std::pair<QString, int32_t*>, 4> TCameraManager::IntegerSettings() {
    return {{{QStringLiteral("CameraIndex"), &FCameraIndex},
             {QStringLiteral("FormatIndex"), &FFormatIndex},
             {QStringLiteral("MotionDetectionSensitivity"), &FMotionDetectionSensitivity},
             {QStringLiteral("MotionDetectionMode"), &FMotionDetectionMode}}};
}

bool TCameraManager::LoadRegistrySettings() {
    try {
        TSettingsStore store;
        if (!store.OpenKey(kKey, false) || !FAlarmSettings) {
            return true;
        }
        // Each value on its own: a missing one keeps its default.
        int value = 0;
        for (const auto& [name, field] : IntegerSettings()) {
            if (store.ReadInteger(name, value)) {
                *field = value;
            }
        }
        if (store.ReadInteger("UseMotionDetectionVideoLogging", value)) {
            FAlarmSettings->SetUseMotionVideoLogger(value != 0);
        }
        if (store.ReadInteger("UseContinuallyRunningVideoLogging", value)) {
            FAlarmSettings->SetUseConstantVideoLogger(value != 0);
        }
        return true;
    } catch (...) {
        LogMessage("Error in TCameraManager.LoadRegistrySettings call...");
        return false;
    }
}

bool TCameraManager::SaveRegistrySettings() {
    try {
        TSettingsStore store;
        if (!store.OpenKey(kKey, true)) {
            throw std::runtime_error("key not opened");
        }
        if (FAlarmSettings) {
            for (const auto& [name, field] : IntegerSettings()) {
                store.WriteInteger(name, *field);
            }
            store.WriteInteger("UseMotionDetectionVideoLogging",
                               FAlarmSettings->UseMotionVideoLogger() ? 1 : 0);
            store.WriteInteger("UseContinuallyRunningVideoLogging",
                               FAlarmSettings->UseConstantVideoLogger() ? 1 : 0);
        }
        store.Flush();
        return true;
    } catch (...) {
        LogMessage("Error in TCameraManager.SaveRegistrySettings call...");
        return false;
    }
}

bool TCameraManager::ClearRegistrySettings() {
    try {
        // Zones removed while the program ran must leave no values behind.
        TSettingsStore store;
        if (store.KeyExists(kKey) && !store.DeleteKey(kKey)) {
            LogMessage("Error in DeleteRegistry call...");
        }
        store.Flush();
        return true;
    } catch (...) {
        LogMessage("Error in TCameraManager.ClearRegistrySettings call...");
        return false;
    }
}

bool TCameraManager::LoadRegistrySelectors() {
    try {
        TSettingsStore store;
        if (!FAlarmSettings || !FSelectorObjectManager) {
            return true;
        }
        FSelectorsLoaded = true;
        if (!store.OpenKey(kKey, false)) {
            return true;
        }
        for (int32_t n = 1; n <= kMaxStoredZones; ++n) {
            const QString prefix = ZonePrefix(n);
            int left = 0;
            int right = 0;
            int top = 0;
            int bottom = 0;
            // The first value that cannot be read ends the loading; what was added stays.
            if (!store.ReadInteger(prefix + "_Rect_Left", left) ||
                !store.ReadInteger(prefix + "_Rect_Right", right) ||
                !store.ReadInteger(prefix + "_Rect_Top", top) ||
                !store.ReadInteger(prefix + "_Rect_Bottom", bottom)) {
                break;
            }
            const TRect rect{left + FARVerticalBarWidth, top + FARHorizontalBarHeight,
                             right + FARVerticalBarWidth, bottom + FARHorizontalBarHeight};
            FSelectorObjectManager->DeselectAll();
            FSelectorObjectManager->AddSelector(FFramePreviewImage, 0, 0);
            FSelectorObjectManager->SetRectangle(FSelectorObjectManager->Count() - 1, rect);
            TZoneAlarmSettings* zone = FAlarmSettings->AddZone();
            int enabled = 0;
            if (zone == nullptr ||
                !store.ReadInteger(prefix + "_SoundVideoAlarm_Enabled", enabled)) {
                break;
            }
            zone->SoundVideoAlarmEnabled = enabled != 0;
            QString fileName;
            if (store.ReadString(prefix + "_SoundVideoAlarm_FileName", fileName)) {
                zone->SoundVideoAlarmFileName = fileName.toStdString();
            }
        }
        return true;
    } catch (...) {
        LogMessage("Error in TCameraManager.LoadRegistrySelectors call...");
        return false;
    }
}

bool TCameraManager::SaveRegistrySelectors() {
    try {
        TSettingsStore store;
        if (!store.OpenKey(kKey, true)) {
            throw std::runtime_error("key not opened");
        }
        if (FAlarmSettings && FSelectorObjectManager && FSelectorsLoaded) {
            for (int32_t i = 0; i < FSelectorObjectManager->Count(); ++i) {
                const TSelectorObject* zone = FSelectorObjectManager->GetSelectorObject(i);
                const TZoneAlarmSettings* alarm = FAlarmSettings->Zone(i);
                if (zone == nullptr) {
                    continue;
                }
                const QString prefix = ZonePrefix(zone->ObjectIDNumber());
                TRect rect;
                FSelectorObjectManager->GetActualRectangle(i, rect, false);
                store.WriteInteger(prefix + "_Rect_Left", rect.Left);
                store.WriteInteger(prefix + "_Rect_Right", rect.Right);
                store.WriteInteger(prefix + "_Rect_Top", rect.Top);
                store.WriteInteger(prefix + "_Rect_Bottom", rect.Bottom);
                store.WriteInteger(prefix + "_SoundVideoAlarm_Enabled",
                                   alarm != nullptr && alarm->SoundVideoAlarmEnabled ? 1 : 0);
                store.WriteString(prefix + "_SoundVideoAlarm_FileName",
                                  alarm != nullptr
                                      ? QString::fromStdString(alarm->SoundVideoAlarmFileName)
                                      : QString());
            }
        }
        store.Flush();
        return true;
    } catch (...) {
        LogMessage("Error in TCameraManager.SaveRegistrySelectors call...");
        return false;
    }
}
