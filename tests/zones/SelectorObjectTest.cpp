#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <QWidget>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "zones/SelectorObject.h"
#include "zones/ZoneCaptionColor.h"

namespace {

void SendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}
void Press(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
    SendMouse(w, QEvent::MouseButtonPress, p, b, b);
}
void Move(QWidget* w, QPoint p) {
    SendMouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
}
void Release(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
    SendMouse(w, QEvent::MouseButtonRelease, p, b, Qt::NoButton);
}

QColor CaptionQColor(TZoneColor c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// A 320 x 240 picture at (20, 30) on a parent, and one zone over it with 5-pixel handles.
class SelectorObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent = std::make_unique<QWidget>();
        parent->resize(640, 480);
        picture = new QWidget(parent.get());
        picture->setGeometry(20, 30, 320, 240);
        zone = new TSelectorObject(picture, parent.get());
    }

    // Places the zone at picture pixels (left, top) with the given actual size.
    void Place(int left, int top, int w, int h) {
        zone->SetActualSize(w, h);
        zone->PositionToOwnerOrigin(left, top, false);
    }

    std::unique_ptr<QWidget> parent;
    QWidget* picture = nullptr;
    TSelectorObject* zone = nullptr;
};

TEST_F(SelectorObjectTest, ConstructorDefaults) {
    EXPECT_EQ(zone->size(), QSize(50, 50));
    EXPECT_EQ(zone->minimumSize(), QSize(15, 15));
    EXPECT_EQ(zone->SelectorPointSize(), 5);
    EXPECT_EQ(zone->SelectorLineWidth(), 1);
    EXPECT_EQ(zone->OwnerImage(), picture);
    EXPECT_TRUE(zone->ShowMiddlePoints());
    EXPECT_TRUE(zone->ShowCornerPoints());
    EXPECT_FALSE(zone->IsSelected());
    EXPECT_TRUE(zone->LockInside());
    EXPECT_TRUE(zone->Dashed());
    EXPECT_FALSE(zone->UseFillColor());
    EXPECT_EQ(zone->FillColor(), ZoneRGB(255, 0, 0));
    EXPECT_EQ(zone->GridColor(), ZoneRGB(128, 0, 128));
    EXPECT_EQ(zone->PointColor(), ZoneRGB(255, 255, 255));
    EXPECT_EQ(zone->LineColor(), ZoneRGB(0, 0, 0));
    EXPECT_EQ(zone->AlphaValue(), 0);
    EXPECT_FALSE(zone->Flashing());
    EXPECT_TRUE(zone->Caption().isEmpty());
    // Bounds (0, 0) against a picture at (20, 30): the zone starts at picture pixel (-18, -28).
    EXPECT_EQ(zone->ActualLeft(), -18);
    EXPECT_EQ(zone->ActualTop(), -28);
    EXPECT_FLOAT_EQ(zone->LeftPcnt(), -18.0f / 320);
    EXPECT_FLOAT_EQ(zone->WidthPcnt(), 46.0f / 320);
}

TEST_F(SelectorObjectTest, GeometryQuantities) {
    zone->SetSelectorPointSize(9);
    Place(10, 20, 100, 60);
    EXPECT_EQ(zone->geometry(), QRect(20 + 10 - 4, 30 + 20 - 4, 108, 68));
    EXPECT_EQ(zone->DeltaXY(), 4);
    EXPECT_EQ(zone->DeltaEndX(), 104);
    EXPECT_EQ(zone->DeltaEndY(), 64);
    EXPECT_EQ(zone->ActualLeft(), 10);
    EXPECT_EQ(zone->ActualTop(), 20);
    EXPECT_EQ(zone->ActualWidth(), 100);
    EXPECT_EQ(zone->ActualHeight(), 60);
    EXPECT_EQ(zone->ActualTopSwapped(), 240 - 20 - 60);
    EXPECT_FLOAT_EQ(zone->LeftPcnt(), 10.0f / 320);
    EXPECT_FLOAT_EQ(zone->TopPcnt(), 20.0f / 240);
    EXPECT_FLOAT_EQ(zone->WidthPcnt(), 100.0f / 320);
    EXPECT_FLOAT_EQ(zone->HeightPcnt(), 60.0f / 240);

    zone->SetActualWidth(50);
    zone->SetActualHeight(40);
    EXPECT_EQ(zone->size(), QSize(58, 48));
    EXPECT_FLOAT_EQ(zone->WidthPcnt(), 50.0f / 320);
    EXPECT_FLOAT_EQ(zone->HeightPcnt(), 40.0f / 240);
}

