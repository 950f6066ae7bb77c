#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "platform/HResult.h"
#include "platform/MediaType.h"
#include "platform/NamedThread.h"
#include "platform/Sync.h"
#include "platform/UniqueFd.h"
#include "recording/BuffQueueEx.h"
#include "recording/PreEventRing.h"
#include "recording/RecordingFormat.h"
#include "recording/RecordingTypes.h"

class TWMEncodeGraph;
class IAVSourceControl;

// Records one WMV or MP4 file (SetRecordingFormat). The caller (the camera's frame callback) pushes copies of its frames
// into a queue of ten frame buffers and never waits more than 10 ms; a worker thread owns the
// encoding graph, whose source pulls the frames out of the queue at its own pace. When the
// caller stops the recording, the source first takes every frame still queued, then the worker
// finishes the file and reports the file's start time and length through the end callback (on
// the worker thread).
//
// Frames are queued from construction on, also while the worker builds the graph, so the file
// holds every frame it was handed from the first on (unless the queue was full for 10 ms).
//
// Status: 0 created, 100 settings complete (the worker builds the graph), 200 graph built and
// frames queued, 300 kPrefillFrames queued and the graph running, 400 stop requested (the
// queued frames are being encoded), 500 file closed, end callback done, queues freed.
//
// Frames kept from before the start (SetPreEventFrames, between AddVideoStream and InitEncoder)
// open the file: they are delivered first, on the frame grid of their own time stamps (a frame
// missing from the grid repeats the one before, as the queue does), and the file starts at the
// first one's time.
//
// Use: construct, AddVideoStream, InitEncoder, set StartDateTime, AddVideoFrame per frame
// (polling IsEOSDelivered for a file that is full), then either StopAndFreeEncoder (returns at
// once; the object finishes and frees itself, the caller must not touch it again) or
// StopEncoder followed by delete (waits until the file is closed and the callback has run).
//
// The worker's waits end on their status or on a stop, whichever comes first, so a stop at any
// time ends the recording: stopped before its graph ran, the recording still plays out the
// frames it was handed (and those from before the start); with none, the end callback reports a
// duration of 0. A graph that cannot be built (destination, stream
// values), a file that cannot be written or a frame of another size ends the recording early;
// AddVideoFrame then answers E_FAIL and the object waits for its stop.
//
// Every recorder that was given a file calls its end callback exactly once, whatever happened:
// the duration is the play length the closed file holds (read back from the file), 0 when no
// file was made or it holds no frame.
class TWMEncodeGraphThread {
public:
    TWMEncodeGraphThread(int32_t VideoWidth, int32_t VideoHeight, const TGUID& ColorSpace,
                         double FPS, TVideoEndCallback VideoEndCallback);
    ~TWMEncodeGraphThread();
    TWMEncodeGraphThread(const TWMEncodeGraphThread&) = delete;
    TWMEncodeGraphThread& operator=(const TWMEncodeGraphThread&) = delete;

    HRESULT AddVideoStream(const TVideoStreamSettings& VideoStreamSettings);
    HRESULT AddAudioStream(const TAudioStreamSettings& AudioStreamSettings);
    // File is DestinationFile already created as a new file (see CreateNewFile); without one
    // the graph creates it.
    bool InitEncoder(int64_t Duration, const std::string& DestinationFile,
                     TUniqueFd File = TUniqueFd());
    // Takes the frames kept before the start (of this recorder's input size, kept as I420)
    // and sets the start time to the first one's; false, and nothing taken, for an empty ring
    // or one of another size.
    bool SetPreEventFrames(std::unique_ptr<TPreEventRing> Ring);
    // The file format written (before InitEncoder; the worker reads it once the settings are
    // complete); WMV unless said otherwise.
    void SetRecordingFormat(TRecordingFormat Format) { FRecordingFormat = Format; }
    TRecordingFormat RecordingFormat() const { return FRecordingFormat; }
    // How many frames the pre-event frames fill on the frame grid.
    int32_t PreEventFrameCount() const { return static_cast<int32_t>(FPreEventOrder.size()); }
    TDateTime StartDateTime() const { return FStartDateTime; }
    void SetStartDateTime(TDateTime Value) { FStartDateTime = Value; }

    // S_OK: queued, or dropped after a 10 ms wait for room. S_FALSE: not recording (after a
    // stop, after the file is full). E_INVALIDARG: a frame of another
    // size than the recorder's, which ends the recording. E_FAIL: the recording has failed.
    HRESULT AddVideoFrame(const void* Data, int32_t Size);
    // The same for a frame that is already I420 of the recorder's input size (Size bytes, as
    // I420FrameBytes gives): copied into the queue without converting again. Only for a
    // recorder whose input is RGB32 (its queue holds I420).
    HRESULT AddVideoFrameI420(const uint8_t* Data, int32_t Size);
    HRESULT AddAudioFrame(const void* Data, int32_t Size);
    // True once the source has delivered end-of-stream because the file reached its duration.
    bool IsEOSDelivered();

