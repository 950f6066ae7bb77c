#pragma once

#include <cstdint>
#include <functional>

#include "platform/DateTime.h"
#include "platform/MediaType.h"

// The types the recorder, its source element and its encoding graph share.

// Hands out the next frame: true with Data/Size set when one is ready, false when none is
// (Data and Size are then left as they are). False with Size set to kEndOfFrames ends the
// stream: every frame there was has been handed out.
using TGetNextFrameFunction = std::function<bool(uint8_t*& Data, int32_t& Size)>;
constexpr int32_t kEndOfFrames = -1;
// The frame last handed out has been consumed.
using TReleaseFrameFunction = std::function<bool()>;
// A recording file has been closed: its start and its length in seconds.
using TVideoEndCallback = std::function<bool(TDateTime StartTime, double Duration)>;

// One video stream of a recording. Times are in 100-ns units. The frame functions and the
// codec index are filled in by the recorder, not by its caller.
struct TVideoStreamSettings {
    uint32_t InputWidth = 0;
    uint32_t InputHeight = 0;
    uint32_t OutputWidth = 0;
    uint32_t OutputHeight = 0;
    TGUID ColorSpace = GUID_NULL;    // media subtype of the frames fed: RGB32, YUY2 or I420
    int64_t InputTimePerFrame = 0;   // time-stamp step of the frames fed to the encoder
    int64_t OutputTimePerFrame = 0;  // frame time written into the file
    uint32_t VideoQuality = 0;       // 0..100
    int64_t KeyFrameInterval = 0;
    uint32_t VideoBitrate = 0;  // bits per second
    TGetNextFrameFunction NextFrameFunction;
    TReleaseFrameFunction ReleaseFrameFunction;
    uint32_t CodecIndex = 0;  // index in the video codec list
    bool SkipEmptyFrames = false;
    // Stream time (100-ns units) that has already passed when the stream starts: the frames of
    // the first LeadTime are delivered without waiting (frames kept from before the start).
    int64_t LeadTime = 0;
};

// One audio stream of a recording.
struct TAudioStreamSettings {
    TWaveFormatEx WaveFormat{};
    TGetNextFrameFunction NextFrameFunction;
    TReleaseFrameFunction ReleaseFrameFunction;
    uint32_t CodecIndex = 0;
    uint32_t FormatIndex = 0;
};
