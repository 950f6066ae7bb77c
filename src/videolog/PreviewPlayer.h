#pragma once

#include <QObject>
#include <QPointer>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/MediaType.h"
#include "videolog/PlaybackFilter.h"
#include "videolog/VideoWindowInfo.h"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QTimer;
class QWidget;
class TPreviewVideoWidget;
class TVNTTrackBar;
class TVUMeter;

enum TShowVUMeter { svmFalse, svmTrue };
enum TShowPanelLabel { splFalse, splTrue };
enum TShowPanelCheckBox { scbFalse, scbTrue };

// A preferred decoder handed to the playback filter.
class TFilterTypeGUIDPair {
public:
    int32_t FilterType = 0;
    TGUID GUID{};
};

// The playback engine: plays one media file inside a host panel through the playback filter.
// Per video window (program) it makes a black panel showing the pictures, a caption "PROG: n"
// and an audio check box, laid out in a grid; beside each panel one narrow level meter per audio
// channel of the program, fed every 50 ms while playing. It drives the host's transport buttons
// and position bar, moving the bar every 100 ms without seeking. Everything runs on the GUI
// thread; pictures arrive from the filter's streaming threads as queued calls.
class TPreviewPlayer : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxWindows = 100;
    static constexpr int MaxGroupMeters = 16;
    static constexpr int MaxChannels = 32;

    explicit TPreviewPlayer(QObject* parent = nullptr);
    ~TPreviewPlayer() override;

    bool PreviewInitialize(QWidget* pnPreview, QWidget* btnPlay, QWidget* btnStop,
                           QWidget* btnPause, QWidget* btnFrameForward, QWidget* btnFrameBackward,
                           TVNTTrackBar* tbPosition);
    bool PreviewUninitialize();
    bool LoadFile(const std::string& FileName);
    bool UnloadFile();
    bool IsFileLoaded() const { return FFileLoaded; }
    bool FileLoaded() const { return FFileLoaded; }
    bool GetPosition(int64_t& Position);
    bool GetDuration(int64_t& Duration);
    bool RefreshGUI();

    // Layout steps, public so the host can call them on resize. HRESULT-style results.
    HRESULT PositionPreviewPanels(uint32_t Count);
    HRESULT PositionPreviewWindows(uint32_t Count);
    bool PositionVUGroups(uint32_t Count);
    bool PositionVUMeters(uint32_t Group, int Left, int Top, int Height);
    bool FreeVUMeters(uint32_t Group);

    void SetLoop(bool Loop) { FLoop = Loop; }
    void SetPreviewFontSize(int32_t Size);
    int32_t PreviewFontSize() const { return FPreviewFontSize; }
    void SetSingleProgramAudio(bool Value);
    bool SingleProgramAudio() const { return FSingleProgramAudio; }
    bool EnablePreviewProgramVolume(uint32_t Index, bool Enable);
    void SetVUMeterVolume(uint32_t Group, uint32_t Meter, double Level);
    bool GetPCMVolumeControlsCount(uint32_t& Count);
    bool GetPCMVolumeControlInterface(uint32_t Index, TPCMVolumeControl*& Control);
    std::string GetPIDInfoText();
    TVideoInfo GetVideoInfo(uint32_t Index) const { return FVideoWindowInfo[Index]; }

    bool AddPreferredFilter(int32_t FilterType, const TGUID& FilterGUID);
    bool GetPreferredFiltersCount(int32_t& Count) const;
    bool RemovePreferredFilter(int32_t Index);

    TPlaybackFilter* DSPlexavo() const { return FDSPlexavo.get(); }
    TShowVUMeter ShowVUMeter() const { return FShowVUMeter; }
    void SetShowVUMeter(TShowVUMeter Value) { FShowVUMeter = Value; }
    TShowPanelLabel ShowPanelLabel() const { return FShowPanelLabel; }
    void SetShowPanelLabel(TShowPanelLabel Value) { FShowPanelLabel = Value; }
    TShowPanelCheckBox ShowCheckBox() const { return FShowCheckBox; }
    void SetShowCheckBox(TShowPanelCheckBox Value) { FShowCheckBox = Value; }
    bool StayInPauseMode() const { return FStayInPauseMode; }
    void SetStayInPauseMode(bool Value) { FStayInPauseMode = Value; }
    int32_t VideoWindowsCount() const { return FVideoWindowsCount; }
    uint32_t PanelsCount() const { return FPanelsCount; }

    // The widgets the engine made, for the host and for tests.
    QWidget* Panel(uint32_t Index) const;
    QLabel* PanelLabel(uint32_t Index) const;
    QCheckBox* PanelCheckBox(uint32_t Index) const;
    TPreviewVideoWidget* VideoWidget(uint32_t Index) const;
    TVUMeter* VUMeter(uint32_t Group, uint32_t Meter) const;
    uint32_t TotalChannels(uint32_t Group) const { return FTotalChannels[Group]; }
    // How long the frame-step handlers wait for the new picture, in ms (500 by default).
    void SetStepSettleTime(int Milliseconds) { FStepSettleTime = Milliseconds; }

    // Transport and timer handlers, public so hosts and tests can run them directly.
    void btnPlayClick();
    void btnStopClick();
    void btnPauseClick();
    void btnFrameForwardClick();
    void btnFrameBackwardClick();
    void tbPositionChange();
    void Timer1Timer();
    void TimerVUTimer();
    void VolumeCheckBoxClick(QCheckBox* Box);
    void SetAllVUMetersVolume(double Level);

