#pragma once

#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/VideoFrameGrabFilterControl.h"
#include "platform/GstHandle.h"
#include "platform/HResult.h"
#include "platform/MediaType.h"

// The frame grab filter: the sink element at the end of every capture graph. It accepts raw
// RGB32 (BGRx, BGRA), YUY2, I420 and NV12 video, turns each picture into a bottom-up RGB32 frame and hands
// frames to one callback on a fixed grid of stream times (the frame time): a faster source has
// pictures skipped, a slower one has pictures repeated.
//
// The element is a GstBaseSink subclass registered in-process under the factory name
// "tandrelframegrab" (rank none, so autopluggers never pick it). Its one input pad is "sink".
// TVideoFrameGrabFilter is the filter behind each element; get it (or its control interface)
// from the element with VideoFrameGrabFilterFromElement / VideoFrameGrabFilterControl.
//
// Threads and locks:
// - Streaming thread (the upstream element's): SetMediaType (caps event), OnReceiveFirstSample
//   (preroll), DoRenderSample (render) and therefore the callback. GStreamer serialises them
//   under the pad's stream lock, so FNextFrameTime, FIsRGB32ColorSpace, FLayout, FWidth,
//   FHeight, FDefaultPlanes, FPrerolledSample and FRGB32Frame are touched by one thread at a
//   time and need no lock of ours.
// - Application thread: SetNextFrameDataFunction, SetFrameTime, GetFrameTime, and Active /
//   Inactive (state changes). FCriticalSection guards FFrameTime, FNextFrameDataFunction and
//   the advance of FNextFrameTime. It is held only for a few instructions and never while the
//   callback runs, so the application thread never waits for a frame.
// - The callback runs on the streaming thread while that thread holds the pad's stream lock and
//   the sink's preroll lock. Stopping the graph takes both, so a stop waits for a running
//   callback to return, and a callback must never wait for the thread that stops the graph.
//
// Times are running times (stream time since the graph started) in 100-ns units.
// Left open by the frame-time rule and decided here:
// - A frame time <= 0 means no grid: each sample that ends after the due point is delivered
//   once and the due point moves to its end.
// - A sample with a start but no duration counts as an instant (it ends 100 ns after its start):
//   it is delivered at every grid point from the due point up to its start.
// - A sample without any time stamp is delivered once and leaves the grid as it is.
// - A picture of more than 16,000,000 pixels is refused when the connection is made.
//
// Frames: a YUY2 picture is converted into FRGB32Frame (Yuy2Conversion.h), an I420 or NV12
// picture straight from its planes (PlanarYuvConversion.h), so decoders need no conversion in
// between; a BGRx/BGRA picture is top-down in GStreamer, so it is copied into FRGB32Frame with
// its rows flipped. Plane offsets and strides come from the buffer's video meta, otherwise from
// GStreamer's default layout of the format; a sample too small for any plane is refused. Either
// way the callback gets FRGB32Frame and Width * Height * 4 (for YUY2 twice the picture's bytes).
// FRGB32Frame is sized when the connection is made, so no frame allocates memory.
class TVideoFrameGrabFilter final : public IVideoFrameGrabFilterControl {
public:
    static constexpr int64_t kDefaultFrameTime = 10'000'000;  // one second
    static constexpr int64_t kMaxFramePixels = 16'000'000;

    // Builds the filter of `element` (called by the element's instance initialisation).
    explicit TVideoFrameGrabFilter(GstElement* element);
    ~TVideoFrameGrabFilter();
    TVideoFrameGrabFilter(const TVideoFrameGrabFilter&) = delete;
    TVideoFrameGrabFilter& operator=(const TVideoFrameGrabFilter&) = delete;

    // A new element (not in any bin) from the registered factory, registering it first if
    // needed; empty on failure.
    static TGstElementHandle CreateFromFactory();

    // IVideoFrameGrabFilterControl
    HRESULT SetNextFrameDataFunction(TNextFrameDataFunction Func) override;
    HRESULT SetFrameTime(int64_t FrameTime) override;
    HRESULT GetFrameTime(int64_t& FrameTime) override;

    // AM_FILTER_MISC_FLAGS_IS_RENDERER.
    HRESULT GetMiscFlags(uint32_t& Flags);

