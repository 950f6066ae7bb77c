#include "videolog/TrackBarScale.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(TrackBarScaleTest, Geometry) {
    // 150 x 25 with a frame: a 108 x 5 bar from (20, 2).
    const TTrackBarGeometry framed = TrackBarGeometry(150, 25, true);
    EXPECT_EQ(framed.BarBorder, 1);
    EXPECT_EQ(framed.BarOffset, 3);
    EXPECT_EQ(framed.BarWidth, 108);
    EXPECT_EQ(framed.BarHeight, 5);
    EXPECT_EQ(framed.BarPos, (TBarPos{20, 130, 2, 9}));

    const TTrackBarGeometry plain = TrackBarGeometry(150, 25, false);
    EXPECT_EQ(plain.BarBorder, 0);
    EXPECT_EQ(plain.BarOffset, 2);
    EXPECT_EQ(plain.BarWidth, 110);
    EXPECT_EQ(plain.BarPos, (TBarPos{20, 130, 2, 7}));

    // Too small for a bar: an empty one, never a negative size.
    const TTrackBarGeometry tiny = TrackBarGeometry(30, 10, true);
    EXPECT_EQ(tiny.BarWidth, 0);
    EXPECT_EQ(tiny.BarHeight, 0);
}

TEST(TrackBarScaleTest, PositionsAndPixels) {
    const TTrackBarGeometry g = TrackBarGeometry(150, 25, true);  // 106 pixels inside the frame
    const struct {
        int32_t position, maxValue, x;
    } toX[] = {{0, 1000, 21},   {1000, 1000, 127},
               {500, 1000, 74}, {250, 1000, 47},  // <26.5> goes to the even 26
               {5, 0, 21},      {0, 0, 21}};
    for (const auto& c : toX) {
        EXPECT_EQ(TrackBarPositionToX(c.position, c.maxValue, g), c.x)
            << c.position << " of " << c.maxValue;
    }

    const struct {
        int32_t x, width, maxValue, position;
    } toPosition[] = {
        {20, 150, 1000, 0},   {130, 150, 1000, 1000}, {75, 150, 1000, 500},
        {10, 150, 1000, -91},  // left of the bar: the position setter clamps it
        {20, 40, 1000, 0},    {21, 40, 1000, 1000},  // no division on a narrow control
        {25, 0, 1000, 5000},  {75, 150, 0, 0},
    };
    for (const auto& c : toPosition) {
        EXPECT_EQ(TrackBarXToPosition(c.x, c.width, c.maxValue), c.position)
            << "x " << c.x << " on " << c.width;
    }

    // The slider: 8 x 9, centred on x(0) = 21 and on <5 / 2> + 3 - 1 = 4.
    EXPECT_EQ(TrackBarSliderPos(0, 1000, 8, g), (TSliderPos{17, 25, 0, 9}));
    EXPECT_EQ(TrackBarSliderPos(1000, 1000, 8, g), (TSliderPos{123, 131, 0, 9}));
    EXPECT_TRUE(TSliderPos({17, 25, 0, 9}).Contains(25, 9));
    EXPECT_FALSE(TSliderPos({17, 25, 0, 9}).Contains(26, 4));
}

TEST(TrackBarScaleTest, PositionClamps) {
    const struct {
        int32_t value, maxValue;
        bool lock;
        int32_t selStart, selEnd, result;
    } cases[] = {
        {50, 1000, true, 100, 200, 100},
        {500, 1000, true, 100, 200, 200},
        {150, 1000, true, 100, 200, 150},
        {-5, 1000, false, 100, 200, 0},
        {2000, 1000, false, 100, 200, 1000},
        // A selection reaching past the bar still keeps the position on it.
        {-100, 1000, true, -50, 5000, 0},
        {9999, 1000, true, -50, 5000, 1000},
        {700, 1000, true, 300, 200, 200},
        {5, 0, false, 0, 0, 0},
        {5, -10, false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClampTrackBarPosition(c.value, c.maxValue, c.lock, c.selStart, c.selEnd),
                  c.result)
            << c.value << " lock " << c.lock << " " << c.selStart << ".." << c.selEnd;
    }
}

