#include "videolog/VUMeter.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include <algorithm>
#include <cmath>

namespace {

QColor Qc(TColor c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

// A shown meter (offscreen) so that it paints.
class VUMeterTest : public ::testing::Test {
protected:
    void SetUp() override {
        meter.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&meter));
    }
    QImage Painted() { return meter.grab().toImage(); }

    TVUMeter meter;
};

TEST_F(VUMeterTest, Defaults) {
    EXPECT_EQ(meter.size(), QSize(20, 150));
    EXPECT_FALSE(meter.testAttribute(Qt::WA_NativeWindow));
    EXPECT_EQ(meter.Orientation(), trVertical);
    EXPECT_EQ(meter.MaxValue(), 1400);
    EXPECT_EQ(meter.BarSize(), 1);
    EXPECT_EQ(meter.BarCount(), 150);
    EXPECT_EQ(meter.Position(), 0);
    EXPECT_DOUBLE_EQ(meter.Volume(), -120);
    EXPECT_EQ(meter.ColorLow(), ColorRGB(0, 255, 0));
    EXPECT_EQ(meter.ColorMid(), ColorRGB(255, 255, 0));
    EXPECT_EQ(meter.ColorHi(), ColorRGB(255, 0, 0));
    EXPECT_EQ(meter.BackColor(), kColorBlack);
    EXPECT_EQ(meter.GridColor(), kColorBlack);
    EXPECT_EQ(meter.TextInColor(), kColorBlack);
    EXPECT_EQ(meter.TextOutColor(), kColorWhite);
    EXPECT_FALSE(meter.ShowGrids());
    EXPECT_TRUE(meter.ShowZeroLine());
    EXPECT_EQ(meter.GridSpace(), 15);
    EXPECT_EQ(meter.BreakPosLowMid(), 275);
    EXPECT_EQ(meter.BreakPosMidHi(), 245);
    EXPECT_FALSE(meter.Borders());
    EXPECT_FALSE(meter.Gradient());
    EXPECT_TRUE(meter.TextVisible());
}

TEST_F(VUMeterTest, VolumeAndPositionFollowEachOther) {
    const struct {
        double volume;
        int32_t position;
        double stored;
    } cases[] = {{0, 1200, 0}, {35, 1400, 20}, {-130, 0, -120}, {-50, 700, -50}, {20, 1400, 20}};
    for (const auto& c : cases) {
        meter.SetVolume(c.volume);
        EXPECT_EQ(meter.Position(), c.position) << c.volume;
        EXPECT_DOUBLE_EQ(meter.Volume(), c.stored) << c.volume;
    }
    meter.SetPosition(700);
    EXPECT_DOUBLE_EQ(meter.Volume(), -50);
    meter.SetPosition(5000);
    EXPECT_EQ(meter.Position(), 1400);
    EXPECT_DOUBLE_EQ(meter.Volume(), 20);
    meter.SetPosition(-3);
    EXPECT_EQ(meter.Position(), 0);

    // Without steps the meter rests at the floor; no division by zero, no NaN.
    meter.SetMaxValue(0);
    meter.SetPosition(5);
    EXPECT_EQ(meter.Position(), 0);
    EXPECT_DOUBLE_EQ(meter.Volume(), -120);
    meter.SetVolume(0);
    EXPECT_EQ(meter.Position(), 0);
    EXPECT_FALSE(std::isnan(meter.Volume()));
    Painted();
}

