#include "capture/CaptureStreamConfig.h"

#include <algorithm>

#include "graph/MediaTypeCaps.h"

namespace {

// Limits of an int field: a single value or a range (with its step).
void IntLimits(const GstStructure* s, const char* field, int32_t& min, int32_t& max,
               int32_t& step) {
    const GValue* v = gst_structure_get_value(s, field);
    min = max = 0;
    step = 1;
    if (v == nullptr) {
        return;
    }
    if (G_VALUE_HOLDS_INT(v)) {
        min = max = g_value_get_int(v);
    } else if (GST_VALUE_HOLDS_INT_RANGE(v)) {
        min = gst_value_get_int_range_min(v);
        max = gst_value_get_int_range_max(v);
        step = std::max(1, gst_value_get_int_range_step(v));
    }
}

int64_t Interval(int num, int den) {
    return AvgTimePerFrameFromFrameRate(num, den);
}

// Shortest and longest frame interval of a framerate field (fraction, range or list).
void IntervalLimits(const GstStructure* s, int64_t& minInterval, int64_t& maxInterval) {
    minInterval = maxInterval = 0;
    const GValue* v = gst_structure_get_value(s, "framerate");
    if (v == nullptr) {
        return;
    }
    auto add = [&](int num, int den) {
        if (num <= 0 || den <= 0) {
            return;
        }
        const int64_t interval = Interval(num, den);
        minInterval = minInterval == 0 ? interval : std::min(minInterval, interval);
        maxInterval = std::max(maxInterval, interval);
    };
    if (GST_VALUE_HOLDS_FRACTION(v)) {
        add(gst_value_get_fraction_numerator(v), gst_value_get_fraction_denominator(v));
    } else if (GST_VALUE_HOLDS_FRACTION_RANGE(v)) {
        const GValue* lo = gst_value_get_fraction_range_min(v);
        const GValue* hi = gst_value_get_fraction_range_max(v);
        add(gst_value_get_fraction_numerator(hi), gst_value_get_fraction_denominator(hi));
        add(gst_value_get_fraction_numerator(lo), gst_value_get_fraction_denominator(lo));
    } else if (GST_VALUE_HOLDS_LIST(v)) {
        for (guint i = 0; i < gst_value_list_get_size(v); ++i) {
            const GValue* f = gst_value_list_get_value(v, i);
            if (GST_VALUE_HOLDS_FRACTION(f)) {
                add(gst_value_get_fraction_numerator(f), gst_value_get_fraction_denominator(f));
            }
        }
    }
}

}  // namespace

TCaptureStreamConfig::TCaptureStreamConfig(GstElement* capsFilter, const GstCaps* offered)
    : FCapsFilter(TGstElementHandle::Ref(capsFilter)) {
    if (offered == nullptr) {
        return;
    }
    FOffered = TGstCapsHandle::Adopt(gst_caps_copy(offered));
    for (guint i = 0; i < gst_caps_get_size(offered); ++i) {
        const GstStructure* s = gst_caps_get_structure(offered, i);
        GstCaps* one = gst_caps_new_full(gst_structure_copy(s), nullptr);
        one = gst_caps_fixate(one);
        TCapability cap;
        // Only formats SetFormat can ask the device for again are offered; compressed kinds
        // that are merely named convert to no caps.
        const bool known = MediaTypeFromCaps(one, cap.MediaType) &&
                           static_cast<bool>(CapsFromMediaType(cap.MediaType));
        gst_caps_unref(one);
        if (!known) {
            continue;
        }
        auto& cc = cap.ConfigCaps;
        cc.guid = cap.MediaType.formattype;
        IntLimits(s, "width", cc.MinOutputSizeCx, cc.MaxOutputSizeCx, cc.OutputGranularityX);
        IntLimits(s, "height", cc.MinOutputSizeCy, cc.MaxOutputSizeCy, cc.OutputGranularityY);
        IntervalLimits(s, cc.MinFrameInterval, cc.MaxFrameInterval);
        FCapabilities.push_back(std::move(cap));
    }
}

HRESULT TCaptureStreamConfig::GetNumberOfCapabilities(int32_t& Count, int32_t& Size) const {
    Count = static_cast<int32_t>(FCapabilities.size());
    Size = static_cast<int32_t>(sizeof(TVideoStreamConfigCaps));
    return S_OK;
}

HRESULT TCaptureStreamConfig::GetStreamCaps(int32_t Index, TMediaType& MediaType,
                                            TVideoStreamConfigCaps& ConfigCaps) const {
    if (Index < 0 || Index >= static_cast<int32_t>(FCapabilities.size())) {
        return S_FALSE;
    }
    MediaType = FCapabilities[static_cast<size_t>(Index)].MediaType;
    ConfigCaps = FCapabilities[static_cast<size_t>(Index)].ConfigCaps;
    return S_OK;
}

HRESULT TCaptureStreamConfig::GetFormat(TMediaType& MediaType) const {
    if (FFormatSet) {
        MediaType = FFormat;
        return S_OK;
    }
    if (FCapabilities.empty()) {
        return E_FAIL;
    }
    MediaType = FCapabilities.front().MediaType;
    return S_OK;
}

HRESULT TCaptureStreamConfig::SetFormat(const TMediaType& MediaType) {
    TGstCapsHandle caps = CapsFromMediaType(MediaType);
    if (!caps || !FOffered) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    // The offered format it falls into completes what the media type leaves open (pixel
    // aspect ratio, ...); none means the device cannot deliver it.
    TGstCapsHandle chosen = TGstCapsHandle::Adopt(
        gst_caps_intersect_full(FOffered.Get(), caps.Get(), GST_CAPS_INTERSECT_FIRST));
    if (!chosen || gst_caps_is_empty(chosen.Get())) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    chosen = TGstCapsHandle::Adopt(gst_caps_fixate(chosen.Release()));
    if (FCapsFilter) {
        // The capsfilter asks upstream to renegotiate when its caps change.
        g_object_set(FCapsFilter.Get(), "caps", chosen.Get(), nullptr);
    }
    FFormat = MediaType;
    FFormatSet = true;
    return S_OK;
}
