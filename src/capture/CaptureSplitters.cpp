#include "capture/CaptureSplitters.h"

#include <cstring>

namespace CaptureSplitters {

namespace {

constexpr const char* kInnerDemux = "demux";
constexpr const char* kSuffixKey = "tandrel-stream-suffix";

TGstElementHandle InnerDemux(GstElement* bin) {
    return GST_IS_BIN(bin)
               ? TGstElementHandle::Adopt(gst_bin_get_by_name(GST_BIN(bin), kInnerDemux))
               : TGstElementHandle{};
}

GstPad* AddGhost(GstElement* bin, const char* name, GstPad* target, GstPadDirection dir,
                 const char* templateCaps) {
    GstPad* ghost = nullptr;
    if (target != nullptr) {
        ghost = gst_ghost_pad_new(name, target);
    } else {
        GstCaps* caps = gst_caps_from_string(templateCaps);
        GstPadTemplate* templ = gst_pad_template_new(name, dir, GST_PAD_ALWAYS, caps);
        gst_caps_unref(caps);
        ghost = gst_ghost_pad_new_no_target_from_template(name, templ);
        gst_object_unref(templ);
    }
    if (ghost == nullptr) {
        return nullptr;
    }
    gst_pad_set_active(ghost, TRUE);
    gst_element_add_pad(bin, ghost);
    return ghost;
}

// "DVVidOut0" before it has a target: the DV video of the interleaved stream at the input.
gboolean DVVideoPinQuery(GstPad* pad, GstObject* parent, GstQuery* query) {
    GstPad* target = gst_ghost_pad_get_target(GST_GHOST_PAD(pad));
    const bool targeted = target != nullptr;
    if (target != nullptr) {
        gst_object_unref(target);
    }
    if (GST_QUERY_TYPE(query) != GST_QUERY_CAPS || targeted) {
        return gst_pad_query_default(pad, parent, query);
    }
    GstCaps* result = gst_pad_get_pad_template_caps(pad);
    TGstPadHandle input =
        TGstPadHandle::Adopt(gst_element_get_static_pad(GST_ELEMENT(parent), kDVSplitterInputPin));
    TGstCapsHandle upstream =
        input ? TGstCapsHandle::Adopt(gst_pad_peer_query_caps(input.Get(), nullptr)) : nullptr;
    if (upstream && !gst_caps_is_any(upstream.Get()) && !gst_caps_is_empty(upstream.Get())) {
        GstStructure* s = gst_structure_copy(gst_caps_get_structure(upstream.Get(), 0));
        if (gst_structure_has_name(s, "video/x-dv")) {
            gst_structure_set(s, "systemstream", G_TYPE_BOOLEAN, FALSE, nullptr);
            gst_caps_unref(result);
            result = gst_caps_new_full(s, nullptr);
        } else {
            gst_structure_free(s);
        }
    }
    GstCaps* filter = nullptr;
    gst_query_parse_caps(query, &filter);
    if (filter != nullptr) {
        GstCaps* both = gst_caps_intersect_full(filter, result, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(result);
        result = both;
    }
    gst_query_set_caps_result(query, result);
    gst_caps_unref(result);
    return TRUE;
}

void OnDVPad(GstElement*, GstPad* pad, gpointer ghost) {
    gchar* name = gst_pad_get_name(pad);
    const bool video = name != nullptr && std::strcmp(name, "video") == 0;
    g_free(name);
    if (video) {
        gst_ghost_pad_set_target(GST_GHOST_PAD(ghost), pad);
    }
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return !suffix.empty() && text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void OnDemuxPad(GstElement* demux, GstPad* pad, gpointer) {
    GstElement* bin = GST_ELEMENT(gst_object_get_parent(GST_OBJECT(demux)));
    if (bin == nullptr) {
        return;
    }
    TGstPadHandle ghost =
        TGstPadHandle::Adopt(gst_element_get_static_pad(bin, kDemultiplexerVideoPin));
    gchar* rawName = gst_pad_get_name(pad);
    const std::string name = rawName != nullptr ? rawName : "";
    g_free(rawName);
    if (ghost && name.rfind("video", 0) == 0) {
        auto* suffix =
            static_cast<const std::string*>(g_object_get_data(G_OBJECT(ghost.Get()), kSuffixKey));
        GstPad* current = gst_ghost_pad_get_target(GST_GHOST_PAD(ghost.Get()));
        // The mapped stream wins; otherwise the first video stream is taken.
        if (current == nullptr || (suffix != nullptr && EndsWith(name, *suffix))) {
            gst_ghost_pad_set_target(GST_GHOST_PAD(ghost.Get()), pad);
        }
        if (current != nullptr) {
            gst_object_unref(current);
        }
    }
    gst_object_unref(bin);
}

void DeleteSuffix(gpointer data) {
    delete static_cast<std::string*>(data);
}

}  // namespace

TGstElementHandle MakeDVSplitter() {
    TGstElementHandle bin = TGstElementHandle::Adopt(gst_bin_new(nullptr));
    GstElement* demux = gst_element_factory_make("dvdemux", kInnerDemux);
    if (!bin || demux == nullptr) {
        return {};
    }
    gst_bin_add(GST_BIN(bin.Get()), demux);
    TGstPadHandle sink = TGstPadHandle::Adopt(gst_element_get_static_pad(demux, "sink"));
    AddGhost(bin.Get(), kDVSplitterInputPin, sink.Get(), GST_PAD_SINK, nullptr);
    GstPad* video = AddGhost(bin.Get(), kDVSplitterVideoPin, nullptr, GST_PAD_SRC,
                             "video/x-dv, systemstream=(boolean)false");
    if (video == nullptr) {
        return {};
    }
    gst_pad_set_query_function(video, DVVideoPinQuery);
    g_signal_connect(demux, "pad-added", G_CALLBACK(OnDVPad), video);
    return bin;
}

TGstElementHandle MakeDemultiplexer(const std::string& demuxFactory) {
    TGstElementHandle bin = TGstElementHandle::Adopt(gst_bin_new(nullptr));
    GstElement* demux = gst_element_factory_make(demuxFactory.c_str(), kInnerDemux);
    if (!bin || demux == nullptr) {
        return {};
    }
    gst_bin_add(GST_BIN(bin.Get()), demux);
    TGstPadHandle sink = TGstPadHandle::Adopt(gst_element_get_static_pad(demux, "sink"));
    if (AddGhost(bin.Get(), kDemultiplexerInputPin, sink.Get(), GST_PAD_SINK, nullptr) == nullptr) {
        return {};
    }
    g_signal_connect(demux, "pad-added", G_CALLBACK(OnDemuxPad), nullptr);
    return bin;
}

HRESULT CreateVideoOutputPin(GstElement* demultiplexer, const std::string& streamSuffix) {
    if (!InnerDemux(demultiplexer)) {
        return E_FAIL;
    }
    TGstPadHandle existing =
        TGstPadHandle::Adopt(gst_element_get_static_pad(demultiplexer, kDemultiplexerVideoPin));
    if (existing) {
        return E_FAIL;
    }
    GstPad* ghost = AddGhost(demultiplexer, kDemultiplexerVideoPin, nullptr, GST_PAD_SRC,
                             "video/mpeg, mpegversion=(int)2, systemstream=(boolean)false");
    if (ghost == nullptr) {
        return E_FAIL;
    }
    g_object_set_data_full(G_OBJECT(ghost), kSuffixKey, new std::string(streamSuffix),
                           DeleteSuffix);
    return S_OK;
}

}  // namespace CaptureSplitters
