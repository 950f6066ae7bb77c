// The rules of the packed pixel kernels, checked on every implementation the CPU runs.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <iterator>
#include <vector>

#include "detection/PixelKernels.h"
#include "detection/PixelKernelsTestSupport.h"

namespace {

using TPixel = std::array<uint8_t, 4>;
using TBytes = std::vector<uint8_t>;

TBytes PixelsToBytes(const std::vector<TPixel>& pixels) {
    TBytes bytes;
    for (const TPixel& p : pixels) {
        bytes.insert(bytes.end(), p.begin(), p.end());
    }
    return bytes;
}

// ---- CountDiffPixels32 ----

struct TByteChange {
    int Pixel;
    int Byte;
    uint8_t Value1;  // in Block1
    uint8_t Value2;  // in Block2
};

struct TDiffCase {
    const char* Name;
    uint32_t LevelAndCount;
    int Pixels;
    int Size;  // bytes passed; -1: Pixels * 4
    std::vector<TByteChange> Changes;
    uint32_t Expected;
};

class PixelKernelsCountDiff : public PixelKernelsImplementationTest {};

TEST_P(PixelKernelsCountDiff, CountsPixelsWithAByteBeyondTheLevel) {
    const TDiffCase cases[] = {
        {"identical blocks", 10, 40, -1, {}, 0},
        {"change of exactly the level", 10, 40, -1, {{5, 0, 100, 110}}, 0},
        {"change of level + 1", 10, 40, -1, {{5, 0, 100, 111}}, 1},
        {"decrease of exactly the level", 10, 40, -1, {{5, 2, 110, 100}}, 0},
        {"decrease of level + 1", 10, 40, -1, {{5, 2, 111, 100}}, 1},
        {"fourth byte alone", 10, 40, -1, {{17, 3, 0, 11}}, 1},
        {"several bytes of one pixel count once",
         10,
         40,
         -1,
         {{3, 0, 0, 90}, {3, 1, 200, 20}, {3, 3, 0, 255}},
         1},
        {"level 0 counts any change", 0, 40, -1, {{0, 1, 7, 8}, {39, 0, 8, 7}}, 2},
        {"level 254, full swing differs", 254, 40, -1, {{9, 1, 0, 255}}, 1},
        {"level 255 never differs", 255, 40, -1, {{9, 1, 0, 255}, {10, 3, 255, 0}}, 0},
        {"only the low byte is the level",
         0xABCDEF00u | 10,
         40,
         -1,
         {{5, 0, 100, 110}, {6, 0, 100, 111}},
         1},
        {"3 x 3 zone: the ninth pixel is not compared", 10, 9, -1, {{8, 0, 0, 200}}, 0},
        {"3 x 3 zone: the eighth pixel is", 10, 9, -1, {{7, 0, 0, 200}, {8, 1, 0, 200}}, 1},
        {"pixels across vectors and the tail",
         10,
         101,
         -1,
         {{0, 0, 0, 99},
          {31, 1, 0, 99},
          {32, 2, 0, 99},
          {63, 3, 0, 99},
          {64, 0, 0, 99},
          {99, 1, 0, 99},
          {100, 2, 0, 99}},
         6},
        {"a partial step is not examined", 10, 10, 39, {{7, 0, 0, 99}, {8, 0, 0, 99}}, 1},
        {"zero size", 10, 10, 0, {{0, 0, 0, 99}}, 0},
        {"negative size", 10, 10, -8, {{0, 0, 0, 99}}, 0},
    };
    for (const TDiffCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TBytes block1(c.Pixels * 4);
        for (size_t i = 0; i < block1.size(); ++i) {
            block1[i] = static_cast<uint8_t>(i * 37 + 11);
        }
        TBytes block2 = block1;
        for (const TByteChange& change : c.Changes) {
            block1[change.Pixel * 4 + change.Byte] = change.Value1;
            block2[change.Pixel * 4 + change.Byte] = change.Value2;
        }
        uint32_t levelAndCount = c.LevelAndCount;
        const int32_t size = c.Size == -1 ? c.Pixels * 4 : c.Size;
        CountDiffPixels32(block1.data(), block2.data(), levelAndCount, size);
        EXPECT_EQ(c.Expected, levelAndCount);
    }
}

INSTANTIATE_FOR_EVERY_PIXEL_KERNELS_IMPLEMENTATION(PixelKernelsCountDiff);

// ---- Sizes: which bytes each kernel may touch ----

constexpr uint8_t kGuard = 0x5A;
constexpr int kSlack = 40;

struct TWriter {
    const char* Name;
    std::function<void(uint8_t* buffer, int32_t size)> Run;
    uint8_t Written;  // the value every touched byte takes
    bool WholeWords;  // Size div 4 words instead of Size div 8 steps
};

class PixelKernelsSizes : public PixelKernelsImplementationTest {};

TEST_P(PixelKernelsSizes, OnlyWholeStepsAreTouched) {
    const TBytes ones(400, 0xFF);
    const TBytes zeros(400, 0x00);
    const TWriter writers[] = {
        {"FillMem32", [](uint8_t* b, int32_t s) { FillMem32(b, s, 0x77777777); }, 0x77, true},
        {"BrightnessIncrease", [](uint8_t* b, int32_t s) { BrightnessIncrease(b, s, 1); }, 0x5B,
         false},
        {"BrightnessDecrease", [](uint8_t* b, int32_t s) { BrightnessDecrease(b, s, 1); }, 0x59,
         false},
        {"MaxBytes32", [&](uint8_t* b, int32_t s) { MaxBytes32(ones.data(), b, s); }, 0xFF, false},
        {"MinBytes32", [&](uint8_t* b, int32_t s) { MinBytes32(zeros.data(), b, s); }, 0x00, false},
        {"MaskEnvelope32",
         [&](uint8_t* b, int32_t s) { MaskEnvelope32(b, zeros.data(), ones.data(), s); }, 0x00,
         false},
    };
    const int32_t sizes[] = {-9, -8, -1, 0,  1,  3,  4,  5,  7,  8,  9,  12,  15,  16,
                             17, 20, 24, 31, 32, 36, 39, 40, 44, 63, 68, 100, 129, 300};
    for (const int32_t size : sizes) {
        SCOPED_TRACE(size);
        const int32_t steps = size > 0 ? size / 8 : 0;
        for (const TWriter& writer : writers) {
            SCOPED_TRACE(writer.Name);
            const int32_t touched = writer.WholeWords ? (size > 0 ? size / 4 * 4 : 0) : steps * 8;
            TBytes buffer((size > 0 ? size : 0) + kSlack, kGuard);
            writer.Run(buffer.data(), size);
            for (int32_t i = 0; i < static_cast<int32_t>(buffer.size()); ++i) {
                ASSERT_EQ(i < touched ? writer.Written : kGuard, buffer[i]) << "byte " << i;
            }
        }
        // Every pixel of the buffers differs and is non-zero; only whole steps count.
        TBytes other((size > 0 ? size : 0) + kSlack, 0x00);
        TBytes frame(other.size(), kGuard);
        uint32_t count = 10;
        CountDiffPixels32(frame.data(), other.data(), count, size);
        EXPECT_EQ(static_cast<uint32_t>(steps * 2), count);
        count = 12345;
        CountNonZeroPixels32(frame.data(), size, count);
        EXPECT_EQ(static_cast<uint32_t>(steps * 2), count);
    }
}

TEST_P(PixelKernelsSizes, NullPointersDoNothing) {
    TBytes buffer(64, kGuard);
    uint32_t count = 10;
    CountDiffPixels32(nullptr, buffer.data(), count, 64);
    EXPECT_EQ(0u, count);
    count = 10;
    CountDiffPixels32(buffer.data(), nullptr, count, 64);
    EXPECT_EQ(0u, count);
    count = 10;
    CountNonZeroPixels32(nullptr, 64, count);
    EXPECT_EQ(0u, count);
    FillMem32(nullptr, 64, 0);
    BrightnessIncrease(nullptr, 64, 1);
    BrightnessDecrease(nullptr, 64, 1);
    MaxBytes32(nullptr, buffer.data(), 64);
    MaxBytes32(buffer.data(), nullptr, 64);
    MinBytes32(nullptr, buffer.data(), 64);
    MinBytes32(buffer.data(), nullptr, 64);
    MaskEnvelope32(nullptr, buffer.data(), buffer.data(), 64);
    MaskEnvelope32(buffer.data(), nullptr, buffer.data(), 64);
    MaskEnvelope32(buffer.data(), buffer.data(), nullptr, 64);
    EXPECT_EQ(TBytes(64, kGuard), buffer);
}

INSTANTIATE_FOR_EVERY_PIXEL_KERNELS_IMPLEMENTATION(PixelKernelsSizes);

// ---- Byte-wise kernels: the cases of a table are laid side by side in one buffer, so that
// every lane position and the scalar tail see each case. ----

class PixelKernelsBytewise : public PixelKernelsImplementationTest {};

TEST_P(PixelKernelsBytewise, FillMem32StoresTheWordInMemoryOrder) {
    TBytes buffer(70, kGuard);
    FillMem32(buffer.data() + 1, 66, 0x04030201);  // 16 words, unaligned
    EXPECT_EQ(kGuard, buffer[0]);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(i % 4 + 1, buffer[1 + i]) << i;
    }
    EXPECT_EQ(kGuard, buffer[65]);
}

