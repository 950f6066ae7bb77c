#pragma once

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/GstHandle.h"

// One delivered sample: its times (100-ns units) and bytes.
struct TPulledSample {
    int64_t Start = -1;
    int64_t Duration = -1;
    std::vector<uint8_t> Bytes;
};

struct TPullResult {
    std::vector<TPulledSample> Samples;
    bool Ended = false;  // end-of-stream reached
    std::chrono::steady_clock::duration Elapsed{};
};

// Plays `source` (an element with one output pad named `padName`) into an application sink
// and collects every sample until end-of-stream or `boundMs` passes.
inline TPullResult PullAll(GstElement* source, const std::string& padName, int boundMs = 10000) {
    TPullResult result;
    TGstElementHandle pipeline = TGstElementHandle::Adopt(gst_pipeline_new(nullptr));
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    g_object_set(sink, "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline.Get()), GST_ELEMENT(gst_object_ref(source)), sink, nullptr);
    TGstPadHandle out = TGstPadHandle::Adopt(gst_element_get_static_pad(source, padName.c_str()));
    TGstPadHandle in = TGstPadHandle::Adopt(gst_element_get_static_pad(sink, "sink"));
    if (!out || gst_pad_link(out.Get(), in.Get()) != GST_PAD_LINK_OK) {
        return result;
    }
    const auto started = std::chrono::steady_clock::now();
    const auto deadline = started + std::chrono::milliseconds(boundMs);
    gst_element_set_state(pipeline.Get(), GST_STATE_PLAYING);
    while (std::chrono::steady_clock::now() < deadline) {
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 100 * GST_MSECOND);
        if (sample == nullptr) {
            if (gst_app_sink_is_eos(GST_APP_SINK(sink))) {
                result.Ended = true;
                break;
            }
            continue;
        }
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        TPulledSample pulled;
        pulled.Start = static_cast<int64_t>(GST_BUFFER_PTS(buffer) / 100);
        pulled.Duration = static_cast<int64_t>(GST_BUFFER_DURATION(buffer) / 100);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            pulled.Bytes.assign(map.data, map.data + map.size);
            gst_buffer_unmap(buffer, &map);
        }
        result.Samples.push_back(std::move(pulled));
        gst_sample_unref(sample);
    }
    result.Elapsed = std::chrono::steady_clock::now() - started;
    gst_element_set_state(pipeline.Get(), GST_STATE_NULL);
    return result;
}

// What a recorded file holds when it is decoded again.
struct TDecodedFile {
    int Frames = 0;
    int Width = 0;
    int Height = 0;
    double DurationSeconds = 0;  // end of the last decoded frame
    bool Error = false;          // the decoder stopped with an error (a cut-off file may)
};

inline TDecodedFile DecodeFile(const std::string& path, int boundMs = 30000) {
    TDecodedFile result;
    GError* error = nullptr;
    gchar* location = g_strescape(path.c_str(), nullptr);
    const std::string description = std::string("filesrc location=\"") + location +
                                    "\" ! decodebin ! videoconvert ! video/x-raw,format=I420 ! "
                                    "appsink name=out sync=false";
    g_free(location);
    TGstElementHandle pipeline =
        TGstElementHandle::Adopt(gst_parse_launch(description.c_str(), &error));
    if (error != nullptr) {
        g_error_free(error);
        result.Error = true;
        return result;
    }
    TGstElementHandle sink =
        TGstElementHandle::Adopt(gst_bin_get_by_name(GST_BIN(pipeline.Get()), "out"));
    TGstBusHandle bus = TGstBusHandle::Adopt(gst_element_get_bus(pipeline.Get()));
    gst_element_set_state(pipeline.Get(), GST_STATE_PLAYING);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (std::chrono::steady_clock::now() < deadline) {
        GstSample* sample =
            gst_app_sink_try_pull_sample(GST_APP_SINK(sink.Get()), 100 * GST_MSECOND);
        if (sample != nullptr) {
            GstBuffer* buffer = gst_sample_get_buffer(sample);
            if (result.Frames == 0) {
                GstStructure* s = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
                gst_structure_get_int(s, "width", &result.Width);
                gst_structure_get_int(s, "height", &result.Height);
            }
            ++result.Frames;
            if (GST_BUFFER_PTS_IS_VALID(buffer)) {
                GstClockTime end = GST_BUFFER_PTS(buffer);
                if (GST_BUFFER_DURATION_IS_VALID(buffer)) {
                    end += GST_BUFFER_DURATION(buffer);
                }
                result.DurationSeconds =
                    std::max(result.DurationSeconds, static_cast<double>(end) / GST_SECOND);
            }
            gst_sample_unref(sample);
            continue;
        }
        if (gst_app_sink_is_eos(GST_APP_SINK(sink.Get()))) {
            break;
        }
        TGstMessageHandle msg = TGstMessageHandle::Adopt(
            gst_bus_pop_filtered(bus.Get(), GST_MESSAGE_ERROR));
        if (msg) {
            result.Error = true;
            break;
        }
    }
    gst_element_set_state(pipeline.Get(), GST_STATE_NULL);
    return result;
}
