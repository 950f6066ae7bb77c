#include "capture/VideoFrameGrabFilter.h"

#include <gst/base/gstbasesink.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

#include "capture/PlanarYuvConversion.h"
#include "capture/Yuy2Conversion.h"
#include "graph/MediaTypeCaps.h"
#include "platform/Diagnostics.h"
#include "platform/GstElementType.h"

namespace {

// The GObject side of the filter: a GstBaseSink whose instance carries the filter object.
struct TFrameGrabSink {
    GstBaseSink Parent;
    TVideoFrameGrabFilter* Filter;
};

struct TFrameGrabSinkClass {
    GstBaseSinkClass ParentClass;
};

GstBaseSinkClass* gParentClass = nullptr;

GstStaticPadTemplate gSinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("{ BGRx, BGRA, YUY2, I420, NV12 }")));

TVideoFrameGrabFilter* FilterOf(GstBaseSink* sink) {
    return reinterpret_cast<TFrameGrabSink*>(sink)->Filter;
}

void InstanceInit(GTypeInstance* instance, gpointer) {
    auto* self = reinterpret_cast<TFrameGrabSink*>(instance);
    self->Filter = nullptr;
    try {
        self->Filter = new TVideoFrameGrabFilter(reinterpret_cast<GstElement*>(instance));
    } catch (...) {
        LogMessage("Error in TVideoFrameGrabFilter.Create call...");
    }
    // Nobody reads the last sample; holding it would only keep a capture buffer back.
    gst_base_sink_set_last_sample_enabled(reinterpret_cast<GstBaseSink*>(instance), FALSE);
}

void Finalize(GObject* object) {
    auto* self = reinterpret_cast<TFrameGrabSink*>(object);
    try {
        delete std::exchange(self->Filter, nullptr);
    } catch (...) {
        LogMessage("Error in TVideoFrameGrabFilter.Destroy call...");
    }
    G_OBJECT_CLASS(gParentClass)->finalize(object);
}

gboolean Start(GstBaseSink* sink) {
    TVideoFrameGrabFilter* filter = FilterOf(sink);
    return filter != nullptr && SUCCEEDED(filter->Active());
}

gboolean Stop(GstBaseSink* sink) {
    TVideoFrameGrabFilter* filter = FilterOf(sink);
    return filter != nullptr && SUCCEEDED(filter->Inactive());
}

// Caps event on the streaming thread: the connection's media type.
gboolean SetCaps(GstBaseSink* sink, GstCaps* caps) {
    TVideoFrameGrabFilter* filter = FilterOf(sink);
    if (filter == nullptr) {
        return FALSE;
    }
    try {
        TMediaType mediaType;
        return MediaTypeFromCaps(caps, mediaType) && filter->CheckMediaType(&mediaType) == S_OK &&
               filter->SetMediaType(&mediaType) == S_OK;
    } catch (...) {
        LogMessage("Error in TVideoFrameGrabFilter.SetMediaType call...");
        return FALSE;
    }
}

// Accept-caps: the pad template narrows the formats, the media type check decides.
gboolean Query(GstBaseSink* sink, GstQuery* query) {
    if (GST_QUERY_TYPE(query) != GST_QUERY_ACCEPT_CAPS) {
        return gParentClass->query(sink, query);
    }
    try {
        if (!gParentClass->query(sink, query)) {
            return FALSE;
        }
        gboolean accepted = FALSE;
        gst_query_parse_accept_caps_result(query, &accepted);
        GstCaps* caps = nullptr;
        gst_query_parse_accept_caps(query, &caps);
        if (accepted && caps != nullptr && gst_caps_is_fixed(caps)) {
            TVideoFrameGrabFilter* filter = FilterOf(sink);
            TMediaType mediaType;
            accepted = filter != nullptr && MediaTypeFromCaps(caps, mediaType) &&
                       filter->CheckMediaType(&mediaType) == S_OK;
            gst_query_set_accept_caps_result(query, accepted);
        }
        return TRUE;
    } catch (...) {
        LogMessage("Error in TVideoFrameGrabFilter.CheckMediaType call...");
        gst_query_set_accept_caps_result(query, FALSE);
        return TRUE;
    }
}

// Upstream may hand over pictures with padded rows; the video meta tells their layout.
gboolean ProposeAllocation(GstBaseSink*, GstQuery* query) {
    gst_query_add_allocation_meta(query, GST_VIDEO_META_API_TYPE, nullptr);
    return TRUE;
}

