#include "videolog/PlaybackAudioBranch.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr guint64 kLevelInterval = 50 * GST_MSECOND;
// The gain range of the volume element.
constexpr double kLargestGain = 10.0;

TGstElementHandle Make(const char* factory) {
    return TGstElementHandle::Adopt(gst_element_factory_make(factory, nullptr));
}

double ClampedLevel(double db) {
    if (std::isnan(db)) {
        return TPlaybackAudioBranch::kSilence;
    }
    return std::clamp(db, TPlaybackAudioBranch::kSilence, TPlaybackAudioBranch::kLoudest);
}

// The doubles of one field of a level report (a GValueArray in GStreamer 1.x, a GstValueArray
// in later versions).
std::vector<double> LevelValues(const GstStructure* report, const char* field) {
    std::vector<double> values;
    const GValue* list = gst_structure_get_value(report, field);
    if (list == nullptr) {
        return values;
    }
    if (GST_VALUE_HOLDS_ARRAY(list) || GST_VALUE_HOLDS_LIST(list)) {
        const guint n = GST_VALUE_HOLDS_ARRAY(list) ? gst_value_array_get_size(list)
                                                    : gst_value_list_get_size(list);
        for (guint i = 0; i < n; ++i) {
            const GValue* v = GST_VALUE_HOLDS_ARRAY(list) ? gst_value_array_get_value(list, i)
                                                          : gst_value_list_get_value(list, i);
            values.push_back(G_VALUE_HOLDS_DOUBLE(v) ? g_value_get_double(v) : NAN);
        }
        return values;
    }
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    if (G_VALUE_HOLDS_BOXED(list) && std::strcmp(G_VALUE_TYPE_NAME(list), "GValueArray") == 0) {
        auto* array = static_cast<GValueArray*>(g_value_get_boxed(list));
        for (guint i = 0; array != nullptr && i < array->n_values; ++i) {
            const GValue* v = g_value_array_get_nth(array, i);
            values.push_back(G_VALUE_HOLDS_DOUBLE(v) ? g_value_get_double(v) : NAN);
        }
    }
    G_GNUC_END_IGNORE_DEPRECATIONS
    return values;
}

}  // namespace

TPlaybackAudioBranch::TPlaybackAudioBranch(const GstCaps* StreamCaps, uint32_t ProgramID,
                                           uint32_t AudioPID)
    : FProgramID(ProgramID), FAudioPID(AudioPID) {
    int channels = 0;
    if (StreamCaps != nullptr && !gst_caps_is_empty(StreamCaps) &&
        gst_structure_get_int(gst_caps_get_structure(StreamCaps, 0), "channels", &channels) &&
        channels > 0) {
        FChannels = static_cast<uint32_t>(channels);
    }
    FPeak.assign(FChannels, kSilence);
    FRms.assign(FChannels, kSilence);
}

bool TPlaybackAudioBranch::Attach(GstBin* Pipeline, GstPad* DecodedPad,
                                  TGstElementHandle AudioSink) {
    TGstElementHandle queue = Make("queue");
    TGstElementHandle convertIn = Make("audioconvert");
    FLevel = Make("level");
    FVolume = Make("volume");
    TGstElementHandle convertOut = Make("audioconvert");
    TGstElementHandle resample = Make("audioresample");
    if (!queue || !convertIn || !FLevel || !FVolume || !convertOut || !resample || !AudioSink) {
        return false;
    }
    g_object_set(FLevel.Get(), "interval", kLevelInterval, "post-messages", TRUE, nullptr);
    // The sink plays at the clock's pace (a fake sink would otherwise run through the file).
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(AudioSink.Get()), "sync") != nullptr) {
        g_object_set(AudioSink.Get(), "sync", TRUE, nullptr);
    }
    GstElement* chain[] = {queue.Get(), convertIn.Get(), FLevel.Get(), FVolume.Get(),
                           convertOut.Get(), resample.Get(), AudioSink.Get()};
    for (GstElement* e : chain) {
        gst_bin_add(Pipeline, GST_ELEMENT(gst_object_ref(e)));
    }
    TGstPadHandle queueIn = TGstPadHandle::Adopt(gst_element_get_static_pad(queue.Get(), "sink"));
    bool linked = gst_element_link_many(queue.Get(), convertIn.Get(), FLevel.Get(), FVolume.Get(),
                                        convertOut.Get(), resample.Get(), AudioSink.Get(),
                                        nullptr) &&
                  gst_pad_link(DecodedPad, queueIn.Get()) == GST_PAD_LINK_OK;
    for (GstElement* e : chain) {
        linked = linked && gst_element_sync_state_with_parent(e);
    }
    if (!linked) {
        for (GstElement* e : chain) {
            gst_element_set_state(e, GST_STATE_NULL);
            gst_bin_remove(Pipeline, e);
        }
    }
    return linked;
}

HRESULT TPlaybackAudioBranch::GetChannelsCount(uint32_t& Count) {
    Count = FChannels;
    return S_OK;
}

HRESULT TPlaybackAudioBranch::SetVolume(double Gain) {
    if (std::isnan(Gain) || Gain < 0.0 || !FVolume) {
        return E_INVALIDARG;
    }
    g_object_set(FVolume.Get(), "volume", std::min(Gain, kLargestGain), nullptr);
    return S_OK;
}

HRESULT TPlaybackAudioBranch::GetChannelLevel(uint32_t Channel, double& Level, double& Second) {
    std::lock_guard lock(FLock);
    if (Channel >= FPeak.size()) {
        return E_INVALIDARG;
    }
    Level = FPeak[Channel];
    Second = FRms[Channel];
    return S_OK;
}

HRESULT TPlaybackAudioBranch::GetProgramID(uint32_t& ProgramID) {
    ProgramID = FProgramID;
    return S_OK;
}

bool TPlaybackAudioBranch::OwnsLevel(const GstObject* Source) const {
    return Source != nullptr && Source == GST_OBJECT(FLevel.Get());
}

void TPlaybackAudioBranch::TakeLevelMessage(const GstStructure* Report) {
    const std::vector<double> peak = LevelValues(Report, "peak");
    const std::vector<double> rms = LevelValues(Report, "rms");
    std::lock_guard lock(FLock);
    if (!FMetering) {
        return;
    }
    for (size_t c = 0; c < FPeak.size(); ++c) {
        FPeak[c] = c < peak.size() ? ClampedLevel(peak[c]) : kSilence;
        FRms[c] = c < rms.size() ? ClampedLevel(rms[c]) : kSilence;
    }
}

void TPlaybackAudioBranch::SetMetering(bool On, bool Reset) {
    std::lock_guard lock(FLock);
    FMetering = On;
    if (Reset) {
        std::fill(FPeak.begin(), FPeak.end(), kSilence);
        std::fill(FRms.begin(), FRms.end(), kSilence);
    }
}
