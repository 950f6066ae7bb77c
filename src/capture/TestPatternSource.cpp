#include "capture/TestPatternSource.h"

#include <gst/base/gstpushsrc.h>
#include <gst/video/video.h>

#include <algorithm>

#include "capture/TestPatternPicture.h"
#include "platform/Diagnostics.h"
#include "platform/GstElementType.h"

namespace {

struct TPatternSource {
    GstPushSrc Parent;
    // Under the object lock: set by the application (the frame time) or by negotiation (the
    // picture format), read by the streaming thread and by latency queries from any thread.
    gint64 FrameTime;  // 100-ns units; 0 = every frame of the rate
    GstVideoInfo Info;
    bool HasInfo;
    // Streaming thread only.
    gint64 FrameNumber;  // of the negotiated rate, the next to draw
};

// What a picture is made of, read together under the object lock.
struct TRate {
    bool Known = false;
    GstVideoInfo Info;
    gint FpsN = 0;
    gint FpsD = 1;
    gint64 Step = 1;  // frames of the rate per picture drawn
};

struct TPatternSourceClass {
    GstPushSrcClass ParentClass;
};

enum { kPropFrameTime = 1 };

GstPushSrcClass* gParentClass = nullptr;

GstStaticPadTemplate gSrcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("{ YUY2, BGRx }")));

TPatternSource* SourceOf(gpointer object) {
    return reinterpret_cast<TPatternSource*>(object);
}

void InstanceInit(GTypeInstance* instance, gpointer) {
    TPatternSource* self = SourceOf(instance);
    self->FrameTime = 0;
    self->HasInfo = false;
    self->FrameNumber = 0;
    gst_video_info_init(&self->Info);
    GstBaseSrc* base = GST_BASE_SRC(instance);
    gst_base_src_set_live(base, TRUE);
    gst_base_src_set_format(base, GST_FORMAT_TIME);
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* param) {
    if (id != kPropFrameTime) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, param);
        return;
    }
    GST_OBJECT_LOCK(object);
    SourceOf(object)->FrameTime = g_value_get_int64(value);
    GST_OBJECT_UNLOCK(object);
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* param) {
    if (id != kPropFrameTime) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, param);
        return;
    }
    GST_OBJECT_LOCK(object);
    g_value_set_int64(value, SourceOf(object)->FrameTime);
    GST_OBJECT_UNLOCK(object);
}

// The negotiated rate and the frames of it per picture drawn: the smallest count lasting at
// least the frame time (1 without one).
TRate RateOf(TPatternSource* self) {
    TRate rate;
    GST_OBJECT_LOCK(self);
    const gint64 frameTime = self->FrameTime;
    rate.Known = self->HasInfo;
    rate.Info = self->Info;
    GST_OBJECT_UNLOCK(self);
    rate.FpsN = GST_VIDEO_INFO_FPS_N(&rate.Info);
    rate.FpsD = GST_VIDEO_INFO_FPS_D(&rate.Info);
    if (rate.Known && frameTime > 0 && rate.FpsN > 0 && rate.FpsD > 0) {
        // k * d / n seconds >= frameTime / 1e7 seconds
        const guint64 k =
            gst_util_uint64_scale_ceil(static_cast<guint64>(frameTime),
                                       static_cast<guint64>(rate.FpsN), 10000000ull * rate.FpsD);
        rate.Step = static_cast<gint64>(std::max<guint64>(k, 1));
    }
    return rate;
}

GstClockTime FrameStart(const TRate& rate, gint64 frame) {
    return gst_util_uint64_scale(static_cast<guint64>(frame), GST_SECOND * rate.FpsD, rate.FpsN);
}

gboolean SetCaps(GstBaseSrc* base, GstCaps* caps) {
    TPatternSource* self = SourceOf(base);
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, caps) || GST_VIDEO_INFO_FPS_N(&info) <= 0 ||
        GST_VIDEO_INFO_FPS_D(&info) <= 0) {
        LogMessage("Error in TestPatternSource.SetCaps - the format has no picture rate.");
        return FALSE;
    }
    GST_OBJECT_LOCK(self);
    self->Info = info;
    self->HasInfo = true;
    GST_OBJECT_UNLOCK(self);
    gst_base_src_set_blocksize(base, static_cast<guint>(GST_VIDEO_INFO_SIZE(&info)));
    return TRUE;
}

GstCaps* Fixate(GstBaseSrc* base, GstCaps* caps) {
    caps = gst_caps_make_writable(caps);
    GstStructure* s = gst_caps_get_structure(caps, 0);
    gst_structure_fixate_field_nearest_int(s, "width", 320);
    gst_structure_fixate_field_nearest_int(s, "height", 240);
    gst_structure_fixate_field_nearest_fraction(s, "framerate", 30, 1);
    return GST_BASE_SRC_CLASS(gParentClass)->fixate(base, caps);
}

