#include "capture/NetworkCamera.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include "capture/CaptureSourceBin.h"
#include "capture/NetworkCameraProbes.h"
#include "capture/ProbeStop.h"
#include "graph/LiveDecoders.h"
#include "platform/Diagnostics.h"
#include "platform/MediaFramework.h"

namespace NetworkCamera {

namespace {

// How long RTSP waits for UDP data before it asks for the stream over TCP, and for a TCP
// answer (microseconds, as rtspsrc takes them); how long HTTP waits for an answer (seconds).
constexpr guint64 kRtspUdpTimeoutUs = 2'000'000;
constexpr guint64 kRtspTcpTimeoutUs = 5'000'000;
constexpr guint kHttpTimeoutS = 5;
// RTSP's jitter buffer: 200 ms of reordering, older packets dropped rather than queued.
constexpr guint kRtspLatencyMs = 200;
// The rate offered for a stream that names none (MJPEG over HTTP): the ten pictures a second
// the program takes. A rate converter holds the stream to it.
constexpr int kUnnamedRateNum = 10;

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool IsRtsp(const std::string& uri) {
    return uri.rfind("rtsp://", 0) == 0 || uri.rfind("rtsps://", 0) == 0;
}

std::string Unescape(const char* text) {
    if (text == nullptr) {
        return {};
    }
    gchar* plain = g_uri_unescape_string(text, nullptr);
    std::string result = plain != nullptr ? plain : text;
    g_free(plain);
    return result;
}

// GStreamer's URI parser, which needs GStreamer started: the camera lists are read at start-up,
// before any graph has been made.
GstUri* ParseUri(const std::string& uri) {
    if (!InitializeMediaFramework()) {
        return nullptr;
    }
    return gst_uri_from_string(uri.c_str());
}

// Splits "user:password@" off the URI into the camera's credentials.
bool TakeCredentials(const std::string& uri, TNetworkCamera& camera) {
    GstUri* parsed = ParseUri(uri);
    if (parsed == nullptr) {
        return false;
    }
    const gchar* userInfo = gst_uri_get_userinfo(parsed);
    if (userInfo != nullptr) {
        const std::string info = userInfo;
        const size_t colon = info.find(':');
        camera.User = Unescape(info.substr(0, colon).c_str());
        camera.Password =
            colon != std::string::npos ? Unescape(info.substr(colon + 1).c_str()) : "";
        gst_uri_set_userinfo(parsed, nullptr);
    }
    gchar* text = gst_uri_to_string(parsed);
    camera.Uri = text != nullptr ? text : uri;
    g_free(text);
    gst_uri_unref(parsed);
    return true;
}

// Once per camera and reason, so that a list made again and again does not repeat it.
void ReportUnopened(const TNetworkCamera& camera, const std::string& reason) {
    static std::mutex mutex;
    static std::map<std::string, std::string> reported;
    const std::string key = camera.Name + "\n" + camera.Uri;
    {
        std::lock_guard lock(mutex);
        auto [it, added] = reported.try_emplace(key, reason);
        if (!added) {
            if (it->second == reason) {
                return;
            }
            it->second = reason;
        }
    }
    LogMessageFmt("Error in NetworkCamera::Probe - %s (%s) cannot be opened: %s.",
                  camera.Name.c_str(), MaskedUri(camera).c_str(), reason.c_str());
}

// rtspsrc: only the video streams of the session are set up.
gboolean SelectVideoStream(GstElement*, guint, GstCaps* caps, gpointer) {
    const GstStructure* s =
        caps != nullptr && gst_caps_get_size(caps) > 0 ? gst_caps_get_structure(caps, 0) : nullptr;
    const gchar* media = s != nullptr ? gst_structure_get_string(s, "media") : nullptr;
    return media != nullptr && std::strcmp(media, "video") == 0;
}

// Links a new output of a source (rtspsrc, multipartdemux) to the decoder, once.
void LinkToDecoder(GstElement*, GstPad* pad, gpointer decoder) {
    TGstPadHandle sink =
        TGstPadHandle::Adopt(gst_element_get_static_pad(GST_ELEMENT(decoder), "sink"));
    if (sink && !gst_pad_is_linked(sink.Get())) {
        gst_pad_link(pad, sink.Get());
    }
}

// Links the decoder's first raw video output to `next` (its "sink" pad).
void LinkDecodedVideo(GstElement*, GstPad* pad, gpointer next) {
    TGstCapsHandle caps = TGstCapsHandle::Adopt(gst_pad_query_caps(pad, nullptr));
    if (!caps || gst_caps_is_empty(caps.Get()) ||
        !gst_structure_has_name(gst_caps_get_structure(caps.Get(), 0), "video/x-raw")) {
        return;
    }
    TGstPadHandle sink =
        TGstPadHandle::Adopt(gst_element_get_static_pad(GST_ELEMENT(next), "sink"));
    if (sink && !gst_pad_is_linked(sink.Get())) {
        gst_pad_link(pad, sink.Get());
    }
}

// The stream's source and decoder inside `bin`, the decoded video linked to `next` (an element
// of `bin`). False when an element is missing.
bool AddSourceChain(GstBin* bin, const TNetworkCamera& camera, GstElement* next) {
    GstElement* decoder = gst_element_factory_make("decodebin", nullptr);
    if (decoder == nullptr) {
        return false;
    }
    gst_bin_add(bin, decoder);
    ConfigureLiveDecoders(decoder);
    g_signal_connect(decoder, "pad-added", G_CALLBACK(LinkDecodedVideo), next);
    if (IsRtsp(camera.Uri)) {
        GstElement* source = gst_element_factory_make("rtspsrc", nullptr);
        if (source == nullptr) {
            return false;
        }
        // UDP first, TCP when no UDP data comes within the time-out (the element's own
        // fall-back); late packets are dropped, never queued without bound.
        g_object_set(source, "location", camera.Uri.c_str(), "latency", kRtspLatencyMs,
                     "drop-on-latency", TRUE, "timeout", kRtspUdpTimeoutUs, "tcp-timeout",
                     kRtspTcpTimeoutUs, nullptr);
        if (!camera.User.empty()) {
            g_object_set(source, "user-id", camera.User.c_str(), "user-pw", camera.Password.c_str(),
                         nullptr);
        }
        gst_bin_add(bin, source);
        g_signal_connect(source, "select-stream", G_CALLBACK(SelectVideoStream), nullptr);
        g_signal_connect(source, "pad-added", G_CALLBACK(LinkToDecoder), decoder);
        return true;
    }
    GstElement* source = gst_element_factory_make("souphttpsrc", nullptr);
    GstElement* demux = gst_element_factory_make("multipartdemux", nullptr);
    if (source == nullptr || demux == nullptr) {
        if (source != nullptr) {
            gst_object_unref(gst_object_ref_sink(source));
        }
        if (demux != nullptr) {
            gst_object_unref(gst_object_ref_sink(demux));
        }
        return false;
    }
    g_object_set(source, "location", camera.Uri.c_str(), "is-live", TRUE, "do-timestamp", TRUE,
                 "timeout", kHttpTimeoutS, nullptr);
    if (!camera.User.empty()) {
        g_object_set(source, "user-id", camera.User.c_str(), "user-pw", camera.Password.c_str(),
                     nullptr);
    }
    gst_bin_add_many(bin, source, demux, nullptr);
    if (!gst_element_link(source, demux)) {
        return false;
    }
    g_signal_connect(demux, "pad-added", G_CALLBACK(LinkToDecoder), decoder);
    return true;
}

// A clearer word for the failures a user can mend.
std::string ReasonOf(const GError* error) {
    if (error == nullptr) {
        return "no picture came";
    }
    const std::string message = error->message != nullptr ? error->message : "";
    if (error->domain == GST_RESOURCE_ERROR &&
        (error->code == GST_RESOURCE_ERROR_NOT_AUTHORIZED ||
         message.find("Unauthorized") != std::string::npos)) {
        return "the user name or password was refused";
    }
    return message.empty() ? "the stream failed" : message;
}

// The look proper; `stopped` tells whether it was ended from outside.
TStreamInfo ProbeNow(const TNetworkCamera& camera, int timeoutMs, TProbeStop* stop,
                     bool& stopped) {
    TStreamInfo info;
    TGstElementHandle pipeline = TGstElementHandle::Adopt(gst_pipeline_new("NetworkCameraProbe"));
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (!pipeline || sink == nullptr) {
        info.Reason = "the network elements are not installed";
        return info;
    }
    g_object_set(sink, "sync", FALSE, nullptr);
    gst_bin_add(GST_BIN(pipeline.Get()), sink);
    if (!AddSourceChain(GST_BIN(pipeline.Get()), camera, sink)) {
        info.Reason = "the network elements are not installed";
        return info;
    }
    TGstBusHandle bus = TGstBusHandle::Adopt(gst_element_get_bus(pipeline.Get()));
    if (stop != nullptr && !stop->Attach(bus.Get())) {
        stopped = true;
        stop->Detach();
        info.Reason = "stopped";
        return info;
    }
    gst_element_set_state(pipeline.Get(), GST_STATE_PLAYING);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    TGstPadHandle sinkPad = TGstPadHandle::Adopt(gst_element_get_static_pad(sink, "sink"));
    while (!info.Opened && info.Reason.empty()) {
        // The first decoded picture fixes the caps of the sink: the stream is open.
        TGstCapsHandle caps = TGstCapsHandle::Adopt(gst_pad_get_current_caps(sinkPad.Get()));
        if (caps && gst_caps_get_size(caps.Get()) > 0) {
            const GstStructure* s = gst_caps_get_structure(caps.Get(), 0);
            if (gst_structure_get_int(s, "width", &info.Width) &&
                gst_structure_get_int(s, "height", &info.Height) && info.Width > 0 &&
                info.Height > 0) {
                int num = 0;
                int den = 1;
                if (gst_structure_get_fraction(s, "framerate", &num, &den) && num > 0 && den > 0) {
                    info.RateNum = num;
                    info.RateDen = den;
                }
                info.Opened = true;
                break;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            info.Reason = "no picture came within " + std::to_string(timeoutMs / 1000) + " s";
            break;
        }
        GstMessage* message = gst_bus_timed_pop_filtered(
            bus.Get(), std::min<int64_t>(left.count(), 50) * GST_MSECOND,
            GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS | GST_MESSAGE_APPLICATION));
        if (message != nullptr) {
            if (TProbeStop::IsStopMessage(message)) {
                stopped = true;
                info.Reason = "stopped";
            } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_APPLICATION) {
                // not ours
            } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
                GError* error = nullptr;
                gst_message_parse_error(message, &error, nullptr);
                info.Reason = ReasonOf(error);
                g_clear_error(&error);
            } else {
                info.Reason = "the stream ended before its first picture";
            }
            gst_message_unref(message);
        }
    }
    if (stop != nullptr) {
        stop->Detach();
    }
    gst_element_set_state(pipeline.Get(), GST_STATE_NULL);
    return info;
}

