#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "controller/CameraPicture.h"
#include "controller/PanelButton.h"
#include "controller/RecordingMarks.h"
#include "detection/AdaptiveMotionDetection.h"
#include "platform/DateTime.h"
#include "platform/HResult.h"
#include "platform/NamedThread.h"
#include "platform/Rect.h"
#include "recording/RecordingFormat.h"
#include "recording/RecordingTypes.h"

class QLabel;
class QTimer;
class QWidget;
class TAlarmSettings;
class TZoneAlarmSettings;
class TFrameGrabCaptureGraph;
class TVideoDeviceMonitor;
class TPreEventRing;
class TMotionDetectionListManager;
class TWMEncodeGraphThread;
class TSelectorObjectManager;
class TEventStream;
class TNotificationEvent;
class TSnapshotFile;
class TSnapshotWriter;
struct TNotificationSettings;

// What the frame path reports for one zone; the GUI thread hands it to the zone's overlay.
struct TZoneFeedback {
    bool Ready = false;  // the zone's detector has learned enough to report
    bool Flashing = false;
    int32_t Activity = 0;
};

// A change in one zone's state as the frame step sees it: learning finished, motion began or
// ended, the alarm went on or off.
struct TZoneEvent {
    enum class TKind { LearningDone, MotionStart, MotionEnd, AlarmOn, AlarmOff };
    TKind Kind = TKind::MotionStart;
    int32_t Zone = 0;      // 0-based, in zone order
    int32_t Activity = 0;  // the zone's motion activity in percent
};
using TZoneEventCallback = std::function<void(const TZoneEvent&)>;

// A recording began (Finished false) or its file was closed and its information file written
// (Finished true, with its length in seconds).
struct TRecordingEvent {
    bool Finished = false;
    std::string File;
    double Duration = 0;
    // Not empty when the recording could not be made or holds nothing: what went wrong, said
    // for whoever reads the events. No information file was written then.
    std::string Error;
};
using TRecordingEventCallback = std::function<void(const TRecordingEvent&)>;

// Values given for one run (a headless run's command line) that replace the stored ones.
struct TCameraOverrides {
    std::optional<int32_t> CameraIndex;
    std::optional<int32_t> DetectionMode;
    std::optional<int32_t> Sensitivity;
    // The file format of the run's recordings.
    std::optional<TRecordingFormat> RecordingFormat;
    // The run brings its own zones: the stored ones are not loaded.
    bool IgnoreStoredZones = false;
    // The camera's graph is built but neither played nor watched: the caller hands the frames
    // to NextFrameDataFunction itself (a test's own pictures on a clock of its own).
    bool FramesFromCaller = false;
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

    // Motion reports of the detector, per zone (streaming thread, inside the frame step).
    bool MotionDetectedCallback(int32_t ZoneIndex);
    bool NoMotionDetectedCallback(int32_t ZoneIndex);
    // Recorder control (kind 0 continually running, 1 motion); the caller holds FLock (the
    // frame step already does). Neither waits for a recorder.
    bool StartWMEncoderGraph(int32_t Kind);
    bool StopWMEncoderGraph(int32_t Kind);
    bool RefreshVideoLoggers();
    // End reports of a recorder: write the recording's information file into the folder of
    // its kind.
    bool OnMotionVideoEnd(TDateTime StartTime, double Duration);
    bool OnConastantVideoEnd(TDateTime StartTime, double Duration);

    // The length after which a recorder's file is full and the next one starts (100-ns units).
    static constexpr int64_t kMaxRecordingDuration = 72000000000LL;  // 2 hours
    void SetMaxRecordingDuration(int64_t Duration) { FMaxRecordingDuration = Duration; }
    // Called when a recording starts (under the controller's lock; on the streaming or the GUI
    // thread) and when one has been finished (on the recorder's thread, possibly after the
    // controller is gone). Must not call back into the controller. Set it once, before the
    // camera starts.
    void SetRecordingEventCallback(TRecordingEventCallback Callback) {
        FRecordingEventCallback = std::move(Callback);
    }
    // Recorder state for tests.
    bool MotionRecording() {
        std::lock_guard<std::mutex> guard(FLock);
        return FMotionVideoLoggerThread != nullptr;
    }
    bool ConstantRecording() {
        std::lock_guard<std::mutex> guard(FLock);
        return FConstantVideoLoggerThread != nullptr;
    }
    // The format the running recording of Kind (0 continually running, 1 motion) was told to
    // write; nullopt when none runs.
    std::optional<TRecordingFormat> RecordingFormatOf(int32_t Kind);
    // The camera has stopped delivering (its stream ended or failed, or no frame came for
    // kStallMs while it should be playing), or could not be started, and is being started again
    // until it delivers (GUI thread).
    bool CameraLost() const { return FCameraLost; }
    // Called on the GUI thread when the camera is found lost, or cannot be started (the
    // attempts then begin).
    void SetCameraLostCallback(std::function<void()> Callback) {
        FCameraLostCallback = std::move(Callback);
    }
    // Called on the GUI thread when a camera that had to be waited for (lost, not started yet,
    // or a network camera whose stream was still being looked at) delivers its first picture.
    void SetCameraDeliversCallback(std::function<void()> Callback) {
        FCameraDeliversCallback = std::move(Callback);
    }
    static constexpr int64_t kStallMs = 5000;
    static constexpr int32_t kMaxReconnectPauseS = 30;
    bool WaitMinMotionDuration() {
        std::lock_guard<std::mutex> guard(FLock);
        return FWaitMinMotionDuration;
    }

