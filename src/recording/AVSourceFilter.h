#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/HResult.h"
#include "recording/AVSourceControl.h"
#include "recording/AudioPin.h"
#include "recording/VideoPin.h"

// Bytes per pixel of a frame colour space: 4 for RGB32, 2 for YUY2; any other colour space is
// refused (E_NOTIMPL, count 0).
HRESULT ColorSpaceToBytesPerPixel(const TGUID* ColorSpace, int32_t& BytesPerPixel);

// The push source that turns the program's frames into timed media streams for the encoding
// graph: a bin whose output pins ("Video 0", ..., "Audio 0", ...) are ghost pads of one
// source element per stream, each with its own streaming thread. It holds no frames of its
// own: each pin pulls them through the frame functions it was given.
//
// Lifetime: the filter lives as long as its bin or any of its pin elements, whichever goes
// last; hold it through the shared pointer Create returns or through the bin.
class TAVSourceFilter : public IAVSourceControl,
                        public std::enable_shared_from_this<TAVSourceFilter> {
public:
    static constexpr const char* kFilterName = "Audio Video Source Filter";
    static constexpr int64_t kDefaultDuration = 864000000000;  // 24 hours

    static std::shared_ptr<TAVSourceFilter> Create(const std::string& ObjectName, HRESULT& hr);
    static std::shared_ptr<TAVSourceFilter> CreateFromFactory(HRESULT& hr);
    ~TAVSourceFilter() override;

    // The filter as a graph element (a borrowed pointer; the bin holds the filter).
    GstElement* Element() const { return FElement; }

    HRESULT AddVideoStream(int32_t Width, int32_t Height, const TGUID* ColorSpace,
                           int64_t TimePerFrame, TGetNextFrameFunction NextFrmFunc,
                           TReleaseFrameFunction ReleaseFrameFunction, bool SkipEmptyFrames,
                           int64_t LeadTime = 0) override;
    HRESULT AddAudioStream(const TWaveFormatEx* WaveFormat, TGetNextFrameFunction NextFrmFunc,
                           TReleaseFrameFunction ReleaseFrameFunction) override;
    HRESULT SetDuration(int64_t Duration) override;
    HRESULT IsEOSDelivered() override;

    int64_t Duration() const { return FDuration; }
    // The longest stream time any pin has delivered (100-ns units).
    int64_t DeliveredTime() const;
    size_t VideoPinCount() const { return FVideoPins.size(); }
    TVideoPin* VideoPin(size_t index) const { return FVideoPins[index].get(); }
    size_t AudioPinCount() const { return FAudioPins.size(); }
    TAudioPin* AudioPin(size_t index) const { return FAudioPins[index].get(); }

    // The filter's state lock: media type and buffer decisions are taken under it.
    std::mutex& StateLock() { return FStateLock; }

private:
    TAVSourceFilter() = default;
    HRESULT AddPin(TBCSourceStream& pin, const std::string& name);
    HRESULT FreePins();

    GstElement* FElement = nullptr;
    std::vector<std::unique_ptr<TVideoPin>> FVideoPins;
    std::vector<std::unique_ptr<TAudioPin>> FAudioPins;
    std::atomic<int64_t> FDuration{kDefaultDuration};
    std::mutex FStateLock;
};
