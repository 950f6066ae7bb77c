// Every vectorised implementation against the scalar references: random and boundary content,
// every size up to 300 bytes plus frame-like ones, unaligned buffers, guard bytes after them.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "detection/Convolution.h"
#include "detection/PixelKernels.h"
#include "detection/PixelKernelsScalar.h"
#include "detection/PixelKernelsTestSupport.h"
#include "platform/NamedThread.h"

namespace {

using TBytes = std::vector<uint8_t>;

constexpr int kGuardBytes = 40;

// A buffer that starts Offset bytes past a 64-byte boundary, followed by guard bytes.
class TPlacedBuffer {
public:
    TPlacedBuffer(int32_t size, int offset) : FSize(std::max(size, 0) + kGuardBytes) {
        Place(offset);
    }
    // A copy of other's bytes (guard bytes included) at another offset.
    TPlacedBuffer(const TPlacedBuffer& other, int offset) : FSize(other.FSize) {
        Place(offset);
        std::memcpy(FData, other.FData, FSize);
    }

    uint8_t* Data() { return FData; }
    const uint8_t* Data() const { return FData; }
    size_t Size() const { return FSize; }  // including the guard bytes
    TBytes Contents() const { return TBytes(FData, FData + FSize); }

private:
    void Place(int offset) {
        FStorage.assign(FSize + 64 + offset, 0);
        const auto base = reinterpret_cast<uintptr_t>(FStorage.data());
        FData = FStorage.data() + (64 - base % 64) % 64 + offset;
    }

    size_t FSize;
    TBytes FStorage;
    uint8_t* FData = nullptr;
};

// Content of the inputs of one case.
enum class TContent { Random, Boundary };

// xorshift64: cheap enough to draw per byte even in sanitizer builds; fixed seeds keep every
// run identical.
class TCaseGenerator {
public:
    explicit TCaseGenerator(uint64_t seed) : FState(seed * 0x9E3779B97F4A7C15ull + 1) {}

