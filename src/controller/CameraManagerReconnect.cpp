// Camera loss and reconnection. A camera is lost when its graph reports the end of its stream or
// a failure (an unplugged camera, a device that stops, a file that cannot be read), or when no
// frame has come for kStallMs while the graph is meant to play; a camera that cannot be started
// at all is lost from the start. The running recordings are then finished (files complete,
// information files written), a caption says so over the picture, and the same camera and
// format are started again after pauses of 1, 2, 4 ... at most 30 seconds, or at once when the
// device monitor sees a camera plugged in. A network camera is looked at anew for each attempt,
// and the attempt goes on when that look answers. An attempt's graph is given kStallMs for its
// first picture: the camera is back only when pictures come again. A file camera whose file is
// moved away or deleted is lost too (it would otherwise go on reading the open file). When the
// camera delivers again, detection starts afresh with the same zones.

#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "alarms/AlarmSettings.h"
#include "capture/CaptureDeviceMatch.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "capture/VideoDeviceMonitor.h"
#include "controller/CameraManager.h"
#include "controller/CameraPicture.h"
#include "localisation/UiText.h"
#include "notifications/NotificationEvent.h"
#include "platform/Diagnostics.h"
#include "recording/PreEventRing.h"

namespace {

// How often the watch looks at the camera, and how often at a file camera's file.
constexpr int kWatchIntervalMs = 250;
constexpr int64_t kFileCheckIntervalMs = 1000;

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Whether the pipeline has been told to play (a stopped graph delivers nothing on purpose). A
// graph that never got there, its first picture failing, counts as playing.
bool GraphPlays(GstElement* pipeline) {
    if (pipeline == nullptr) {
        return false;
    }
    GST_OBJECT_LOCK(pipeline);
    const bool plays = GST_STATE_TARGET(pipeline) == GST_STATE_PLAYING;
    GST_OBJECT_UNLOCK(pipeline);
    return plays;
}

}  // namespace

void TCameraManager::StartCameraWatch() {
    FLastFrameMs = SteadyMs();
    FCameraLost = false;
    FAwaitingProbe = false;
    FAttemptRunning = false;
    FCameraWatched = true;
    FNextFileCheckMs = 0;
    if (!FDeviceMonitor) {
        FDeviceMonitor = std::make_unique<TVideoDeviceMonitor>();
    }
    if (!FCameraWatchTimer) {
        FCameraWatchTimer = new QTimer(this);
        connect(FCameraWatchTimer, &QTimer::timeout, this, [this] { WatchCamera(); });
    }
    FCameraWatchTimer->start(kWatchIntervalMs);
}

void TCameraManager::StopCameraWatch() {
    FCameraWatched = false;
    FCameraLost = false;
    FAwaitingProbe = false;
    FAttemptRunning = false;
    if (FCameraWatchTimer) {
        FCameraWatchTimer->stop();
    }
    ShowCameraLostCaption(false);
}

void TCameraManager::WatchCamera() {
    try {
        if (!FCameraWatched || !FFrameGrabCaptureGraph) {
            return;
        }
        const int64_t now = SteadyMs();
        const bool plugged = FDeviceMonitor && !FDeviceMonitor->TakeChanges().Added.empty();
        if (FAttemptRunning) {
            // A camera is back when pictures come again, not when its graph is built.
            if (FLastFrameMs.load() >= FAttemptStartMs) {
                OnCameraDelivers();
            } else if (FStreamEnded.exchange(false) || now - FAttemptStartMs > kStallMs) {
                FAttemptRunning = false;
                // Stopped without the lock: stopping waits for the streaming thread.
                FFrameGrabCaptureGraph->Stop();
                if (!FCameraLost) {
                    OnCameraLost("no picture came");
                } else {
                    ScheduleNextAttempt();
                }
            }
            return;
        }
        if (FAwaitingProbe) {
            if (!FFrameGrabCaptureGraph->NetworkProbePending(FCameraIndex)) {
                TryReconnect(false);
            }
            return;
        }
        if (!FCameraLost) {
            // Every failure of the stream after the start counts, also one before the first
            // picture; a stall only while the graph is meant to play.
            if (FStreamEnded.exchange(false)) {
                OnCameraLost("its stream ended");
            } else if (now - FLastFrameMs > kStallMs &&
                       GraphPlays(FFrameGrabCaptureGraph->MediaControl())) {
                OnCameraLost("no frame for 5 seconds");
            } else if (CameraFileGone(now)) {
                OnCameraLost("its file is gone");
            }
            return;
        }
        if (plugged) {
            LogMessageFmt(
                "TCameraManager.WatchCamera - a camera was plugged in; trying camera %d at once.",
                FCameraIndex);
            TryReconnect(true);
        } else if (now >= FNextReconnectMs) {
            TryReconnect(true);
        }
    } catch (...) {
        LogMessage("Error in TCameraManager.WatchCamera call...");
    }
}

