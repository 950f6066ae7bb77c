#include "recording/WMEncodeGraphThread.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "platform/Diagnostics.h"
#include "platform/MonotonicClock.h"
#include "recording/AVSourceControl.h"
#include "recording/I420Conversion.h"
#include "recording/RecordingLength.h"
#include "recording/WMEncodeGraph.h"

namespace {

constexpr int32_t kCreated = 0;
constexpr int32_t kInitialised = 100;
constexpr int32_t kPrefilling = 200;
constexpr int32_t kRunning = 300;
constexpr int32_t kStopping = 400;
constexpr int32_t kFinished = 500;

// The longest a stopped recording waits for its source to take the frames still queued (a
// second of them at most, and those from before the start).
constexpr uint32_t kDrainTimeoutMs = 10000;

}  // namespace

TWMEncodeGraphThread::TWMEncodeGraphThread(int32_t VideoWidth, int32_t VideoHeight,
                                           const TGUID& ColorSpace, double FPS,
                                           TVideoEndCallback VideoEndCallback)
    : FExitEvent(false, false),
      FInVideoWidth(VideoWidth),
      FInVideoHeight(VideoHeight),
      FInColorSpace(ColorSpace),
      FInFPS(FPS),
      FVideoEndCallback(std::move(VideoEndCallback)) {
    // The queue exists from the start, so the frames that come while the worker builds the
    // graph wait in it instead of being lost.
    FVideoBuffQueue = std::make_unique<TBuffQueueEx>(kBuffersCount, QueuedFrameBytes());
    FThread.Start("wm-encoder", [this] { Execute(); });
}

TWMEncodeGraphThread::~TWMEncodeGraphThread() {
    try {
        // Destroyed without a stop: stop and wait like StopEncoder.
        if (FThread.Running()) {
            RequestStop(TStopMode::Wait);
            FThread.Join();
        }
    } catch (...) {
        LogMessage("Error in TWMEncodeGraphThread.Destroy call...");
    }
}

int32_t TWMEncodeGraphThread::FrameBytes() const {
    const int64_t bytesPerPixel = FInColorSpace == MEDIASUBTYPE_YUY2 ? 2 : 4;
    return static_cast<int32_t>(static_cast<int64_t>(FInVideoWidth) * FInVideoHeight *
                                bytesPerPixel);
}

int32_t TWMEncodeGraphThread::QueuedFrameBytes() const {
    return QueuesI420() ? static_cast<int32_t>(I420FrameBytes(FInVideoWidth, FInVideoHeight))
                        : FrameBytes();
}

HRESULT TWMEncodeGraphThread::AddVideoStream(const TVideoStreamSettings& VideoStreamSettings) {
    try {
        FVideoStreamSettings = VideoStreamSettings;
        FVideoStreamSettings.NextFrameFunction = [this](uint8_t*& Data, int32_t& Size) {
            return GetNextVideoFrameFunction(Data, Size);
        };
        FVideoStreamSettings.ReleaseFrameFunction = [this] { return ReleaseVideoFrameFunction(); };
        return S_OK;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraphThread.AddVideoStream call...");
        return E_FAIL;
    }
}

HRESULT TWMEncodeGraphThread::AddAudioStream(const TAudioStreamSettings& AudioStreamSettings) {
    try {
        FAudioStreamSettings = AudioStreamSettings;
        return S_OK;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraphThread.AddAudioStream call...");
        return E_FAIL;
    }
}

bool TWMEncodeGraphThread::InitEncoder(int64_t Duration, const std::string& DestinationFile,
                                       TUniqueFd File) {
    try {
        FDuration = Duration;
        FDestinationFile = DestinationFile;
        FDestinationFd = std::move(File);
        FFileGiven = true;
        int32_t expected = kCreated;
        FStatus.compare_exchange_strong(expected, kInitialised);
        FExitEvent.SetEvent();
        return true;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraphThread.InitEncoder call...");
        return false;
    }
}

HRESULT TWMEncodeGraphThread::AddVideoFrame(const void* Data, int32_t Size) {
    return QueueVideoFrame(static_cast<const uint8_t*>(Data), Size, false);
}

HRESULT TWMEncodeGraphThread::AddVideoFrameI420(const uint8_t* Data, int32_t Size) {
    return QueueVideoFrame(Data, Size, true);
}

