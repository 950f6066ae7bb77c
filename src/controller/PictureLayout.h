#pragma once

#include <cstdint>

// Where the picture goes inside the scroll box so that it keeps the video's aspect ratio.
struct TPicturePlacement {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};

// The shape of the picture as it is meant to be seen: the format's picture aspect ratio where it
// carries one (PictAspectX : PictAspectY, as DV and MPEG-2 formats do), else the frame's own
// width : height (square pixels). Without a usable size, 4:3.
double PictureAspectRatio(int32_t Width, int32_t Height, uint32_t PictAspectX = 0,
                          uint32_t PictAspectY = 0);

// The picture fills the box's client height (box at least as wide as the ratio) or its client
// width (box taller), centred in the other direction; sizes round half to even, offsets truncate.
TPicturePlacement PlacePicture(double Ratio, int32_t OuterWidth, int32_t OuterHeight,
                               int32_t ClientWidth, int32_t ClientHeight);
