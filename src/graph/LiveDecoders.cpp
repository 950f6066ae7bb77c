#include "graph/LiveDecoders.h"

namespace {

void OnElementAdded(GstBin*, GstBin*, GstElement* Element, gpointer) {
    ConfigureLiveDecoder(Element);
}

}  // namespace

void ConfigureLiveDecoder(GstElement* Element) {
    if (Element == nullptr) {
        return;
    }
    GObjectClass* elementClass = G_OBJECT_GET_CLASS(Element);
    if (g_object_class_find_property(elementClass, "max-threads") != nullptr) {
        g_object_set(Element, "max-threads", kLiveDecoderMaxThreads, nullptr);
    }
    if (g_object_class_find_property(elementClass, "thread-type") != nullptr) {
        gst_util_set_object_arg(G_OBJECT(Element), "thread-type", "slice");
    }
}

void ConfigureLiveDecoders(GstElement* Decodebin) {
    if (Decodebin != nullptr) {
        g_signal_connect(Decodebin, "deep-element-added", G_CALLBACK(OnElementAdded), nullptr);
    }
}
