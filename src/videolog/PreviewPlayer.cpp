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
#include "shell/Diagnostics.h"
#include "videolog/PreviewGrid.h"
#include "videolog/PreviewVideoWidget.h"
#include "videolog/TrackBar.h"
#include "videolog/VUMeter.h"

namespace {

bool Succeeded(HRESULT hr) { return hr >= 0; }

// "0x0041 (dec: 65)": the identifier as at least four upper-case hex digits and in decimal.
std::string PidText(uint32_t Pid) {
    char text[48];
    std::snprintf(text, sizeof text, "0x%.4X (dec: %u)", Pid, Pid);
    return text;
}

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

HRESULT TPreviewPlayer::ClearPreviewWindows() {
    try {
        for (uint32_t i = 0; i < MaxWindows; ++i) {
            delete FVideoWidget[i].data();
            delete FPanel[i].data();
            delete FPanelLabel[i].data();
            delete FPanelCheckBox[i].data();
            FVideoWidget[i] = nullptr;
            FPanel[i] = nullptr;
            FPanelLabel[i] = nullptr;
            FPanelCheckBox[i] = nullptr;
        }
        FPanelsCount = 0;
        return S_OK;
    } catch (...) {
        OutputDebugString("gkt: Error in TPreviewPlayer.ClearPreviewWindows call...");
        return E_FAIL;
    }
}

HRESULT TPreviewPlayer::ConstructPreviewWindows(uint32_t Count) {
    try {
        if (Count == FPanelsCount) {
            return S_OK;
        }
        const HRESULT cleared = ClearPreviewWindows();
        if (!Succeeded(cleared)) {
            OutputDebugString(
                "gkt: Error in TPlexavoForm.ConstructPreviewWindows - unable to clear preview "
                "windows.");
            FPanelsCount = 0;
            return cleared;
        }
        if (!FpnPreview) {
            return E_FAIL;
        }
        FPanelsCount = std::min<uint32_t>(Count, MaxWindows);
        for (uint32_t i = 0; i < FPanelsCount; ++i) {
            auto* panel = new QWidget(FpnPreview);
            panel->setObjectName(QString("pnVideo%1").arg(i));
            panel->setAutoFillBackground(true);
            QPalette black = panel->palette();
            black.setColor(QPalette::Window, Qt::black);
            panel->setPalette(black);
            FPanel[i] = panel;

            auto* label = new QLabel(FpnPreview);
            label->setObjectName(QString("lbProgram%1").arg(i));
            label->setAlignment(Qt::AlignCenter);
            label->setAutoFillBackground(true);
            QPalette caption = label->palette();
            caption.setColor(QPalette::Window, Qt::black);
            caption.setColor(QPalette::WindowText, Qt::white);
            label->setPalette(caption);
            label->setStyleSheet("QLabel { background-color: black; color: white; }");
            QFont font("Arial");
            font.setPointSize(std::max(1, FPreviewFontSize));
            label->setFont(font);
            FPanelLabel[i] = label;

            auto* box = new QCheckBox(FpnPreview);
            box->setObjectName(QString("cbAudio%1").arg(i));
            box->resize(20, 20);
            box->setProperty("Tag", i);
            connect(box, &QCheckBox::clicked, this, [this, box] { VolumeCheckBoxClick(box); });
            FPanelCheckBox[i] = box;
        }
        return S_OK;
    } catch (...) {
        OutputDebugString("gkt: Error in TPreviewPlayer.ConstructPreviewWindows call...");
        return E_FAIL;
    }
}

HRESULT TPreviewPlayer::PositionPreviewPanels(uint32_t Count) {
    try {
        if (!FpnPreview) {
            return E_FAIL;
        }
        Count = std::min<uint32_t>({Count, FPanelsCount, MaxWindows});
        const bool meters = FShowVUMeter == svmTrue;
        const bool labels = FShowPanelLabel == splTrue;
        for (uint32_t i = 0; i < Count; ++i) {
            const TPreviewCell cell =
                PreviewCellFor(static_cast<int32_t>(i), static_cast<int32_t>(Count),
                               FpnPreview->width(), FpnPreview->height(), meters, labels);
            QWidget* panel = FPanel[i];
            if (panel == nullptr) {
                continue;
            }
            panel->setGeometry(cell.Left, cell.Top, cell.Width, cell.Height);
            panel->show();
            if (labels && FPanelLabel[i]) {
                QLabel* label = FPanelLabel[i];
                label->setGeometry(cell.Left, cell.Top + cell.Height, cell.Width,
                                   PreviewCaptionHeight);
                if (FDSPlexavo) {
                    TPlaybackVideoWindow* window = nullptr;
                    if (!Succeeded(FDSPlexavo->GetVideoWindow(i, window, FVideoProgID[i],
                                                              FVideoPID[i]))) {
                        LogMessage(
                            "gkt: Error in TPreviewPlayer.PositionPreviewPanels - cannot "
                            "retrieve video window.");
                        return E_FAIL;
                    }
                }
                label->setText(QString("PROG: %1").arg(FVideoProgID[i]));
                label->show();
            }
            if (FShowCheckBox == scbTrue && FPanelCheckBox[i]) {
                QWidget* anchor = FPanelLabel[i] ? static_cast<QWidget*>(FPanelLabel[i]) : panel;
                FPanelCheckBox[i]->move(anchor->geometry().right() + 1 + 2,
                                        anchor->geometry().top());
                FPanelCheckBox[i]->show();
                FPanelCheckBox[i]->raise();
            }
        }
        return S_OK;
    } catch (...) {
        OutputDebugString("gkt: Error in TPreviewPlayer.PositionPreviewPanels call...");
        return E_FAIL;
    }
}

HRESULT TPreviewPlayer::PositionPreviewWindows(uint32_t Count) {
    try {
        if (!FDSPlexavo) {
            return E_FAIL;
        }
        RefreshVideoWindowInfo();
        Count = std::min<uint32_t>({Count, FPanelsCount, MaxWindows});
        for (uint32_t i = 0; i < Count; ++i) {
            TPlaybackVideoWindow* window = nullptr;
            uint32_t program = 0;
            uint32_t pid = 0;
            if (!Succeeded(FDSPlexavo->GetVideoWindow(i, window, program, pid)) ||
                window == nullptr) {
                LogMessage(
                    "gkt: Error in TPreviewPlayer.LoadFile - cannot retrieve video windows "
                    "count.");
                return E_FAIL;
            }
            QWidget* panel = FPanel[i];
            if (panel == nullptr) {
                continue;
            }
            if (!FVideoWidget[i]) {
                auto* video = new TPreviewVideoWidget(panel);
                video->setObjectName(QString("VideoWindow%1").arg(i));
                FVideoWidget[i] = video;
                window->SetFrameCallback(video->FrameCallback());
            }
            FVideoWidget[i]->setGeometry(0, 0, panel->width(), panel->height());
            FVideoWidget[i]->show();
            window->SetWindowSize(panel->width(), panel->height());
        }
        return S_OK;
    } catch (...) {
        LogMessage("gkt: Error in TPreviewPlayer.PositionPreviewWindows call...");
        return E_FAIL;
    }
}

void TPreviewPlayer::RefreshVideoWindowInfo() {
    if (FVideoWindowInfoRefreshed || !FDSPlexavo) {
        return;
    }
    try {
        uint32_t count = 0;
        if (!Succeeded(FDSPlexavo->GetVideoWindowsCount(count))) {
            return;
        }
        count = std::min<uint32_t>(count, MaxWindows);
        for (uint32_t i = 0; i < count; ++i) {
            TPlaybackVideoWindow* window = nullptr;
            uint32_t program = 0;
            uint32_t pid = 0;
            if (!Succeeded(FDSPlexavo->GetVideoWindow(i, window, program, pid)) ||
                window == nullptr) {
                LogMessage(
                    "gkt: Error in TPreviewPlayer.RefreshVideoWindowInfo - cannot retrieve "
                    "IVideoWindow interface.");
                return;
            }
            if (!DescribeVideoWindow(*window, FVideoWindowInfo[i])) {
                return;
            }
        }
        FVideoWindowInfoRefreshed = true;
    } catch (...) {
        LogMessage("Error in TPreviewPlayer.RefreshVideoWindowInfo call...");
    }
}

bool TPreviewPlayer::PositionVUGroups(uint32_t Count) {
    try {
        if (FShowVUMeter != svmTrue) {
            return false;
        }
        for (uint32_t group = 0; group < MaxWindows; ++group) {
            FreeVUMeters(group);
        }
        bool any = false;
        Count = std::min<uint32_t>({Count, FPanelsCount, MaxWindows});
        for (uint32_t i = 0; i < Count; ++i) {
            if (!FPanel[i]) {
                continue;
            }
            const QRect panel = FPanel[i]->geometry();
            any = PositionVUMeters(i, panel.left() + panel.width(), panel.top(),
                                   panel.height()) ||
                  any;
        }
        return any;
    } catch (...) {
        LogMessage("pmr: Error in TPreviewPlayer.PositionVUGroups call...");
        return false;
    }
}

bool TPreviewPlayer::PositionVUMeters(uint32_t Group, int Left, int Top, int Height) {
    try {
        if (Group >= MaxWindows || !FDSPlexavo || !FpnPreview) {
            return false;
        }
        FPCMVolumeControlGroup[Group].clear();
        FPCMVolumeControlCount[Group] = 0;
        FTotalChannels[Group] = 0;
        const uint32_t program = FVideoProgID[Group];
        uint32_t count = 0;
        if (!GetPCMVolumeControlsCount(count)) {
            LogMessage(
                "pmr: Error in TPreviewPlayer.PositionVUMeters - could not get "
                "PCMVolumeControlCount.");
            return false;
        }
        uint32_t total = 0;
        for (uint32_t k = 0; k < count; ++k) {
            if (!GetPCMVolumeControlInterface(k, FPCMVolumeControl) ||
                FPCMVolumeControl == nullptr) {
                LogMessage(
                    "pmr: Error in TPreviewPlayer.PositionVUMeters - could not get "
                    "PCMVolumeControlInterface.");
                break;
            }
            uint32_t streamProgram = 0;
            if (!Succeeded(FPCMVolumeControl->GetProgramID(streamProgram))) {
                LogMessage(
                    "pmr: Error in TPreviewPlayer.PositionVUMeters - could not get ProgramID.");
                break;
            }
            if (streamProgram != program) {
                continue;
            }
            uint32_t channels = 0;
            FPCMVolumeControl->GetChannelsCount(channels);
            // A group holds 16 volume objects; further streams of the program stay unmetered.
            if (FPCMVolumeControlGroup[Group].size() >= MaxGroupMeters) {
                continue;
            }
            FPCMVolumeControlGroup[Group].push_back(FPCMVolumeControl);
            total += channels;
        }
        FPCMVolumeControlCount[Group] =
            static_cast<uint32_t>(FPCMVolumeControlGroup[Group].size());
        total = std::min<uint32_t>(total, MaxChannels);
        FTotalChannels[Group] = total;
        const int rows = static_cast<int>((total + 1) / 2);
        if (rows == 0) {
            return false;
        }
        const int meterHeight = std::max(1, (Height - 2 * rows + 2) / rows);
        FVUMeter[Group].assign(total, nullptr);
        for (uint32_t ch = 0; ch < total; ++ch) {
            auto* meter = new TVUMeter(FpnPreview);
            meter->setObjectName(QString("VU_gr%1_ch%2")
                                     .arg(Group, 2, 10, QChar('0'))
                                     .arg(ch, 2, 10, QChar('0')));
            // Each property on its own: one that cannot be set leaves the others.
            try { meter->resize(5, meterHeight); } catch (...) {}
            try { meter->SetOrientation(trVertical); } catch (...) {}
            try { meter->SetShowGrids(false); } catch (...) {}
            try { meter->SetShowZeroLine(true); } catch (...) {}
            try { meter->SetTextVisible(false); } catch (...) {}
            try { meter->SetBarSize(1); } catch (...) {}
            try { meter->SetGradient(true); } catch (...) {}
            try { meter->SetVolume(-120); } catch (...) {}
            const int x = Left + ((ch % 2 == 0) ? 2 : 9);
            const int y = Top + (rows - static_cast<int>(ch / 2) - 1) * (meterHeight + 2);
            meter->move(x, y);
            meter->show();
            FVUMeter[Group][ch] = meter;
        }
        return true;
    } catch (...) {
        LogMessage("pmr: Error in TPreviewPlayer.PositionVUMeters call...");
        return false;
    }
}

bool TPreviewPlayer::FreeVUMeters(uint32_t Group) {
    try {
        if (Group >= MaxWindows) {
            return false;
        }
        for (QPointer<TVUMeter>& meter : FVUMeter[Group]) {
            delete meter.data();
        }
        FVUMeter[Group].clear();
        return true;
    } catch (...) {
        LogMessage("pmr: Error in TPreviewPlayer.FreeVUMeters call...");
        return false;
    }
}

bool TPreviewPlayer::RefreshGUI() {
    try {
        if (!FDSPlexavo) {
            return true;
        }
        uint32_t count = 0;
        if (!Succeeded(FDSPlexavo->GetVideoWindowsCount(count))) {
            LogMessage(
                "gkt: Error in TPreviewPlayer.RefreshGUI - cannot retrieve video windows count.");
            return false;
        }
        if (count == 0) {
            return true;
        }
        count = std::min<uint32_t>(count, MaxWindows);
        if (!Succeeded(ConstructPreviewWindows(count))) {
            LogMessage(
                "gkt: Error in TPreviewPlayer.RefreshGUI - cannot construct preview windows.");
            return false;
        }
        if (!Succeeded(PositionPreviewPanels(count))) {
            LogMessage(
                "gkt: Error in TPreviewPlayer.RefreshGUI - cannot position preview panels.");
            return false;
        }
        if (!Succeeded(PositionPreviewWindows(count))) {
            LogMessage(
                "gkt: Error in TPreviewPlayer.RefreshGUI - cannot position preview windows.");
            return false;
        }
        // Meters are rebuilt only for files that have audio; a silent file has none to place.
        if (!PositionVUGroups(count) && HasAudio()) {
            LogMessage("pmr: Error in TPreviewPlayer.RefreshGUI - cannot position VU groups.");
            return false;
        }
        return true;
    } catch (...) {
        LogMessage("pmr: Error in TPreviewPlayer.RefreshGUI call...");
        return false;
    }
}

void TPreviewPlayer::SetPreviewFontSize(int32_t Size) {
    try {
        FPreviewFontSize = Size;
        for (uint32_t i = 0; i < MaxWindows; ++i) {
            if (FPanelLabel[i]) {
                QFont font = FPanelLabel[i]->font();
                font.setPointSize(std::max(1, Size));
                FPanelLabel[i]->setFont(font);
            }
        }
    } catch (...) {
        LogMessage("Error in TPreviewPlayer.SetPreviewFontSize call...");
    }
}

void TPreviewPlayer::SetCheckBoxQuietly(uint32_t Index, bool Checked) {
    if (Index >= MaxWindows || !FPanelCheckBox[Index]) {
        return;
    }
    const bool inner = FInnerChange;
    FInnerChange = true;
    FPanelCheckBox[Index]->setChecked(Checked);
    FInnerChange = inner;
}

void TPreviewPlayer::SetSingleProgramAudio(bool Value) {
    FSingleProgramAudio = Value;
    if (!Value) {
        return;
    }
    for (uint32_t i = 0; i < FPanelsCount; ++i) {
        EnablePreviewProgramVolume(i, i == 0);
        SetCheckBoxQuietly(i, i == 0);
    }
}

bool TPreviewPlayer::EnablePreviewProgramVolume(uint32_t Index, bool Enable) {
    try {
        if (Index >= FPanelsCount || Index >= MaxWindows || !FPanelCheckBox[Index]) {
            return false;
        }
        for (TPCMVolumeControl* control : FPCMVolumeControlGroup[Index]) {
            if (control != nullptr) {
                control->SetVolume(Enable ? 1.0 : 0.0);
            }
        }
        return true;
    } catch (...) {
        LogMessage("Error in TPreviewPlayer.EnablePreviewProgramVolume call...");
        return false;
    }
}

void TPreviewPlayer::VolumeCheckBoxClick(QCheckBox* Box) {
    try {
        if (FInnerChange || Box == nullptr) {
            return;
        }
        const uint32_t index = Box->property("Tag").toUInt();
        if (FSingleProgramAudio) {
            for (uint32_t i = 0; i < FPanelsCount; ++i) {
                EnablePreviewProgramVolume(i, false);
                if (i != index) {
                    SetCheckBoxQuietly(i, false);
                }
            }
        }
        EnablePreviewProgramVolume(index, Box->isChecked());
    } catch (...) {
        LogMessage("gkt: Error in TPreviewPlayer.VolumeCheckBoxClick call...");
    }
}

void TPreviewPlayer::SetVUMeterVolume(uint32_t Group, uint32_t Meter, double Level) {
    if (Group < MaxWindows && Meter < FVUMeter[Group].size() && FVUMeter[Group][Meter]) {
        FVUMeter[Group][Meter]->SetVolume(Level);
    }
}

bool TPreviewPlayer::GetPCMVolumeControlsCount(uint32_t& Count) {
    try {
        return FDSPlexavo && FDSPlexavo->GetPCMVolumeControlsCount(Count) == S_OK;
    } catch (...) {
        LogMessage("pmr: Error in TPreviewPlayer.GetPCMVolumeControlsCount call...");
        return false;
    }
}

bool TPreviewPlayer::GetPCMVolumeControlInterface(uint32_t Index, TPCMVolumeControl*& Control) {
    try {
        uint32_t unused = 0;
        uint32_t pid = 0;
        return FDSPlexavo &&
               FDSPlexavo->GetPCMVolumeControlInterface(Index, Control, unused, pid) == S_OK;
    } catch (...) {
        LogMessage("pmr: Error in TPreviewPlayer.GetPCMVolumeControlInterface call...");
        return false;
    }
}

bool TPreviewPlayer::HasAudio() {
    uint32_t count = 0;
    return GetPCMVolumeControlsCount(count) && count > 0;
}

std::string TPreviewPlayer::GetPIDInfoText() {
    try {
        uint32_t count = 0;
        if (!GetPCMVolumeControlsCount(count)) {
            LogMessage(
                "Error in TPreviewPlayer.GetPIDInfoText - could not get PCMVolumeControlCount.");
            return {};
        }
        std::string text;
        for (uint32_t i = 0; i < FPanelsCount; ++i) {
            text += "Program : " + std::to_string(FVideoProgID[i]) + "\r\n";
            text += "  Video PID : " + PidText(FVideoPID[i]) + "\r\n";
            for (uint32_t k = 0; k < count; ++k) {
                TPCMVolumeControl* control = nullptr;
                uint32_t unused = 0;
                uint32_t audioPid = 0;
                if (FDSPlexavo->GetPCMVolumeControlInterface(k, control, unused, audioPid) !=
                        S_OK ||
                    control == nullptr) {
                    LogMessage(
                        "Error in TPreviewPlayer.GetPIDInfoText - could not get "
                        "PCMVolumeControlInterface.");
                    break;
                }
                uint32_t program = 0;
                if (!Succeeded(control->GetProgramID(program))) {
                    LogMessage("Error in TPreviewPlayer.GetPIDInfoText - could not get ProgramID.");
                    break;
                }
                if (program == FVideoProgID[i]) {
                    text += "  Audio PID : " + PidText(audioPid) + "\r\n";
                }
            }
        }
        return text;
    } catch (...) {
        LogMessage("Error in TPreviewPlayer.GetPIDInfoText call...");
        return {};
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

// ---- transport -------------------------------------------------------------------------

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

void TPreviewPlayer::TimerVUTimer() {
    try {
        if (!FFileLoaded || !FDSPlexavo) {
            return;
        }
        for (uint32_t group = 0; group < FPanelsCount; ++group) {
            uint32_t meter = 0;
            for (TPCMVolumeControl* control : FPCMVolumeControlGroup[group]) {
                uint32_t channels = 0;
                control->GetChannelsCount(channels);
                for (uint32_t c = 0; c < channels && meter < FVUMeter[group].size(); ++c) {
                    double level = -120;
                    double second = 0;
                    control->GetChannelLevel(c, level, second);
                    SetVUMeterVolume(group, meter, level);
                    ++meter;
                }
            }
        }
    } catch (...) {
        LogMessage("pmr: Error in TPreviewPlayer.TimerVUTimer call...");
    }
}

void TPreviewPlayer::SetAllVUMetersVolume(double Level) {
    try {
        if (FPCMVolumeControl == nullptr) {
            TraceMessage("pmr: TPreviewPlayer.SetAllVUMetersVolume - no volume controls.");
            return;
        }
        for (uint32_t group = 0; group < MaxWindows; ++group) {
            for (uint32_t meter = 0; meter < FVUMeter[group].size(); ++meter) {
                SetVUMeterVolume(group, meter, Level);
            }
        }
    } catch (...) {
        LogMessage("pmr: Error in TPreviewPlayer.SetAllVUMetersVolume call...");
    }
}