HRESULT TWMEncodeGraphThread::QueueVideoFrame(const uint8_t* Data, int32_t Size, bool IsI420) {
    try {
        if (FFailed) {
            return E_FAIL;
        }
        if (FStatus >= kStopping) {
            return S_FALSE;
        }
        const int32_t expectedSize = IsI420 ? QueuedFrameBytes() : FrameBytes();
        if (Data == nullptr || Size != expectedSize || (IsI420 && !QueuesI420())) {
            // The camera no longer delivers the pictures this file was set up for: the
            // recording ends with what it has (a new recorder takes the new size).
            if (!FFrameSizeReported.exchange(true)) {
                LogMessageFmt(
                    "Error in TWMEncodeGraphThread.AddVideoFrame - frame of %d bytes, the "
                    "recording takes %d.",
                    static_cast<int>(Size), static_cast<int>(expectedSize));
            }
            OnGraphFailure();
            return E_INVALIDARG;
        }
        if (IsEOSDelivered()) {
            return S_FALSE;  // the file is full
        }
        int32_t queued = 0;
        {
            std::lock_guard lock(FQueueLock);
            if (!FVideoBuffQueue) {
                return S_FALSE;
            }
            TBuffer* buffer = nullptr;
            if (FVideoBuffQueue->GetEmptyBuffer(buffer, kQueueTimeoutMs)) {
                buffer->Empty();
                if (IsI420) {
                    buffer->AddData(Data, Size);
                } else if (QueuesI420()) {
                    // Converted straight into the queue's buffer.
                    ConvertRgb32BottomUpToI420(Data, FInVideoWidth, FInVideoHeight,
                                               buffer->AppendRoom(QueuedFrameBytes()));
                } else {
                    buffer->AddData(Data, Size);
                }
                FVideoBuffQueue->AddBuffer();
            } else {
                ++FDroppedFrames;
            }
            queued = FVideoBuffQueue->FullCount();
        }
        StartRunningWhenPrefilled(queued);
        return S_OK;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraphThread.AddVideoFrame call...");
        return E_FAIL;
    }
}

void TWMEncodeGraphThread::StartRunningWhenPrefilled(int32_t Queued) {
    if (FStatus != kPrefilling || Queued < kPrefillFrames) {
        return;
    }
    int32_t expected = kPrefilling;
    if (FStatus.compare_exchange_strong(expected, kRunning)) {
        FExitEvent.SetEvent();
    }
}

HRESULT TWMEncodeGraphThread::AddAudioFrame(const void* Data, int32_t Size) {
    try {
        const int32_t status = FStatus;
        if (status != kPrefilling && status != kRunning) {
            return S_FALSE;
        }
        if (Data == nullptr || Size < 0 || Size > kAudioBufferSize) {
            return E_INVALIDARG;
        }
        std::lock_guard lock(FQueueLock);
        if (!FAudioBuffQueue) {
            return S_FALSE;
        }
        TBuffer* buffer = nullptr;
        if (FAudioBuffQueue->GetEmptyBuffer(buffer, kQueueTimeoutMs)) {
            buffer->Empty();
            buffer->AddData(Data, Size);
            FAudioBuffQueue->AddBuffer();
        }
        return S_OK;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraphThread.AddAudioFrame call...");
        return E_FAIL;
    }
}

bool TWMEncodeGraphThread::IsEOSDelivered() {
    // Only a file that reached its duration is full; the streams also end when the recording
    // is stopped or has failed, and that is no reason to open the next file.
    if (FFailed || FStatus >= kStopping) {
        return false;
    }
    std::lock_guard lock(FEncoderLock);
    return FSourceControl && FSourceControl->IsEOSDelivered() == S_OK;
}

bool TWMEncodeGraphThread::RequestStop(TStopMode mode) {
    int32_t status = FStatus;
    while (status < kStopping && !FStatus.compare_exchange_weak(status, kStopping)) {
    }
    // The worker decides whether to free the object only under this lock, so nothing here is
    // touched after the worker may have gone.
    std::lock_guard lock(FStopLock);
    FStopMode = mode;
    FExitEvent.SetEvent();
    return true;
}

bool TWMEncodeGraphThread::StopAndFreeEncoder() {
    try {
        return RequestStop(TStopMode::Free);
    } catch (...) {
        LogMessage("Error in TWMEncodeGraphThread.StopAndFreeEncoder call...");
        return false;
    }
}

bool TWMEncodeGraphThread::StopEncoder() {
    try {
        RequestStop(TStopMode::Wait);
        FThread.Join();
        return true;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraphThread.StopEncoder call...");
        return false;
    }
}

bool TWMEncodeGraphThread::WaitForStatus(int32_t status) {
    for (;;) {
        if (FStatus == status) {
            return true;
        }
        if (StopRequested() || FFailed) {
            return false;
        }
        FExitEvent.WaitFor(INFINITE);
    }
}

void TWMEncodeGraphThread::OnGraphFailure() {
    FFailed = true;
    FExitEvent.SetEvent();
    FDrainedEvent.SetEvent();
}

