#include "videolog/VUMeterScale.h"

#include <algorithm>

#include "zones/ZoneGeometry.h"

double ClampVUVolume(double Volume) {
    if (!(Volume > kVUMinVolume)) {
        return kVUMinVolume;
    }
    return std::min(Volume, kVUMaxVolume);
}

int32_t VUStepOfVolume(double Volume, int32_t MaxValue) {
    if (MaxValue <= 0) {
        return 0;
    }
    const double v = ClampVUVolume(Volume);
    return std::clamp(RoundHalfEven(MaxValue * (v - kVUMinVolume) * 10.0 / kVUSpan), 0, MaxValue);
}

double VUVolumeOfStep(int32_t Step, int32_t MaxValue) {
    if (MaxValue <= 0) {
        return kVUMinVolume;
    }
    return Step * kVUSpan / MaxValue / 10.0 + kVUMinVolume;
}

int32_t VUBarCount(int32_t Extent, bool Borders, int32_t BarSize) {
    if (BarSize < 1) {
        return 0;
    }
    return std::max(0, (Extent - (Borders ? 2 : 0)) / BarSize);
}

int32_t VULitCount(int32_t BarCount, int32_t Position, int32_t MaxValue) {
    if (MaxValue <= 0 || BarCount <= 0) {
        return 0;
    }
    const int32_t steps = RoundHalfEven(static_cast<double>(Position) / MaxValue * kVUSpan);
    return std::clamp(RoundHalfEven(BarCount / kVUSpan * steps), 0, BarCount);
}

bool VUSegmentLit(int32_t Segment, int32_t BarCount, int32_t LitCount,
                  TTrackBarOrientation Orientation) {
    if (Segment < 1 || Segment > BarCount) {
        return false;
    }
    return Orientation == trVertical ? Segment > BarCount - LitCount : Segment <= LitCount;
}

int32_t VUNumberFromMaximum(int32_t Segment, int32_t BarCount, TTrackBarOrientation Orientation) {
    return Orientation == trVertical ? Segment : BarCount - Segment;
}

TVUZone VUZoneOf(int32_t FromMaximum, int32_t BarCount, int32_t MaxValue, int32_t BreakPosLowMid,
                 int32_t BreakPosMidHi) {
    const double perStep = MaxValue > 0 ? static_cast<double>(BarCount) / MaxValue : 0.0;
    if (FromMaximum < RoundHalfEven(perStep * BreakPosMidHi)) {
        return TVUZone::High;
    }
    if (FromMaximum > RoundHalfEven(perStep * BreakPosLowMid)) {
        return TVUZone::Low;
    }
    return TVUZone::Mid;
}

TColor VUZoneColor(TVUZone Zone, TColor Low, TColor Mid, TColor Hi) {
    switch (Zone) {
        case TVUZone::High:
            return Hi;
        case TVUZone::Mid:
            return Mid;
        default:
            return Low;
    }
}

int32_t VUGradientCentre(int32_t BreakPosLowMid, int32_t BreakPosMidHi, int32_t Extent,
                         int32_t MaxValue) {
    if (MaxValue <= 0) {
        return 0;
    }
    const int32_t middle = (BreakPosLowMid + BreakPosMidHi) / 2;
    return RoundHalfEven(static_cast<double>(middle) * Extent / MaxValue);
}

TColor VUGradientColor(int32_t FromMaximum, int32_t Centre, TColor Low, TColor Mid, TColor Hi) {
    constexpr int32_t kBlendSteps = 20;
    const int32_t i = FromMaximum;
    if (i < Centre - kBlendSteps) {
        return Hi;
    }
    if (i > Centre + kBlendSteps) {
        return Low;
    }
    if (i < Centre) {
        return BlendColor(Hi, Mid, kBlendSteps, i - (Centre - kBlendSteps));
    }
    return BlendColor(Mid, Low, kBlendSteps, i - Centre);
}

int32_t VUPixelOfStep(int32_t Step, int32_t Extent, int32_t MaxValue,
                      TTrackBarOrientation Orientation) {
    if (MaxValue <= 0) {
        return 0;
    }
    const double fromStart = Orientation == trVertical ? MaxValue - Step : Step;
    return RoundHalfEven(fromStart * Extent / MaxValue);
}

int32_t VUSegmentAt(int32_t Pixel, int32_t BarSize, int32_t BarCount) {
    if (BarSize < 1 || BarCount < 1) {
        return 0;
    }
    return std::clamp(Pixel / BarSize + 1, 1, BarCount);
}

TVURect VUSegmentRect(int32_t Segment, int32_t BarSize, bool Borders, int32_t Width, int32_t Height,
                      TTrackBarOrientation Orientation) {
    const int32_t inset = Borders ? 2 : 0;
    const int32_t start = (Segment - 1) * BarSize + inset;
    const int32_t end = Segment * BarSize;
    if (Orientation == trVertical) {
        return {inset, start, Width - inset, end};
    }
    return {start, inset, end, Height - inset};
}

int32_t VULabelStep(int32_t Height) {
    if (Height <= 93) {
        return 60;
    }
    return Height <= 186 ? 30 : 15;
}