TEST_F(SelectorObjectTest, PointSizeIsOddAndPositiveAndKeepsTheBounds) {
    struct Case {
        int value, expected;
    };
    for (const Case& c : std::vector<Case>{{8, 9}, {0, 9}, {-3, 9}, {7, 7}, {1, 1}, {2, 3}}) {
        const QRect bounds = zone->geometry();
        zone->SetSelectorPointSize(c.value);
        EXPECT_EQ(zone->SelectorPointSize(), c.expected) << c.value;
        EXPECT_EQ(zone->geometry(), bounds) << c.value;
        // The picture origin moved with the margin, so the actual rectangle follows.
        EXPECT_EQ(zone->ActualLeft(), bounds.x() - (20 - c.expected / 2)) << c.value;
        EXPECT_EQ(zone->ActualWidth(), bounds.width() - c.expected + 1) << c.value;
    }
}

TEST_F(SelectorObjectTest, SetRectangleWithAndWithoutOffset) {
    zone->SetSelectorPointSize(9);
    zone->SetRectangle(100, 60, 50, 70, true);
    EXPECT_EQ(zone->geometry(), QRect(46, 66, 108, 68));
    EXPECT_EQ(zone->ActualWidth(), 100);
    EXPECT_FLOAT_EQ(zone->LeftPcnt(), 30.0f / 320);
    zone->SetRectangle(80, 40, 5, 6, false);
    EXPECT_EQ(zone->geometry(), QRect(5, 6, 80, 40));
    // A negative size counts as 0, and the size constraints keep 3 x 5 pixels.
    zone->SetRectangle(-10, -1, 5, 6, false);
    EXPECT_EQ(zone->size(), QSize(15, 15));
}

TEST_F(SelectorObjectTest, ObjectIDIsTheHint) {
    zone->SetObjectID(QStringLiteral("Zone 3"));
    EXPECT_EQ(zone->ObjectID(), QStringLiteral("Zone 3"));
    EXPECT_EQ(zone->toolTip(), QStringLiteral("Zone 3"));
    zone->SetObjectID(QString());
    EXPECT_TRUE(zone->toolTip().isEmpty());
}

TEST_F(SelectorObjectTest, CursorOfEveryPositionCode) {
    const std::vector<Qt::CursorShape> expected = {
        Qt::ArrowCursor,   Qt::SizeFDiagCursor, Qt::SizeVerCursor, Qt::SizeBDiagCursor,
        Qt::SizeHorCursor, Qt::SizeAllCursor,   Qt::SizeHorCursor, Qt::SizeBDiagCursor,
        Qt::SizeVerCursor, Qt::SizeFDiagCursor,
    };
    for (int code = 0; code < 10; ++code) {
        EXPECT_EQ(TSelectorObject::CursorOfPosition(code), expected[code]) << code;
    }
    // Points of the 50 x 50 control, one per code.
    const std::vector<QPoint> points = {{49, 30}, {0, 0},   {24, 0}, {50, 0},  {0, 24},
                                        {25, 25}, {50, 24}, {0, 50}, {24, 50}, {50, 50}};
    for (int code = 0; code < 10; ++code) {
        EXPECT_EQ(zone->HitTestPosition(points[code].x(), points[code].y()), code);
        EXPECT_EQ(zone->GetMouseCursor(points[code].x(), points[code].y()), expected[code]);
    }
}

TEST_F(SelectorObjectTest, MouseMoveSetsTheCursorOfThePositionUnderIt) {
    Move(zone, {0, 0});
    EXPECT_EQ(zone->cursor().shape(), Qt::SizeFDiagCursor);
    Move(zone, {25, 25});
    EXPECT_EQ(zone->cursor().shape(), Qt::SizeAllCursor);
    Move(zone, {24, 50});
    EXPECT_EQ(zone->cursor().shape(), Qt::SizeVerCursor);
}

