#pragma once

#include <cstdint>
#include <string>

// The arithmetic of the position bar, free of widgets: its geometry, the mapping between
// positions, pixels and seconds, the time grid's step and the time texts.
//
// The bar starts 2 pixels from the top and 20 pixels from each side; positions 0..MaxValue
// stand for 0..RangeMax seconds.

// A rectangle by its four limits; a point is inside when it lies within them, limits included.
struct TBarLimits {
    int32_t LimitX1 = 0;
    int32_t LimitX2 = 0;
    int32_t LimitY1 = 0;
    int32_t LimitY2 = 0;

    bool Contains(int32_t X, int32_t Y) const {
        return X >= LimitX1 && X <= LimitX2 && Y >= LimitY1 && Y <= LimitY2;
    }
    friend bool operator==(const TBarLimits&, const TBarLimits&) = default;
};
using TSliderPos = TBarLimits;
using TBarPos = TBarLimits;

constexpr int32_t kTrackBarSideMargin = 20;
constexpr int32_t kTrackBarTop = 2;

struct TTrackBarGeometry {
    int32_t BarBorder = 0;  // frame width: 1 with borders, else 0
    int32_t BarOffset = 0;  // 3 with borders, else 2
    int32_t BarWidth = 0;   // control width - 42 with borders, else - 40 (never below 0)
    int32_t BarHeight = 0;  // control height - 20 (never below 0)
    // (20, 20 + bar width + 2 * border, 2, 2 + bar height + 2 * border): where a click lands
    // on the bar.
    TBarPos BarPos;
};
TTrackBarGeometry TrackBarGeometry(int32_t Width, int32_t Height, bool Borders);

// x of a position: <Position / MaxValue * (bar width - 2 * border)> + border + 20;
// border + 20 when MaxValue is 0.
int32_t TrackBarPositionToX(int32_t Position, int32_t MaxValue, const TTrackBarGeometry& Geometry);
// The position under mouse x: <(X - 20) / (control width - 40) * MaxValue>, or
// <(X - 20) * MaxValue> on a control 40 pixels wide or less. Not clamped.
int32_t TrackBarXToPosition(int32_t X, int32_t ControlWidth, int32_t MaxValue);
// SliderWidth wide, bar height + 4 high, centred on x(Position) and on
// <bar height / 2> + bar offset - 1.
TSliderPos TrackBarSliderPos(int32_t Position, int32_t MaxValue, int32_t SliderWidth,
                             const TTrackBarGeometry& Geometry);

// A written position kept inside the selection (LockPosition) and always inside 0..MaxValue.
int32_t ClampTrackBarPosition(int32_t Value, int32_t MaxValue, bool LockPosition, int32_t SelStart,
                              int32_t SelEnd);
// Seconds of a position: Position * RangeMax / MaxValue; 0 when MaxValue is 0.
double TrackBarRangePos(int32_t Position, int32_t MaxValue, double RangeMax);
// Seconds kept inside 0..RangeMax (a NaN is 0).
double ClampTrackBarSeconds(double Seconds, double RangeMax);
// The position of (already clamped) seconds: <MaxValue * Seconds / RangeMax>, kept inside
// 0..MaxValue; 0 when RangeMax is 0.
int32_t TrackBarPositionOfSeconds(double Seconds, int32_t MaxValue, double RangeMax);

// The grid step for Labels labels: the first of 1, 2, 5, 10, 15, 30, 45, 60, 90, 120, 300,
// 600, 900, 1800, 2700, 3600, 5400, 7200, 10800, 21600, 43200, 64800 seconds greater than
// RangeMax / Labels; 0 (no grid) when that is 64800 or more, or when there are no labels.
double GridStep(double RangeMax, int32_t Labels);

// The step between labelled grid lines at which neighbouring labels keep apart: the first of
// GridStep's steps, then of 1, 2, 5, 10, 20, 50, ... days, that puts at least MinSpacing pixels
// between two labels on a bar Pixels wide standing for RangeMax seconds. 0 when no step up to
// RangeMax does (only the label at 0 fits), or when a value is not positive.
double LabelStep(double RangeMax, double Pixels, double MinSpacing);

// "hh:mm:ss.cc", with whole days in front as "(d) hh:mm:ss.cc"; the seconds are rounded to
// hundredths first. Negative (or not a number) gives "--:--:--.--".
std::string TimeText(double Seconds);
