#include "videolog/TrackBar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

QColor Qc(TColor c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}
void Press(QWidget* w, QPoint p) {
    SendMouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
}
void Drag(QWidget* w, QPoint p) {
    SendMouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
}
void Hover(QWidget* w, QPoint p) {
    SendMouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton);
}
void Release(QWidget* w, QPoint p) {
    SendMouse(w, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
}

// A shown bar (offscreen) of the initial 150 x 25 with its first paint done, so the bar and
// slider rectangles the mouse tests against exist.
class TrackBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        bar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
        bar.repaint();
    }
    QImage Painted() { return bar.grab().toImage(); }

    TVNTTrackBar bar;
    QSignalSpy changes{&bar, &TVNTTrackBar::OnChange};
};

TEST_F(TrackBarTest, DefaultsAndGeometry) {
    EXPECT_EQ(bar.size(), QSize(150, 25));
    EXPECT_FALSE(bar.testAttribute(Qt::WA_NativeWindow));
    EXPECT_FALSE(bar.ShowSelection());
    EXPECT_EQ(bar.SelStart(), 0);
    EXPECT_EQ(bar.SelEnd(), 0);
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_EQ(bar.MaxValue(), 1000);
    EXPECT_DOUBLE_EQ(bar.RangePos(), 0);
    EXPECT_DOUBLE_EQ(bar.RangeMax(), 0.5);
    EXPECT_EQ(bar.BackColor(), kColorBlack);
    EXPECT_EQ(bar.SliderColor(), ColorRGB(128, 128, 128));
    EXPECT_EQ(bar.SelColor(), ColorRGB(128, 128, 255));  // 0xFF8080 as 0xBBGGRR
    EXPECT_EQ(bar.TextColor(), kColorWhite);
    EXPECT_FALSE(bar.TextVisible());
    EXPECT_TRUE(bar.Borders());
    EXPECT_EQ(bar.SliderWidth(), 8);
    EXPECT_TRUE(bar.ShowGrid());
    EXPECT_FALSE(bar.LockPosition());
    EXPECT_EQ(bar.Tag(), 0);

    // 150 x 25 with borders: a 108 x 5 bar from (20, 2).
    EXPECT_EQ(bar.BarWidth(), 108);
    EXPECT_EQ(bar.BarHeight(), 5);
    EXPECT_EQ(bar.BarBorder(), 1);
    EXPECT_EQ(bar.BarOffset(), 3);
    EXPECT_EQ(bar.BarPos(), (TBarPos{20, 130, 2, 9}));
    EXPECT_EQ(bar.SliderPos(), (TSliderPos{17, 25, 0, 9}));
    EXPECT_EQ(bar.SliderHeight(), 9);
}

TEST_F(TrackBarTest, PositionWritesMoveSecondsAndSignal) {
    bar.SetRangeMax(30);
    bar.SetMaxValue(300000);
    bar.SetPosition(150000);
    EXPECT_EQ(bar.Position(), 150000);
    EXPECT_DOUBLE_EQ(bar.RangePos(), 15);
    EXPECT_EQ(changes.count(), 1);

    // The same value again still signals: the host's own writes are reported too.
    bar.SetPosition(150000);
    EXPECT_EQ(changes.count(), 2);

    bar.SetRangePos(7.5);
    EXPECT_EQ(bar.Position(), 75000);
    EXPECT_DOUBLE_EQ(bar.RangePos(), 7.5);
    EXPECT_EQ(changes.count(), 3);
    bar.SetRangePos(45);
    EXPECT_DOUBLE_EQ(bar.RangePos(), 30);
    EXPECT_EQ(bar.Position(), 300000);
    bar.SetRangePos(-2);
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_EQ(changes.count(), 5);

    bar.SetPosition(400000);
    EXPECT_EQ(bar.Position(), 300000);
    bar.SetPosition(-1);
    EXPECT_EQ(bar.Position(), 0);
}

