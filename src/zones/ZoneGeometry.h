#pragma once

#include <cstdint>

// Pure arithmetic of the zone overlay: hit test of its handles, the drag rules, keeping a zone
// inside the picture, the outline pulse and the flashing fill colour. Kept free of widgets so
// that every rule can be checked on its own.

// Where a control point lies on a zone overlay; the value is the position code the overlay
// stores while dragging.
enum TZonePosition : int32_t {
    zpNowhere = 0,
    zpTopLeft = 1,
    zpTopMiddle = 2,
    zpTopRight = 3,
    zpMiddleLeft = 4,
    zpInside = 5,
    zpMiddleRight = 6,
    zpBottomLeft = 7,
    zpBottomMiddle = 8,
    zpBottomRight = 9,
};

// A control's bounds in its parent's coordinates.
struct TZoneBounds {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;

    friend bool operator==(const TZoneBounds&, const TZoneBounds&) = default;
};

// A packed 0x00BBGGRR colour value.
using TZoneColor = uint32_t;
constexpr TZoneColor ZoneRGB(uint8_t r, uint8_t g, uint8_t b) {
    return TZoneColor{r} | (TZoneColor{g} << 8) | (TZoneColor{b} << 16);
}

// Position code of control point (x, y) on a control of Width x Height with handles of side
// PointSize. Handles count whether or not they are drawn; the right and bottom bands include
// the control's outer edge.
int32_t HitTestPosition(int32_t x, int32_t y, int32_t Width, int32_t Height, int32_t PointSize);

// New bounds while dragging the part grabbed at code StartPosition, the cursor now at (x, y)
// in client coordinates and the drag begun at (DragStartX, DragStartY). No edge makes the
// control smaller than 3 x PointSize; a top or left edge that would is held where it is.
TZoneBounds DragBounds(const TZoneBounds& Bounds, int32_t StartPosition, int32_t x, int32_t y,
                       int32_t DragStartX, int32_t DragStartY, int32_t PointSize);

// The zone rectangle (left, top, width, height in picture pixels) moved, and if need be
// shrunk, so that it lies inside a picture of OwnerWidth x OwnerHeight.
struct TZoneRectangle {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;

    friend bool operator==(const TZoneRectangle&, const TZoneRectangle&) = default;
};
TZoneRectangle KeepInside(TZoneRectangle Zone, int32_t OwnerWidth, int32_t OwnerHeight);

// A stored zone (left, top, right, bottom in picture pixels, any values at all) made usable on a
// picture of OwnerWidth x OwnerHeight: an inverted rectangle is turned the right way round, a
// zone larger than the picture is cut to it, one smaller than MinimumSize (the smallest zone
// an overlay can show) grows to it, and one lying outside is moved in. The arithmetic is 64-bit,
// so values near the integer limits cannot overflow.
TZoneRectangle ZoneFromStoredRectangle(int64_t Left, int64_t Top, int64_t Right, int64_t Bottom,
                                       int32_t OwnerWidth, int32_t OwnerHeight,
                                       int32_t MinimumSize = 0);

// Rounds to the nearest integer, a value halfway between two going to the even one; values
// beyond the 32-bit range are held at its ends.
int32_t RoundHalfEven(double value);

// One step of the selected outline's grey pulse (0, 40, ..., 240, 200, ..., 40, 80, ...).
void AdvanceOutlinePulse(int32_t& Counter, int32_t& Delta);

// The fill colour of a flashing zone: the integer sum on the packed value, kept to its 24
// colour bits once it runs past them.
TZoneColor FlashingFillColor(TZoneColor FillColor, int32_t Increment);