TEST_F(VUMeterTest, SettersKeepTheirRules) {
    meter.SetBarSize(4);
    EXPECT_EQ(meter.BarSize(), 1);  // without borders always 1
    meter.SetBorders(true);
    EXPECT_EQ(meter.BarCount(), 148);
    meter.SetBarSize(4);
    EXPECT_EQ(meter.BarSize(), 4);
    EXPECT_EQ(meter.BarCount(), 37);
    for (int32_t refused : {0, -2, 146, 200}) {
        meter.SetBarSize(refused);
        EXPECT_EQ(meter.BarSize(), 4) << refused;
    }
    meter.SetBarSize(145);
    EXPECT_EQ(meter.BarSize(), 145);
    EXPECT_EQ(meter.BarCount(), 1);
    meter.SetBorders(false);
    meter.SetBarSize(9);
    EXPECT_EQ(meter.BarSize(), 1);

    meter.SetGridSpace(0);
    EXPECT_EQ(meter.GridSpace(), 1);
    meter.SetGridSpace(-7);
    EXPECT_EQ(meter.GridSpace(), 1);
    meter.SetBreakPosLowMid(1401);
    EXPECT_EQ(meter.BreakPosLowMid(), 275);
    meter.SetBreakPosLowMid(1400);
    EXPECT_EQ(meter.BreakPosLowMid(), 1400);
    meter.SetBreakPosMidHi(2000);
    EXPECT_EQ(meter.BreakPosMidHi(), 245);
    meter.SetBreakPosMidHi(100);
    EXPECT_EQ(meter.BreakPosMidHi(), 100);

    meter.SetMaxValue(70000);
    EXPECT_EQ(meter.MaxValue(), 65535);
    meter.SetOrientation(trHorizontal);
    EXPECT_EQ(meter.size(), QSize(20, 150));
    EXPECT_EQ(meter.BarCount(), 20);
}

TEST_F(VUMeterTest, LitSegments) {
    meter.SetVolume(-120);
    for (int32_t i = 1; i <= 150; ++i) {
        ASSERT_FALSE(meter.InPos(i)) << i;
    }
    meter.SetVolume(20);
    for (int32_t i = 1; i <= 150; ++i) {
        ASSERT_TRUE(meter.InPos(i)) << i;
    }
    meter.SetVolume(0);  // 129 of 150 lit, from the bottom
    EXPECT_FALSE(meter.InPos(21));
    EXPECT_TRUE(meter.InPos(22));
    meter.SetOrientation(trHorizontal);  // 20 segments across, filled from the left
    EXPECT_TRUE(meter.InPos(17));
    EXPECT_FALSE(meter.InPos(18));
}

TEST_F(VUMeterTest, PaintsZonesLitAndUnlit) {
    meter.SetVolume(-120);
    QImage image = Painted();
    // Nothing lit: darkened zone colours, the 0 dB line inverted (white) over unlit segments.
    EXPECT_EQ(image.pixelColor(10, 149), QColor(0, 170, 0));
    EXPECT_EQ(image.pixelColor(10, 2), QColor(170, 0, 0));
    EXPECT_EQ(image.pixelColor(10, 27), QColor(170, 170, 0));
    EXPECT_EQ(image.pixelColor(5, 21), QColor(255, 255, 255));
    EXPECT_EQ(image.pixelColor(17, 21), QColor(255, 255, 255));  // the 0 dB tick

    meter.SetVolume(20);
    image = Painted();
    EXPECT_EQ(image.pixelColor(10, 149), QColor(0, 255, 0));
    EXPECT_EQ(image.pixelColor(10, 2), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(10, 27), QColor(255, 255, 0));
    EXPECT_EQ(image.pixelColor(5, 21), Qc(kColorBlack));

    // Borders leave a 2-pixel frame of the background.
    meter.SetBackColor(ColorRGB(0, 0, 255));
    meter.SetBorders(true);
    meter.SetBarSize(4);
    image = Painted();
    EXPECT_EQ(image.pixelColor(1, 102), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(10, 100), QColor(0, 0, 255));  // the gap before segment 26
    EXPECT_EQ(image.pixelColor(10, 102), QColor(0, 255, 0));  // segment 26: rows 102, 103
}

TEST_F(VUMeterTest, GradientAndLabels) {
    meter.resize(40, 200);
    meter.SetGradient(true);
    meter.SetShowGrids(true);
    meter.SetVolume(20);
    const QImage image = Painted();
    // Centre <260 * 200 / 1400> = 37: pure high above 17, pure low below 57.
    EXPECT_EQ(image.pixelColor(5, 5), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(5, 36), QColor(255, 255, 0));  // segment 37 from the top
    EXPECT_EQ(image.pixelColor(5, 150), QColor(0, 255, 0));
    // Labels at 0, -15, -30, ... in the (black) text colour over lit segments: dark pixels
    // right of the 0 dB line, where the segments are bright.
    int dark = 0;
    for (int y = 40; y < 200; ++y) {
        for (int x = 20; x < 34; ++x) {
            const QColor c = image.pixelColor(x, y);
            dark += std::max({c.red(), c.green(), c.blue()}) < 100 ? 1 : 0;
        }
    }
    EXPECT_GT(dark, 20);
}

}  // namespace
