// The Test Pattern's picture: a soft white ball on black, moving on its path, drawn inside the
// picture whatever its size.
#include "capture/TestPatternPicture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr uint8_t kGuard = 0xA5;

struct TPicture {
    int32_t Width;
    int32_t Height;
    int32_t Stride;
    std::vector<uint8_t> Bytes;  // Height rows of Stride bytes, then guard bytes

    TPicture(int32_t w, int32_t h, int32_t stride)
        : Width(w),
          Height(h),
          Stride(stride),
          Bytes(static_cast<size_t>(stride) * h + 64, kGuard) {}
    bool GuardsIntact() const {
        for (size_t i = static_cast<size_t>(Stride) * Height; i < Bytes.size(); ++i) {
            if (Bytes[i] != kGuard) {
                return false;
            }
        }
        return true;
    }
    // Brightness of pixel (x, y): luma for YUY2, blue for BGRx.
    int Level(int32_t x, int32_t y, TTestPatternFormat format) const {
        const uint8_t* row = Bytes.data() + static_cast<size_t>(y) * Stride;
        return format == TTestPatternFormat::Yuy2 ? row[x * 2] : row[x * 4];
    }
};

}  // namespace

// The ball starts in the middle and stays inside the picture (its centre at least a radius from
// every edge) along its whole path.
TEST(TestPatternPicture, TheBallStartsInTheMiddleAndStaysInside) {
    const TTestPatternBall start = TestPatternBallAt(0, 640, 480);
    EXPECT_DOUBLE_EQ(start.X, 320);
    EXPECT_DOUBLE_EQ(start.Y, 240);
    double left = 640;
    double right = 0;
    double top = 480;
    double bottom = 0;
    for (int64_t n = 0; n < 2000; ++n) {
        const TTestPatternBall b = TestPatternBallAt(n, 640, 480);
        left = std::min(left, b.X);
        right = std::max(right, b.X);
        top = std::min(top, b.Y);
        bottom = std::max(bottom, b.Y);
    }
    EXPECT_GE(left, 20);
    EXPECT_LE(right, 620);
    EXPECT_GE(top, 20);
    EXPECT_LE(bottom, 460);
    // It sweeps across: near both sides and both edges over the path.
    EXPECT_LT(left, 25);
    EXPECT_GT(right, 615);
    EXPECT_LT(top, 25);
    EXPECT_GT(bottom, 455);
}

// Black ground, a white centre, a soft edge, nothing beyond the ball, and never a byte outside
// the picture: for pictures larger and smaller than the ball, odd widths and padded rows.
TEST(TestPatternPicture, TheBallIsDrawnOnBlackAndClippedToThePicture) {
    struct TCase {
        int32_t Width;
        int32_t Height;
        int32_t Padding;
        TTestPatternFormat Format;
    } const cases[] = {
        {320, 240, 0, TTestPatternFormat::Yuy2}, {320, 240, 0, TTestPatternFormat::Bgrx},
        {101, 77, 8, TTestPatternFormat::Yuy2},  {101, 77, 12, TTestPatternFormat::Bgrx},
        {7, 5, 0, TTestPatternFormat::Yuy2},     {7, 5, 4, TTestPatternFormat::Bgrx},
        {1, 1, 0, TTestPatternFormat::Yuy2},     {1, 1, 0, TTestPatternFormat::Bgrx},
    };
    for (const TCase& c : cases) {
        const bool yuy2 = c.Format == TTestPatternFormat::Yuy2;
        const int32_t rowBytes = yuy2 ? (c.Width + 1) / 2 * 4 : c.Width * 4;
        for (const int64_t frame : {int64_t{0}, int64_t{37}, int64_t{150}}) {
            SCOPED_TRACE(std::to_string(c.Width) + "x" + std::to_string(c.Height) +
                         (yuy2 ? " YUY2" : " BGRx") + " frame " + std::to_string(frame));
            TPicture picture(c.Width, c.Height, rowBytes + c.Padding);
            DrawTestPatternFrame(picture.Bytes.data(), picture.Stride, c.Width, c.Height, c.Format,
                                 frame);
            EXPECT_TRUE(picture.GuardsIntact());
            const int black = yuy2 ? 16 : 0;
            const int white = yuy2 ? 235 : 255;
            const TTestPatternBall ball = TestPatternBallAt(frame, c.Width, c.Height);
            for (int32_t y = 0; y < c.Height; ++y) {
                for (int32_t x = 0; x < c.Width; ++x) {
                    const double d = std::hypot(x - ball.X, y - ball.Y);
                    const int level = picture.Level(x, y, c.Format);
                    if (d > ball.Radius) {
                        ASSERT_EQ(level, black) << x << "," << y;
                    } else if (d < ball.Radius - 2) {
                        ASSERT_EQ(level, white) << x << "," << y;
                    } else {
                        ASSERT_GE(level, black) << x << "," << y;
                        ASSERT_LE(level, white) << x << "," << y;
                    }
                }
            }
            if (yuy2) {  // white and black share neutral chroma
                for (int32_t g = 0; g < (c.Width + 1) / 2; ++g) {
                    EXPECT_EQ(picture.Bytes[static_cast<size_t>(g) * 4 + 1], 128);
                    EXPECT_EQ(picture.Bytes[static_cast<size_t>(g) * 4 + 3], 128);
                }
            }
        }
    }
}

TEST(TestPatternPicture, UnusableArgumentsDrawNothing) {
    std::vector<uint8_t> bytes(64, kGuard);
    DrawTestPatternFrame(nullptr, 16, 4, 4, TTestPatternFormat::Bgrx, 0);
    DrawTestPatternFrame(bytes.data(), 16, 0, 4, TTestPatternFormat::Bgrx, 0);
    DrawTestPatternFrame(bytes.data(), 16, 4, -1, TTestPatternFormat::Bgrx, 0);
    DrawTestPatternFrame(bytes.data(), 15, 4, 4, TTestPatternFormat::Bgrx, 0);  // row too short
    DrawTestPatternFrame(bytes.data(), 3, 3, 4, TTestPatternFormat::Yuy2, 0);   // needs 4 bytes
    for (const uint8_t b : bytes) {
        ASSERT_EQ(b, kGuard);
    }
}