GstFlowReturn Preroll(GstBaseSink* sink, GstBuffer* buffer) {
    if (TVideoFrameGrabFilter* filter = FilterOf(sink)) {
        filter->OnReceiveFirstSample(buffer);
    }
    return GST_FLOW_OK;
}

// A flush restarts the stream's running time; the grid follows at the next preroll.
gboolean Event(GstBaseSink* sink, GstEvent* event) {
    if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) {
        if (TVideoFrameGrabFilter* filter = FilterOf(sink)) {
            filter->OnFlushed();
        }
    }
    return gParentClass->event(sink, event);
}

// A failed render is logged and streaming goes on.
GstFlowReturn Render(GstBaseSink* sink, GstBuffer* buffer) {
    if (TVideoFrameGrabFilter* filter = FilterOf(sink)) {
        filter->DoRenderSample(buffer);
    }
    return GST_FLOW_OK;
}

void ClassInit(gpointer klass, gpointer) {
    gParentClass = static_cast<GstBaseSinkClass*>(g_type_class_peek_parent(klass));
    G_OBJECT_CLASS(klass)->finalize = Finalize;

    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(elementClass, &gSinkTemplate);
    gst_element_class_set_static_metadata(
        elementClass, kVideoFrameGrabFilterLongName, "Sink/Video",
        "Hands bottom-up RGB32 frames to the program at a fixed frame time",
        "Vantrelle Media Solutions");

    GstBaseSinkClass* sinkClass = GST_BASE_SINK_CLASS(klass);
    sinkClass->start = Start;
    sinkClass->stop = Stop;
    sinkClass->set_caps = SetCaps;
    sinkClass->query = Query;
    sinkClass->propose_allocation = ProposeAllocation;
    sinkClass->preroll = Preroll;
    sinkClass->event = Event;
    sinkClass->render = Render;
}

GType FrameGrabSinkType() {
    static const GType type = RegisterElementType<TFrameGrabSink, TFrameGrabSinkClass>(
        GST_TYPE_BASE_SINK, "TandrelVideoFrameGrabFilter", ClassInit, InstanceInit);
    return type;
}

// Read access to a buffer's bytes for one scope.
class TBufferMapping {
public:
    explicit TBufferMapping(GstBuffer* buffer) : FBuffer(buffer) {
        if (!gst_buffer_map(buffer, &FInfo, GST_MAP_READ)) {
            throw std::runtime_error("sample cannot be mapped");
        }
    }
    ~TBufferMapping() { gst_buffer_unmap(FBuffer, &FInfo); }
    TBufferMapping(const TBufferMapping&) = delete;
    TBufferMapping& operator=(const TBufferMapping&) = delete;

    const uint8_t* Data() const { return FInfo.data; }
    size_t Size() const { return FInfo.size; }

private:
    GstBuffer* FBuffer;
    GstMapInfo FInfo;
};

int64_t AddSaturated(int64_t a, int64_t b) {
    int64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<int64_t>::max() : sum;
}

}  // namespace

struct TVideoFrameGrabFilter::TSampleTimes {
    bool Timed = false;  // false: the sample carries no time stamp
    int64_t Start = 0;   // running time, 100-ns units
    int64_t End = 0;
};

TVideoFrameGrabFilter::TVideoFrameGrabFilter(GstElement* element) : FElement(element) {}

TVideoFrameGrabFilter::~TVideoFrameGrabFilter() = default;

TGstElementHandle TVideoFrameGrabFilter::CreateFromFactory() {
    try {
        TGstElementHandle element;
        if (RegisterVideoFrameGrabFilter()) {
            element = TGstElementHandle::Adopt(
                gst_element_factory_make(kVideoFrameGrabFilterFactoryName, nullptr));
        }
        if (!element || VideoFrameGrabFilterFromElement(element.Get()) == nullptr) {
            throw std::runtime_error("frame grab element not created");
        }
        return element;
    } catch (...) {
        LogMessage("Error in TVideoFrameGrabFilter.CreateFromFactory call...");
        return {};
    }
}

HRESULT TVideoFrameGrabFilter::SetNextFrameDataFunction(TNextFrameDataFunction Func) {
    try {
        std::shared_ptr<const TNextFrameDataFunction> callback;
        if (Func) {
            callback = std::make_shared<const TNextFrameDataFunction>(std::move(Func));
        }
        std::lock_guard lock(FCriticalSection);
        FNextFrameDataFunction.swap(callback);
        // The previous callback is released here, after the lock.
        return S_OK;
    } catch (...) {
        LogMessage("Error in TVideoFrameGrabFilter.SetNextFrameDataFunction call...");
        return E_FAIL;
    }
}

