#pragma once

#include <cstdint>

#include "videolog/ControlColors.h"

// The arithmetic of the level meter, free of widgets: the decibel scale, the segments, which of
// them are lit, their colour zones and where lines and labels go. The meter spans -120 dB to
// +20 dB in MaxValue steps; segments are numbered from 1 at the top of a vertical meter and
// from 1 at the left of a horizontal one.

enum TTrackBarOrientation { trHorizontal, trVertical };

constexpr double kVUMinVolume = -120.0;
constexpr double kVUMaxVolume = 20.0;
// The 140 dB span in tenths of a decibel.
constexpr double kVUSpan = 1400.0;

// At most +20 dB; anything not above -120 dB (a NaN included) is -120 dB.
double ClampVUVolume(double Volume);
// The step of a level: <MaxValue * (dB + 120) * 10 / 1400> of the clamped level; 0 when
// MaxValue is 0.
int32_t VUStepOfVolume(double Volume, int32_t MaxValue);
// The level of a step: Step * 1400 / MaxValue / 10 - 120; -120 dB when MaxValue is 0.
double VUVolumeOfStep(int32_t Step, int32_t MaxValue);

// Segments of BarSize pixels that fit the meter's length (less 2 pixels with borders); 0 for
// a bar size below 1.
int32_t VUBarCount(int32_t Extent, bool Borders, int32_t BarSize);
// Lit segments at a step: <BarCount / 1400 * <Position / MaxValue * 1400>>, kept in
// 0..BarCount; 0 when MaxValue is 0.
int32_t VULitCount(int32_t BarCount, int32_t Position, int32_t MaxValue);
// Vertical meters fill from the bottom, horizontal ones from the left.
bool VUSegmentLit(int32_t Segment, int32_t BarCount, int32_t LitCount,
                  TTrackBarOrientation Orientation);

enum class TVUZone { Low, Mid, High };
// The segment's number counted from the maximum end: from 1 on vertical meters (the top),
// from 0 on horizontal ones (the right).
int32_t VUNumberFromMaximum(int32_t Segment, int32_t BarCount, TTrackBarOrientation Orientation);
// Zone of the segment numbered FromMaximum: high below <BarCount / MaxValue * BreakPosMidHi>,
// low above <BarCount / MaxValue * BreakPosLowMid>, middle between.
TVUZone VUZoneOf(int32_t FromMaximum, int32_t BarCount, int32_t MaxValue, int32_t BreakPosLowMid,
                 int32_t BreakPosMidHi);
TColor VUZoneColor(TVUZone Zone, TColor Low, TColor Mid, TColor Hi);

// Blended zones: the centre <((BreakPosLowMid + BreakPosMidHi) div 2) * Extent / MaxValue>
// and the colour of the segment counted 1.. from the maximum end, high above centre - 20,
// low past centre + 20, blended in 20 steps on either side of the centre.
int32_t VUGradientCentre(int32_t BreakPosLowMid, int32_t BreakPosMidHi, int32_t Extent,
                         int32_t MaxValue);
TColor VUGradientColor(int32_t FromMaximum, int32_t Centre, TColor Low, TColor Mid, TColor Hi);

// Where a step is drawn: y = <(MaxValue - Step) * Extent / MaxValue> on vertical meters,
// x = <Step * Extent / MaxValue> on horizontal ones; 0 when MaxValue is 0.
int32_t VUPixelOfStep(int32_t Step, int32_t Extent, int32_t MaxValue,
                      TTrackBarOrientation Orientation);
// The segment that covers a pixel along the meter, kept in 1..BarCount (0 without segments).
int32_t VUSegmentAt(int32_t Pixel, int32_t BarSize, int32_t BarCount);

// A segment's rectangle, right and bottom exclusive.
struct TVURect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;

    friend bool operator==(const TVURect&, const TVURect&) = default;
};
// BarSize pixels along the meter across its whole thickness; with borders inset 2 pixels on
// both sides across and starting 2 pixels later along, which leaves a 2-pixel gap per segment.
TVURect VUSegmentRect(int32_t Segment, int32_t BarSize, bool Borders, int32_t Width, int32_t Height,
                      TTrackBarOrientation Orientation);

// dB between labels: 60 up to 93 pixels high, 30 up to 186, 15 above.
int32_t VULabelStep(int32_t Height);
