#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "support/LogCapture.h"
#include "zones/SelectorObjectManager.h"

namespace {

void Click(QWidget* target, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(pos), QPointF(target->mapToGlobal(pos)),
                      button, button, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(pos), QPointF(target->mapToGlobal(pos)),
                        button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// A 640 x 480 picture at (20, 30) on a parent; at most four zones.
class SelectorObjectManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent = std::make_unique<QWidget>();
        parent->resize(800, 600);
        picture = new QWidget(parent.get());
        picture->setGeometry(20, 30, 640, 480);
    }

    void Add(int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(manager.AddSelector(picture, 10 * i, 10 * i));
        }
    }
    std::vector<std::string> IDs() const {
        std::vector<std::string> ids;
        for (int i = 0; i < manager.Count(); ++i) {
            const TSelectorObject* zone = manager.GetSelectorObject(i);
            ids.push_back(zone->ObjectID().toStdString() + "#" +
                          std::to_string(zone->ObjectIDNumber()));
        }
        return ids;
    }

    std::unique_ptr<QWidget> parent;
    QWidget* picture = nullptr;
    TSelectorObjectManager manager{4};
};

TEST_F(SelectorObjectManagerTest, Defaults) {
    EXPECT_EQ(manager.Count(), 0);
    EXPECT_EQ(manager.DefaultSelectorPointSize(), 9);
    EXPECT_EQ(manager.DefaultWidth(), 100);
    EXPECT_EQ(manager.DefaultHeight(), 100);
    EXPECT_EQ(manager.DefaultAlphaBlend(), 128);
    EXPECT_TRUE(manager.DefaultUseFill());
    EXPECT_TRUE(manager.DefaultUseGrid());
    EXPECT_TRUE(manager.DefaultUse32bitColor());
    EXPECT_EQ(manager.DefaultFillColor(), ZoneRGB(255, 102, 102));
    EXPECT_EQ(manager.DefaultGridColor(), ZoneRGB(0, 255, 0));
    EXPECT_EQ(manager.DefaultObjectIDString(), QStringLiteral("ObjectID %d"));
}

TEST_F(SelectorObjectManagerTest, NewZoneTakesTheDefaultsAtItsOrigin) {
    ASSERT_TRUE(manager.AddSelector(picture, 0, 0));
    TSelectorObject* zone = manager.GetSelectorObject(0);
    ASSERT_NE(zone, nullptr);
    EXPECT_EQ(zone->parentWidget(), parent.get());
    EXPECT_EQ(zone->OwnerImage(), picture);
    EXPECT_TRUE(zone->IsSelected());
    EXPECT_EQ(zone->SelectorPointSize(), 9);
    EXPECT_EQ(zone->size(), QSize(100, 100));
    EXPECT_TRUE(zone->UseFillColor());
    EXPECT_EQ(zone->FillColor(), ZoneRGB(255, 102, 102));
    EXPECT_TRUE(zone->UseGrid());
    EXPECT_EQ(zone->GridColor(), ZoneRGB(0, 255, 0));
    EXPECT_TRUE(zone->Use32bitFillGrid());
    EXPECT_EQ(zone->AlphaValue(), 128);
    EXPECT_EQ(zone->ObjectID(), QStringLiteral("ObjectID 1"));
    EXPECT_EQ(zone->toolTip(), QStringLiteral("ObjectID 1"));
    // Control size 100 with 9-pixel handles: picture pixels 0..91.
    TRect rect;
    ASSERT_TRUE(manager.GetActualRectangle(0, rect, false));
    EXPECT_EQ(rect, (TRect{0, 0, 92, 92}));
    EXPECT_EQ(zone->pos(), QPoint(16, 26));
    EXPECT_FLOAT_EQ(zone->WidthPcnt(), 92.0f / 640);
}

