#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/MediaType.h"

// A recording profile: what the WMV writer encodes, stream by stream. Built by the profile
// configurator, applied by the writer, which keeps its own copy.
struct TWMProfile {
    // One encoded stream: its number and names, the encoder element that produces it, and its
    // media type (video: VIDEOINFOHEADER with the encoded size, bit rate and frame time;
    // audio: WAVEFORMATEX with rate, channels and bytes per second).
    struct TStreamConfig {
        bool Video = true;
        std::string EncoderFactory;
        TMediaType MediaType;
        uint32_t Bitrate = 0;
        uint16_t StreamNumber = 0;
        std::string StreamName;
        std::string ConnectionName;
        uint32_t BufferWindow = 0;       // milliseconds
        int64_t MaxKeyFrameSpacing = 0;  // 100-ns units (video)
        uint32_t Quality = 0;            // 0..100 (video)
    };

    static constexpr uint32_t WMT_VER_9_0 = 0x00090000;

    uint32_t Version = 0;
    std::string Name;
    std::string Description;
    std::vector<TStreamConfig> Streams;
};
