// Motion recording and the continually running recording of the camera controller.
//
// Both recorder fields, the motion start time and the wait flag are guarded by FLock: the frame
// step holds it, and so does every GUI operation that starts or stops a recorder. Stopping a
// recorder under the lock never waits (StopAndFreeEncoder returns at once; the recorder closes
// its file on its own thread). The end reports run on the recorders' threads and need nothing
// of the controller: they carry the folder and file name, and a shared count tells the
// controller's destructor when the last recording has been finished.

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "alarms/AlarmSettings.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "controller/CameraManager.h"
#include "controller/SnapshotWriter.h"
#include "notifications/SnapshotFile.h"
#include "platform/Diagnostics.h"
#include "platform/MonotonicClock.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"
#include "recording/I420Conversion.h"
#include "recording/PreEventRing.h"
#include "recording/RecordingRetention.h"
#include "recording/WMEncodeGraphThread.h"
#include "videolog/VideoLogInfo.h"

namespace {

// The shortest motion recording: 5 seconds as a date-time span.
constexpr TDateTime kMinMotionDuration = 5.0 / 86400.0;
// Frame rate given to every recorder.
constexpr double kRecorderFPS = 10.0;
// The frame grid: frames per second reaching the frame step.
constexpr int32_t kGridFramesPerSecond = 10;
// A recorder's own limit lies this far (100-ns units) beyond the file length at which the
// controller starts the next file: the controller cuts at a frame it knows, and the recorder's
// limit only ends a file that was somehow not cut.
constexpr int64_t kRecorderLimitSlack = 600000000;  // 60 s
// How long the controller's destructor waits for recordings that are still being finished.
constexpr auto kFinishWait = std::chrono::seconds(30);
// After a write failure or a lack of room, the next file of that recorder is tried no sooner
// than this (a date-time span): a full disk is not asked again on every frame.
constexpr TDateTime kRetryPause = 10.0 / 86400.0;
constexpr uint64_t kMegabyte = 1024ULL * 1024ULL;
// Full retention passes (a listing of the folder) are at most this far apart while the disk has
// room: the age and size limits need no finer steps, and a folder of thousands of recordings
// takes tens of milliseconds to list on the thread that starts the recording.
constexpr int64_t kRetentionPassIntervalMs = 60000;

// How often a running recording asks whether its disk still keeps the free space (ms).
constexpr int64_t kFreeSpaceCheckIntervalMs = 1000;
// Room for a recording file's header and index besides its pictures.
constexpr uint64_t kFileHeaderRoom = 64 * 1024;

// A recording that holds no picture is no recording: it goes, unless it is something else or
// larger than a header could be (then it is left for a person to look at).
void DiscardEmptyRecording(const std::string& FileName) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(FileName, error);
    if (std::filesystem::is_regular_file(status) &&
        std::filesystem::file_size(FileName, error) <= kFileHeaderRoom && !error) {
        std::filesystem::remove(FileName, error);
    }
}

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void TCameraManager::GetDefaultSettingsForEncoder(int32_t Kind, TVideoStreamSettings& Settings) {
    Settings = TVideoStreamSettings{};
    try {
        // The size of the frames the camera delivers now (selected at camera start or format
        // change); 720 x 576 without a camera.
        uint32_t width = 720;
        uint32_t height = 576;
        if (FVideoWidth > 0 && FVideoHeight > 0) {
            width = static_cast<uint32_t>(FVideoWidth);
            height = static_cast<uint32_t>(FVideoHeight);
        }
        const bool constant = Kind == 0;
        Settings.InputWidth = width;
        Settings.InputHeight = height;
        Settings.OutputWidth = constant ? 320 : width;
        Settings.OutputHeight = constant ? 240 : height;
        Settings.ColorSpace = MEDIASUBTYPE_RGB32;
        Settings.InputTimePerFrame = 1000000;
        Settings.OutputTimePerFrame = constant ? 10000000 : 1000000;
        Settings.VideoQuality = 0;
        Settings.KeyFrameInterval = 30000000;
        Settings.VideoBitrate = constant ? 100000 : 1000000;
        Settings.CodecIndex = 0;
        Settings.SkipEmptyFrames = true;
    } catch (...) {
        Settings = TVideoStreamSettings{};
        LogMessage("Error in TCameraManager.GetDefaultSettingsForEncoder call...");
    }
}

