#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "capture/CaptureFormats.h"
#include "platform/GstHandle.h"
#include "platform/HResult.h"
#include "platform/MediaType.h"

// The format control of a capture pin (the stream configuration): the pin's capability list
// and the format it delivers. The pin ends in a capsfilter right after the device; selecting a
// format sets that capsfilter's caps, so the device renegotiates to the chosen size and rate.
class TCaptureStreamConfig {
public:
    // `offered` lists the device's formats in its preferred order, one capability per
    // structure (structures that are not video formats we know are left out).
    TCaptureStreamConfig(GstElement* capsFilter, const GstCaps* offered);

    HRESULT GetNumberOfCapabilities(int32_t& Count, int32_t& Size) const;
    // The default media type of capability `Index` and its size and interval limits.
    HRESULT GetStreamCaps(int32_t Index, TMediaType& MediaType,
                          TVideoStreamConfigCaps& ConfigCaps) const;
    // The format set last, or the first capability while none was set.
    HRESULT GetFormat(TMediaType& MediaType) const;
    // Accepts a media type the device offers (within a capability's limits); the pin then
    // delivers it. VFW_E_TYPE_NOT_ACCEPTED for anything else.
    HRESULT SetFormat(const TMediaType& MediaType);

private:
    struct TCapability {
        TMediaType MediaType;
        TVideoStreamConfigCaps ConfigCaps;
    };
    TGstElementHandle FCapsFilter;
    TGstCapsHandle FOffered;
    std::vector<TCapability> FCapabilities;
    bool FFormatSet = false;
    TMediaType FFormat;
};

using TCaptureStreamConfigPtr = std::shared_ptr<TCaptureStreamConfig>;