    uint64_t Next() {
        FState ^= FState << 13;
        FState ^= FState >> 7;
        FState ^= FState << 17;
        return FState;
    }
    int Uniform(int lo, int hi) {
        const uint64_t span = static_cast<uint64_t>(static_cast<int64_t>(hi) - lo) + 1;
        return static_cast<int>(lo + static_cast<int64_t>(Next() % span));
    }
    uint8_t Byte() { return static_cast<uint8_t>(Next() >> 56); }
    void FillRandom(TPlacedBuffer& b) {
        for (size_t i = 0; i < b.Size(); i += 8) {
            const uint64_t bits = Next();
            std::memcpy(b.Data() + i, &bits, std::min<size_t>(8, b.Size() - i));
        }
    }
    // A level biased to the ends of its range.
    uint8_t Level() {
        const int pick = Uniform(0, 9);
        return pick == 0   ? 0
               : pick == 1 ? 255
               : pick == 2 ? 1
                           : static_cast<uint8_t>(Uniform(0, 40));
    }
    // v moved by about the level: exactly the level, one more or one less, or unchanged.
    uint8_t NearLevel(uint8_t v, uint8_t level) {
        const int deltas[] = {0, level, level + 1, level - 1, -level, -level - 1, -level + 1};
        const int moved = v + deltas[Uniform(0, 6)];
        return static_cast<uint8_t>(std::clamp(moved, 0, 255));
    }

private:
    uint64_t FState;
};

struct TSizeCase {
    int32_t Size;
    int Offsets[3];
};

std::vector<TSizeCase> SizeCases() {
    std::vector<TSizeCase> cases;
    for (int32_t size = 0; size <= 300; ++size) {
        cases.push_back({size, {size * 5 % 32, size * 11 % 32, size * 3 % 32}});
    }
    for (int offset = 0; offset < 32; ++offset) {
        cases.push_back({257, {offset, 31 - offset, offset / 2}});
        cases.push_back({1283, {offset, offset, 0}});
    }
    const int32_t frameLike[] = {160 * 120 * 4, 161 * 121 * 4, 640 * 4 * 3 + 4, -1, -8, -300};
    for (const int32_t size : frameLike) {
        cases.push_back({size, {1, 3, 7}});
    }
    return cases;
}

class PixelKernelsMatchReference : public PixelKernelsImplementationTest {
protected:
    void SetUp() override {
        if (std::string(GetParam()) == "scalar") {
            GTEST_SKIP() << "the reference itself";
        }
        PixelKernelsImplementationTest::SetUp();
    }
};

#define EXPECT_SAME_BUFFER(reference, actual) ASSERT_EQ((reference).Contents(), (actual).Contents())

TEST_P(PixelKernelsMatchReference, PackedKernels) {
    TCaseGenerator gen(20240611);
    for (const TSizeCase& c : SizeCases()) {
        for (const TContent content : {TContent::Random, TContent::Boundary}) {
            SCOPED_TRACE(::testing::Message()
                         << "size " << c.Size << ", offsets " << c.Offsets[0] << "/" << c.Offsets[1]
                         << "/" << c.Offsets[2] << ", content " << int(content));
            const bool boundary = content == TContent::Boundary;
            TPlacedBuffer a(c.Size, c.Offsets[0]);
            TPlacedBuffer b(c.Size, c.Offsets[1]);
            TPlacedBuffer cc(c.Size, c.Offsets[2]);
            gen.FillRandom(a);
            gen.FillRandom(b);
            gen.FillRandom(cc);
            const uint8_t level = gen.Level();

            // CountDiffPixels32: boundary content moves bytes of b by about the level.
            if (boundary) {
                for (size_t i = 0; i < b.Size(); ++i) {
                    b.Data()[i] =
                        gen.Uniform(0, 3) == 0 ? gen.NearLevel(a.Data()[i], level) : a.Data()[i];
                }
            }
            {
                uint32_t expected = 0xFFFF0000u | level;
                uint32_t actual = expected;
                PixelKernelsScalar::CountDiffPixels32(a.Data(), b.Data(), expected, c.Size);
                CountDiffPixels32(a.Data(), b.Data(), actual, c.Size);
                ASSERT_EQ(expected, actual) << "CountDiffPixels32, level " << int(level);
            }

            // FillMem32, BrightnessIncrease/Decrease, MaxBytes32/MinBytes32 write a or b.
            {
                const uint32_t value = gen.Uniform(0, INT_MAX) * 2u + gen.Uniform(0, 1);
                TPlacedBuffer expected(a, c.Offsets[0]), actual(a, c.Offsets[0] ^ 5);
                PixelKernelsScalar::FillMem32(expected.Data(), c.Size, value);
                FillMem32(actual.Data(), c.Size, value);
                EXPECT_SAME_BUFFER(expected, actual) << "FillMem32";
            }
            {
                TPlacedBuffer expected(a, 0), actual(a, c.Offsets[2]);
                PixelKernelsScalar::BrightnessIncrease(expected.Data(), c.Size, level);
                BrightnessIncrease(actual.Data(), c.Size, level);
                EXPECT_SAME_BUFFER(expected, actual) << "BrightnessIncrease " << int(level);
                PixelKernelsScalar::BrightnessDecrease(expected.Data(), c.Size, level);
                BrightnessDecrease(actual.Data(), c.Size, level);
                EXPECT_SAME_BUFFER(expected, actual) << "BrightnessDecrease " << int(level);
            }
            {
                TPlacedBuffer expected(b, 0), actual(b, c.Offsets[1]);
                PixelKernelsScalar::MaxBytes32(a.Data(), expected.Data(), c.Size);
                MaxBytes32(a.Data(), actual.Data(), c.Size);
                EXPECT_SAME_BUFFER(expected, actual) << "MaxBytes32";
                PixelKernelsScalar::MinBytes32(cc.Data(), expected.Data(), c.Size);
                MinBytes32(cc.Data(), actual.Data(), c.Size);
                EXPECT_SAME_BUFFER(expected, actual) << "MinBytes32";
            }

            // MaskEnvelope32 with Min = b and Max = cc; boundary content puts most pixels just
            // inside and some one byte just outside. Then CountNonZeroPixels32 of the result.
            if (boundary) {
                for (size_t p = 0; p + 4 <= a.Size(); p += 4) {
                    const int outsideByte = gen.Uniform(0, 7);  // 4..7: all inside
                    for (int i = 0; i < 4; ++i) {
                        const uint8_t v = a.Data()[p + i];
                        const bool out = i == outsideByte;
                        b.Data()[p + i] = static_cast<uint8_t>(std::clamp(
                            v - gen.Uniform(0, 1) + (out && gen.Uniform(0, 1) ? 2 : 0), 0, 255));
                        cc.Data()[p + i] = static_cast<uint8_t>(
                            std::clamp(v + gen.Uniform(0, 1) - (out ? 2 : 0), 0, 255));
                    }
                    if (gen.Uniform(0, 4) == 0) {
                        std::memset(a.Data() + p, 0, 4);
                    }
                }
            }
            {
                TPlacedBuffer expected(a, 0), actual(a, c.Offsets[0]);
                PixelKernelsScalar::MaskEnvelope32(expected.Data(), b.Data(), cc.Data(), c.Size);
                MaskEnvelope32(actual.Data(), b.Data(), cc.Data(), c.Size);
                EXPECT_SAME_BUFFER(expected, actual) << "MaskEnvelope32";
                uint32_t expectedCount = 1;
                uint32_t actualCount = 2;
                PixelKernelsScalar::CountNonZeroPixels32(expected.Data(), c.Size, expectedCount);
                CountNonZeroPixels32(actual.Data(), c.Size, actualCount);
                ASSERT_EQ(expectedCount, actualCount) << "CountNonZeroPixels32";
            }
        }
    }
}

// ---- ConvolveRGB32 ----

struct TKernelCase {
    std::string Name;
    int32_t Kernel[9];
};

std::vector<TKernelCase> KernelCases(TCaseGenerator& gen) {
    std::vector<TKernelCase> kernels;
    kernels.push_back({"edge", {-1, -1, -1, -1, 8, -1, -1, -1, -1}});
    kernels.push_back({"identity", {0, 0, 0, 0, 1, 0, 0, 0, 0}});
    kernels.push_back({"box (divisor 9)", {1, 1, 1, 1, 1, 1, 1, 1, 1}});
    kernels.push_back({"sum of |k| 128", {64, 0, 0, 0, -64, 0, 0, 0, 0}});
    kernels.push_back({"sum of |k| 129", {64, 0, 0, 0, -64, 1, 0, 0, -1}});
    // Divisor 1, but 129 * 255 overflows 16 bits: needs 32-bit sums.
    kernels.push_back({"positive weights 129", {65, 64, 0, 0, -128, 0, 0, 0, 0}});
    kernels.push_back({"negative weights 129", {-65, -64, 0, 0, 0, 0, 0, 127, 2}});
    kernels.push_back({"int8 extremes", {127, -127, 0, 0, 0, 0, 0, 0, 1}});
    kernels.push_back({"sum -1", {0, 0, 0, 0, -3, 0, 2, 0, 0}});
    kernels.push_back({"int16 extremes", {32767, -32768, 0, 0, 1, 0, 0, 0, 0}});
    kernels.push_back({"beyond int16", {32768, 0, 0, 0, -1, 0, 0, 0, 0}});
    kernels.push_back({"INT32_MIN / -1", {INT32_MIN, 0, 0, 0, INT32_MAX, 0, 0, 0, 0}});
    for (int i = 0; i < 4; ++i) {
        TKernelCase zeroSum{"random, sum 0", {}};
        TKernelCase small{"random small", {}};
        TKernelCase wide{"random int16", {}};
        TKernelCase huge{"random int32", {}};
        int32_t sum = 0;
        for (int t = 0; t < 9; ++t) {
            zeroSum.Kernel[t] = t == 4 ? 0 : gen.Uniform(-8, 8);
            sum += zeroSum.Kernel[t];
            small.Kernel[t] = gen.Uniform(-20, 20);
            wide.Kernel[t] = gen.Uniform(-32768, 32767);
            huge.Kernel[t] = gen.Uniform(INT_MIN, INT_MAX);
        }
        zeroSum.Kernel[4] = -sum;
        kernels.push_back(zeroSum);
        kernels.push_back(small);
        kernels.push_back(wide);
        kernels.push_back(huge);
    }
    return kernels;
}

class ConvolutionMatchesReference : public PixelKernelsMatchReference {};

TEST_P(ConvolutionMatchesReference, EveryKernelSizeAndBias) {
    TCaseGenerator gen(777);
    const std::vector<TKernelCase> kernels = KernelCases(gen);
    const int32_t biases[] = {0, 0, 7, -50, 32767, -32767, 32768, -32768, INT_MAX, INT_MIN};
    struct TSize {
        int32_t Width, Height;
    };
    std::vector<TSize> sizes;
    for (int32_t w = 1; w <= 40; ++w) {
        sizes.push_back({w, 1 + w % 6});
    }
    sizes.insert(sizes.end(), {{97, 13}, {161, 9}, {10, 3}, {11, 4}, {6, 5}, {9, 9}, {64, 3}});
    int caseNumber = 0;
    for (const TSize& size : sizes) {
        for (const TKernelCase& kernel : kernels) {
            ++caseNumber;
            const int32_t bias = biases[caseNumber % std::size(biases)];
            const bool extremes = caseNumber % 3 == 0;
            SCOPED_TRACE(::testing::Message()
                         << size.Width << "x" << size.Height << ", kernel " << kernel.Name
                         << ", bias " << bias << (extremes ? ", bytes 0/255" : ""));
            const int32_t bytes = size.Width * size.Height * 4;
            TPlacedBuffer src(bytes, caseNumber % 32);
            gen.FillRandom(src);
            if (extremes) {
                for (size_t i = 0; i < src.Size(); ++i) {
                    src.Data()[i] = src.Data()[i] < 128 ? 0 : 255;
                }
            }
            TPlacedBuffer expected(bytes, 0);
            gen.FillRandom(expected);
            TPlacedBuffer actual(expected, caseNumber * 7 % 32);
            ASSERT_TRUE(ConvolveRGB32Scalar(src.Data(), expected.Data(), size.Width, size.Height,
                                            kernel.Kernel, bias));
            ASSERT_TRUE(ConvolveRGB32(src.Data(), actual.Data(), size.Width, size.Height,
                                      kernel.Kernel, bias));
            EXPECT_SAME_BUFFER(expected, actual);
        }
    }
}

INSTANTIATE_FOR_EVERY_PIXEL_KERNELS_IMPLEMENTATION(PixelKernelsMatchReference);
INSTANTIATE_FOR_EVERY_PIXEL_KERNELS_IMPLEMENTATION(ConvolutionMatchesReference);

// Kernels run on several threads at once while the implementation is switched under them;
// every result must still be exact.
TEST(PixelKernelsConcurrency, ResultsStayExactWhileTheImplementationChanges) {
    TCaseGenerator gen(99);
    constexpr int32_t kWidth = 37, kHeight = 11, kBytes = kWidth * kHeight * 4;
    TPlacedBuffer frame1(kBytes, 3), frame2(kBytes, 9);
    gen.FillRandom(frame1);
    gen.FillRandom(frame2);
    uint32_t expectedCount = 20;
    PixelKernelsScalar::CountDiffPixels32(frame1.Data(), frame2.Data(), expectedCount, kBytes);
    TBytes expectedEdges(kBytes);
    ConvolveRGB32Scalar(frame1.Data(), expectedEdges.data(), kWidth, kHeight, kEdgeKernel, 0);

    std::atomic<int> mismatches{0};
    std::atomic<int> finished{0};
    constexpr int kRounds = 300;
    TNamedThread workers[2];
    for (TNamedThread& worker : workers) {
        worker.Start("KernelsTest", [&] {
            TBytes edges(kBytes);
            for (int round = 0; round < kRounds; ++round) {
                uint32_t count = 20;
                CountDiffPixels32(frame1.Data(), frame2.Data(), count, kBytes);
                ConvolveRGB32(frame1.Data(), edges.data(), kWidth, kHeight, kEdgeKernel, 0);
                if (count != expectedCount || edges != expectedEdges) {
                    mismatches.fetch_add(1);
                }
            }
            finished.fetch_add(1);
        });
    }
    for (int i = 0; finished.load() < 2; ++i) {  // switch for as long as the workers run
        SelectPixelKernelsImplementation(kPixelKernelsImplementations[i % 3]);
    }
    for (TNamedThread& worker : workers) {
        worker.Join();
    }
    SelectPixelKernelsImplementation("default");
    EXPECT_EQ(0, mismatches.load());
}

}  // namespace