bool TCameraManager::StartWMEncoderGraph(int32_t Kind) {
    try {
        if (Kind != 0 && Kind != 1) {
            return false;
        }
        const bool constant = Kind == 0;
        TWMEncodeGraphThread*& recorder =
            constant ? FConstantVideoLoggerThread : FMotionVideoLoggerThread;
        TVideoStreamSettings& settings = constant ? FConstantVideoSettings : FMotionVideoSettings;
        const std::string& folder = constant ? FConstantLogFolder : FMotionLogFolder;
        settings = TVideoStreamSettings{};
        if (recorder != nullptr) {
            HandOver(recorder);
        }
        GetDefaultSettingsForEncoder(Kind, settings);
        if (!MakeRoomForRecording(Kind)) {
            return false;
        }
        // The file is made here, as a new file (never through a link planted under its name),
        // so that a recording that cannot be written never starts: no recorder, no event for a
        // file that does not exist. The folder is made again first: it may have gone, or could
        // not be made when the camera started.
        // The format is read as each recording starts: a change in the dialog applies from
        // the next file on.
        const TRecordingFormat format = FAlarmSettings->RecordingFormat();
        TDateTime startTime = 0;
        std::string fileName;
        TUniqueFd file;
        if (!ForceFolder(folder) ||
            !CreateAutoRecFile(folder, startTime, fileName, file, format)) {
            const std::string reason = std::strerror(errno);
            if (!FFileFailureReported[static_cast<size_t>(Kind)]) {
                FFileFailureReported[static_cast<size_t>(Kind)] = true;
                LogMessageFmt("Error in TCameraManager.StartWMEncoderGraph - cannot create a "
                              "recording in %s (%s); the next one is tried later.",
                              folder.c_str(), reason.c_str());
                const TRecordingEvent failure{
                    false, std::string(), 0,
                    "a recording cannot be created in " + folder + " (" + reason + ")."};
                if (FRecordingEventCallback) {
                    FRecordingEventCallback(failure);
                }
                PublishRecordingEvent(FEvents, failure, constant, nullptr);
            }
            PauseAfterWriteFailure(Kind);
            return false;
        }
        FFileFailureReported[static_cast<size_t>(Kind)] = false;
        // The end report writes the information file beside the recording; it holds what it
        // needs itself, since the recorder may finish after the controller is gone. A recording
        // that holds no picture (it could not be written, or was stopped before its first
        // frame) gets no information file and no "finished" report, but an error.
        std::shared_ptr<TRecordingsInFlight> inFlight = FRecordingsInFlight;
        const char* endName = constant ? "OnConastantVideoEnd" : "OnMotionVideoEnd";
        TRecordingEventCallback callback = FRecordingEventCallback;
        std::shared_ptr<TEventStream> events = FEvents;
        auto report = [callback, events, constant](const TRecordingEvent& Event) {
            if (callback) {
                callback(Event);
            }
            PublishRecordingEvent(events, Event, constant, nullptr);
        };
        auto onEnd = [inFlight, folder, fileName, endName, report](TDateTime StartTime,
                                                                   double Duration) {
            bool saved = false;
            if (Duration > 0) {
                saved = OnVideoEnd(folder, fileName, StartTime, Duration, endName);
                report(TRecordingEvent{true, fileName, Duration, {}});
            } else {
                DiscardEmptyRecording(fileName);
                LogMessageFmt("TCameraManager.%s - %s holds no picture; it gets no information "
                              "file.",
                              endName, fileName.c_str());
                report(TRecordingEvent{true, fileName, 0,
                                       "the recording " + fileName + " holds no picture."});
            }
            std::lock_guard<std::mutex> guard(inFlight->Mutex);
            --inFlight->Count;
            inFlight->Files.erase(fileName);
            inFlight->Finished.notify_all();
            return saved;
        };
        {
            std::lock_guard<std::mutex> guard(FRecordingsInFlight->Mutex);
            ++FRecordingsInFlight->Count;
            FRecordingsInFlight->Files.insert(fileName);
        }
        if (constant) {
            FConstantResumePending = false;
        }
        recorder = new TWMEncodeGraphThread(static_cast<int32_t>(settings.InputWidth),
                                            static_cast<int32_t>(settings.InputHeight),
                                            settings.ColorSpace, kRecorderFPS, onEnd);
        recorder->AddVideoStream(settings);
        recorder->SetRecordingFormat(format);
        // A motion recording opens with the frames kept from before the motion that no
        // recording has yet (a recording right after another takes up where that one ended);
        // the file then starts at the first of them. The frame step keeps the next ones in a
        // new ring.
        if (!constant && FPreEventRing) {
            FPreEventRing->DropUpTo(FLastMotionFrameHanded);
        }
        const bool preEvent = !constant && FPreEventRing && FPreEventRing->Count() > 0 &&
                              recorder->SetPreEventFrames(std::move(FPreEventRing));
        const int64_t limit = FMaxRecordingDuration > 0 &&
                                      FMaxRecordingDuration < INT64_MAX - kRecorderLimitSlack
                                  ? FMaxRecordingDuration + kRecorderLimitSlack
                                  : FMaxRecordingDuration;
        recorder->InitEncoder(limit, fileName, std::move(file));
        FFileStartTime[static_cast<size_t>(Kind)] =
            MonotonicSeconds() -
            (preEvent ? recorder->PreEventFrameCount() / static_cast<double>(kRecorderFPS) : 0.0);
        if (!preEvent) {
            recorder->SetStartDateTime(startTime);
        }
        FLastFreeSpaceCheckMs[static_cast<size_t>(Kind)] = SteadyMs();
        // A motion recording's first frame is kept as a picture beside it (the frame step
        // hands it to the writer); the start event names it.
        std::shared_ptr<TSnapshotFile> snapshot;
        if (!constant && FEvents && FSnapshots) {
            snapshot = std::make_shared<TSnapshotFile>(TSnapshotWriter::PathFor(fileName));
            if (FSnapshotWanted) {
                FSnapshotWanted->Finish(false);
            }
            FSnapshotWanted = snapshot;
        }
        const TRecordingEvent started{false, fileName, 0, {}};
        if (FRecordingEventCallback) {
            FRecordingEventCallback(started);
        }
        PublishRecordingEvent(FEvents, started, constant, snapshot);
        return true;
    } catch (...) {
        LogMessage("Error in TCameraManager.StartWMEncoderGraph call...");
        return false;
    }
}

