#include "detection/MotionDetectionListManager.h"

#include <stdexcept>
#include <utility>

#include "alarms/AlarmSettings.h"
#include "alarms/SoundNotificationThread.h"
#include "detection/AdaptiveMotionDetection.h"
#include "detection/MotionDetectionManager.h"
#include "platform/Diagnostics.h"

namespace {

// Colour difference above which a pixel counts as changed; fixed for all zones.
constexpr int32_t kDetectionLevel = 10;
// Polling cycle of the zones' sound threads: the alarm starts within about 60 ms.
constexpr int32_t kSoundRepeatTimeMS = 50;

}  // namespace

TMotionDetectionListManager::TMotionDetectionListManager(int32_t TimePerFrameMS)
    : FTimePerFrameMS(TimePerFrameMS) {
    try {
        FAlarmSettings = std::make_unique<TAlarmSettings>();
    } catch (...) {
        LogMessage("Error in TMotionDetectionListManager.Create call..");
    }
}

TMotionDetectionListManager::~TMotionDetectionListManager() {
    try {
        FAlarmSettings.reset();
        FSoundNotificationThreadList.clear();  // each thread stops
        FMotionDetectionObjectList.clear();    // each detector stops its threaded detector
    } catch (...) {
        LogMessage("Error in TMotionDetectionListManager.Destroy call..");
    }
}

bool TMotionDetectionListManager::AddMotionDetectionCallback(
    TMotionDetectedCallback MotionDetectedCallback) {
    try {
        FMotionDetectedCallback = std::move(MotionDetectedCallback);
        return true;
    } catch (...) {
        LogMessage("Error in TMotionDetectionListManager.AddMotionDetectionCallback call..");
        return false;
    }
}

bool TMotionDetectionListManager::AddNoMotionDetectionCallback(
    TNoMotionDetectedCallback NoMotionDetectedCallback) {
    try {
        FNoMotionDetectedCallback = std::move(NoMotionDetectedCallback);
        return true;
    } catch (...) {
        LogMessage("Error in TMotionDetectionListManager.AddNoMotionDetectionCallback call..");
        return false;
    }
}

bool TMotionDetectionListManager::SetMotionDetectionSensitivity(
    int32_t MotionDetectionSensitivity) {
    FMotionDetectionSensitivity = MotionDetectionSensitivity;
    return true;
}

bool TMotionDetectionListManager::SetMotionDetectionMode(int32_t MotionDetectionMode) {
    FMotionDetectionMode = MotionDetectionMode;
    return true;
}

bool TMotionDetectionListManager::SetAlarmSettings(const TAlarmSettings& AlarmSettings) {
    try {
        if (!FAlarmSettings) {
            throw std::logic_error("no alarm settings");
        }
        FAlarmSettings->Assign(AlarmSettings);
        return true;
    } catch (...) {
        LogMessage("Error in TMotionDetectionListManager.SetAlarmSettings call..");
        return false;
    }
}

bool TMotionDetectionListManager::AddMotionDetector(int32_t FrameWidth, int32_t FrameHeight,
                                                    const TRect& ZoneRect) {
    try {
        auto detector = std::make_unique<TMotionDetectionManager>();
        TMotionDetectionManager& zoneDetector = *detector;
        FMotionDetectionObjectList.push_back(std::move(detector));
        // A zone whose detector cannot be set up (no usable frame size) is still appended, so
        // the lists stay parallel, but the caller learns that detection cannot run.
        bool initialized = zoneDetector.Initialize(FrameWidth, FrameHeight, FMotionDetectionMode);
        zoneDetector.SetTimePerFrameMS(FTimePerFrameMS);
        initialized = zoneDetector.SetMotionDetectionRectangle(ZoneRect) && initialized;
        zoneDetector.SetMotionDetectionSensitivity(FMotionDetectionSensitivity);

        auto thread = std::make_unique<TSoundNotificationThread>();
        TSoundNotificationThread& zoneThread = *thread;
        FSoundNotificationThreadList.push_back(std::move(thread));
        zoneThread.SetRepeatTimeMS(kSoundRepeatTimeMS);

        const int32_t index = static_cast<int32_t>(FSoundNotificationThreadList.size()) - 1;
        const TZoneAlarmSettings* zone = FAlarmSettings ? FAlarmSettings->Zone(index) : nullptr;
        if (zone == nullptr) {
            throw std::out_of_range("no alarm settings for the zone");
        }
        // A missing file is refused by the thread, which then stays silent.
        zoneThread.SetInstantAlarmSound(zone->SoundVideoAlarmFileName);
        return initialized;
    } catch (...) {
        LogMessage("Error in TMotionDetectionListManager.AddMotionDetector call..");
        return false;
    }
}

