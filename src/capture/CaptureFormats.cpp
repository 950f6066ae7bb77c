#include "capture/CaptureFormats.h"

#include <cstdio>
#include <limits>
#include <stdexcept>

#include "localisation/TandrelTexts.h"
#include "platform/Diagnostics.h"

namespace {

constexpr double kUnitsPerSecond = 10'000'000.0;

uint32_t BitRate(int64_t frameInterval, uint32_t sampleSize) {
    if (frameInterval <= 0) {
        return 0;  // undefined without a frame rate
    }
    const double rate = kUnitsPerSecond / static_cast<double>(frameInterval) *
                        static_cast<double>(sampleSize) * 8.0;
    if (rate >= static_cast<double>(std::numeric_limits<uint32_t>::max())) {
        return std::numeric_limits<uint32_t>::max();
    }
    return static_cast<uint32_t>(rate);  // truncation
}

// The fields both header kinds share, rewritten in place.
template <typename THeader>
void Update(TMediaType& mt, THeader& header, int32_t width, int64_t interval, int32_t height) {
    const uint32_t sampleSize = static_cast<uint32_t>(width) * static_cast<uint32_t>(height) *
                                static_cast<uint32_t>(header.bmiHeader.biBitCount / 8);
    mt.lSampleSize = sampleSize;
    header.rcSource = {0, 0, width, height};
    header.rcTarget = {0, 0, width, height};
    header.dwBitRate = BitRate(interval, sampleSize);
    header.AvgTimePerFrame = interval;
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = height;
    header.bmiHeader.biSizeImage = sampleSize;
}

}  // namespace

HRESULT UpdateMediaTypeVideoInfo(TMediaType& MediaType, int32_t NewWidth, int64_t NewFrameInterval,
                                 int32_t NewHeight) {
    try {
        TVideoInfoHeader* vih = MediaType.VideoInfo();
        if (vih == nullptr) {
            throw std::invalid_argument("no VIDEOINFOHEADER");
        }
        Update(MediaType, *vih, NewWidth, NewFrameInterval, NewHeight);
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.UpdateMediaTypeVideoInfo call...");
        return E_FAIL;
    }
}

HRESULT UpdateMediaTypeVideoInfo2(TMediaType& MediaType, int32_t NewWidth, int64_t NewFrameInterval,
                                  int32_t NewHeight) {
    try {
        TVideoInfoHeader2* vih2 = MediaType.VideoInfo2();
        if (vih2 == nullptr) {
            throw std::invalid_argument("no VIDEOINFOHEADER2");
        }
        Update(MediaType, *vih2, NewWidth, NewFrameInterval, NewHeight);
        return S_OK;
    } catch (...) {
        LogMessage("Error in TFrameGrabCaptureGraph.UpdateMediaTypeVideoInfo2 call...");
        return E_FAIL;
    }
}

bool ReadVideoInfoFormat(const TMediaType& MediaType, int32_t& Width, int32_t& Height,
                         int64_t& FrameInterval) {
    if (const TVideoInfoHeader* vih = MediaType.VideoInfo()) {
        Width = vih->bmiHeader.biWidth;
        Height = vih->bmiHeader.biHeight;
        FrameInterval = vih->AvgTimePerFrame;
        return true;
    }
    if (const TVideoInfoHeader2* vih2 = MediaType.VideoInfo2()) {
        Width = vih2->bmiHeader.biWidth;
        Height = vih2->bmiHeader.biHeight;
        FrameInterval = vih2->AvgTimePerFrame;
        return true;
    }
    return false;
}

std::string FormatDescription(const TMediaType& MediaType) {
    int32_t width = 0;
    int32_t height = 0;
    int64_t interval = 0;
    if (!ReadVideoInfoFormat(MediaType, width, height, interval)) {
        return {};
    }
    const double fps = interval > 0 ? kUnitsPerSecond / static_cast<double>(interval) : 0.0;
    const std::string& resolution = CurrentText(txtResolution);
    const std::string& framesPerSecond = CurrentText(txtFramesPerSecond);
    const int size = std::snprintf(nullptr, 0, "%s: %d x %d, %s: %.2f", resolution.c_str(), width,
                                   height, framesPerSecond.c_str(), fps);
    std::string text(static_cast<size_t>(size > 0 ? size : 0), '\0');
    std::snprintf(text.data(), text.size() + 1, "%s: %d x %d, %s: %.2f", resolution.c_str(), width,
                  height, framesPerSecond.c_str(), fps);
    return text;
}
