#include "scenes/SceneCompression.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

struct TUnref {
    void operator()(GstElement* e) const { gst_object_unref(e); }
};
using TElement = std::unique_ptr<GstElement, TUnref>;

// Builds "appsrc ! encoder ! Tail", pushes every frame and waits for the end of the stream.
// OnSample (when set) gets each decoded frame from the appsink named "sink".
template <typename TOnSample>
bool RunGraph(const TSceneFrames& Frames, int32_t Width, int32_t Height, int32_t FramesPerSecond,
              int32_t BitsPerSecond, int32_t KeyFrameInterval, const std::string& Tail,
              TOnSample OnSample, std::string& Message) {
    const std::string description =
        "appsrc name=src format=time ! videoconvert ! avenc_mpeg4 bitrate=" +
        std::to_string(BitsPerSecond) + " gop-size=" + std::to_string(KeyFrameInterval) +
        " max-bframes=0 ! " + Tail;
    GError* error = nullptr;
    TElement pipeline(gst_parse_launch(description.c_str(), &error));
    if (error != nullptr) {
        Message = error->message;
        g_error_free(error);
        return false;
    }
    TElement source(gst_bin_get_by_name(GST_BIN(pipeline.get()), "src"));
    TElement sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "sink"));
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", "width",
                                        G_TYPE_INT, Width, "height", G_TYPE_INT, Height,
                                        "framerate", GST_TYPE_FRACTION, FramesPerSecond, 1,
                                        nullptr);
    gst_app_src_set_caps(GST_APP_SRC(source.get()), caps);
    gst_caps_unref(caps);
    if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        Message = "the graph does not start";
        gst_element_set_state(pipeline.get(), GST_STATE_NULL);
        return false;
    }
    const GstClockTime duration = GST_SECOND / FramesPerSecond;
    for (size_t i = 0; i < Frames.size(); ++i) {
        GstBuffer* buffer = gst_buffer_new_allocate(nullptr, Frames[i].size(), nullptr);
        gst_buffer_fill(buffer, 0, Frames[i].data(), Frames[i].size());
        GST_BUFFER_PTS(buffer) = i * duration;
        GST_BUFFER_DURATION(buffer) = duration;
        gst_app_src_push_buffer(GST_APP_SRC(source.get()), buffer);
    }
    gst_app_src_end_of_stream(GST_APP_SRC(source.get()));
    bool ok = true;
    if (sink && GST_IS_APP_SINK(sink.get())) {
        while (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink.get()))) {
            OnSample(sample);
            gst_sample_unref(sample);
        }
    }
    GstBus* bus = gst_element_get_bus(pipeline.get());
    GstMessage* message = gst_bus_timed_pop_filtered(
        bus, 60 * GST_SECOND,
        static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    if (message == nullptr || GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        Message = message == nullptr ? "no end of stream within a minute" : "the graph failed";
        ok = false;
    }
    if (message != nullptr) {
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return ok;
}

}  // namespace

bool CompressScene(const TSceneFrames& Frames, int32_t Width, int32_t Height,
                   int32_t FramesPerSecond, int32_t BitsPerSecond, int32_t KeyFrameInterval,
                   TSceneFrames& Compressed, std::string& Message) {
    Compressed.clear();
    const size_t frameBytes = static_cast<size_t>(Width) * Height * 4;
    bool sizesMatch = true;
    const bool ok = RunGraph(
        Frames, Width, Height, FramesPerSecond, BitsPerSecond, KeyFrameInterval,
        "avdec_mpeg4 ! videoconvert ! video/x-raw,format=BGRx ! appsink name=sink sync=false",
        [&](GstSample* sample) {
            GstBuffer* buffer = gst_sample_get_buffer(sample);
            GstMapInfo map;
            if (buffer == nullptr || !gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                sizesMatch = false;
                return;
            }
            if (map.size != frameBytes) {
                sizesMatch = false;
            } else {
                Compressed.emplace_back(map.data, map.data + map.size);
            }
            gst_buffer_unmap(buffer, &map);
        },
        Message);
    if (ok && (!sizesMatch || Compressed.size() != Frames.size())) {
        Message = "decoded " + std::to_string(Compressed.size()) + " of " +
                  std::to_string(Frames.size()) + " frames";
        return false;
    }
    return ok;
}

bool WriteSceneVideo(const TSceneFrames& Frames, int32_t Width, int32_t Height,
                     int32_t FramesPerSecond, int32_t BitsPerSecond, int32_t KeyFrameInterval,
                     const std::string& FileName, std::string& Message) {
    const std::string tail = "avimux ! filesink location=\"" + FileName + "\"";
    return RunGraph(Frames, Width, Height, FramesPerSecond, BitsPerSecond, KeyFrameInterval, tail,
                    [](GstSample*) {}, Message);
}
