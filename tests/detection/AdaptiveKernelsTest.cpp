// The rules of the adaptive kernels on small hand-made planes, for every implementation:
// the luma weights, the global brightness compensation and the speckle opening.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "detection/AdaptiveKernels.h"
#include "detection/PixelKernelsTestSupport.h"

namespace {

using AdaptiveKernelsTest = PixelKernelsImplementationTest;

TEST_P(AdaptiveKernelsTest, LumaWeighsBlueGreenRed) {
    struct TCase {
        uint8_t Blue, Green, Red, Fourth, Luma;
    };
    const TCase cases[] = {
        {0, 0, 0, 0, 0},       {255, 255, 255, 255, 255}, {255, 0, 0, 0, 29},
        {0, 255, 0, 0, 149},   {0, 0, 255, 0, 77},        {0, 0, 0, 255, 0},
        {100, 100, 100, 0, 100}, {10, 200, 40, 9, 130},
    };
    for (const TCase& c : cases) {
        // 24 equal pixels: the vector steps and the scalar tail both see the case.
        std::vector<uint8_t> frame;
        for (int i = 0; i < 24; ++i) {
            frame.insert(frame.end(), {c.Blue, c.Green, c.Red, c.Fourth});
        }
        const std::vector<uint16_t> background(24, 0);
        const std::vector<uint8_t> previous(24, 0);
        // The previous frame's luma differs in the first half only.
        std::vector<uint8_t> luma(24, c.Luma);
        std::fill(luma.begin(), luma.begin() + 12, static_cast<uint8_t>(c.Luma ^ 1));
        int64_t sum = 0, still = 0, altered = 0;
        std::vector<uint8_t> alteredPlane(24, 7);
        AdaptiveLumaRow(frame.data(), background.data(), previous.data(), luma.data(),
                        alteredPlane.data(), 24, sum, still, altered);
        for (int i = 0; i < 24; ++i) {
            EXPECT_EQ(alteredPlane[i], i < 12 ? 0xFF : 0) << i;
        }
        EXPECT_EQ(luma, std::vector<uint8_t>(24, c.Luma))
            << int(c.Blue) << "," << int(c.Green) << "," << int(c.Red);
        EXPECT_EQ(sum, 24 * 16 * c.Luma);
        EXPECT_EQ(still, 24);
        EXPECT_EQ(altered, 12);
    }
}

TEST_P(AdaptiveKernelsTest, GlobalBrightnessChangeIsCompensatedAndAnObjectOnItIsNot) {
    constexpr int32_t kPixels = 40;
    // A wall learned at 100 turns 25 levels brighter (auto-exposure); pixels 10..14 hold an
    // object 40 levels brighter still. Pixels 30..39 were changed in the previous frame, so
    // they are left out of the offset.
    std::vector<uint8_t> frame;
    for (int32_t i = 0; i < kPixels; ++i) {
        const uint8_t value = i >= 10 && i < 15 ? 165 : i >= 30 ? 10 : 125;
        frame.insert(frame.end(), {value, value, value, 0});
    }
    const std::vector<uint16_t> learned(kPixels, 100 * 16);
    std::vector<uint8_t> previous(kPixels, 0);
    std::fill(previous.begin() + 30, previous.end(), 0xFF);
    std::vector<uint8_t> luma(kPixels);
    int64_t sum = 0, still = 0, altered = 0;
    std::vector<uint8_t> alteredPlane(kPixels);
    AdaptiveLumaRow(frame.data(), learned.data(), previous.data(), luma.data(),
                    alteredPlane.data(), kPixels, sum, still, altered);
    ASSERT_EQ(still, 30);
    ASSERT_EQ(sum, (25 * 25 + 5 * 65) * 16);

    struct TCase {
        const char* Name;
        int32_t Offset;
        uint32_t Changed;
    };
    // The mean over still pixels (31 levels) over-compensates by the object's share, yet the
    // wall stays still and the object changed; without compensation the whole zone changes.
    const TCase cases[] = {
        {"compensated", static_cast<int32_t>(sum / still), 15},
        {"uncompensated", 0, kPixels},
    };
    for (const TCase& c : cases) {
        std::vector<uint16_t> background = learned;
        std::vector<uint16_t> noise(kPixels, 16);
        std::vector<uint8_t> mask(kPixels, 7);
        TAdaptiveClassifyParams params;
        params.Offset = c.Offset;
        uint32_t changed = 0;
        AdaptiveClassify(luma.data(), background.data(), noise.data(), mask.data(), kPixels,
                         params, changed);
        EXPECT_EQ(changed, c.Changed) << c.Name;
        if (c.Offset != 0) {
            for (int32_t i = 0; i < kPixels; ++i) {
                const bool object = (i >= 10 && i < 15) || i >= 30;
                EXPECT_EQ(mask[i], object ? 0xFF : 0) << c.Name << " pixel " << i;
                // Every pixel takes the offset; then still pixels follow fast (1/8 of what is
                // left), changed ones slowly (1/64).
                const int32_t step = (luma[i] * 16 - 1600 - c.Offset) >> (object ? 6 : 3);
                EXPECT_EQ(background[i], 1600 + c.Offset + step) << c.Name << " pixel " << i;
            }
        }
    }
}

TEST_P(AdaptiveKernelsTest, OpeningRemovesSpeckleAndKeepsBlobs) {
    struct TCase {
        const char* Name;
        std::vector<std::string> Rows;
        uint32_t Opened;
    };
    const TCase cases[] = {
        {"nothing", {"........", "........", "........", "........", "........"}, 0},
        {"single pixels", {"#.......", "...#....", "......#.", "..#.....", ".......#"}, 0},
        {"two by two block", {"........", ".##.....", ".##.....", "........", "........"}, 0},
        {"one pixel wide line", {"........", "########", "........", "........", "........"}, 0},
        {"three by three block", {"........", "..###...", "..###...", "..###...", "........"}, 9},
        {"block with a speck beside it",
         {"#.......", "..###...", "..###..#", "..###...", "........"},
         9},
        {"block at the edge", {"###.....", "###.....", "###.....", "........", "........"}, 9},
        {"four by four block with a notch",
         {"........", ".####...", ".####...", ".###....", ".####..."},
         12},
        {"all changed", {"########", "########", "########", "########", "########"}, 40},
    };
    for (const TCase& c : cases) {
        const int32_t width = static_cast<int32_t>(c.Rows[0].size());
        const int32_t height = static_cast<int32_t>(c.Rows.size());
        std::vector<uint8_t> mask;
        for (const std::string& row : c.Rows) {
            for (const char cell : row) {
                mask.push_back(cell == '#' ? 0xFF : 0);
            }
        }
        std::vector<uint8_t> eroded(mask.size(), 7);
        AdaptiveErode3x3(mask.data(), eroded.data(), width, height);
        uint32_t opened = 0;
        AdaptiveDilateCount3x3(eroded.data(), width, height, opened);
        EXPECT_EQ(opened, c.Opened) << c.Name;
    }
}

TEST_P(AdaptiveKernelsTest, BandedOpeningCountsLikeWholePlanes) {
    // Masks with changes in a few bands of rows (the rest empty), some bands a row or a few
    // apart, against the gate, opening and count over the whole planes.
    uint64_t random = 99;
    const auto next = [&random] {
        random ^= random << 13;
        random ^= random >> 7;
        random ^= random << 17;
        return random;
    };
    for (int trial = 0; trial < 60; ++trial) {
        const int32_t width = 3 + static_cast<int32_t>(next() % 70);
        const int32_t height = 1 + static_cast<int32_t>(next() % 40);
        const size_t size = static_cast<size_t>(width) * height;
        std::vector<uint8_t> mask(size, 0), altered(size, 0);
        std::vector<bool> rowUsed(height, false);
        for (int band = 0; band < 3; ++band) {
            const int32_t top = static_cast<int32_t>(next() % height);
            const int32_t rows = 1 + static_cast<int32_t>(next() % 8);
            for (int32_t y = top; y < std::min(top + rows, height); ++y) {
                rowUsed[y] = true;
            }
        }
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const size_t i = static_cast<size_t>(y) * width + x;
                mask[i] = rowUsed[y] && next() % 10 < 8 ? 0xFF : 0;
                altered[i] = next() % 10 < 7 ? 0xFF : 0;
            }
        }
        std::vector<uint32_t> rowChanged(height, 0);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                rowChanged[y] += mask[static_cast<size_t>(y) * width + x] != 0 ? 1 : 0;
            }
        }
        std::vector<uint8_t> gated(size), eroded(size);
        AdaptiveDilate3x3(altered.data(), mask.data(), gated.data(), width, height);
        AdaptiveErode3x3(gated.data(), eroded.data(), width, height);
        uint32_t expected = 0;
        AdaptiveDilateCount3x3(eroded.data(), width, height, expected);

        std::vector<uint8_t> scratch(static_cast<size_t>(width) * 6, 0x5A);
        const uint32_t banded = AdaptiveGatedOpeningCount(
            altered.data(), mask.data(), rowChanged.data(), scratch.data(), width, height);
        EXPECT_EQ(banded, expected) << "trial " << trial << ": " << width << " x " << height;
    }
}

INSTANTIATE_FOR_EVERY_PIXEL_KERNELS_IMPLEMENTATION(AdaptiveKernelsTest);

}  // namespace
