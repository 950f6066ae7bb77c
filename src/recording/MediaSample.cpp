#include "recording/MediaSample.h"

#include <stdexcept>

TMediaSample::TMediaSample(GstBufferPool* Pool, GstBuffer* Previous)
    : FPool(Pool), FPrevious(Previous) {}

TMediaSample::~TMediaSample() {
    if (FMapped) {
        gst_buffer_unmap(FFresh, &FMap);
    }
    if (FFresh != nullptr) {
        gst_buffer_unref(FFresh);
    }
}

uint8_t* TMediaSample::NewData() {
    if (FFresh == nullptr) {
        if (FPool == nullptr ||
            gst_buffer_pool_acquire_buffer(FPool, &FFresh, nullptr) != GST_FLOW_OK) {
            FFresh = nullptr;
            throw std::runtime_error("no sample buffer");
        }
        if (!gst_buffer_map(FFresh, &FMap, GST_MAP_WRITE)) {
            throw std::runtime_error("sample buffer cannot be mapped");
        }
        FMapped = true;
    }
    return FMap.data;
}

int32_t TMediaSample::GetSize() const {
    if (FFresh != nullptr) {
        return static_cast<int32_t>(FMap.size);
    }
    if (FPool != nullptr) {
        GstStructure* config = gst_buffer_pool_get_config(FPool);
        guint size = 0;
        gst_buffer_pool_config_get_params(config, nullptr, &size, nullptr, nullptr);
        gst_structure_free(config);
        return static_cast<int32_t>(size);
    }
    return 0;
}

void TMediaSample::SetTime(int64_t Start, int64_t End) {
    FStart = Start;
    FEnd = End;
}

GstBuffer* TMediaSample::Deliver() {
    GstBuffer* out = nullptr;
    if (FFresh != nullptr) {
        if (FMapped) {
            gst_buffer_unmap(FFresh, &FMap);
            FMapped = false;
        }
        out = FFresh;
        FFresh = nullptr;
        if (FLength >= 0 && static_cast<gsize>(FLength) < gst_buffer_get_size(out)) {
            gst_buffer_set_size(out, FLength);
        }
    } else if (FPrevious != nullptr) {
        // Same picture, new times: the memory is shared, not copied.
        out = gst_buffer_copy(FPrevious);
    } else {
        return nullptr;
    }
    if (FStart >= 0) {
        GST_BUFFER_PTS(out) = static_cast<GstClockTime>(FStart) * 100;
        GST_BUFFER_DTS(out) = GST_CLOCK_TIME_NONE;
        GST_BUFFER_DURATION(out) =
            FEnd >= FStart ? static_cast<GstClockTime>(FEnd - FStart) * 100 : GST_CLOCK_TIME_NONE;
    }
    if (FSyncPoint) {
        GST_BUFFER_FLAG_UNSET(out, GST_BUFFER_FLAG_DELTA_UNIT);
    } else {
        GST_BUFFER_FLAG_SET(out, GST_BUFFER_FLAG_DELTA_UNIT);
    }
    return out;
}