bool TWMEncodeGraphThread::SetPreEventFrames(std::unique_ptr<TPreEventRing> Ring) {
    try {
        const int64_t frameLength = FVideoStreamSettings.InputTimePerFrame;
        if (!Ring || Ring->Count() == 0 || Ring->Width() != FInVideoWidth ||
            Ring->Height() != FInVideoHeight || !QueuesI420() || frameLength <= 0 || FStatus != 0) {
            return false;
        }
        // The kept frames carry monotonic times (seconds), so a step of the wall clock never
        // stretches them. Only the ring's span before its last frame is used (a frame older
        // than that, from before a pause of the camera, would fill the gap with a still
        // picture); each grid slot from the first used frame's time on takes the newest frame
        // kept by then (half a frame of slack for the camera's jitter).
        const double slot = static_cast<double>(frameLength) / 10000000.0;
        const double last = Ring->TimeAt(Ring->Count() - 1);
        const double earliest = last - (Ring->Capacity() - 1) * slot - slot / 2;
        int32_t frame = 0;
        while (frame + 1 < Ring->Count() && Ring->TimeAt(frame) < earliest) {
            ++frame;
        }
        const double first = Ring->TimeAt(frame);
        const auto slots = std::clamp<int32_t>(
            static_cast<int32_t>(std::llround((last - first) / slot)) + 1, 1, Ring->Capacity());
        std::vector<int32_t> order;
        order.reserve(static_cast<size_t>(slots));
        for (int32_t s = 0; s < slots; ++s) {
            const double due = first + (s + 0.5) * slot;
            while (frame + 1 < Ring->Count() && Ring->TimeAt(frame + 1) <= due) {
                ++frame;
            }
            order.push_back(frame);
        }
        FPreEventOrder = std::move(order);
        FPreEventNext = 0;
        FPreEvent = std::move(Ring);
        FVideoStreamSettings.LeadTime = static_cast<int64_t>(FPreEventOrder.size()) * frameLength;
        // The file starts as long before now as its first frame was kept.
        FStartDateTime = Now() - (MonotonicSeconds() - first) * 1000.0 / kMillisecondsPerDay;
        return true;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraphThread.SetPreEventFrames call...");
        return false;
    }
}

bool TWMEncodeGraphThread::GetNextVideoFrameFunction(uint8_t*& Data, int32_t& Size) {
    try {
        if (FVideoFramesEncoded == 0 && std::fabs(FStartDateTime.load()) < 1e-6) {
            FStartDateTime = Now();
        }
        ++FVideoFramesEncoded;
        FPreEventServed = false;
        if (FPreEvent && FPreEventNext >= FPreEventOrder.size()) {
            // Every kept frame is in the file (the source copied the last one before asking
            // again): the ring's memory goes back while the camera fills the next one.
            FPreEvent.reset();
        }
        if (FPreEvent && FPreEventNext < FPreEventOrder.size()) {
            // The source only reads the picture it is handed: the ring's own I420 frame.
            Data = const_cast<uint8_t*>(FPreEvent->I420At(FPreEventOrder[FPreEventNext++]));
            Size = QueuedFrameBytes();
            FPreEventServed = true;
            return true;
        }
        if (!FVideoBuffQueue) {
            return false;
        }
        if (FDraining && FVideoBuffQueue->FullCount() - FInHand <= 0) {
            // Stopped, and every frame handed to the recorder has been taken: the end.
            FDrainedEvent.SetEvent();
            Size = kEndOfFrames;
            return false;
        }
        TBuffer* buffer = nullptr;
        if (FVideoBuffQueue->GetFullBuffer(buffer, kQueueTimeoutMs)) {
            ++FInHand;
            Data = buffer->Head();
            Size = buffer->Len();
            return true;
        }
        return false;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraphThread.GetNextVideoFrameFunction call...");
        return false;
    }
}

bool TWMEncodeGraphThread::ReleaseVideoFrameFunction() {
    try {
        if (FPreEventServed) {
            return true;  // the picture came from before the start, not from the queue
        }
        // With the consumer caught up, one buffer stays counted as full: at most nine frames
        // can wait from then on.
        if (FVideoBuffQueue && FVideoBuffQueue->FullCount() > 1 && FInHand > 0) {
            FVideoBuffQueue->ReleaseBuffer();
            --FInHand;
        }
        return true;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraphThread.ReleaseVideoFrameFunction call...");
        return false;
    }
}

