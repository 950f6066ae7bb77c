#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Rect.h"

class TAlarmSettings;
class TMotionDetectionManager;
class TSoundNotificationThread;

// Called per zone and frame with the zone index; the result is ignored.
using TMotionDetectedCallback = std::function<bool(int32_t ZoneIndex)>;
using TNoMotionDetectedCallback = std::function<bool(int32_t ZoneIndex)>;

// Watches all zones of one camera while detection is active: per zone one block detector and
// one alarm sound thread, in zone order. The per-frame step decides motion or no motion for
// every zone, calls the matching callback and switches the zone's alarm.
//
// Set-up order: the callbacks, SetAlarmSettings, SetMotionDetectionSensitivity,
// SetMotionDetectionMode, then AddMotionDetector once per zone in zone order. Zones are never
// removed one by one: the owner rebuilds the object when the zones change.
//
// All calls come from one thread at a time; the per-frame step, its callbacks and the indexed
// readers run on the frame thread. Each zone brings two running threads (its threaded
// detector and its sound thread), which end in the destructor.
class TMotionDetectionListManager {
public:
    explicit TMotionDetectionListManager(int32_t TimePerFrameMS);
    ~TMotionDetectionListManager();
    TMotionDetectionListManager(const TMotionDetectionListManager&) = delete;
    TMotionDetectionListManager& operator=(const TMotionDetectionListManager&) = delete;

    // Store the callback, replacing an earlier one; an empty function calls nothing.
    bool AddMotionDetectionCallback(TMotionDetectedCallback MotionDetectedCallback);
    bool AddNoMotionDetectionCallback(TNoMotionDetectedCallback NoMotionDetectedCallback);
    // Stored for zones added later; earlier zones keep their values.
    bool SetMotionDetectionSensitivity(int32_t MotionDetectionSensitivity);
    bool SetMotionDetectionMode(int32_t MotionDetectionMode);
    // A private deep copy; its zone list is indexed like the zones.
    bool SetAlarmSettings(const TAlarmSettings& AlarmSettings);

    // Adds one zone (ZoneRect in buffer pixels of a FrameWidth x FrameHeight frame) with its
    // block detector and its sound thread, which gets the zone's alarm file. Fails when the
    // alarm settings have no entry for the zone; detector and thread stay appended then.
    bool AddMotionDetector(int32_t FrameWidth, int32_t FrameHeight, const TRect& ZoneRect);

    // The per-frame step: Frame1 is the new frame, Frame2 the previous one. For every zone in
    // order: motion when more than (100 - sensitivity) % of its pixels differ (level 10; in
    // mode 4 more than TAdaptiveMotionDetection::AreaThresholdPercent of its pixels changed),
    // then the callback, then (alarm enabled only) the alarm counter and instant-alarm flag.
    // A failing zone ends the step for this frame (false); later zones are not processed.
    bool MotionDetection_CountDifferentPixelsBlock_RGB32(const void* Frame1, const void* Frame2);

    int32_t Count() const { return static_cast<int32_t>(FMotionDetectionObjectList.size()); }
    // Indexed readers; an index outside 0..Count-1 answers false / 0.
    bool GetIsReadyToProcess(int32_t Index) const;
    bool GetIsAlarmOn(int32_t Index) const;
    int32_t GetMotionActivity(int32_t Index) const;
    bool IsReadyToProcess(int32_t Index) const { return GetIsReadyToProcess(Index); }
    bool IsAlarmOn(int32_t Index) const { return GetIsAlarmOn(Index); }
    int32_t MotionActivity(int32_t Index) const { return GetMotionActivity(Index); }

    // The zone's sound thread (nullptr outside 0..Count-1), for the owner's diagnostics.
    const TSoundNotificationThread* SoundNotificationThread(int32_t Index) const;

private:
    bool InRange(int32_t Index) const { return Index >= 0 && Index < Count(); }

    std::vector<std::unique_ptr<TMotionDetectionManager>> FMotionDetectionObjectList;
    std::vector<std::unique_ptr<TSoundNotificationThread>> FSoundNotificationThreadList;
    TMotionDetectedCallback FMotionDetectedCallback;
    TNoMotionDetectedCallback FNoMotionDetectedCallback;
    std::unique_ptr<TAlarmSettings> FAlarmSettings;
    int32_t FMotionDetectionSensitivity = 0;
    int32_t FMotionDetectionMode = 3;
    int32_t FTimePerFrameMS = 0;
};
