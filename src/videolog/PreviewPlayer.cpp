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


TPreviewPlayer::TPreviewPlayer(QObject* parent) : QObject(parent) {
    try {
        FSingleProgramAudio = true;
        FPreviewFontSize = 12;
        FStayInPauseMode = false;
    } catch (...) {
        LogMessage("Error in TPreviewPlayer.Create call...");
    }
}

TPreviewPlayer::~TPreviewPlayer() {
    try {
        if (FFileLoaded) {
            UnloadFile();
        }
        StopTimers();
        ClearPreviewWindows();
        for (uint32_t group = 0; group < MaxWindows; ++group) {
            FreeVUMeters(group);
        }
        FDSPlexavo.reset();
        FPreferredFiltersList.clear();
    } catch (...) {
        LogMessage("Error in TPreviewPlayer.Create call...");
    }
}

bool TPreviewPlayer::PreviewInitialize(QWidget* pnPreview, QWidget* btnPlay, QWidget* btnStop,
                                       QWidget* btnPause, QWidget* btnFrameForward,
                                       QWidget* btnFrameBackward, TVNTTrackBar* tbPosition) {
    try {
        QAbstractButton* buttons[5];
        QWidget* given[5] = {btnPlay, btnStop, btnPause, btnFrameForward, btnFrameBackward};
        for (int i = 0; i < 5; ++i) {
            buttons[i] = qobject_cast<QAbstractButton*>(given[i]);
            if (buttons[i] == nullptr) {
                return false;
            }
        }
        FpnPreview = pnPreview;
        connect(buttons[0], &QAbstractButton::clicked, this, [this] { btnPlayClick(); });
        connect(buttons[1], &QAbstractButton::clicked, this, [this] { btnStopClick(); });
        connect(buttons[2], &QAbstractButton::clicked, this, [this] { btnPauseClick(); });
        connect(buttons[3], &QAbstractButton::clicked, this, [this] { btnFrameForwardClick(); });
        connect(buttons[4], &QAbstractButton::clicked, this, [this] { btnFrameBackwardClick(); });
        FtbPosition = tbPosition;
        if (tbPosition != nullptr) {
            connect(tbPosition, &TVNTTrackBar::OnChange, this, [this] { tbPositionChange(); });
        }
        FShowVUMeter = svmTrue;
        FShowPanelLabel = splTrue;
        FShowCheckBox = scbTrue;
        FLoop = false;
        FFileLoaded = false;
        return true;
    } catch (...) {
        LogMessage("gkt: Error in TPreviewPlayer.PreviewInitialize call...");
        return false;
    }
}

bool TPreviewPlayer::PreviewUninitialize() {
    try {
        StopTimers();
        ClearPreviewWindows();
        for (uint32_t group = 0; group < MaxWindows; ++group) {
            FreeVUMeters(group);
        }
        FPCMVolumeControl = nullptr;
        FDSPlexavo.reset();
        return true;
    } catch (...) {
        LogMessage("gkt: Error in TPreviewPlayer.PreviewUninitialize call...");
        return false;
    }
}

void TPreviewPlayer::PumpEvents() {
    // Paints and timers go on; clicks and keys wait until the filter has answered.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
}

void TPreviewPlayer::SettleFor(int Milliseconds) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < Milliseconds) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        QThread::msleep(5);
    }
}