TEST_P(PixelKernelsBytewise, BrightnessSaturates) {
    struct TCase {
        uint8_t Value, Level, Increased, Decreased;
    };
    const TCase cases[] = {
        {100, 10, 110, 90}, {250, 10, 255, 240}, {5, 10, 15, 0},   {0, 0, 0, 0},
        {255, 0, 255, 255}, {255, 1, 255, 254},  {0, 255, 255, 0}, {128, 255, 255, 0},
        {10, 10, 20, 0},    {245, 10, 255, 235}, {1, 1, 2, 0},
    };
    constexpr int kBytes = 88;
    for (const TCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << int(c.Value) << " with level " << int(c.Level));
        TBytes increased(kBytes, c.Value);
        TBytes decreased(kBytes, c.Value);
        BrightnessIncrease(increased.data(), kBytes, c.Level);
        BrightnessDecrease(decreased.data(), kBytes, c.Level);
        EXPECT_EQ(TBytes(kBytes, c.Increased), increased);
        EXPECT_EQ(TBytes(kBytes, c.Decreased), decreased);
    }
}

TEST_P(PixelKernelsBytewise, MaxAndMinBytesAreUnsigned) {
    struct TCase {
        uint8_t Source, Dest, Max, Min;
    };
    const TCase cases[] = {
        {10, 20, 20, 10}, {20, 10, 20, 10},     {0, 255, 255, 0},     {255, 0, 255, 0},
        {7, 7, 7, 7},     {127, 128, 128, 127}, {200, 100, 200, 100},
    };
    constexpr int kBytes = 96;
    TBytes source(kBytes), max(kBytes), min(kBytes);
    for (int i = 0; i < kBytes; ++i) {
        const TCase& c = cases[i % std::size(cases)];
        source[i] = c.Source;
        max[i] = min[i] = c.Dest;
    }
    MaxBytes32(source.data(), max.data(), kBytes);
    MinBytes32(source.data(), min.data(), kBytes);
    for (int i = 0; i < kBytes; ++i) {
        const TCase& c = cases[i % std::size(cases)];
        ASSERT_EQ(c.Max, max[i]) << "byte " << i;
        ASSERT_EQ(c.Min, min[i]) << "byte " << i;
    }
}

