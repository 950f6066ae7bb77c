// The rules of ConvolveRGB32, checked on every implementation the CPU runs.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "detection/Convolution.h"
#include "detection/PixelKernelsTestSupport.h"

namespace {

using TBytes = std::vector<uint8_t>;

constexpr uint8_t kStale = 0xAB;  // destination content before the call

// An RGB32 image with helpers to set and read one pixel.
struct TImage {
    TImage(int32_t width, int32_t height, uint8_t fill)
        : Width(width), Height(height), Bytes(static_cast<size_t>(width) * height * 4, fill) {}

    uint8_t* At(int32_t x, int32_t y) { return &Bytes[(static_cast<size_t>(y) * Width + x) * 4]; }
    void SetColour(int32_t x, int32_t y, uint8_t value) {
        At(x, y)[0] = At(x, y)[1] = At(x, y)[2] = value;
    }

    int32_t Width;
    int32_t Height;
    TBytes Bytes;
};

class ConvolutionRules : public PixelKernelsImplementationTest {
protected:
    // Convolves src into a fresh destination full of stale bytes.
    TImage Convolve(const TImage& src, const int32_t kernel[9], int32_t bias) {
        TImage dst(src.Width, src.Height, kStale);
        EXPECT_TRUE(
            ConvolveRGB32(src.Bytes.data(), dst.Bytes.data(), src.Width, src.Height, kernel, bias));
        return dst;
    }
};

TEST_P(ConvolutionRules, UniformImageGivesAllZero) {
    for (const uint8_t value : {0, 1, 77, 255}) {
        TImage src(23, 7, value);
        EXPECT_EQ(TBytes(src.Bytes.size(), 0), Convolve(src, kEdgeKernel, 0).Bytes) << int(value);
    }
}

TEST_P(ConvolutionRules, SinglePixelOnBlackGivesOnlyItsOwnPosition) {
    // Positions inside the vector blocks, at their ends and next to the border.
    const int32_t positions[][2] = {{1, 1}, {5, 3}, {12, 4}, {22, 2}, {23, 5}, {24, 1}};
    for (const auto& pos : positions) {
        SCOPED_TRACE(::testing::Message() << pos[0] << "," << pos[1]);
        TImage src(26, 7, 0);
        src.SetColour(pos[0], pos[1], 100);
        TImage expected(26, 7, 0);
        expected.SetColour(pos[0], pos[1], 255);  // 800 clamped; the neighbours' -100 gives 0
        EXPECT_EQ(expected.Bytes, Convolve(src, kEdgeKernel, 0).Bytes);
    }
}

TEST_P(ConvolutionRules, ImagesWithoutInteriorComeOutAllZero) {
    const int32_t sizes[][2] = {{1, 1}, {2, 2}, {2, 40}, {40, 2}, {1, 9}, {9, 1}, {3, 2}, {2, 3}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(::testing::Message() << size[0] << "x" << size[1]);
        TImage src(size[0], size[1], 0);
        for (size_t i = 0; i < src.Bytes.size(); ++i) {
            src.Bytes[i] = static_cast<uint8_t>(i * 53);
        }
        EXPECT_EQ(TBytes(src.Bytes.size(), 0), Convolve(src, kEdgeKernel, 100).Bytes);
    }
}

TEST_P(ConvolutionRules, BorderAndFourthByteAreZeroed) {
    TImage src(17, 6, 0);
    for (size_t i = 0; i < src.Bytes.size(); ++i) {
        src.Bytes[i] = static_cast<uint8_t>(i * 29 + 3);
    }
    const int32_t identity[9] = {0, 0, 0, 0, 1, 0, 0, 0, 0};
    TImage dst = Convolve(src, identity, 0);
    for (int32_t y = 0; y < src.Height; ++y) {
        for (int32_t x = 0; x < src.Width; ++x) {
            SCOPED_TRACE(::testing::Message() << x << "," << y);
            const bool border = x == 0 || y == 0 || x == src.Width - 1 || y == src.Height - 1;
            for (int b = 0; b < 4; ++b) {
                EXPECT_EQ(border || b == 3 ? 0 : src.At(x, y)[b], dst.At(x, y)[b]) << "byte " << b;
            }
        }
    }
}

// Kernel [3 * c + r]: tap 1 is the pixel to the left, tap 3 the one above; one weight of 1 singles
// out a direction, so only the pixel that reads the lit source pixel through it lights up.
TEST_P(ConvolutionRules, KernelIsStoredColumnByColumn) {
    const int32_t offsets[9][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1}, {0, 0},
                                   {0, 1},   {1, -1}, {1, 0},  {1, 1}};
    for (int tap = 0; tap < 9; ++tap) {
        SCOPED_TRACE(tap);
        int32_t kernel[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
        kernel[tap] = 1;
        TImage src(20, 5, 0);
        src.SetColour(10, 2, 42);
        TImage expected(20, 5, 0);
        // The destination pixel whose tap reads (10, 2).
        expected.SetColour(10 - offsets[tap][0], 2 - offsets[tap][1], 42);
        EXPECT_EQ(expected.Bytes, Convolve(src, kernel, 0).Bytes);
    }
}

// A kernel with sum 2 (divisor 2): -1 on the centre, 3 on the pixel below it.
TEST_P(ConvolutionRules, DivisorTruncatesTowardZeroBeforeTheBias) {
    const int32_t kernel[9] = {0, 0, 0, 0, -1, 3, 0, 0, 0};
    struct TCase {
        uint8_t Centre, Below;
        int32_t Bias;
        uint8_t Expected;
    };
    const TCase cases[] = {
        {7, 0, 5, 2},        // -7 / 2 = -3 (not -4), + 5
        {0, 9, -5, 8},       // 27 / 2 = 13, - 5
        {0, 9, -13, 0},      // 13 - 13
        {0, 9, -14, 0},      // negative clamps to 0
        {1, 0, 0, 0},        // -1 / 2 = 0
        {0, 255, 200, 255},  // 382 + 200 clamps to 255
        {3, 1, 0, 0},        // 0 / 2
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << int(c.Centre) << "/" << int(c.Below) << " " << c.Bias);
        TImage src(24, 5, 0);
        src.SetColour(9, 2, c.Centre);
        src.SetColour(9, 3, c.Below);
        TImage dst = Convolve(src, kernel, c.Bias);
        EXPECT_EQ(c.Expected, dst.At(9, 2)[0]);
        EXPECT_EQ(c.Expected, dst.At(9, 2)[2]);
        EXPECT_EQ(0, dst.At(9, 2)[3]);
    }
}

