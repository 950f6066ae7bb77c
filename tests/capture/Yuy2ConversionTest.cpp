// The YUY2 conversion: its colour cases and row order for every implementation, and every
// vectorised implementation against the scalar reference (all inputs, random pictures of many
// widths, unaligned buffers, padded rows, guard bytes).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "capture/Yuy2Conversion.h"

namespace {

using TBytes = std::vector<uint8_t>;

const char* const kImplementations[] = {"scalar", "sse2", "avx2"};

// Runs each test once per implementation, selected for the test's duration.
class Yuy2ConversionImplementation : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (!SelectYuy2ConversionImplementation(GetParam())) {
            GTEST_SKIP() << GetParam() << " is not supported by this CPU";
        }
        ASSERT_STREQ(GetParam(), Yuy2ConversionImplementationName());
    }
    void TearDown() override { SelectYuy2ConversionImplementation("default"); }
};

std::string ImplementationName(const ::testing::TestParamInfo<const char*>& info) {
    return info.param;
}

struct TPixel {
    uint8_t Blue, Green, Red, Fourth;
};

TPixel PixelAt(const TBytes& frame, size_t index) {
    return {frame[index * 4], frame[index * 4 + 1], frame[index * 4 + 2], frame[index * 4 + 3]};
}

// xorshift64 with a fixed seed, so every run sees the same pictures.
class TRandom {
public:
    explicit TRandom(uint64_t seed) : FState(seed) {}
    uint64_t Next() {
        FState ^= FState << 13;
        FState ^= FState >> 7;
        FState ^= FState << 17;
        return FState;
    }
    uint8_t Byte() { return static_cast<uint8_t>(Next() >> 24); }
    // Bytes mostly near the ends of the range, where clamping and saturation happen.
    uint8_t EdgeByte() {
        const uint8_t b = Byte();
        switch (Next() % 4) {
            case 0:
                return b % 24;
            case 1:
                return static_cast<uint8_t>(255 - b % 24);
            default:
                return b;
        }
    }

private:
    uint64_t FState;
};

// ---- Colour cases ----

struct TColourCase {
    uint8_t Y, U, V;
    TPixel Expected;
};

const TColourCase kColourCases[] = {
    {235, 128, 128, {226, 226, 226, 0}},  // white
    {255, 128, 128, {247, 247, 247, 0}},
    {15, 128, 128, {0, 0, 0, 0}},   // black
    {81, 90, 240, {0, 0, 246, 0}},  // red
    {0, 128, 128, {0, 0, 0, 0}},    // below black
    {16, 128, 128, {1, 1, 1, 0}},
    {126, 128, 128, {114, 114, 114, 0}},
    {145, 54, 34, {0, 239, 0, 0}},
    {41, 240, 110, {249, 0, 0, 0}},
    {160, 200, 60, {255, 176, 41, 0}},
    {80, 20, 200, {0, 50, 181, 0}},
    // The luma and the two green chroma products add up beyond 16 bits on the way:
    // 31680 + 6400 - 13208 = 24872, so green is 194 (not the 152 of a saturated partial sum).
    {255, 0, 255, {0, 194, 255, 0}},
    {200, 0, 255, {0, 137, 255, 0}},
    // Sums beyond the 16-bit range either way: 31680 + 32385 and -1980 - 32640.
    {255, 255, 128, {255, 197, 247, 0}},
    {0, 0, 128, {0, 34, 0, 0}},
};