HRESULT TVideoFrameGrabFilter::SetFrameTime(int64_t FrameTime) {
    try {
        std::lock_guard lock(FCriticalSection);
        FFrameTime = FrameTime;
        return S_OK;
    } catch (...) {
        LogMessage("Error in TVideoFrameGrabFilter.SetFrameTime call...");
        return E_FAIL;
    }
}

HRESULT TVideoFrameGrabFilter::GetFrameTime(int64_t& FrameTime) {
    try {
        std::lock_guard lock(FCriticalSection);
        FrameTime = FFrameTime;
        return S_OK;
    } catch (...) {
        LogMessage("Error in TVideoFrameGrabFilter.GetFrameTime call...");
        return E_FAIL;
    }
}

HRESULT TVideoFrameGrabFilter::GetMiscFlags(uint32_t& Flags) {
    Flags = AM_FILTER_MISC_FLAGS_IS_RENDERER;
    return S_OK;
}

HRESULT TVideoFrameGrabFilter::CheckMediaType(const TMediaType* MediaType) {
    try {
        if (MediaType == nullptr) {
            return E_POINTER;
        }
        const bool video = MediaType->majortype == MEDIATYPE_Video;
        const TGUID& sub = MediaType->subtype;
        const bool subtype = sub == MEDIASUBTYPE_RGB32 || sub == MEDIASUBTYPE_YUY2 ||
                             sub == MEDIASUBTYPE_I420 || sub == MEDIASUBTYPE_NV12;
        const bool format =
            MediaType->formattype == FORMAT_VideoInfo || MediaType->formattype == FORMAT_VideoInfo2;
        return video && subtype && format ? S_OK : E_INVALIDARG;
    } catch (...) {
        LogMessage("Error in TVideoFrameGrabFilter.CheckMediaType call...");
        return E_INVALIDARG;
    }
}

HRESULT TVideoFrameGrabFilter::SetMediaType(const TMediaType* MediaType) {
    try {
        if (MediaType == nullptr) {
            return E_POINTER;
        }
        const TGUID& sub = MediaType->subtype;
        const TLayout layout = sub == MEDIASUBTYPE_YUY2   ? TLayout::Yuy2
                               : sub == MEDIASUBTYPE_I420 ? TLayout::I420
                               : sub == MEDIASUBTYPE_NV12 ? TLayout::Nv12
                                                          : TLayout::Rgb32;
        const TBitmapInfoHeader* bitmap = nullptr;
        if (MediaType->formattype == FORMAT_VideoInfo) {
            if (const TVideoInfoHeader* info = MediaType->VideoInfo()) {
                bitmap = &info->bmiHeader;
            }
        } else if (const TVideoInfoHeader2* info = MediaType->VideoInfo2()) {
            bitmap = &info->bmiHeader;
        }
        if (bitmap == nullptr) {
            throw std::runtime_error("no video format block");
        }
        // GStreamer rows are top-down whatever the sign of the bitmap height says.
        const int64_t width = bitmap->biWidth;
        const int64_t height = std::abs(static_cast<int64_t>(bitmap->biHeight));
        if (width <= 0 || height <= 0 || width * height > kMaxFramePixels) {
            return E_INVALIDARG;
        }
        // GStreamer's default layout of the format, for samples without a video meta.
        GstVideoInfo info;
        gst_video_info_init(&info);
        const GstVideoFormat format = layout == TLayout::Yuy2   ? GST_VIDEO_FORMAT_YUY2
                                      : layout == TLayout::I420 ? GST_VIDEO_FORMAT_I420
                                      : layout == TLayout::Nv12 ? GST_VIDEO_FORMAT_NV12
                                                                : GST_VIDEO_FORMAT_BGRx;
        if (!gst_video_info_set_format(&info, format, static_cast<guint>(width),
                                       static_cast<guint>(height)) ||
            GST_VIDEO_INFO_N_PLANES(&info) > kMaxPlanes) {
            throw std::runtime_error("no default layout");
        }
        // A format change while connected restarts the grid mid-stream.
        const bool renegotiated = FWidth > 0;
        FRGB32Frame.resize(static_cast<size_t>(width * height * 4));
        FIsRGB32ColorSpace = layout == TLayout::Rgb32;
        FLayout = layout;
        FWidth = static_cast<int32_t>(width);
        FHeight = static_cast<int32_t>(height);
        FPlaneCount = static_cast<int>(GST_VIDEO_INFO_N_PLANES(&info));
        for (int p = 0; p < FPlaneCount; ++p) {
            FDefaultPlanes[p] = {GST_VIDEO_INFO_PLANE_OFFSET(&info, p),
                                 GST_VIDEO_INFO_PLANE_STRIDE(&info, p)};
        }
        FNextFrameTime = 0;
        FGridRestarted = renegotiated;
        return S_OK;
    } catch (...) {
        LogMessage("Error in TVideoFrameGrabFilter.SetMediaType call...");
        return E_FAIL;
    }
}

