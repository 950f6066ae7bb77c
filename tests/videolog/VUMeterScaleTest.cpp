#include "videolog/VUMeterScale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr TColor kRed = ColorRGB(255, 0, 0);
constexpr TColor kYellow = ColorRGB(255, 255, 0);
constexpr TColor kGreen = ColorRGB(0, 255, 0);

TEST(VUMeterScaleTest, VolumeAndStepConvert) {
    const struct {
        double volume;
        int32_t maxValue;
        int32_t step;
    } toStep[] = {
        {0.0, 1400, 1200},  {20.0, 1400, 1400},
        {35.0, 1400, 1400}, {-120.0, 1400, 0},
        {-130.0, 1400, 0},  {-50.0, 1400, 700},
        {-4.5, 1400, 1155}, {0.0, 140, 120},
        {-119.5, 140, 0},  // half a step rounds to the even 0
        {-118.5, 140, 2},  // one and a half steps round to 2
        {0.0, 0, 0},        {std::numeric_limits<double>::quiet_NaN(), 1400, 0},
    };
    for (const auto& c : toStep) {
        EXPECT_EQ(VUStepOfVolume(c.volume, c.maxValue), c.step) << c.volume << " / " << c.maxValue;
    }
    EXPECT_DOUBLE_EQ(ClampVUVolume(35), 20);
    EXPECT_DOUBLE_EQ(ClampVUVolume(-130), -120);
    EXPECT_DOUBLE_EQ(ClampVUVolume(std::numeric_limits<double>::quiet_NaN()), -120);
    EXPECT_DOUBLE_EQ(ClampVUVolume(-3.25), -3.25);

    EXPECT_DOUBLE_EQ(VUVolumeOfStep(700, 1400), -50);
    EXPECT_DOUBLE_EQ(VUVolumeOfStep(1200, 1400), 0);
    EXPECT_DOUBLE_EQ(VUVolumeOfStep(1400, 1400), 20);
    EXPECT_DOUBLE_EQ(VUVolumeOfStep(0, 1400), -120);
    EXPECT_DOUBLE_EQ(VUVolumeOfStep(50, 100), -50);
    // No steps: the floor of the scale, never a division by zero.
    EXPECT_DOUBLE_EQ(VUVolumeOfStep(0, 0), -120);
}

TEST(VUMeterScaleTest, SegmentsAndLitCounts) {
    EXPECT_EQ(VUBarCount(150, false, 1), 150);
    EXPECT_EQ(VUBarCount(150, true, 4), 37);
    EXPECT_EQ(VUBarCount(150, true, 0), 0);
    EXPECT_EQ(VUBarCount(1, true, 1), 0);

    const struct {
        int32_t barCount, position, maxValue, lit;
    } cases[] = {
        {150, 0, 1400, 0}, {150, 1400, 1400, 150}, {150, 1200, 1400, 129}, {150, 700, 1400, 75},
        {150, 1, 1400, 0}, {150, 10, 1400, 1},     {150, 2000, 1400, 150}, {150, 5, 0, 0},
        {0, 700, 1400, 0}, {37, 1400, 1400, 37},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VULitCount(c.barCount, c.position, c.maxValue), c.lit)
            << c.barCount << " bars at " << c.position << " of " << c.maxValue;
    }
    // Vertical meters fill from the bottom, horizontal ones from the left.
    EXPECT_FALSE(VUSegmentLit(140, 150, 10, trVertical));
    EXPECT_TRUE(VUSegmentLit(141, 150, 10, trVertical));
    EXPECT_TRUE(VUSegmentLit(150, 150, 10, trVertical));
    EXPECT_TRUE(VUSegmentLit(10, 150, 10, trHorizontal));
    EXPECT_FALSE(VUSegmentLit(11, 150, 10, trHorizontal));
    EXPECT_FALSE(VUSegmentLit(0, 150, 150, trVertical));
    EXPECT_FALSE(VUSegmentLit(151, 150, 150, trVertical));
}

