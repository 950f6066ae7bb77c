// The playback engine's sound: which program is heard, the level meters' feed and the text of
// the program and stream identifiers.

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

// "0x0041 (dec: 65)": the identifier as at least four upper-case hex digits and in decimal.
std::string PidText(uint32_t Pid) {
    char text[48];
    std::snprintf(text, sizeof text, "0x%.4X (dec: %u)", Pid, Pid);
    return text;
}

}  // namespace

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