    // S_OK for video RGB32, YUY2, I420 or NV12 with a VideoInfo or VideoInfo2 format block, E_INVALIDARG
    // for anything else, E_POINTER without a media type.
    HRESULT CheckMediaType(const TMediaType* MediaType);
    // Takes over the connected format: colour space, size, source row layout and the frame
    // buffer; resets the due point to 0.
    HRESULT SetMediaType(const TMediaType* MediaType);
    // Delivers the sample at every grid point from the due point up to its end time.
    HRESULT DoRenderSample(GstBuffer* MediaSample);
    // A prerolled sample. After a start or flush the grid restarts at 0, then DoRenderSample.
    // Any later preroll (the sink pausing again, as it does while the graph stops) keeps the
    // grid, so a picture whose grid points were already served is not delivered again.
    void OnReceiveFirstSample(GstBuffer* MediaSample);
    // A flush ends the stream's times: the next preroll starts the grid again.
    void OnFlushed();
    // Start (READY to PAUSED) and stop (PAUSED to READY) of the sink.
    HRESULT Active();
    HRESULT Inactive();

    GstElement* Element() const { return FElement; }
    // Connected format and frame buffer; read only while no sample flows.
    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }
    bool IsRGB32ColorSpace() const { return FIsRGB32ColorSpace; }
    const uint8_t* FrameBuffer() const { return FRGB32Frame.data(); }
    int64_t NextFrameTime() const { return FNextFrameTime; }

private:
    struct TSampleTimes;

    enum class TLayout { Rgb32, Yuy2, I420, Nv12 };
    // Where a plane starts and how far apart its rows are, in bytes.
    struct TPlane {
        size_t Offset = 0;
        int64_t Stride = 0;
    };
    static constexpr int kMaxPlanes = 3;

    TSampleTimes SampleTimes(GstBuffer* sample) const;
    std::shared_ptr<const TNextFrameDataFunction> CurrentCallback();
    // Converts or copies the sample into FRGB32Frame and calls the callback (if any).
    void DeliverSample(GstBuffer* sample);
    void PrepareFrame(GstBuffer* sample);

    GstElement* FElement;  // the element that owns this filter

    int64_t FNextFrameTime = 0;
    // Set when a format change restarts the grid at 0 in the middle of a stream: the next timed
    // sample moves the due point to the grid point at or before its start, so the picture is
    // not repeated for every grid point since the stream began.
    bool FGridRestarted = false;
    // Set by a start or flush: the next preroll begins a new stream and restarts the grid.
    std::atomic<bool> FNewStream{true};
    bool FIsRGB32ColorSpace = false;
    int32_t FWidth = 0;
    int32_t FHeight = 0;
    TLayout FLayout = TLayout::Rgb32;
    int FPlaneCount = 1;
    TPlane FDefaultPlanes[kMaxPlanes];  // the layout of a sample without a video meta
    const GstBuffer* FPrerolledSample = nullptr;  // identity only, no reference
    std::vector<uint8_t> FRGB32Frame;
    std::shared_ptr<const TNextFrameDataFunction> FNextFrameDataFunction;
    int64_t FFrameTime = kDefaultFrameTime;
    std::mutex FCriticalSection;
};

// {D8E8133B-E471-4140-9E36-424944C721D8}
constexpr TGUID CLSID_VideoFrameGrabFilter = {
    0xD8E8133B, 0xE471, 0x4140, {0x9E, 0x36, 0x42, 0x49, 0x44, 0xC7, 0x21, 0xD8}};
constexpr uint32_t AM_FILTER_MISC_FLAGS_IS_RENDERER = 1;

inline constexpr char kVideoFrameGrabFilterFactoryName[] = "tandrelframegrab";
inline constexpr char kVideoFrameGrabFilterLongName[] = "Video Frame Grab Filter";
inline constexpr char kVideoFrameGrabFilterInputPinName[] = "sink";

// Registers the element factory once per process (after InitializeMediaFramework); any number
// of calls from any thread. False when the registration failed.
bool RegisterVideoFrameGrabFilter();

// The filter of a frame grab element; nullptr for any other element (or nullptr). Valid as
// long as the caller holds a reference to the element.
TVideoFrameGrabFilter* VideoFrameGrabFilterFromElement(GstElement* element);
IVideoFrameGrabFilterControl* VideoFrameGrabFilterControl(GstElement* element);