TGstCapsHandle DecodedOffer(const TStreamInfo& info) {
    GstCaps* caps = gst_caps_new_empty();
    const int rateNum = info.RateNum > 0 ? info.RateNum : kUnnamedRateNum;
    const int rateDen = info.RateNum > 0 ? info.RateDen : 1;
    for (const char* format : {"I420", "YUY2", "BGRx"}) {
        GstStructure* s = gst_structure_new(
            "video/x-raw", "format", G_TYPE_STRING, format, "width", G_TYPE_INT, info.Width,
            "height", G_TYPE_INT, info.Height, "framerate", GST_TYPE_FRACTION, rateNum, rateDen,
            nullptr);
        gst_caps_append_structure(caps, s);
    }
    return TGstCapsHandle::Adopt(caps);
}

// source ! decoder ! queue (leaky) ! videoconvert ! videoscale ! videorate, as a bin with
// output "src". The rate converter passes a stream of the offered rate as it is and holds a
// stream without a rate of its own (MJPEG over HTTP) to the offered one.
TGstElementHandle MakeStreamSource(const TNetworkCamera& camera) {
    TGstElementHandle bin = TGstElementHandle::Adopt(gst_bin_new("Network"));
    GstElement* queue = gst_element_factory_make("queue", nullptr);
    GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement* scale = gst_element_factory_make("videoscale", nullptr);
    GstElement* rate = gst_element_factory_make("videorate", nullptr);
    if (!bin || queue == nullptr || convert == nullptr || scale == nullptr || rate == nullptr) {
        for (GstElement* e : {queue, convert, scale, rate}) {
            if (e != nullptr) {
                gst_object_unref(gst_object_ref_sink(e));
            }
        }
        return {};
    }
    // Two decoded pictures at most wait for the program; when it falls behind the oldest goes,
    // so the frame grab filter always gets the newest picture and no queue grows.
    g_object_set(queue, "max-size-buffers", 2, "max-size-bytes", 0, "max-size-time", guint64{0},
                 nullptr);
    gst_util_set_object_arg(G_OBJECT(queue), "leaky", "downstream");
    gst_bin_add_many(GST_BIN(bin.Get()), queue, convert, scale, rate, nullptr);
    if (!gst_element_link_many(queue, convert, scale, rate, nullptr) ||
        !AddSourceChain(GST_BIN(bin.Get()), camera, queue)) {
        return {};
    }
    TGstPadHandle out = TGstPadHandle::Adopt(gst_element_get_static_pad(rate, "src"));
    GstPad* ghost = gst_ghost_pad_new("src", out.Get());
    gst_pad_set_active(ghost, TRUE);
    gst_element_add_pad(bin.Get(), ghost);
    return bin;
}

}  // namespace