TEST_P(Yuy2ConversionImplementation, ColourCasesGiveTheirPixelsEverywhereInARow) {
    for (const TColourCase& c : kColourCases) {
        SCOPED_TRACE(std::to_string(c.Y) + "," + std::to_string(c.U) + "," + std::to_string(c.V));
        // 37 pixels: whole vectors of every implementation plus an odd tail.
        const int32_t width = 37;
        TBytes source((width + 1) / 2 * 4);
        for (size_t g = 0; g < source.size(); g += 4) {
            source[g] = c.Y;
            source[g + 1] = c.U;
            source[g + 2] = c.Y;
            source[g + 3] = c.V;
        }
        TBytes frame(width * 4, 0xAA);
        ConvertYUY2ToRGB32(source.data(), static_cast<int32_t>(source.size()), frame.data(), width,
                           1);
        for (int32_t x = 0; x < width; ++x) {
            const TPixel p = PixelAt(frame, x);
            ASSERT_EQ(p.Blue, c.Expected.Blue) << "pixel " << x;
            ASSERT_EQ(p.Green, c.Expected.Green) << "pixel " << x;
            ASSERT_EQ(p.Red, c.Expected.Red) << "pixel " << x;
            ASSERT_EQ(p.Fourth, 0) << "pixel " << x;
        }
    }
}

TEST_P(Yuy2ConversionImplementation, WritesRowsBottomUpWithOnePixelPerLuma) {
    // 5 x 3, odd width, rows padded to 16 bytes with bytes that would convert to other colours.
    const int32_t width = 5;
    const int32_t height = 3;
    const int32_t stride = 16;
    const uint8_t lumas[height][2] = {{235, 15}, {15, 235}, {255, 235}};
    TBytes source(stride * height, 0x50);
    for (int32_t r = 0; r < height; ++r) {
        for (int32_t g = 0; g < 3; ++g) {
            uint8_t* group = &source[r * stride + g * 4];
            group[0] = lumas[r][0];
            group[1] = 128;
            group[2] = lumas[r][1];
            group[3] = 128;
        }
    }
    // Grey levels of the colour cases above.
    const auto grey = [](uint8_t y) { return y == 235 ? 226 : (y == 255 ? 247 : 0); };
    TBytes frame(width * height * 4, 0xAA);
    ConvertYUY2ToRGB32(source.data(), stride, frame.data(), width, height);
    for (int32_t r = 0; r < height; ++r) {
        const int32_t frameRow = height - 1 - r;
        for (int32_t x = 0; x < width; ++x) {
            const TPixel p = PixelAt(frame, frameRow * width + x);
            const int expected = grey(lumas[r][x % 2]);
            EXPECT_EQ(p.Blue, expected) << "row " << r << " pixel " << x;
            EXPECT_EQ(p.Green, expected) << "row " << r << " pixel " << x;
            EXPECT_EQ(p.Red, expected) << "row " << r << " pixel " << x;
            EXPECT_EQ(p.Fourth, 0) << "row " << r << " pixel " << x;
        }
    }
}

TEST_P(Yuy2ConversionImplementation, ArgumentsThatDescribeNoPictureWriteNothing) {
    const TBytes source(64, 128);
    struct TCase {
        const char* Name;
        const uint8_t* Src;
        int32_t Stride, Width, Height;
        bool NullDst;
    };
    const TCase cases[] = {
        {"null source", nullptr, 16, 4, 2, false},
        {"null destination", source.data(), 16, 4, 2, true},
        {"zero width", source.data(), 16, 0, 2, false},
        {"negative width", source.data(), 16, -4, 2, false},
        {"zero height", source.data(), 16, 4, 0, false},
        {"negative height", source.data(), 16, 4, -2, false},
        {"stride shorter than a row", source.data(), 6, 4, 2, false},
        {"odd width needs its last group", source.data(), 10, 5, 2, false},
    };
    for (const TCase& c : cases) {
        TBytes frame(64, 0xAA);
        ConvertYUY2ToRGB32(c.Src, c.Stride, c.NullDst ? nullptr : frame.data(), c.Width, c.Height);
        EXPECT_EQ(frame, TBytes(64, 0xAA)) << c.Name;
    }
}

