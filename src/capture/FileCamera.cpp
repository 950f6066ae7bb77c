#include "capture/FileCamera.h"

#include <gst/app/gstappsrc.h>
#include <gst/pbutils/pbutils.h>

#include <cstdio>
#include <cstring>

#include "capture/CaptureSourceBin.h"
#include "capture/GraphPads.h"
#include "capture/MediaTypeCaps.h"

namespace FileCamera {

namespace {

constexpr GstClockTime kDiscoverTimeout = 10 * GST_SECOND;

bool HasName(const GstCaps* caps, const char* name) {
    return caps != nullptr && !gst_caps_is_empty(caps) && !gst_caps_is_any(caps) &&
           std::strcmp(gst_structure_get_name(gst_caps_get_structure(caps, 0)), name) == 0;
}

bool IsSystemStream(const GstCaps* caps) {
    gboolean system = FALSE;
    gst_structure_get_boolean(gst_caps_get_structure(caps, 0), "systemstream", &system);
    return system != FALSE;
}

// Reads the file in fixed chunks on the byte source's streaming thread, starting again at the
// beginning at its end. Only that thread touches it once the source exists.
struct TLoopingReader {
    std::FILE* File = nullptr;
    size_t Chunk = 0;
    ~TLoopingReader() {
        if (File != nullptr) {
            std::fclose(File);
        }
    }
};

void OnNeedData(GstAppSrc* src, guint, gpointer data) {
    auto* reader = static_cast<TLoopingReader*>(data);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, reader->Chunk, nullptr);
    GstMapInfo map;
    if (buffer == nullptr || !gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
        if (buffer != nullptr) {
            gst_buffer_unref(buffer);
        }
        gst_app_src_end_of_stream(src);
        return;
    }
    size_t got = std::fread(map.data, 1, reader->Chunk, reader->File);
    if (got < reader->Chunk) {
        // Loop: the rest of the chunk comes from the beginning of the file. Demultiplexers
        // take the restarting clock references as a discontinuity (DV and transport streams
        // play on; the program-stream demultiplexer stops after the first pass).
        std::rewind(reader->File);
        got += std::fread(map.data + got, 1, reader->Chunk - got, reader->File);
    }
    gst_buffer_unmap(buffer, &map);
    if (got == 0) {
        gst_buffer_unref(buffer);
        gst_app_src_end_of_stream(src);
        return;
    }
    gst_buffer_set_size(buffer, static_cast<gssize>(got));
    gst_app_src_push_buffer(src, buffer);
}

void DeleteReader(gpointer data) {
    delete static_cast<TLoopingReader*>(data);
}

// The camera's byte stream: the file looped, with `caps`. Not a live source: the renderer's
// clock paces it, so it plays in real time.
TGstElementHandle MakeLoopingByteSource(const std::string& path, GstCaps* caps, size_t chunk) {
    auto* reader = new TLoopingReader;
    reader->File = std::fopen(path.c_str(), "rb");
    reader->Chunk = chunk;
    TGstElementHandle src = TGstElementHandle::Adopt(gst_element_factory_make("appsrc", "File"));
    if (reader->File == nullptr || !src) {
        delete reader;
        return {};
    }
    g_object_set(src.Get(), "caps", caps, "format", GST_FORMAT_BYTES, "stream-type",
                 GST_APP_STREAM_TYPE_STREAM, "is-live", FALSE, "max-bytes",
                 static_cast<guint64>(chunk * 4), nullptr);
    GstAppSrcCallbacks callbacks{};
    callbacks.need_data = OnNeedData;
    gst_app_src_set_callbacks(GST_APP_SRC(src.Get()), &callbacks, reader, DeleteReader);
    return src;
}

// Decoded pictures of the file, looping: at the end of the stream the decoder is sought back to
// the start. The seek's flush stays inside the file camera (the rest of the graph keeps running)
// and the segments after a loop are moved on by the time already played, so running time goes
// on without a gap, like a camera's. The state is only touched on the decoder's streaming thread
// (flush events come from the seeking thread but do not touch it).
struct TLoopState {
    GstSegment Segment;         // as the decoder sent it
    GstClockTime Played = 0;    // running time of all finished rounds
    GstClockTime RoundEnd = 0;  // running time reached in this round
};

void SeekToStart(GstElement*, gpointer pad) {
    gst_pad_send_event(GST_PAD(pad), gst_event_new_seek(1.0, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH,
                                                        GST_SEEK_TYPE_SET, 0, GST_SEEK_TYPE_NONE,
                                                        GST_CLOCK_TIME_NONE));
}

GstPadProbeReturn OnDecodedData(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    auto* state = static_cast<TLoopState*>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        GstClockTime end = GST_BUFFER_PTS(buffer);
        if (GST_CLOCK_TIME_IS_VALID(end) && GST_BUFFER_DURATION_IS_VALID(buffer)) {
            end += GST_BUFFER_DURATION(buffer);
        }
        const GstClockTime running =
            gst_segment_to_running_time(&state->Segment, GST_FORMAT_TIME, end);
        if (GST_CLOCK_TIME_IS_VALID(running) && running > state->RoundEnd) {
            state->RoundEnd = running;
        }
        return GST_PAD_PROBE_OK;
    }
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_START ||
        GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) {
        return GST_PAD_PROBE_DROP;
    }
    if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
        gst_event_copy_segment(event, &state->Segment);
        if (state->Played > state->Segment.base) {
            GstSegment moved = state->Segment;
            moved.base += state->Played;
            GstEvent* replacement = gst_event_new_segment(&moved);
            gst_event_unref(event);
            GST_PAD_PROBE_INFO_DATA(info) = replacement;
        }
        return GST_PAD_PROBE_OK;
    }
    if (GST_EVENT_TYPE(event) != GST_EVENT_EOS) {
        return GST_PAD_PROBE_OK;
    }
    state->Played += state->RoundEnd;
    state->RoundEnd = 0;
    // Seeking from the streaming thread would wait for itself; a pool thread does it.
    TGstElementHandle decoder = GraphPads::ParentElement(pad);
    if (decoder) {
        gst_element_call_async(decoder.Get(), SeekToStart, gst_object_ref(pad), gst_object_unref);
    }
    return GST_PAD_PROBE_DROP;
}