// Defaults on a 150-segment meter: high below segment 26, low above 29 (from the top).
TEST(VUMeterScaleTest, SharpZones) {
    const struct {
        int32_t fromMaximum;
        TVUZone zone;
    } cases[] = {{1, TVUZone::High}, {25, TVUZone::High}, {26, TVUZone::Mid},
                 {29, TVUZone::Mid}, {30, TVUZone::Low},  {150, TVUZone::Low}};
    for (const auto& c : cases) {
        EXPECT_EQ(VUZoneOf(c.fromMaximum, 150, 1400, 275, 245), c.zone) << c.fromMaximum;
    }
    EXPECT_EQ(VUNumberFromMaximum(1, 150, trVertical), 1);
    EXPECT_EQ(VUNumberFromMaximum(150, 150, trHorizontal), 0);
    EXPECT_EQ(VUNumberFromMaximum(1, 150, trHorizontal), 149);
    EXPECT_EQ(VUZoneColor(TVUZone::High, kGreen, kYellow, kRed), kRed);
    EXPECT_EQ(VUZoneColor(TVUZone::Mid, kGreen, kYellow, kRed), kYellow);
    EXPECT_EQ(VUZoneColor(TVUZone::Low, kGreen, kYellow, kRed), kGreen);
    // Without steps every segment counts as low, without a division by zero.
    EXPECT_EQ(VUZoneOf(10, 150, 0, 275, 245), TVUZone::Low);
}

// Centre <260 * 150 / 1400> = 28; blends of 20 steps either side.
TEST(VUMeterScaleTest, BlendedZones) {
    const int32_t centre = VUGradientCentre(275, 245, 150, 1400);
    EXPECT_EQ(centre, 28);
    const struct {
        int32_t i;
        TColor color;
    } cases[] = {
        {1, kRed},
        {7, kRed},
        {8, kRed},                    // first blend step: still the high colour
        {18, ColorRGB(255, 128, 0)},  // 255 * 10 / 20 = 127.5, to the even 128
        {27, ColorRGB(255, 242, 0)},  // 255 * 19 / 20 = 242.25
        {28, kYellow},
        {38, ColorRGB(128, 255, 0)},  // 255 - 127.5
        {48, kGreen},
        {49, kGreen},
        {150, kGreen},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VUGradientColor(c.i, centre, kGreen, kYellow, kRed), c.color) << c.i;
    }
    EXPECT_EQ(VUGradientCentre(275, 245, 150, 0), 0);
}

TEST(VUMeterScaleTest, ColourArithmetic) {
    EXPECT_EQ(DarkenedColor(kYellow), ColorRGB(170, 170, 0));
    EXPECT_EQ(DarkenedColor(ColorRGB(128, 1, 2)), ColorRGB(85, 1, 1));
    EXPECT_EQ(HalvedColor(ColorRGB(255, 253, 128)), ColorRGB(128, 126, 64));
    EXPECT_EQ(BrightenedColor(ColorRGB(240, 100, 0), 1.25), ColorRGB(255, 125, 0));
    EXPECT_EQ(InvertedColor(ColorRGB(0, 255, 10)), ColorRGB(255, 0, 245));
    EXPECT_EQ(BlendColor(kRed, kGreen, 0, 5), kRed);
}

TEST(VUMeterScaleTest, PixelsAndLabels) {
    // 0 dB on a 150-pixel meter: y = <200 * 150 / 1400> = 21; x = <1200 * 150 / 1400> = 129.
    EXPECT_EQ(VUPixelOfStep(1200, 150, 1400, trVertical), 21);
    EXPECT_EQ(VUPixelOfStep(1200, 150, 1400, trHorizontal), 129);
    EXPECT_EQ(VUPixelOfStep(0, 150, 1400, trVertical), 150);
    EXPECT_EQ(VUPixelOfStep(700, 150, 0, trVertical), 0);

    EXPECT_EQ(VUSegmentAt(21, 1, 150), 22);
    EXPECT_EQ(VUSegmentAt(150, 1, 150), 150);
    EXPECT_EQ(VUSegmentAt(-3, 4, 37), 1);
    EXPECT_EQ(VUSegmentAt(5, 0, 37), 0);

    EXPECT_EQ(VUSegmentRect(3, 4, false, 20, 150, trVertical), (TVURect{0, 8, 20, 12}));
    EXPECT_EQ(VUSegmentRect(3, 4, true, 20, 150, trVertical), (TVURect{2, 10, 18, 12}));
    EXPECT_EQ(VUSegmentRect(3, 4, true, 150, 20, trHorizontal), (TVURect{10, 2, 12, 18}));

    EXPECT_EQ(VULabelStep(47), 60);
    EXPECT_EQ(VULabelStep(93), 60);
    EXPECT_EQ(VULabelStep(94), 30);
    EXPECT_EQ(VULabelStep(186), 30);
    EXPECT_EQ(VULabelStep(187), 15);
}

}  // namespace
