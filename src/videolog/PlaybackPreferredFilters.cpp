#include "videolog/PlaybackPreferredFilters.h"

#include <algorithm>

#include "graph/FilterClassIds.h"

std::string PlaybackFactoryForClassId(const TGUID& ClassId) {
    struct TClassFactory {
        TGUID ClassId;
        const char* Factory;
    };
    static const TClassFactory kTable[] = {
        {CLSID_CMPEG2VidDecoderDS, "avdec_mpeg2video"},
        {CLSID_DVVideoCodec, "dvdec"},
        {CLSID_DVSplitter, "dvdemux"},
        {CLSID_MPEG2Demultiplexer, "tsdemux"},
    };
    for (const auto& row : kTable) {
        if (row.ClassId == ClassId) {
            return row.Factory;
        }
    }
    return {};
}

void TPlaybackPreferredFilters::Add(int32_t FilterType, const TGUID& ClassId) {
    std::string factory = PlaybackFactoryForClassId(ClassId);
    std::lock_guard lock(FLock);
    FEntries.push_back({FilterType, ClassId});
    if (!factory.empty() &&
        std::find(FFactories.begin(), FFactories.end(), factory) == FFactories.end()) {
        FFactories.push_back(std::move(factory));
    }
}

std::vector<TPlaybackPreferredFilters::TEntry> TPlaybackPreferredFilters::Entries() const {
    std::lock_guard lock(FLock);
    return FEntries;
}

std::vector<std::string> TPlaybackPreferredFilters::Factories() const {
    std::lock_guard lock(FLock);
    return FFactories;
}

void TPlaybackPreferredFilters::ConnectTo(GstElement* bin) {
    g_signal_connect(bin, "autoplug-sort", G_CALLBACK(&TPlaybackPreferredFilters::OnAutoplugSort),
                     this);
}

// GValueArray is what the signal hands over and expects back.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS
GValueArray* TPlaybackPreferredFilters::OnAutoplugSort(GstElement*, GstPad*, GstCaps*,
                                                       GValueArray* factories, gpointer self) {
    const std::vector<std::string> preferred =
        static_cast<TPlaybackPreferredFilters*>(self)->Factories();
    if (preferred.empty() || factories == nullptr) {
        return nullptr;  // decodebin keeps its own order
    }
    auto nameAt = [&](guint i) {
        auto* factory = GST_PLUGIN_FEATURE(g_value_get_object(g_value_array_get_nth(factories, i)));
        return std::string(gst_plugin_feature_get_name(factory));
    };
    std::vector<guint> order;
    for (const auto& name : preferred) {
        for (guint i = 0; i < factories->n_values; ++i) {
            if (nameAt(i) == name) {
                order.push_back(i);
            }
        }
    }
    if (order.empty()) {
        return nullptr;
    }
    for (guint i = 0; i < factories->n_values; ++i) {
        if (std::find(order.begin(), order.end(), i) == order.end()) {
            order.push_back(i);
        }
    }
    GValueArray* sorted = g_value_array_new(factories->n_values);
    for (const guint i : order) {
        g_value_array_append(sorted, g_value_array_get_nth(factories, i));
    }
    return sorted;
}
G_GNUC_END_IGNORE_DEPRECATIONS