std::optional<TRecordingFormat> TCameraManager::RecordingFormatOf(int32_t Kind) {
    std::lock_guard<std::mutex> guard(FLock);
    const TWMEncodeGraphThread* recorder =
        Kind == 0 ? FConstantVideoLoggerThread : Kind == 1 ? FMotionVideoLoggerThread : nullptr;
    if (recorder == nullptr) {
        return std::nullopt;
    }
    return recorder->RecordingFormat();
}

bool TCameraManager::MakeRoomForRecording(int32_t Kind) {
    const size_t kind = static_cast<size_t>(Kind);
    const TDateTime now = Now();
    if (FWaitingForRoom[kind] && now < FRecorderRetryAt[kind]) {
        return false;
    }
    const std::string& folder = Kind == 0 ? FConstantLogFolder : FMotionLogFolder;
    const TRetentionLimits& limits = FAlarmSettings->RetentionLimits();
    const int64_t nowMs = SteadyMs();
    if (FLastRetentionPassMs[kind] != 0 &&
        nowMs - FLastRetentionPassMs[kind] < kRetentionPassIntervalMs &&
        HasRequiredFreeSpace(folder, limits, RoomForOneSecond(Kind))) {
        FNoRoomReported[kind] = false;
        FWaitingForRoom[kind] = false;
        return true;
    }
    FLastRetentionPassMs[kind] = nowMs;
    std::set<std::string> inUse;
    {
        std::lock_guard<std::mutex> guard(FRecordingsInFlight->Mutex);
        inUse = FRecordingsInFlight->Files;
    }
    const TRetentionResult result =
        ApplyRecordingRetention(folder, limits, inUse, RoomForOneSecond(Kind));
    if (!result.Room) {
        if (!FNoRoomReported[kind]) {
            FNoRoomReported[kind] = true;
            LogMessageFmt(
                "Error in TCameraManager.StartWMEncoderGraph - %llu MB free for %s, "
                "%llu MB wanted; no recording starts until there is room.",
                static_cast<unsigned long long>(result.FreeBytes / kMegabyte), folder.c_str(),
                static_cast<unsigned long long>(result.RequiredFreeBytes / kMegabyte));
        }
        FWaitingForRoom[kind] = true;
        FRecorderRetryAt[kind] = now + kRetryPause;
        if (Kind == 0) {
            FConstantResumePending = true;
        }
        return false;
    }
    FNoRoomReported[kind] = false;
    FWaitingForRoom[kind] = false;
    return true;
}

