#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "recording/RecordingTypes.h"
#include "recording/SourceStream.h"

class TAVSourceFilter;

// A video output pin of the source element. It offers one media type (the frame size and
// colour space at the pin's frame length), pulls one frame per frame length through its frame
// functions, stamps sample n with n x FFrameLength, never runs ahead of real time and ends its
// stream at the filter's duration. When no frame is ready the sample repeats the previous
// picture, so the file's timeline stays continuous.
//
// Frames arrive bottom-up (RGB32) as the program keeps them; the copy into the sample turns
// them top-down as the media framework's raw video is. YUY2 and I420 frames (the recorder's
// own queue form) are top-down already.
class TVideoPin : public TBCSourceStream {
public:
    TVideoPin(TAVSourceFilter* AVSource, uint32_t PinIndex, std::shared_ptr<void> Owner,
              std::mutex& StateLock);
    ~TVideoPin() override;

    HRESULT SetVideoParameters(int32_t Width, int32_t Height, const TGUID* ColorSpace,
                               int64_t TimePerFrame);
    void SetFrameFunctions(TGetNextFrameFunction Next, TReleaseFrameFunction Release,
                           bool SkipEmptyFrames);

    HRESULT Notify() override;
    HRESULT GetMediaType(int32_t Position, TMediaType* pmt) override;
    HRESULT CheckMediaType(const TMediaType* pmt) override;
    HRESULT SetMediaType(const TMediaType* pmt) override;
    HRESULT CompleteConnect() override;
    HRESULT DecideBufferSize(GstBufferPool* Allocator, TAllocatorProperties* Properties) override;
    HRESULT FillBuffer(TMediaSample* Sample) override;
    HRESULT OnThreadCreate() override;

    bool EOSDelivered() const { return FEOSDelivered; }
    uint32_t PinIndex() const { return FPinIndex; }
    int64_t FrameLength() const { return FFrameLength; }
    // Stream time already passed at the start (frames kept from before it come at once).
    void SetLeadTime(int64_t LeadTime) { FLeadTime = LeadTime > 0 ? LeadTime : 0; }
    // Stream time delivered so far (100-ns units).
    int64_t DeliveredTime() const { return FDeliveredTime; }

private:
    int64_t FLeadTime = 0;
    void FillBlack(uint8_t* data) const;

    TAVSourceFilter* FAVSource;
    uint32_t FPinIndex;
    int32_t FFrameNumber = 0;
    int64_t FFrameLength = 400000;
    int32_t FVideoWidth = 720;
    int32_t FVideoHeight = 576;
    TGUID FColorSpace = MEDIASUBTYPE_RGB32;
    int32_t FBytesPerPixel = 4;  // 0 for planar I420
    int64_t FFrameBytes = 0;     // one picture, every plane
    TGetNextFrameFunction FGetNextVideoFrm;
    TReleaseFrameFunction FReleaseFrameFunction;
    bool FSkipEmptyFrames = false;
    std::atomic<bool> FEOSDelivered{false};
    std::atomic<int64_t> FDeliveredTime{0};
};