TEST_F(SelectorObjectTest, ButtonDownSelectsAndReportsBeforeTheDragStarts) {
    std::vector<std::string> calls;
    zone->SetObjectID(QStringLiteral("Z"));
    zone->SetSelectionCallback([&](const QString& id) {
        calls.push_back("select " + id.toStdString());
        return true;
    });
    zone->SetMouseClickCallback([&](const QString& id, TShiftState shift, int x, int y) {
        calls.push_back("click " + id.toStdString() + " " + std::to_string(x) + "," +
                        std::to_string(y) + (shift.Buttons & Qt::RightButton ? " right" : ""));
        return true;
    });
    Press(zone, {25, 26}, Qt::RightButton);
    EXPECT_TRUE(zone->IsSelected());
    EXPECT_FALSE(zone->IsDraging());  // only the left button drags
    Release(zone, {25, 26}, Qt::RightButton);
    Press(zone, {25, 26});
    EXPECT_TRUE(zone->IsDraging());
    EXPECT_EQ(zone->DragStartPosition(), zpInside);
    EXPECT_EQ(calls, (std::vector<std::string>{"select Z", "click Z 25,26 right", "select Z",
                                               "click Z 25,26"}));
}

TEST_F(SelectorObjectTest, LockedZoneIgnoresTheMouse) {
    int callbacks = 0;
    zone->SetSelectionCallback([&](const QString&) { return ++callbacks, true; });
    zone->SetLocked(true);
    Place(10, 10, 46, 46);
    const QRect bounds = zone->geometry();
    Press(zone, {25, 25});
    Move(zone, {35, 35});
    Release(zone, {35, 35});
    EXPECT_FALSE(zone->IsSelected());
    EXPECT_FALSE(zone->IsDraging());
    EXPECT_EQ(callbacks, 0);
    EXPECT_EQ(zone->geometry(), bounds);
}

TEST_F(SelectorObjectTest, DraggingTheTopLeftHandleHoldsTheTopAtTheMinimumHeight) {
    Place(50, 50, 46, 46);  // control 50 x 50 at (68, 78)
    std::vector<QRect> reported;
    zone->SetMovementCallback([&](const QString&, int l, int t, int w, int h) {
        reported.emplace_back(l, t, w, h);
        return true;
    });
    Press(zone, {2, 2});
    ASSERT_EQ(zone->DragStartPosition(), zpTopLeft);
    Move(zone, {12, 42});  // height would become 10 < 15; the width may shrink to 40
    EXPECT_EQ(zone->geometry(), QRect(78, 78, 40, 50));
    EXPECT_EQ(reported, std::vector<QRect>{QRect(78, 78, 40, 50)});
    EXPECT_FLOAT_EQ(zone->LeftPcnt(), 60.0f / 320);
    Release(zone, {12, 42});
    EXPECT_FALSE(zone->IsDraging());
    EXPECT_EQ(zone->DragStartPosition(), 0);
}

TEST_F(SelectorObjectTest, DraggingTheRightHandleStopsAtTheMinimumWidth) {
    zone->SetSelectorPointSize(9);
    Place(50, 50, 92, 92);  // control 100 x 100
    Press(zone, {99, 50});
    ASSERT_EQ(zone->DragStartPosition(), zpMiddleRight);
    Move(zone, {10, 50});
    EXPECT_EQ(zone->width(), 27);
    Move(zone, {150, 50});
    EXPECT_EQ(zone->width(), 150);
    Release(zone, {150, 50});
}

struct DropCase {
    const char* name;
    int left, top, w, h;  // actual rectangle before the drop (after a 1-pixel move)
    int expectedLeft, expectedTop, expectedW, expectedH;
};