TEST_F(TrackBarTest, ZeroRangesNeverDivide) {
    bar.SetMaxValue(0);
    bar.SetPosition(10);
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_DOUBLE_EQ(bar.RangePos(), 0);
    bar.SetShowSelection(true);
    Painted();

    bar.SetMaxValue(1000);
    bar.SetRangeMax(0);
    bar.SetRangePos(3);
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_DOUBLE_EQ(bar.RangePos(), 0);
    bar.SetPosition(500);
    EXPECT_DOUBLE_EQ(bar.RangePos(), 0);
    bar.SetRangeMax(std::nan(""));
    Painted();
    bar.resize(35, 30);  // narrower than the side margins
    Painted();
    Press(&bar, QPoint(30, 5));
    Release(&bar, QPoint(30, 5));
    EXPECT_GE(bar.Position(), 0);
    EXPECT_LE(bar.Position(), 1000);
}

TEST_F(TrackBarTest, SelectionRules) {
    bar.SetSelStart(100);
    EXPECT_TRUE(bar.ShowSelection());
    EXPECT_EQ(bar.SelEnd(), 1000);  // the end was below the new start
    bar.SetSelEnd(200);
    EXPECT_EQ(bar.SelStart(), 100);
    EXPECT_EQ(changes.count(), 2);  // each limit re-applies the position

    bar.SetLockPosition(true);
    bar.SetPosition(50);
    EXPECT_EQ(bar.Position(), 100);
    bar.SetPosition(500);
    EXPECT_EQ(bar.Position(), 200);
    bar.SetPosition(150);
    EXPECT_EQ(bar.Position(), 150);

    // An end below the start resets the start; the locked position follows.
    bar.SetShowSelection(false);
    bar.SetSelEnd(50);
    EXPECT_TRUE(bar.ShowSelection());
    EXPECT_EQ(bar.SelStart(), 0);
    EXPECT_EQ(bar.Position(), 50);

    // A selection past the bar never moves the position off it.
    bar.SetSelEnd(5000);
    bar.SetPosition(4000);
    EXPECT_EQ(bar.Position(), 1000);
    bar.SetSelStart(-300);
    bar.SetPosition(-200);
    EXPECT_EQ(bar.Position(), 0);

    // Writing the unchanged value does not switch the selection on.
    bar.SetShowSelection(false);
    bar.SetSelStart(-300);
    EXPECT_FALSE(bar.ShowSelection());
}

TEST_F(TrackBarTest, PaintsBarSliderAndSelection) {
    bar.SetBackColor(kColorWhite);
    bar.SetOutsideColor(ColorRGB(200, 200, 200));
    bar.SetSelColor(ColorRGB(0, 0, 255));
    bar.SetPosition(500);  // slider at x 74: 70..77
    QImage image = Painted();
    EXPECT_EQ(image.pixelColor(140, 12), QColor(200, 200, 200));
    EXPECT_EQ(image.pixelColor(20, 4), QColor(250, 250, 250));  // the frame, 200 * 1.25
    EXPECT_EQ(image.pixelColor(40, 4), QColor(255, 255, 255));
    EXPECT_EQ(image.pixelColor(73, 4), Qc(ColorRGB(128, 128, 128)));
    EXPECT_EQ(image.pixelColor(70, 4), Qc(ColorRGB(64, 64, 64)));  // slider frame, halved

    bar.SetSelStart(100);
    bar.SetSelEnd(300);  // x 32..53
    image = Painted();
    EXPECT_EQ(image.pixelColor(40, 4), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(60, 4), QColor(255, 255, 255));
    EXPECT_EQ(image.pixelColor(31, 7), QColor(0, 0, 255));  // the start flag below the bar
}