// Every (Y, U, V) combination, in rows of 65,536 groups: Y0 runs through all lumas, Y1 the other
// way round, V through all chromas, one row per U.
TEST_P(Yuy2ConversionImplementation, MatchesTheReferenceForEveryInput) {
    const int32_t groups = 65536;
    const int32_t width = groups * 2;
    TBytes source(groups * 4);
    TBytes reference(width * 4);
    TBytes frame(width * 4);
    for (int u = 0; u < 256; ++u) {
        for (int32_t i = 0; i < groups; ++i) {
            source[i * 4] = static_cast<uint8_t>(i);
            source[i * 4 + 1] = static_cast<uint8_t>(u);
            source[i * 4 + 2] = static_cast<uint8_t>(255 - (i & 255));
            source[i * 4 + 3] = static_cast<uint8_t>(i >> 8);
        }
        Yuy2ConversionScalar::ConvertYUY2ToRGB32(source.data(), groups * 4, reference.data(), width,
                                                 1);
        ConvertYUY2ToRGB32(source.data(), groups * 4, frame.data(), width, 1);
        ASSERT_EQ(frame, reference) << "U " << u;
    }
}

// Random pictures of many sizes at every alignment, with padded source rows and guard bytes
// around the destination.
TEST_P(Yuy2ConversionImplementation, MatchesTheReferenceOnRandomPictures) {
    constexpr size_t kGuard = 64;
    constexpr uint8_t kGuardByte = 0xC3;
    std::vector<int32_t> widths;
    for (int32_t w = 1; w <= 80; ++w) {
        widths.push_back(w);
    }
    for (int32_t w : {127, 128, 129, 255, 321, 640, 641, 1281}) {
        widths.push_back(w);
    }
    TRandom random(0x2545F4914F6CDD1Dull);
    for (const int32_t width : widths) {
        for (int round = 0; round < 4; ++round) {
            const int32_t height = 1 + static_cast<int32_t>(random.Next() % 3);
            const int32_t stride =
                (width + 1) / 2 * 4 + static_cast<int32_t>(random.Next() % 3) * 4;
            const size_t srcOffset = random.Next() % 32;
            const size_t dstOffset = random.Next() % 32;
            SCOPED_TRACE("width " + std::to_string(width) + " height " + std::to_string(height) +
                         " stride " + std::to_string(stride) + " offsets " +
                         std::to_string(srcOffset) + "/" + std::to_string(dstOffset));

            TBytes sourceStorage(srcOffset + static_cast<size_t>(stride) * height);
            for (uint8_t& b : sourceStorage) {
                b = (round % 2 == 0) ? random.Byte() : random.EdgeByte();
            }
            const uint8_t* source = sourceStorage.data() + srcOffset;
            const size_t frameBytes = static_cast<size_t>(width) * height * 4;

            TBytes reference(frameBytes);
            Yuy2ConversionScalar::ConvertYUY2ToRGB32(source, stride, reference.data(), width,
                                                     height);
            TBytes storage(kGuard + dstOffset + frameBytes + kGuard, kGuardByte);
            uint8_t* frame = storage.data() + kGuard + dstOffset;
            ConvertYUY2ToRGB32(source, stride, frame, width, height);

            ASSERT_EQ(TBytes(frame, frame + frameBytes), reference);
            for (size_t i = 0; i < kGuard + dstOffset; ++i) {
                ASSERT_EQ(storage[i], kGuardByte) << "before the frame, byte " << i;
            }
            for (size_t i = kGuard + dstOffset + frameBytes; i < storage.size(); ++i) {
                ASSERT_EQ(storage[i], kGuardByte) << "after the frame, byte " << i;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(, Yuy2ConversionImplementation, ::testing::ValuesIn(kImplementations),
                         ImplementationName);

TEST(Yuy2ConversionDispatch, UsesTheFastestImplementationTheCpuRuns) {
    ASSERT_TRUE(SelectYuy2ConversionImplementation("default"));
#if defined(__x86_64__) || defined(_M_X64)
    EXPECT_STREQ(Yuy2ConversionImplementationName(),
                 __builtin_cpu_supports("avx2") ? "avx2" : "sse2");
#else
    EXPECT_STREQ(Yuy2ConversionImplementationName(), "scalar");
#endif
    EXPECT_FALSE(SelectYuy2ConversionImplementation("mmx"));
    EXPECT_TRUE(SelectYuy2ConversionImplementation(nullptr));
}

}  // namespace