TEST_F(SelectorObjectManagerTest, ChangedDefaultsApplyToZonesAddedLater) {
    manager.SetDefaultSelectorSize(60, 40, 6);
    manager.SetDefaultSelectorColor(false, ZoneRGB(1, 2, 3));
    manager.SetDefaultSelectorGrid(false, ZoneRGB(4, 5, 6));
    manager.SetDefaultSelectorAlpha(false, 0x1FF);
    ASSERT_TRUE(manager.AddSelector(picture, 5, 5));
    const TSelectorObject* zone = manager.GetSelectorObject(0);
    EXPECT_EQ(zone->size(), QSize(60, 40));
    EXPECT_EQ(zone->SelectorPointSize(), 7);
    EXPECT_FALSE(zone->UseFillColor());
    EXPECT_EQ(zone->FillColor(), ZoneRGB(1, 2, 3));
    EXPECT_FALSE(zone->UseGrid());
    EXPECT_EQ(zone->GridColor(), ZoneRGB(4, 5, 6));
    EXPECT_FALSE(zone->Use32bitFillGrid());
    EXPECT_EQ(zone->AlphaValue(), 0xFF);  // the low byte
}

TEST_F(SelectorObjectManagerTest, AddingStopsAtTheMaximum) {
    Add(4);
    EXPECT_FALSE(manager.AddSelector(picture, 0, 0));
    EXPECT_EQ(manager.Count(), 4);
    EXPECT_EQ(parent->findChildren<TSelectorObject*>().size(), 4);
}

TEST_F(SelectorObjectManagerTest, NumbersRunWithoutGapsAfterRemoval) {
    Add(3);
    EXPECT_EQ(IDs(), (std::vector<std::string>{"ObjectID 1#1", "ObjectID 2#2", "ObjectID 3#3"}));
    TSelectorObject* third = manager.GetSelectorObject(2);
    ASSERT_TRUE(manager.RemoveSelector(1));
    EXPECT_EQ(IDs(), (std::vector<std::string>{"ObjectID 1#1", "ObjectID 2#2"}));
    EXPECT_EQ(manager.GetSelectorObject(1), third);
    EXPECT_EQ(third->toolTip(), QStringLiteral("ObjectID 2"));
    EXPECT_EQ(parent->findChildren<TSelectorObject*>().size(), 2);
}

TEST_F(SelectorObjectManagerTest, RemoveSelectedSelectorsKeepsTheOthersInOrder) {
    Add(4);
    TSelectorObject* second = manager.GetSelectorObject(1);
    TSelectorObject* fourth = manager.GetSelectorObject(3);
    manager.DeselectAll();
    manager.GetSelectorObject(0)->SetIsSelected(true);
    manager.GetSelectorObject(2)->SetIsSelected(true);
    ASSERT_TRUE(manager.RemoveSelectedSelectors());
    ASSERT_EQ(manager.Count(), 2);
    EXPECT_EQ(manager.GetSelectorObject(0), second);
    EXPECT_EQ(manager.GetSelectorObject(1), fourth);
    EXPECT_EQ(IDs(), (std::vector<std::string>{"ObjectID 1#1", "ObjectID 2#2"}));
    ASSERT_TRUE(manager.RemoveAllSelectors());
    EXPECT_EQ(manager.Count(), 0);
    EXPECT_TRUE(parent->findChildren<TSelectorObject*>().isEmpty());
}

TEST_F(SelectorObjectManagerTest, InvalidIndicesDoNothing) {
    Add(2);
    for (int index : {-1, 2, 100}) {
        TRect rect{1, 2, 3, 4};
        EXPECT_FALSE(manager.GetActualRectangle(index, rect, true)) << index;
        EXPECT_EQ(rect, TRect{}) << index;
        rect = TRect{1, 2, 3, 4};
        EXPECT_FALSE(manager.GetRectangle(index, rect)) << index;
        EXPECT_EQ(rect, TRect{}) << index;
        EXPECT_FALSE(manager.SetRectangle(index, TRect{0, 0, 10, 10})) << index;
        EXPECT_FALSE(manager.SetActualRectangle(index, TRect{0, 0, 10, 10})) << index;
        EXPECT_FALSE(manager.LockSelector(index, true)) << index;
        EXPECT_FALSE(manager.RemoveSelector(index)) << index;
        EXPECT_EQ(manager.GetSelectorObject(index), nullptr) << index;
    }
    EXPECT_EQ(manager.Count(), 2);
}