INSTANTIATE_FOR_EVERY_PIXEL_KERNELS_IMPLEMENTATION(PixelKernelsBytewise);

// ---- MaskEnvelope32 and CountNonZeroPixels32 ----

struct TEnvelopeCase {
    const char* Name;
    TPixel Frame, Min, Max;
    bool Cleared;
};

const TEnvelopeCase kEnvelopeCases[] = {
    {"inside", {50, 60, 70, 0}, {40, 40, 40, 0}, {80, 80, 80, 0}, true},
    {"on the lower edge", {40, 41, 42, 43}, {40, 41, 42, 43}, {90, 90, 90, 90}, true},
    {"on the upper edge", {90, 91, 92, 93}, {10, 10, 10, 10}, {90, 91, 92, 93}, true},
    {"one byte one below", {50, 39, 50, 50}, {40, 40, 40, 40}, {80, 80, 80, 80}, false},
    {"one byte one above", {50, 50, 81, 50}, {40, 40, 40, 40}, {80, 80, 80, 80}, false},
    {"fourth byte alone outside", {50, 50, 50, 9}, {40, 40, 40, 10}, {80, 80, 80, 80}, false},
    {"all-zero pixel outside", {0, 0, 0, 0}, {1, 1, 1, 1}, {9, 9, 9, 9}, false},
    {"empty envelope", {0, 128, 255, 7}, {255, 255, 255, 255}, {0, 0, 0, 0}, false},
    {"full envelope", {0, 128, 255, 7}, {0, 0, 0, 0}, {255, 255, 255, 255}, true},
    {"unsigned compare", {200, 200, 200, 200}, {100, 100, 100, 100}, {127, 255, 255, 255}, false},
};

