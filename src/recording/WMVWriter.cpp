#include "recording/WMVWriter.h"

#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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
constexpr guint kAsfPacketSize = 1024;

void InstanceInit(GTypeInstance* instance, gpointer) {
    auto* self = reinterpret_cast<TWriterBin*>(instance);
    self->Inputs = new std::vector<GstElement*>();
    self->Fd = -1;
    self->FileName = new std::string();
    GstElement* mux = gst_element_factory_make("asfmux", kMuxName);
    // The file is opened by the writer's owner (a new file, never a planted link) and written
    // through its descriptor.
    GstElement* sink = gst_element_factory_make("fdsink", kSinkName);
    if (mux == nullptr || sink == nullptr) {
        OutputDebugString("gkt: Error in TWMVWriter.Create - asfmux or fdsink is missing.");
        if (mux != nullptr) {
            gst_object_unref(gst_object_ref_sink(mux));
        }
        if (sink != nullptr) {
            gst_object_unref(gst_object_ref_sink(sink));
        }
        return;
    }
    // Every packet goes to the file as it is made (the descriptor is written without a buffer
    // of its own): a killed program loses none of them.
    g_object_set(sink, "sync", FALSE, nullptr);
    // An ASF packet counts its payloads in 6 bits, and the multiplexer does not stop at 63:
    // frames of a still picture are a few bytes each, and more than 63 of them in one packet
    // make a file that plays only up to there. A payload takes at least 18 bytes, so packets
    // of this size can never hold that many.
    g_object_set(mux, "packet-size", kAsfPacketSize, nullptr);
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
    gst_element_class_set_static_metadata(GST_ELEMENT_CLASS(klass), "WMV Writer", "Sink/File",
                                          "Encodes video and audio into a Windows Media file",
                                          "Vantrelle Media Solutions");
}

