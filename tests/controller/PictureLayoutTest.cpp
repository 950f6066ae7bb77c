#include "controller/PictureLayout.h"

#include <gtest/gtest.h>

namespace {

struct PlacementCase {
    const char* name;
    int32_t selectedWidth;
    int32_t boxWidth;
    int32_t boxHeight;
    TPicturePlacement expected;
};

class CameraManagerLayoutTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(CameraManagerLayoutTest, PicturePlacementKeepsTheAspectRatio) {
    const PlacementCase& c = GetParam();
    const TPicturePlacement p =
        PlacePicture(c.selectedWidth, c.boxWidth, c.boxHeight, c.boxWidth, c.boxHeight);
    EXPECT_EQ(p.Left, c.expected.Left);
    EXPECT_EQ(p.Top, c.expected.Top);
    EXPECT_EQ(p.Width, c.expected.Width);
    EXPECT_EQ(p.Height, c.expected.Height);
}

INSTANTIATE_TEST_SUITE_P(
    CameraManagerPlacement, CameraManagerLayoutTest,
    ::testing::Values(
        // 16:9 in a taller box: 1100 / 1.777... = 618.75 -> 619, top (800 - 619) div 2.
        PlacementCase{"Hd_TallBox", 1280, 1100, 800, {0, 90, 1100, 619}},
        // 4:3 in a wider box: 500 * 1.333... = 666.67 -> 667, left (1200 - 667) div 2.
        PlacementCase{"Vga_WideBox", 640, 1200, 500, {266, 0, 667, 500}},
        // The ratio follows the width alone: 800 x 600 is treated as 16:9.
        PlacementCase{"Width800_Is16to9", 800, 1600, 1000, {0, 50, 1600, 900}},
        // 720 is not above 720: 4:3.
        PlacementCase{"Width720_Is4to3", 720, 1600, 1000, {133, 0, 1333, 1000}},
        // A box of exactly the ratio counts as wide enough.
        PlacementCase{"ExactRatio", 640, 400, 300, {0, 0, 400, 300}},
        // 10 / 1.333... = 7.5 goes to the even 8.
        PlacementCase{"HalfwayRoundsToEven", 640, 10, 100, {0, 46, 10, 8}},
        // 6 / 1.333... = 4.5 goes to the even 4.
        PlacementCase{"HalfwayRoundsDownToEven", 640, 6, 100, {0, 48, 6, 4}}),
    [](const ::testing::TestParamInfo<PlacementCase>& info) { return info.param.name; });

TEST(CameraManagerLayoutRatioTest, RatioIsChosenByWidthOnly) {
    EXPECT_DOUBLE_EQ(PictureAspectRatio(721), 16.0 / 9.0);
    EXPECT_DOUBLE_EQ(PictureAspectRatio(720), 4.0 / 3.0);
    EXPECT_DOUBLE_EQ(PictureAspectRatio(320), 4.0 / 3.0);
}

}  // namespace