void OnDecodedPad(GstElement*, GstPad* pad, gpointer converter) {
    TGstCapsHandle caps = TGstCapsHandle::Adopt(gst_pad_query_caps(pad, nullptr));
    if (!HasName(caps.Get(), "video/x-raw")) {
        return;
    }
    TGstPadHandle sink =
        TGstPadHandle::Adopt(gst_element_get_static_pad(GST_ELEMENT(converter), "sink"));
    if (!sink || gst_pad_is_linked(sink.Get()) ||
        gst_pad_link(pad, sink.Get()) != GST_PAD_LINK_OK) {
        return;
    }
    auto* state = new TLoopState;
    gst_segment_init(&state->Segment, GST_FORMAT_TIME);
    gst_pad_add_probe(pad,
                      GstPadProbeType(GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                                      GST_PAD_PROBE_TYPE_EVENT_FLUSH | GST_PAD_PROBE_TYPE_BUFFER),
                      OnDecodedData, state, [](gpointer d) { delete static_cast<TLoopState*>(d); });
}

// filesrc ! decodebin ! videoconvert ! videoscale ! videorate, as a bin with output "src".
TGstElementHandle MakeDecodedSource(const std::string& path) {
    TGstElementHandle bin = TGstElementHandle::Adopt(gst_bin_new("File"));
    GstElement* file = gst_element_factory_make("filesrc", nullptr);
    GstElement* decoder = gst_element_factory_make("decodebin", nullptr);
    GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement* scale = gst_element_factory_make("videoscale", nullptr);
    GstElement* rate = gst_element_factory_make("videorate", nullptr);
    if (!bin || file == nullptr || decoder == nullptr || convert == nullptr || scale == nullptr ||
        rate == nullptr) {
        for (GstElement* e : {file, decoder, convert, scale, rate}) {
            if (e != nullptr) {
                gst_object_unref(gst_object_ref_sink(e));
            }
        }
        return {};
    }
    g_object_set(file, "location", path.c_str(), nullptr);
    gst_bin_add_many(GST_BIN(bin.Get()), file, decoder, convert, scale, rate, nullptr);
    if (!gst_element_link(file, decoder) || !gst_element_link_many(convert, scale, rate, nullptr)) {
        return {};
    }
    g_signal_connect(decoder, "pad-added", G_CALLBACK(OnDecodedPad), convert);
    TGstPadHandle out = TGstPadHandle::Adopt(gst_element_get_static_pad(rate, "src"));
    GstPad* ghost = gst_ghost_pad_new("src", out.Get());
    gst_pad_set_active(ghost, TRUE);
    gst_element_add_pad(bin.Get(), ghost);
    return bin;
}

// The decoded picture as the camera offers it: YUY2, then RGB32, at the file's size and rate.
TGstCapsHandle DecodedOffer(const TInfo& info) {
    GstCaps* caps = gst_caps_new_empty();
    for (const char* format : {"YUY2", "BGRx"}) {
        GstStructure* s =
            gst_structure_new("video/x-raw", "format", G_TYPE_STRING, format, "width", G_TYPE_INT,
                              info.Width, "height", G_TYPE_INT, info.Height, nullptr);
        if (info.RateNum > 0) {
            gst_structure_set(s, "framerate", GST_TYPE_FRACTION, info.RateNum, info.RateDen,
                              nullptr);
        }
        gst_caps_append_structure(caps, s);
    }
    return TGstCapsHandle::Adopt(caps);
}

}  // namespace

