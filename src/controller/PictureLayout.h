#pragma once

#include <cstdint>

// Where the picture goes inside the scroll box so that it keeps the video's aspect ratio.
struct TPicturePlacement {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};

// The target ratio is chosen by the selected width alone: 16:9 above 720 pixels, else 4:3.
double PictureAspectRatio(int32_t SelectedWidth);

// The picture fills the box's client height (box at least as wide as the ratio) or its client
// width (box taller), centred in the other direction; sizes round half to even, offsets truncate.
TPicturePlacement PlacePicture(int32_t SelectedWidth, int32_t OuterWidth, int32_t OuterHeight,
                               int32_t ClientWidth, int32_t ClientHeight);
