#pragma once

#include <gst/gst.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/GstHandle.h"
#include "platform/HResult.h"
#include "videolog/PlaybackAudioBranch.h"
#include "videolog/PlaybackFilter.h"
#include "videolog/PlaybackVideoBranch.h"

class TPlaybackPreferredFilters;

// One opened file of the playback filter: the pipeline of uridecodebin (one per program of a
// transport stream with several programs, since tsdemux plays one program at a time), the
// video and audio branches its decoded pads were linked to, and the bus reports.
//
// Threads:
// - Every public method runs on the filter's caller thread. Waits call the pump every 20 ms;
//   the filter makes sure no other state-changing call comes in while one waits.
// - pad-added, deep-element-added and autoplug-sort run on streaming threads while the file
//   prerolls. They build branches without a lock and append them under FLock.
// - The bus sync handler runs on whichever thread posts a message (streaming threads, and the
//   caller's thread during state changes). It takes FLock only to find the branch that owns a
//   level report, and calls nothing in GStreamer while holding it.
// FLock guards FVideo, FAudio, FLate*, FAcceptStreams, FStreamIndex and FErrorText. FVideo and
// FAudio change only while streams are accepted (during the preroll of Open) and in the
// destructor after the pipeline is down, so the caller thread reads them without the lock
// afterwards; a branch still being built when Open closes the lists goes to the FLate* lists,
// which only keep it alive.
// FEndOfStream, FErrorReported and FStepsDone are atomics written by the bus handler;
// FWake wakes a step wait.
class TPlaybackSession {
public:
    using TPump = std::function<void()>;

    ~TPlaybackSession();
    TPlaybackSession(const TPlaybackSession&) = delete;
    TPlaybackSession& operator=(const TPlaybackSession&) = delete;

    // Builds and prerolls the pipeline for FileName (already checked to be a readable,
    // non-empty regular file). Null, with the reason in `Failure`, when the file does not
    // preroll in time or holds no video and no audio; nothing is left running then.
    static std::unique_ptr<TPlaybackSession> Open(const std::string& FileName,
                                                  TPlaybackPreferredFilters& Preferred,
                                                  const TPump& Pump, std::string& Failure);

    HRESULT GetDuration(int64_t& Duration);
    HRESULT GetPosition(int64_t& Position);
    HRESULT Play(const TPump& Pump);
    HRESULT Pause(const TPump& Pump);
    HRESULT Stop(const TPump& Pump);
    HRESULT SetPosition(int64_t Position, const TPump& Pump);
    HRESULT StepFrames(uint32_t Count, const TPump& Pump);
    int64_t AvgTimePerFrame() const;

    const std::vector<std::unique_ptr<TPlaybackVideoBranch>>& Windows() const { return FVideo; }
    const std::vector<std::unique_ptr<TPlaybackAudioBranch>>& Volumes() const { return FAudio; }

    bool EndOfStream() const { return FEndOfStream; }
    bool ErrorReported() const { return FErrorReported; }
    GstElement* Pipeline() const { return FPipeline.Get(); }

private:
    TPlaybackSession() = default;

    enum class TWaitResult { Done, Failed, TimedOut };
    // Repeats `Slice` (which blocks for at most about 20 ms and answers whether the wait is
    // over) and the pump until it answers Done or Failed, or `BoundMs` have passed.
    TWaitResult WaitSliced(int BoundMs, const TPump& Pump,
                           const std::function<TWaitResult()>& Slice);
    // Waits for the pipeline to reach the state it was sent to (a preroll after a seek).
    TWaitResult WaitForState(int BoundMs, const TPump& Pump, bool FailOnError);
    bool SeekTo(int64_t Position);
    // Whether a window shows a picture more than a frame after `Position` once a seek there
    // has prerolled.
    bool LandedLate(int64_t Position) const;
    void SetMetering(bool On, bool Reset);
    GstState TargetState() const;

    // One uridecodebin; `Program` is the transport stream program it is set to play (0: the
    // file has no programs).
    struct TDecoder {
        TPlaybackSession* Session;
        uint32_t Program;
    };
    void AddDecoder(const std::string& Uri, uint32_t Program, TPlaybackPreferredFilters& Preferred);
    void LinkToFakeSink(GstPad* Pad);
    void OnPadAdded(GstPad* Pad, uint32_t Program);
    // The stream time of the first picture (transport streams start later than 0), taken as
    // the start the positions count from.
    void TakeStartOffset();
    void OnBusMessage(GstMessage* Message);
    static void PadAdded(GstElement* Element, GstPad* Pad, gpointer Decoder);
    static void DeepElementAdded(GstBin* Bin, GstBin* SubBin, GstElement* Element,
                                 gpointer Program);
    static GstBusSyncReply BusSyncHandler(GstBus* Bus, GstMessage* Message, gpointer Self);

    TGstElementHandle FPipeline;
    TGstBusHandle FBus;
    // Handed to the decoders' signals; fixed once the pipeline is built.
    std::vector<std::unique_ptr<TDecoder>> FDecoders;

    mutable std::mutex FLock;
    std::vector<std::unique_ptr<TPlaybackVideoBranch>> FVideo;
    std::vector<std::unique_ptr<TPlaybackAudioBranch>> FAudio;
    std::vector<std::unique_ptr<TPlaybackVideoBranch>> FLateVideo;
    std::vector<std::unique_ptr<TPlaybackAudioBranch>> FLateAudio;
    bool FAcceptStreams = true;
    uint32_t FStreamIndex = 0;
    std::string FErrorText;

    std::atomic<bool> FEndOfStream{false};
    std::atomic<bool> FErrorReported{false};
    std::atomic<int64_t> FStepsDone{0};
    std::mutex FWakeLock;
    std::condition_variable FWake;

    // Caller thread only.
    GstState FTarget = GST_STATE_PAUSED;
    bool FSteppedSinceSeek = false;
    int64_t FDuration = 0;
    int64_t FLastPosition = 0;
    int64_t FStartOffset = 0;
};