uint64_t TCameraManager::RoomForOneSecond(int32_t Kind) const {
    // A new file must hold at least a second of video besides its header; it is never started
    // on a disk that cannot take that.
    const TVideoStreamSettings& settings =
        Kind == 0 ? FConstantVideoSettings : FMotionVideoSettings;
    return settings.VideoBitrate / 8 + kFileHeaderRoom;
}

void TCameraManager::StopRecordingWhenDiskIsFull(int32_t Kind) {
    TWMEncodeGraphThread* recorder =
        Kind == 0 ? FConstantVideoLoggerThread : FMotionVideoLoggerThread;
    const size_t kind = static_cast<size_t>(Kind);
    const int64_t nowMs = SteadyMs();
    if (recorder == nullptr || nowMs - FLastFreeSpaceCheckMs[kind] < kFreeSpaceCheckIntervalMs) {
        return;
    }
    FLastFreeSpaceCheckMs[kind] = nowMs;
    const std::string& folder = Kind == 0 ? FConstantLogFolder : FMotionLogFolder;
    if (HasRequiredFreeSpace(folder, FAlarmSettings->RetentionLimits())) {
        return;
    }
    LogMessageFmt("TCameraManager.NextFrameDataFunction - the disk of %s keeps less free space "
                  "than the limits ask for; the recording ends here.",
                  folder.c_str());
    // The recording is closed while the disk still takes its end; the next one follows once
    // retention has made room.
    StopWMEncoderGraph(Kind);
    PauseAfterWriteFailure(Kind);
    FLastRetentionPassMs[kind] = 0;
}

void TCameraManager::PauseAfterWriteFailure(int32_t Kind) {
    const size_t kind = static_cast<size_t>(Kind);
    FWaitingForRoom[kind] = true;
    FRecorderRetryAt[kind] = Now() + kRetryPause;
    if (Kind == 0) {
        FConstantResumePending = true;
    }
}

void TCameraManager::HandOver(TWMEncodeGraphThread*& Recorder) {
    // The recorder closes its file on its own thread and frees itself.
    TWMEncodeGraphThread* recorder = Recorder;
    Recorder = nullptr;
    recorder->StopAndFreeEncoder();
}

