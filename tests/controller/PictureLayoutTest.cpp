#include "controller/PictureLayout.h"

#include <gtest/gtest.h>

namespace {

struct PlacementCase {
    const char* name;
    int32_t frameWidth;
    int32_t frameHeight;
    int32_t boxWidth;
    int32_t boxHeight;
    TPicturePlacement expected;
};

class CameraManagerLayoutTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(CameraManagerLayoutTest, PicturePlacementKeepsTheAspectRatio) {
    const PlacementCase& c = GetParam();
    const TPicturePlacement p = PlacePicture(PictureAspectRatio(c.frameWidth, c.frameHeight),
                                             c.boxWidth, c.boxHeight, c.boxWidth, c.boxHeight);
    EXPECT_EQ(p.Left, c.expected.Left);
    EXPECT_EQ(p.Top, c.expected.Top);
    EXPECT_EQ(p.Width, c.expected.Width);
    EXPECT_EQ(p.Height, c.expected.Height);
}

INSTANTIATE_TEST_SUITE_P(
    CameraManagerPlacement, CameraManagerLayoutTest,
    ::testing::Values(
        // 16:9 in a taller box: 1100 / 1.777... = 618.75 -> 619, top (800 - 619) div 2.
        PlacementCase{"Hd_TallBox", 1280, 720, 1100, 800, {0, 90, 1100, 619}},
        // 4:3 in a wider box: 500 * 1.333... = 666.67 -> 667, left (1200 - 667) div 2.
        PlacementCase{"Vga_WideBox", 640, 480, 1200, 500, {266, 0, 667, 500}},
        // Wide 4:3 sizes stay 4:3.
        PlacementCase{"Svga_Is4to3", 800, 600, 1600, 1000, {133, 0, 1333, 1000}},
        PlacementCase{"Xga_Is4to3", 1024, 768, 1600, 1000, {133, 0, 1333, 1000}},
        PlacementCase{"Sxga_Is4to3", 1280, 960, 1600, 1000, {133, 0, 1333, 1000}},
        PlacementCase{"Pal768_Is4to3", 768, 576, 1600, 1000, {133, 0, 1333, 1000}},
        // A narrow 16:9 frame is still 16:9.
        PlacementCase{"Small16to9", 640, 360, 1600, 1000, {0, 50, 1600, 900}},
        // A box of exactly the ratio counts as wide enough.
        PlacementCase{"ExactRatio", 640, 480, 400, 300, {0, 0, 400, 300}},
        // 10 / 1.333... = 7.5 goes to the even 8.
        PlacementCase{"HalfwayRoundsToEven", 640, 480, 10, 100, {0, 46, 10, 8}},
        // 6 / 1.333... = 4.5 goes to the even 4.
        PlacementCase{"HalfwayRoundsDownToEven", 640, 480, 6, 100, {0, 48, 6, 4}}),
    [](const ::testing::TestParamInfo<PlacementCase>& info) { return info.param.name; });

TEST(CameraManagerLayoutRatioTest, RatioFollowsTheFramesShapeOrTheFormatsPictureAspect) {
    struct Case {
        const char* name;
        int32_t width, height;
        uint32_t aspectX, aspectY;
        double expected;
    };
    for (const Case& c : {
             Case{"square pixels 4:3", 800, 600, 0, 0, 4.0 / 3.0},
             Case{"square pixels 16:9", 1280, 720, 0, 0, 16.0 / 9.0},
             Case{"square pixels 5:4", 720, 576, 0, 0, 1.25},
             Case{"DV PAL, 4:3 picture", 720, 576, 4, 3, 4.0 / 3.0},
             Case{"DV NTSC, 16:9 picture", 720, 480, 16, 9, 16.0 / 9.0},
             Case{"aspect with one part missing", 720, 576, 4, 0, 1.25},
             Case{"no size at all", 0, 0, 0, 0, 4.0 / 3.0},
             Case{"negative size", -1, -1, 0, 0, 4.0 / 3.0},
         }) {
        EXPECT_DOUBLE_EQ(PictureAspectRatio(c.width, c.height, c.aspectX, c.aspectY), c.expected)
            << c.name;
    }
}

}  // namespace
