#include "recording/SourceStream.h"

#include <gst/base/gstpushsrc.h>

#include <stdexcept>
#include <utility>

#include "graph/MediaTypeCaps.h"
#include "platform/Diagnostics.h"
#include "platform/GstElementType.h"

namespace {

struct TSourceStreamElement {
    GstPushSrc Parent;
    TBCSourceStream* Stream;
    std::shared_ptr<void>* Owner;
};

struct TSourceStreamElementClass {
    GstPushSrcClass ParentClass;
};

GstPushSrcClass* gParentClass = nullptr;

GstStaticPadTemplate gSrcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format = (string) { BGRx, YUY2 }; audio/x-raw"));

TBCSourceStream* StreamOf(gpointer element) {
    return reinterpret_cast<TSourceStreamElement*>(element)->Stream;
}

void InstanceInit(GTypeInstance* instance, gpointer) {
    auto* self = reinterpret_cast<TSourceStreamElement*>(instance);
    self->Stream = nullptr;
    self->Owner = nullptr;
    gst_base_src_set_format(GST_BASE_SRC(instance), GST_FORMAT_TIME);
    gst_base_src_set_live(GST_BASE_SRC(instance), FALSE);
}

void Finalize(GObject* object) {
    auto* self = reinterpret_cast<TSourceStreamElement*>(object);
    self->Stream = nullptr;
    // May free the filter and with it the pin object.
    delete std::exchange(self->Owner, nullptr);
    G_OBJECT_CLASS(gParentClass)->finalize(object);
}

GstCaps* GetCaps(GstBaseSrc* src, GstCaps* filter) {
    TBCSourceStream* stream = StreamOf(src);
    GstCaps* caps = stream != nullptr ? stream->ElementCaps() : nullptr;
    if (caps == nullptr) {
        caps = gst_caps_new_empty();
    }
    if (filter != nullptr) {
        GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(caps);
        caps = both;
    }
    return caps;
}

gboolean SetCaps(GstBaseSrc* src, GstCaps* caps) {
    TBCSourceStream* stream = StreamOf(src);
    return stream != nullptr && stream->ElementSetCaps(caps);
}

gboolean DecideAllocation(GstBaseSrc* src, GstQuery*) {
    TBCSourceStream* stream = StreamOf(src);
    return stream != nullptr && stream->ElementDecideAllocation();
}

GstFlowReturn Create(GstPushSrc* src, GstBuffer** buffer) {
    TBCSourceStream* stream = StreamOf(src);
    return stream != nullptr ? stream->ElementCreate(buffer) : GST_FLOW_ERROR;
}

gboolean Start(GstBaseSrc* src) {
    TBCSourceStream* stream = StreamOf(src);
    return stream != nullptr && stream->ElementStart();
}

gboolean Stop(GstBaseSrc* src) {
    TBCSourceStream* stream = StreamOf(src);
    return stream == nullptr || stream->ElementStop();
}

gboolean Unlock(GstBaseSrc* src) {
    if (TBCSourceStream* stream = StreamOf(src)) {
        stream->ElementUnlock(true);
    }
    return TRUE;
}

gboolean UnlockStop(GstBaseSrc* src) {
    if (TBCSourceStream* stream = StreamOf(src)) {
        stream->ElementUnlock(false);
    }
    return TRUE;
}

// Quality messages go to Notify, which does not handle them.
gboolean Event(GstBaseSrc* src, GstEvent* event) {
    if (GST_EVENT_TYPE(event) == GST_EVENT_QOS) {
        TBCSourceStream* stream = StreamOf(src);
        return stream != nullptr && SUCCEEDED(stream->Notify());
    }
    return GST_BASE_SRC_CLASS(gParentClass)->event(src, event);
}

void ClassInit(gpointer klass, gpointer) {
    gParentClass = static_cast<GstPushSrcClass*>(g_type_class_peek_parent(klass));
    G_OBJECT_CLASS(klass)->finalize = Finalize;
    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(elementClass, &gSrcTemplate);
    gst_element_class_set_static_metadata(elementClass, "Audio Video Source Filter", "Source/Video",
                                          "Delivers the program's frames",
                                          "Vantrelle Media Solutions");
    GstBaseSrcClass* baseClass = GST_BASE_SRC_CLASS(klass);
    baseClass->get_caps = GetCaps;
    baseClass->set_caps = SetCaps;
    baseClass->decide_allocation = DecideAllocation;
    baseClass->start = Start;
    baseClass->stop = Stop;
    baseClass->unlock = Unlock;
    baseClass->unlock_stop = UnlockStop;
    baseClass->event = Event;
    GST_PUSH_SRC_CLASS(klass)->create = Create;
}

GType SourceStreamType() {
    static const GType type = RegisterElementType<TSourceStreamElement, TSourceStreamElementClass>(
        GST_TYPE_PUSH_SRC, "TandrelAVSourcePin", ClassInit, InstanceInit);
    return type;
}

}  // namespace

TBCSourceStream::TBCSourceStream(const std::string& ElementName, std::shared_ptr<void> Owner,
                                 std::mutex& StateLock)
    : FStateLock(StateLock) {
    FElement = GST_ELEMENT(g_object_new(SourceStreamType(), "name", ElementName.c_str(), nullptr));
    if (FElement == nullptr) {
        throw std::runtime_error("source pin element not created");
    }
    auto* self = reinterpret_cast<TSourceStreamElement*>(FElement);
    self->Stream = this;
    self->Owner = new std::shared_ptr<void>(std::move(Owner));
}