bool TCameraManager::StopWMEncoderGraph(int32_t Kind) {
    try {
        if (Kind == 0) {
            if (FConstantVideoLoggerThread != nullptr) {
                HandOver(FConstantVideoLoggerThread);
            }
            FConstantResumePending = false;
        } else if (Kind == 1) {
            if (FMotionVideoLoggerThread != nullptr) {
                HandOver(FMotionVideoLoggerThread);
            }
            FMotionStartTime = 0;
            // A pending stop belongs to the recording that just ended, never to the next one.
            FWaitMinMotionDuration = false;
        }
        return true;
    } catch (...) {
        LogMessage("Error in TCameraManager.StopWMEncoderGraph call...");
        return false;
    }
}

void TCameraManager::StopRecordersAndWait() {
    // Taken out under the lock, stopped without it: stopping waits for the recorder's worker,
    // whose end report must never wait for this lock.
    TWMEncodeGraphThread* motion = nullptr;
    TWMEncodeGraphThread* constant = nullptr;
    {
        std::lock_guard<std::mutex> guard(FLock);
        motion = FMotionVideoLoggerThread;
        constant = FConstantVideoLoggerThread;
        FMotionVideoLoggerThread = nullptr;
        FConstantVideoLoggerThread = nullptr;
        FMotionStartTime = 0;
        FWaitMinMotionDuration = false;
    }
    for (TWMEncodeGraphThread* recorder : {motion, constant}) {
        if (recorder != nullptr) {
            recorder->StopEncoder();
            delete recorder;
        }
    }
    // Recordings stopped earlier are finishing on their own: their files and information
    // files are complete before the program goes on (and perhaps ends).
    std::unique_lock<std::mutex> lock(FRecordingsInFlight->Mutex);
    if (!FRecordingsInFlight->Finished.wait_for(
            lock, kFinishWait, [this] { return FRecordingsInFlight->Count <= 0; })) {
        LogMessage("Error in TCameraManager.Destroy - a recording was not finished in time.");
    }
}

bool TCameraManager::OnVideoEnd(const std::string& Folder, const std::string& FileName,
                                TDateTime StartTime, double Duration, const char* Name) {
    try {
        const TVideoLogInfo info{StartTime, Duration, FileName};
        if (!SaveVideoLogInfo(Folder, info, true)) {
            LogMessageFmt("Error in TCameraManager.%s - cannot write the information file of %s.",
                          Name, FileName.c_str());
            return false;
        }
        return true;
    } catch (...) {
        LogMessageFmt("Error in TCameraManager.%s call...", Name);
        return false;
    }
}

bool TCameraManager::OnMotionVideoEnd(TDateTime StartTime, double Duration) {
    return OnVideoEnd(FMotionLogFolder, std::string(), StartTime, Duration, "OnMotionVideoEnd");
}

bool TCameraManager::OnConastantVideoEnd(TDateTime StartTime, double Duration) {
    return OnVideoEnd(FConstantLogFolder, std::string(), StartTime, Duration,
                      "OnConastantVideoEnd");
}

bool TCameraManager::RefreshVideoLoggers() {
    try {
        std::lock_guard<std::mutex> guard(FLock);
        // Limits changed in the dialog count from the next file on.
        FLastRetentionPassMs = {0, 0};
        StopWMEncoderGraph(1);
        if (!FAlarmSettings->UseConstantVideoLogger()) {
            StopWMEncoderGraph(0);
        } else if (FConstantVideoLoggerThread == nullptr) {
            // A running recording goes on: closing the dialog must not cut it.
            StartWMEncoderGraph(0);
        }
        return true;
    } catch (...) {
        LogMessage("Error in TCameraManager.RefreshVideoLoggers call...");
        return false;
    }
}

