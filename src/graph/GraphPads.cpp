#include "graph/GraphPads.h"

#include <cstring>

namespace GraphPads {

GstPadDirection ToPadDirection(TPinDirection dir) {
    return dir == PINDIR_INPUT ? GST_PAD_SINK : GST_PAD_SRC;
}

std::vector<TGstPadHandle> ElementPads(GstElement* element) {
    std::vector<TGstPadHandle> pads;
    if (element == nullptr) {
        return pads;
    }
    GST_OBJECT_LOCK(element);
    for (GList* l = GST_ELEMENT_PADS(element); l != nullptr; l = l->next) {
        pads.push_back(TGstPadHandle::Ref(GST_PAD(l->data)));
    }
    GST_OBJECT_UNLOCK(element);
    return pads;
}

namespace {

TGstPadHandle RequestPad(GstElement* element, const std::string& name, GstPadDirection dir) {
    GstElementClass* klass = GST_ELEMENT_GET_CLASS(element);
    for (GList* l = gst_element_class_get_pad_template_list(klass); l != nullptr; l = l->next) {
        GstPadTemplate* templ = GST_PAD_TEMPLATE(l->data);
        if (GST_PAD_TEMPLATE_PRESENCE(templ) != GST_PAD_REQUEST ||
            GST_PAD_TEMPLATE_DIRECTION(templ) != dir) {
            continue;
        }
        const char* templName = GST_PAD_TEMPLATE_NAME_TEMPLATE(templ);
        if (name == templName) {
            return TGstPadHandle::Adopt(gst_element_request_pad(element, templ, nullptr, nullptr));
        }
        // A concrete name: the template's fixed prefix, then a number where it has "%u"/"%d".
        const char* percent = std::strchr(templName, '%');
        if (percent == nullptr) {
            continue;
        }
        const size_t prefix = static_cast<size_t>(percent - templName);
        if (name.compare(0, prefix, templName, prefix) != 0 || name.size() == prefix ||
            name.find_first_not_of("0123456789", prefix) != std::string::npos ||
            std::strlen(percent) != 2) {
            continue;
        }
        return TGstPadHandle::Adopt(gst_element_request_pad(element, templ, name.c_str(), nullptr));
    }
    return {};
}

}  // namespace

TGstPadHandle FindPad(GstElement* element, const std::string& name, TPinDirection dir,
                      bool allowRequest, bool* requested) {
    if (requested != nullptr) {
        *requested = false;
    }
    if (element == nullptr) {
        return {};
    }
    const GstPadDirection padDir = ToPadDirection(dir);
    for (auto& pad : ElementPads(element)) {
        if (GST_PAD_DIRECTION(pad.Get()) != padDir) {
            continue;
        }
        if (name.empty()) {
            return pad;
        }
        gchar* padName = gst_pad_get_name(pad.Get());
        const bool same = padName != nullptr && name == padName;
        g_free(padName);
        if (same) {
            return pad;
        }
    }
    if (name.empty() || !allowRequest) {
        return {};
    }
    TGstPadHandle pad = RequestPad(element, name, padDir);
    if (pad && requested != nullptr) {
        *requested = true;
    }
    return pad;
}

TGstPadHandle Peer(GstPad* pad) {
    return pad != nullptr ? TGstPadHandle::Adopt(gst_pad_get_peer(pad)) : TGstPadHandle{};
}

TGstPadHandle PeerAcrossBins(GstPad* pad) {
    TGstPadHandle current = Peer(pad);
    // Nested bins give chains of ghost pads; the bound only guards against a broken graph.
    for (int depth = 0; current && depth < 64; ++depth) {
        GstPad* p = current.Get();
        if (GST_IS_GHOST_PAD(p)) {
            // The outside of a bin: go in to the pad the ghost stands for.
            current = TGstPadHandle::Adopt(gst_ghost_pad_get_target(GST_GHOST_PAD(p)));
        } else if (GST_IS_PROXY_PAD(p)) {
            // The inside of a ghost pad: go out through the ghost to its own link.
            TGstPadHandle ghost =
                TGstPadHandle::Adopt(GST_PAD(gst_proxy_pad_get_internal(GST_PROXY_PAD(p))));
            if (!ghost) {
                return {};
            }
            current = Peer(ghost.Get());
        } else {
            return current;
        }
    }
    return {};
}

TGstElementHandle ParentElement(GstPad* pad) {
    return pad != nullptr ? TGstElementHandle::Adopt(gst_pad_get_parent_element(pad))
                          : TGstElementHandle{};
}

HRESULT LinkPads(GstPad* src, GstPad* sink) {
    if (src == nullptr || sink == nullptr) {
        return E_POINTER;
    }
    switch (gst_pad_link_full(src, sink, GST_PAD_LINK_CHECK_DEFAULT)) {
        case GST_PAD_LINK_OK:
            return S_OK;
        case GST_PAD_LINK_WAS_LINKED:
            return VFW_E_ALREADY_CONNECTED;
        case GST_PAD_LINK_WRONG_DIRECTION:
            return E_INVALIDARG;
        case GST_PAD_LINK_WRONG_HIERARCHY:
            return VFW_E_NOT_FOUND;
        case GST_PAD_LINK_NOFORMAT:
            return VFW_E_TYPE_NOT_ACCEPTED;
        default:
            return VFW_E_CANNOT_CONNECT;
    }
}

HRESULT UnlinkPad(GstPad* pad) {
    TGstPadHandle peer = Peer(pad);
    if (!peer) {
        return VFW_E_NOT_CONNECTED;
    }
    const bool output = GST_PAD_DIRECTION(pad) == GST_PAD_SRC;
    GstPad* src = output ? pad : peer.Get();
    GstPad* sink = output ? peer.Get() : pad;
    return gst_pad_unlink(src, sink) ? S_OK : E_FAIL;
}

TStreamKind KindOfCaps(const GstCaps* caps) {
    if (caps == nullptr || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) {
        return TStreamKind::Other;
    }
    const char* name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    if (std::strcmp(name, "video/x-raw") == 0) {
        return TStreamKind::RawVideo;
    }
    if (std::strcmp(name, "audio/x-raw") == 0) {
        return TStreamKind::RawAudio;
    }
    return TStreamKind::Other;
}

TGstCapsHandle ConnectionCaps(GstPad* pad) {
    if (pad == nullptr) {
        return {};
    }
    if (GstCaps* current = gst_pad_get_current_caps(pad)) {
        return TGstCapsHandle::Adopt(current);
    }
    if (!gst_pad_is_linked(pad)) {
        return {};
    }
    return TGstCapsHandle::Adopt(gst_pad_peer_query_caps(pad, nullptr));
}

}  // namespace GraphPads
