#include "videolog/PlaybackVideoBranch.h"

#include <gst/video/video.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Decoded pictures whose time stamps are averaged when the caps give no frame rate.
constexpr int64_t kTimedFrames = 50;
// Set while this thread runs a frame callback.
thread_local bool tDelivering = false;

// A step back or a jump of more than this ends the averaging (a seek, a broken stamp).
constexpr int64_t kLargestFrameGap = 10 * GST_SECOND;

TGstElementHandle Make(const char* factory) {
    return TGstElementHandle::Adopt(gst_element_factory_make(factory, nullptr));
}

}  // namespace

TPlaybackVideoBranch::TPlaybackVideoBranch(const GstCaps* StreamCaps, uint32_t ProgramID,
                                           uint32_t VideoPID)
    : FProgramID(ProgramID), FVideoPID(VideoPID) {
    if (StreamCaps != nullptr && !gst_caps_is_empty(StreamCaps)) {
        const GstStructure* s = gst_caps_get_structure(StreamCaps, 0);
        gst_structure_get_int(s, "width", &FStreamWidth);
        gst_structure_get_int(s, "height", &FStreamHeight);
        int num = 0;
        int den = 1;
        if (gst_structure_get_fraction(s, "framerate", &num, &den) && num > 0 && den > 0) {
            FCapsTimePerFrame = static_cast<int64_t>(
                std::llround(10000000.0 * static_cast<double>(den) / static_cast<double>(num)));
        }
    }
}

TPlaybackVideoBranch::~TPlaybackVideoBranch() {
    // The pipeline is down when a branch goes; the callbacks must not reach a freed object.
    if (FSink) {
        GstAppSinkCallbacks none{};
        gst_app_sink_set_callbacks(GST_APP_SINK(FSink.Get()), &none, nullptr, nullptr);
    }
}

bool TPlaybackVideoBranch::Attach(GstBin* Pipeline, GstPad* DecodedPad) {
    FQueue = Make("queue");
    FConvert = Make("videoconvert");
    FScale = Make("videoscale");
    FCapsFilter = Make("capsfilter");
    FSink = Make("appsink");
    if (!FQueue || !FConvert || !FScale || !FCapsFilter || !FSink) {
        return false;
    }
    g_object_set(FCapsFilter.Get(), "caps", OutputCaps().Get(), nullptr);
    // Shown at the pace of the clock; a slow consumer loses pictures, never the stream's pace.
    g_object_set(FSink.Get(), "sync", TRUE, "max-buffers", 2u, "drop", TRUE, "emit-signals",
                 FALSE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_preroll = &TPlaybackVideoBranch::OnNewPreroll;
    callbacks.new_sample = &TPlaybackVideoBranch::OnNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(FSink.Get()), &callbacks, this, nullptr);

    GstElement* chain[] = {FQueue.Get(), FConvert.Get(), FScale.Get(), FCapsFilter.Get(),
                           FSink.Get()};
    for (GstElement* e : chain) {
        gst_bin_add(Pipeline, GST_ELEMENT(gst_object_ref(e)));
    }
    TGstPadHandle queueIn = TGstPadHandle::Adopt(gst_element_get_static_pad(FQueue.Get(), "sink"));
    bool linked = gst_element_link_many(FQueue.Get(), FConvert.Get(), FScale.Get(),
                                        FCapsFilter.Get(), FSink.Get(), nullptr) &&
                  gst_pad_link(DecodedPad, queueIn.Get()) == GST_PAD_LINK_OK;
    if (linked) {
        gst_pad_add_probe(queueIn.Get(), GST_PAD_PROBE_TYPE_BUFFER,
                          &TPlaybackVideoBranch::OnDecodedBuffer, this, nullptr);
        for (GstElement* e : chain) {
            linked = linked && gst_element_sync_state_with_parent(e);
        }
    }
    if (!linked) {
        for (GstElement* e : chain) {
            gst_element_set_state(e, GST_STATE_NULL);
            gst_bin_remove(Pipeline, e);
        }
    }
    return linked;
}