bool TCameraManager::MotionDetectedCallback(int32_t ZoneIndex) {
    try {
        // Called from the frame step's detection, lock held. The recording follows the frame
        // as a whole (ApplyMotionToRecording), not each zone's report.
        if (ZoneIndex >= 0 && static_cast<size_t>(ZoneIndex) < FZoneMotion.size()) {
            FZoneMotion[static_cast<size_t>(ZoneIndex)] = 1;
        }
        return false;
    } catch (...) {
        LogMessage("Error in TCameraManager.MotionDetectedCallback call...");
        return false;
    }
}

bool TCameraManager::NoMotionDetectedCallback(int32_t ZoneIndex) {
    try {
        if (ZoneIndex >= 0 && static_cast<size_t>(ZoneIndex) < FZoneMotion.size()) {
            FZoneMotion[static_cast<size_t>(ZoneIndex)] = 0;
        }
        return false;
    } catch (...) {
        LogMessage("Error in TCameraManager.NoMotionDetectedCallback call...");
        return false;
    }
}

int32_t TCameraManager::PostEventSeconds() const {
    return FAlarmSettings->RetentionLimits().PostEventSeconds;
}

void TCameraManager::ApplyMotionToRecording(double FrameTime) {
    // A frame is a motion frame when any zone saw motion in it; only a frame in which no zone
    // did ends (or schedules the end of) the recording, so a quiet zone never chops the
    // recording of a busy one.
    bool motion = false;
    for (const uint8_t zone : FZoneMotion) {
        motion = motion || zone != 0;
    }
    if (motion) {
        FLastMotionTime = FrameTime;
        if (FMotionVideoLoggerThread == nullptr && FMotionStartTime == 0 &&
            FAlarmSettings->UseMotionVideoLogger()) {
            FMotionStartTime = Now();
            // Refused for want of room: the next motion frame asks again (the pause keeps that
            // cheap), so the recording starts as soon as there is room.
            if (!StartWMEncoderGraph(1) && FWaitingForRoom[1]) {
                FMotionStartTime = 0;
            }
        }
        return;
    }
    if (FMotionStartTime == 0) {
        return;
    }
    const bool longEnough = Now() - FMotionStartTime > kMinMotionDuration;
    const int32_t hold = PostEventSeconds();
    if (hold > 0) {
        // One activity is one recording: it goes on until no zone has seen motion for the
        // hold time (and it is 5 seconds long); motion within the hold continues it.
        if (longEnough && FrameTime - FLastMotionTime >= hold) {
            StopWMEncoderGraph(1);
        }
        return;
    }
    if (longEnough) {
        StopWMEncoderGraph(1);
    } else {
        FWaitMinMotionDuration = true;
    }
}

bool TCameraManager::PendingMotionStopFires() {
    if (FWaitMinMotionDuration && FMotionStartTime > 0 &&
        Now() - FMotionStartTime > kMinMotionDuration) {
        StopWMEncoderGraph(1);
        return true;
    }
    return false;
}

// Keeps the frame for the start of the next motion recording, in a ring of PreEventSeconds that
// is sized once per picture size, also while a recording runs: the next recording then opens
// with what came after this one's last frame. The recorders take the ring's copy, so the frame
// is converted once.
const uint8_t* TCameraManager::KeepPreEventFrame(const uint8_t* Data, int32_t Size,
                                                 double FrameTime) {
    const int32_t capacity =
        FAlarmSettings->UseMotionVideoLogger()
            ? FAlarmSettings->RetentionLimits().PreEventSeconds * kGridFramesPerSecond
            : 0;
    if (capacity <= 0) {
        FPreEventRing.reset();
        return nullptr;
    }
    if (!FPreEventRing) {
        FPreEventRing = std::make_unique<TPreEventRing>();
    }
    if (FPreEventRing->Width() != FVideoWidth || FPreEventRing->Height() != FVideoHeight ||
        FPreEventRing->Capacity() != capacity) {
        FPreEventRing->Configure(FVideoWidth, FVideoHeight, capacity);
    }
    return FPreEventRing->Push(Data, Size, FrameTime) ? FPreEventRing->NewestI420() : nullptr;
}

