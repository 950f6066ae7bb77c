// The planar 4:2:0 conversions (I420 and NV12): known colours at every position of their 2 x 2
// chroma blocks, bottom-up rows and odd sizes for every implementation; the argument rules;
// every vectorised implementation against the scalar reference (all inputs, random pictures of
// many sizes, padded rows, unaligned buffers, guard bytes); and equality with the YUY2
// conversion on the same picture.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "capture/PlanarYuvConversion.h"
#include "capture/Yuy2Conversion.h"

namespace {

using TBytes = std::vector<uint8_t>;

const char* const kImplementations[] = {"scalar", "sse2", "avx2"};

enum class TLayout { I420, Nv12 };
const TLayout kLayouts[] = {TLayout::I420, TLayout::Nv12};

const char* LayoutName(TLayout layout) {
    return layout == TLayout::I420 ? "I420" : "NV12";
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

// A planar picture held as separate planes with their own (possibly padded) strides, written
// through Luma/U/V and converted as I420 or as NV12 (the NV12 chroma plane is built from U and
// V on demand, with padding bytes of its own).
class TPlanarPicture {
public:
    TPlanarPicture(int32_t width, int32_t height, int32_t lumaPadding = 0,
                   int32_t chromaPadding = 0, uint8_t paddingByte = 0x5A)
        : Width(width),
          Height(height),
          ChromaWidth((width + 1) / 2),
          ChromaHeight((height + 1) / 2),
          StrideY(width + lumaPadding),
          StrideC(ChromaWidth + chromaPadding),
          StrideUV(ChromaWidth * 2 + chromaPadding),
          FY(static_cast<size_t>(StrideY) * height, paddingByte),
          FU(static_cast<size_t>(StrideC) * ChromaHeight, paddingByte),
          FV(static_cast<size_t>(StrideC) * ChromaHeight, paddingByte),
          FPaddingByte(paddingByte) {}

    uint8_t& Luma(int32_t x, int32_t y) { return FY[static_cast<size_t>(y) * StrideY + x]; }
    uint8_t& U(int32_t x, int32_t y) { return FU[static_cast<size_t>(y) * StrideC + x]; }
    uint8_t& V(int32_t x, int32_t y) { return FV[static_cast<size_t>(y) * StrideC + x]; }

    // Converts into Dst with the current implementation, or with the scalar reference.
    void Convert(TLayout layout, uint8_t* Dst, bool reference = false) const {
        if (layout == TLayout::I420) {
            (reference ? PlanarYuvConversionScalar::ConvertI420ToRGB32 : ConvertI420ToRGB32)(
                FY.data(), StrideY, FU.data(), StrideC, FV.data(), StrideC, Dst, Width, Height);
        } else {
            const TBytes uv = InterleavedChroma();
            (reference ? PlanarYuvConversionScalar::ConvertNV12ToRGB32 : ConvertNV12ToRGB32)(
                FY.data(), StrideY, uv.data(), StrideUV, Dst, Width, Height);
        }
    }
    TBytes Converted(TLayout layout, bool reference = false) const {
        TBytes frame(static_cast<size_t>(Width) * Height * 4, 0xAA);
        Convert(layout, frame.data(), reference);
        return frame;
    }

    // The same picture as YUY2 rows (each row's groups take the chroma of its row pair).
    TBytes AsYuy2() const {
        const int32_t stride = ChromaWidth * 4;
        TBytes yuy2(static_cast<size_t>(stride) * Height);
        for (int32_t y = 0; y < Height; ++y) {
            for (int32_t g = 0; g < ChromaWidth; ++g) {
                uint8_t* group = &yuy2[static_cast<size_t>(y) * stride + g * 4];
                group[0] = FY[static_cast<size_t>(y) * StrideY + g * 2];
                group[1] = FU[static_cast<size_t>(y / 2) * StrideC + g];
                group[2] = g * 2 + 1 < Width ? FY[static_cast<size_t>(y) * StrideY + g * 2 + 1] : 0;
                group[3] = FV[static_cast<size_t>(y / 2) * StrideC + g];
            }
        }
        return yuy2;
    }

    const int32_t Width, Height, ChromaWidth, ChromaHeight, StrideY, StrideC, StrideUV;

private:
    TBytes InterleavedChroma() const {
        TBytes uv(static_cast<size_t>(StrideUV) * ChromaHeight, FPaddingByte);
        for (int32_t y = 0; y < ChromaHeight; ++y) {
            for (int32_t x = 0; x < ChromaWidth; ++x) {
                uv[static_cast<size_t>(y) * StrideUV + x * 2] = FU[static_cast<size_t>(y) * StrideC + x];
                uv[static_cast<size_t>(y) * StrideUV + x * 2 + 1] =
                    FV[static_cast<size_t>(y) * StrideC + x];
            }
        }
        return uv;
    }

    TBytes FY, FU, FV;
    uint8_t FPaddingByte;
};

// Runs each test once per implementation, selected for the test's duration.
class PlanarYuvConversionImplementation : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (!SelectPlanarYuvConversionImplementation(GetParam())) {
            GTEST_SKIP() << GetParam() << " is not supported by this CPU";
        }
        ASSERT_STREQ(GetParam(), PlanarYuvConversionImplementationName());
    }
    void TearDown() override { SelectPlanarYuvConversionImplementation("default"); }
};

