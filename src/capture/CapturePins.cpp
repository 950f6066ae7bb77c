#include "capture/CapturePins.h"

#include <gst/video/video.h>

#include <cstring>

#include "graph/GraphPads.h"
#include "graph/MediaTypeCaps.h"

namespace CapturePins {

namespace {

constexpr const char* kCategoryKey = "tandrel-pin-category";
constexpr const char* kStreamConfigKey = "tandrel-stream-config";

void DeleteConfig(gpointer data) {
    delete static_cast<TCaptureStreamConfigPtr*>(data);
}

// What the media framework reports for a raw format we cannot map: its FOURCC as subtype.
bool FallbackMediaType(const GstCaps* caps, TMediaType& mt) {
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    if (std::strcmp(gst_structure_get_name(s), "video/x-raw") != 0) {
        return false;
    }
    const char* format = gst_structure_get_string(s, "format");
    const uint32_t fourcc =
        format != nullptr ? gst_video_format_to_fourcc(gst_video_format_from_string(format)) : 0;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = FourCCGuid(fourcc);
    TVideoInfoHeader vih{};
    int width = 0;
    int height = 0;
    gst_structure_get_int(s, "width", &width);
    gst_structure_get_int(s, "height", &height);
    vih.rcSource = {0, 0, width, height};
    vih.rcTarget = vih.rcSource;
    vih.bmiHeader.biSize = sizeof(TBitmapInfoHeader);
    vih.bmiHeader.biWidth = width;
    vih.bmiHeader.biHeight = height;
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biCompression = fourcc;
    mt.SetFormat(FORMAT_VideoInfo, vih);
    return true;
}

bool OffersMajorType(GstPad* pin, const TGUID* majorType) {
    if (majorType == nullptr) {
        return true;
    }
    for (const TMediaType& mt : PinMediaTypes(pin)) {
        if (mt.majortype == *majorType) {
            return true;
        }
    }
    return false;
}

}  // namespace

void SetPinCategory(GstPad* pin, TPinCategory category) {
    g_object_set_data(G_OBJECT(pin), kCategoryKey, GINT_TO_POINTER(static_cast<int>(category)));
}

TPinCategory PinCategory(GstPad* pin) {
    return static_cast<TPinCategory>(
        GPOINTER_TO_INT(g_object_get_data(G_OBJECT(pin), kCategoryKey)));
}

void SetStreamConfig(GstPad* pin, const TCaptureStreamConfigPtr& config) {
    g_object_set_data_full(G_OBJECT(pin), kStreamConfigKey, new TCaptureStreamConfigPtr(config),
                           DeleteConfig);
}

TCaptureStreamConfigPtr StreamConfig(GstPad* pin) {
    if (pin == nullptr) {
        return {};
    }
    auto* config =
        static_cast<TCaptureStreamConfigPtr*>(g_object_get_data(G_OBJECT(pin), kStreamConfigKey));
    return config != nullptr ? *config : TCaptureStreamConfigPtr{};
}

std::vector<TMediaType> PinMediaTypes(GstPad* pin) {
    std::vector<TMediaType> types;
    if (pin == nullptr) {
        return types;
    }
    TGstCapsHandle caps = TGstCapsHandle::Adopt(gst_pad_query_caps(pin, nullptr));
    if (!caps || gst_caps_is_any(caps.Get())) {
        return types;
    }
    for (guint i = 0; i < gst_caps_get_size(caps.Get()); ++i) {
        GstCaps* one =
            gst_caps_new_full(gst_structure_copy(gst_caps_get_structure(caps.Get(), i)), nullptr);
        one = gst_caps_fixate(one);
        TMediaType mt;
        // A compressed kind that is only named (no caps back) cannot be connected by the
        // capture graph: it reads like any other unknown format.
        if (!MediaTypeFromCaps(one, mt) || !CapsFromMediaType(mt)) {
            mt = TMediaType{};
            FallbackMediaType(one, mt);
        }
        gst_caps_unref(one);
        types.push_back(std::move(mt));
    }
    return types;
}

TGstPadHandle FindPin(GstElement* filter, TPinCategory category, const TGUID* majorType) {
    for (auto& pad : GraphPads::ElementPads(filter)) {
        if (GST_PAD_DIRECTION(pad.Get()) != GST_PAD_SRC || gst_pad_is_linked(pad.Get())) {
            continue;
        }
        if (category != TPinCategory::Any && PinCategory(pad.Get()) != category) {
            continue;
        }
        if (OffersMajorType(pad.Get(), majorType)) {
            return pad;
        }
    }
    return {};
}

TCaptureStreamConfigPtr FindStreamConfig(GstElement* filter, TPinCategory category,
                                         const TGUID& majorType) {
    TGstPadHandle pin = FindPin(filter, category, &majorType);
    return StreamConfig(pin.Get());
}

}  // namespace CapturePins
