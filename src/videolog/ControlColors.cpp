#include "videolog/ControlColors.h"

#include <algorithm>

#include "zones/ZoneGeometry.h"

namespace {

uint8_t ByteOf(double value) {
    return static_cast<uint8_t>(std::clamp(RoundHalfEven(value), 0, 255));
}

template <typename F>
TColor EachByte(TColor c, F f) {
    return ColorRGB(ByteOf(f(RedOf(c))), ByteOf(f(GreenOf(c))), ByteOf(f(BlueOf(c))));
}

}  // namespace

TColor DarkenedColor(TColor c) {
    return EachByte(c, [](double b) { return b / 1.5; });
}

TColor HalvedColor(TColor c) {
    return EachByte(c, [](double b) { return b / 2.0; });
}

TColor BrightenedColor(TColor c, double Factor) {
    return EachByte(c, [Factor](double b) { return std::min(b * Factor, 255.0); });
}

TColor InvertedColor(TColor c) {
    return ColorRGB(255 - RedOf(c), 255 - GreenOf(c), 255 - BlueOf(c));
}

TColor BlendColor(TColor From, TColor To, int32_t Steps, int32_t Step) {
    if (Steps <= 0) {
        return From;
    }
    const auto blend = [Steps, Step](double a, double b) {
        return a + static_cast<double>(Step) * (b - a) / static_cast<double>(Steps);
    };
    return ColorRGB(ByteOf(blend(RedOf(From), RedOf(To))),
                    ByteOf(blend(GreenOf(From), GreenOf(To))),
                    ByteOf(blend(BlueOf(From), BlueOf(To))));
}