std::string ImplementationName(const ::testing::TestParamInfo<const char*>& info) {
    return info.param;
}

// ---- Colour cases, worked out by hand from the formula ----

struct TColourCase {
    uint8_t Y, U, V;
    uint8_t Blue, Green, Red;
};

const TColourCase kColourCases[] = {
    {235, 128, 128, 226, 226, 226},  // white
    {15, 128, 128, 0, 0, 0},         // black
    {81, 90, 240, 0, 0, 246},        // red
    {0, 128, 128, 0, 0, 0},          // below black
    {16, 128, 128, 1, 1, 1},
    {145, 54, 34, 0, 239, 0},
    {41, 240, 110, 249, 0, 0},
    {160, 200, 60, 255, 176, 41},
    {80, 20, 200, 0, 50, 181},
    // The luma and both green chroma products pass 16 bits on the way: 31680 + 6400 - 13208.
    {255, 0, 255, 0, 194, 255},
    // Sums beyond the 16-bit range either way: 31680 + 32385 and -1980 - 32640.
    {255, 255, 128, 255, 197, 247},
    {0, 0, 128, 0, 34, 0},
};
constexpr size_t kColourCount = sizeof(kColourCases) / sizeof(kColourCases[0]);

// Each 2 x 2 block gets one colour case (its luma on all four pixels, its chroma as the block's
// sample), cycling through the table; every pixel must come out as its block's case, in the
// bottom-up row. Sizes cover whole vectors, tails and odd edges.
TEST_P(PlanarYuvConversionImplementation, EveryPixelTakesTheColourOfItsChromaBlock) {
    struct TSize {
        int32_t Width, Height;
    };
    const TSize sizes[] = {{1, 1}, {2, 2}, {5, 3}, {16, 2}, {37, 5}, {64, 4}, {71, 3}, {97, 2}};
    for (const TLayout layout : kLayouts) {
        for (const TSize size : sizes) {
            SCOPED_TRACE(std::string(LayoutName(layout)) + " " + std::to_string(size.Width) + "x" +
                         std::to_string(size.Height));
            TPlanarPicture picture(size.Width, size.Height, 3, 5);
            const auto caseOf = [&](int32_t x, int32_t y) -> const TColourCase& {
                return kColourCases[(static_cast<size_t>(y / 2) * picture.ChromaWidth + x / 2 +
                                     static_cast<size_t>(size.Width)) %
                                    kColourCount];
            };
            for (int32_t y = 0; y < size.Height; ++y) {
                for (int32_t x = 0; x < size.Width; ++x) {
                    picture.Luma(x, y) = caseOf(x, y).Y;
                    picture.U(x / 2, y / 2) = caseOf(x, y).U;
                    picture.V(x / 2, y / 2) = caseOf(x, y).V;
                }
            }
            const TBytes frame = picture.Converted(layout);
            for (int32_t y = 0; y < size.Height; ++y) {
                const size_t row = static_cast<size_t>(size.Height - 1 - y) * size.Width;
                for (int32_t x = 0; x < size.Width; ++x) {
                    const TColourCase& c = caseOf(x, y);
                    const uint8_t* p = &frame[(row + x) * 4];
                    ASSERT_EQ(TBytes(p, p + 4), (TBytes{c.Blue, c.Green, c.Red, 0}))
                        << "pixel " << x << "," << y << " from Y " << int(c.Y) << " U "
                        << int(c.U) << " V " << int(c.V);
                }
            }
        }
    }
}