bool TPreviewPlayer::LoadFile(const std::string& FileName) {
    try {
        if (!UnloadFile()) {
            LogMessage("gkt: Error in TPreviewPlayer.LoadFile - cannot Unload file.");
            return false;
        }
        FDSPlexavo = std::make_unique<TPlaybackFilter>();
        if (!FDSPlexavo) {
            LogMessage("gkt: Error in TPreviewPlayer.LoadFile - cannot create CLSID_DSPlexavoIP.");
            return false;
        }
        FDSPlexavo->SetWaitPump(&TPreviewPlayer::PumpEvents);
        FVideoWindowInfoRefreshed = false;
        if (!Succeeded(FDSPlexavo->InitializeGraph())) {
            LogMessage("gkt: Error in TPreviewPlayer.LoadFile - cannot initialize graph.");
            return false;
        }
        if (!Succeeded(FDSPlexavo->SetMediaAnalysis(0, true))) {
            LogMessage("gkt: Error in TPreviewPlayer.LoadFile - cannot set media analysis.");
            return false;
        }
        for (const auto& pair : FPreferredFiltersList) {
            if (!Succeeded(FDSPlexavo->AddPreferredFilter(pair->FilterType, pair->GUID))) {
                LogMessage("gkt: Error in TPreviewPlayer.LoadFile - cannot add preferred filters.");
                return false;
            }
        }
        if (!Succeeded(FDSPlexavo->RenderFile(FileName))) {
            LogMessage("gkt: Error in TPreviewPlayer.LoadFile - cannot render " + FileName + ".");
            return false;
        }
        uint32_t count = 0;
        if (!Succeeded(FDSPlexavo->GetVideoWindowsCount(count))) {
            LogMessage(
                "gkt: Error in TPreviewPlayer.LoadFile - cannot retrieve video windows count.");
            return false;
        }
        count = std::min<uint32_t>(count, MaxWindows);
        FVideoWindowsCount = static_cast<int32_t>(count);
        if (!Succeeded(ConstructPreviewWindows(count))) {
            LogMessage(
                "gkt: Error in TPreviewPlayer.LoadFile - cannot construct preview windows.");
            return false;
        }
        if (!Succeeded(PositionPreviewPanels(count))) {
            LogMessage("gkt: Error in TPreviewPlayer.LoadFile - cannot position preview panels.");
            return false;
        }
        if (!Succeeded(PositionPreviewWindows(count))) {
            LogMessage("gkt: Error in TPreviewPlayer.LoadFile - cannot position preview windows.");
            return false;
        }
        // A file without audio has no meters; that is not a failed load (the meter step only
        // reports whether meters were made).
        if (!PositionVUGroups(count) && FShowVUMeter == svmFalse) {
            LogMessage("pmr: Error in TPreviewPlayer.LoadFile - cannot position VU groups.");
            return false;
        }
        if (!GetDuration(FMediaDuration)) {
            LogMessage(
                "gkt: Error in TPreviewPlayer.LoadFile - cannot retrieve media duration.");
            return false;
        }
        if (FtbPosition) {
            FtbPosition->SetTag(1);
            FtbPosition->SetMaxValue(static_cast<int32_t>(
                std::clamp<int64_t>(FMediaDuration / 1000, 0, INT32_MAX)));
            FtbPosition->SetRangeMax(static_cast<double>(FMediaDuration) / 10000000.0);
            FtbPosition->SetTag(0);
        }
        if (!Succeeded(FDSPlexavo->GetAvgTimePerFrame(FAvgTimePerFrame))) {
            LogMessage(
                "gkt: Error in TPreviewPlayer.LoadFile - cannot retrieve AvgTimePerFrame.");
            return false;
        }
        FTimer = std::make_unique<QTimer>();
        FTimer->setInterval(100);
        connect(FTimer.get(), &QTimer::timeout, this, [this] { Timer1Timer(); });
        FVUTimer = std::make_unique<QTimer>();
        FVUTimer->setInterval(50);
        connect(FVUTimer.get(), &QTimer::timeout, this, [this] { TimerVUTimer(); });
        FFileLoaded = true;  // the handlers below act only on a loaded file
        FTimer->start();
        for (uint32_t i = 0; i < FPanelsCount; ++i) {
            EnablePreviewProgramVolume(i, i == 0);
        }
        if (FPanelsCount > 0 && FPanelCheckBox[0]) {
            SetCheckBoxQuietly(0, true);
        }
        btnPauseClick();
        return true;
    } catch (...) {
        LogMessage("gkt: Error in TPreviewPlayer.LoadFile call...");
        FFileLoaded = false;
        return false;
    }
}

