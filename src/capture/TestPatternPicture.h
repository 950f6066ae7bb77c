#pragma once

#include <cstdint>

// The Test Pattern's picture: a white ball of radius 20 with a soft edge on black, moving on a
// Lissajous path (one horizontal swing every 200 frames, the vertical one sqrt(2) times as
// fast), so every part of the picture's middle band sees it pass while the corners never do.
// Pure functions over caller-owned memory.

enum class TTestPatternFormat {
    Yuy2,  // packed 4:2:2, limited range (black Y 16, white Y 235), rows top-down
    Bgrx,  // B G R x, full range, rows top-down
};

struct TTestPatternBall {
    double X = 0;  // centre, in pixels
    double Y = 0;
    int32_t Radius = 20;
};

// Where the ball is in frame number FrameNumber of a Width x Height picture.
TTestPatternBall TestPatternBallAt(int64_t FrameNumber, int32_t Width, int32_t Height);

// Draws frame FrameNumber into Dst (rows Stride bytes apart): the whole picture black, then
// the ball, clipped to the picture. Nothing is drawn for a null pointer, a size <= 0 or a
// stride too small for a row.
void DrawTestPatternFrame(uint8_t* Dst, int32_t Stride, int32_t Width, int32_t Height,
                          TTestPatternFormat Format, int64_t FrameNumber);