TEST_F(SelectorObjectManagerTest, RectangleConversions) {
    Add(1);
    // The zone itself at (50, 60)-(150, 130) in the parent: the control is 4 pixels larger
    // on every side, and the picture at (20, 30) sees it at (30, 30).
    ASSERT_TRUE(manager.SetRectangle(0, TRect{50, 60, 150, 130}));
    TRect rect;
    ASSERT_TRUE(manager.GetRectangle(0, rect));
    EXPECT_EQ(rect, (TRect{46, 56, 154, 134}));
    ASSERT_TRUE(manager.GetActualRectangle(0, rect, false));
    EXPECT_EQ(rect, (TRect{30, 30, 130, 100}));
    ASSERT_TRUE(manager.GetActualRectangle(0, rect, true));
    EXPECT_EQ(rect, (TRect{30, 480 - 100, 130, 480 - 30}));
    // The control's own bounds round-trip unchanged.
    ASSERT_TRUE(manager.SetActualRectangle(0, TRect{10, 20, 110, 90}));
    ASSERT_TRUE(manager.GetRectangle(0, rect));
    EXPECT_EQ(rect, (TRect{10, 20, 110, 90}));
}

TEST_F(SelectorObjectManagerTest, SwappedRectangleCountsFromThePictureBottom) {
    picture->setGeometry(0, 0, 640, 480);
    Add(1);
    ASSERT_TRUE(manager.SetRectangle(0, TRect{5, 10, 105, 110}));
    TRect rect;
    ASSERT_TRUE(manager.GetActualRectangle(0, rect, true));
    EXPECT_EQ(rect.Top, 370);
    EXPECT_EQ(rect.Bottom, 470);
}

TEST_F(SelectorObjectManagerTest, ClickingAZoneMakesItTheOnlySelectedOne) {
    Add(3);
    std::vector<std::string> selected;
    manager.SetSelectionCallback([&](const QString& id) {
        selected.push_back(id.toStdString());
        return true;
    });
    std::vector<std::string> clicks;
    manager.SetMouseClickCallback([&](const QString& id, TShiftState, int x, int y) {
        clicks.push_back(id.toStdString() + " " + std::to_string(x) + "," + std::to_string(y));
        return false;
    });
    TSelectorObject* second = manager.GetSelectorObject(1);
    Click(second, {50, 50});
    EXPECT_FALSE(manager.GetSelectorObject(0)->IsSelected());
    EXPECT_TRUE(second->IsSelected());
    EXPECT_FALSE(manager.GetSelectorObject(2)->IsSelected());
    EXPECT_EQ(selected, std::vector<std::string>{"ObjectID 2"});
    EXPECT_EQ(clicks, std::vector<std::string>{"ObjectID 2 50,50"});
    // The manager hands back its own callback's result.
    EXPECT_FALSE(manager.SelectorMouseClick(QStringLiteral("ObjectID 1"), {}, 0, 0));
    manager.SetMouseClickCallback(nullptr);
    EXPECT_TRUE(manager.SelectorMouseClick(QStringLiteral("ObjectID 1"), {}, 0, 0));
}

TEST_F(SelectorObjectManagerTest, LockedZonesIgnoreClicks) {
    Add(2);
    manager.DeselectAll();
    manager.LockAllSelectors(true);
    Click(manager.GetSelectorObject(0), {50, 50});
    Click(manager.GetSelectorObject(1), {50, 50});
    EXPECT_FALSE(manager.GetSelectorObject(0)->IsSelected());
    EXPECT_FALSE(manager.GetSelectorObject(1)->IsSelected());
    ASSERT_TRUE(manager.LockSelector(1, false));
    Click(manager.GetSelectorObject(1), {50, 50});
    EXPECT_TRUE(manager.GetSelectorObject(1)->IsSelected());
    EXPECT_TRUE(manager.GetSelectorObject(0)->Locked());
}

