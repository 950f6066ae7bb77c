#pragma once

// Frames that carry their own number, and the numbers read back from a recorded file: which
// frames a recording holds, in which order, whatever the encoder did to the pictures. The number
// is drawn as a row of kFrameNumberBits black or white cells (most significant first) across
// the top quarter of the picture, coarse enough to survive any encoder's compression.

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/GstHandle.h"

constexpr int kFrameNumberBits = 12;

// Draws Number into the top quarter of a bottom-up RGB32 frame (the rest is left alone).
inline void PaintFrameNumber(uint8_t* Rgb32BottomUp, int Width, int Height, int Number) {
    const int band = Height / 4;
    for (int y = 0; y < band; ++y) {
        // Top-down row y is bottom-up row Height - 1 - y.
        uint8_t* line = Rgb32BottomUp + static_cast<size_t>(Height - 1 - y) * Width * 4;
        for (int x = 0; x < Width; ++x) {
            const int bit = x * kFrameNumberBits / Width;
            const bool one = (Number >> (kFrameNumberBits - 1 - bit)) & 1;
            std::fill_n(line + static_cast<size_t>(x) * 4, 3, static_cast<uint8_t>(one ? 235 : 16));
        }
    }
}

// Decodes a recording and hands each picture to Visit as RGBx bytes (top-down rows), in file
// order.
inline void ForEachDecodedPicture(const std::string& Path,
                                  const std::function<void(const uint8_t*, size_t)>& Visit) {
    gchar* location = g_strescape(Path.c_str(), nullptr);
    const std::string description = std::string("filesrc location=\"") + location +
                                    "\" ! decodebin ! videoconvert ! video/x-raw,format=RGBx ! "
                                    "appsink name=out sync=false";
    g_free(location);
    TGstElementHandle pipeline =
        TGstElementHandle::Adopt(gst_parse_launch(description.c_str(), nullptr));
    if (!pipeline) {
        return;
    }
    TGstElementHandle sink =
        TGstElementHandle::Adopt(gst_bin_get_by_name(GST_BIN(pipeline.Get()), "out"));
    gst_element_set_state(pipeline.Get(), GST_STATE_PLAYING);
    while (GstSample* sample =
               gst_app_sink_try_pull_sample(GST_APP_SINK(sink.Get()), 10 * GST_SECOND)) {
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            Visit(map.data, map.size);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline.Get(), GST_STATE_NULL);
}

// The number of each frame of a recording, in file order (-1 for a picture whose cells cannot
// be read). Width and Height are the recording's picture size.
inline std::vector<int> DecodeFrameNumbers(const std::string& Path, int Width, int Height) {
    std::vector<int> numbers;
    const int band = Height / 4;
    ForEachDecodedPicture(Path, [&](const uint8_t* data, size_t size) {
        int number = 0;
        bool readable = size >= static_cast<size_t>(Width) * Height * 4;
        for (int bit = 0; bit < kFrameNumberBits && readable; ++bit) {
            // The middle of the cell, averaged over a small patch.
            const int cx = (2 * bit + 1) * Width / (2 * kFrameNumberBits);
            int sum = 0;
            int count = 0;
            for (int y = band / 2 - 1; y <= band / 2 + 1; ++y) {
                for (int x = cx - 1; x <= cx + 1; ++x) {
                    sum += data[(static_cast<size_t>(y) * Width + x) * 4 + 1];
                    ++count;
                }
            }
            const int level = sum / count;
            readable = level < 90 || level > 160;
            number = (number << 1) | (level > 128 ? 1 : 0);
        }
        numbers.push_back(readable ? number : -1);
    });
    return numbers;
}