bool TPreviewPlayer::UnloadFile() {
    try {
        if (!FDSPlexavo) {
            return true;
        }
        // A filter left by a load that failed part-way holds no playable file: it cannot stop or
        // eject, and it must not keep every later load from starting, so it is simply released.
        const bool loaded = FFileLoaded;
        if (!Succeeded(FDSPlexavo->Stop()) && loaded) {
            LogMessage("gkt: Error in TPreviewPlayer.UnloadFile - cannot stop DSPlexavoIP.");
            return false;
        }
        FFileLoaded = false;
        if (!Succeeded(FDSPlexavo->EjectFile()) && loaded) {
            LogMessage("gkt: Error in TPreviewPlayer.UnloadFile - cannot eject file DSPlexavoIP.");
            return false;
        }
        StopTimers();
        for (uint32_t group = 0; group < MaxWindows; ++group) {
            FreeVUMeters(group);
            FPCMVolumeControlGroup[group].clear();
            FPCMVolumeControlCount[group] = 0;
        }
        FPCMVolumeControl = nullptr;
        FDSPlexavo.reset();
        ClearPreviewWindows();
        if (FtbPosition) {
            FtbPosition->SetTag(1);
            FtbPosition->SetMaxValue(1000);
            FtbPosition->SetRangeMax(0.5);
            FtbPosition->SetSelStart(0);
            FtbPosition->SetSelEnd(FtbPosition->MaxValue());
            FtbPosition->SetShowSelection(false);
            FtbPosition->SetPosition(0);
            FtbPosition->SetTag(0);
        }
        return true;
    } catch (...) {
        LogMessage("gkt: Error in TPreviewPlayer.UnloadFile call...");
        return false;
    }
}

void TPreviewPlayer::StopTimers() {
    if (FTimer) {
        FTimer->stop();
        FTimer.reset();
    }
    if (FVUTimer) {
        FVUTimer->stop();
        FVUTimer.reset();
    }
}

bool TPreviewPlayer::GetPosition(int64_t& Position) {
    try {
        if (!FFileLoaded) {
            return false;
        }
        if (!FDSPlexavo) {
            return true;
        }
        if (FDSPlexavo->GetPosition(Position) == S_OK) {
            return true;
        }
        LogMessage("gkt: Error in TPreviewPlayer.GetPosition - cannot get position.");
        return false;
    } catch (...) {
        LogMessage("gkt: Error in TPreviewPlayer.GetPosition call...");
        return false;
    }
}

bool TPreviewPlayer::GetDuration(int64_t& Duration) {
    try {
        // During the load the file is not yet marked loaded; the filter answers already.
        if (!FDSPlexavo) {
            return FFileLoaded;
        }
        if (FDSPlexavo->GetDuration(Duration) == S_OK) {
            return true;
        }
        LogMessage("gkt: Error in TPreviewPlayer.GetDuration - cannot get duration.");
        return false;
    } catch (...) {
        LogMessage("gkt: Error in TPreviewPlayer.GetDuration call...");
        return false;
    }
}

bool TPreviewPlayer::AddPreferredFilter(int32_t FilterType, const TGUID& FilterGUID) {
    try {
        auto pair = std::make_unique<TFilterTypeGUIDPair>();
        pair->FilterType = FilterType;
        pair->GUID = FilterGUID;
        FPreferredFiltersList.push_back(std::move(pair));
        return true;
    } catch (...) {
        LogMessage("Error in TPreviewPlayer.AddPreferredFilter call...");
        return false;
    }
}

bool TPreviewPlayer::GetPreferredFiltersCount(int32_t& Count) const {
    Count = static_cast<int32_t>(FPreferredFiltersList.size());
    return true;
}

bool TPreviewPlayer::RemovePreferredFilter(int32_t Index) {
    try {
        if (Index < 0 || Index >= static_cast<int32_t>(FPreferredFiltersList.size())) {
            LogMessage("Error in TPreviewPlayer.RemovePreferredFilter - invalid arguments.");
            return false;
        }
        FPreferredFiltersList.erase(FPreferredFiltersList.begin() + Index);
        return true;
    } catch (...) {
        LogMessage("Error in TPreviewPlayer.RemovePreferredFilter call...");
        return false;
    }
}

QWidget* TPreviewPlayer::Panel(uint32_t Index) const {
    return Index < MaxWindows ? FPanel[Index].data() : nullptr;
}
QLabel* TPreviewPlayer::PanelLabel(uint32_t Index) const {
    return Index < MaxWindows ? FPanelLabel[Index].data() : nullptr;
}
QCheckBox* TPreviewPlayer::PanelCheckBox(uint32_t Index) const {
    return Index < MaxWindows ? FPanelCheckBox[Index].data() : nullptr;
}
TPreviewVideoWidget* TPreviewPlayer::VideoWidget(uint32_t Index) const {
    return Index < MaxWindows ? FVideoWidget[Index].data() : nullptr;
}
TVUMeter* TPreviewPlayer::VUMeter(uint32_t Group, uint32_t Meter) const {
    if (Group >= MaxWindows || Meter >= FVUMeter[Group].size()) {
        return nullptr;
    }
    return FVUMeter[Group][Meter].data();
}
