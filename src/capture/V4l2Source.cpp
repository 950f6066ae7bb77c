#include "capture/V4l2Source.h"

#include <cstring>

namespace V4l2Source {

namespace {

bool IsV4l2Src(GstElement* element) {
    GstElementFactory* factory = gst_element_get_factory(element);
    return factory != nullptr &&
           std::strcmp(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "v4l2src") == 0;
}

}  // namespace

TGstElementHandle Find(GstElement* object) {
    if (object == nullptr) {
        return {};
    }
    if (IsV4l2Src(object)) {
        return TGstElementHandle::Ref(object);
    }
    if (!GST_IS_BIN(object)) {
        return {};
    }
    TGstElementHandle found;
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(object));
    GValue item = G_VALUE_INIT;
    bool done = false;
    while (!done && !found) {
        switch (gst_iterator_next(it, &item)) {
            case GST_ITERATOR_OK: {
                auto* child = GST_ELEMENT(g_value_get_object(&item));
                if (IsV4l2Src(child)) {
                    found = TGstElementHandle::Ref(child);
                }
                g_value_reset(&item);
                break;
            }
            case GST_ITERATOR_RESYNC:
                gst_iterator_resync(it);
                break;
            default:
                done = true;
                break;
        }
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return found;
}

bool OpenDevice(GstElement* source, bool readWrite, TV4l2Device& device) {
    if (source == nullptr) {
        return false;
    }
    gint fd = -1;
    g_object_get(source, "device-fd", &fd, nullptr);
    if (fd >= 0) {
        return device.Borrow(fd);
    }
    gchar* path = nullptr;
    g_object_get(source, "device", &path, nullptr);
    if (path == nullptr) {
        return false;
    }
    const bool opened = device.Open(path, readWrite);
    g_free(path);
    return opened;
}

bool ReadControls(GstElement* object, std::vector<TV4l2Control>& controls) {
    controls.clear();
    TGstElementHandle source = Find(object);
    TV4l2Device device;
    return source && OpenDevice(source.Get(), false, device) && device.QueryUserControls(controls);
}

bool WriteControl(GstElement* object, uint32_t id, int32_t value) {
    TGstElementHandle source = Find(object);
    TV4l2Device device;
    return source && OpenDevice(source.Get(), true, device) && device.SetControl(id, value);
}

}  // namespace V4l2Source
