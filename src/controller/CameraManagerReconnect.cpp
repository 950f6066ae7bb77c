// Camera loss and reconnection. A camera is lost when its graph reports the end of its stream or
// a failure (an unplugged camera, a device that stops, a file that cannot be read), or when no
// frame has come for kStallMs while the graph plays. The running recordings are then finished
// (files complete, information files written), a caption says so over the picture, and the same
// camera and format are started again after pauses of 1, 2, 4 ... at most 30 seconds. When the
// camera delivers again, detection starts afresh with the same zones.

#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <chrono>

#include "alarms/AlarmSettings.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "controller/CameraManager.h"
#include "controller/CameraPicture.h"
#include "localisation/UiText.h"
#include "shell/Diagnostics.h"

namespace {

// How often the watch looks at the camera.
constexpr int kWatchIntervalMs = 250;

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Whether the pipeline is playing or on its way there (a stopped graph delivers nothing on
// purpose).
bool GraphPlays(GstElement* pipeline) {
    if (pipeline == nullptr) {
        return false;
    }
    GST_OBJECT_LOCK(pipeline);
    const bool plays =
        GST_STATE(pipeline) == GST_STATE_PLAYING && GST_STATE_TARGET(pipeline) == GST_STATE_PLAYING;
    GST_OBJECT_UNLOCK(pipeline);
    return plays;
}

}  // namespace

void TCameraManager::StartCameraWatch() {
    FLastFrameMs = SteadyMs();
    FStreamEnded = false;
    FCameraLost = false;
    FCameraWatched = true;
    if (!FCameraWatchTimer) {
        FCameraWatchTimer = new QTimer(this);
        connect(FCameraWatchTimer, &QTimer::timeout, this, [this] { WatchCamera(); });
    }
    FCameraWatchTimer->start(kWatchIntervalMs);
}

void TCameraManager::StopCameraWatch() {
    FCameraWatched = false;
    FCameraLost = false;
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
        if (!FCameraLost) {
            if (FStreamEnded.exchange(false)) {
                OnCameraLost("its stream ended");
            } else if (now - FLastFrameMs > kStallMs &&
                       GraphPlays(FFrameGrabCaptureGraph->MediaControl())) {
                OnCameraLost("no frame for 5 seconds");
            }
            return;
        }
        if (now >= FNextReconnectMs) {
            TryReconnect();
        }
    } catch (...) {
        LogMessage("Error in TCameraManager.WatchCamera call...");
    }
}

void TCameraManager::OnCameraLost(const char* Reason) {
    LogMessageFmt("Error in TCameraManager.WatchCamera - camera %d lost (%s); reconnecting.",
                  FCameraIndex, Reason);
    FCameraLost = true;
    FReconnectPauseS = 1;
    FNextReconnectMs = SteadyMs() + 1000;
    // Stopped without the lock: stopping waits for the streaming thread.
    FFrameGrabCaptureGraph->Stop();
    {
        std::lock_guard<std::mutex> guard(FLock);
        StopWMEncoderGraph(1);
        StopWMEncoderGraph(0);
        // The continually running recording goes on in a new file with the first frame of the
        // camera that is back.
        FConstantResumePending = FAlarmSettings && FAlarmSettings->UseConstantVideoLogger();
    }
    ShowCameraLostCaption(true);
    if (FCameraLostCallback) {
        FCameraLostCallback();
    }
}

void TCameraManager::TryReconnect() {
    FStreamEnded = false;
    if (!ReInitializeCameraAndFormat(FCameraIndex, FFormatIndex)) {
        FReconnectPauseS = std::min(FReconnectPauseS * 2, kMaxReconnectPauseS);
        FNextReconnectMs = SteadyMs() + FReconnectPauseS * 1000LL;
        return;
    }
    FCameraLost = false;
    FLastFrameMs = SteadyMs();
    LogMessageFmt("TCameraManager.WatchCamera - camera %d is back.", FCameraIndex);
    ShowCameraLostCaption(false);
    // Detection starts afresh on the new pictures (a learning mode learns again); the zones
    // stay as they are.
    OnResetAlarmsClick();
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
