#include "recording/I420Conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct TColourCase {
    const char* Name;
    uint8_t R, G, B;
    uint8_t Y, U, V;
};

// BT.601 limited-range reference values.
const TColourCase kColours[] = {
    {"Black", 0, 0, 0, 16, 128, 128},  {"White", 255, 255, 255, 235, 128, 128},
    {"Red", 255, 0, 0, 82, 90, 240},   {"Green", 0, 255, 0, 145, 54, 34},
    {"Blue", 0, 0, 255, 41, 240, 110},
};

std::vector<uint8_t> Uniform(int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> frame(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < frame.size(); i += 4) {
        frame[i] = b;
        frame[i + 1] = g;
        frame[i + 2] = r;
        frame[i + 3] = 0;
    }
    return frame;
}

}  // namespace

TEST(I420ConversionTest, FrameBytesCoverOddSizes) {
    EXPECT_EQ(I420FrameBytes(4, 2), 8u + 2u * 2u);
    EXPECT_EQ(I420FrameBytes(3, 3), 9u + 2u * 4u);
    EXPECT_EQ(I420FrameBytes(1920, 1080), 1920u * 1080u * 3u / 2u);
    EXPECT_EQ(I420FrameBytes(0, 10), 0u);
    EXPECT_EQ(I420FrameBytes(10, -1), 0u);
}

TEST(I420ConversionTest, UniformColoursMatchTheReferenceAndComeBack) {
    for (const TColourCase& c : kColours) {
        SCOPED_TRACE(c.Name);
        const int32_t w = 5;
        const int32_t h = 3;
        const std::vector<uint8_t> rgb = Uniform(w, h, c.R, c.G, c.B);
        std::vector<uint8_t> yuv(I420FrameBytes(w, h));
        ConvertRgb32BottomUpToI420(rgb.data(), w, h, yuv.data());
        const size_t luma = static_cast<size_t>(w) * h;
        const size_t chroma = (yuv.size() - luma) / 2;
        for (size_t i = 0; i < luma; ++i) {
            ASSERT_NEAR(yuv[i], c.Y, 1) << i;
        }
        for (size_t i = 0; i < chroma; ++i) {
            ASSERT_NEAR(yuv[luma + i], c.U, 1) << i;
            ASSERT_NEAR(yuv[luma + chroma + i], c.V, 1) << i;
        }
        std::vector<uint8_t> back(rgb.size());
        ConvertI420ToRgb32BottomUp(yuv.data(), w, h, back.data());
        for (size_t i = 0; i < back.size(); i += 4) {
            ASSERT_NEAR(back[i], c.B, 3) << i;
            ASSERT_NEAR(back[i + 1], c.G, 3) << i;
            ASSERT_NEAR(back[i + 2], c.R, 3) << i;
        }
    }
}

TEST(I420ConversionTest, RowsAreTurnedTopDownAndBack) {
    // Bottom-up source: its first row in memory is the picture's bottom row. A white bottom
    // row over black must land in the last Y row.
    const int32_t w = 4;
    const int32_t h = 4;
    std::vector<uint8_t> rgb = Uniform(w, h, 0, 0, 0);
    for (int32_t x = 0; x < w * 4; ++x) {
        rgb[static_cast<size_t>(x)] = 255;
    }
    std::vector<uint8_t> yuv(I420FrameBytes(w, h));
    ConvertRgb32BottomUpToI420(rgb.data(), w, h, yuv.data());
    EXPECT_EQ(yuv[0], 16);
    EXPECT_EQ(yuv[static_cast<size_t>(w) * (h - 1)], 235);
    std::vector<uint8_t> back(rgb.size());
    ConvertI420ToRgb32BottomUp(yuv.data(), w, h, back.data());
    EXPECT_NEAR(back[0], 255, 3);                                   // bottom row, white
    EXPECT_NEAR(back[static_cast<size_t>(w) * 4 * (h - 1)], 0, 3);  // top row, black
}

// Every implementation gives the scalar reference's bytes, on noise (every value of every
// channel occurs, so the clamps and roundings are all exercised), for every width that leaves
// a different tail after the 16-pixel steps and for odd and even heights.
TEST(I420ConversionTest, EveryImplementationMatchesTheScalarReference) {
    struct TRestore {
        ~TRestore() { SelectI420ConversionImplementation("default"); }
    } restore;
    const std::vector<uint8_t> noise = [] {
        std::vector<uint8_t> bytes(static_cast<size_t>(70) * 5 * 4);
        uint32_t state = 2463534242u;
        for (uint8_t& b : bytes) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            b = static_cast<uint8_t>(state >> 24);
        }
        // Saturated corners: white and black blocks at the start of the picture.
        std::fill(bytes.begin(), bytes.begin() + 64, uint8_t{255});
        std::fill(bytes.begin() + 64, bytes.begin() + 128, uint8_t{0});
        return bytes;
    }();
    for (const char* name : {"sse2"}) {
        for (int32_t h = 1; h <= 5; ++h) {
            for (int32_t w = 1; w <= 70; ++w) {
                SCOPED_TRACE(std::string(name) + " " + std::to_string(w) + "x" + std::to_string(h));
                const std::vector<uint8_t> rgb(noise.begin(),
                                               noise.begin() + static_cast<ptrdiff_t>(w) * h * 4);
                std::vector<uint8_t> expected(I420FrameBytes(w, h) + 16, 0xAB);
                std::vector<uint8_t> actual(expected.size(), 0xAB);
                ASSERT_TRUE(SelectI420ConversionImplementation("scalar"));
                ConvertRgb32BottomUpToI420(rgb.data(), w, h, expected.data());
                if (!SelectI420ConversionImplementation(name)) {
                    GTEST_SKIP() << name << " is not built for this CPU";
                }
                ConvertRgb32BottomUpToI420(rgb.data(), w, h, actual.data());
                ASSERT_EQ(actual, expected);  // also: nothing written past the frame
            }
        }
    }
    EXPECT_FALSE(SelectI420ConversionImplementation("neon-on-x86"));
}
