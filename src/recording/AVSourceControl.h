#pragma once

#include <cstdint>

#include "platform/HResult.h"
#include "platform/MediaType.h"
#include "recording/RecordingTypes.h"

// The control interface of the audio/video source element: streams are added before the
// element is connected, then the clip duration is set; IsEOSDelivered tells whether every
// stream has ended at that duration.
class IAVSourceControl {
public:
    virtual ~IAVSourceControl() = default;

    virtual HRESULT AddVideoStream(int32_t Width, int32_t Height, const TGUID* ColorSpace,
                                   int64_t TimePerFrame, TGetNextFrameFunction NextFrmFunc,
                                   TReleaseFrameFunction ReleaseFrameFunction, bool SkipEmptyFrames,
                                   int64_t LeadTime = 0) = 0;
    virtual HRESULT AddAudioStream(const TWaveFormatEx* WaveFormat,
                                   TGetNextFrameFunction NextFrmFunc,
                                   TReleaseFrameFunction ReleaseFrameFunction) = 0;
    virtual HRESULT SetDuration(int64_t Duration) = 0;
    // S_OK when every stream has delivered end-of-stream (also with no stream), else S_FALSE.
    virtual HRESULT IsEOSDelivered() = 0;
};