    // Called on the streaming thread, outside the controller's lock, for every change of a
    // zone's state while detection runs. Set it once, before the camera starts.
    void SetZoneEventCallback(TZoneEventCallback Callback) {
        FZoneEventCallback = std::move(Callback);
    }
    // The stream the controller's events go to (camera started, lost and back, detection on and
    // off, zone changes, recordings, snapshots); set once before the camera starts. Outputs
    // added with ApplyNotificationSettings are the controller's: it stops them when it goes.
    void SetEventStream(std::shared_ptr<TEventStream> Stream);
    const std::shared_ptr<TEventStream>& EventStream() const { return FEvents; }
    // Replaces the controller's outputs (MQTT, webhooks, commands) with those of Settings; a
    // detection command from MQTT switches detection as the button does (GUI thread).
    void ApplyNotificationSettings(const TNotificationSettings& Settings);
    // Publishes camera_started for the camera now playing: its device, size and rate.
    void PublishCameraStarted();
    // Activates or deactivates detection as the button does (a command from outside; GUI
    // thread). The checks and their messages are the button's; the state is published either
    // way, so whoever asked learns the result.
    void SetDetection(bool On);

    // Whether destruction writes the settings and zones back (a run with values given for that
    // run only leaves the stored ones alone). On by default.
    void SetSaveSettingsOnExit(bool Save) { FSaveSettingsOnExit = Save; }
    // Values that replace the stored ones at camera start (set before InitializeCamera).
    void SetOverrides(const TCameraOverrides& Overrides) { FOverrides = Overrides; }

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