bool IsSupportedUri(const std::string& uri) {
    static const char* const schemes[] = {"rtsp", "rtsps", "http", "https"};
    GstUri* parsed = ParseUri(uri);
    if (parsed == nullptr) {
        return false;
    }
    const gchar* scheme = gst_uri_get_scheme(parsed);
    const gchar* host = gst_uri_get_host(parsed);
    const bool known = scheme != nullptr && host != nullptr && host[0] != '\0' &&
                       std::any_of(std::begin(schemes), std::end(schemes), [&](const char* s) {
                           return g_ascii_strcasecmp(s, scheme) == 0;
                       });
    gst_uri_unref(parsed);
    return known;
}

std::vector<TNetworkCamera> ParseList(const std::string& list) {
    std::vector<TNetworkCamera> cameras;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find_first_of(";\n", start);
        if (end == std::string::npos) {
            end = list.size();
        }
        const std::string entry = list.substr(start, end - start);
        start = end + 1;
        if (Trim(entry).empty()) {
            continue;
        }
        const size_t equals = entry.find('=');
        TNetworkCamera camera;
        camera.Name = Trim(entry.substr(0, equals));
        const std::string uri = equals != std::string::npos ? Trim(entry.substr(equals + 1)) : "";
        if (camera.Name.empty() || !IsSupportedUri(uri) || !TakeCredentials(uri, camera)) {
            LogMessageFmt(
                "Error in NetworkCamera::ParseList - the network camera \"%s\" has no "
                "rtsp, rtsps, http or https address; it is left out.",
                camera.Name.c_str());
            continue;
        }
        cameras.push_back(std::move(camera));
    }
    return cameras;
}

