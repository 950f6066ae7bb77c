#include <algorithm>
#include <chrono>
#include <cstring>

#include "controller/CameraManager.h"
#include "controller/CameraPicture.h"
#include "detection/MotionDetectionListManager.h"
#include "notifications/SnapshotFile.h"
#include "platform/Diagnostics.h"
#include "platform/MonotonicClock.h"
#include "zones/SelectorObjectManager.h"

bool TCameraManager::NextFrameDataFunction(uint8_t* Data, int32_t Size) {
    try {
        // The camera watch's sign of life.
        FLastFrameMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
        // Zone events are handed on after the lock is released: a receiver may take its time.
        std::vector<TZoneEvent> events;
        std::shared_ptr<TSnapshotFile> snapshot;
        const bool handled = FrameStep(Data, Size, events, snapshot);
        if (FZoneEventCallback) {
            for (const TZoneEvent& event : events) {
                FZoneEventCallback(event);
            }
        }
        PublishZoneEvents(events, snapshot);
        return handled;
    } catch (...) {
        LogMessage("Error in TCameraManager.NextFrameDataFunction call...");
        return false;
    }
}

bool TCameraManager::FrameStep(uint8_t* Data, int32_t Size, std::vector<TZoneEvent>& Events,
                               std::shared_ptr<TSnapshotFile>& Snapshot) {
    std::lock_guard<std::mutex> guard(FLock);
    // The frame's time on the clock that never steps: the hold after the motion, the kept
    // frames and the length of the files are measured with it.
    const double frameTime = MonotonicSeconds();
    // 1. The pending stop of a motion recording. The frame itself goes on through the step: it
    //    is shown, looked at and kept, and opens the next recording when there is motion.
    PendingMotionStopFires();

    TCameraPicture* picture = FFramePreviewImage.data();
    const bool fits = picture != nullptr && Data != nullptr && Size > 0 &&
                      picture->BitsSize() == static_cast<int64_t>(Size);
    // 2. Detection against the previous frame, which the picture still holds.
    if (FActivated && !FFirstFrame && FMotionDetectionListManager && fits) {
        std::fill(FZoneMotion.begin(), FZoneMotion.end(), uint8_t{0});
        FMotionDetectionListManager->MotionDetection_CountDifferentPixelsBlock_RGB32(
            Data, picture->Bits());
        ApplyMotionToRecording(frameTime);
        Snapshot = TakeWantedSnapshot(Data, Size);
        CollectZoneEvents(Events);
    }
    // 3. Display: the picture takes the bottom-up frame as it is.
    if (fits) {
        std::memcpy(picture->Bits(), Data, static_cast<size_t>(Size));
        picture->FrameChanged();
        PostRepaint();
    }
    FFirstFrame = false;
    // 4. - 5. The continually running recorder (rolled over when its file is full), then the
    //    motion recorder.
    if (fits) {
        HandFrameToRecorders(Data, Size, frameTime);
    }
    ++FFrameCounter;
    // 7. Zone feedback; zones still learning keep the caption activation gave them.
    if (FMotionDetectionListManager) {
        const auto count = static_cast<int32_t>(FZoneFeedback.size());
        for (int32_t i = 0; i < count; ++i) {
            TZoneFeedback& zone = FZoneFeedback[i];
            zone.Ready = FMotionDetectionListManager->GetIsReadyToProcess(i);
            if (zone.Ready) {
                zone.Flashing = FMotionDetectionListManager->GetIsAlarmOn(i);
                zone.Activity = FMotionDetectionListManager->GetMotionActivity(i);
            }
        }
    }
    return true;
}

void TCameraManager::CollectZoneEvents(std::vector<TZoneEvent>& Events) {
    if ((!FZoneEventCallback && !FEvents) || !FMotionDetectionListManager) {
        return;
    }
    const auto count = static_cast<int32_t>(std::min(FZoneStates.size(), FZoneMotion.size()));
    for (int32_t i = 0; i < count; ++i) {
        TZoneState& last = FZoneStates[static_cast<size_t>(i)];
        TZoneState now;
        now.Ready = FMotionDetectionListManager->GetIsReadyToProcess(i);
        now.Motion = now.Ready && FZoneMotion[static_cast<size_t>(i)] != 0;
        now.Alarm = now.Ready && FMotionDetectionListManager->GetIsAlarmOn(i);
        const int32_t activity = FMotionDetectionListManager->GetMotionActivity(i);
        using K = TZoneEvent::TKind;
        if (now.Ready && !last.Ready && FMotionDetectionMode > 1) {
            Events.push_back({K::LearningDone, i, activity});
        }
        if (now.Motion != last.Motion) {
            Events.push_back({now.Motion ? K::MotionStart : K::MotionEnd, i, activity});
        }
        if (now.Alarm != last.Alarm) {
            Events.push_back({now.Alarm ? K::AlarmOn : K::AlarmOff, i, activity});
        }
        last = now;
    }
}

void TCameraManager::PostRepaint() {
    // One repaint in flight at a time: while one is pending, later frames are painted by it.
    if (FRepaintPending.exchange(true)) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            FRepaintPending = false;
            // Nothing is painted (nor scaled) where nobody can see it.
            if (FFramePreviewImage && FFramePreviewImage->IsSeen()) {
                FFramePreviewImage->update();
            }
            ApplyZoneFeedback();
        },
        Qt::QueuedConnection);
}

void TCameraManager::ApplyZoneFeedback() {
    try {
        std::vector<TZoneFeedback> feedback;
        {
            std::lock_guard<std::mutex> guard(FLock);
            if (!FMotionDetectionListManager) {
                return;
            }
            feedback = FZoneFeedback;
        }
        if (!FSelectorObjectManager) {
            return;
        }
        // Zones keep their state wherever they are; they are repainted only where the picture
        // can be seen, and only when their text changed or their flashing colour moves on.
        const bool seen = FFramePreviewImage && FFramePreviewImage->IsSeen();
        const auto count = std::min<int32_t>(static_cast<int32_t>(feedback.size()),
                                             FSelectorObjectManager->Count());
        for (int32_t i = 0; i < count; ++i) {
            TSelectorObject* zone = FSelectorObjectManager->GetSelectorObject(i);
            if (zone == nullptr || !feedback[i].Ready) {
                continue;
            }
            const QString caption = QString::number(feedback[i].Activity) + " %";
            const bool captionChanged = zone->Caption() != caption;
            const bool changed = captionChanged || zone->Flashing() != feedback[i].Flashing;
            zone->SetFlashing(feedback[i].Flashing);
            if (captionChanged) {
                zone->SetCaption(caption);
            }
            if (seen && (changed || feedback[i].Flashing)) {
                zone->update();
            }
        }
    } catch (...) {
        LogMessage("Error in TCameraManager.ApplyZoneFeedback call...");
    }
}