TEST_P(PlanarYuvConversionImplementation, ArgumentsThatDescribeNoPictureWriteNothing) {
    const TBytes plane(64, 128);
    const uint8_t* const p = plane.data();
    struct TCase {
        const char* Name;
        TLayout Layout;
        const uint8_t *Y, *U, *V;
        int32_t StrideY, StrideU, StrideV, Width, Height;
        bool NullDst;
    };
    // For NV12, U is the interleaved plane and StrideU its stride.
    const TCase cases[] = {
        {"null luma", TLayout::I420, nullptr, p, p, 8, 4, 4, 8, 2, false},
        {"null U", TLayout::I420, p, nullptr, p, 8, 4, 4, 8, 2, false},
        {"null V", TLayout::I420, p, p, nullptr, 8, 4, 4, 8, 2, false},
        {"null destination", TLayout::I420, p, p, p, 8, 4, 4, 8, 2, true},
        {"zero width", TLayout::I420, p, p, p, 8, 4, 4, 0, 2, false},
        {"negative width", TLayout::I420, p, p, p, 8, 4, 4, -8, 2, false},
        {"zero height", TLayout::I420, p, p, p, 8, 4, 4, 8, 0, false},
        {"negative height", TLayout::I420, p, p, p, 8, 4, 4, 8, -2, false},
        {"luma stride shorter than a row", TLayout::I420, p, p, p, 7, 4, 4, 8, 2, false},
        {"U stride shorter than a row", TLayout::I420, p, p, p, 8, 3, 4, 8, 2, false},
        {"V stride shorter than a row", TLayout::I420, p, p, p, 8, 4, 3, 8, 2, false},
        {"odd width needs its last chroma column", TLayout::I420, p, p, p, 9, 4, 5, 9, 2, false},
        {"negative stride", TLayout::I420, p, p, p, -8, 4, 4, 8, 2, false},
        {"null luma", TLayout::Nv12, nullptr, p, nullptr, 8, 8, 0, 8, 2, false},
        {"null chroma", TLayout::Nv12, p, nullptr, nullptr, 8, 8, 0, 8, 2, false},
        {"null destination", TLayout::Nv12, p, p, nullptr, 8, 8, 0, 8, 2, true},
        {"zero width", TLayout::Nv12, p, p, nullptr, 8, 8, 0, 0, 2, false},
        {"negative height", TLayout::Nv12, p, p, nullptr, 8, 8, 0, 8, -1, false},
        {"luma stride shorter than a row", TLayout::Nv12, p, p, nullptr, 7, 8, 0, 8, 2, false},
        {"chroma stride shorter than a row", TLayout::Nv12, p, p, nullptr, 8, 7, 0, 8, 2, false},
        {"odd width needs its last chroma pair", TLayout::Nv12, p, p, nullptr, 9, 9, 0, 9, 2,
         false},
    };
    for (const TCase& c : cases) {
        TBytes frame(128, 0xAA);
        uint8_t* dst = c.NullDst ? nullptr : frame.data();
        if (c.Layout == TLayout::I420) {
            ConvertI420ToRGB32(c.Y, c.StrideY, c.U, c.StrideU, c.V, c.StrideV, dst, c.Width,
                               c.Height);
        } else {
            ConvertNV12ToRGB32(c.Y, c.StrideY, c.U, c.StrideU, dst, c.Width, c.Height);
        }
        EXPECT_EQ(frame, TBytes(128, 0xAA)) << LayoutName(c.Layout) << ": " << c.Name;
    }
}

// Every (Y, U, V) combination in one row per U: pixel pairs run through all V values (the high
// byte of the pair index) and their two lumas through all values in opposite directions.
TEST_P(PlanarYuvConversionImplementation, MatchesTheReferenceForEveryInput) {
    const int32_t pairs = 65536;
    TPlanarPicture picture(pairs * 2, 1);
    for (const TLayout layout : kLayouts) {
        for (int u = 0; u < 256; ++u) {
            for (int32_t i = 0; i < pairs; ++i) {
                picture.Luma(i * 2, 0) = static_cast<uint8_t>(i);
                picture.Luma(i * 2 + 1, 0) = static_cast<uint8_t>(255 - (i & 255));
                picture.U(i, 0) = static_cast<uint8_t>(u);
                picture.V(i, 0) = static_cast<uint8_t>(i >> 8);
            }
            ASSERT_EQ(picture.Converted(layout), picture.Converted(layout, true))
                << LayoutName(layout) << " U " << u;
        }
    }
}

