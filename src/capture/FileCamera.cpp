#include "capture/FileCamera.h"

#include <gst/app/gstappsrc.h>
#include <gst/base/gsttypefindhelper.h>
#include <gst/pbutils/pbutils.h>

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/CaptureSourceBin.h"
#include "graph/GraphPads.h"
#include "graph/LiveDecoders.h"
#include "graph/MediaTypeCaps.h"
#include "platform/Diagnostics.h"

namespace FileCamera {

namespace {

// How long the caller waits for a file to be inspected. The discoverer has a time-out of its
// own, but it only starts once the file is open, and opening can block (a file replaced by a
// named pipe, a hung network share), so the caller's wait is what bounds it.
constexpr auto kInspectTimeout = std::chrono::seconds(5);
// A little shorter, so that the discoverer's own answer (an error, or its time-out) comes
// before the caller stops waiting.
constexpr GstClockTime kDiscoverTimeout = 4 * GST_SECOND;

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
    virtual ~TLoopingReader() {
        if (File != nullptr) {
            std::fclose(File);
        }
    }
    // Fills `data` with up to `size` bytes; fewer (0 at worst) only when the file cannot go on.
    virtual size_t Read(uint8_t* data, size_t size) {
        size_t got = std::fread(data, 1, size, File);
        if (got < size) {
            // Loop: the rest comes from the beginning of the file. The DV and transport-stream
            // demultiplexers take the restarting clock references in their stride.
            std::rewind(File);
            got += std::fread(data + got, 1, size - got, File);
        }
        return got;
    }
};

// MPEG program streams: the program-stream demultiplexer does not survive its clock references
// jumping back when the file starts again (it stops delivering after the first pass). So the
// stream is read one pack header, system header or PES packet at a time, and every clock
// reference (SCR, PTS, DTS) of a pass is moved on by the play time of the passes before it: the
// demultiplexer sees one endless recording, as from a hardware encoder. Program end codes are
// left out, as they would end the stream in the middle.
class TProgramStreamReader : public TLoopingReader {
public:
    explicit TProgramStreamReader(uint64_t frameTicks) : FFrameTicks(frameTicks) {}

    size_t Read(uint8_t* data, size_t size) override {
        size_t got = 0;
        while (got < size) {
            if (FUnit.size() > FUnitPos) {
                const size_t n = std::min(size - got, FUnit.size() - FUnitPos);
                std::memcpy(data + got, FUnit.data() + FUnitPos, n);
                got += n;
                FUnitPos += n;
                continue;
            }
            if (!NextUnit()) {
                break;
            }
        }
        return got;
    }

private:
    static constexpr uint64_t kClockMask = (uint64_t{1} << 33) - 1;

    // PTS, DTS and an MPEG-1 pack's SCR: 33 bits in 5 bytes with marker bits.
    static uint64_t ReadTimestamp(const uint8_t* p) {
        return (uint64_t{p[0]} >> 1 & 7) << 30 | uint64_t{p[1]} << 22 |
               (uint64_t{p[2]} >> 1) << 15 | uint64_t{p[3]} << 7 | uint64_t{p[4]} >> 1;
    }
    static void WriteTimestamp(uint8_t* p, uint64_t v) {
        v &= kClockMask;
        p[0] = static_cast<uint8_t>((p[0] & 0xF1) | ((v >> 30 & 7) << 1));
        p[1] = static_cast<uint8_t>(v >> 22);
        p[2] = static_cast<uint8_t>(((v >> 15 & 0x7F) << 1) | 1);
        p[3] = static_cast<uint8_t>(v >> 7);
        p[4] = static_cast<uint8_t>(((v & 0x7F) << 1) | 1);
    }
    // An MPEG-2 pack's SCR base (the 9-bit extension is left as it is).
    static uint64_t ReadScr(const uint8_t* p) {
        return (uint64_t{p[0]} >> 3 & 7) << 30 | (uint64_t{p[0]} & 3) << 28 | uint64_t{p[1]} << 20 |
               (uint64_t{p[2]} >> 3) << 15 | (uint64_t{p[2]} & 3) << 13 | uint64_t{p[3]} << 5 |
               uint64_t{p[4]} >> 3;
    }
    static void WriteScr(uint8_t* p, uint64_t v) {
        v &= kClockMask;
        p[0] = static_cast<uint8_t>((p[0] & 0xC4) | ((v >> 30 & 7) << 3) | (v >> 28 & 3));
        p[1] = static_cast<uint8_t>(v >> 20);
        p[2] = static_cast<uint8_t>((p[2] & 0x04) | ((v >> 15 & 0x1F) << 3) | (v >> 13 & 3));
        p[3] = static_cast<uint8_t>(v >> 5);
        p[4] = static_cast<uint8_t>((p[4] & 0x07) | ((v & 0x1F) << 3));
    }

