#include "shell/HeadlessRun.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <utility>

#include "alarms/AlarmSettings.h"
#include "capture/CameraSourceSettings.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "controller/CameraManager.h"
#include "controller/CameraPicture.h"
#include "notifications/EventLine.h"
#include "notifications/EventOutputs.h"
#include "notifications/EventStream.h"
#include "notifications/NotificationSettings.h"
#include "notifications/NotificationSettingsStore.h"
#include "notifications/StdoutEventOutput.h"
#include "platform/DateTime.h"
#include "platform/Diagnostics.h"
#include "platform/SingleInstanceLock.h"
#include "shell/TerminationSignals.h"
#include "zones/SelectorObjectManager.h"

namespace {

constexpr const char* kProductName = "Tandrel";
constexpr int32_t kTimePerFrameMS = 100;
// Standard output is read by a program that keeps up: a long queue, so a short stall of the
// reader loses nothing.
constexpr size_t kStdoutQueueCapacity = 4096;

const char* DeviceTypeName(int32_t type) {
    switch (type) {
        case 1:
            return "DV";
        case 2:
            return "HDV";
        case 3:
            return "BMD";
        case 4:
            return "Analog";
        case 5:
            return "AnalogHW";
        case 6:
            return "DVVideo";
        default:
            return "unrecognised";
    }
}

}  // namespace

THeadlessRun::THeadlessRun(TCommandLine Line, QObject* Parent)
    : QObject(Parent), FLine(std::move(Line)) {}

THeadlessRun::~THeadlessRun() {
    // The controller stops its graph and recorders (and saves, when the run may) before its
    // host goes; the stream then writes out what is left.
    FManager.reset();
    FHost.reset();
    FEvents.reset();
}

void THeadlessRun::ReportError(const std::string& Text) {
    std::fprintf(stderr, "%s: %s\n", kProductName, Text.c_str());
    std::fflush(stderr);
    if (FEvents) {
        FEvents->Publish(TNotificationEvent("error", Now()).Add("text", Text));
    } else {
        TEventLine("error", Now()).Add("text", Text).Write();
    }
}

int THeadlessRun::Run() {
    std::string name = TSingleInstanceLock::DefaultName(kProductName);
    if (!FLine.Instance.empty()) {
        name += "-" + FLine.Instance;
    }
    // The same signals that close the window end the run, recordings finished. A signal that
    // comes while the camera starts waits in the handler's pipe and ends the run at once.
    auto* termination = new TTerminationSignals(this);
    connect(termination, &TTerminationSignals::TerminationRequested, qApp, &QCoreApplication::quit);
    TSingleInstanceLock lock;
    if (lock.TryAcquire(name) != TSingleInstanceLock::TResult::Acquired) {
        ReportError("You can start only one instance of the product.");
        return kExitAlreadyRunning;
    }
    const int started = Start();
    if (started != 0) {
        return started;
    }
    if (FLine.Seconds) {
        FEnd = std::chrono::steady_clock::now() + std::chrono::seconds(*FLine.Seconds);
        ArmEndTimer();
    }
    const int status = QCoreApplication::exec();
    FManager.reset();
    // Every event (the last recordings' among them) is written before the run ends.
    if (FEvents) {
        FEvents->RemoveOutputs();
    }
    return status;
}

void THeadlessRun::ArmEndTimer() {
    // A timer takes its interval in int milliseconds (under 25 days), so a longer run is timed in
    // steps of at most a day, each measured from the steady clock's end time.
    constexpr std::chrono::milliseconds kLongestStep = std::chrono::hours(24);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        FEnd - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        QCoreApplication::quit();
        return;
    }
    if (left <= kLongestStep) {
        QTimer::singleShot(static_cast<int>(left.count()), Qt::PreciseTimer, qApp,
                           &QCoreApplication::quit);
    } else {
        QTimer::singleShot(static_cast<int>(kLongestStep.count()), Qt::PreciseTimer, this,
                           &THeadlessRun::ArmEndTimer);
    }
}

int32_t THeadlessRun::ResolveCamera() {
    TFrameGrabCaptureGraph* graph = FManager->FrameGrabCaptureGraph();
    if (!FLine.CameraName) {
        return FLine.CameraIndex.value_or(0);
    }
    int32_t count = 0;
    graph->GetSupportedDevicesCount(count);
    for (int32_t i = 0; i < count; ++i) {
        const std::string* friendly = nullptr;
        if (SUCCEEDED(graph->GetSupportedDeviceFriendlyName(i, friendly)) && friendly != nullptr &&
            *friendly == *FLine.CameraName) {
            return i;
        }
    }
    return -1;
}

