#include "videolog/TrackBarScale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "zones/ZoneGeometry.h"

TTrackBarGeometry TrackBarGeometry(int32_t Width, int32_t Height, bool Borders) {
    TTrackBarGeometry g;
    g.BarBorder = Borders ? 1 : 0;
    g.BarOffset = Borders ? 3 : 2;
    g.BarHeight = std::max(0, Height - 20);
    g.BarWidth = std::max(0, Width - (Borders ? 42 : 40));
    g.BarPos = {kTrackBarSideMargin, kTrackBarSideMargin + g.BarWidth + 2 * g.BarBorder,
                kTrackBarTop, kTrackBarTop + g.BarHeight + 2 * g.BarBorder};
    return g;
}

int32_t TrackBarPositionToX(int32_t Position, int32_t MaxValue, const TTrackBarGeometry& Geometry) {
    const int32_t start = Geometry.BarBorder + kTrackBarSideMargin;
    if (MaxValue == 0) {
        return start;
    }
    const double inner = Geometry.BarWidth - 2 * Geometry.BarBorder;
    return RoundHalfEven(static_cast<double>(Position) / MaxValue * inner) + start;
}

int32_t TrackBarXToPosition(int32_t X, int32_t ControlWidth, int32_t MaxValue) {
    const double fromBar = static_cast<double>(X) - kTrackBarSideMargin;
    if (ControlWidth <= 2 * kTrackBarSideMargin) {
        return RoundHalfEven(fromBar * MaxValue);
    }
    return RoundHalfEven(fromBar / (ControlWidth - 2 * kTrackBarSideMargin) * MaxValue);
}

TSliderPos TrackBarSliderPos(int32_t Position, int32_t MaxValue, int32_t SliderWidth,
                             const TTrackBarGeometry& Geometry) {
    const int32_t width = std::max(0, SliderWidth);
    const int32_t height = Geometry.BarHeight + 4;
    const int32_t centreX = TrackBarPositionToX(Position, MaxValue, Geometry);
    const int32_t centreY = RoundHalfEven(Geometry.BarHeight / 2.0) + Geometry.BarOffset - 1;
    TSliderPos slider;
    slider.LimitX1 = centreX - width / 2;
    slider.LimitX2 = slider.LimitX1 + width;
    slider.LimitY1 = centreY - height / 2;
    slider.LimitY2 = slider.LimitY1 + height;
    return slider;
}

int32_t ClampTrackBarPosition(int32_t Value, int32_t MaxValue, bool LockPosition, int32_t SelStart,
                              int32_t SelEnd) {
    int32_t v = Value;
    if (LockPosition) {
        v = std::min(std::max(v, SelStart), SelEnd);
    }
    // Whatever the selection holds, the position never leaves the bar.
    return std::max(std::min(v, MaxValue), 0);
}

double TrackBarRangePos(int32_t Position, int32_t MaxValue, double RangeMax) {
    if (MaxValue <= 0) {
        return 0.0;
    }
    return static_cast<double>(Position) * RangeMax / MaxValue;
}

double ClampTrackBarSeconds(double Seconds, double RangeMax) {
    if (!(Seconds > 0.0) || !(RangeMax > 0.0)) {
        return 0.0;
    }
    return std::min(Seconds, RangeMax);
}

int32_t TrackBarPositionOfSeconds(double Seconds, int32_t MaxValue, double RangeMax) {
    if (!(RangeMax > 0.0) || MaxValue <= 0) {
        return 0;
    }
    return std::clamp(RoundHalfEven(MaxValue * Seconds / RangeMax), 0, MaxValue);
}

namespace {

constexpr double kLadder[] = {1,    2,    5,     10,    15,    30,   45,   60,
                              90,   120,  300,   600,   900,   1800, 2700, 3600,
                              5400, 7200, 10800, 21600, 43200, 64800};

}  // namespace

double GridStep(double RangeMax, int32_t Labels) {
    if (Labels <= 0) {
        return 0.0;
    }
    const double s = RangeMax / Labels;
    if (!(s < kLadder[std::size(kLadder) - 1])) {
        return 0.0;  // too long a range, or not a number
    }
    for (const double step : kLadder) {
        if (step > s) {
            return step;
        }
    }
    return 0.0;
}

double LabelStep(double RangeMax, double Pixels, double MinSpacing) {
    if (!(RangeMax > 0.0) || !(Pixels > 0.0) || !(MinSpacing > 0.0)) {
        return 0.0;
    }
    // The smallest step whose pixels reach the spacing.
    const double least = MinSpacing * RangeMax / Pixels;
    double step = 0.0;
    for (const double s : kLadder) {
        if (s >= least) {
            step = s;
            break;
        }
    }
    // Longer than the ladder: whole days, 1, 2, 5 times a power of ten.
    for (double days = 1.0; step == 0.0 && days * 86400.0 <= RangeMax; days *= 10.0) {
        for (const double m : {1.0, 2.0, 5.0}) {
            if (m * days * 86400.0 >= least) {
                step = m * days * 86400.0;
                break;
            }
        }
    }
    return step > 0.0 && step <= RangeMax ? step : 0.0;
}

std::string TimeText(double Seconds) {
    // Whole hundredths, rounded once; beyond about 2.9 million years the text is meaningless.
    if (!(Seconds >= 0.0) || Seconds > 9.0e13) {
        return "--:--:--.--";
    }
    const auto hundredths = static_cast<int64_t>(std::nearbyint(Seconds * 100.0));
    const int64_t days = hundredths / 8'640'000;
    const int64_t hours = hundredths / 360'000 % 24;
    const int64_t minutes = hundredths / 6'000 % 60;
    const int64_t seconds = hundredths / 100 % 60;
    const int64_t cents = hundredths % 100;
    char text[64];
    if (days > 0) {
        std::snprintf(text, sizeof text, "(%lld) %.2lld:%.2lld:%.2lld.%.2lld",
                      static_cast<long long>(days), static_cast<long long>(hours),
                      static_cast<long long>(minutes), static_cast<long long>(seconds),
                      static_cast<long long>(cents));
    } else {
        std::snprintf(text, sizeof text, "%.2lld:%.2lld:%.2lld.%.2lld",
                      static_cast<long long>(hours), static_cast<long long>(minutes),
                      static_cast<long long>(seconds), static_cast<long long>(cents));
    }
    return text;
}
