#include "capture/TestPatternPicture.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <numbers>

namespace {

constexpr uint8_t kBlackLuma = 16;
constexpr uint8_t kWhiteLuma = 235;
constexpr uint8_t kNeutralChroma = 128;

int64_t RowBytes(int32_t Width, TTestPatternFormat Format) {
    return Format == TTestPatternFormat::Yuy2 ? (int64_t{Width} + 1) / 2 * 4 : int64_t{Width} * 4;
}

void FillBlack(uint8_t* Row, int32_t Width, TTestPatternFormat Format) {
    if (Format == TTestPatternFormat::Bgrx) {
        std::memset(Row, 0, static_cast<size_t>(Width) * 4);
        return;
    }
    const uint8_t group[4] = {kBlackLuma, kNeutralChroma, kBlackLuma, kNeutralChroma};
    const int32_t groups = (Width + 1) / 2;
    for (int32_t g = 0; g < groups; ++g) {
        std::memcpy(Row + g * 4, group, 4);
    }
}

// The ball's cover of one pixel, 0 (ground) to 255 (ball): the soft edge is two pixels wide.
uint8_t Cover(double Radius, double Distance) {
    const double edge = (Radius - Distance) * 0.5;
    return static_cast<uint8_t>(std::clamp(static_cast<int>(std::floor(256 * edge)), 0, 255));
}

void SetPixel(uint8_t* Row, int32_t X, TTestPatternFormat Format, uint8_t Cover) {
    if (Format == TTestPatternFormat::Bgrx) {
        uint8_t* p = Row + static_cast<ptrdiff_t>(X) * 4;
        p[0] = p[1] = p[2] = Cover;
        return;
    }
    // White and black share neutral chroma: only the luma changes.
    Row[static_cast<ptrdiff_t>(X) * 2] =
        static_cast<uint8_t>(kBlackLuma + ((kWhiteLuma - kBlackLuma) * Cover + 127) / 255);
}

}  // namespace

TTestPatternBall TestPatternBallAt(int64_t FrameNumber, int32_t Width, int32_t Height) {
    TTestPatternBall ball;
    const double angle = 2 * std::numbers::pi * static_cast<double>(FrameNumber) / 200;
    const int32_t r = ball.Radius;
    ball.X = r + (0.5 + 0.5 * std::sin(angle)) * (Width - 2 * r);
    ball.Y = r + (0.5 + 0.5 * std::sin(angle * std::numbers::sqrt2)) * (Height - 2 * r);
    return ball;
}

void DrawTestPatternFrame(uint8_t* Dst, int32_t Stride, int32_t Width, int32_t Height,
                          TTestPatternFormat Format, int64_t FrameNumber) {
    if (Dst == nullptr || Width <= 0 || Height <= 0 || Stride < RowBytes(Width, Format)) {
        return;
    }
    for (int32_t y = 0; y < Height; ++y) {
        FillBlack(Dst + static_cast<ptrdiff_t>(y) * Stride, Width, Format);
    }
    const TTestPatternBall ball = TestPatternBallAt(FrameNumber, Width, Height);
    const double r = ball.Radius;
    const auto top = static_cast<int32_t>(std::max(0.0, std::ceil(ball.Y - r)));
    const auto bottom = static_cast<int32_t>(std::min<double>(Height - 1, std::floor(ball.Y + r)));
    for (int32_t y = top; y <= bottom; ++y) {
        const double dy = y - ball.Y;
        const auto half =
            static_cast<int32_t>(std::rint(std::sqrt(std::max(0.0, r * r - dy * dy))));
        const auto left = static_cast<int32_t>(std::max(0.0, std::floor(ball.X) - half));
        const auto right =
            static_cast<int32_t>(std::min<double>(Width - 1, std::floor(ball.X) + half));
        uint8_t* row = Dst + static_cast<ptrdiff_t>(y) * Stride;
        for (int32_t x = left; x <= right; ++x) {
            const double dx = x - ball.X;
            const uint8_t cover = Cover(r, std::sqrt(dx * dx + dy * dy));
            if (cover != 0) {
                SetPixel(row, x, Format, cover);
            }
        }
    }
}