    bool ReadBytes(size_t n) {
        const size_t at = FUnit.size();
        FUnit.resize(at + n);
        return std::fread(FUnit.data() + at, 1, n, File) == n;
    }

    // The next unit into FUnit, its clock references moved on; at the end of the file the next
    // pass starts. False when a whole pass gave nothing (nothing to play).
    bool NextUnit() {
        FUnit.clear();
        FUnitPos = 0;
        for (int attempts = 0; attempts < 2; ++attempts) {
            while (true) {
                const int result = ReadUnit();
                if (result > 0) {
                    FPassHadUnits = true;
                    return true;
                }
                if (result < 0) {
                    break;
                }
                FUnit.clear();  // skipped (end code or damaged data): look further
            }
            if (!FPassHadUnits) {
                return false;
            }
            StartNextPass();
        }
        return false;
    }

    void StartNextPass() {
        // A pass lasts from its first picture to the end of its last one.
        const uint64_t span = FMaxPts >= FMinPts && FMinPts >= 0
                                  ? static_cast<uint64_t>(FMaxPts - FMinPts) + FFrameTicks
                                  : FFrameTicks;
        FOffset += span;
        FMinPts = -1;
        FMaxPts = -1;
        FPassHadUnits = false;
        FUnit.clear();
        std::rewind(File);
    }

    // 1: a unit is in FUnit; 0: skipped; -1: end of the file.
    int ReadUnit() {
        // Start code 00 00 01 xx (anything before it is dropped).
        int zeros = 0;
        while (true) {
            const int c = std::fgetc(File);
            if (c == EOF) {
                return -1;
            }
            if (c == 0) {
                ++zeros;
            } else if (c == 1 && zeros >= 2) {
                break;
            } else {
                zeros = 0;
            }
        }
        const int code = std::fgetc(File);
        if (code == EOF) {
            return -1;
        }
        FUnit = {0, 0, 1, static_cast<uint8_t>(code)};
        if (code <= 0xB9) {
            return 0;  // program end code, or not a system-level unit
        }
        if (code == 0xBA) {
            if (!ReadBytes(1)) {
                return -1;
            }
            if ((FUnit[4] & 0xC0) == 0x40) {  // MPEG-2 pack header, then its stuffing
                if (!ReadBytes(9) || !ReadBytes(FUnit[13] & 7)) {
                    return -1;
                }
                WriteScr(&FUnit[4], ReadScr(&FUnit[4]) + FOffset);
            } else if ((FUnit[4] & 0xF0) == 0x20) {  // MPEG-1 pack header
                if (!ReadBytes(7)) {
                    return -1;
                }
                WriteTimestamp(&FUnit[4], ReadTimestamp(&FUnit[4]) + FOffset);
            } else {
                return 0;
            }
            return 1;
        }
        if (!ReadBytes(2) || !ReadBytes(size_t{FUnit[4]} << 8 | FUnit[5])) {
            return -1;
        }
        MovePesTimestamps();
        return 1;
    }

