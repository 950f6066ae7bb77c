#include "zones/ZoneCaptionColor.h"

#include <algorithm>
#include <cmath>

namespace {

double LinearChannel(uint32_t Value) {
    const double c = static_cast<double>(Value & 0xFF) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

}  // namespace

double RelativeLuminance(TZoneColor Color) {
    // Packed 0x00BBGGRR.
    return 0.2126 * LinearChannel(Color) + 0.7152 * LinearChannel(Color >> 8) +
           0.0722 * LinearChannel(Color >> 16);
}

double ContrastRatio(TZoneColor First, TZoneColor Second) {
    const double a = RelativeLuminance(First);
    const double b = RelativeLuminance(Second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

TZoneColor CaptionColorOn(TZoneColor Fill) {
    return ContrastRatio(kCaptionDark, Fill) >= ContrastRatio(kCaptionLight, Fill) ? kCaptionDark
                                                                                   : kCaptionLight;
}