    // Which recordings run now and for how long, for the marks over the live picture (GUI
    // thread; takes the lock briefly).
    TRecordingMarks RecordingMarks();

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
    // Makes the capture graph again when the camera sources (network cameras edited in the
    // setup dialog) differ from those its device list was made from; true when it did. The old
    // graph is stopped first; the new one has no device activated.
    bool RefreshCaptureGraph();
    static void FlipRectVertically(int32_t Height, TRect& Rect);
    // The widget the panel is placed on.
    QWidget* PanelHost() const;
    void CreateButtons();
    void PlaceButtons();
    TPanelButton* CreateButton(int Glyph, void (TCameraManager::*Handler)());
    void SetButtonGlyph(TPanelButton* Button, int Glyph);
    void DestroyDetector();
    // Recording (lock held unless said otherwise).
    void GetDefaultSettingsForEncoder(int32_t Kind, TVideoStreamSettings& Settings);
    void HandOver(TWMEncodeGraphThread*& Recorder);
    // The frame's verdict over all zones starts, ends or schedules the end of the motion
    // recording; FrameTime is the frame's time on the monotonic clock.
    void ApplyMotionToRecording(double FrameTime);
    // True when the pending stop of the motion recording fires now (it then stops it). Only
    // with no hold time after the motion.
    bool PendingMotionStopFires();
    void HandFrameToRecorders(const uint8_t* Data, int32_t Size, double FrameTime);
    // Keeps the frame in the ring of frames before a motion recording; the ring's copy of it
    // (I420), or null when the ring is off.
    const uint8_t* KeepPreEventFrame(const uint8_t* Data, int32_t Size, double FrameTime);
    // Hands the frame to a recorder: the ring's I420 copy when there is one, else the frame.
    HRESULT AddFrameTo(TWMEncodeGraphThread* Recorder, const uint8_t* Data, int32_t Size,
                       const uint8_t* I420);
    // Whether the recorder of the kind has reached the longest length of a file at this frame.
    bool RecordingFileFull(int32_t Kind, double FrameTime);
    // The motion recording's file is full: the next file goes on with the next frame.
    void RollOverMotionRecording();
    // The seconds a motion recording goes on after the last motion (0: it ends at the first
    // frame without motion once it is 5 seconds long).
    int32_t PostEventSeconds() const;
    // Stops both recorders and waits until every recording is finished (without the lock).
    void StopRecordersAndWait();
    static bool OnVideoEnd(const std::string& Folder, const std::string& FileName,
                           TDateTime StartTime, double Duration, const char* Name);
    // Recordings handed over with StopAndFreeEncoder that have not yet written their
    // information file; shared with their end reports.
    struct TRecordingsInFlight {
        std::mutex Mutex;
        std::condition_variable Finished;
        int32_t Count = 0;
        // Their files, which retention must leave alone.
        std::set<std::string> Files;
    };
    // Applies the retention limits to the folder of the recorder kind before its next file;
    // false while the disk has too little free space (or a failed recording's pause runs).
    bool MakeRoomForRecording(int32_t Kind);
    // A recorder of the kind failed to write: its next file waits for the pause and for room.
    void PauseAfterWriteFailure(int32_t Kind);
    // Ends a running recording of that kind when its disk no longer keeps the free space the
    // limits ask for (frame step, once a second).
    void StopRecordingWhenDiskIsFull(int32_t Kind);
    void StartRecordingRepair();
    // The free space a new file of the kind needs besides the limits: a second of its video.
    uint64_t RoomForOneSecond(int32_t Kind) const;
    // Camera loss and reconnection (GUI thread). The watch starts when the camera has started
    // and ends when it is stopped.
    void StartCameraWatch();
    void StopCameraWatch();
    void WatchCamera();
    void OnCameraLost(const char* Reason);
    bool CameraFileGone(int64_t NowMs);
    // One attempt to start the camera again; `Fresh` looks at a network camera's stream anew
    // (a scheduled attempt), otherwise the last look's answer is used (it has just come).
    void TryReconnect(bool Fresh);
    // The attempt's graph plays and is waited for: the camera is back at its first picture.
    void AwaitFirstPicture();
    void OnCameraDelivers();
    // The camera or its format was changed in the setup: the watch waits for the first picture
    // of the graph that plays now, or for the look at a network camera's stream.
    void FollowCameraChange(bool Started);
    // The attempt failed: the next one after the pause, which doubles up to its limit.
    void ScheduleNextAttempt();
    // How a start of the selected camera went: built and ready to play, waiting for the look at
    // a network camera's stream, or failed.
    enum class TCameraStart { Built, Waiting, Failed };
    // Builds the selected camera's graph with its stored format (the first one when that cannot
    // be used) up to the frame grab filter, without playing it; the picture, zones (the first
    // time) and recorder follow the format. `Report` logs why it failed.
    TCameraStart BuildCameraGraph(bool Report);
    void ShowCameraLostCaption(bool Show);
    // The alarm a new zone gets: enabled, with the default alarm sound.
    static void SetDefaultZoneAlarm(TZoneAlarmSettings& Zone);
    void PostRepaint();
    // The frame step proper, under the lock; the zone events it finds go to Events.
    bool FrameStep(uint8_t* Data, int32_t Size, std::vector<TZoneEvent>& Events,
                   std::shared_ptr<TSnapshotFile>& Snapshot);
    // Compares each zone's state after a detection step with the last one and appends the
    // changes (frame step, lock held).
    void CollectZoneEvents(std::vector<TZoneEvent>& Events);
    // Events for the stream (see SetEventStream). Zone events with the snapshot taken in their
    // frame (streaming thread, outside the lock); recording events (lock held, or a recorder's
    // thread through the copy its end report holds).
    void PublishZoneEvents(const std::vector<TZoneEvent>& Events,
                           const std::shared_ptr<TSnapshotFile>& Snapshot);
    static void PublishRecordingEvent(const std::shared_ptr<TEventStream>& Stream,
                                      const TRecordingEvent& Event, bool Constant,
                                      const std::shared_ptr<TSnapshotFile>& Snapshot);
    void PublishDetectionState();
    void Publish(TNotificationEvent Event);
    // The motion recording that started in this frame asked for a snapshot: the frame is
    // handed to the writer (frame step, lock held); returns the snapshot for the zone events.
    std::shared_ptr<TSnapshotFile> TakeWantedSnapshot(const uint8_t* Data, int32_t Size);

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
    // The selected format's picture shape, taken when the format is selected: asking the graph
    // later would probe a DV device in the middle of its stream.
    double FPictureAspectRatio = 0;
    TDateTime FMotionStartTime = 0;
    bool FWaitMinMotionDuration = false;
    // The two recorders; a recorder handed over with StopAndFreeEncoder frees itself.
    TWMEncodeGraphThread* FMotionVideoLoggerThread = nullptr;
    TVideoStreamSettings FMotionVideoSettings;
    TWMEncodeGraphThread* FConstantVideoLoggerThread = nullptr;
    TVideoStreamSettings FConstantVideoSettings;
    int64_t FMaxRecordingDuration = kMaxRecordingDuration;
    std::shared_ptr<TRecordingsInFlight> FRecordingsInFlight;
    TRecordingEventCallback FRecordingEventCallback;
    // Per recorder kind: no new file before this time after a write failure or a lack of room,
    // and whether the lack of room has been logged.
    std::array<TDateTime, 2> FRecorderRetryAt{0, 0};
    std::array<bool, 2> FWaitingForRoom{false, false};
    std::array<bool, 2> FNoRoomReported{false, false};
    // Whether a recording file that could not be made has been logged (until one is made).
    std::array<bool, 2> FFileFailureReported{false, false};
    // When each running recording last asked whether its disk keeps the free space (steady
    // clock, ms): a recording ends before the disk is full, not when a write fails.
    std::array<int64_t, 2> FLastFreeSpaceCheckMs{0, 0};
    // When each folder last had a full retention pass (steady clock, ms); in between, a new
    // file only asks whether the disk has room.
    std::array<int64_t, 2> FLastRetentionPassMs{0, 0};
    // The continually running recording stopped for a failure or a lack of room and resumes
    // by itself once there is room.
    bool FConstantResumePending = false;
    int32_t FMotionDetectionMode = kDefaultDetectionMode;
    // The stored zones were read at camera start, so the zones held now replace them at exit.
    bool FSelectorsLoaded = false;

