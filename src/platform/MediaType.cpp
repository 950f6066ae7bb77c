#include "platform/MediaType.h"

const TBitmapInfoHeader* TMediaType::BitmapHeader() const {
    if (const auto* vih = VideoInfo()) {
        return &vih->bmiHeader;
    }
    if (const auto* vih2 = VideoInfo2()) {
        return &vih2->bmiHeader;
    }
    if (const auto* mpeg2 = Mpeg2VideoInfo()) {
        return &mpeg2->hdr.bmiHeader;
    }
    return nullptr;
}

bool TMediaType::AvgTimePerFrame(int64_t& value) const {
    if (const auto* vih = VideoInfo()) {
        value = vih->AvgTimePerFrame;
        return true;
    }
    if (const auto* vih2 = VideoInfo2()) {
        value = vih2->AvgTimePerFrame;
        return true;
    }
    if (const auto* mpeg2 = Mpeg2VideoInfo()) {
        value = mpeg2->hdr.AvgTimePerFrame;
        return true;
    }
    return false;
}