TVideoFrameGrabFilter::TSampleTimes TVideoFrameGrabFilter::SampleTimes(GstBuffer* sample) const {
    TSampleTimes times;
    GstClockTime start = GST_BUFFER_PTS(sample);
    if (!GST_CLOCK_TIME_IS_VALID(start)) {
        start = GST_BUFFER_DTS(sample);
    }
    if (!GST_CLOCK_TIME_IS_VALID(start)) {
        return times;
    }
    // Stream time since the graph started: the running time of the sink's segment. Samples
    // handed in without a time segment count as running times already.
    const GstSegment& segment = reinterpret_cast<GstBaseSink*>(FElement)->segment;
    if (segment.format == GST_FORMAT_TIME) {
        start = gst_segment_to_running_time(&segment, GST_FORMAT_TIME, start);
        if (!GST_CLOCK_TIME_IS_VALID(start)) {
            return times;
        }
    }
    const GstClockTime duration = GST_BUFFER_DURATION(sample);
    times.Timed = true;
    times.Start = static_cast<int64_t>(start / 100);
    times.End = GST_CLOCK_TIME_IS_VALID(duration) ? static_cast<int64_t>((start + duration) / 100)
                                                  : times.Start + 1;
    return times;
}

std::shared_ptr<const TNextFrameDataFunction> TVideoFrameGrabFilter::CurrentCallback() {
    std::lock_guard lock(FCriticalSection);
    return FNextFrameDataFunction;
}

void TVideoFrameGrabFilter::PrepareFrame(GstBuffer* sample) {
    if (FWidth <= 0 || FHeight <= 0) {
        throw std::runtime_error("no connected format");
    }
    TBufferMapping mapping(sample);
    TPlane planes[kMaxPlanes];
    std::copy(FDefaultPlanes, FDefaultPlanes + kMaxPlanes, planes);
    if (const GstVideoMeta* meta = gst_buffer_get_video_meta(sample)) {
        if (static_cast<int>(meta->n_planes) < FPlaneCount) {
            throw std::runtime_error("sample smaller than its picture");
        }
        for (int p = 0; p < FPlaneCount; ++p) {
            planes[p] = {meta->offset[p], meta->stride[p]};
        }
    }
    const size_t width = static_cast<size_t>(FWidth);
    const size_t height = static_cast<size_t>(FHeight);
    const size_t chromaWidth = (width + 1) / 2;
    const size_t chromaHeight = (height + 1) / 2;
    // Bytes of one row and rows of each plane.
    struct TPlaneSize {
        size_t RowBytes, Rows;
    };
    TPlaneSize sizes[kMaxPlanes];
    switch (FLayout) {
        case TLayout::Rgb32:
            sizes[0] = {width * 4, height};
            break;
        case TLayout::Yuy2:
            sizes[0] = {chromaWidth * 4, height};
            break;
        case TLayout::I420:
            sizes[0] = {width, height};
            sizes[1] = sizes[2] = {chromaWidth, chromaHeight};
            break;
        case TLayout::Nv12:
            sizes[0] = {width, height};
            sizes[1] = {chromaWidth * 2, chromaHeight};
            break;
    }
    const uint8_t* source[kMaxPlanes] = {};
    int32_t stride[kMaxPlanes] = {};
    for (int p = 0; p < FPlaneCount; ++p) {
        const TPlane& plane = planes[p];
        if (plane.Stride < static_cast<int64_t>(sizes[p].RowBytes) ||
            plane.Stride > std::numeric_limits<int32_t>::max() || plane.Offset > mapping.Size() ||
            static_cast<size_t>(plane.Stride) * (sizes[p].Rows - 1) + sizes[p].RowBytes >
                mapping.Size() - plane.Offset) {
            throw std::runtime_error("sample smaller than its picture");
        }
        source[p] = mapping.Data() + plane.Offset;
        stride[p] = static_cast<int32_t>(plane.Stride);
    }
    uint8_t* frame = FRGB32Frame.data();
    switch (FLayout) {
        case TLayout::Rgb32: {
            const size_t frameRowBytes = width * 4;
            for (size_t r = 0; r < height; ++r) {
                std::memcpy(frame + (height - 1 - r) * frameRowBytes,
                            source[0] + r * static_cast<size_t>(stride[0]), frameRowBytes);
            }
            break;
        }
        case TLayout::Yuy2:
            ConvertYUY2ToRGB32(source[0], stride[0], frame, FWidth, FHeight);
            break;
        case TLayout::I420:
            ConvertI420ToRGB32(source[0], stride[0], source[1], stride[1], source[2], stride[2],
                               frame, FWidth, FHeight);
            break;
        case TLayout::Nv12:
            ConvertNV12ToRGB32(source[0], stride[0], source[1], stride[1], frame, FWidth, FHeight);
            break;
    }
}