HRESULT TCameraManager::AddFrameTo(TWMEncodeGraphThread* Recorder, const uint8_t* Data,
                                   int32_t Size, const uint8_t* I420) {
    if (I420 != nullptr) {
        return Recorder->AddVideoFrameI420(
            I420, static_cast<int32_t>(I420FrameBytes(FVideoWidth, FVideoHeight)));
    }
    return Recorder->AddVideoFrame(Data, Size);
}

bool TCameraManager::RecordingFileFull(int32_t Kind, double FrameTime) {
    TWMEncodeGraphThread* recorder =
        Kind == 0 ? FConstantVideoLoggerThread : FMotionVideoLoggerThread;
    if (recorder == nullptr) {
        return false;
    }
    const double length = FrameTime - FFileStartTime[static_cast<size_t>(Kind)];
    return (FMaxRecordingDuration > 0 && length * 10000000.0 >= FMaxRecordingDuration) ||
           recorder->IsEOSDelivered();
}

void TCameraManager::RollOverMotionRecording() {
    // The recording of the activity goes on in the next file, which opens with this frame;
    // the full one encodes every frame it was handed before it closes.
    HandOver(FMotionVideoLoggerThread);
    if (!StartWMEncoderGraph(1)) {
        // No file for the rest: the next motion frame starts a recording when it can.
        FMotionStartTime = 0;
        FWaitMinMotionDuration = false;
    }
}

void TCameraManager::HandFrameToRecorders(const uint8_t* Data, int32_t Size, double FrameTime) {
    const uint8_t* i420 = KeepPreEventFrame(Data, Size, FrameTime);
    if (FConstantVideoLoggerThread == nullptr && FConstantResumePending) {
        if (!FAlarmSettings->UseConstantVideoLogger()) {
            FConstantResumePending = false;
        } else if (Now() >= FRecorderRetryAt[0]) {
            StartWMEncoderGraph(0);
        }
    }
    StopRecordingWhenDiskIsFull(0);
    StopRecordingWhenDiskIsFull(1);
    if (FConstantVideoLoggerThread != nullptr) {
        // A full file: the next one starts with this frame.
        if (RecordingFileFull(0, FrameTime)) {
            StopWMEncoderGraph(0);
            StartWMEncoderGraph(0);
        }
        if (FConstantVideoLoggerThread != nullptr) {
            const HRESULT result = AddFrameTo(FConstantVideoLoggerThread, Data, Size, i420);
            if (FAILED(result)) {
                LogMessageFmt(
                    "Error in TCameraManager.NextFrameDataFunction - "
                    "FConstantVideoLogger.AddVideoFrame exited with [0x%.8x].",
                    static_cast<uint32_t>(result));
                // A failed recording takes no more frames: it is finished with what it holds
                // instead of being told every frame again. The next file follows once there
                // is room.
                StopWMEncoderGraph(0);
                if (result != E_INVALIDARG) {
                    PauseAfterWriteFailure(0);
                }
            }
        }
    }
    if (RecordingFileFull(1, FrameTime)) {
        RollOverMotionRecording();
    }
    if (FMotionVideoLoggerThread != nullptr) {
        const HRESULT result = AddFrameTo(FMotionVideoLoggerThread, Data, Size, i420);
        FLastMotionFrameHanded = FrameTime;
        if (FAILED(result)) {
            LogMessageFmt(
                "Error in TCameraManager.NextFrameDataFunction - "
                "FMotionVideoLoggerThread.AddVideoFrame exited with [0x%.8x].",
                static_cast<uint32_t>(result));
            StopWMEncoderGraph(1);
            if (result != E_INVALIDARG) {  // not a frame of another size, a failed write
                PauseAfterWriteFailure(1);
            }
        }
    }
}