void TWMEncodeGraphThread::RunRecording() {
    FEncoder = std::make_unique<TWMEncodeGraph>();
    if (!WaitForStatus(kInitialised)) {
        return;  // stopped before there was anything to record
    }
    {
        std::lock_guard lock(FQueueLock);
        FAudioBuffQueue = std::make_unique<TBuffQueueEx>(kBuffersCount, kAudioBufferSize);
    }

    FVideoStreamSettings.CodecIndex = 0;
    uint32_t codecs = 0;
    if (SUCCEEDED(FEncoder->GetVideoCodecsCount(codecs))) {
        for (uint32_t i = 0; i < codecs; ++i) {
            std::string name;
            if (SUCCEEDED(FEncoder->GetVideoCodecName(i, name)) && name == kPreferredCodec) {
                FVideoStreamSettings.CodecIndex = i;
                break;
            }
        }
    }

    if (QueuesI420()) {
        FVideoStreamSettings.ColorSpace = MEDIASUBTYPE_I420;
    }
    FEncoder->AddVideoStream(FVideoStreamSettings);
    FEncoder->SetDuration(FDuration);
    FEncoder->SetRecordingFormat(FRecordingFormat);
    if (FAILED(FEncoder->SetDestinationFile(FDestinationFile, std::move(FDestinationFd)))) {
        // The graph has logged why; there is no file to record into.
        FFailed = true;
        return;
    }
    FEncoder->SetFailureHandler([this] { OnGraphFailure(); });
    {
        std::lock_guard lock(FEncoderLock);
        FSourceControl = FEncoder->AVSourceControl();
    }

    int32_t expected = kInitialised;
    FStatus.compare_exchange_strong(expected, kPrefilling);
    // The frames may have come while the graph was built.
    StartRunningWhenPrefilled(QueuedFrames());
    if (WaitForStatus(kRunning)) {
        FEncoder->Play();
        FPlaying = true;
        WaitForStatus(kFinished);  // only the stop or a failure end this wait
    }
}

int32_t TWMEncodeGraphThread::QueuedFrames() {
    std::lock_guard lock(FQueueLock);
    return FVideoBuffQueue ? FVideoBuffQueue->FullCount() : 0;
}

void TWMEncodeGraphThread::DrainQueuedFrames() {
    if (FFailed || !FEncoder || !FSourceControl) {
        return;
    }
    // Before the graph played, the source has not touched the kept frames yet.
    if (!FPlaying && QueuedFrames() == 0 && !(FPreEvent && !FPreEventOrder.empty())) {
        return;  // stopped before the first frame: nothing to keep
    }
    FDraining = true;
    if (!FPlaying) {
        FEncoder->Play();
        FPlaying = true;
    }
    // The source takes the queued frames at their pace (a tenth of a second each) and those
    // from before the start at once; a graph that stalls ends the wait all the same.
    if (FDrainedEvent.WaitFor(kDrainTimeoutMs) != WAIT_OBJECT_0) {
        LogMessageFmt("Error in TWMEncodeGraphThread.Stop - %s: the last queued frames were "
                      "not taken in time.",
                      FDestinationFile.c_str());
    }
}

void TWMEncodeGraphThread::FinishRecording() {
    if (FDroppedFrames > 0) {
        LogMessageFmt("TWMEncodeGraphThread - %s: %lld frames found the queue full and are not "
                      "in the file.",
                      FDestinationFile.c_str(), static_cast<long long>(FDroppedFrames.load()));
    }
    const bool fileSet = FEncoder && FEncoder->IsFileNameSet() && FSourceControl;
    if (FEncoder) {
        FEncoder->Stop();
        FEncoder->EjectFile();
        {
            std::lock_guard lock(FEncoderLock);
            FSourceControl.reset();
        }
        FEncoder.reset();
    }
    FDestinationFd.Reset();
    // The length a player shows for the file: a file at one picture a second holds whole
    // seconds, however few camera frames went into it. No file (it could not be made, or held
    // nothing and was removed) is a length of 0.
    double duration = 0;
    if (!fileSet || !ReadRecordingLength(FDestinationFile, duration)) {
        duration = 0;
    }
    // Reported once for every recorder that was given a file, also when it failed: whoever
    // counts the recordings in flight is told that this one is over.
    if (FFileGiven && FVideoEndCallback) {
        FVideoEndCallback(FStartDateTime, duration);
    }
    std::lock_guard lock(FQueueLock);
    FVideoBuffQueue.reset();
    FAudioBuffQueue.reset();
    FStatus = kFinished;
}

void TWMEncodeGraphThread::Execute() {
    try {
        RunRecording();
        DrainQueuedFrames();
    } catch (...) {
        LogMessage("Error in TWMEncodeGraphThread.Execute call...");
        FFailed = true;
    }
    try {
        FinishRecording();
    } catch (...) {
        LogMessage("Error in TWMEncodeGraphThread.Execute call...");
        FFailed = true;
        FStatus = kFinished;
    }
    // A recording that ended early waits for its stop: only the caller's stop decides whether
    // the object frees itself.
    while (!StopRequested()) {
        FExitEvent.WaitFor(INFINITE);
    }
    bool freeSelf = false;
    {
        std::lock_guard lock(FStopLock);
        freeSelf = FStopMode == TStopMode::Free;
    }
    if (freeSelf) {
        FThread.Detach();
        delete this;
    }
}