void TVideoFrameGrabFilter::DeliverSample(GstBuffer* sample) {
    // A copy of the pointer, so the callback runs without the lock and stays alive even if
    // the application thread replaces it meanwhile.
    const std::shared_ptr<const TNextFrameDataFunction> callback = CurrentCallback();
    if (!callback) {
        return;
    }
    PrepareFrame(sample);
    (*callback)(FRGB32Frame.data(), static_cast<int32_t>(FRGB32Frame.size()));
}

HRESULT TVideoFrameGrabFilter::DoRenderSample(GstBuffer* MediaSample) {
    try {
        if (MediaSample == nullptr) {
            return E_POINTER;
        }
        // GStreamer renders the prerolled sample again once playing; the grid skips it when
        // timed, and this skips it when not.
        const bool prerolled = std::exchange(FPrerolledSample, nullptr) == MediaSample;
        const TSampleTimes times = SampleTimes(MediaSample);
        if (!times.Timed) {
            if (!prerolled) {
                DeliverSample(MediaSample);
            }
            return S_OK;
        }
        if (std::exchange(FGridRestarted, false)) {
            std::lock_guard lock(FCriticalSection);
            if (FFrameTime > 0 && times.Start > FNextFrameTime) {
                FNextFrameTime = times.Start - times.Start % FFrameTime;
            }
        }
        while (FNextFrameTime < times.End) {
            DeliverSample(MediaSample);
            std::lock_guard lock(FCriticalSection);
            FNextFrameTime = FFrameTime > 0 ? AddSaturated(FNextFrameTime, FFrameTime) : times.End;
        }
        return S_OK;
    } catch (...) {
        LogMessage("Error in TVideoFrameGrabFilter.DoRenderSample call...");
        return E_FAIL;
    }
}

void TVideoFrameGrabFilter::OnReceiveFirstSample(GstBuffer* MediaSample) {
    try {
        if (FNewStream.exchange(false)) {
            FNextFrameTime = 0;
        }
        DoRenderSample(MediaSample);
        FPrerolledSample = MediaSample;
    } catch (...) {
        LogMessage("Error in TVideoFrameGrabFilter.OnReceiveFirstSample call...");
    }
}

void TVideoFrameGrabFilter::OnFlushed() {
    FNewStream = true;
}

HRESULT TVideoFrameGrabFilter::Active() {
    try {
        FNewStream = true;
        GstBaseSink* sink = reinterpret_cast<GstBaseSink*>(FElement);
        return gParentClass->start == nullptr || gParentClass->start(sink) ? S_OK : E_FAIL;
    } catch (...) {
        LogMessage("Error in TVideoFrameGrabFilter.Active call...");
        return E_FAIL;
    }
}

HRESULT TVideoFrameGrabFilter::Inactive() {
    try {
        GstBaseSink* sink = reinterpret_cast<GstBaseSink*>(FElement);
        return gParentClass->stop == nullptr || gParentClass->stop(sink) ? S_OK : E_FAIL;
    } catch (...) {
        LogMessage("Error in TVideoFrameGrabFilter.Inactive call...");
        return E_FAIL;
    }
}

bool RegisterVideoFrameGrabFilter() {
    return RegisterElementFactory(kVideoFrameGrabFilterFactoryName, FrameGrabSinkType());
}

TVideoFrameGrabFilter* VideoFrameGrabFilterFromElement(GstElement* element) {
    if (element == nullptr || !G_TYPE_CHECK_INSTANCE_TYPE(element, FrameGrabSinkType())) {
        return nullptr;
    }
    return reinterpret_cast<TFrameGrabSink*>(element)->Filter;
}

IVideoFrameGrabFilterControl* VideoFrameGrabFilterControl(GstElement* element) {
    return VideoFrameGrabFilterFromElement(element);
}