// Sums are 32-bit integers: weights of 2^30 on a pixel of 4 wrap to 0.
TEST_P(ConvolutionRules, HugeWeightsWrapLike32BitIntegers) {
    TImage src(12, 3, 0);
    src.SetColour(5, 1, 4);
    const int32_t wrapping[9] = {0, 0, 0, 0, 1 << 30, 0, 0, 0, 0};
    EXPECT_EQ(7, Convolve(src, wrapping, 7).At(5, 1)[0]);  // 0 / 2^30 + 7
    // Kernel sum -1 and a weighted sum of INT32_MIN: the quotient wraps instead of trapping.
    src.SetColour(5, 1, 1);
    const int32_t minOverMinusOne[9] = {0, 0, 0, 0, INT32_MIN, 0, 0, INT32_MAX, 0};
    EXPECT_EQ(0, Convolve(src, minOverMinusOne, 0).At(5, 1)[0]);
    EXPECT_EQ(255, Convolve(src, minOverMinusOne, -1).At(5, 1)[0]);  // INT32_MIN - 1 wraps
}

TEST_P(ConvolutionRules, InvalidArgumentsFailWithoutWriting) {
    TImage src(8, 8, 10);
    TImage dst(8, 8, kStale);
    const TBytes before = dst.Bytes;
    EXPECT_FALSE(ConvolveRGB32(nullptr, dst.Bytes.data(), 8, 8, kEdgeKernel, 0));
    EXPECT_FALSE(ConvolveRGB32(src.Bytes.data(), nullptr, 8, 8, kEdgeKernel, 0));
    EXPECT_FALSE(ConvolveRGB32(src.Bytes.data(), dst.Bytes.data(), 8, 8, nullptr, 0));
    EXPECT_FALSE(ConvolveRGB32(src.Bytes.data(), dst.Bytes.data(), 0, 8, kEdgeKernel, 0));
    EXPECT_FALSE(ConvolveRGB32(src.Bytes.data(), dst.Bytes.data(), 8, 0, kEdgeKernel, 0));
    EXPECT_FALSE(ConvolveRGB32(src.Bytes.data(), dst.Bytes.data(), -8, 8, kEdgeKernel, 0));
    EXPECT_FALSE(ConvolveRGB32(src.Bytes.data(), dst.Bytes.data(), 8, -8, kEdgeKernel, 0));
    EXPECT_EQ(before, dst.Bytes);
}

INSTANTIATE_FOR_EVERY_PIXEL_KERNELS_IMPLEMENTATION(ConvolutionRules);

}  // namespace