// Random pictures of every width up to 70 and some larger ones, odd and even heights, padded
// planes, unaligned destinations with guard bytes around them.
TEST_P(PlanarYuvConversionImplementation, MatchesTheReferenceOnRandomPictures) {
    constexpr size_t kGuard = 64;
    constexpr uint8_t kGuardByte = 0xC3;
    std::vector<int32_t> widths;
    for (int32_t w = 1; w <= 70; ++w) {
        widths.push_back(w);
    }
    for (int32_t w : {95, 96, 97, 127, 128, 129, 321, 640, 641, 1281}) {
        widths.push_back(w);
    }
    const int32_t heights[] = {1, 2, 3, 6, 7};
    TRandom random(0x2545F4914F6CDD1Dull);
    for (const TLayout layout : kLayouts) {
        for (const int32_t width : widths) {
            for (const int32_t height : heights) {
                const bool edges = random.Next() % 2 == 0;
                TPlanarPicture picture(width, height, static_cast<int32_t>(random.Next() % 40),
                                       static_cast<int32_t>(random.Next() % 20), random.Byte());
                for (int32_t y = 0; y < height; ++y) {
                    for (int32_t x = 0; x < width; ++x) {
                        picture.Luma(x, y) = edges ? random.EdgeByte() : random.Byte();
                    }
                }
                for (int32_t y = 0; y < picture.ChromaHeight; ++y) {
                    for (int32_t x = 0; x < picture.ChromaWidth; ++x) {
                        picture.U(x, y) = edges ? random.EdgeByte() : random.Byte();
                        picture.V(x, y) = edges ? random.EdgeByte() : random.Byte();
                    }
                }
                const size_t dstOffset = random.Next() % 32;
                SCOPED_TRACE(std::string(LayoutName(layout)) + " " + std::to_string(width) + "x" +
                             std::to_string(height) + " strides " +
                             std::to_string(picture.StrideY) + "/" +
                             std::to_string(picture.StrideC) + " offset " +
                             std::to_string(dstOffset));

                const TBytes reference = picture.Converted(layout, true);
                TBytes storage(kGuard + dstOffset + reference.size() + kGuard, kGuardByte);
                uint8_t* frame = storage.data() + kGuard + dstOffset;
                picture.Convert(layout, frame);

                ASSERT_EQ(TBytes(frame, frame + reference.size()), reference);
                for (size_t i = 0; i < kGuard + dstOffset; ++i) {
                    ASSERT_EQ(storage[i], kGuardByte) << "before the frame, byte " << i;
                }
                for (size_t i = kGuard + dstOffset + reference.size(); i < storage.size(); ++i) {
                    ASSERT_EQ(storage[i], kGuardByte) << "after the frame, byte " << i;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(, PlanarYuvConversionImplementation,
                         ::testing::ValuesIn(kImplementations), ImplementationName);

// A planar picture and the YUY2 picture with the same luma and chroma (each YUY2 row taking
// its row pair's chroma) give the same frame, whichever implementations run.
TEST(PlanarYuvConversion, GivesTheFrameOfTheYuy2ConversionOfTheSamePicture) {
    struct TSize {
        int32_t Width, Height;
    };
    const TSize sizes[] = {{1, 1}, {3, 3}, {33, 5}, {64, 4}, {321, 241}, {1280, 8}};
    TRandom random(0x9E3779B97F4A7C15ull);
    for (const char* implementation : kImplementations) {
        if (!SelectPlanarYuvConversionImplementation(implementation) ||
            !SelectYuy2ConversionImplementation(implementation)) {
            continue;
        }
        for (const TSize size : sizes) {
            TPlanarPicture picture(size.Width, size.Height, 7, 3);
            for (int32_t y = 0; y < size.Height; ++y) {
                for (int32_t x = 0; x < size.Width; ++x) {
                    picture.Luma(x, y) = random.EdgeByte();
                    picture.U(x / 2, y / 2) = random.EdgeByte();
                    picture.V(x / 2, y / 2) = random.EdgeByte();
                }
            }
            const TBytes yuy2 = picture.AsYuy2();
            TBytes expected(static_cast<size_t>(size.Width) * size.Height * 4);
            ConvertYUY2ToRGB32(yuy2.data(), picture.ChromaWidth * 4, expected.data(), size.Width,
                               size.Height);
            for (const TLayout layout : kLayouts) {
                EXPECT_EQ(picture.Converted(layout), expected)
                    << implementation << " " << LayoutName(layout) << " " << size.Width << "x"
                    << size.Height;
            }
        }
    }
    SelectPlanarYuvConversionImplementation("default");
    SelectYuy2ConversionImplementation("default");
}

TEST(PlanarYuvConversionDispatch, UsesTheFastestImplementationTheCpuRuns) {
    ASSERT_TRUE(SelectPlanarYuvConversionImplementation("default"));
#if defined(__x86_64__) || defined(_M_X64)
    EXPECT_STREQ(PlanarYuvConversionImplementationName(),
                 __builtin_cpu_supports("avx2") ? "avx2" : "sse2");
#else
    EXPECT_STREQ(PlanarYuvConversionImplementationName(), "scalar");
#endif
    EXPECT_FALSE(SelectPlanarYuvConversionImplementation("mmx"));
    EXPECT_TRUE(SelectPlanarYuvConversionImplementation(nullptr));
}

}  // namespace