void TPlaybackVideoBranch::SetFrameCallback(TPlaybackFrameCallback Callback) {
    TGstSampleHandle shown;
    int64_t shownNumber = 0;
    {
        std::unique_lock lock(FLock);
        FCallback = Callback;
        // A call of the old callback may be running on the streaming thread; its receiver
        // may go once this returns. A callback that sets a callback does not wait for itself.
        if (!tDelivering) {
            FDelivered.wait(lock, [this] { return FDelivering == 0; });
        }
        if (Callback && FLastSample) {
            shown = FLastSample;
            shownNumber = FSamplesShown;
        }
    }
    if (!shown) {
        return;
    }
    // The picture on show now (paused on it, usually) goes to the new receiver.
    std::shared_ptr<const TPlaybackFrame> frame = ToFrame(shown.Get());
    bool newest = false;
    {
        std::lock_guard lock(FLock);
        newest = FSamplesShown == shownNumber;
    }
    if (frame && newest) {
        Callback(std::move(frame));
    }
}

int64_t TPlaybackVideoBranch::FrameTime(GstSample* Sample) const {
    GstBuffer* buffer = gst_sample_get_buffer(Sample);
    if (buffer == nullptr || !GST_BUFFER_PTS_IS_VALID(buffer)) {
        return -1;
    }
    guint64 streamTime = GST_BUFFER_PTS(buffer);
    const GstSegment* segment = gst_sample_get_segment(Sample);
    if (segment != nullptr && segment->format == GST_FORMAT_TIME) {
        const guint64 mapped = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, streamTime);
        if (GST_CLOCK_TIME_IS_VALID(mapped)) {
            streamTime = mapped;
        }
    }
    return static_cast<int64_t>(streamTime / 100) - FStartOffset;
}

int64_t TPlaybackVideoBranch::ShownTime() const {
    TGstSampleHandle shown;
    {
        std::lock_guard lock(FLock);
        shown = FLastSample;
    }
    return shown ? FrameTime(shown.Get()) : -1;
}

int64_t TPlaybackVideoBranch::FramesShown() const {
    std::lock_guard lock(FLock);
    return FSamplesShown;
}

void TPlaybackVideoBranch::SetWindowSize(int Width, int Height) {
    {
        std::lock_guard lock(FLock);
        if (Width == FWindowWidth && Height == FWindowHeight) {
            return;
        }
        FWindowWidth = Width;
        FWindowHeight = Height;
    }
    if (FCapsFilter) {
        // The next picture after the change comes in the new size.
        g_object_set(FCapsFilter.Get(), "caps", OutputCaps().Get(), nullptr);
    }
}

TGstCapsHandle TPlaybackVideoBranch::OutputCaps() const {
    int windowWidth = 0;
    int windowHeight = 0;
    {
        std::lock_guard lock(FLock);
        windowWidth = FWindowWidth;
        windowHeight = FWindowHeight;
    }
    if (windowWidth <= 0 || windowHeight <= 0 || FStreamWidth <= 0 || FStreamHeight <= 0) {
        return TGstCapsHandle::Adopt(gst_caps_from_string("video/x-raw,format=BGRx"));
    }
    // Fitted into the window with the stream's shape, never enlarged.
    const double scale = std::min({1.0, static_cast<double>(windowWidth) / FStreamWidth,
                                   static_cast<double>(windowHeight) / FStreamHeight});
    const int width = std::max(1, static_cast<int>(std::lround(FStreamWidth * scale)));
    const int height = std::max(1, static_cast<int>(std::lround(FStreamHeight * scale)));
    return TGstCapsHandle::Adopt(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING,
                                                     "BGRx", "width", G_TYPE_INT, width,
                                                     "height", G_TYPE_INT, height, nullptr));
}

int64_t TPlaybackVideoBranch::AvgTimePerFrame() const {
    const int64_t seen = FSeenTimePerFrame;
    return seen > 0 ? seen : FCapsTimePerFrame;
}