    void MovePesTimestamps() {
        switch (FUnit[3]) {
            case 0xBB:  // system header
            case 0xBC:  // program stream map
            case 0xBE:  // padding
            case 0xBF:  // private stream 2
            case 0xF0:  // ECM
            case 0xF1:  // EMM
            case 0xF2:  // DSM-CC
            case 0xF8:  // H.222.1 type E
            case 0xFF:  // directory
                return;
            default:
                break;
        }
        const size_t size = FUnit.size();
        size_t pts = 0;
        bool dts = false;
        if (size >= 9 && (FUnit[6] & 0xC0) == 0x80) {  // MPEG-2 PES header
            const int flags = FUnit[7] >> 6;
            if ((flags & 2) == 0) {
                return;
            }
            pts = 9;
            dts = flags == 3;
        } else {  // MPEG-1: stuffing, optional buffer size, then the time stamps
            size_t p = 6;
            while (p < size && FUnit[p] == 0xFF) {
                ++p;
            }
            if (p < size && (FUnit[p] & 0xC0) == 0x40) {
                p += 2;
            }
            if (p >= size || (FUnit[p] & 0xE0) != 0x20) {
                return;
            }
            pts = p;
            dts = (FUnit[p] & 0xF0) == 0x30;
        }
        if (pts + (dts ? 10 : 5) > size) {
            return;
        }
        const uint64_t original = ReadTimestamp(&FUnit[pts]);
        const auto value = static_cast<int64_t>(original);
        if (FMinPts < 0 || value < FMinPts) {
            FMinPts = value;
        }
        if (value > FMaxPts) {
            FMaxPts = value;
        }
        WriteTimestamp(&FUnit[pts], original + FOffset);
        if (dts) {
            WriteTimestamp(&FUnit[pts + 5], ReadTimestamp(&FUnit[pts + 5]) + FOffset);
        }
    }