std::string THeadlessRun::DeviceName(int32_t Index) const {
    const std::string* friendly = nullptr;
    if (FManager && SUCCEEDED(FManager->FrameGrabCaptureGraph()->GetSupportedDeviceFriendlyName(
                        Index, friendly)) &&
        friendly != nullptr) {
        return *friendly;
    }
    return {};
}

bool THeadlessRun::NotificationSettingsOfRun(TNotificationSettings& Settings,
                                             std::string& Error) const {
    Settings = LoadNotificationSettings();
    return NotificationSettingsForRun(FLine, Settings, Error);
}

std::string THeadlessRun::CameraLabel(int32_t Index) const {
    const std::string* friendly = nullptr;
    if (FManager && SUCCEEDED(FManager->FrameGrabCaptureGraph()->GetSupportedDeviceFriendlyName(
                        Index, friendly)) &&
        friendly != nullptr) {
        return "\"" + *friendly + "\" (" + std::to_string(Index) + ")";
    }
    return std::to_string(Index);
}

int THeadlessRun::Start() {
    FHost = std::make_unique<QWidget>();
    FHost->resize(926, 521);
    FHost->show();
    FManager = std::make_unique<TCameraManager>(FHost.get(), kTimePerFrameMS);
    // Values of this run only leave the stored ones alone.
    FManager->SetSaveSettingsOnExit(FLine.UsesStoredValuesOnly());
    TCameraOverrides overrides;
    if (FLine.CameraName || FLine.CameraIndex) {
        const int32_t index = ResolveCamera();
        if (index < 0) {
            ReportError("there is no camera named \"" + *FLine.CameraName + "\".");
            return kExitNoCamera;
        }
        overrides.CameraIndex = index;
    }
    if (FLine.Mode) {
        if (*FLine.Mode < TCameraManager::kMinDetectionMode ||
            *FLine.Mode > TCameraManager::kMaxDetectionMode) {
            std::fprintf(stderr, "%s: --mode takes %d to %d.\n\n%s", kProductName,
                         TCameraManager::kMinDetectionMode, TCameraManager::kMaxDetectionMode,
                         CommandLineUsage().c_str());
            return kExitBadUsage;
        }
        overrides.DetectionMode = *FLine.Mode;
    }
    overrides.Sensitivity = FLine.Sensitivity;
    overrides.RecordingFormat = FLine.RecordingFormat;
    overrides.IgnoreStoredZones = !FLine.Zones.empty();
    FManager->SetOverrides(overrides);
    // One stream carries every event: standard output here, and whatever the settings (or this
    // run's --mqtt and --webhook) add.
    TNotificationSettings notifications;
    std::string notificationError;
    if (!NotificationSettingsOfRun(notifications, notificationError)) {
        std::fprintf(stderr, "%s: %s\n\n%s", kProductName, notificationError.c_str(),
                     CommandLineUsage().c_str());
        return kExitBadUsage;
    }
    FEvents = std::make_shared<TEventStream>();
    FEvents->SetInstance(EventInstanceName(FLine.Instance));
    FEvents->SetCamera(DeviceName(overrides.CameraIndex.value_or(FManager->CameraIndex())));
    FEvents->AddOutput(std::make_unique<TStdoutEventOutput>(), kStdoutQueueCapacity);
    FManager->SetEventStream(FEvents);
    FManager->ApplyNotificationSettings(notifications);

    FManager->SetCameraLostCallback([this] {
        ReportError("the camera " + CameraLabel(FManager->CameraIndex()) +
                    (FWatching ? " was lost; reconnecting." : " cannot be started yet; retrying."));
    });
    // A camera missing at the start (a network camera that boots later, a file on a share not
    // mounted yet) or still being looked at is watched for; the run begins when it delivers.
    FManager->SetCameraDeliversCallback([this] {
        if (!FWatching) {
            const int status = BeginWatching();
            if (status != 0) {
                QCoreApplication::exit(status);
            }
        }
    });

    if (!FManager->InitializeCamera()) {
        ReportError("the camera " + CameraLabel(FManager->CameraIndex()) + " cannot be started.");
        return kExitNoCamera;
    }
    return !FManager->CameraLost() && FManager->VideoWidth() > 0 ? BeginWatching() : 0;
}

