// The playback engine's layout: panels, captions, check boxes and video widgets in the grid,
// and the level meters beside them.

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
