// The running time a recording mark shows, and where the marks go on the picture.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "controller/RecordingMarks.h"
#include "controller/RecordingMarksPlacement.h"

namespace {

constexpr double kSecond = 1.0 / 86400.0;

TEST(RecordingMarks, RunningTimeInMinutesThenHours) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {0, "00:00"},    {12, "00:12"},         {59.9, "00:59"},   {600, "10:00"},
        {3599, "59:59"}, {3600, "1:00:00"},     {7325, "2:02:05"}, {-5, "00:00"},
        {NAN, "00:00"},  {360000, "100:00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatRecordingTime(c.seconds), c.text) << c.seconds;
    }
}

TEST(RecordingMarks, SecondsSinceTheFileStarted) {
    const TDateTime start = EncodeDateTime({2026, 12, 10, 9, 0, 0, 0});
    // Summed in tenths the way frames arrive, 12 s come out a hair short and still read 12.
    TDateTime now = start;
    for (int i = 0; i < 120; ++i) {
        now += 0.1 * kSecond;
    }
    EXPECT_EQ(RecordingSeconds(start, now), 12);
    EXPECT_EQ(RecordingSeconds(start, start + 12.9 * kSecond), 12);
    // Not known yet, or a clock standing before the start.
    EXPECT_EQ(RecordingSeconds(0, now), 0);
    EXPECT_EQ(RecordingSeconds(start, start - kSecond), 0);
}

struct PlacementCase {
    const char* name;
    std::vector<QRect> zones;
    std::vector<QRect> captions;
    std::optional<QPoint> expected;
};

// Marks of 80 x 20 on a 320 x 240 picture, 6 pixels from its edges: the corners are
// (234, 6), (234, 214), (6, 214) and (6, 6).
TEST(RecordingMarksPlacement, CornerClearOfZonesThenOfCaptions) {
    const QSize marks(80, 20);
    const QSize picture(320, 240);
    const std::vector<PlacementCase> cases = {
        {"no zones: top right", {}, {}, QPoint(234, 6)},
        {"a zone at the top right: bottom right",
         {QRect(200, 0, 120, 100)},
         {QRect(210, 10, 110, 15)},
         QPoint(234, 214)},
        {"zones over the whole right half: bottom left",
         {QRect(160, 0, 160, 240)},
         {QRect(170, 10, 150, 15)},
         QPoint(6, 214)},
        {"zones everywhere: the first corner without a caption",
         {QRect(0, 0, 160, 240), QRect(160, 0, 160, 240)},
         {QRect(10, 10, 150, 15), QRect(170, 10, 150, 15)},
         QPoint(234, 214)},
        {"captions in every corner: the first place between them",
         {QRect(0, 0, 320, 240)},
         {QRect(0, 0, 320, 30), QRect(0, 205, 320, 35)},
         QPoint(234, 30)},
        {"captions all over the picture: nowhere",
         {QRect(0, 0, 320, 240)},
         {QRect(0, 0, 320, 240)},
         std::nullopt},
    };
    for (const PlacementCase& c : cases) {
        const std::optional<QPoint> place =
            PlaceRecordingMarks(marks, picture, 6, c.zones, c.captions);
        EXPECT_EQ(place, c.expected) << c.name;
        if (place) {
            const QRect rect(*place, marks);
            EXPECT_TRUE(QRect(QPoint(0, 0), picture).contains(rect)) << c.name;
            for (const QRect& caption : c.captions) {
                EXPECT_FALSE(caption.intersects(rect)) << c.name;
            }
        }
    }
}

TEST(RecordingMarksPlacement, APictureSmallerThanTheMarksHasNoPlace) {
    EXPECT_EQ(PlaceRecordingMarks(QSize(80, 20), QSize(90, 100), 6, {}, {}), std::nullopt);
    EXPECT_EQ(PlaceRecordingMarks(QSize(80, 20), QSize(200, 30), 6, {}, {}), std::nullopt);
    EXPECT_EQ(PlaceRecordingMarks(QSize(80, 20), QSize(92, 32), 6, {}, {}), QPoint(6, 6));
}

}  // namespace
