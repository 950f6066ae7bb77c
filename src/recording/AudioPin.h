#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "recording/RecordingTypes.h"
#include "recording/SourceStream.h"

class TAVSourceFilter;

// An audio output pin of the source element: PCM blocks of 40 ms (average bytes per second
// / 25), one per frame length, paced and ended like the video pin. Without an audio function,
// or when it hands out no block, the sample carries silence.
class TAudioPin : public TBCSourceStream {
public:
    TAudioPin(TAVSourceFilter* AVSource, uint32_t PinIndex, std::shared_ptr<void> Owner,
              std::mutex& StateLock);
    ~TAudioPin() override;

    HRESULT SetAudioParameters(const TWaveFormatEx* WaveFormat);
    void SetFrameFunctions(TGetNextFrameFunction Next, TReleaseFrameFunction Release);

    HRESULT Notify() override;
    HRESULT GetMediaType(int32_t Position, TMediaType* pmt) override;
    HRESULT CheckMediaType(const TMediaType* pmt) override;
    HRESULT SetMediaType(const TMediaType* pmt) override;
    HRESULT CompleteConnect() override;
    HRESULT DecideBufferSize(GstBufferPool* Allocator, TAllocatorProperties* Properties) override;
    HRESULT FillBuffer(TMediaSample* Sample) override;
    HRESULT OnThreadCreate() override;

    bool EOSDelivered() const { return FEOSDelivered; }
    int64_t DeliveredTime() const { return FDeliveredTime; }

    static constexpr int32_t kSampleSize = 7680;

private:
    TAVSourceFilter* FAVSource;
    uint32_t FPinIndex;
    int32_t FFrameNumber = 0;
    int64_t FFrameLength = 400000;
    TWaveFormatEx FWaveFormat{WAVE_FORMAT_PCM, 2, 48000, 192000, 4, 16, 0};
    int32_t FBufferSize = 7680;
    TGetNextFrameFunction FGetNextAudioFrm;
    TReleaseFrameFunction FReleaseFrameFunction;
    std::atomic<bool> FEOSDelivered{false};
    std::atomic<int64_t> FDeliveredTime{0};
};
