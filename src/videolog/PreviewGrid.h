#pragma once

#include <cstdint>

// The grid the preview windows of one file are arranged in: n windows take ceil(sqrt(n))
// columns and as many rows as they fill, row by row, left to right.
struct TPreviewGrid {
    int32_t Columns = 0;
    int32_t Rows = 0;
};

// The grid for Count windows (1 .. 100); 0 columns and rows for a count below 1.
TPreviewGrid PreviewGridFor(int32_t Count);

// One window's cell in a host of Width x Height: cell size (Width div columns) x
// (Height div rows), the panel inside it narrowed by the meter column and shortened by the
// caption row when those are shown.
struct TPreviewCell {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;   // the panel's width (cell width less the meter column)
    int32_t Height = 0;  // the panel's height (cell height less the caption row)
};
TPreviewCell PreviewCellFor(int32_t Index, int32_t Count, int32_t Width, int32_t Height,
                            bool ShowMeters, bool ShowLabels);

// Width of the meter column beside a panel and height of the caption row below it.
constexpr int32_t PreviewMeterColumnWidth = 16;
constexpr int32_t PreviewCaptionHeight = 20;