TBCSourceStream::~TBCSourceStream() {
    if (FLastBuffer != nullptr) {
        gst_buffer_unref(FLastBuffer);
    }
    if (FPool != nullptr) {
        gst_buffer_pool_set_active(FPool, FALSE);
        gst_object_unref(FPool);
    }
}

HRESULT TBCSourceStream::Notify() {
    return E_FAIL;
}

HRESULT TBCSourceStream::SetMediaType(const TMediaType* pmt) {
    if (pmt == nullptr) {
        return E_POINTER;
    }
    std::lock_guard lock(FStateLock);
    FMediaType = *pmt;
    return S_OK;
}

HRESULT TBCSourceStream::CompleteConnect() {
    return S_OK;
}

HRESULT TBCSourceStream::OnThreadCreate() {
    MarkStreamStart();
    return S_OK;
}

HRESULT TBCSourceStream::SetProperties(GstBufferPool* Allocator, GstCaps* Caps,
                                       const TAllocatorProperties& Request,
                                       TAllocatorProperties& Actual) {
    if (Allocator == nullptr) {
        return E_POINTER;
    }
    GstStructure* config = gst_buffer_pool_get_config(Allocator);
    // At least the requested buffers, more only while downstream still holds earlier ones.
    gst_buffer_pool_config_set_params(config, Caps, static_cast<guint>(Request.cbBuffer),
                                      static_cast<guint>(Request.cBuffers), 0);
    if (!gst_buffer_pool_set_config(Allocator, config)) {
        return E_FAIL;
    }
    config = gst_buffer_pool_get_config(Allocator);
    guint size = 0;
    guint minBuffers = 0;
    gst_buffer_pool_config_get_params(config, nullptr, &size, &minBuffers, nullptr);
    gst_structure_free(config);
    Actual = Request;
    Actual.cbBuffer = static_cast<int32_t>(size);
    Actual.cBuffers = static_cast<int32_t>(minBuffers);
    return S_OK;
}

GstCaps* TBCSourceStream::ElementCaps() {
    TMediaType mt;
    if (GetMediaType(0, &mt) != S_OK) {
        return nullptr;
    }
    TGstCapsHandle caps = CapsFromMediaType(mt);
    if (!caps) {
        return nullptr;
    }
    if (mt.majortype == MEDIATYPE_Video) {
        caps = TGstCapsHandle::Adopt(gst_caps_make_writable(caps.Release()));
        gst_caps_set_simple(caps.Get(), "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    }
    return caps.Release();
}

bool TBCSourceStream::ElementSetCaps(GstCaps* caps) {
    TMediaType mt;
    if (!MediaTypeFromCaps(caps, mt) || CheckMediaType(&mt) != S_OK) {
        return false;
    }
    return SetMediaType(&mt) == S_OK && CompleteConnect() == S_OK;
}

bool TBCSourceStream::ElementDecideAllocation() {
    if (FPool == nullptr) {
        FPool = gst_buffer_pool_new();
    } else {
        gst_buffer_pool_set_active(FPool, FALSE);
    }
    TAllocatorProperties request;
    if (DecideBufferSize(FPool, &request) != S_OK) {
        return false;
    }
    return gst_buffer_pool_set_active(FPool, TRUE) != FALSE;
}

bool TBCSourceStream::ElementStart() {
    std::lock_guard lock(FWaitLock);
    FThreadCreated = false;
    FFlushing = false;
    return true;
}

bool TBCSourceStream::ElementStop() {
    if (FLastBuffer != nullptr) {
        gst_buffer_unref(FLastBuffer);
        FLastBuffer = nullptr;
    }
    if (FPool != nullptr) {
        gst_buffer_pool_set_active(FPool, FALSE);
    }
    return true;
}

void TBCSourceStream::ElementUnlock(bool flushing) {
    {
        std::lock_guard lock(FWaitLock);
        FFlushing = flushing;
    }
    FWaitWake.notify_all();
}

GstFlowReturn TBCSourceStream::ElementCreate(GstBuffer** buffer) {
    if (!FThreadCreated) {
        FThreadCreated = true;
        if (FAILED(OnThreadCreate())) {
            return GST_FLOW_ERROR;
        }
    }
    TMediaSample sample(FPool, FLastBuffer);
    const HRESULT hr = FillBuffer(&sample);
    if (hr == S_FALSE) {
        return GST_FLOW_EOS;
    }
    if (hr == VFW_E_WRONG_STATE) {
        return GST_FLOW_FLUSHING;
    }
    if (FAILED(hr)) {
        return GST_FLOW_ERROR;
    }
    const bool newPicture = sample.HasNewData();
    GstBuffer* out = sample.Deliver();
    if (out == nullptr) {
        return GST_FLOW_ERROR;
    }
    if (newPicture || FLastBuffer == nullptr) {
        // Kept as the picture a sample without a new one repeats.
        if (FLastBuffer != nullptr) {
            gst_buffer_unref(FLastBuffer);
        }
        FLastBuffer = gst_buffer_ref(out);
    }
    *buffer = out;
    return GST_FLOW_OK;
}

bool TBCSourceStream::WaitUntilStreamTime(int64_t streamTime) {
    const auto deadline = FStartTime + std::chrono::microseconds(streamTime / 10);
    std::unique_lock lock(FWaitLock);
    FWaitWake.wait_until(lock, deadline, [this] { return FFlushing; });
    return !FFlushing;
}
