#include "videolog/PlaybackStreamOrigin.h"

#include <cstdlib>
#include <cstring>

#include "graph/GraphPads.h"
#include "platform/GstHandle.h"

namespace {

// Decoders, parsers and queues between the demuxer and the decoded pad; a bound for safety.
constexpr int kLongestChain = 32;

bool ReadHex(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 8 ||
        text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return false;
    }
    value = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
    return true;
}

// Follows a ghost pad down to the element pad it stands for.
TGstPadHandle RealPad(TGstPadHandle pad) {
    for (int depth = 0; pad && GST_IS_GHOST_PAD(pad.Get()) && depth < kLongestChain; ++depth) {
        pad = TGstPadHandle::Adopt(gst_ghost_pad_get_target(GST_GHOST_PAD(pad.Get())));
    }
    return pad;
}

// The input of `element` that feeds its output `out`: the internal link where the element
// names one (multiqueue pairs its pads), else its first input.
TGstPadHandle InputFeeding(GstElement* element, GstPad* out) {
    TGstIteratorHandle links(gst_pad_iterate_internal_links(out));
    if (links) {
        GValue item = G_VALUE_INIT;
        if (gst_iterator_next(links.get(), &item) == GST_ITERATOR_OK) {
            TGstPadHandle in = TGstPadHandle::Ref(GST_PAD(g_value_get_object(&item)));
            g_value_unset(&item);
            return in;
        }
    }
    return GraphPads::FindPad(element, "", PINDIR_INPUT, false);
}

std::string PadName(GstPad* pad) {
    gchar* name = gst_pad_get_name(pad);
    std::string text = name != nullptr ? name : "";
    g_free(name);
    return text;
}

bool IsTransportStreamDemuxer(GstElement* element) {
    GstElementFactory* factory = gst_element_get_factory(element);
    return factory != nullptr &&
           std::strcmp(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "tsdemux") == 0;
}

}  // namespace

bool ParseDemuxerPadName(const std::string& Name, uint32_t& Pid) {
    const size_t first = Name.find('_');
    const size_t second = first == std::string::npos ? first : Name.find('_', first + 1);
    if (first == 0 || second == std::string::npos) {
        return false;
    }
    uint32_t counter = 0;
    uint32_t pid = 0;
    if (!ReadHex(Name.substr(first + 1, second - first - 1), counter) ||
        !ReadHex(Name.substr(second + 1), pid)) {
        return false;
    }
    Pid = pid;
    return true;
}

bool FindTransportStreamPid(GstPad* DecodedPad, uint32_t& Pid) {
    TGstPadHandle out = RealPad(TGstPadHandle::Ref(DecodedPad));
    for (int depth = 0; out && depth < kLongestChain; ++depth) {
        TGstElementHandle element = GraphPads::ParentElement(out.Get());
        if (!element) {
            return false;
        }
        if (IsTransportStreamDemuxer(element.Get())) {
            return ParseDemuxerPadName(PadName(out.Get()), Pid);
        }
        TGstPadHandle in = InputFeeding(element.Get(), out.Get());
        if (!in) {
            return false;
        }
        out = GraphPads::PeerAcrossBins(in.Get());
    }
    return false;
}