int THeadlessRun::BeginWatching() {
    FWatching = true;
    const int32_t width = FManager->VideoWidth();
    const int32_t height = FManager->VideoHeight();
    // A zone that lies wholly outside the picture would watch nothing at all: a mistake on the
    // command line (a zone partly outside is cut to the picture).
    for (const TRect& zone : FLine.Zones) {
        if (width > 0 && height > 0 && (zone.Left >= width || zone.Top >= height)) {
            std::fprintf(stderr, "%s: zone %d,%d,%d,%d is outside the %d x %d picture.\n\n%s",
                         kProductName, zone.Left, zone.Top, zone.Right, zone.Bottom, width, height,
                         CommandLineUsage().c_str());
            return kExitBadUsage;
        }
    }
    FManager->PublishCameraStarted();

    PlaceZones();
    FManager->OnActivateClick();
    if (!FManager->Activated()) {
        ReportError("detection cannot be started on the camera " +
                    CameraLabel(FManager->CameraIndex()) + ".");
        return kExitNoCamera;
    }
    return 0;
}

void THeadlessRun::PlaceZones() {
    // The host is made the frame's size (plus the button strip), so that a picture pixel is a
    // frame pixel wherever the frame's shape allows.
    const int32_t width = FManager->VideoWidth();
    const int32_t height = FManager->VideoHeight();
    if (width > 0 && height > 0) {
        FHost->resize(width, height + TCameraManager::kButtonStripHeight);
        FManager->Reposition();
    }
    TSelectorObjectManager* zones = FManager->SelectorObjectManager();
    const TCameraPicture* picture = FManager->FramePreviewImage();
    if (zones == nullptr || picture == nullptr || width <= 0 || height <= 0) {
        return;
    }
    const QRect placed = picture->geometry();
    const double sx = static_cast<double>(placed.width()) / width;
    const double sy = static_cast<double>(placed.height()) / height;
    // Frame pixels, top-down, to the picture's place in its box.
    auto toPicture = [&](const TRect& frame) {
        const int32_t left = std::clamp(frame.Left, 0, width);
        const int32_t top = std::clamp(frame.Top, 0, height);
        const int32_t right = std::clamp(frame.Right, left, width);
        const int32_t bottom = std::clamp(frame.Bottom, top, height);
        return TRect{placed.left() + static_cast<int32_t>(left * sx + 0.5),
                     placed.top() + static_cast<int32_t>(top * sy + 0.5),
                     placed.left() + static_cast<int32_t>(right * sx + 0.5),
                     placed.top() + static_cast<int32_t>(bottom * sy + 0.5)};
    };
    std::vector<TRect> wanted = FLine.Zones;
    if (wanted.empty() && zones->Count() == 0) {
        // Nothing to watch yet: the whole picture is one zone.
        wanted.push_back(TRect{0, 0, width, height});
    }
    for (const TRect& frame : wanted) {
        const int32_t before = zones->Count();
        FManager->OnAddZoneClick();
        if (zones->Count() == before) {
            break;
        }
        if (frame.Right > width || frame.Bottom > height) {
            std::fprintf(stderr, "%s: zone %d,%d,%d,%d is cut to the %d x %d frame.\n",
                         kProductName, frame.Left, frame.Top, frame.Right, frame.Bottom, width,
                         height);
        }
        zones->SetRectangle(zones->Count() - 1, toPicture(frame));
    }
}

int ListCameras() {
    TFrameGrabCaptureGraph graph(CameraSourceSettings::Sources());
    int32_t count = 0;
    graph.GetSupportedDevicesCount(count);
    for (int32_t i = 0; i < count; ++i) {
        const std::string* name = nullptr;
        int32_t type = 0;
        graph.GetSupportedDeviceFriendlyName(i, name);
        graph.GetSupportedDeviceType(i, type);
        std::printf("camera %d: %s (type %d, %s)\n", i, name != nullptr ? name->c_str() : "",
                    type, DeviceTypeName(type));
        if (FAILED(graph.ActivateMainGraph(i))) {
            std::printf("  cannot be opened\n");
            continue;
        }
        int32_t formats = 0;
        graph.GetOutputTypesCount(formats);
        for (int32_t f = 0; f < formats; ++f) {
            int32_t width = 0;
            int32_t height = 0;
            int64_t interval = 0;
            if (SUCCEEDED(graph.GetOutputType(f, width, height, interval))) {
                std::printf("  format %d: %d x %d, %.4g fps\n", f, width, height,
                            interval > 0 ? 10000000.0 / static_cast<double>(interval) : 0.0);
            }
        }
        graph.DeactivateMainGraph();
    }
    std::fflush(stdout);
    return 0;
}