TEST(TrackBarScaleTest, Seconds) {
    EXPECT_DOUBLE_EQ(TrackBarRangePos(150000, 300000, 30.0), 15.0);
    EXPECT_DOUBLE_EQ(TrackBarRangePos(500, 1000, 0.5), 0.25);
    EXPECT_DOUBLE_EQ(TrackBarRangePos(500, 0, 30.0), 0.0);

    EXPECT_DOUBLE_EQ(ClampTrackBarSeconds(-1.0, 30.0), 0.0);
    EXPECT_DOUBLE_EQ(ClampTrackBarSeconds(45.0, 30.0), 30.0);
    EXPECT_DOUBLE_EQ(ClampTrackBarSeconds(12.5, 30.0), 12.5);
    EXPECT_DOUBLE_EQ(ClampTrackBarSeconds(kNaN, 30.0), 0.0);
    EXPECT_DOUBLE_EQ(ClampTrackBarSeconds(5.0, 0.0), 0.0);

    EXPECT_EQ(TrackBarPositionOfSeconds(15.0, 300000, 30.0), 150000);
    EXPECT_EQ(TrackBarPositionOfSeconds(30.0, 300000, 30.0), 300000);
    EXPECT_EQ(TrackBarPositionOfSeconds(0.125, 1000, 0.5), 250);
    EXPECT_EQ(TrackBarPositionOfSeconds(5.0, 1000, 0.0), 0);
}

TEST(TrackBarScaleTest, GridStep) {
    const struct {
        double rangeMax;
        int32_t labels;
        double step;
    } cases[] = {
        {30, 6, 10},     // s = 5: the first step above it
        {100, 10, 15},   // s = 10 exactly: strictly greater
        {129600, 2, 0},  // s = 64800: no grid
        {0.5, 3, 1},    {3600, 4, 1800}, {86400, 2, 64800}, {1e12, 1, 0},
        {30, 0, 0},     {30, -2, 0},     {0, 5, 1},         {kNaN, 5, 0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(GridStep(c.rangeMax, c.labels), c.step)
            << c.rangeMax << " with " << c.labels << " labels";
    }
}

TEST(TrackBarScaleTest, LabelStep) {
    const struct {
        double rangeMax;
        double pixels;
        double spacing;
        double step;
    } cases[] = {
        {30, 276, 60, 10},            // 6.5 s at least: the next step of the ladder
        {100, 1000, 100, 10},         // exactly the spacing is enough
        {30, 276, 276, 30},           // one label after the first, at the end
        {30, 276, 300, 0},            // the first step that fits is past the end
        {0.5, 276, 60, 0},            // shorter than the smallest step
        {90000, 276, 80, 43200},      // half a day
        {3000000, 276, 90, 1728000},  // beyond the ladder: 20 days
        {0, 276, 60, 0},    {30, 0, 60, 0},    {30, 276, 0, 0},   {kNaN, 276, 60, 0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(LabelStep(c.rangeMax, c.pixels, c.spacing), c.step)
            << c.rangeMax << " s on " << c.pixels << " pixels, " << c.spacing << " apart";
    }
}

TEST(TrackBarScaleTest, TimeText) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {75.5, "00:01:15.50"},
        {90061.25, "(1) 01:01:01.25"},
        {-1, "--:--:--.--"},
        {-0.001, "--:--:--.--"},
        {kNaN, "--:--:--.--"},
        {0, "00:00:00.00"},
        {59.999, "00:01:00.00"},  // rounded to hundredths first: no "60" seconds
        {0.125, "00:00:00.12"},   // an exact half goes to the even hundredth
        {0.375, "00:00:00.38"},
        {3599.994, "00:59:59.99"},
        {86400, "(1) 00:00:00.00"},
        {86399.999, "(1) 00:00:00.00"},
        {12 * 86400 + 23 * 3600 + 59 * 60 + 59.99, "(12) 23:59:59.99"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TimeText(c.seconds), c.text) << c.seconds;
    }
}

}  // namespace