private:
    HRESULT ConstructPreviewWindows(uint32_t Count);
    HRESULT ClearPreviewWindows();
    void RefreshVideoWindowInfo();
    void SetCheckBoxQuietly(uint32_t Index, bool Checked);
    void StopTimers();
    bool HasAudio();
    // Keeps the GUI painting while the filter waits for its pipeline.
    static void PumpEvents();
    // Waits Milliseconds while the GUI keeps painting.
    static void SettleFor(int Milliseconds);

    QPointer<QWidget> FpnPreview;
    QPointer<TVNTTrackBar> FtbPosition;
    std::unique_ptr<QTimer> FTimer;
    std::unique_ptr<QTimer> FVUTimer;
    std::unique_ptr<TPlaybackFilter> FDSPlexavo;
    std::array<QPointer<QWidget>, MaxWindows> FPanel{};
    std::array<QPointer<TPreviewVideoWidget>, MaxWindows> FVideoWidget{};
    uint32_t FPanelsCount = 0;
    std::array<QPointer<QLabel>, MaxWindows> FPanelLabel{};
    std::array<QPointer<QCheckBox>, MaxWindows> FPanelCheckBox{};
    std::array<uint32_t, MaxWindows> FVideoProgID{};
    std::array<uint32_t, MaxWindows> FVideoPID{};
    int64_t FMediaDuration = 0;
    int64_t FAvgTimePerFrame = 0;
    TShowVUMeter FShowVUMeter = svmTrue;
    std::array<std::vector<QPointer<TVUMeter>>, MaxWindows> FVUMeter{};
    TShowPanelLabel FShowPanelLabel = splTrue;
    TShowPanelCheckBox FShowCheckBox = scbTrue;
    TPCMVolumeControl* FPCMVolumeControl = nullptr;
    std::array<std::vector<TPCMVolumeControl*>, MaxWindows> FPCMVolumeControlGroup{};
    std::array<uint32_t, MaxWindows> FPCMVolumeControlCount{};
    std::array<uint32_t, MaxWindows> FTotalChannels{};
    bool FLoop = false;
    bool FFileLoaded = false;
    std::vector<std::unique_ptr<TFilterTypeGUIDPair>> FPreferredFiltersList;
    bool FSingleProgramAudio = true;
    bool FInnerChange = false;
    int32_t FPreviewFontSize = 12;
    bool FVideoWindowInfoRefreshed = false;
    int32_t FVideoWindowsCount = 0;
    std::array<TVideoInfo, MaxWindows> FVideoWindowInfo{};
    bool FStayInPauseMode = false;
    int FStepSettleTime = 500;
};
