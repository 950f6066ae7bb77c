#include "controller/CameraManager.h"

#include <filesystem>
#include <system_error>

#include "alarms/AlarmSettings.h"
#include "capture/CameraSourceSettings.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "capture/VideoDeviceMonitor.h"
#include "controller/CameraPicture.h"
#include "controller/FrameScrollBox.h"
#include "controller/RecordingMarksOverlay.h"
#include "controller/SnapshotWriter.h"
#include "detection/MotionDetectionListManager.h"
#include "localisation/UiText.h"
#include "notifications/EventStream.h"
#include "notifications/StdoutEventOutput.h"
#include "platform/Diagnostics.h"
#include "platform/Paths.h"
#include "recording/PreEventRing.h"
#include "videolog/RecordingRepair.h"
#include "zones/SelectorObjectManager.h"

namespace {

constexpr int64_t kFrameTime = 1000000;  // one frame every 100 ms, in 100-ns units

}  // namespace

TCameraManager::TCameraManager(QWidget* MainForm, int32_t TimePerFrameMS) {
    try {
        FTimePerFrameMS = TimePerFrameMS;
        FMainForm = MainForm;
        // The window never waits for a network camera's stream: the camera watch starts such a
        // camera once the look at it has answered.
        FFrameGrabCaptureGraph =
            std::make_unique<TFrameGrabCaptureGraph>(CameraSourceSettings::Sources(), 0);
        FSelectorObjectManager = std::make_unique<TSelectorObjectManager>(kMaxZones);
        FSelectorObjectManager->SetDefaultObjectIDString(UiText(txtZone) + " %d");
        FKeepVideoAspectRatio = true;
        FAlarmSettings = std::make_unique<TAlarmSettings>();
        FAlarmSettings->SetUseMotionVideoLogger(true);
        FAlarmSettings->SetUseConstantVideoLogger(false);
        FMotionDetectionSensitivity = kDefaultSensitivity;
        FMotionDetectionMode = kDefaultDetectionMode;
        FFrameCounter = 0;
        FWaitMinMotionDuration = false;
        FMotionStartTime = 0;
        FRecordingsInFlight = std::make_shared<TRecordingsInFlight>();
        // Reported on a streaming thread; the camera watch acts on it.
        FFrameGrabCaptureGraph->SetStreamEndHandler([this](bool) { FStreamEnded = true; });
    } catch (...) {
        LogMessage("Error in TCameraManager.Create call...");
    }
}

TCameraManager::~TCameraManager() {
    try {
        StopCameraWatch();
        FRepairThread.Join();
        if (FFrameGrabCaptureGraph) {
            FFrameGrabCaptureGraph->SetStreamEndHandler({});
        }
        // Frame delivery ends first, so nothing below is torn down under a running frame step.
        if (FFrameGrabCaptureGraph) {
            FFrameGrabCaptureGraph->Stop();
        }
        // Stored zones are only rewritten when they were loaded: a start without the camera
        // must not wipe the zones the user drew for it.
        if (FSaveSettingsOnExit) {
            if (FSelectorsLoaded) {
                ClearRegistrySettings();
            }
            SaveRegistrySettings();
            SaveRegistrySelectors();
        }
        // Both recordings are finished (file closed, information file written) before the
        // controller goes; the end reports need nothing of it.
        StopRecordersAndWait();
        // The outputs this controller added deliver the last events (the recordings just
        // finished) and stop before the controller goes: an MQTT command reaches it no more.
        if (FEvents) {
            FEvents->RemoveOutputsIf([](const TEventOutput& Output) {
                return dynamic_cast<const TStdoutEventOutput*>(&Output) == nullptr;
            });
        }
        FSnapshotWriter.reset();
        FAlarmSettings.reset();
        DestroyDetector();
        FSelectorObjectManager.reset();
        DeinitializeCamera();
        FFrameGrabCaptureGraph.reset();
    } catch (...) {
        LogMessage("Error in TCameraManager.Destroy call...");
    }
}