    const uint64_t FFrameTicks;  // one picture in 90 kHz ticks
    uint64_t FOffset = 0;        // added to every clock reference of this pass
    int64_t FMinPts = -1;        // presentation time stamps of this pass, as in the file
    int64_t FMaxPts = -1;
    bool FPassHadUnits = false;
    std::vector<uint8_t> FUnit;  // the unit being handed on
    size_t FUnitPos = 0;
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
    const size_t got = reader->Read(map.data, reader->Chunk);
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

// The camera's byte stream: the file looped by `reader`, with `caps`. Not a live source: the
// renderer's clock paces it, so it plays in real time.
TGstElementHandle MakeLoopingByteSource(const std::string& path, GstCaps* caps, size_t chunk,
                                        TLoopingReader* reader) {
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
    ConfigureLiveDecoders(decoder);
    TGstPadHandle out = TGstPadHandle::Adopt(gst_element_get_static_pad(rate, "src"));
    GstPad* ghost = gst_ghost_pad_new("src", out.Get());
    gst_pad_set_active(ghost, TRUE);
    gst_element_add_pad(bin.Get(), ghost);
    return bin;
}

// The picture an MPEG stream carries, named on its caps: the capture graph reports and delivers
// that size (the demultiplexers ignore the extra fields).
void AddPictureFields(GstCaps* caps, const TInfo& info) {
    if (info.Width <= 0 || info.Height <= 0) {
        return;
    }
    gst_caps_set_simple(caps, "width", G_TYPE_INT, info.Width, "height", G_TYPE_INT, info.Height,
                        nullptr);
    if (info.RateNum > 0) {
        gst_caps_set_simple(caps, "framerate", GST_TYPE_FRACTION, info.RateNum, info.RateDen,
                            nullptr);
    }
}

// The decoded picture as the camera offers it: I420 (what decoders give, so the default format
// needs no conversion before the frame grab filter), then YUY2 and RGB32, at the file's size and
// rate.
TGstCapsHandle DecodedOffer(const TInfo& info) {
    GstCaps* caps = gst_caps_new_empty();
    for (const char* format : {"I420", "YUY2", "BGRx"}) {
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

// Why a file that the discoverer refused cannot be a camera.
std::string DiscovererReason(GstDiscovererResult result, const GError* error) {
    switch (result) {
        case GST_DISCOVERER_MISSING_PLUGINS:
            return "needs a decoder that is not installed";
        case GST_DISCOVERER_TIMEOUT:
            return "cannot be inspected in time";
        case GST_DISCOVERER_URI_INVALID:
            return "does not exist";
        default:
            break;
    }
    if (error != nullptr && error->domain == GST_STREAM_ERROR &&
        (error->code == GST_STREAM_ERROR_TYPE_NOT_FOUND ||
         error->code == GST_STREAM_ERROR_WRONG_TYPE)) {
        return "is not a video";
    }
    return "is damaged or truncated";
}

// What makes a path unusable before any look inside: missing, unreadable or empty.
std::string FileReason(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? "does not exist" : "cannot be read";
    }
    if (::access(path.c_str(), R_OK) != 0) {
        return "cannot be read";
    }
    if (S_ISREG(status.st_mode) && status.st_size == 0) {
        return "is empty";
    }
    return {};
}

// A raw DV file is recognised from its first frame without the discoverer: decoding it there
// would run libdv, which reports each frame without sound on standard error. The frame's
// header says 625 or 525 lines; the audio source packs (AAUX 0x50 and 0x51 in the first DIF
// sequence's fourth and fifth audio blocks) say whether it carries sound. False when the file
// is not raw DV.
bool InspectRawDV(const std::string& path, TInfo& info) {
    constexpr size_t kHeaderBytes = 144000;  // one PAL frame; an NTSC one is shorter
    constexpr size_t kAudioSource = 80 * 6 + 80 * 16 * 3 + 3;
    constexpr size_t kAudioSourceControl = 80 * 6 + 80 * 16 * 4 + 3;
    std::vector<uint8_t> head(kHeaderBytes);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    head.resize(std::fread(head.data(), 1, head.size(), file));
    std::fclose(file);
    if (head.size() <= kAudioSourceControl) {
        return false;
    }
    TGstCapsHandle caps = TGstCapsHandle::Adopt(
        gst_type_find_helper_for_data(nullptr, head.data(), head.size(), nullptr));
    if (!HasName(caps.Get(), "video/x-dv") || !IsSystemStream(caps.Get())) {
        return false;
    }
    const bool lines625 = (head[3] & 0x80) != 0;
    info.Width = 720;
    info.Height = lines625 ? 576 : 480;
    info.RateNum = lines625 ? 25 : 30000;
    info.RateDen = lines625 ? 1 : 1001;
    info.HasAudio = head[kAudioSource] == 0x50 && head[kAudioSourceControl] == 0x51;
    // A DV stream without sound needs no splitter, so it is offered as DV video.
    info.Kind = info.HasAudio ? TKind::DV : TKind::DVVideo;
    return true;
}

// Looks into the file with the discoverer, on the calling thread, as long as that takes.
TInfo DiscoverNow(const std::string& path) {
    TInfo info;
    info.Reason = FileReason(path);
    if (!info.Reason.empty() || InspectRawDV(path, info)) {
        return info;
    }
    GError* error = nullptr;
    GstDiscoverer* discoverer = gst_discoverer_new(kDiscoverTimeout, &error);
    if (discoverer == nullptr) {
        g_clear_error(&error);
        info.Reason = "cannot be inspected";
        return info;
    }
    gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
    GstDiscovererInfo* result =
        uri != nullptr ? gst_discoverer_discover_uri(discoverer, uri, &error) : nullptr;
    g_free(uri);
    const GstDiscovererResult outcome =
        result != nullptr ? gst_discoverer_info_get_result(result) : GST_DISCOVERER_ERROR;
    if (outcome != GST_DISCOVERER_OK) {
        info.Reason = DiscovererReason(outcome, error);
    }
    g_clear_error(&error);
    if (result != nullptr && outcome == GST_DISCOVERER_OK) {
        GList* videos = gst_discoverer_info_get_video_streams(result);
        GList* audios = gst_discoverer_info_get_audio_streams(result);
        info.HasAudio = audios != nullptr;
        gst_discoverer_stream_info_list_free(audios);
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
                info.Kind = info.HasAudio ? TKind::DV : TKind::DVVideo;
            } else if (HasName(caps.Get(), "video/mpegts")) {
                info.Kind = TKind::TransportStream;
            } else if (HasName(caps.Get(), "video/mpeg") && IsSystemStream(caps.Get())) {
                info.Kind = TKind::ProgramStream;
            } else if (info.Width > 0 && info.Height > 0) {
                info.Kind = TKind::Decoded;
            } else {
                info.Reason = "holds no picture of known size";
            }
            gst_discoverer_stream_info_list_free(videos);
        } else {
            info.Reason = "holds no video";
        }
    }
    if (result != nullptr) {
        gst_discoverer_info_unref(result);
    }
    g_object_unref(discoverer);
    return info;
}

// Logs why a file cannot be a camera, once per file and reason: the device list is made by
// every capture graph and the setup dialog, and each activation looks into the file again.
void ReportUnusable(const std::string& path, const std::string& reason) {
    static std::mutex mutex;
    static std::map<std::string, std::string> reported;
    {
        std::lock_guard lock(mutex);
        auto [it, added] = reported.try_emplace(path, reason);
        if (!added) {
            if (it->second == reason) {
                return;
            }
            it->second = reason;
        }
    }
    LogMessageFmt("Error in FileCamera::Discover - %s %s.", path.c_str(), reason.c_str());
}

// One inspection, shared by the caller and the thread that runs it: a caller that stops waiting
// leaves it to the thread, which still finishes (or stays blocked) on its own.
struct TInspection {
    std::mutex Mutex;
    std::condition_variable Finished;
    bool Done = false;
    TInfo Info;
};

}  // namespace