std::string FormatList(const std::vector<TNetworkCamera>& cameras) {
    std::string list;
    for (const TNetworkCamera& camera : cameras) {
        if (!list.empty()) {
            list += ';';
        }
        list += camera.Name + "=" + camera.Uri;
    }
    return list;
}

std::vector<TNetworkCamera> FromEnvironment() {
    const char* value = std::getenv("TANDREL_NETWORK_CAMERAS");
    return value != nullptr ? ParseList(value) : std::vector<TNetworkCamera>{};
}

std::string MaskedUri(const TNetworkCamera& camera) {
    if (camera.User.empty() && camera.Password.empty()) {
        return camera.Uri;
    }
    GstUri* parsed = ParseUri(camera.Uri);
    if (parsed == nullptr) {
        return camera.Uri;
    }
    gchar* user = g_uri_escape_string(camera.User.c_str(), nullptr, FALSE);
    const std::string info = std::string(user) + (camera.Password.empty() ? "" : ":***");
    g_free(user);
    gst_uri_set_userinfo(parsed, info.c_str());
    gchar* text = gst_uri_to_string(parsed);
    std::string masked = text != nullptr ? text : camera.Uri;
    g_free(text);
    gst_uri_unref(parsed);
    return masked;
}

TStreamInfo Probe(const TNetworkCamera& camera, int timeoutMs, TProbeStop* stop) {
    try {
        bool stopped = false;
        TStreamInfo info = ProbeNow(camera, timeoutMs, stop, stopped);
        if (!info.Opened && !stopped) {
            ReportUnopened(camera, info.Reason);
        }
        return info;
    } catch (...) {
        LogMessage("Error in NetworkCamera::Probe call...");
        return {};
    }
}

TGstElementHandle MakeFilter(const std::string& name, const TNetworkCamera& camera, int waitMs) {
    try {
        const std::optional<TStreamInfo> info =
            TNetworkCameraProbes::Instance().Result(camera, waitMs);
        if (info && info->Opened) {
            TGstElementHandle source = MakeStreamSource(camera);
            TGstCapsHandle offer = DecodedOffer(*info);
            if (source) {
                return CaptureSourceBin::MakeFormatSource(name, source, offer.Get());
            }
        }
    } catch (...) {
        LogMessage("Error in NetworkCamera::MakeFilter call...");
    }
    return TGstElementHandle::Adopt(gst_bin_new(name.c_str()));
}

}  // namespace NetworkCamera