std::string TCameraManager::ConstantLogFolderOf(const std::string& DataFolder) {
    return DataFolder + "Vantrelle/Tandrel/AutoRec/";
}

std::string TCameraManager::MotionLogFolderOf(const std::string& DataFolder) {
    return DataFolder + "Vantrelle/Tandrel/MotionDetection/";
}

bool TCameraManager::InitializeCamera() {
    try {
        FFirstFrame = true;
        QWidget* host = PanelHost();
        auto* scrollBox = new TFrameScrollBox(host);
        scrollBox->setGeometry(0, 0, host->width(), host->height() - kButtonStripHeight);
        scrollBox->SetClickHandler([this] { OnImageClick(); });
        scrollBox->show();
        FFrameScrollBox = scrollBox;
        {
            std::lock_guard<std::mutex> guard(FLock);
            FFramePreviewImage = new TCameraPicture(FLock, scrollBox);
        }
        FFramePreviewImage->show();
        // The marks of running recordings over the picture; they go with the scroll box.
        new TRecordingMarksOverlay(FFramePreviewImage, [manager = QPointer<TCameraManager>(this)] {
            return manager ? manager->RecordingMarks() : TRecordingMarks{};
        });

        LoadRegistrySettings();
        if (FOverrides.CameraIndex) {
            FCameraIndex = *FOverrides.CameraIndex;
        }
        if (FOverrides.DetectionMode) {
            FMotionDetectionMode = *FOverrides.DetectionMode;
        }
        if (FOverrides.Sensitivity) {
            FMotionDetectionSensitivity = *FOverrides.Sensitivity;
        }
        if (FOverrides.RecordingFormat) {
            FAlarmSettings->SetRecordingFormat(*FOverrides.RecordingFormat);
        }

        int32_t devices = 0;
        FFrameGrabCaptureGraph->GetSupportedDevicesCount(devices);
        if (FCameraIndex < 0 || FCameraIndex >= devices) {
            LogMessageFmt("TCameraManager.InitializeCamera - no camera %d among %d devices.",
                          FCameraIndex, devices);
            return false;
        }
        FFrameGrabCaptureGraph->SetNextFrameDataFunction(
            [this](uint8_t* Data, int32_t Size) { return NextFrameDataFunction(Data, Size); });
        FFrameGrabCaptureGraph->SetFrameTime(kFrameTime);
        FFramePreviewImage->SetClickHandler([this] { OnImageClick(); });

        // The camera may be missing now (a network camera that boots later, a camera not yet
        // plugged in) or wait for the look at its stream: the panel is there all the same, and
        // the camera watch starts it as soon as it can.
        const TCameraStart start = BuildCameraGraph(true);
        CreateButtons();
        PlaceButtons();

        const std::string dataFolder = GetCommonAppDataPath();
        FConstantLogFolder = ConstantLogFolderOf(dataFolder);
        FMotionLogFolder = MotionLogFolderOf(dataFolder);
        // Watching and alarms need no folder: one that cannot be made (a file in its place, a
        // read-only disk) is logged, and every recording tries it again before it starts.
        for (const std::string* folder : {&FConstantLogFolder, &FMotionLogFolder}) {
            if (!ForceFolder(*folder)) {
                LogMessageFmt("Error in TCameraManager.InitializeCamera - cannot create folder %s",
                              folder->c_str());
                if (!FFileFailureReported[0]) {
                    const TRecordingEvent failure{
                        false, std::string(), 0,
                        "the recording folder " + *folder +
                            " cannot be created; recordings are tried again later."};
                    if (FRecordingEventCallback) {
                        FRecordingEventCallback(failure);
                    }
                    PublishRecordingEvent(FEvents, failure, false, nullptr);
                }
                FFileFailureReported = {true, true};
            }
        }
        StartRecordingRepair();

        if (FOverrides.FramesFromCaller && start == TCameraStart::Built) {
            return true;
        }
        StartCameraWatch();
        if (start == TCameraStart::Built) {
            FFrameGrabCaptureGraph->Play();
            if (FAlarmSettings->UseConstantVideoLogger()) {
                std::lock_guard<std::mutex> guard(FLock);
                StartWMEncoderGraph(0);
            }
        } else if (start == TCameraStart::Waiting) {
            FAwaitingProbe = true;
        } else {
            OnCameraLost("it cannot be started");
        }
        return true;
    } catch (...) {
        LogMessage("Error in TCameraManager.InitializeCamera call...");
        return false;
    }
}

