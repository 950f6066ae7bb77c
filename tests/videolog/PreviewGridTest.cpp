#include "videolog/PreviewGrid.h"

#include <gtest/gtest.h>

namespace {

TEST(PreviewGrid, WindowsFillASquareishGridRowByRow) {
    struct Case {
        int count, columns, rows;
    };
    const Case cases[] = {{1, 1, 1},  {2, 2, 1},  {3, 2, 2},  {4, 2, 2},  {5, 3, 2},
                          {6, 3, 2},  {7, 3, 3},  {8, 3, 3},  {9, 3, 3},  {10, 4, 3},
                          {11, 4, 3}, {12, 4, 3}, {91, 10, 10}, {100, 10, 10}};
    for (const Case& c : cases) {
        const TPreviewGrid grid = PreviewGridFor(c.count);
        EXPECT_EQ(grid.Columns, c.columns) << c.count;
        EXPECT_EQ(grid.Rows, c.rows) << c.count;
        // Every window has a cell and no row is left empty.
        EXPECT_GE(grid.Columns * grid.Rows, c.count) << c.count;
        EXPECT_LT(grid.Columns * (grid.Rows - 1), c.count) << c.count;
    }
    EXPECT_EQ(PreviewGridFor(0).Columns, 0);
    EXPECT_EQ(PreviewGridFor(-3).Rows, 0);
}

TEST(PreviewGrid, OneWindowFillsTheHostLessMeterColumnAndCaptionRow) {
    const TPreviewCell cell = PreviewCellFor(0, 1, 320, 240, true, true);
    EXPECT_EQ(cell.Left, 0);
    EXPECT_EQ(cell.Top, 0);
    EXPECT_EQ(cell.Width, 320 - 16);
    EXPECT_EQ(cell.Height, 240 - 20);
    const TPreviewCell bare = PreviewCellFor(0, 1, 320, 240, false, false);
    EXPECT_EQ(bare.Width, 320);
    EXPECT_EQ(bare.Height, 240);
}

TEST(PreviewGrid, FiveWindowsTakeThreeColumnsOnTwoRows) {
    struct Expected {
        int left, top;
    };
    // 600 x 400: cells of 200 x 200; the second row holds windows 3 and 4.
    const Expected at[] = {{0, 0}, {200, 0}, {400, 0}, {0, 200}, {200, 200}};
    for (int i = 0; i < 5; ++i) {
        const TPreviewCell cell = PreviewCellFor(i, 5, 600, 400, true, true);
        EXPECT_EQ(cell.Left, at[i].left) << i;
        EXPECT_EQ(cell.Top, at[i].top) << i;
        EXPECT_EQ(cell.Width, 184) << i;
        EXPECT_EQ(cell.Height, 180) << i;
    }
}

TEST(PreviewGrid, TinyHostsAndBadIndexesGiveEmptyCells) {
    const TPreviewCell tiny = PreviewCellFor(0, 4, 10, 10, true, true);
    EXPECT_EQ(tiny.Width, 0);
    EXPECT_EQ(tiny.Height, 0);
    const TPreviewCell outside = PreviewCellFor(4, 4, 400, 400, true, true);
    EXPECT_EQ(outside.Width, 0);
    const TPreviewCell negative = PreviewCellFor(0, 1, -50, -50, false, false);
    EXPECT_EQ(negative.Width, 0);
    EXPECT_EQ(negative.Height, 0);
}

}  // namespace