TEST_F(SelectorObjectTest, DropKeepsTheZoneInsideThePicture) {
    const std::vector<DropCase> cases = {
        {"one pixel past the right edge", 270, 10, 50, 50, 270, 10, 50, 50},
        {"past the left and top edges", -6, -4, 50, 50, 0, 0, 50, 50},
        {"past the bottom edge", 10, 195, 50, 50, 10, 190, 50, 50},
        {"larger than the picture", -11, -11, 400, 300, 0, 0, 320, 240},
    };
    for (const DropCase& c : cases) {
        // Dragged from inside by one pixel to the right.
        Place(c.left - 1, c.top, c.w, c.h);
        Press(zone, {20, 20});
        Move(zone, {21, 20});
        EXPECT_EQ(zone->ActualLeft(), c.left) << c.name;  // free during the drag
        Release(zone, {21, 20});
        EXPECT_EQ(zone->ActualLeft(), c.expectedLeft) << c.name;
        EXPECT_EQ(zone->ActualTop(), c.expectedTop) << c.name;
        EXPECT_EQ(zone->ActualWidth(), c.expectedW) << c.name;
        EXPECT_EQ(zone->ActualHeight(), c.expectedH) << c.name;
        EXPECT_FLOAT_EQ(zone->LeftPcnt(), c.expectedLeft / 320.0f) << c.name;
    }
}

TEST_F(SelectorObjectTest, DropWithoutLockInsideLeavesTheZoneOutside) {
    zone->SetLockInside(false);
    Place(300, 10, 50, 50);
    Press(zone, {20, 20});
    Release(zone, {20, 20});
    EXPECT_EQ(zone->ActualLeft(), 300);
}

TEST_F(SelectorObjectTest, DisableOnTheFlyChangeReportsTheFinalRectangleOnce) {
    Place(10, 10, 46, 46);
    int reports = 0;
    QRect last;
    zone->SetMovementCallback([&](const QString&, int l, int t, int w, int h) {
        ++reports;
        last = QRect(l, t, w, h);
        return true;
    });
    zone->SetDisableOnTheFlyChange(true);
    Press(zone, {20, 20});
    Release(zone, {20, 20});
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(last, zone->geometry());
    EXPECT_FALSE(zone->DisableOnTheFlyChange());
    Press(zone, {20, 20});
    Release(zone, {20, 20});
    EXPECT_EQ(reports, 1);
}

TEST_F(SelectorObjectTest, StretchToImageFollowsThePictureWithoutDrift) {
    zone->SetSelectorPointSize(9);
    Place(33, 47, 101, 61);
    const QRect original = zone->geometry();
    const float fractions[4] = {zone->LeftPcnt(), zone->TopPcnt(), zone->WidthPcnt(),
                                zone->HeightPcnt()};
    const std::vector<QRect> pictures = {{0, 0, 640, 480},    {5, 7, 333, 217}, {20, 30, 1, 1},
                                         {40, 9, 1919, 1081}, {3, 3, 321, 239}, {20, 30, 320, 240}};
    for (int round = 0; round < 3; ++round) {
        for (const QRect& r : pictures) {
            picture->setGeometry(r);
            ASSERT_TRUE(zone->StretchToImage());
            EXPECT_EQ(zone->ActualLeft(), qRound(r.width() * 33.0 / 320)) << r.width();
            EXPECT_FLOAT_EQ(zone->LeftPcnt(), fractions[0]);
            EXPECT_FLOAT_EQ(zone->TopPcnt(), fractions[1]);
            EXPECT_FLOAT_EQ(zone->WidthPcnt(), fractions[2]);
            EXPECT_FLOAT_EQ(zone->HeightPcnt(), fractions[3]);
        }
        EXPECT_EQ(zone->geometry(), original) << "round " << round;
    }
    picture->setGeometry(0, 0, 640, 480);
    ASSERT_TRUE(zone->StretchToImage());
    EXPECT_EQ(zone->geometry(), QRect(66 - 4, 94 - 4, 202 + 8, 122 + 8));
}

TEST_F(SelectorObjectTest, StretchRoundsHalfwayToEven) {
    picture->setGeometry(0, 0, 4, 4);
    zone->SetSelectorPointSize(1);
    zone->setMinimumSize(0, 0);
    Place(1, 3, 2, 2);  // fractions 0.25, 0.75, 0.5, 0.5
    picture->setGeometry(0, 0, 6, 2);
    ASSERT_TRUE(zone->StretchToImage());
    EXPECT_EQ(zone->ActualLeft(), 2);  // 1.5
    EXPECT_EQ(zone->ActualTop(), 2);   // 1.5
    EXPECT_EQ(zone->ActualWidth(), 3);
    EXPECT_EQ(zone->ActualHeight(), 1);
    picture->setGeometry(0, 0, 10, 10);
    ASSERT_TRUE(zone->StretchToImage());
    EXPECT_EQ(zone->ActualLeft(), 2);  // 2.5
    EXPECT_EQ(zone->ActualTop(), 8);   // 7.5
    EXPECT_EQ(zone->ActualWidth(), 5);
}

