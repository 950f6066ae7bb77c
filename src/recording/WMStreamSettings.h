#pragma once

#include <cstdint>

// The description of one encoded video stream in a recording profile. Times in 100-ns units.
struct TWMVideoStreamSettings {
    uint32_t VideoWidth = 0;
    uint32_t VideoHeight = 0;
    uint32_t VideoCodecIndex = 0;
    uint32_t VideoBitrate = 0;  // bits per second
    int64_t TimePerFrame = 0;   // per encoded frame
    uint32_t VideoQuality = 0;  // 0..100
    int64_t KeyFrameInterval = 0;  // largest key-frame spacing
};

// The description of one encoded audio stream: a codec and one of its formats.
struct TWMAudioStreamSettings {
    uint32_t AudioCodecIndex = 0;
    uint32_t AudioFormatIndex = 0;
};
