#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "controller/CameraPicture.h"
#include "controller/PanelButton.h"
#include "detection/AdaptiveMotionDetection.h"
#include "detection/Rect.h"
#include "platform/DateTime.h"

class QWidget;
class TAlarmSettings;
class TZoneAlarmSettings;
class TFrameGrabCaptureGraph;
class TMotionDetectionListManager;
class TSelectorObjectManager;

// What the frame path reports for one zone; the GUI thread hands it to the zone's overlay.
struct TZoneFeedback {
    bool Ready = false;  // the zone's detector has learned enough to report
    bool Flashing = false;
    int32_t Activity = 0;
};

// The one controller of a camera: owns the capture graph, the zone overlays, the alarm settings,
// the zone detector while detection is active and the two recorders; builds the camera panel in
// the main window and runs the per-frame main loop.
//
// Frames arrive on a GStreamer streaming thread (NextFrameDataFunction). No widget is touched
// there: the frame step writes into the picture's image buffer and the zone feedback, then posts
// one repaint to the GUI thread. FLock guards everything the two threads share (detector, image
// buffer, motion state, zone feedback); the frame step holds it throughout, and every GUI
// operation that creates or destroys what the frame step uses takes it too. The graph is never
// stopped while FLock is held: stopping waits for the streaming thread, which may be waiting for
// the lock.
class TCameraManager : public QObject {
    Q_OBJECT
public:
    static constexpr int32_t kMaxZones = 10;
    // The strip under the picture that holds the buttons.
    static constexpr int32_t kButtonStripHeight = 35;
    // Ranges and defaults of the stored detection settings. New installs watch with the
    // adaptive mode at the sensitivity measured best for it on street scenes; the earlier
    // defaults (mode 3 at 70) alarmed on empty scenes or never. Stored values are kept.
    static constexpr int32_t kMinSensitivity = 1;
    static constexpr int32_t kMaxSensitivity = 100;
    static constexpr int32_t kDefaultSensitivity = TAdaptiveMotionDetection::kDefaultSensitivity;
    static constexpr int32_t kMinDetectionMode = 1;
    static constexpr int32_t kMaxDetectionMode = 4;
    static constexpr int32_t kDefaultDetectionMode = 4;

    // The main window hosts the panel; TimePerFrameMS is passed on to the detector.
    TCameraManager(QWidget* MainForm, int32_t TimePerFrameMS);
    ~TCameraManager() override;

    void RefreshTexts();
    bool InitializeCamera();
    bool DeinitializeCamera();
    bool Reposition();
    void RemoveSelectedZone();

    TFrameGrabCaptureGraph* FrameGrabCaptureGraph() const { return FFrameGrabCaptureGraph.get(); }

    // The frame callback registered with the capture graph (streaming thread).
    bool NextFrameDataFunction(uint8_t* Data, int32_t Size);

    // Panel commands (GUI thread).
    void OnAddZoneClick();
    void OnRemoveZoneClick();
    void OnActivateClick();
    void OnSetupClick();
    void OnAlarmsClick();
    void OnResetAlarmsClick();
    void OnVideosListClick();
    void OnImageClick();

    // Motion reports of the detector (streaming thread); the recording issue fills them in.
    bool MotionDetectedCallback(int32_t ZoneIndex);
    bool NoMotionDetectedCallback(int32_t ZoneIndex);
    // Recorder control (kind 0 continually running, 1 motion); the caller holds the frame lock
    // (the frame step already does). Seams for the recorders.
    bool StartWMEncoderGraph(int32_t Kind);
    bool StopWMEncoderGraph(int32_t Kind);
    bool RefreshVideoLoggers();

    // Read access for the main window and for tests.
    bool Activated() const { return FActivated.load(); }
    int32_t CameraIndex() const { return FCameraIndex; }
    int32_t FormatIndex() const { return FFormatIndex; }
    int32_t MotionDetectionSensitivity() const { return FMotionDetectionSensitivity; }
    int32_t MotionDetectionMode() const { return FMotionDetectionMode; }
    int32_t VideoWidth() const { return FVideoWidth; }
    int32_t VideoHeight() const { return FVideoHeight; }
    int64_t VideoFrameInterval() const { return FVideoFrameInterval; }
    int64_t FrameCounter() const { return FFrameCounter.load(); }
    bool FirstFrame() const { return FFirstFrame.load(); }
    int32_t ARHorizontalBarHeight() const { return FARHorizontalBarHeight; }
    int32_t ARVerticalBarWidth() const { return FARVerticalBarWidth; }
    const std::string& ConstantLogFolder() const { return FConstantLogFolder; }
    const std::string& MotionLogFolder() const { return FMotionLogFolder; }
    TAlarmSettings* AlarmSettings() const { return FAlarmSettings.get(); }
    TSelectorObjectManager* SelectorObjectManager() const { return FSelectorObjectManager.get(); }
    TMotionDetectionListManager* MotionDetectionListManager() const {
        return FMotionDetectionListManager.get();
    }
    TCameraPicture* FramePreviewImage() const { return FFramePreviewImage; }
    QWidget* FrameScrollBox() const { return FFrameScrollBox; }
    TPanelButton* AddZoneButton() const { return FAddZoneButton; }
    TPanelButton* RemoveZoneButton() const { return FRemoveZoneButton; }
    TPanelButton* ActivateButton() const { return FActivateButton; }
    TPanelButton* SetupButton() const { return FSetupButton; }
    TPanelButton* AlarmsButton() const { return FAlarmsButton; }
    TPanelButton* ResetAlarmsButton() const { return FResetAlarmsButton; }
    TPanelButton* VideosListButton() const { return FVideosListButton; }