GstPadProbeReturn TPlaybackVideoBranch::OnDecodedBuffer(GstPad*, GstPadProbeInfo* Info,
                                                        gpointer Self) {
    auto* self = static_cast<TPlaybackVideoBranch*>(Self);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(Info);
    if (buffer == nullptr || !GST_BUFFER_PTS_IS_VALID(buffer)) {
        return GST_PAD_PROBE_OK;
    }
    // Only the decoder's streaming thread runs this, so the first stamp and the count need no
    // lock; the probe removes itself once the average is taken.
    const auto time = static_cast<int64_t>(GST_BUFFER_PTS(buffer));
    const int64_t last = self->FLastDecodedTime.exchange(time);
    if (last < 0) {
        self->FTimedFirst = time;
        self->FTimedCount = 1;
        return GST_PAD_PROBE_OK;
    }
    if (time <= last || time - last > kLargestFrameGap) {
        return GST_PAD_PROBE_REMOVE;
    }
    ++self->FTimedCount;
    if (self->FTimedCount >= 3) {
        self->FSeenTimePerFrame = (time - self->FTimedFirst) / (self->FTimedCount - 1) / 100;
    }
    return self->FTimedCount >= kTimedFrames ? GST_PAD_PROBE_REMOVE : GST_PAD_PROBE_OK;
}

GstFlowReturn TPlaybackVideoBranch::OnNewPreroll(GstAppSink* Sink, gpointer Self) {
    if (GstSample* sample = gst_app_sink_pull_preroll(Sink)) {
        static_cast<TPlaybackVideoBranch*>(Self)->Deliver(sample);
        gst_sample_unref(sample);
    }
    return GST_FLOW_OK;
}

GstFlowReturn TPlaybackVideoBranch::OnNewSample(GstAppSink* Sink, gpointer Self) {
    if (GstSample* sample = gst_app_sink_pull_sample(Sink)) {
        static_cast<TPlaybackVideoBranch*>(Self)->Deliver(sample);
        gst_sample_unref(sample);
    }
    return GST_FLOW_OK;
}

void TPlaybackVideoBranch::Deliver(GstSample* Sample) {
    TPlaybackFrameCallback callback;
    {
        std::lock_guard lock(FLock);
        FLastSample = TGstSampleHandle::Ref(Sample);
        ++FSamplesShown;
        callback = FCallback;
        if (!callback) {
            return;
        }
        ++FDelivering;
    }
    try {
        if (std::shared_ptr<const TPlaybackFrame> frame = ToFrame(Sample)) {
            tDelivering = true;
            callback(std::move(frame));
            tDelivering = false;
        }
    } catch (...) {
        tDelivering = false;
    }
    std::lock_guard lock(FLock);
    --FDelivering;
    FDelivered.notify_all();
}

std::shared_ptr<const TPlaybackFrame> TPlaybackVideoBranch::ToFrame(GstSample* Sample) const {
    GstBuffer* buffer = gst_sample_get_buffer(Sample);
    GstVideoInfo info;
    if (buffer == nullptr || !gst_video_info_from_caps(&info, gst_sample_get_caps(Sample))) {
        return nullptr;
    }
    GstVideoFrame mapped;
    if (!gst_video_frame_map(&mapped, &info, buffer, GST_MAP_READ)) {
        return nullptr;
    }
    auto frame = std::make_shared<TPlaybackFrame>();
    frame->Width = GST_VIDEO_INFO_WIDTH(&info);
    frame->Height = GST_VIDEO_INFO_HEIGHT(&info);
    const size_t row = static_cast<size_t>(frame->Width) * 4;
    frame->Pixels.resize(row * static_cast<size_t>(frame->Height));
    const auto* source = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped, 0));
    const auto stride = static_cast<size_t>(GST_VIDEO_FRAME_PLANE_STRIDE(&mapped, 0));
    for (int y = 0; y < frame->Height; ++y) {
        std::memcpy(frame->Pixels.data() + row * static_cast<size_t>(y),
                    source + stride * static_cast<size_t>(y), row);
    }
    gst_video_frame_unmap(&mapped);
    frame->Time = std::max<int64_t>(0, FrameTime(Sample));
    return frame;
}