TInfo Discover(const std::string& path) {
    try {
        auto inspection = std::make_shared<TInspection>();
        std::thread([inspection, path] {
            pthread_setname_np(pthread_self(), "FileCamInspect");
            TInfo info;
            try {
                info = DiscoverNow(path);
            } catch (...) {
                info = TInfo{};
                info.Reason = "cannot be inspected";
            }
            std::lock_guard lock(inspection->Mutex);
            inspection->Info = info;
            inspection->Done = true;
            inspection->Finished.notify_all();
        }).detach();
        TInfo info;
        {
            std::unique_lock lock(inspection->Mutex);
            if (inspection->Finished.wait_for(lock, kInspectTimeout,
                                              [&] { return inspection->Done; })) {
                info = inspection->Info;
            } else {
                info.Reason = "cannot be inspected in time";
            }
        }
        if (info.Kind == TKind::Unusable) {
            ReportUnusable(path, info.Reason.empty() ? "cannot be used" : info.Reason);
        }
        return info;
    } catch (...) {
        LogMessage("Error in FileCamera::Discover call...");
        return {};
    }
}

TGstElementHandle MakeFilter(const std::string& name, const std::string& path) {
    const TInfo info = Discover(path);
    switch (info.Kind) {
        case TKind::DV:
        case TKind::DVVideo: {
            // One DV frame per chunk: 120,000 bytes for 525 lines, 144,000 for 625.
            const size_t frame = info.Height == 480 ? 120000 : 144000;
            const bool interleaved = info.Kind == TKind::DV;
            GstCaps* caps = gst_caps_new_simple(
                "video/x-dv", "systemstream", G_TYPE_BOOLEAN, interleaved ? TRUE : FALSE, "width",
                G_TYPE_INT, info.Width, "height", G_TYPE_INT, info.Height, "framerate",
                GST_TYPE_FRACTION, info.RateNum, info.RateDen, nullptr);
            TGstElementHandle src = MakeLoopingByteSource(path, caps, frame, new TLoopingReader);
            TGstElementHandle filter = CaptureSourceBin::MakeStreamSource(
                name, src, caps, interleaved ? "DV A/V Out" : "DV Video Out");
            gst_caps_unref(caps);
            return filter;
        }
        case TKind::TransportStream: {
            GstCaps* caps = gst_caps_new_simple("video/mpegts", "systemstream", G_TYPE_BOOLEAN,
                                                TRUE, "packetsize", G_TYPE_INT, 188, nullptr);
            AddPictureFields(caps, info);
            TGstElementHandle src = MakeLoopingByteSource(path, caps, 188 * 64, new TLoopingReader);
            TGstElementHandle filter =
                CaptureSourceBin::MakeStreamSource(name, src, caps, "MPEG2 TS Out");
            gst_caps_unref(caps);
            return filter;
        }
        case TKind::ProgramStream: {
            GstCaps* caps = gst_caps_new_simple("video/mpeg", "mpegversion", G_TYPE_INT, 2,
                                                "systemstream", G_TYPE_BOOLEAN, TRUE, nullptr);
            AddPictureFields(caps, info);
            // One picture in 90 kHz ticks (25 a second when the file does not say).
            const uint64_t frameTicks = info.RateNum > 0
                                            ? 90000ull * static_cast<uint64_t>(info.RateDen) /
                                                  static_cast<uint64_t>(info.RateNum)
                                            : 3600;
            TGstElementHandle src =
                MakeLoopingByteSource(path, caps, 65536, new TProgramStreamReader(frameTicks));
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
