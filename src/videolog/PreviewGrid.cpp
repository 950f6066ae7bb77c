#include "videolog/PreviewGrid.h"

#include <algorithm>

TPreviewGrid PreviewGridFor(int32_t Count) {
    if (Count < 1) {
        return {};
    }
    int32_t columns = 1;
    while (columns * columns < Count) {
        ++columns;
    }
    return {columns, (Count + columns - 1) / columns};
}

TPreviewCell PreviewCellFor(int32_t Index, int32_t Count, int32_t Width, int32_t Height,
                            bool ShowMeters, bool ShowLabels) {
    const TPreviewGrid grid = PreviewGridFor(Count);
    if (grid.Columns == 0 || Index < 0 || Index >= Count) {
        return {};
    }
    const int32_t cellWidth = std::max(0, Width) / grid.Columns;
    const int32_t cellHeight = std::max(0, Height) / grid.Rows;
    TPreviewCell cell;
    cell.Left = cellWidth * (Index % grid.Columns);
    cell.Top = cellHeight * (Index / grid.Columns);
    // A cell smaller than the meter column or caption row leaves an empty panel, never a
    // negative size.
    cell.Width = std::max(0, cellWidth - (ShowMeters ? PreviewMeterColumnWidth : 0));
    cell.Height = std::max(0, cellHeight - (ShowLabels ? PreviewCaptionHeight : 0));
    return cell;
}