// Whether the watched camera is a file camera whose file is no longer there. Looked at once a
// second: a file moved away keeps playing from the open file until the loop reopens it.
bool TCameraManager::CameraFileGone(int64_t NowMs) {
    if (NowMs < FNextFileCheckMs) {
        return false;
    }
    FNextFileCheckMs = NowMs + kFileCheckIntervalMs;
    const std::string* displayName = nullptr;
    const std::string* path = nullptr;
    if (FAILED(FFrameGrabCaptureGraph->GetSupportedDeviceDisplayName(FCameraIndex, displayName)) ||
        FAILED(FFrameGrabCaptureGraph->GetSupportedDeviceDevicePath(FCameraIndex, path)) ||
        !IsFileCameraDisplayName(*displayName) || path->empty()) {
        return false;
    }
    std::error_code error;
    return !std::filesystem::exists(*path, error) && !error;
}

void TCameraManager::OnCameraLost(const char* Reason) {
    LogMessageFmt("Error in TCameraManager.WatchCamera - camera %d lost (%s); reconnecting.",
                  FCameraIndex, Reason);
    FCameraLost = true;
    FAwaitingProbe = false;
    FAttemptRunning = false;
    FReconnectPauseS = 1;
    FNextReconnectMs = SteadyMs() + 1000;
    // Stopped without the lock: stopping waits for the streaming thread.
    FFrameGrabCaptureGraph->Stop();
    {
        std::lock_guard<std::mutex> guard(FLock);
        StopWMEncoderGraph(1);
        StopWMEncoderGraph(0);
        // Frames from before the loss never open a recording made after it.
        FPreEventRing.reset();
        // The continually running recording goes on in a new file with the first frame of the
        // camera that is back.
        FConstantResumePending = FAlarmSettings && FAlarmSettings->UseConstantVideoLogger();
    }
    ShowCameraLostCaption(true);
    Publish(TNotificationEvent("camera_lost", Now()).Add("reason", Reason));
    if (FCameraLostCallback) {
        FCameraLostCallback();
    }
}

void TCameraManager::ScheduleNextAttempt() {
    FReconnectPauseS = std::min(FReconnectPauseS * 2, kMaxReconnectPauseS);
    FNextReconnectMs = SteadyMs() + FReconnectPauseS * 1000LL;
}

void TCameraManager::TryReconnect(bool Fresh) {
    FAwaitingProbe = false;
    if (Fresh) {
        // A network camera is looked at anew: its server may be back.
        FFrameGrabCaptureGraph->ProbeDeviceAgain(FCameraIndex);
    }
    // A camera that never started at all gets its stored format and zones now; a camera that
    // was lost keeps what it had. Only the first attempt says why it failed.
    switch (BuildCameraGraph(!FCameraLost)) {
        case TCameraStart::Built:
            AwaitFirstPicture();
            return;
        case TCameraStart::Waiting:
            FAwaitingProbe = true;
            return;
        case TCameraStart::Failed:
            if (!FCameraLost) {
                OnCameraLost("it cannot be started");
            } else {
                ScheduleNextAttempt();
            }
            return;
    }
}

void TCameraManager::AwaitFirstPicture() {
    FAttemptStartMs = SteadyMs();
    FAttemptRunning = true;
    FFrameGrabCaptureGraph->Play();
    if (!FCameraLost && FAlarmSettings->UseConstantVideoLogger()) {
        std::lock_guard<std::mutex> guard(FLock);
        if (FConstantVideoLoggerThread == nullptr) {
            StartWMEncoderGraph(0);
        }
    }
}

void TCameraManager::FollowCameraChange(bool Started) {
    if (!FCameraWatched) {
        return;
    }
    FAwaitingProbe = false;
    FAttemptRunning = false;
    if (Started) {
        FAttemptStartMs = SteadyMs();
        FAttemptRunning = true;
    } else if (FFrameGrabCaptureGraph->NetworkProbePending(FCameraIndex)) {
        FAwaitingProbe = true;
    }
}

void TCameraManager::OnCameraDelivers() {
    FAttemptRunning = false;
    const bool wasLost = FCameraLost;
    FCameraLost = false;
    FLastFrameMs = SteadyMs();
    if (wasLost) {
        LogMessageFmt("TCameraManager.WatchCamera - camera %d is back.", FCameraIndex);
        ShowCameraLostCaption(false);
        Publish(TNotificationEvent("camera_back", Now()));
        // Detection starts afresh on the new pictures (a learning mode learns again); the zones
        // stay as they are.
        OnResetAlarmsClick();
    }
    if (FCameraDeliversCallback) {
        FCameraDeliversCallback();
    }
}

void TCameraManager::ShowCameraLostCaption(bool Show) {
    if (!Show) {
        delete FCameraLostCaption.data();
        FCameraLostCaption = nullptr;
        return;
    }
    if (FCameraLostCaption || !FFrameScrollBox) {
        return;
    }
    auto* caption = new QLabel(UiText(txtCameraLost), FFrameScrollBox);
    caption->setObjectName("CameraLostCaption");
    caption->setAlignment(Qt::AlignCenter);
    caption->setStyleSheet(
        "QLabel { color: white; background-color: rgba(0, 0, 0, 160); padding: 6px; }");
    caption->adjustSize();
    caption->move((FFrameScrollBox->width() - caption->width()) / 2,
                  (FFrameScrollBox->height() - caption->height()) / 2);
    caption->show();
    caption->raise();
    FCameraLostCaption = caption;
}