    // Zone ZoneIndex in frame pixels as the detector sees it: scaled from the picture to the
    // bitmap and flipped, since frames are stored bottom line first.
    TRect ZoneFrameRectangle(int32_t ZoneIndex);

    // Applies the frame path's zone feedback to the overlays (GUI thread; also run by the
    // repaint the frame path posts).
    void ApplyZoneFeedback();

    // The recording folders below a data folder (empty: relative folders).
    static std::string ConstantLogFolderOf(const std::string& DataFolder);
    static std::string MotionLogFolderOf(const std::string& DataFolder);

private:
    // The stored integer values with the fields they fill, in storing order.
    std::array<std::pair<QString, int32_t*>, 4> IntegerSettings();
    bool LoadRegistrySettings();
    bool SaveRegistrySettings();
    bool ClearRegistrySettings();
    bool LoadRegistrySelectors();
    bool SaveRegistrySelectors();

    bool RepositionImage();
    // The shape the selected format's picture is meant to be seen in (width : height).
    double SelectedPictureAspectRatio(int32_t Width, int32_t Height);
    bool ReInitializeCameraAndFormat(int32_t DeviceIndex, int32_t FormatIndex);
    static void FlipRectVertically(int32_t Height, TRect& Rect);
    // The widget the panel is placed on.
    QWidget* PanelHost() const;
    void CreateButtons();
    void PlaceButtons();
    TPanelButton* CreateButton(int Glyph, void (TCameraManager::*Handler)());
    void SetButtonGlyph(TPanelButton* Button, int Glyph);
    void DestroyDetector();
    // The alarm a new zone gets: enabled, with the default alarm sound.
    static void SetDefaultZoneAlarm(TZoneAlarmSettings& Zone);
    void PostRepaint();

    QPointer<QWidget> FMainForm;
    std::unique_ptr<TFrameGrabCaptureGraph> FFrameGrabCaptureGraph;
    QPointer<TCameraPicture> FFramePreviewImage;
    QPointer<QWidget> FFrameScrollBox;
    std::unique_ptr<TSelectorObjectManager> FSelectorObjectManager;
    std::unique_ptr<TMotionDetectionListManager> FMotionDetectionListManager;
    QPointer<TPanelButton> FAddZoneButton;
    QPointer<TPanelButton> FRemoveZoneButton;
    QPointer<TPanelButton> FActivateButton;
    QPointer<TPanelButton> FSetupButton;
    QPointer<TPanelButton> FAlarmsButton;
    QPointer<TPanelButton> FResetAlarmsButton;
    QPointer<TPanelButton> FVideosListButton;
    bool FKeepVideoAspectRatio = true;
    std::atomic<bool> FFirstFrame{true};
    std::atomic<bool> FActivated{false};
    std::unique_ptr<TAlarmSettings> FAlarmSettings;
    int32_t FMotionDetectionSensitivity = kDefaultSensitivity;
    int32_t FTimePerFrameMS = 100;
    std::string FMotionLogFolder;
    std::string FConstantLogFolder;
    std::atomic<int64_t> FFrameCounter{0};
    int32_t FARHorizontalBarHeight = 0;
    int32_t FARVerticalBarWidth = 0;
    int32_t FCameraIndex = 0;
    int32_t FFormatIndex = 0;
    int32_t FVideoWidth = 0;
    int32_t FVideoHeight = 0;
    int64_t FVideoFrameInterval = 0;
    TDateTime FMotionStartTime = 0;
    bool FWaitMinMotionDuration = false;
    int32_t FMotionDetectionMode = kDefaultDetectionMode;
    // The stored zones were read at camera start, so the zones held now replace them at exit.
    bool FSelectorsLoaded = false;

    // Guards what the frame step shares with the GUI thread (see the class comment).
    std::mutex FLock;
    std::vector<TZoneFeedback> FZoneFeedback;
    std::atomic<bool> FRepaintPending{false};
};