    bool StopAndFreeEncoder();
    bool StopEncoder();

    int32_t Status() const { return FStatus; }
    // Frames that found the queue full for 10 ms and are not in the file.
    int64_t DroppedFrames() const { return FDroppedFrames; }
    int64_t VideoFramesEncoded() const { return FVideoFramesEncoded; }

    static constexpr int32_t kBuffersCount = 10;
    // Frames queued before the graph starts to take them: a camera frame that comes a little
    // late then still finds its slot, and the rest of the queue takes a burst.
    static constexpr int32_t kPrefillFrames = 3;
    static constexpr int32_t kAudioBufferSize = 1048576;
    static constexpr int64_t kQueueTimeoutMs = 10;
    static constexpr const char* kPreferredCodec = "Windows Media Video 9";

private:
    TRecordingFormat FRecordingFormat = TRecordingFormat::Wmv;
    enum class TStopMode { None, Free, Wait };

    void Execute();
    void RunRecording();
    // After a stop: lets the source take every frame still queued (playing the graph if the
    // stop came before it ran), so that nothing handed to the recorder is lost.
    void DrainQueuedFrames();
    int32_t QueuedFrames();
    void FinishRecording();
    HRESULT QueueVideoFrame(const uint8_t* Data, int32_t Size, bool IsI420);
    // Status 200 to 300 once kPrefillFrames wait (caller's thread or worker; Queued is the
    // queue's count of waiting frames, read under FQueueLock).
    void StartRunningWhenPrefilled(int32_t Queued);
    // Sleeps until `status` is reached, a stop was requested or the recording failed; true
    // when the status was reached.
    bool WaitForStatus(int32_t status);
    bool StopRequested() const { return FStopMode != TStopMode::None; }
    bool RequestStop(TStopMode mode);
    bool GetNextVideoFrameFunction(uint8_t*& Data, int32_t& Size);
    bool ReleaseVideoFrameFunction();
    void OnGraphFailure();
    int32_t FrameBytes() const;
    // RGB32 frames wait in the queue as I420: 12 bits a pixel instead of 32, and the encoder
    // takes I420 without converting again.
    bool QueuesI420() const { return FInColorSpace == MEDIASUBTYPE_RGB32; }
    int32_t QueuedFrameBytes() const;

    TEvent FExitEvent;
    std::unique_ptr<TWMEncodeGraph> FEncoder;
    std::atomic<TDateTime> FStartDateTime{0};
    std::atomic<int64_t> FVideoFramesEncoded{0};
    std::atomic<int64_t> FAudioFramesEncoded{0};
    int32_t FInVideoWidth;
    int32_t FInVideoHeight;
    TGUID FInColorSpace;
    double FInFPS;
    TVideoEndCallback FVideoEndCallback;
    TVideoStreamSettings FVideoStreamSettings;
    TAudioStreamSettings FAudioStreamSettings;
    std::unique_ptr<TBuffQueueEx> FVideoBuffQueue;
    std::unique_ptr<TBuffQueueEx> FAudioBuffQueue;
    int64_t FDuration = 0;
    std::string FDestinationFile;
    TUniqueFd FDestinationFd;
    std::atomic<bool> FFileGiven{false};
    std::atomic<int32_t> FStatus{0};

    // The queues are used by the caller's thread while the worker may free them.
    std::mutex FQueueLock;
    // The source control is read by the caller's thread while the worker may free the graph.
    std::mutex FEncoderLock;
    std::shared_ptr<IAVSourceControl> FSourceControl;
    std::atomic<bool> FFailed{false};
    std::atomic<int64_t> FDroppedFrames{0};
    // Whether the worker has played the graph (worker only).
    bool FPlaying = false;
    // The drain after a stop: set by the worker, read by the source, which sets FDrainedEvent
    // when it has handed out the last queued frame (a failure sets it too).
    std::atomic<bool> FDraining{false};
    TEvent FDrainedEvent{true, false};
    // Queue buffers the source has taken and not yet given back (source thread only).
    int32_t FInHand = 0;
    std::atomic<bool> FFrameSizeReported{false};
    // Frames from before the start, read by the source's thread only once the graph runs (set
    // before InitEncoder), which frees the ring once every kept frame is served: which ring
    // frame fills each grid slot, the next slot, and whether the picture handed out came from
    // the ring (the queue's buffer is not released for it).
    std::unique_ptr<TPreEventRing> FPreEvent;
    std::vector<int32_t> FPreEventOrder;
    size_t FPreEventNext = 0;
    bool FPreEventServed = false;
    // Who stops the recording, and whether the object then frees itself.
    std::mutex FStopLock;
    std::atomic<TStopMode> FStopMode{TStopMode::None};
    TNamedThread FThread;
};
