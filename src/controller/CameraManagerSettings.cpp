#include <array>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "alarms/AlarmSettings.h"
#include "controller/CameraManager.h"
#include "controller/CameraPicture.h"
#include "platform/Diagnostics.h"
#include "platform/SettingsStore.h"
#include "recording/RecordingFormat.h"
#include "zones/SelectorObjectManager.h"
#include "zones/ZoneGeometry.h"

namespace {

const QString kKey = QStringLiteral("CameraManager");
constexpr int32_t kMaxStoredZones = 10;
// The size of the picture whose pixels the stored zone rectangles are.
const char* const kZonePictureWidth = "ZonePictureWidth";
const char* const kZonePictureHeight = "ZonePictureHeight";
// The file format of the recordings, "wmv" or "mp4" (RecordingFormatName); missing: WMV.
const char* const kRecordingFormat = "RecordingFormat";

// The stored retention limits with their ranges; a value outside its range is replaced by the
// default.
struct TRetentionSetting {
    const char* Name;
    int32_t TRetentionLimits::*Field;
    int32_t Max;
};
constexpr TRetentionSetting kRetentionSettings[] = {
    {"RetentionMinFreePercent", &TRetentionLimits::MinFreePercent, 50},
    {"RetentionMinFreeMegabytes", &TRetentionLimits::MinFreeMegabytes, 1048576},
    {"RetentionMaxFolderMegabytes", &TRetentionLimits::MaxFolderMegabytes, 1073741824},
    {"RetentionMaxAgeDays", &TRetentionLimits::MaxAgeDays, 3650},
    {"PreEventSeconds", &TRetentionLimits::PreEventSeconds, 10},
    {"PostEventSeconds", &TRetentionLimits::PostEventSeconds, 60},
};

// The literal prefix of zone n's values ("Zone 3"), whatever the UI language.
QString ZonePrefix(int32_t n) {
    return QStringLiteral("Zone %1").arg(n);
}

// Whether anything at all is stored for the zone (so that a zone that is merely absent is not
// reported as unreadable).
bool HasStoredZoneValues(const TSettingsStore& store, const QString& prefix) {
    for (const char* suffix : {"_Rect_Left", "_Rect_Right", "_Rect_Top", "_Rect_Bottom",
                               "_SoundVideoAlarm_Enabled", "_SoundVideoAlarm_FileName"}) {
        if (store.ValueExists(prefix + suffix)) {
            return true;
        }
    }
    return false;
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
        // A value outside its range would make every activation fail: the default replaces it.
        if (FMotionDetectionSensitivity < kMinSensitivity ||
            FMotionDetectionSensitivity > kMaxSensitivity) {
            LogMessageFmt("Error in TCameraManager.LoadRegistrySettings - sensitivity %d is out of "
                          "range; %d is used.",
                          FMotionDetectionSensitivity, kDefaultSensitivity);
            FMotionDetectionSensitivity = kDefaultSensitivity;
        }
        if (FMotionDetectionMode < kMinDetectionMode || FMotionDetectionMode > kMaxDetectionMode) {
            LogMessageFmt("Error in TCameraManager.LoadRegistrySettings - detection mode %d is "
                          "unknown; %d is used.",
                          FMotionDetectionMode, kDefaultDetectionMode);
            FMotionDetectionMode = kDefaultDetectionMode;
        }
        if (store.ReadInteger("UseMotionDetectionVideoLogging", value)) {
            FAlarmSettings->SetUseMotionVideoLogger(value != 0);
        }
        if (store.ReadInteger("UseContinuallyRunningVideoLogging", value)) {
            FAlarmSettings->SetUseConstantVideoLogger(value != 0);
        }
        if (store.ValueExists(kRecordingFormat)) {
            // Whatever cannot be read as a format (another version's value, a hand edit)
            // records WMV, as before the choice existed.
            QString formatName;
            TRecordingFormat format = TRecordingFormat::Wmv;
            if (!store.ReadString(kRecordingFormat, formatName) ||
                !ParseRecordingFormat(formatName.toStdString(), format)) {
                LogMessageFmt("Error in TCameraManager.LoadRegistrySettings - recording format "
                              "\"%s\" is unknown; %s is used.",
                              formatName.toStdString().c_str(), RecordingFormatName(format));
            }
            FAlarmSettings->SetRecordingFormat(format);
        }
        TRetentionLimits limits = FAlarmSettings->RetentionLimits();
        for (const TRetentionSetting& setting : kRetentionSettings) {
            if (!store.ReadInteger(setting.Name, value)) {
                continue;
            }
            if (value < 0 || value > setting.Max) {
                LogMessageFmt("Error in TCameraManager.LoadRegistrySettings - %s %d is out of "
                              "range; %d is used.",
                              setting.Name, value, TRetentionLimits{}.*setting.Field);
                continue;
            }
            limits.*setting.Field = value;
        }
        FAlarmSettings->SetRetentionLimits(limits);
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
        bool written = true;
        if (FAlarmSettings) {
            for (const auto& [name, field] : IntegerSettings()) {
                written = store.WriteInteger(name, *field) && written;
            }
            written = store.WriteInteger("UseMotionDetectionVideoLogging",
                                         FAlarmSettings->UseMotionVideoLogger() ? 1 : 0) &&
                      written;
            written = store.WriteInteger("UseContinuallyRunningVideoLogging",
                                         FAlarmSettings->UseConstantVideoLogger() ? 1 : 0) &&
                      written;
            written = store.WriteString(kRecordingFormat,
                                        RecordingFormatName(FAlarmSettings->RecordingFormat())) &&
                      written;
            const TRetentionLimits& limits = FAlarmSettings->RetentionLimits();
            for (const TRetentionSetting& setting : kRetentionSettings) {
                written = store.WriteInteger(setting.Name, limits.*setting.Field) && written;
            }
        }
        if (!store.Flush() || !written) {
            throw std::runtime_error("settings not written");
        }
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
            return false;
        }
        if (!store.Flush()) {
            throw std::runtime_error("settings not written");
        }
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
        if (FOverrides.IgnoreStoredZones || !store.OpenKey(kKey, false)) {
            return true;
        }
        // The rectangles are made to fit the picture as it is placed now. They were stored in
        // the pixels of the picture as it was placed then (its size is stored beside them), so
        // they are scaled from that size: a picture of another size (another window, a run
        // without a window) never shrinks or grows them. Values stored without that size are
        // taken as pixels of the picture as it is now.
        const int32_t pictureWidth = FFramePreviewImage ? FFramePreviewImage->width() : 0;
        const int32_t pictureHeight = FFramePreviewImage ? FFramePreviewImage->height() : 0;
        int storedWidth = 0;
        int storedHeight = 0;
        const bool scaled = pictureWidth > 0 && pictureHeight > 0 &&
                            store.ReadInteger(kZonePictureWidth, storedWidth) &&
                            store.ReadInteger(kZonePictureHeight, storedHeight) &&
                            storedWidth > 0 && storedHeight > 0;
        const double scaleX = scaled ? static_cast<double>(pictureWidth) / storedWidth : 1.0;
        const double scaleY = scaled ? static_cast<double>(pictureHeight) / storedHeight : 1.0;
        // Each zone is read on its own: one that cannot be read is left out and the others are
        // kept (they are numbered without gaps when saved again).
        for (int32_t n = 1; n <= kMaxStoredZones; ++n) {
            const QString prefix = ZonePrefix(n);
            int left = 0;
            int right = 0;
            int top = 0;
            int bottom = 0;
            if (!store.ReadInteger(prefix + "_Rect_Left", left) ||
                !store.ReadInteger(prefix + "_Rect_Right", right) ||
                !store.ReadInteger(prefix + "_Rect_Top", top) ||
                !store.ReadInteger(prefix + "_Rect_Bottom", bottom)) {
                if (HasStoredZoneValues(store, prefix)) {
                    LogMessageFmt("Error in TCameraManager.LoadRegistrySelectors - cannot read the "
                                  "rectangle of zone %d; the zone is left out.",
                                  n);
                }
                continue;
            }
            TRect rect{left, top, right, bottom};
            if (pictureWidth > 0 && pictureHeight > 0) {
                // The smallest zone an overlay shows: its minimum of three handles, less the
                // band the handles add around the zone.
                const int32_t point = FSelectorObjectManager->DefaultSelectorPointSize();
                const auto scale = [](int value, double factor) {
                    return static_cast<int64_t>(std::llround(value * factor));
                };
                const TZoneRectangle zone = ZoneFromStoredRectangle(
                    scale(left, scaleX), scale(top, scaleY), scale(right, scaleX),
                    scale(bottom, scaleY), pictureWidth, pictureHeight, 2 * point + 1);
                rect = TRect{zone.Left, zone.Top, zone.Left + zone.Width, zone.Top + zone.Height};
            }
            rect.Left += FARVerticalBarWidth;
            rect.Right += FARVerticalBarWidth;
            rect.Top += FARHorizontalBarHeight;
            rect.Bottom += FARHorizontalBarHeight;
            FSelectorObjectManager->DeselectAll();
            if (!FSelectorObjectManager->AddSelector(FFramePreviewImage, 0, 0)) {
                break;
            }
            FSelectorObjectManager->SetRectangle(FSelectorObjectManager->Count() - 1, rect);
            TZoneAlarmSettings* zone = FAlarmSettings->AddZone();
            if (zone == nullptr) {
                throw std::runtime_error("zone alarm not added");
            }
            int enabled = 0;
            if (store.ReadInteger(prefix + "_SoundVideoAlarm_Enabled", enabled)) {
                zone->SoundVideoAlarmEnabled = enabled != 0;
                QString fileName;
                if (store.ReadString(prefix + "_SoundVideoAlarm_FileName", fileName)) {
                    zone->SoundVideoAlarmFileName = fileName.toStdString();
                }
            } else {
                LogMessageFmt("Error in TCameraManager.LoadRegistrySelectors - cannot read the "
                              "alarm of zone %d; the default alarm is used.",
                              n);
                SetDefaultZoneAlarm(*zone);
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
        bool written = true;
        if (FAlarmSettings && FSelectorObjectManager && FSelectorsLoaded) {
            // The picture the rectangles below are pixels of.
            if (FFramePreviewImage && FFramePreviewImage->width() > 0 &&
                FFramePreviewImage->height() > 0) {
                written = store.WriteInteger(kZonePictureWidth, FFramePreviewImage->width()) &&
                          written;
                written = store.WriteInteger(kZonePictureHeight, FFramePreviewImage->height()) &&
                          written;
            }
            for (int32_t i = 0; i < FSelectorObjectManager->Count(); ++i) {
                const TSelectorObject* zone = FSelectorObjectManager->GetSelectorObject(i);
                const TZoneAlarmSettings* alarm = FAlarmSettings->Zone(i);
                if (zone == nullptr) {
                    continue;
                }
                const QString prefix = ZonePrefix(zone->ObjectIDNumber());
                TRect rect;
                FSelectorObjectManager->GetActualRectangle(i, rect, false);
                written = store.WriteInteger(prefix + "_Rect_Left", rect.Left) && written;
                written = store.WriteInteger(prefix + "_Rect_Right", rect.Right) && written;
                written = store.WriteInteger(prefix + "_Rect_Top", rect.Top) && written;
                written = store.WriteInteger(prefix + "_Rect_Bottom", rect.Bottom) && written;
                written =
                    store.WriteInteger(prefix + "_SoundVideoAlarm_Enabled",
                                       alarm != nullptr && alarm->SoundVideoAlarmEnabled ? 1 : 0) &&
                    written;
                written = store.WriteString(
                              prefix + "_SoundVideoAlarm_FileName",
                              alarm != nullptr
                                  ? QString::fromStdString(alarm->SoundVideoAlarmFileName)
                                  : QString()) &&
                          written;
            }
        }
        if (!store.Flush() || !written) {
            throw std::runtime_error("settings not written");
        }
        return true;
    } catch (...) {
        LogMessage("Error in TCameraManager.SaveRegistrySelectors call...");
        return false;
    }
}
