// The playback engine's transport: the five buttons, the position bar and the position timer.

#include "videolog/PreviewPlayer.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>

#include "platform/DebugOutput.h"
#include "platform/Diagnostics.h"
#include "videolog/PreviewGrid.h"
#include "videolog/PreviewVideoWidget.h"
#include "videolog/TrackBar.h"
#include "videolog/VUMeter.h"

namespace {

bool Succeeded(HRESULT hr) { return hr >= 0; }

}  // namespace


void TPreviewPlayer::btnPlayClick() {
    try {
        if (!FFileLoaded || !FDSPlexavo) {
            return;
        }
        if (Succeeded(FDSPlexavo->Play())) {
            if (FVUTimer) {
                FVUTimer->start();
            }
        } else {
            LogMessage("gkt: Error in TPreviewPlayer.btnPlayClick - cannot play the file.");
        }
    } catch (...) {
        LogMessage("gkt: Error in TPreviewPlayer.btnPlayClick call...");
    }
}

void TPreviewPlayer::btnStopClick() {
    try {
        if (!FFileLoaded || !FDSPlexavo) {
            return;
        }
        if (FVUTimer) {
            FVUTimer->stop();
        }
        SetAllVUMetersVolume(-120);
        if (!Succeeded(FDSPlexavo->Stop())) {
            LogMessage("gkt: Error in TPreviewPlayer.btnStopClick - cannot stop the file.");
        }
        if (!Succeeded(FDSPlexavo->SetPosition(0))) {
            LogMessage("gkt: Error in TPreviewPlayer.btnStopClick - cannot set media position.");
        }
        if (FStayInPauseMode) {
            btnPauseClick();
        }
    } catch (...) {
        LogMessage("gkt: Error in TPreviewPlayer.btnStopClick call...");
    }
}

void TPreviewPlayer::btnPauseClick() {
    try {
        if (!FFileLoaded || !FDSPlexavo) {
            return;
        }
        if (FVUTimer) {
            FVUTimer->stop();
        }
        if (!Succeeded(FDSPlexavo->Pause())) {
            LogMessage("gkt: Error in TPreviewPlayer.btnPauseClick - cannot pause the file.");
        }
    } catch (...) {
        LogMessage("gkt: Error in TPreviewPlayer.btnPauseClick call...");
    }
}

void TPreviewPlayer::btnFrameBackwardClick() {
    try {
        if (!FFileLoaded || !FDSPlexavo) {
            return;
        }
        int64_t position = 0;
        if (!GetPosition(position)) {
            LogMessage(
                "gkt: Error in TPreviewPlayer.btnFrameBackwardClick - cannot get media "
                "position.");
            return;
        }
        position = std::max<int64_t>(0, position - FAvgTimePerFrame);
        if (!Succeeded(FDSPlexavo->SetPosition(position))) {
            LogMessage(
                "gkt: Error in TPreviewPlayer.btnFrameBackwardClick - cannot set media "
                "position.");
            return;
        }
        SettleFor(FStepSettleTime);
    } catch (...) {
        LogMessage("gkt: Error in TPreviewPlayer.btnFrameBackwardClick call...");
    }
}

void TPreviewPlayer::btnFrameForwardClick() {
    try {
        if (!FFileLoaded || !FDSPlexavo) {
            return;
        }
        if (!Succeeded(FDSPlexavo->StepFrames(1, 0))) {
            LogMessage(
                "pmr: Error in TPreviewPlayer.btnFrameForwardClick - cannot step one frame "
                "forward.");
            return;
        }
        SettleFor(FStepSettleTime);
    } catch (...) {
        LogMessage("gkt: Error in TPreviewPlayer.btnFrameForwardClick call...");
    }
}

void TPreviewPlayer::tbPositionChange() {
    try {
        if (!FtbPosition || FtbPosition->Tag() == 1 || !FDSPlexavo || !FFileLoaded) {
            return;
        }
        const int64_t position = static_cast<int64_t>(FtbPosition->Position()) * 1000;
        if (!Succeeded(FDSPlexavo->SetPosition(position))) {
            LogMessage(
                "gkt: Error in TPreviewPlayer.tbPositionChange - cannot set media position.");
        }
    } catch (...) {
        LogMessage("gkt: Error in TPreviewPlayer.tbPositionChange call...");
    }
}

void TPreviewPlayer::Timer1Timer() {
    try {
        if (!FFileLoaded || !FDSPlexavo) {
            return;
        }
        int64_t position = 0;
        if (!GetPosition(position)) {
            LogMessage("gkt: Error in TKorvelPlayerForm.TrackbarTimer - cannot get media position.");
            return;
        }
        if (FtbPosition) {
            FtbPosition->SetTag(1);
            FtbPosition->SetPosition(static_cast<int32_t>(
                std::clamp<int64_t>(position / 1000, 0, INT32_MAX)));
            FtbPosition->SetTag(0);
        }
        int64_t duration = 0;
        if (!GetDuration(duration)) {
            LogMessage("pmr: Error in TKorvelPlayerForm.TrackbarTimer - cannot get media duration.");
            return;
        }
        if (position >= duration) {
            btnStopClick();
            if (FLoop) {
                btnPlayClick();
            }
        }
    } catch (...) {
        LogMessage("gkt: Error in TPreviewPlayer.Timer1Timer call...");
    }
}