TEST_F(SelectorObjectTest, StretchToCustomImagePlacesTheZoneOnTheGivenRectangle) {
    zone->SetSelectorPointSize(9);
    Place(32, 24, 160, 120);  // 10 %, 10 %, 50 %, 50 %
    zone->StretchToCustomImage(100, 50, 640, 480);
    EXPECT_EQ(zone->pos(), QPoint(100 + 64 - 4, 50 + 48 - 4));
    EXPECT_EQ(zone->size(), QSize(320 + 8, 240 + 8));
}

TEST(SelectorObjectWithoutOwner, PictureRelativeOperationsDoNothing) {
    QWidget parent;
    TSelectorObject zone(nullptr, &parent);
    zone.SetRectangle(30, 30, 10, 10, true);
    EXPECT_EQ(zone.ActualTopSwapped(), -1);
    EXPECT_FALSE(zone.StretchToImage());
    EXPECT_EQ(zone.LeftPcnt(), 0.0f);
    EXPECT_EQ(zone.WidthPcnt(), 0.0f);
    Press(&zone, {1, 1});
    Release(&zone, {1, 1});
    EXPECT_EQ(zone.pos(), QPoint(8, 8));  // nothing to keep it inside of
}

// Painting: the zone is grabbed on its own, so every pixel it does not paint stays clear.
class SelectorObjectPaintTest : public SelectorObjectTest {
protected:
    QImage Grab() { return zone->grab().toImage().convertToFormat(QImage::Format_ARGB32); }
};

TEST_F(SelectorObjectPaintTest, PerPixelAlphaFillWithTheWhiteKey) {
    zone->SetUseFillColor(true);
    zone->SetUse32bitFillGrid(true);
    zone->SetAlphaValue(128);
    zone->SetFillColor(ZoneRGB(0, 0, 255));
    QImage image = Grab();
    const QColor fill = image.pixelColor(25, 25);
    EXPECT_EQ(fill.alpha(), 128);
    EXPECT_EQ(fill.red(), 0);
    EXPECT_EQ(fill.green(), 0);
    EXPECT_NEAR(fill.blue(), 255, 2);

    zone->SetFillColor(ZoneRGB(255, 255, 255));  // the key colour: no fill at all
    image = Grab();
    EXPECT_EQ(image.pixelColor(25, 25).alpha(), 0);
    EXPECT_EQ(image.pixelColor(10, 30).alpha(), 0);
}

TEST_F(SelectorObjectPaintTest, ConstantOpacityFill) {
    zone->SetUseFillColor(true);
    zone->SetAlphaValue(128);
    zone->SetFillColor(ZoneRGB(0, 255, 0));
    const QColor fill = Grab().pixelColor(25, 25);
    EXPECT_NEAR(fill.alpha(), 128, 1);
    EXPECT_NEAR(fill.green(), 255, 2);
    EXPECT_EQ(fill.red(), 0);
    // White is an ordinary colour here.
    zone->SetFillColor(ZoneRGB(255, 255, 255));
    EXPECT_NEAR(Grab().pixelColor(25, 25).alpha(), 128, 1);
}

TEST_F(SelectorObjectPaintTest, FlashingFillGrowsBy50PerPaint) {
    zone->SetUseFillColor(true);
    zone->SetUse32bitFillGrid(true);
    zone->SetAlphaValue(255);
    zone->SetFillColor(ZoneRGB(0, 0, 100));
    zone->SetFlashing(true);
    for (int n = 0; n < 5; ++n) {
        const TZoneColor expected = ZoneRGB(0, 0, 100) + 50 * n;
        const QColor fill = Grab().pixelColor(25, 25);
        EXPECT_EQ(fill.red(), static_cast<int>(expected & 0xFF)) << n;
        EXPECT_EQ(fill.green(), static_cast<int>((expected >> 8) & 0xFF)) << n;
        EXPECT_EQ(fill.blue(), 100) << n;
        EXPECT_EQ(zone->FlashingColorIncrement(), 50 * (n + 1));
    }
    zone->SetFlashing(false);
    EXPECT_EQ(Grab().pixelColor(25, 25).red(), 0);
}