void TCameraManager::StartRecordingRepair() {
    // Once per controller, beside the camera: reading a cut-off file through takes a moment.
    if (FRepairThread.Running()) {
        return;
    }
    FRepairThread.Start("rec-repair", [folders = std::vector<std::string>{FMotionLogFolder,
                                                                          FConstantLogFolder}] {
        for (const std::string& folder : folders) {
            RepairRecordingInfo(folder);
        }
    });
}

TCameraManager::TCameraStart TCameraManager::BuildCameraGraph(bool Report) {
    if (FFrameGrabCaptureGraph->MainGraphActive()) {
        // Stopped without the lock: stopping waits for the streaming thread.
        FFrameGrabCaptureGraph->Stop();
        FFrameGrabCaptureGraph->DeactivateMainGraph();
    }
    // A failure of the new graph from here on is one of this start.
    FStreamEnded = false;
    if (FAILED(FFrameGrabCaptureGraph->ActivateMainGraph(FCameraIndex))) {
        if (FFrameGrabCaptureGraph->NetworkProbePending(FCameraIndex)) {
            return TCameraStart::Waiting;
        }
        if (Report) {
            const std::string* name = nullptr;
            const std::string* path = nullptr;
            FFrameGrabCaptureGraph->GetSupportedDeviceFriendlyName(FCameraIndex, name);
            FFrameGrabCaptureGraph->GetSupportedDeviceDevicePath(FCameraIndex, path);
            LogMessageFmt(
                "Error in TCameraManager.InitializeCamera - camera %d, \"%s\" (%s), "
                "cannot be started.",
                FCameraIndex, name != nullptr ? name->c_str() : "",
                path != nullptr ? path->c_str() : "");
        }
        return TCameraStart::Failed;
    }
    int32_t formats = 0;
    FFrameGrabCaptureGraph->GetOutputTypesCount(formats);
    if (formats <= 0) {
        FFrameGrabCaptureGraph->DeactivateMainGraph();
        if (FFrameGrabCaptureGraph->NetworkProbePending(FCameraIndex)) {
            return TCameraStart::Waiting;
        }
        if (Report) {
            LogMessage("TCameraManager.InitializeCamera - the camera offers no format.");
        }
        return TCameraStart::Failed;
    }
    int32_t width = 0;
    int32_t height = 0;
    int64_t interval = 0;
    // A stored format the device no longer offers (another camera, a changed driver) would
    // leave the picture black for ever: the device's first format is used and stored instead.
    if (FAILED(FFrameGrabCaptureGraph->GetOutputType(FFormatIndex, width, height, interval)) ||
        FAILED(FFrameGrabCaptureGraph->SelectOutputType(FFormatIndex, width, height, interval))) {
        LogMessageFmt(
            "Error in TCameraManager.InitializeCamera - format %d cannot be used; "
            "the first of %d formats is used.",
            FFormatIndex, formats);
        FFormatIndex = 0;
        if (FAILED(FFrameGrabCaptureGraph->GetOutputType(0, width, height, interval)) ||
            FAILED(FFrameGrabCaptureGraph->SelectOutputType(0, width, height, interval))) {
            FFrameGrabCaptureGraph->DeactivateMainGraph();
            LogMessage("Error in TCameraManager.InitializeCamera - no format can be used.");
            return TCameraStart::Failed;
        }
    }

    FPictureAspectRatio = SelectedPictureAspectRatio(width, height);
    RepositionImage();
    // The stored zones are placed on the first picture the camera gives.
    if (!FSelectorsLoaded) {
        LoadRegistrySelectors();
    }
    {
        std::lock_guard<std::mutex> guard(FLock);
        FVideoWidth = width;
        FVideoHeight = height;
        FVideoFrameInterval = interval;
        if (FFramePreviewImage) {
            FFramePreviewImage->SetBitmapSize(width, height);
        }
        // The fresh picture holds no previous frame to compare with.
        FFirstFrame = true;
        // The continually running recording goes on in a new file with the new size.
        if (FConstantVideoLoggerThread != nullptr) {
            StopWMEncoderGraph(0);
            StartWMEncoderGraph(0);
        }
    }
    if (FAILED(FFrameGrabCaptureGraph->RenderOutput())) {
        return TCameraStart::Failed;
    }
    return TCameraStart::Built;
}

