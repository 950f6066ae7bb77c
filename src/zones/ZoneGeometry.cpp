#include "zones/ZoneGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

int32_t HitTestPosition(int32_t x, int32_t y, int32_t Width, int32_t Height, int32_t PointSize) {
    const int32_t P = PointSize;
    const int32_t my = (Height - P) / 2;
    const int32_t mx = (Width - P) / 2;
    const bool topBand = y >= 0 && y < P;
    const bool middleBand = y >= my && y < my + P;
    const bool bottomBand = y > Height - P && y <= Height;

    int32_t code = zpNowhere;
    if (x >= 0 && x < P) {
        code = topBand ? zpTopLeft : middleBand ? zpMiddleLeft : bottomBand ? zpBottomLeft : 0;
    } else if (x > Width - P && x <= Width) {
        code = topBand ? zpTopRight : middleBand ? zpMiddleRight : bottomBand ? zpBottomRight : 0;
    } else if (x >= mx && x < mx + P) {
        code = topBand ? zpTopMiddle : bottomBand ? zpBottomMiddle : 0;
    }
    if (code != zpNowhere) {
        return code;
    }
    const int32_t d = P / 2;
    if (d < x && x <= Width - d && d < y && y <= Height - d) {
        return zpInside;
    }
    return zpNowhere;
}

TZoneBounds DragBounds(const TZoneBounds& Bounds, int32_t StartPosition, int32_t x, int32_t y,
                       int32_t DragStartX, int32_t DragStartY, int32_t PointSize) {
    const int32_t M = 3 * PointSize;
    TZoneBounds b = Bounds;
    const auto topEdge = [&] {
        if (b.Height + DragStartY - y >= M) {
            b.Top += y - DragStartY;
            b.Height += DragStartY - y;
        }
    };
    const auto leftEdge = [&] {
        if (b.Width + DragStartX - x >= M) {
            b.Left += x - DragStartX;
            b.Width += DragStartX - x;
        }
    };
    const auto rightEdge = [&] { b.Width = std::max(x, M); };
    const auto bottomEdge = [&] { b.Height = std::max(y, M); };

    switch (StartPosition) {
        case zpTopLeft:
            topEdge();
            leftEdge();
            break;
        case zpTopMiddle:
            topEdge();
            break;
        case zpTopRight:
            topEdge();
            rightEdge();
            break;
        case zpMiddleLeft:
            leftEdge();
            break;
        case zpInside:
            b.Left += x - DragStartX;
            b.Top += y - DragStartY;
            break;
        case zpMiddleRight:
            rightEdge();
            break;
        case zpBottomLeft:
            leftEdge();
            bottomEdge();
            break;
        case zpBottomMiddle:
            bottomEdge();
            break;
        case zpBottomRight:
            rightEdge();
            bottomEdge();
            break;
        default:
            break;
    }
    return b;
}

TZoneRectangle KeepInside(TZoneRectangle Zone, int32_t OwnerWidth, int32_t OwnerHeight) {
    if (Zone.Left < 0) {
        Zone.Left = 0;
    }
    if (Zone.Top < 0) {
        Zone.Top = 0;
    }
    if (Zone.Left + Zone.Width > OwnerWidth) {
        Zone.Left = OwnerWidth - Zone.Width;
    }
    if (Zone.Top + Zone.Height > OwnerHeight) {
        Zone.Top = OwnerHeight - Zone.Height;
    }
    if (Zone.Width > OwnerWidth) {
        Zone.Width = OwnerWidth;
        Zone.Left = 0;
    }
    if (Zone.Height > OwnerHeight) {
        Zone.Height = OwnerHeight;
        Zone.Top = 0;
    }
    return Zone;
}

TZoneRectangle ZoneFromStoredRectangle(int64_t Left, int64_t Top, int64_t Right, int64_t Bottom,
                                       int32_t OwnerWidth, int32_t OwnerHeight,
                                       int32_t MinimumSize) {
    const int64_t ownerWidth = std::max<int64_t>(OwnerWidth, 0);
    const int64_t ownerHeight = std::max<int64_t>(OwnerHeight, 0);
    // One axis: the span turned the right way round, between the minimum and the picture's size,
    // then moved so that it lies inside [0, owner].
    auto fit = [MinimumSize](int64_t a, int64_t b, int64_t owner, int32_t& start,
                             int32_t& length) {
        int64_t lo = std::min(a, b);
        const int64_t minimum = std::min<int64_t>(std::max(MinimumSize, 0), owner);
        const int64_t span = std::clamp(std::max(a, b) - lo, minimum, owner);
        lo = std::clamp<int64_t>(lo, 0, owner - span);
        start = static_cast<int32_t>(lo);
        length = static_cast<int32_t>(span);
    };
    TZoneRectangle zone;
    fit(Left, Right, ownerWidth, zone.Left, zone.Width);
    fit(Top, Bottom, ownerHeight, zone.Top, zone.Height);
    return zone;
}

int32_t RoundHalfEven(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    value = std::clamp(value, double{std::numeric_limits<int32_t>::min()},
                       double{std::numeric_limits<int32_t>::max()});
    const double lower = std::floor(value);
    const double fraction = value - lower;
    double result = lower;
    if (fraction > 0.5) {
        result = lower + 1;
    } else if (fraction == 0.5) {
        result = std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
    }
    return static_cast<int32_t>(result);
}

void AdvanceOutlinePulse(int32_t& Counter, int32_t& Delta) {
    const int32_t s = Counter + Delta;
    if (s >= 256) {
        Delta = -40;
    } else if (s <= 0) {
        Delta = 40;
    }
    Counter += Delta;
}

TZoneColor FlashingFillColor(TZoneColor FillColor, int32_t Increment) {
    // Unsigned arithmetic: the sum wraps instead of overflowing after very long flashing.
    return (FillColor + static_cast<uint32_t>(Increment)) & 0x00FFFFFFu;
}
