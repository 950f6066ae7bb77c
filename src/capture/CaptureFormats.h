#pragma once

#include <cstdint>
#include <string>

#include "platform/HResult.h"
#include "platform/MediaType.h"

// The size and frame-interval limits of one output capability of a capture pin, laid out like
// the media framework's VIDEO_STREAM_CONFIG_CAPS fields the capture graph reads.
struct TVideoStreamConfigCaps {
    TGUID guid = GUID_NULL;  // format type of the capability
    int32_t MinOutputSizeCx = 0;
    int32_t MinOutputSizeCy = 0;
    int32_t MaxOutputSizeCx = 0;
    int32_t MaxOutputSizeCy = 0;
    int32_t OutputGranularityX = 1;
    int32_t OutputGranularityY = 1;
    int64_t MinFrameInterval = 0;  // 100-ns units
    int64_t MaxFrameInterval = 0;
};

// Rewrite a media type with a VIDEOINFOHEADER (resp. VIDEOINFOHEADER2) for a new picture size
// and frame interval: sample size and image size = width * height * (bit count div 8),
// rectangles (0, 0, width, height), bit rate Trunc(10,000,000 / interval * sample size * 8),
// AvgTimePerFrame = interval; everything else stays. A frame interval of 0 or less gives a bit
// rate of 0. E_FAIL (with the logged line) when the media type holds another format block.
HRESULT UpdateMediaTypeVideoInfo(TMediaType& MediaType, int32_t NewWidth, int64_t NewFrameInterval,
                                 int32_t NewHeight);
HRESULT UpdateMediaTypeVideoInfo2(TMediaType& MediaType, int32_t NewWidth, int64_t NewFrameInterval,
                                  int32_t NewHeight);

// Width, height and frame interval of a VIDEOINFOHEADER or VIDEOINFOHEADER2 media type; false
// (outputs untouched) for any other format type.
bool ReadVideoInfoFormat(const TMediaType& MediaType, int32_t& Width, int32_t& Height,
                         int64_t& FrameInterval);

// The setup dialog's text for a format: "Resolution: 640 x 480, Frames per second: 30.00" in
// the current UI language; empty for a media type without VIDEOINFOHEADER/VIDEOINFOHEADER2.
std::string FormatDescription(const TMediaType& MediaType);