bool TCameraManager::DeinitializeCamera() {
    try {
        StopCameraWatch();
        // Stopping waits for the streaming thread, so it happens without the lock; afterwards no
        // frame arrives any more.
        if (FFrameGrabCaptureGraph) {
            FFrameGrabCaptureGraph->Stop();
            FFrameGrabCaptureGraph->DeactivateMainGraph();
        }
        {
            std::lock_guard<std::mutex> guard(FLock);
            delete FFramePreviewImage.data();
            FFramePreviewImage = nullptr;
        }
        delete FFrameScrollBox.data();
        // A button may be the one whose click handler is running: it goes once control is
        // back in the event loop, hidden at once so that it takes no further clicks.
        for (QPointer<TPanelButton>* button :
             {&FAddZoneButton, &FRemoveZoneButton, &FActivateButton, &FSetupButton}) {
            if (*button) {
                (*button)->hide();
                (*button)->disconnect(this);
                (*button)->deleteLater();
            }
            *button = nullptr;
        }
        // Alarms, Reset Alarms and Show Videos List belong to the main window, which removes
        // them with itself.
        std::lock_guard<std::mutex> guard(FLock);
        StopWMEncoderGraph(0);
        StopWMEncoderGraph(1);
        // Frames of the camera that stopped never open a recording made after it.
        FPreEventRing.reset();
        return true;
    } catch (...) {
        LogMessage("Error in TCameraManager.DeinitializeCamera call...");
        return false;
    }
}

bool TCameraManager::RefreshCaptureGraph() {
    VirtualDevices::TCameraSources sources = CameraSourceSettings::Sources();
    if (FFrameGrabCaptureGraph && FFrameGrabCaptureGraph->Sources() == sources) {
        return false;
    }
    if (FFrameGrabCaptureGraph) {
        // Stopped without the lock: stopping waits for the streaming thread.
        FFrameGrabCaptureGraph->Stop();
        FFrameGrabCaptureGraph->DeactivateMainGraph();
    }
    auto graph = std::make_unique<TFrameGrabCaptureGraph>(std::move(sources), 0);
    graph->SetStreamEndHandler([this](bool) { FStreamEnded = true; });
    graph->SetNextFrameDataFunction(
        [this](uint8_t* Data, int32_t Size) { return NextFrameDataFunction(Data, Size); });
    graph->SetFrameTime(kFrameTime);
    FFrameGrabCaptureGraph = std::move(graph);
    return true;
}

void TCameraManager::DestroyDetector() {
    // The field is cleared under the lock, so the frame step either finished with the detector or
    // never sees it again; the detector's threads are then ended outside the lock.
    std::unique_ptr<TMotionDetectionListManager> detector;
    {
        std::lock_guard<std::mutex> guard(FLock);
        detector = std::move(FMotionDetectionListManager);
        FZoneFeedback.clear();
        FZoneMotion.clear();
        FZoneStates.clear();
    }
    detector.reset();
}