TEST_F(TrackBarTest, TimeGridLabels) {
    bar.resize(400, 30);
    bar.SetOutsideColor(kColorBlack);
    bar.SetTextColor(kColorWhite);
    bar.SetRangeMax(30);
    const QImage image = Painted();
    // Ticks below the bar at x(0) = 21 and at the end of the bar.
    const int tickY = bar.BarHeight() + 4;
    EXPECT_EQ(image.pixelColor(21, tickY), QColor(255, 255, 255));
    int lit = 0;
    for (int y = bar.BarHeight() + 8; y < 30; ++y) {
        for (int x = 0; x < 400; ++x) {
            lit += image.pixelColor(x, y).red() > 128 ? 1 : 0;
        }
    }
    EXPECT_GT(lit, 50);  // the labels' text

    bar.SetShowGrid(false);
    const QImage plain = Painted();
    EXPECT_EQ(plain.pixelColor(21, tickY), QColor(0, 0, 0));
}

// However wide the bar and however long the recording, no two time labels touch, and whatever
// is written below the ticks lies within the place of a label.
TEST_F(TrackBarTest, TimeLabelsNeverTouch) {
    const int widths[] = {150, 240, 320, 400, 640, 1000, 1920};
    const double lengths[] = {0.5,     4.2,   9.9,   30,    59.9,   61,     600,
                              3599.99, 7322.5, 86399, 90000, 400000, 3000000};
    bar.SetOutsideColor(kColorBlack);
    bar.SetTextColor(kColorWhite);
    for (const int width : widths) {
        for (const double length : lengths) {
            SCOPED_TRACE(std::to_string(width) + " pixels, " + std::to_string(length) + " s");
            bar.resize(width, 27);  // the preview window's bar
            bar.SetRangeMax(length);
            const QImage image = Painted();
            const std::vector<QRect>& labels = bar.GridLabels();
            ASSERT_FALSE(labels.empty());
            for (size_t i = 0; i + 1 < labels.size(); ++i) {
                EXPECT_GT(labels[i + 1].left(), labels[i].right() + 1)
                    << "label " << i << " and the next";
            }
            if (width >= 320 && length >= 30 && length <= 90000) {
                EXPECT_GE(labels.size(), 3u);  // room for more than the first
            }
            int outside = 0;
            for (int y = bar.BarHeight() + 8; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (image.pixelColor(x, y) == QColor(0, 0, 0)) {
                        continue;
                    }
                    const bool inLabel = std::any_of(labels.begin(), labels.end(), [&](QRect r) {
                        return r.adjusted(-1, 0, 1, 0).contains(x, y);
                    });
                    outside += inLabel ? 0 : 1;
                }
            }
            EXPECT_EQ(outside, 0) << "pixels written outside the labels' places";
        }
    }
}

TEST_F(TrackBarTest, DragTheSlider) {
    Hover(&bar, QPoint(21, 4));
    EXPECT_EQ(bar.cursor().shape(), Qt::PointingHandCursor);
    Hover(&bar, QPoint(100, 20));
    EXPECT_EQ(bar.cursor().shape(), Qt::ArrowCursor);

    Press(&bar, QPoint(21, 4));
    EXPECT_TRUE(bar.IsDraging());
    EXPECT_EQ(changes.count(), 0);
    Drag(&bar, QPoint(75, 12));
    EXPECT_EQ(bar.Position(), 500);
    Drag(&bar, QPoint(300, 12));
    EXPECT_EQ(bar.Position(), 1000);
    Release(&bar, QPoint(42, 12));
    EXPECT_FALSE(bar.IsDraging());
    EXPECT_EQ(bar.Position(), 200);
    EXPECT_EQ(changes.count(), 3);  // two moves and the release, no extra click
}

TEST_F(TrackBarTest, ClickInTheBar) {
    Press(&bar, QPoint(75, 5));
    EXPECT_FALSE(bar.IsDraging());
    Release(&bar, QPoint(75, 5));
    EXPECT_EQ(bar.Position(), 500);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(bar.cursor().shape(), Qt::PointingHandCursor);

    // Below the bar, or moving without the slider: nothing changes.
    Press(&bar, QPoint(100, 20));
    Drag(&bar, QPoint(40, 20));
    Release(&bar, QPoint(40, 20));
    EXPECT_EQ(bar.Position(), 500);
    EXPECT_EQ(changes.count(), 1);
}

}  // namespace
