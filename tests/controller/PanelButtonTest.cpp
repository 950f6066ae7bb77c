#include "controller/PanelButton.h"

#include <QFontMetrics>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

TEST(PanelButtonWrap, BreaksAtSpacesToFitTheWidth) {
    const QFontMetrics metrics(QWidget().font());
    const auto advance = [&](const char* text) { return metrics.horizontalAdvance(text); };
    struct Case {
        const char* text;
        int width;
        const char* shown;
    };
    const Case cases[] = {
        {"Add Zone", advance("Add Zone"), "Add Zone"},
        {"Show Videos List", advance("Show Videos List") - 1, "Show Videos\nList"},
        {"Show Videos List", advance("Show Videos"), "Show Videos\nList"},
        {"Show Videos List", advance("Videos"), "Show\nVideos\nList"},
        // A word wider than the room keeps its own line rather than being split.
        {"Deaktivieren", advance("Deak"), "Deaktivieren"},
        {"Reset  Alarms ", advance("Reset Alarms"), "Reset Alarms"},
        {"", 100, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TPanelButton::WrapText(c.text, metrics, c.width).toStdString(), c.shown);
    }
}

TEST(PanelButtonWrap, ShownTextFollowsTheCaptionAndTheButtonWidth) {
    TPanelButton button(nullptr);
    button.resize(130, 30);
    button.show();
    button.SetCaption("Show Videos List Of Every Recording");
    EXPECT_EQ(button.Caption(), "Show Videos List Of Every Recording");
    EXPECT_TRUE(button.text().contains('\n'));
    EXPECT_EQ(button.text().split('\n').join(' ').toStdString(), button.Caption().toStdString());
    // Wide enough for one line: the caption is shown as it is.
    button.resize(2000, 30);
    EXPECT_EQ(button.text().toStdString(), button.Caption().toStdString());
}

}  // namespace
