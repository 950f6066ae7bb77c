#include "graph/GraphRender.h"

#include <initializer_list>
#include <mutex>
#include <utility>
#include <vector>

#include "graph/DefaultSinks.h"
#include "graph/LiveDecoders.h"
#include "platform/Diagnostics.h"

namespace GraphRender {

using GraphPads::TStreamKind;

namespace {

TGstElementHandle Make(const char* factory) {
    return TGstElementHandle::Adopt(gst_element_factory_make(factory, nullptr));
}

void RemoveElements(GstBin* bin, const std::vector<TGstElementHandle>& elements) {
    for (const auto& e : elements) {
        if (e && GST_OBJECT_PARENT(e.Get()) == GST_OBJECT(bin)) {
            gst_element_set_state(e.Get(), GST_STATE_NULL);
            gst_bin_remove(bin, e.Get());
        }
    }
}

// Adds `elements` to `bin` as a linked chain, links `src` to its first input and, when given,
// its last output to `target`; brings the new elements to the bin's state. On failure the
// chain is removed again and the graph is as before.
HRESULT AddChain(GstBin* bin, GstPad* src, const std::vector<TGstElementHandle>& elements,
                 GstPad* target) {
    for (const auto& e : elements) {
        if (!e) {
            return VFW_E_CANNOT_RENDER;  // a missing plugin
        }
    }
    std::vector<TGstElementHandle> added;
    HRESULT hr = S_OK;
    for (const auto& e : elements) {
        if (!gst_bin_add(bin, e.Get())) {
            hr = VFW_E_CANNOT_RENDER;
            break;
        }
        added.push_back(e);
    }
    for (size_t i = 1; SUCCEEDED(hr) && i < elements.size(); ++i) {
        if (!gst_element_link(elements[i - 1].Get(), elements[i].Get())) {
            hr = VFW_E_CANNOT_CONNECT;
        }
    }
    if (SUCCEEDED(hr)) {
        TGstPadHandle first =
            TGstPadHandle::Adopt(gst_element_get_static_pad(elements.front().Get(), "sink"));
        hr = GraphPads::LinkPads(src, first.Get());
    }
    if (SUCCEEDED(hr) && target != nullptr) {
        TGstPadHandle last =
            TGstPadHandle::Adopt(gst_element_get_static_pad(elements.back().Get(), "src"));
        hr = GraphPads::LinkPads(last.Get(), target);
        if (FAILED(hr)) {
            TGstPadHandle firstSink =
                TGstPadHandle::Adopt(gst_element_get_static_pad(elements.front().Get(), "sink"));
            gst_pad_unlink(src, firstSink.Get());
        }
    }
    if (FAILED(hr)) {
        RemoveElements(bin, added);
        return hr;
    }
    for (auto it = elements.rbegin(); it != elements.rend(); ++it) {
        gst_element_sync_state_with_parent(it->Get());
    }
    return S_OK;
}

// Ends a raw stream in a converter chain and a sink (made by `videoSink` for video when set);
// `head` is the chain's first element. On failure the graph is unchanged.
HRESULT AddSinkChain(GstBin* bin, GstPad* src, TStreamKind kind, const TVideoSinkFactory& videoSink,
                     TGstElementHandle& head) {
    std::vector<TGstElementHandle> chain;
    if (kind == TStreamKind::RawVideo) {
        chain = {Make("videoconvert"), videoSink ? videoSink() : CreateDefaultVideoSink()};
    } else if (kind == TStreamKind::RawAudio) {
        chain = {Make("audioconvert"), Make("audioresample"), CreateDefaultAudioSink()};
    } else {
        return VFW_E_CANNOT_RENDER;
    }
    const HRESULT hr = AddChain(bin, src, chain, nullptr);
    if (SUCCEEDED(hr)) {
        head = chain.front();
    }
    return hr;
}

TStreamKind PadKind(GstPad* pad) {
    TGstCapsHandle caps = TGstCapsHandle::Adopt(gst_pad_get_current_caps(pad));
    if (!caps) {
        caps = TGstCapsHandle::Adopt(gst_pad_query_caps(pad, nullptr));
    }
    return GraphPads::KindOfCaps(caps.Get());
}

// The sink chains a rendering decoder made, one per decoded stream. Stop takes the decoder's
// outputs away (their links go with them) and every start adds them again; they take the
// free chains of their kind instead of new ones, which would be a second set of sinks that
// never prerolls. Owned by the decoder's "pad-added" handler.
struct TDecodedChains {
    TVideoSinkFactory VideoSink;
    std::mutex Lock;  // outputs appear on the decoder's streaming threads
    std::vector<std::pair<TStreamKind, TGstElementHandle>> Heads;
};

void DeleteDecodedChains(gpointer chains, GClosure*) {
    delete static_cast<TDecodedChains*>(chains);
}

// Links `pad` to a chain of `kind` that is still in `bin` and whose input is free; chains
// taken out of the graph since are forgotten.
bool RelinkFreeChain(TDecodedChains& chains, GstBin* bin, GstPad* pad, TStreamKind kind) {
    std::erase_if(chains.Heads, [bin](const auto& head) {
        return !gst_object_has_as_parent(GST_OBJECT(head.second.Get()), GST_OBJECT(bin));
    });
    for (const auto& [headKind, head] : chains.Heads) {
        if (headKind != kind) {
            continue;
        }
        TGstPadHandle input = TGstPadHandle::Adopt(gst_element_get_static_pad(head.Get(), "sink"));
        if (input && !gst_pad_is_linked(input.Get()) &&
            SUCCEEDED(GraphPads::LinkPads(pad, input.Get()))) {
            return true;
        }
    }
    return false;
}

// "pad-added" of a decoder that renders: every raw video or audio stream goes to a free chain
// of its kind, else to a new one; other streams (subtitles, streams without a decoder) stay
// unconnected.
void OnDecodedPadRender(GstElement* decoder, GstPad* pad, gpointer data) {
    try {
        auto& chains = *static_cast<TDecodedChains*>(data);
        const TStreamKind kind = PadKind(pad);
        if (kind == TStreamKind::Other) {
            return;
        }
        GstObject* parent = gst_object_get_parent(GST_OBJECT(decoder));
        if (parent == nullptr) {
            return;
        }
        const TGstHandle<GstBin> bin = TGstHandle<GstBin>::Adopt(GST_BIN(parent));
        std::lock_guard lock(chains.Lock);
        if (RelinkFreeChain(chains, bin.Get(), pad, kind)) {
            return;
        }
        TGstElementHandle head;
        if (SUCCEEDED(AddSinkChain(bin.Get(), pad, kind, chains.VideoSink, head))) {
            chains.Heads.emplace_back(kind, std::move(head));
        }
    } catch (...) {
        LogMessage("Error in GraphRender.OnDecodedPadRender call...");
    }
}

// Has `decoder` end its decoded streams in sinks, keeping the chains across restarts.
void RenderDecodedPads(GstElement* decoder, const TVideoSinkFactory& videoSink) {
    g_signal_connect_data(decoder, "pad-added", G_CALLBACK(OnDecodedPadRender),
                          new TDecodedChains{videoSink, {}, {}}, DeleteDecodedChains,
                          GConnectFlags(0));
}

// "pad-added" of a decoder inserted by ConnectIntelligent: the first decoded stream that
// the converter (user data, one reference) accepts is linked to it.
void OnDecodedPadConnect(GstElement*, GstPad* pad, gpointer converter) {
    TGstPadHandle sink =
        TGstPadHandle::Adopt(gst_element_get_static_pad(GST_ELEMENT(converter), "sink"));
    if (sink && !gst_pad_is_linked(sink.Get())) {
        GraphPads::LinkPads(pad, sink.Get());
    }
}

void UnrefConverter(gpointer converter, GClosure*) {
    gst_object_unref(converter);
}

bool Accepts(GstPad* pad, const char* mediaType) {
    TGstCapsHandle caps = TGstCapsHandle::Adopt(gst_pad_query_caps(pad, nullptr));
    TGstCapsHandle wanted = TGstCapsHandle::Adopt(gst_caps_new_empty_simple(mediaType));
    return caps && gst_caps_can_intersect(caps.Get(), wanted.Get());
}

}  // namespace

HRESULT RenderPad(GstBin* bin, GstPad* src, const TVideoSinkFactory& videoSink) {
    if (bin == nullptr || src == nullptr) {
        return E_POINTER;
    }
    if (GST_PAD_DIRECTION(src) != GST_PAD_SRC) {
        return E_INVALIDARG;
    }
    if (gst_pad_is_linked(src)) {
        return VFW_E_ALREADY_CONNECTED;
    }
    const TStreamKind kind = PadKind(src);
    if (kind != TStreamKind::Other) {
        TGstElementHandle head;
        return AddSinkChain(bin, src, kind, videoSink, head);
    }
    // Connected before the decoder runs: it may expose its outputs as soon as it starts.
    TGstElementHandle decoder = Make("decodebin");
    if (!decoder) {
        return VFW_E_CANNOT_RENDER;
    }
    RenderDecodedPads(decoder.Get(), videoSink);
    return AddChain(bin, src, {decoder}, nullptr);
}

HRESULT ConnectIntelligent(GstBin* bin, GstPad* src, GstPad* sink) {
    if (bin == nullptr || src == nullptr || sink == nullptr) {
        return E_POINTER;
    }
    HRESULT hr = GraphPads::LinkPads(src, sink);
    if (hr == S_OK || hr == VFW_E_ALREADY_CONNECTED || hr == E_INVALIDARG) {
        return hr;
    }
    const TStreamKind srcKind = PadKind(src);
    const bool toVideo = Accepts(sink, "video/x-raw");
    const bool toAudio = Accepts(sink, "audio/x-raw");
    if (srcKind == TStreamKind::RawVideo && toVideo) {
        return AddChain(bin, src, {Make("videoconvert"), Make("videoscale")}, sink);
    }
    if (srcKind == TStreamKind::RawAudio && toAudio) {
        return AddChain(bin, src, {Make("audioconvert"), Make("audioresample")}, sink);
    }
    if (srcKind != TStreamKind::Other || (!toVideo && !toAudio)) {
        return VFW_E_CANNOT_CONNECT;
    }
    // Encoded input: decoder, then the converter that ends in `sink`.
    std::vector<TGstElementHandle> converter =
        toVideo ? std::vector<TGstElementHandle>{Make("videoconvert"), Make("videoscale")}
                : std::vector<TGstElementHandle>{Make("audioconvert"), Make("audioresample")};
    TGstElementHandle decoder = Make("decodebin");
    if (!decoder || !converter.front() || !converter.back()) {
        return VFW_E_CANNOT_CONNECT;
    }
    ConfigureLiveDecoders(decoder.Get());
    for (const auto& e : converter) {
        gst_bin_add(bin, e.Get());
    }
    hr = gst_element_link(converter.front().Get(), converter.back().Get()) ? S_OK
                                                                           : VFW_E_CANNOT_CONNECT;
    if (SUCCEEDED(hr)) {
        TGstPadHandle out =
            TGstPadHandle::Adopt(gst_element_get_static_pad(converter.back().Get(), "src"));
        hr = GraphPads::LinkPads(out.Get(), sink);
    }
    if (SUCCEEDED(hr)) {
        hr = AddChain(bin, src, {decoder}, nullptr);
    }
    if (FAILED(hr)) {
        RemoveElements(bin, converter);
        return hr;
    }
    g_signal_connect_data(decoder.Get(), "pad-added", G_CALLBACK(OnDecodedPadConnect),
                          gst_object_ref(converter.front().Get()), UnrefConverter,
                          GConnectFlags(0));
    for (auto it = converter.rbegin(); it != converter.rend(); ++it) {
        gst_element_sync_state_with_parent(it->Get());
    }
    return S_OK;
}

HRESULT RenderFile(GstBin* bin, const std::string& fileName, const TVideoSinkFactory& videoSink) {
    if (bin == nullptr) {
        return E_POINTER;
    }
    if (fileName.empty() || !g_file_test(fileName.c_str(), G_FILE_TEST_IS_REGULAR)) {
        return VFW_E_NOT_FOUND;
    }
    gchar* uri = gst_filename_to_uri(fileName.c_str(), nullptr);
    if (uri == nullptr) {
        return VFW_E_NOT_FOUND;
    }
    TGstElementHandle decoder = Make("uridecodebin");
    if (!decoder) {
        g_free(uri);
        return VFW_E_CANNOT_RENDER;
    }
    g_object_set(decoder.Get(), "uri", uri, nullptr);
    g_free(uri);
    if (!gst_bin_add(bin, decoder.Get())) {
        return VFW_E_CANNOT_RENDER;
    }
    RenderDecodedPads(decoder.Get(), videoSink);
    gst_element_sync_state_with_parent(decoder.Get());
    return S_OK;
}

TGstElementHandle FindRenderer(GstBin* bin, TStreamKind kind) {
    if (bin == nullptr) {
        return {};
    }
    std::vector<TGstElementHandle> sinks;
    GST_OBJECT_LOCK(bin);
    for (GList* l = GST_BIN_CHILDREN(bin); l != nullptr; l = l->next) {
        GstElement* child = GST_ELEMENT(l->data);
        if (GST_OBJECT_FLAG_IS_SET(child, GST_ELEMENT_FLAG_SINK)) {
            sinks.push_back(TGstElementHandle::Ref(child));
        }
    }
    GST_OBJECT_UNLOCK(bin);
    for (auto& sink : sinks) {
        if (sink.Get()->numsrcpads > 0) {
            continue;
        }
        for (auto& pad : GraphPads::ElementPads(sink.Get())) {
            TGstCapsHandle caps = GraphPads::ConnectionCaps(pad.Get());
            if (GST_PAD_DIRECTION(pad.Get()) == GST_PAD_SINK &&
                GraphPads::KindOfCaps(caps.Get()) == kind) {
                return sink;
            }
        }
    }
    return {};
}

}  // namespace GraphRender
