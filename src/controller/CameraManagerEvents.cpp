// The controller's events for the event stream: what it publishes, and the snapshot of a
// motion start.
#include <QApplication>
#include <QWidget>

#include <cmath>
#include <utility>

#include "controller/CameraManager.h"
#include "controller/CameraPicture.h"
#include "controller/SnapshotWriter.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "notifications/EventOutputs.h"
#include "notifications/EventStream.h"
#include "notifications/NotificationEvent.h"
#include "notifications/NotificationSettings.h"
#include "notifications/SnapshotFile.h"
#include "notifications/StdoutEventOutput.h"
#include "platform/DateTime.h"
#include "platform/Diagnostics.h"
#include "zones/SelectorObjectManager.h"

namespace {

const char* ZoneEventName(TZoneEvent::TKind Kind) {
    switch (Kind) {
        case TZoneEvent::TKind::LearningDone:
            return "learning_done";
        case TZoneEvent::TKind::MotionStart:
            return "motion_start";
        case TZoneEvent::TKind::MotionEnd:
            return "motion_end";
        case TZoneEvent::TKind::AlarmOn:
            return "alarm_on";
        case TZoneEvent::TKind::AlarmOff:
            return "alarm_off";
    }
    return "zone";
}

// The outputs the controller adds; standard output belongs to whoever runs it headless.
bool IsControllerOutput(const TEventOutput& Output) {
    return dynamic_cast<const TStdoutEventOutput*>(&Output) == nullptr;
}

}  // namespace

void TCameraManager::SetEventStream(std::shared_ptr<TEventStream> Stream) {
    FEvents = std::move(Stream);
    if (FEvents && !FSnapshotWriter) {
        FSnapshotWriter = std::make_unique<TSnapshotWriter>();
    }
}

void TCameraManager::Publish(TNotificationEvent Event) {
    if (FEvents) {
        FEvents->Publish(std::move(Event));
    }
}

void TCameraManager::PublishCameraStarted() {
    const std::string* device = nullptr;
    if (FFrameGrabCaptureGraph) {
        FFrameGrabCaptureGraph->GetSupportedDeviceFriendlyName(FCameraIndex, device);
    }
    if (FEvents) {
        FEvents->SetCamera(device != nullptr ? *device : std::string());
    }
    const int64_t interval = FVideoFrameInterval;
    Publish(TNotificationEvent("camera_started", Now())
                .Add("device", device != nullptr ? *device : std::string())
                .Add("width", static_cast<int64_t>(FVideoWidth))
                .Add("height", static_cast<int64_t>(FVideoHeight))
                .Add("fps", interval > 0
                                ? std::round(1e9 / static_cast<double>(interval)) / 100.0
                                : 0.0));
}

void TCameraManager::PublishZoneEvents(const std::vector<TZoneEvent>& Events,
                                       const std::shared_ptr<TSnapshotFile>& Snapshot) {
    if (!FEvents) {
        return;
    }
    for (const TZoneEvent& event : Events) {
        TNotificationEvent out(ZoneEventName(event.Kind), Now());
        out.Add("zone", static_cast<int64_t>(event.Zone) + 1);
        if (event.Kind == TZoneEvent::TKind::MotionStart ||
            event.Kind == TZoneEvent::TKind::MotionEnd) {
            out.Add("activity", static_cast<int64_t>(event.Activity));
        }
        if (event.Kind == TZoneEvent::TKind::MotionStart && Snapshot) {
            out.Add("snapshot", Snapshot->Path());
            out.SetSnapshot(Snapshot);
        }
        FEvents->Publish(std::move(out));
    }
}

void TCameraManager::PublishRecordingEvent(const std::shared_ptr<TEventStream>& Stream,
                                           const TRecordingEvent& Event, bool Constant,
                                           const std::shared_ptr<TSnapshotFile>& Snapshot) {
    if (!Stream) {
        return;
    }
    if (!Event.Error.empty()) {
        // A recording that could not be made or holds nothing: no "finished" for it.
        Stream->Publish(TNotificationEvent("error", Now()).Add("text", Event.Error));
        return;
    }
    TNotificationEvent out(Event.Finished ? "recording_finished" : "recording_started", Now());
    out.Add("file", Event.File).Add("kind", Constant ? "continuous" : "motion");
    if (Event.Finished) {
        out.Add("duration", Event.Duration);
    } else if (Snapshot) {
        out.Add("snapshot", Snapshot->Path());
        out.SetSnapshot(Snapshot);
    }
    Stream->Publish(std::move(out));
}

void TCameraManager::PublishDetectionState() {
    if (FRestartingDetection) {
        return;
    }
    const int32_t zones = FSelectorObjectManager ? FSelectorObjectManager->Count() : 0;
    Publish(TNotificationEvent(FActivated ? "detection_on" : "detection_off", Now())
                .Add("zones", static_cast<int64_t>(zones)));
}

std::shared_ptr<TSnapshotFile> TCameraManager::TakeWantedSnapshot(const uint8_t* Data,
                                                                  int32_t Size) {
    std::shared_ptr<TSnapshotFile> snapshot = std::move(FSnapshotWanted);
    FSnapshotWanted.reset();
    if (!snapshot) {
        return nullptr;
    }
    TCameraPicture* picture = FFramePreviewImage.data();
    const int32_t width = picture != nullptr ? picture->BitmapWidth() : 0;
    const int32_t height = picture != nullptr ? picture->BitmapHeight() : 0;
    if (FSnapshotWriter && Data != nullptr &&
        static_cast<int64_t>(width) * height * 4 == static_cast<int64_t>(Size)) {
        FSnapshotWriter->Write(snapshot, Data, width, height);
    } else {
        snapshot->Finish(false);
    }
    return snapshot;
}

void TCameraManager::SetDetection(bool On) {
    // A dialog of the program is open (the camera may be changing under it): the command waits
    // for no one and is refused, said in the log.
    if (QApplication::activeModalWidget() != nullptr) {
        LogMessage("Detection cannot be switched from outside while a dialog is open.");
        PublishDetectionState();
        return;
    }
    if (On != FActivated.load()) {
        OnActivateClick();  // publishes the new state
        if (On != FActivated.load()) {
            PublishDetectionState();  // refused: the state as it stays
        }
        return;
    }
    PublishDetectionState();
}

void TCameraManager::ApplyNotificationSettings(const TNotificationSettings& Settings) {
    FSnapshots = Settings.Snapshots;
    if (!FEvents) {
        return;
    }
    FEvents->RemoveOutputsIf(IsControllerOutput);
    AddNotificationOutputs(*FEvents, Settings, [this](bool On) {
        // From the MQTT thread to the GUI thread; the controller stops its outputs before it
        // goes, so it is still there when this runs.
        QMetaObject::invokeMethod(this, [this, On] { SetDetection(On); }, Qt::QueuedConnection);
    });
}
