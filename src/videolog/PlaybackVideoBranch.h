#pragma once

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/GstHandle.h"
#include "platform/HResult.h"
#include "videolog/PlaybackFilter.h"

// One video window of the playback filter: the decoded stream runs through
// queue ! videoconvert ! videoscale ! capsfilter(BGRx) ! appsink, and every picture the sink
// shows (the prerolled one, each stepped one and each played one) is copied into a
// TPlaybackFrame for the frame callback.
//
// Threads: SetFrameCallback and SetWindowSize come from the filter's caller; frames arrive on
// the stream's streaming thread. FLock guards FCallback, FWindowWidth, FWindowHeight, FLastSample,
// FSamplesShown and FDelivering; the callback is copied under the lock and called without it,
// and SetFrameCallback waits (FDelivered) until no call of a previous callback is running. A callback
// set after a picture was shown (the prerolled one, usually) gets that picture at once, on the
// caller's thread, unless a newer one came in meanwhile. The frame-interval figures are
// atomics written by the streaming thread.
class TPlaybackVideoBranch final : public TPlaybackVideoWindow {
public:
    // The stream as uridecodebin exposed it: its raw caps, program and stream identifier.
    TPlaybackVideoBranch(const GstCaps* StreamCaps, uint32_t ProgramID, uint32_t VideoPID);
    ~TPlaybackVideoBranch() override;
    TPlaybackVideoBranch(const TPlaybackVideoBranch&) = delete;
    TPlaybackVideoBranch& operator=(const TPlaybackVideoBranch&) = delete;

    // Adds the elements to `Pipeline`, links `DecodedPad` into them and brings them to the
    // pipeline's state. False (elements removed again) when that fails.
    bool Attach(GstBin* Pipeline, GstPad* DecodedPad);

    void SetFrameCallback(TPlaybackFrameCallback Callback) override;
    void SetWindowSize(int Width, int Height) override;
    TGstElementHandle Renderer() override { return FSink; }

    uint32_t ProgramID() const { return FProgramID; }
    uint32_t VideoPID() const { return FVideoPID; }
    // The frame interval (100 ns) seen between the time stamps of the decoded pictures, else
    // the one the caps announce, else 0. Time stamps come first: some demuxers announce a
    // default rate (asfdemux says 25/1 for files that carry none).
    int64_t AvgTimePerFrame() const;
    // Whether AvgTimePerFrame comes from time stamps (two intervals seen at least).
    bool TimePerFrameMeasured() const { return FSeenTimePerFrame > 0; }
    // The stream time of the file's first picture, taken off the times of the frames handed
    // out so that they count from 0 like the filter's positions.
    void SetStartOffset(int64_t Offset) { FStartOffset = Offset; }
    int64_t FramesShown() const;
    // The time (100 ns, counted like the frames handed out) of the picture shown last; -1
    // before the first one.
    int64_t ShownTime() const;

private:
    static GstFlowReturn OnNewPreroll(GstAppSink* Sink, gpointer Self);
    static GstFlowReturn OnNewSample(GstAppSink* Sink, gpointer Self);
    static GstPadProbeReturn OnDecodedBuffer(GstPad* Pad, GstPadProbeInfo* Info, gpointer Self);
    void Deliver(GstSample* Sample);
    // The picture of a sample as a frame; null when it cannot be read.
    std::shared_ptr<const TPlaybackFrame> ToFrame(GstSample* Sample) const;
    // The sample's stream time counted from the file's first picture; -1 without a time stamp.
    int64_t FrameTime(GstSample* Sample) const;
    // Caps of the capsfilter for the current window size.
    TGstCapsHandle OutputCaps() const;

    const uint32_t FProgramID;
    const uint32_t FVideoPID;
    int FStreamWidth = 0;
    int FStreamHeight = 0;
    int64_t FCapsTimePerFrame = 0;

    TGstElementHandle FQueue;
    TGstElementHandle FConvert;
    TGstElementHandle FScale;
    TGstElementHandle FCapsFilter;
    TGstElementHandle FSink;

    mutable std::mutex FLock;
    TPlaybackFrameCallback FCallback;
    int FWindowWidth = 0;
    int FWindowHeight = 0;
    TGstSampleHandle FLastSample;
    int FDelivering = 0;               // callback calls running now
    std::condition_variable FDelivered;
    int64_t FSamplesShown = 0;

    // Written by the upstream streaming thread only (the probe on the queue's input).
    int64_t FTimedFirst = 0;
    int64_t FTimedCount = 0;
    std::atomic<int64_t> FLastDecodedTime{-1};
    std::atomic<int64_t> FSeenTimePerFrame{0};
    std::atomic<int64_t> FStartOffset{0};
};