    // Guards what the frame step shares with the GUI thread (see the class comment).
    std::mutex FLock;
    std::vector<TZoneFeedback> FZoneFeedback;
    // What each zone reported in the frame step so far: motion in the current frame (set by the
    // motion callbacks), and the state the last zone events were made from.
    struct TZoneState {
        bool Ready = false;
        bool Motion = false;
        bool Alarm = false;
    };
    std::vector<uint8_t> FZoneMotion;
    std::vector<TZoneState> FZoneStates;
    TZoneEventCallback FZoneEventCallback;
    // The event stream (set before the camera starts, then only read) and the snapshot writer;
    // FSnapshotWanted (FLock) is the picture a motion recording started in this frame wants.
    std::shared_ptr<TEventStream> FEvents;
    std::unique_ptr<TSnapshotWriter> FSnapshotWriter;
    std::shared_ptr<TSnapshotFile> FSnapshotWanted;
    std::atomic<bool> FSnapshots{true};
    // Detection is switched off and on again to start afresh: no state change is published.
    bool FRestartingDetection = false;
    bool FSaveSettingsOnExit = true;
    TCameraOverrides FOverrides;
    std::atomic<bool> FRepaintPending{false};

    // Camera watch: the steady-clock time (ms) of the last frame, a stream end reported by the
    // graph, and the reconnection state.
    QPointer<QTimer> FCameraWatchTimer;
    std::atomic<int64_t> FLastFrameMs{0};
    std::atomic<bool> FStreamEnded{false};
    bool FCameraWatched = false;
    bool FCameraLost = false;
    int32_t FReconnectPauseS = 1;
    int64_t FNextReconnectMs = 0;
    int64_t FNextFileCheckMs = 0;
    // An attempt waits for the look at a network camera's stream (it goes on once the look has
    // answered), or its graph plays and waits for the first picture since FAttemptStartMs.
    bool FAwaitingProbe = false;
    bool FAttemptRunning = false;
    int64_t FAttemptStartMs = 0;
    QPointer<QLabel> FCameraLostCaption;
    std::function<void()> FCameraLostCallback;
    std::function<void()> FCameraDeliversCallback;
    // The last frames before a motion recording, which the recording opens with (FLock). It
    // fills while a recording runs as well: the next recording opens with the frames since the
    // last one the running recording was handed.
    std::unique_ptr<TPreEventRing> FPreEventRing;
    // Monotonic times (seconds, FLock): the last frame in which a zone saw motion, the last
    // frame handed to a motion recording, and the first frame of each kind's running file.
    double FLastMotionTime = 0;
    double FLastMotionFrameHanded = -std::numeric_limits<double>::infinity();
    std::array<double, 2> FFileStartTime{0, 0};
    // Gives recordings cut off by an earlier crash their information files (once, at the first
    // camera start); joined when the controller goes.
    TNamedThread FRepairThread;
    // Cameras plugged in and out, so a camera that comes back is tried at once.
    std::unique_ptr<TVideoDeviceMonitor> FDeviceMonitor;
};