TEST_F(SelectorObjectPaintTest, SelectedZoneShowsHandlesAndADottedOutline) {
    zone->SetIsSelected(true);
    const QImage image = Grab();
    // Bottom-right handle (45, 45)-(50, 50): black border, white inside.
    EXPECT_EQ(image.pixelColor(49, 49), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(47, 47), QColor(Qt::white));
    // Top edge of the outline at y = 2 between the handles: one pixel on, one off.
    int on = 0;
    for (int x = 6; x < 22; ++x) {
        const QColor c = image.pixelColor(x, 2);
        if (c.alpha() == 255) {
            EXPECT_EQ(c, QColor(Qt::white)) << x;
            ++on;
            EXPECT_EQ(image.pixelColor(x + 1, 2).alpha(), 0) << x;
        }
    }
    EXPECT_EQ(on, 8);
    // Nothing is drawn inside an unfilled zone.
    EXPECT_EQ(image.pixelColor(25, 12).alpha(), 0);
}

TEST_F(SelectorObjectPaintTest, SolidOutlinePulsesInGrey) {
    zone->SetIsSelected(true);
    zone->SetDashed(false);
    const std::vector<int> greys = {0, 40, 80, 120, 160, 200, 240, 200, 160};
    for (int grey : greys) {
        EXPECT_EQ(Grab().pixelColor(10, 2), QColor(grey, grey, grey)) << grey;
    }
}

TEST_F(SelectorObjectPaintTest, HiddenUnselectedZoneIsARedCrossedBox) {
    zone->SetIsHidden(true);
    const QImage image = Grab();
    EXPECT_EQ(image.pixelColor(0, 25), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(25, 25), QColor(Qt::red));  // where the diagonals cross
    EXPECT_EQ(image.pixelColor(25, 10).alpha(), 0);
}

TEST_F(SelectorObjectPaintTest, GridOfASelectedZone) {
    zone->SetIsSelected(true);
    zone->SetUseFillColor(true);
    zone->SetUse32bitFillGrid(true);
    zone->SetAlphaValue(255);
    zone->SetUseGrid(true);
    zone->SetGridColor(ZoneRGB(0, 255, 0));
    const QImage image = Grab();
    EXPECT_EQ(image.pixelColor(20, 15), QColor(0, 255, 0));  // y = 5 + 10
    EXPECT_EQ(image.pixelColor(27, 17), QColor(255, 0, 0));  // between the lines: fill
    zone->SetIsSelected(false);
    EXPECT_EQ(Grab().pixelColor(20, 15), QColor(255, 0, 0));
}

TEST_F(SelectorObjectPaintTest, CaptionFromAnotherThreadShowsAfterTheQueuedRepaint) {
    zone->SetUseFillColor(true);
    zone->SetUse32bitFillGrid(true);
    zone->SetAlphaValue(255);
    zone->resize(120, 50);
    parent->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(parent.get()));

    // Counts the paints the GUI thread delivers to the zone.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                ++paints;
            }
            return false;
        }
    } counter;
    zone->installEventFilter(&counter);
    QApplication::processEvents();
    const int before = counter.paints;
    // Pixels in the caption's colour, which follows the fill painted (read below the caption).
    const auto captionPixels = [&] {
        const QImage image = Grab();
        const QColor fill = image.pixelColor(110, 42);
        const QColor caption = CaptionQColor(CaptionColorOn(
            ZoneRGB(static_cast<uint8_t>(fill.red()), static_cast<uint8_t>(fill.green()),
                    static_cast<uint8_t>(fill.blue()))));
        int count = 0;
        for (int y = 10; y < 30; ++y) {
            for (int x = 10; x < 100; ++x) {
                count += image.pixelColor(x, y) == caption ? 1 : 0;
            }
        }
        return count;
    };
    EXPECT_EQ(captionPixels(), 0);

    std::thread frameThread([this] {
        for (int i = 0; i <= 100; ++i) {
            zone->SetCaption(QString::number(i) + QStringLiteral(" %"));
            zone->SetFlashing(i % 2 == 0);
            zone->RequestRepaint();
        }
    });
    frameThread.join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > before; }, 5000));
    EXPECT_EQ(zone->Caption(), QStringLiteral("100 %"));
    EXPECT_TRUE(zone->Flashing());
    EXPECT_GT(captionPixels(), 0);
    zone->removeEventFilter(&counter);
}