GType WriterType() {
    static const GType type = RegisterElementType<TWriterBin, TWriterBinClass>(
        GST_TYPE_BIN, "TandrelWMVWriter", ClassInit, InstanceInit);
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
        for (GList* l = writer->sinkpads; l != nullptr; l = l->next) {
            ghost = GST_PAD(gst_object_ref(l->data));
            break;
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
        for (GList* l = mux->sinkpads; l != nullptr; l = l->next) {
            requested = GST_PAD(gst_object_ref(l->data));
            break;
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

void SetArg(GstElement* e, const char* property, const std::string& value) {
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(e), property) != nullptr) {
        gst_util_set_object_arg(G_OBJECT(e), property, value.c_str());
    }
}

// The one-pass rate control of the libav WMV encoders in this media framework does not hold
// a bit rate: it keeps every frame at the largest quantizer it may use. So the bit rate is
// turned into that largest quantizer: bits per pixel of the target against what the encoder
// makes of typical moving pictures at each quantizer (about 0.89 bit per pixel at 2, falling
// with the quantizer to the power 0.63), clamped to the codec's range 2..31.
int QuantizerForBitrate(uint32_t bitrate, int width, int height, int64_t timePerFrame) {
    const double pixelsPerSecond = static_cast<double>(width) * height * 1e7 / timePerFrame;
    if (pixelsPerSecond <= 0) {
        return 31;
    }
    const double bitsPerPixel = bitrate / pixelsPerSecond;
    const double q = 2.0 * std::pow(0.89 / bitsPerPixel, 1.0 / 0.63);
    return static_cast<int>(std::clamp(std::lround(q), 2L, 31L));
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
    std::vector<TGstElementHandle> chain = {Make("videorate"), Make("videoconvert"),
                                            Make("videoscale"), Make("capsfilter"),
                                            Make(s.EncoderFactory)};
    if (!chain[2] || !chain[3] || !chain[4]) {
        return false;
    }
    // Camera pictures need neither dithering nor filtered chroma: the encoder's quantiser
    // throws away far more, and the conversion is most of what the writer costs besides it.
    gst_util_set_object_arg(G_OBJECT(chain[1].Get()), "dither", "none");
    gst_util_set_object_arg(G_OBJECT(chain[1].Get()), "chroma-mode", "none");
    // The profile's size is the picture's size: stretch, never add borders.
    g_object_set(chain[2].Get(), "add-borders", FALSE, nullptr);
    TGstCapsHandle caps = TGstCapsHandle::Adopt(gst_caps_new_simple(
        "video/x-raw", "format", G_TYPE_STRING, "I420", "width", G_TYPE_INT, vih->bmiHeader.biWidth,
        "height", G_TYPE_INT, std::abs(vih->bmiHeader.biHeight), "framerate", GST_TYPE_FRACTION,
        num, den, "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr));
    g_object_set(chain[3].Get(), "caps", caps.Get(), nullptr);
    GstElement* encoder = chain[4].Get();
    if (s.Bitrate > 0) {
        SetArg(encoder, "bitrate", std::to_string(s.Bitrate));
        SetArg(encoder, "qmax",
               std::to_string(QuantizerForBitrate(s.Bitrate, vih->bmiHeader.biWidth,
                                                  std::abs(vih->bmiHeader.biHeight),
                                                  vih->AvgTimePerFrame)));
    }
    if (s.MaxKeyFrameSpacing > 0) {
        const int64_t frames = std::max<int64_t>(
            1, (s.MaxKeyFrameSpacing + vih->AvgTimePerFrame / 2) / vih->AvgTimePerFrame);
        SetArg(encoder, "gop-size", std::to_string(frames));
    }
    return AddInput(self, mux, chain, "video_%u", pinName);
}

bool AddAudioInput(TWriterBin* self, GstElement* mux, const TWMProfile::TStreamConfig& s,
                   const std::string& pinName) {
    const TWaveFormatEx* wfx = s.MediaType.WaveFormat();
    if (wfx == nullptr || wfx->nSamplesPerSec == 0 || wfx->nChannels == 0) {
        return false;
    }
    std::vector<TGstElementHandle> chain = {Make("audioconvert"), Make("audioresample"),
                                            Make("capsfilter"), Make(s.EncoderFactory)};
    if (!chain[2] || !chain[3]) {
        return false;
    }
    TGstCapsHandle caps = TGstCapsHandle::Adopt(gst_caps_new_simple(
        "audio/x-raw", "rate", G_TYPE_INT, static_cast<int>(wfx->nSamplesPerSec), "channels",
        G_TYPE_INT, static_cast<int>(wfx->nChannels), nullptr));
    g_object_set(chain[2].Get(), "caps", caps.Get(), nullptr);
    if (s.Bitrate > 0) {
        SetArg(chain[3].Get(), "bitrate", std::to_string(s.Bitrate));
    }
    return AddInput(self, mux, chain, "audio_%u", pinName);
}

}  // namespace

bool TWMVWriter::Register() {
    return RegisterElementFactory(kFactoryName, WriterType());
}

bool TWMVWriter::IsWriter(GstElement* element) {
    return element != nullptr && G_TYPE_CHECK_INSTANCE_TYPE(element, WriterType());
}

HRESULT TWMVWriter::SetFileName(GstElement* Writer, const std::string& FileName,
                                TUniqueFd File) {
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
            OutputDebugString("gkt: Error in TWMVWriter.SetFileName - the folder " +
                              folder.string() + " does not exist or cannot be written.");
            return E_FAIL;
        }
        File = CreateNewFile(FileName);
        if (!File) {
            OutputDebugString("gkt: Error in TWMVWriter.SetFileName - cannot create " + FileName +
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

std::string TWMVWriter::FileName(GstElement* Writer) {
    if (!IsWriter(Writer)) {
        return {};
    }
    auto* self = reinterpret_cast<TWriterBin*>(Writer);
    return self->FileName != nullptr ? *self->FileName : std::string();
}

HRESULT TWMVWriter::ConfigureFilterUsingProfile(GstElement* Writer, const TWMProfile& Profile) {
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
    uint32_t window = 0;
    int videoInputs = 0;
    int audioInputs = 0;
    for (const auto& stream : Profile.Streams) {
        window = std::max(window, stream.BufferWindow);
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
    // The stream buffer window is what the file asks a player to buffer before it starts.
    g_object_set(mux.Get(), "preroll", static_cast<guint64>(window), nullptr);
    return S_OK;
}
