#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "zones/ZoneGeometry.h"

namespace {

struct HitCase {
    int x, y, expected;
};

// A 50 x 50 control with 5-pixel handles: the middle handles start at (50 - 5) div 2 = 22.
TEST(ZoneGeometryHitTest, PositionCodesOfHandlesAndInside) {
    const std::vector<HitCase> cases = {
        {0, 0, zpTopLeft},
        {4, 4, zpTopLeft},
        {22, 0, zpTopMiddle},
        {26, 4, zpTopMiddle},
        {46, 0, zpTopRight},
        {50, 0, zpTopRight},
        {0, 22, zpMiddleLeft},
        {0, 26, zpMiddleLeft},
        {25, 25, zpInside},
        {3, 10, zpInside},
        {48, 30, zpInside},
        {50, 24, zpMiddleRight},
        {0, 46, zpBottomLeft},
        {0, 50, zpBottomLeft},
        {24, 50, zpBottomMiddle},
        {48, 48, zpBottomRight},
        {50, 50, zpBottomRight},
        // Outside every handle and outside the zone's inner part.
        {5, 0, zpNowhere},
        {27, 0, zpNowhere},
        {45, 0, zpNowhere},
        {0, 27, zpNowhere},
        {0, 45, zpNowhere},
        {2, 10, zpNowhere},
        {49, 30, zpNowhere},
        {51, 51, zpNowhere},
        {-1, 25, zpNowhere},
    };
    for (const HitCase& c : cases) {
        EXPECT_EQ(HitTestPosition(c.x, c.y, 50, 50, 5), c.expected)
            << "at (" << c.x << ", " << c.y << ")";
    }
}

TEST(ZoneGeometryHitTest, OuterEdgeBelongsToRightAndBottomHandlesOnly) {
    // x = Width hits the right column, x = 0 the left one; y = Height the bottom band.
    EXPECT_EQ(HitTestPosition(100, 0, 100, 60, 9), zpTopRight);
    EXPECT_EQ(HitTestPosition(100, 60, 100, 60, 9), zpBottomRight);
    EXPECT_EQ(HitTestPosition(101, 0, 100, 60, 9), zpNowhere);
    EXPECT_EQ(HitTestPosition(0, -1, 100, 60, 9), zpNowhere);
}

struct DragCase {
    const char* name;
    int code, startX, startY, x, y;
    TZoneBounds expected;
};

// Bounds (100, 100, 50, 50) with 5-pixel handles: no side may fall below 15.
TEST(ZoneGeometryDrag, EdgesFollowTheCursorDownToTheMinimumSize) {
    const TZoneBounds start{100, 100, 50, 50};
    const std::vector<DragCase> cases = {
        {"top-left both edges", zpTopLeft, 2, 2, 12, 7, {110, 105, 40, 45}},
        {"top-left top held, left follows", zpTopLeft, 2, 2, 12, 42, {110, 100, 40, 50}},
        {"top-left both held", zpTopLeft, 2, 2, 45, 45, {100, 100, 50, 50}},
        {"top-left exactly the minimum", zpTopLeft, 2, 2, 37, 37, {135, 135, 15, 15}},
        {"top-middle grows up", zpTopMiddle, 25, 2, 25, -3, {100, 95, 50, 55}},
        {"top-right", zpTopRight, 48, 2, 30, -8, {100, 90, 30, 60}},
        {"middle-left grows left", zpMiddleLeft, 2, 25, -3, 25, {95, 100, 55, 50}},
        {"inside moves", zpInside, 25, 25, 30, 20, {105, 95, 50, 50}},
        {"middle-right held at minimum", zpMiddleRight, 48, 25, 10, 25, {100, 100, 15, 50}},
        {"bottom-left", zpBottomLeft, 2, 48, -10, 60, {88, 100, 62, 60}},
        {"bottom-middle", zpBottomMiddle, 25, 48, 25, 70, {100, 100, 50, 70}},
        {"bottom-right height at minimum", zpBottomRight, 48, 48, 60, 5, {100, 100, 60, 15}},
        {"nowhere changes nothing", zpNowhere, 25, 25, 60, 60, {100, 100, 50, 50}},
    };
    for (const DragCase& c : cases) {
        EXPECT_EQ(DragBounds(start, c.code, c.x, c.y, c.startX, c.startY, 5), c.expected) << c.name;
    }
}

struct InsideCase {
    const char* name;
    TZoneRectangle zone, expected;
};

TEST(ZoneGeometryKeepInside, ZoneIsMovedOrShrunkIntoThePicture) {
    const std::vector<InsideCase> cases = {
        {"inside stays", {10, 10, 50, 50}, {10, 10, 50, 50}},
        {"past the left edge", {-5, 10, 50, 50}, {0, 10, 50, 50}},
        {"past the top edge", {10, -3, 50, 50}, {10, 0, 50, 50}},
        {"one pixel past the right edge", {271, 10, 50, 50}, {270, 10, 50, 50}},
        {"past the bottom edge", {10, 200, 50, 50}, {10, 190, 50, 50}},
        {"wider than the picture", {10, 10, 400, 50}, {0, 10, 320, 50}},
        {"taller than the picture", {10, 10, 50, 300}, {10, 0, 50, 240}},
        {"flush with the corner", {270, 190, 50, 50}, {270, 190, 50, 50}},
    };
    for (const InsideCase& c : cases) {
        EXPECT_EQ(KeepInside(c.zone, 320, 240), c.expected) << c.name;
    }
}

TEST(ZoneGeometryStoredZone, AnyStoredRectangleBecomesAZoneInsideThePicture) {
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    struct Case {
        const char* name;
        int64_t left, top, right, bottom;
        TZoneRectangle expected;
    };
    const std::vector<Case> cases = {
        {"inside stays", 10, 20, 60, 80, {10, 20, 50, 60}},
        {"inverted is turned round", 60, 80, 10, 20, {10, 20, 50, 60}},
        {"huge is cut to the picture", 0, 0, 100000, 100000, {0, 0, 320, 240}},
        {"outside is moved in", 400, 300, 450, 350, {270, 190, 50, 50}},
        {"negative is moved in", -70, -90, -20, -40, {0, 0, 50, 50}},
        {"integer limits", kMin, kMin, kMax, kMax, {0, 0, 320, 240}},
        {"limits inverted", kMax, kMax, kMin, kMin, {0, 0, 320, 240}},
        {"near the top limit", kMax - 10, kMax - 10, kMax, kMax, {310, 230, 10, 10}},
        {"empty stays empty", 30, 30, 30, 30, {30, 30, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ZoneFromStoredRectangle(c.left, c.top, c.right, c.bottom, 320, 240), c.expected)
            << c.name;
    }
    // With the smallest size an overlay can show.
    EXPECT_EQ(ZoneFromStoredRectangle(kMax - 5, kMax - 5, kMax, kMax, 320, 240, 15),
              (TZoneRectangle{305, 225, 15, 15}));
    EXPECT_EQ(ZoneFromStoredRectangle(30, 30, 30, 30, 320, 240, 15),
              (TZoneRectangle{30, 30, 15, 15}));
    EXPECT_EQ(ZoneFromStoredRectangle(0, 0, 5, 5, 10, 8, 15), (TZoneRectangle{0, 0, 10, 8}));
}

TEST(ZoneGeometryRound, HalfwayGoesToEven) {
    const std::vector<std::pair<double, int>> cases = {
        {0.5, 0},   {1.5, 2}, {2.5, 2}, {3.5, 4},   {-0.5, 0}, {-1.5, -2},
        {-2.5, -2}, {2.4, 2}, {2.6, 3}, {-2.6, -3}, {7.0, 7},  {0.49999, 0},
        {1e12, 2147483647}, {-1e12, -2147483647 - 1},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(RoundHalfEven(value), expected) << value;
    }
}

TEST(ZoneGeometryPulse, GreySequenceBouncesBetween40And240AfterTheStart) {
    int32_t counter = 0;
    int32_t delta = 40;
    std::vector<int32_t> seen{counter};
    for (int i = 0; i < 14; ++i) {
        AdvanceOutlinePulse(counter, delta);
        seen.push_back(counter);
    }
    const std::vector<int32_t> expected = {0,   40,  80, 120, 160, 200, 240, 200,
                                           160, 120, 80, 40,  80,  120, 160};
    EXPECT_EQ(seen, expected);
}

TEST(ZoneGeometryFlashing, FillColourGrowsBy50PerPaintOnThePackedValue) {
    const TZoneColor red = ZoneRGB(255, 0, 0);
    EXPECT_EQ(red, 0x0000FFu);
    EXPECT_EQ(FlashingFillColor(red, 0), red);
    EXPECT_EQ(FlashingFillColor(red, 50), 0x0000FFu + 50);  // carries into green
    EXPECT_EQ(FlashingFillColor(red, 3 * 50), 0x0000FFu + 150);
    // Past the 24 colour bits the sum wraps instead of overflowing.
    EXPECT_EQ(FlashingFillColor(0xFFFFFFu, 1), 0u);
    EXPECT_EQ(FlashingFillColor(0x000010u, INT32_MAX), (0x10u + 0x7FFFFFFFu) & 0xFFFFFFu);
}

}  // namespace