class PixelKernelsEnvelope : public PixelKernelsImplementationTest {};

TEST_P(PixelKernelsEnvelope, MasksPixelsInsideAndCountsTheRest) {
    constexpr int kPixels = 41;  // odd: the last pixel lies beyond the last whole step
    std::vector<TPixel> frame, min, max;
    for (int i = 0; i < kPixels; ++i) {
        const TEnvelopeCase& c = kEnvelopeCases[i % std::size(kEnvelopeCases)];
        frame.push_back(c.Frame);
        min.push_back(c.Min);
        max.push_back(c.Max);
    }
    TBytes bytes = PixelsToBytes(frame);
    MaskEnvelope32(bytes.data(), PixelsToBytes(min).data(), PixelsToBytes(max).data(), kPixels * 4);
    uint32_t expectedCount = 0;
    for (int i = 0; i < kPixels; ++i) {
        const TEnvelopeCase& c = kEnvelopeCases[i % std::size(kEnvelopeCases)];
        SCOPED_TRACE(::testing::Message() << c.Name << ", pixel " << i);
        const bool cleared = c.Cleared && i < kPixels - 1;
        const TPixel expected = cleared ? TPixel{0, 0, 0, 0} : c.Frame;
        const TPixel actual = {bytes[i * 4], bytes[i * 4 + 1], bytes[i * 4 + 2], bytes[i * 4 + 3]};
        EXPECT_EQ(expected, actual);
        if (i < kPixels - 1 && expected != TPixel{0, 0, 0, 0}) {
            ++expectedCount;
        }
    }
    uint32_t count = 0;
    CountNonZeroPixels32(bytes.data(), kPixels * 4, count);
    EXPECT_EQ(expectedCount, count);
}

TEST_P(PixelKernelsEnvelope, CountNonZeroLooksAtAllFourBytes) {
    struct TCase {
        TPixel Pixel;
        bool Counts;
    };
    const TCase cases[] = {
        {{0, 0, 0, 0}, false}, {{1, 0, 0, 0}, true},    {{0, 1, 0, 0}, true},
        {{0, 0, 1, 0}, true},  {{0, 0, 0, 1}, true},    {{255, 255, 255, 255}, true},
        {{0, 0, 0, 0}, false}, {{0, 0, 0, 0x80}, true},
    };
    for (int pixels = 0; pixels <= 40; ++pixels) {
        SCOPED_TRACE(pixels);
        std::vector<TPixel> frame;
        uint32_t expected = 0;
        for (int i = 0; i < pixels; ++i) {
            const TCase& c = cases[(i * 3) % std::size(cases)];
            frame.push_back(c.Pixel);
            expected += (c.Counts && i < pixels / 2 * 2) ? 1 : 0;
        }
        const TBytes bytes = PixelsToBytes(frame);
        uint32_t count = 999;
        CountNonZeroPixels32(bytes.data(), pixels * 4, count);
        EXPECT_EQ(expected, count);
    }
}

INSTANTIATE_FOR_EVERY_PIXEL_KERNELS_IMPLEMENTATION(PixelKernelsEnvelope);

}  // namespace