gboolean Start(GstBaseSrc* base) {
    SourceOf(base)->FrameNumber = 0;
    return TRUE;
}

// A live source answers one picture's time: that is how long after its time stamp a picture
// is complete. It holds no pictures back, so it sets no bound.
gboolean Query(GstBaseSrc* base, GstQuery* query) {
    const TRate rate = RateOf(SourceOf(base));
    if (GST_QUERY_TYPE(query) == GST_QUERY_LATENCY && rate.Known) {
        const GstClockTime latency = FrameStart(rate, rate.Step);
        gst_query_set_latency(query, TRUE, latency, GST_CLOCK_TIME_NONE);
        return TRUE;
    }
    return GST_BASE_SRC_CLASS(gParentClass)->query(base, query);
}

// The streaming thread waits until a picture's time has come (live sources sync on it).
void GetTimes(GstBaseSrc*, GstBuffer* buffer, GstClockTime* start, GstClockTime* end) {
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    if (GST_CLOCK_TIME_IS_VALID(pts)) {
        *start = pts;
        if (GST_BUFFER_DURATION_IS_VALID(buffer)) {
            *end = pts + GST_BUFFER_DURATION(buffer);
        }
    }
}

GstFlowReturn Fill(GstPushSrc* push, GstBuffer* buffer) {
    TPatternSource* self = SourceOf(push);
    const TRate rate = RateOf(self);
    if (!rate.Known) {
        return GST_FLOW_NOT_NEGOTIATED;
    }
    const GstVideoInfo& info = rate.Info;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_WRITE)) {
        return GST_FLOW_ERROR;
    }
    const TTestPatternFormat format = GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_YUY2
                                          ? TTestPatternFormat::Yuy2
                                          : TTestPatternFormat::Bgrx;
    DrawTestPatternFrame(static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                         GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), GST_VIDEO_INFO_WIDTH(&info),
                         GST_VIDEO_INFO_HEIGHT(&info), format, self->FrameNumber);
    gst_video_frame_unmap(&frame);
    const GstClockTime start = FrameStart(rate, self->FrameNumber);
    GST_BUFFER_PTS(buffer) = start;
    GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
    GST_BUFFER_DURATION(buffer) = FrameStart(rate, self->FrameNumber + rate.Step) - start;
    GST_BUFFER_OFFSET(buffer) = static_cast<guint64>(self->FrameNumber);
    self->FrameNumber += rate.Step;
    GST_BUFFER_OFFSET_END(buffer) = static_cast<guint64>(self->FrameNumber);
    return GST_FLOW_OK;
}

void ClassInit(gpointer klass, gpointer) {
    gParentClass = static_cast<GstPushSrcClass*>(g_type_class_peek_parent(klass));
    GObjectClass* objectClass = G_OBJECT_CLASS(klass);
    objectClass->set_property = SetProperty;
    objectClass->get_property = GetProperty;
    g_object_class_install_property(
        objectClass, kPropFrameTime,
        g_param_spec_int64("frame-time", "Frame time",
                           "Frame time of the taker in 100-ns units (0: every frame)", 0,
                           G_MAXINT64, 0,
                           static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));

    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(elementClass, &gSrcTemplate);
    gst_element_class_set_static_metadata(elementClass, "Test Pattern", "Source/Video",
                                          "A moving ball, drawn only for the frames taken",
                                          "Vantrelle Media Solutions");

    GstBaseSrcClass* baseClass = GST_BASE_SRC_CLASS(klass);
    baseClass->set_caps = SetCaps;
    baseClass->fixate = Fixate;
    baseClass->start = Start;
    baseClass->query = Query;
    baseClass->get_times = GetTimes;
    GST_PUSH_SRC_CLASS(klass)->fill = Fill;
}

GType PatternSourceType() {
    static const GType type = RegisterElementType<TPatternSource, TPatternSourceClass>(
        GST_TYPE_PUSH_SRC, "TandrelTestPatternSource", ClassInit, InstanceInit);
    return type;
}

}  // namespace

namespace TestPatternSource {

bool Register() {
    return RegisterElementFactory(kFactoryName, PatternSourceType());
}

TGstElementHandle Create(const char* Name) {
    if (!Register()) {
        LogMessage("Error in TestPatternSource.Create - the element cannot be registered.");
        return {};
    }
    return TGstElementHandle::Adopt(gst_element_factory_make(kFactoryName, Name));
}

}  // namespace TestPatternSource
