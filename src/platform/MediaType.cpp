#include "platform/MediaType.h"

#include <cstdio>

std::string GuidToString(const TGUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

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