TEST_F(SelectorObjectManagerTest, MovementCallbackReachesExistingZones) {
    Add(1);
    std::vector<std::string> moves;
    manager.SetMovementCallback([&](const QString& id, int l, int t, int w, int h) {
        moves.push_back(id.toStdString() + " " + std::to_string(l) + "," + std::to_string(t) + "," +
                        std::to_string(w) + "," + std::to_string(h));
        return true;
    });
    TSelectorObject* zone = manager.GetSelectorObject(0);
    zone->SetDisableOnTheFlyChange(true);
    Click(zone, {50, 50});
    EXPECT_EQ(moves, std::vector<std::string>{"ObjectID 1 16,26,100,100"});
}

TEST_F(SelectorObjectManagerTest, StretchFollowsThePictureOrTheGivenRectangle) {
    Add(1);
    ASSERT_TRUE(manager.AddSelector(nullptr, 0, 0));  // a zone without a picture
    ASSERT_TRUE(manager.SetRectangle(0, TRect{20 + 64, 30 + 48, 20 + 64 + 320, 30 + 48 + 240}));
    picture->setGeometry(100, 50, 320, 240);
    ASSERT_TRUE(manager.Stretch(7, 8, 320, 240));
    TRect rect;
    ASSERT_TRUE(manager.GetActualRectangle(0, rect, false));
    EXPECT_EQ(rect, (TRect{32, 24, 192, 144}));
    ASSERT_TRUE(manager.GetRectangle(0, rect));
    EXPECT_EQ(rect.Left, 100 + 32 - 4);
    // The zone without a picture keeps its fractions of 0 and lands on the given origin.
    EXPECT_EQ(manager.GetSelectorObject(1)->pos(), QPoint(7 - 4, 8 - 4));
}

TEST_F(SelectorObjectManagerTest, RefreshImageOriginFollowsAMovedPicture) {
    Add(1);
    picture->move(120, 130);
    manager.RefreshImageOrigin();
    TRect rect;
    ASSERT_TRUE(manager.GetActualRectangle(0, rect, false));
    EXPECT_EQ(rect.Left, 16 - (120 - 4));
}

TEST_F(SelectorObjectManagerTest, IdentifierPatternIsCheckedBeforeUse) {
    Add(2);
    LogCapture log;
    EXPECT_FALSE(manager.SetDefaultObjectIDString(QStringLiteral("Zone %s")));
    EXPECT_TRUE(log.Contains("Error in TSelectorObjectManager.SetDefaultObjectIDString call..."));
    EXPECT_EQ(manager.DefaultObjectIDString(), QStringLiteral("ObjectID %d"));

    log.Clear();
    EXPECT_TRUE(manager.SetDefaultObjectIDString(QStringLiteral("Zone %d")));
    EXPECT_TRUE(log.Lines().empty());
    // Existing zones keep their names until the next renumbering.
    EXPECT_EQ(IDs(), (std::vector<std::string>{"ObjectID 1#1", "ObjectID 2#2"}));
    Add(1);
    EXPECT_EQ(IDs(), (std::vector<std::string>{"Zone 1#1", "Zone 2#2", "Zone 3#3"}));
}

TEST_F(SelectorObjectManagerTest, ZonesDeletedWithTheirParentAreForgotten) {
    Add(2);
    parent.reset();
    EXPECT_EQ(manager.GetSelectorObject(0), nullptr);
    EXPECT_TRUE(manager.RemoveAllSelectors());
    EXPECT_EQ(manager.Count(), 0);
}

}  // namespace
