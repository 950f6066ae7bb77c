#pragma once

#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/GstHandle.h"
#include "platform/HResult.h"
#include "platform/MediaType.h"

// The playback filter: opens one media file in a GStreamer pipeline over uridecodebin and
// answers the operations the playback engine drives it with. Every video stream (in a
// transport stream: every program's video) is one video window whose frames go to a frame
// callback; every audio stream runs through audioconvert ! level ! volume into the audio sink
// (TANDREL_AUDIO_SINK, else autoaudiosink) and is one volume object with its channel levels.
//
// Threads: every operation is called from one thread (the GUI thread). Frame callbacks and
// level updates come from GStreamer's streaming threads; the callback must not call back into
// the filter. Positions and durations are in 100-ns units.

// One decoded picture of a video window: tightly packed top-down BGRx rows (stride Width * 4).
struct TPlaybackFrame {
    int Width = 0;
    int Height = 0;
    int64_t Time = 0;  // stream time, 100-ns units
    std::vector<uint8_t> Pixels;
};
using TPlaybackFrameCallback = std::function<void(std::shared_ptr<const TPlaybackFrame>)>;

// Called in slices of about 20 ms while an operation waits for the pipeline (preroll, seeks,
// steps), so the caller's window keeps painting. May be empty.
using TPlaybackWaitPump = std::function<void()>;

// One audio stream: its gain and the latest level of each channel.
class TPCMVolumeControl {
public:
    virtual ~TPCMVolumeControl() = default;
    // Channels of the stream's decoded audio.
    virtual HRESULT GetChannelsCount(uint32_t& Count) = 0;
    // 1.0 makes the stream audible, 0.0 mutes it.
    virtual HRESULT SetVolume(double Gain) = 0;
    // Level of one channel in dB, -120 (silence) .. +20, from the latest level report (peak);
    // Second is the RMS level. E_INVALIDARG for a channel the stream does not have.
    virtual HRESULT GetChannelLevel(uint32_t Channel, double& Level, double& Second) = 0;
    // The program the stream belongs to (1 for files without programs).
    virtual HRESULT GetProgramID(uint32_t& ProgramID) = 0;
};

// One video stream's renderer.
class TPlaybackVideoWindow {
public:
    virtual ~TPlaybackVideoWindow() = default;
    // Frames shown by this window are handed to Callback (also the prerolled frame while
    // paused and every stepped frame). An empty callback drops frames. When this returns,
    // the previous callback is neither running nor called again, so its receiver may go.
    virtual void SetFrameCallback(TPlaybackFrameCallback Callback) = 0;
    // The size the window is shown at; frames may be scaled towards it (never above the
    // stream's own size). 0 x 0 delivers the stream's own size.
    virtual void SetWindowSize(int Width, int Height) = 0;
    // The renderer element; its sink pad is connected, and walking upstream with
    // PeerAcrossBins (GraphPads.h) from it reaches the decoder and the compressed stream.
    virtual TGstElementHandle Renderer() = 0;
};

class TPlaybackFilter {
public:
    TPlaybackFilter();
    ~TPlaybackFilter();
    TPlaybackFilter(const TPlaybackFilter&) = delete;
    TPlaybackFilter& operator=(const TPlaybackFilter&) = delete;

    void SetWaitPump(TPlaybackWaitPump Pump);

    HRESULT InitializeGraph();
    // Builds the pipeline for FileName and prerolls it (paused on the first frame). Fails for a
    // missing, empty, unreadable or undecodable file, or when no video or audio stream is found
    // within the time-out, and leaves nothing running.
    HRESULT RenderFile(const std::string& FileName);
    HRESULT EjectFile();
    HRESULT GetDuration(int64_t& Duration);
    // S_OK with the position; after end of stream the position is the duration.
    HRESULT GetPosition(int64_t& Position);
    HRESULT Play();
    HRESULT Pause();
    // Stops playing; the pipeline stays able to seek (SetPosition then Pause shows that frame).
    HRESULT Stop();
    HRESULT GetVideoWindowsCount(uint32_t& Count);
    // Window Index (0 .. count - 1) with its program number and video stream identifier (the
    // PID in a transport stream, else the stream's index). The window stays owned by the filter.
    HRESULT GetVideoWindow(uint32_t Index, TPlaybackVideoWindow*& Window, uint32_t& ProgramID,
                           uint32_t& VideoPID);
    // Kept in the filter's list for the pipelines it builds: a class id that names a known
    // element factory makes that factory the first choice when decoders are picked.
    HRESULT AddPreferredFilter(int32_t FilterType, const TGUID& FilterGUID);
    HRESULT GetAvgTimePerFrame(int64_t& AvgTimePerFrame);
    HRESULT SetPosition(int64_t Position);
    // Advances Count frames while paused (pauses first when playing); Flags is unused.
    HRESULT StepFrames(uint32_t Count, uint32_t Flags);
    HRESULT GetPCMVolumeControlsCount(uint32_t& Count);
    HRESULT GetPCMVolumeControlInterface(uint32_t Index, TPCMVolumeControl*& Control,
                                         uint32_t& Unused, uint32_t& AudioPID);
    HRESULT SetMediaAnalysis(int32_t Kind, bool Enable);

    // Whether the pipeline has reported end of stream or an error since the last seek.
    bool EndOfStream() const;
    bool ErrorReported() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};