TInfo Discover(const std::string& path) {
    TInfo info;
    GError* error = nullptr;
    GstDiscoverer* discoverer = gst_discoverer_new(kDiscoverTimeout, &error);
    if (discoverer == nullptr) {
        g_clear_error(&error);
        return info;
    }
    gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
    GstDiscovererInfo* result =
        uri != nullptr ? gst_discoverer_discover_uri(discoverer, uri, &error) : nullptr;
    g_free(uri);
    g_clear_error(&error);
    if (result != nullptr && gst_discoverer_info_get_result(result) == GST_DISCOVERER_OK) {
        GList* videos = gst_discoverer_info_get_video_streams(result);
        if (videos != nullptr) {
            auto* video = GST_DISCOVERER_VIDEO_INFO(videos->data);
            info.Width = static_cast<int>(gst_discoverer_video_info_get_width(video));
            info.Height = static_cast<int>(gst_discoverer_video_info_get_height(video));
            info.RateNum = static_cast<int>(gst_discoverer_video_info_get_framerate_num(video));
            info.RateDen = static_cast<int>(gst_discoverer_video_info_get_framerate_denom(video));
            if (info.RateDen <= 0) {
                info.RateNum = 0;
                info.RateDen = 1;
            }
            GstDiscovererStreamInfo* top = gst_discoverer_info_get_stream_info(result);
            TGstCapsHandle caps = TGstCapsHandle::Adopt(
                top != nullptr ? gst_discoverer_stream_info_get_caps(top) : nullptr);
            if (top != nullptr) {
                gst_discoverer_stream_info_unref(top);
            }
            if (HasName(caps.Get(), "video/x-dv") && IsSystemStream(caps.Get())) {
                info.Kind = TKind::DV;
            } else if (HasName(caps.Get(), "video/mpegts")) {
                info.Kind = TKind::TransportStream;
            } else if (HasName(caps.Get(), "video/mpeg") && IsSystemStream(caps.Get())) {
                info.Kind = TKind::ProgramStream;
            } else if (info.Width > 0 && info.Height > 0) {
                info.Kind = TKind::Decoded;
            }
            gst_discoverer_stream_info_list_free(videos);
        }
    }
    if (result != nullptr) {
        gst_discoverer_info_unref(result);
    }
    g_object_unref(discoverer);
    return info;
}

TGstElementHandle MakeFilter(const std::string& name, const std::string& path) {
    const TInfo info = Discover(path);
    switch (info.Kind) {
        case TKind::DV: {
            // One DV frame per chunk: 120,000 bytes for 525 lines, 144,000 for 625.
            const size_t frame = info.Height == 480 ? 120000 : 144000;
            GstCaps* caps = gst_caps_new_simple(
                "video/x-dv", "systemstream", G_TYPE_BOOLEAN, TRUE, "width", G_TYPE_INT, info.Width,
                "height", G_TYPE_INT, info.Height, "framerate", GST_TYPE_FRACTION, info.RateNum,
                info.RateDen, nullptr);
            TGstElementHandle src = MakeLoopingByteSource(path, caps, frame);
            TGstElementHandle filter =
                CaptureSourceBin::MakeStreamSource(name, src, caps, "DV A/V Out");
            gst_caps_unref(caps);
            return filter;
        }
        case TKind::TransportStream: {
            GstCaps* caps = gst_caps_new_simple("video/mpegts", "systemstream", G_TYPE_BOOLEAN,
                                                TRUE, "packetsize", G_TYPE_INT, 188, nullptr);
            TGstElementHandle src = MakeLoopingByteSource(path, caps, 188 * 64);
            TGstElementHandle filter =
                CaptureSourceBin::MakeStreamSource(name, src, caps, "MPEG2 TS Out");
            gst_caps_unref(caps);
            return filter;
        }
        case TKind::ProgramStream: {
            GstCaps* caps = gst_caps_new_simple("video/mpeg", "mpegversion", G_TYPE_INT, 2,
                                                "systemstream", G_TYPE_BOOLEAN, TRUE, nullptr);
            TGstElementHandle src = MakeLoopingByteSource(path, caps, 65536);
            TGstElementHandle filter =
                CaptureSourceBin::MakeStreamSource(name, src, caps, "MPEG PS Out");
            gst_caps_unref(caps);
            return filter;
        }
        case TKind::Decoded: {
            TGstCapsHandle offer = DecodedOffer(info);
            return CaptureSourceBin::MakeFormatSource(name, MakeDecodedSource(path), offer.Get());
        }
        case TKind::Unusable:
            break;
    }
    return TGstElementHandle::Adopt(gst_bin_new(name.c_str()));
}

}  // namespace FileCamera