// The caption takes the colour that stands out from the fill painted under it, flashing or
// not, ringed by the other colour, and stays on its line.
TEST_F(SelectorObjectPaintTest, CaptionColourFollowsTheFillItIsWrittenOn) {
    zone->SetUseFillColor(true);
    zone->SetUse32bitFillGrid(true);
    zone->SetAlphaValue(255);
    zone->resize(120, 50);
    zone->SetCaption(QStringLiteral("88 %"));
    const QRect line = zone->CaptionRect();
    const QRect inner(3, 3, 114, 44);  // inside the fill, clear of its edge
    for (const TZoneColor fill : {ZoneRGB(255, 102, 102), ZoneRGB(255, 255, 0), ZoneRGB(128, 0, 0),
                                  ZoneRGB(128, 0, 128), ZoneRGB(0, 0, 255)}) {
        for (const bool flashing : {false, true}) {
            zone->SetFillColor(fill);
            zone->SetFlashing(flashing);
            const TZoneColor painted =
                flashing ? FlashingFillColor(fill, zone->FlashingColorIncrement()) : fill;
            const TZoneColor text = CaptionColorOn(painted);
            const QColor textColor = CaptionQColor(text);
            const QColor ringColor =
                CaptionQColor(text == kCaptionDark ? kCaptionLight : kCaptionDark);
            const QColor filled = CaptionQColor(painted);
            const QImage image = Grab();
            int textPixels = 0;
            int ringPixels = 0;
            for (int y = inner.top(); y <= inner.bottom(); ++y) {
                for (int x = inner.left(); x <= inner.right(); ++x) {
                    const QColor pixel = image.pixelColor(x, y);
                    if (pixel == filled) {
                        continue;
                    }
                    EXPECT_TRUE(line.contains(x, y)) << std::hex << painted << " " << x << "," << y;
                    textPixels += pixel == textColor ? 1 : 0;
                    ringPixels += pixel == ringColor ? 1 : 0;
                    ASSERT_TRUE(pixel == textColor || pixel == ringColor)
                        << std::hex << painted << " " << x << "," << y;
                }
            }
            EXPECT_GT(textPixels, 0) << std::hex << painted;
            EXPECT_GT(ringPixels, 0) << std::hex << painted;
        }
    }
    // A see-through zone still writes its caption at full strength.
    zone->SetFlashing(false);
    zone->SetFillColor(ZoneRGB(0, 0, 255));
    zone->SetAlphaValue(128);
    const QImage image = Grab();
    int opaque = 0;
    for (int y = line.top(); y <= line.bottom(); ++y) {
        for (int x = line.left(); x <= line.right(); ++x) {
            opaque += image.pixelColor(x, y) == QColor(Qt::white) ? 1 : 0;
        }
    }
    EXPECT_GT(opaque, 0);
}

TEST_F(SelectorObjectPaintTest, CaptionSwapsWhilePaintingNeverTearTheText) {
    zone->SetUseFillColor(true);
    zone->SetUse32bitFillGrid(true);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        int i = 0;
        while (!stop.load()) {
            zone->SetCaption(i++ % 2 ? QStringLiteral("Learning...") : QStringLiteral("7 %"));
        }
    });
    for (int i = 0; i < 50; ++i) {
        const QString caption = zone->Caption();
        EXPECT_TRUE(caption == QStringLiteral("Learning...") || caption == QStringLiteral("7 %") ||
                    caption.isEmpty());
        Grab();
    }
    stop = true;
    writer.join();
}

}  // namespace
