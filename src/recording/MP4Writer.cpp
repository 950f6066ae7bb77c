#include "recording/MP4Writer.h"

#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "graph/MediaTypeCaps.h"
#include "platform/DebugOutput.h"
#include "platform/GstElementType.h"
#include "platform/GstHandle.h"
#include "platform/SafeFiles.h"

namespace {

struct TWriterBin {
    GstBin Parent;
    std::vector<GstElement*>* Inputs;  // elements of the input branches, owned by the bin
    // The open destination file and its name; the descriptor is closed with the bin.
    int Fd;
    std::string* FileName;
};

struct TWriterBinClass {
    GstBinClass ParentClass;
};

GstBinClass* gParentClass = nullptr;

constexpr const char* kMuxName = "mux";
constexpr const char* kSinkName = "sink";
// The fastest preset that keeps the pictures of the WMV file at less than half its size (the
// next faster one, without CABAC and deblocking, does not); it costs about 1.5 times the WMV
// recorder's CPU.
constexpr const char* kSpeedPreset = "superfast";
// The encoder looks ahead at most this long: frames it holds are lost when the program is
// killed, on top of the fragment being collected.
constexpr int64_t kMaxLookAhead = 5000000;  // 100-ns units
constexpr int kMaxLookAheadFrames = 10;
// Frame threads of one encoder: a few cameras record at once on few cores.
constexpr int kEncoderThreads = 2;
// The AAC encoders of the media framework, in the order they are preferred.
constexpr const char* kAacEncoders[] = {"avenc_aac", "voaacenc"};
constexpr uint32_t kMinAacBitrate = 32000;

void InstanceInit(GTypeInstance* instance, gpointer) {
    auto* self = reinterpret_cast<TWriterBin*>(instance);
    self->Inputs = new std::vector<GstElement*>();
    self->Fd = -1;
    self->FileName = new std::string();
    GstElement* mux = gst_element_factory_make("mp4mux", kMuxName);
    // The file is opened by the writer's owner (a new file, never a planted link) and written
    // through its descriptor.
    GstElement* sink = gst_element_factory_make("fdsink", kSinkName);
    if (mux == nullptr || sink == nullptr) {
        OutputDebugString("gkt: Error in TMP4Writer.Create - mp4mux or fdsink is missing.");
        if (mux != nullptr) {
            gst_object_unref(gst_object_ref_sink(mux));
        }
        if (sink != nullptr) {
            gst_object_unref(gst_object_ref_sink(sink));
        }
        return;
    }
    // Every fragment goes to the file as it is made (the descriptor is written without a
    // buffer of its own): a killed program loses at most the fragment being collected.
    g_object_set(sink, "sync", FALSE, nullptr);
    // A fragment per second (and one at every key frame), each complete in itself after the
    // header; at the end the multiplexer adds the fragment index and writes the duration
    // into the header.
    g_object_set(mux, "fragment-duration", TMP4Writer::kFragmentMs, "streamable", FALSE,
                 nullptr);
    gst_bin_add_many(GST_BIN(instance), mux, sink, nullptr);
    gst_element_link(mux, sink);
}

void Finalize(GObject* object) {
    auto* self = reinterpret_cast<TWriterBin*>(object);
    delete self->Inputs;
    self->Inputs = nullptr;
    delete self->FileName;
    self->FileName = nullptr;
    if (self->Fd >= 0) {
        ::close(self->Fd);
        self->Fd = -1;
    }
    G_OBJECT_CLASS(gParentClass)->finalize(object);
}

void ClassInit(gpointer klass, gpointer) {
    gParentClass = static_cast<GstBinClass*>(g_type_class_peek_parent(klass));
    G_OBJECT_CLASS(klass)->finalize = Finalize;
    gst_element_class_set_static_metadata(GST_ELEMENT_CLASS(klass), "MP4 Writer", "Sink/File",
                                          "Encodes video and audio into an MP4 file (H.264, AAC)",
                                          "Vantrelle Media Solutions");
}

GType WriterType() {
    static const GType type = RegisterElementType<TWriterBin, TWriterBinClass>(
        GST_TYPE_BIN, "TandrelMP4Writer", ClassInit, InstanceInit);
    return type;
}

TGstElementHandle Child(GstElement* writer, const char* name) {
    return TGstElementHandle::Adopt(gst_bin_get_by_name(GST_BIN(writer), name));
}

TGstElementHandle Make(const std::string& factory) {
    return TGstElementHandle::Adopt(gst_element_factory_make(factory.c_str(), nullptr));
}

void RemoveInputs(TWriterBin* self, GstElement* mux) {
    GstElement* writer = GST_ELEMENT(self);
    // Ghost pads first, then the branch elements, then the multiplexer's request pads.
    for (;;) {
        GstPad* ghost = nullptr;
        GST_OBJECT_LOCK(writer);
        if (writer->sinkpads != nullptr) {
            ghost = GST_PAD(gst_object_ref(writer->sinkpads->data));
        }
        GST_OBJECT_UNLOCK(writer);
        if (ghost == nullptr) {
            break;
        }
        gst_element_remove_pad(writer, ghost);
        gst_object_unref(ghost);
    }
    for (GstElement* e : *self->Inputs) {
        gst_element_set_state(e, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(writer), e);
    }
    self->Inputs->clear();
    for (;;) {
        GstPad* requested = nullptr;
        GST_OBJECT_LOCK(mux);
        if (mux->sinkpads != nullptr) {
            requested = GST_PAD(gst_object_ref(mux->sinkpads->data));
        }
        GST_OBJECT_UNLOCK(mux);
        if (requested == nullptr) {
            break;
        }
        gst_element_release_request_pad(mux, requested);
        gst_object_unref(requested);
    }
}

// Adds the chain to the writer, links it and hands its end to a new request pad of the
// multiplexer; its start becomes the ghost pad `pinName`.
bool AddInput(TWriterBin* self, GstElement* mux, const std::vector<TGstElementHandle>& chain,
              const char* muxTemplate, const std::string& pinName) {
    for (const auto& e : chain) {
        if (!e) {
            return false;
        }
    }
    GstBin* bin = GST_BIN(self);
    for (const auto& e : chain) {
        gst_bin_add(bin, e.Get());
        self->Inputs->push_back(e.Get());
    }
    for (size_t i = 0; i + 1 < chain.size(); ++i) {
        if (!gst_element_link(chain[i].Get(), chain[i + 1].Get())) {
            return false;
        }
    }
    TGstPadHandle muxPad = TGstPadHandle::Adopt(gst_element_request_pad_simple(mux, muxTemplate));
    TGstPadHandle encoderOut =
        TGstPadHandle::Adopt(gst_element_get_static_pad(chain.back().Get(), "src"));
    if (!muxPad || !encoderOut || gst_pad_link(encoderOut.Get(), muxPad.Get()) != GST_PAD_LINK_OK) {
        return false;
    }
    TGstPadHandle first =
        TGstPadHandle::Adopt(gst_element_get_static_pad(chain.front().Get(), "sink"));
    GstPad* ghost = gst_ghost_pad_new(pinName.c_str(), first.Get());
    return ghost != nullptr && gst_element_add_pad(GST_ELEMENT(self), ghost);
}

// Frames of TimePerFrame in Span (100-ns units), at least one.
int FramesIn(int64_t span, int64_t timePerFrame) {
    return static_cast<int>(std::max<int64_t>(1, (span + timePerFrame / 2) / timePerFrame));
}

// The end of the last picture that came into the frame-rate converter.
struct TInputEnd {
    std::atomic<GstClockTime> End{0};
};

GstPadProbeReturn OnPictureIn(GstPad*, GstPadProbeInfo* info, gpointer data) {
    const GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (buffer != nullptr && GST_BUFFER_PTS_IS_VALID(buffer)) {
        GstClockTime end = GST_BUFFER_PTS(buffer);
        if (GST_BUFFER_DURATION_IS_VALID(buffer)) {
            end += GST_BUFFER_DURATION(buffer);
        }
        (*static_cast<std::shared_ptr<TInputEnd>*>(data))->End = end;
    }
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn OnPictureOut(GstPad*, GstPadProbeInfo* info, gpointer data) {
    const GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (buffer != nullptr && GST_BUFFER_PTS_IS_VALID(buffer) &&
        GST_BUFFER_PTS(buffer) >= (*static_cast<std::shared_ptr<TInputEnd>*>(data))->End) {
        return GST_PAD_PROBE_DROP;
    }
    return GST_PAD_PROBE_OK;
}

void DeleteInputEnd(gpointer data) {
    delete static_cast<std::shared_ptr<TInputEnd>*>(data);
}

// At the end of the stream the frame-rate converter repeats the last picture into the next
// slot of the output rate, which lies after the end of the recording: a recording of 3 s at
// one picture a second would play 4 s. Pictures that start after the last input ended are
// dropped.
void ClipAtTheLastPicture(GstElement* videorate) {
    auto state = std::make_shared<TInputEnd>();
    TGstPadHandle in = TGstPadHandle::Adopt(gst_element_get_static_pad(videorate, "sink"));
    TGstPadHandle out = TGstPadHandle::Adopt(gst_element_get_static_pad(videorate, "src"));
    gst_pad_add_probe(in.Get(), GST_PAD_PROBE_TYPE_BUFFER, OnPictureIn,
                      new std::shared_ptr<TInputEnd>(state), DeleteInputEnd);
    gst_pad_add_probe(out.Get(), GST_PAD_PROBE_TYPE_BUFFER, OnPictureOut,
                      new std::shared_ptr<TInputEnd>(state), DeleteInputEnd);
}

bool AddVideoInput(TWriterBin* self, GstElement* mux, const TWMProfile::TStreamConfig& s,
                   const std::string& pinName) {
    const TVideoInfoHeader* vih = s.MediaType.VideoInfo();
    if (vih == nullptr || vih->AvgTimePerFrame <= 0 || vih->bmiHeader.biWidth <= 0 ||
        vih->bmiHeader.biHeight == 0) {
        return false;
    }
    int num = 0;
    int den = 1;
    FrameRateFromAvgTimePerFrame(vih->AvgTimePerFrame, num, den);
    std::vector<TGstElementHandle> chain = {
        Make("videorate"),  Make("videoconvert"), Make("videoscale"), Make("capsfilter"),
        Make("x264enc"),    Make("capsfilter"),   Make("h264parse")};
    for (const auto& e : chain) {
        if (!e) {
            OutputDebugString(
                "gkt: Error in TMP4Writer.ConfigureFilterUsingProfile - x264enc or h264parse is "
                "missing.");
            return false;
        }
    }
    ClipAtTheLastPicture(chain[0].Get());
    // Camera pictures need neither dithering nor filtered chroma: the encoder's quantiser
    // throws away far more, and the conversion is most of what the writer costs besides it.
    gst_util_set_object_arg(G_OBJECT(chain[1].Get()), "dither", "none");
    gst_util_set_object_arg(G_OBJECT(chain[1].Get()), "chroma-mode", "none");
    // The profile's size is the picture's size: stretch, never add borders.
    g_object_set(chain[2].Get(), "add-borders", FALSE, nullptr);
    TGstCapsHandle raw = TGstCapsHandle::Adopt(gst_caps_new_simple(
        "video/x-raw", "format", G_TYPE_STRING, "I420", "width", G_TYPE_INT, vih->bmiHeader.biWidth,
        "height", G_TYPE_INT, std::abs(vih->bmiHeader.biHeight), "framerate", GST_TYPE_FRACTION,
        num, den, "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr));
    g_object_set(chain[3].Get(), "caps", raw.Get(), nullptr);

    GstElement* encoder = chain[4].Get();
    gst_util_set_object_arg(G_OBJECT(encoder), "speed-preset", kSpeedPreset);
    const int64_t spacing = s.MaxKeyFrameSpacing > 0
                                ? std::min(s.MaxKeyFrameSpacing, TMP4Writer::kMaxKeyFrameSpacing)
                                : TMP4Writer::kMaxKeyFrameSpacing;
    const int keyFrames = FramesIn(spacing, vih->AvgTimePerFrame);
    const int lookAhead =
        std::min(kMaxLookAheadFrames, FramesIn(kMaxLookAhead, vih->AvgTimePerFrame));
    // No B-frames: every picture is shown at the time it is decoded, so the file starts at 0
    // without an edit list (which the fragments do not carry) and a cut-off file holds every
    // picture up to its last fragment.
    g_object_set(encoder, "key-int-max", static_cast<guint>(keyFrames), "rc-lookahead",
                 lookAhead, "bframes", 0u, "threads", static_cast<guint>(kEncoderThreads),
                 nullptr);
    if (s.Bitrate > 0) {
        g_object_set(encoder, "bitrate",
                     static_cast<guint>(TMP4Writer::H264KilobitsPerSecond(s.Bitrate)), nullptr);
    }
    // The bit rate is held over the buffer window the profile asks a player to buffer: key
    // frames may take several frames' share.
    if (s.BufferWindow > 0) {
        g_object_set(encoder, "vbv-buf-capacity", static_cast<guint>(s.BufferWindow), nullptr);
    }
    // High profile, 4:2:0, 8 bits: what browsers, phones and desktop players decode.
    TGstCapsHandle h264 = TGstCapsHandle::Adopt(
        gst_caps_new_simple("video/x-h264", "profile", G_TYPE_STRING, "high", nullptr));
    g_object_set(chain[5].Get(), "caps", h264.Get(), nullptr);
    return AddInput(self, mux, chain, "video_%u", pinName);
}

std::string AacEncoderFactory() {
    for (const char* name : kAacEncoders) {
        if (GstElementFactory* factory = gst_element_factory_find(name)) {
            gst_object_unref(factory);
            return name;
        }
    }
    return {};
}

bool AddAudioInput(TWriterBin* self, GstElement* mux, const TWMProfile::TStreamConfig& s,
                   const std::string& pinName) {
    const TWaveFormatEx* wfx = s.MediaType.WaveFormat();
    if (wfx == nullptr || wfx->nSamplesPerSec == 0 || wfx->nChannels == 0) {
        return false;
    }
    const std::string aac = AacEncoderFactory();
    if (aac.empty()) {
        OutputDebugString(
            "gkt: Error in TMP4Writer.ConfigureFilterUsingProfile - no AAC encoder is installed "
            "(avenc_aac or voaacenc); MP4 recordings cannot hold sound.");
        return false;
    }
    std::vector<TGstElementHandle> chain = {Make("audioconvert"), Make("audioresample"),
                                            Make("capsfilter"), Make(aac)};
    if (!chain[2] || !chain[3]) {
        return false;
    }
    TGstCapsHandle caps = TGstCapsHandle::Adopt(gst_caps_new_simple(
        "audio/x-raw", "rate", G_TYPE_INT, static_cast<int>(wfx->nSamplesPerSec), "channels",
        G_TYPE_INT, static_cast<int>(wfx->nChannels), nullptr));
    g_object_set(chain[2].Get(), "caps", caps.Get(), nullptr);
    // AAC at the WMA format's bit rate sounds at least as good; below 32 kbit/s it breaks up.
    const uint32_t bitrate = std::max(s.Bitrate, kMinAacBitrate);
    g_object_set(chain[3].Get(), "bitrate", static_cast<gint>(bitrate), nullptr);
    return AddInput(self, mux, chain, "audio_%u", pinName);
}

}  // namespace

bool TMP4Writer::Register() {
    return RegisterElementFactory(kFactoryName, WriterType());
}

bool TMP4Writer::IsWriter(GstElement* element) {
    return element != nullptr && G_TYPE_CHECK_INSTANCE_TYPE(element, WriterType());
}

uint32_t TMP4Writer::H264KilobitsPerSecond(uint32_t ProfileBitrate) {
    // The factor is measured on the motion profile's large pictures; the small, slow continuous
    // profile keeps a floor so its pictures do not fall apart.
    return static_cast<uint32_t>(std::max(
        static_cast<long>(kMinKilobitsPerSecond),
        std::lround(ProfileBitrate * kBitrateFactor / 1000.0)));
}

HRESULT TMP4Writer::SetFileName(GstElement* Writer, const std::string& FileName, TUniqueFd File) {
    if (!IsWriter(Writer)) {
        return E_POINTER;
    }
    if (FileName.empty()) {
        return E_INVALIDARG;
    }
    TGstElementHandle sink = Child(Writer, kSinkName);
    if (!sink) {
        return E_FAIL;
    }
    if (!File) {
        std::filesystem::path folder = std::filesystem::path(FileName).parent_path();
        if (folder.empty()) {
            folder = ".";
        }
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec) || access(folder.c_str(), W_OK) != 0) {
            OutputDebugString("gkt: Error in TMP4Writer.SetFileName - the folder " +
                              folder.string() + " does not exist or cannot be written.");
            return E_FAIL;
        }
        File = CreateNewFile(FileName);
        if (!File) {
            OutputDebugString("gkt: Error in TMP4Writer.SetFileName - cannot create " + FileName +
                              ": " + std::strerror(errno) + ".");
            return E_FAIL;
        }
    }
    // Held while the file is written: whoever looks for recordings cut off by a crash leaves a
    // locked one alone (the lock goes with the descriptor, also when the program is killed).
    ::flock(File.Get(), LOCK_EX | LOCK_NB);
    auto* self = reinterpret_cast<TWriterBin*>(Writer);
    if (self->Fd >= 0) {
        ::close(self->Fd);
    }
    self->Fd = File.Release();
    *self->FileName = FileName;
    g_object_set(sink.Get(), "fd", self->Fd, nullptr);
    return S_OK;
}

std::string TMP4Writer::FileName(GstElement* Writer) {
    if (!IsWriter(Writer)) {
        return {};
    }
    auto* self = reinterpret_cast<TWriterBin*>(Writer);
    return self->FileName != nullptr ? *self->FileName : std::string();
}

HRESULT TMP4Writer::ConfigureFilterUsingProfile(GstElement* Writer, const TWMProfile& Profile) {
    if (!IsWriter(Writer)) {
        return E_POINTER;
    }
    if (GST_STATE(Writer) != GST_STATE_NULL) {
        return VFW_E_WRONG_STATE;
    }
    auto* self = reinterpret_cast<TWriterBin*>(Writer);
    TGstElementHandle mux = Child(Writer, kMuxName);
    if (!mux || self->Inputs == nullptr) {
        return E_FAIL;
    }
    RemoveInputs(self, mux.Get());
    int videoInputs = 0;
    int audioInputs = 0;
    for (const auto& stream : Profile.Streams) {
        const bool added = stream.Video
                               ? AddVideoInput(self, mux.Get(), stream,
                                               "Video Input 0" + std::to_string(++videoInputs))
                               : AddAudioInput(self, mux.Get(), stream,
                                               "Audio Input 0" + std::to_string(++audioInputs));
        if (!added) {
            RemoveInputs(self, mux.Get());
            return E_FAIL;
        }
    }
    return S_OK;
}