bool TMotionDetectionListManager::MotionDetection_CountDifferentPixelsBlock_RGB32(
    const void* Frame1, const void* Frame2) {
    try {
        for (int32_t i = 0; i < Count(); ++i) {
            TMotionDetectionManager& detector = *FMotionDetectionObjectList.at(i);
            TSoundNotificationThread& thread = *FSoundNotificationThreadList.at(i);
            uint32_t pixelsCount = 0;
            detector.MotionDecetction_CountDifferentPixelsBlock_RGB32(Frame1, Frame2,
                                                                      kDetectionLevel, pixelsCount);
            // A zone without pixels never reports motion.
            const int32_t zonePixels = detector.DetectionRegionPixelsCount();
            const double pct = zonePixels > 0 ? pixelsCount * 100.0 / zonePixels : 0.0;
            // Modes 1-3: more than (100 - sensitivity) % of the zone; mode 4 has its own scale
            // of small areas, since a person rarely changes more than a few percent of a zone.
            const double threshold =
                FMotionDetectionMode == 4
                    ? TAdaptiveMotionDetection::AreaThresholdPercent(FMotionDetectionSensitivity)
                    : 100.0 - FMotionDetectionSensitivity;
            const bool motion = zonePixels > 0 && pct > threshold;

            if (motion) {
                if (FMotionDetectedCallback) {
                    FMotionDetectedCallback(i);
                }
            } else if (FNoMotionDetectedCallback) {
                FNoMotionDetectedCallback(i);
            }
            const TZoneAlarmSettings* zone = FAlarmSettings ? FAlarmSettings->Zone(i) : nullptr;
            if (zone == nullptr) {
                throw std::out_of_range("no alarm settings for the zone");
            }
            if (zone->SoundVideoAlarmEnabled) {
                if (motion) {
                    thread.SetAlarmOn();
                } else {
                    thread.SetAlarmOff();
                }
                thread.SetInstantAlarm(motion);
            }
        }
        return true;
    } catch (...) {
        LogMessage(
            "Error in TMotionDetectionListManager.MotionDecetction_CountDifferentPixelsBlock_RGB32 "
            "call..");
        return false;
    }
}

bool TMotionDetectionListManager::GetIsReadyToProcess(int32_t Index) const {
    return InRange(Index) && FMotionDetectionObjectList[Index]->IsReadyToProcess();
}

bool TMotionDetectionListManager::GetIsAlarmOn(int32_t Index) const {
    return InRange(Index) && Index < static_cast<int32_t>(FSoundNotificationThreadList.size()) &&
           FSoundNotificationThreadList[Index]->AlarmOn() > 0;
}

int32_t TMotionDetectionListManager::GetMotionActivity(int32_t Index) const {
    return InRange(Index) ? FMotionDetectionObjectList[Index]->MotionActivityPrc() : 0;
}

const TSoundNotificationThread* TMotionDetectionListManager::SoundNotificationThread(
    int32_t Index) const {
    return Index >= 0 && Index < static_cast<int32_t>(FSoundNotificationThreadList.size())
               ? FSoundNotificationThreadList[Index].get()
               : nullptr;
}
