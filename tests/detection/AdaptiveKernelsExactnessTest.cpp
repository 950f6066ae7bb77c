// The vectorised adaptive kernels against their scalar references: random planes of every
// length up to 100 pixels plus frame-row lengths, unaligned starts, random settings within
// their ranges, masks from sparse to dense.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "detection/AdaptiveKernels.h"
#include "detection/AdaptiveKernelsImpl.h"
#include "detection/PixelKernels.h"

namespace {

struct TImplementation {
    const char* Name;
    decltype(&AdaptiveKernelsScalar::AdaptiveLumaRow) LumaRow;
    decltype(&AdaptiveKernelsScalar::AdaptiveClassify) Classify;
    decltype(&AdaptiveKernelsScalar::AdaptiveErode3x3) Erode3x3;
    decltype(&AdaptiveKernelsScalar::AdaptiveDilate3x3) Dilate3x3;
    decltype(&AdaptiveKernelsScalar::AdaptiveDilateCount3x3) DilateCount3x3;
};

#if defined(__x86_64__) || defined(_M_X64)
const TImplementation kImplementations[] = {
    {"sse2", AdaptiveKernelsSse2::AdaptiveLumaRow, AdaptiveKernelsSse2::AdaptiveClassify,
     AdaptiveKernelsSse2::AdaptiveErode3x3, AdaptiveKernelsSse2::AdaptiveDilate3x3,
     AdaptiveKernelsSse2::AdaptiveDilateCount3x3},
    {"avx2", AdaptiveKernelsAvx2::AdaptiveLumaRow, AdaptiveKernelsAvx2::AdaptiveClassify,
     AdaptiveKernelsAvx2::AdaptiveErode3x3, AdaptiveKernelsAvx2::AdaptiveDilate3x3,
     AdaptiveKernelsAvx2::AdaptiveDilateCount3x3},
};
#else
const TImplementation kImplementations[] = {
    {"scalar", AdaptiveKernelsScalar::AdaptiveLumaRow, AdaptiveKernelsScalar::AdaptiveClassify,
     AdaptiveKernelsScalar::AdaptiveErode3x3, AdaptiveKernelsScalar::AdaptiveDilate3x3,
     AdaptiveKernelsScalar::AdaptiveDilateCount3x3},
};
#endif

class AdaptiveKernelsExactnessTest : public ::testing::TestWithParam<TImplementation> {
protected:
    void SetUp() override {
        // The CPU check lives with the pixel kernels' dispatcher.
        if (!SelectPixelKernelsImplementation(GetParam().Name)) {
            GTEST_SKIP() << GetParam().Name << " is not supported by this CPU";
        }
        SelectPixelKernelsImplementation("default");
    }
    std::mt19937 FRandom{12345};

    template <typename T>
    std::vector<T> RandomPlane(size_t size, int maxValue, size_t start) {
        std::vector<T> plane(size + start);
        std::uniform_int_distribution<int> value(0, maxValue);
        for (T& v : plane) {
            v = static_cast<T>(value(FRandom));
        }
        return plane;
    }
    std::vector<uint8_t> RandomMask(size_t size, double density) {
        std::vector<uint8_t> mask(size);
        std::bernoulli_distribution set(density);
        for (uint8_t& m : mask) {
            m = set(FRandom) ? 0xFF : 0;
        }
        return mask;
    }
};

std::vector<int32_t> Lengths() {
    std::vector<int32_t> lengths;
    for (int32_t n = 0; n <= 100; ++n) {
        lengths.push_back(n);
    }
    lengths.insert(lengths.end(), {159, 160, 320, 1280, 1920});
    return lengths;
}

TEST_P(AdaptiveKernelsExactnessTest, LumaRowWritesAndSumsLikeTheReference) {
    const TImplementation& impl = GetParam();
    int64_t sumRef0 = 0, countRef0 = 0, alteredRef0 = 0;
    uint8_t scratch[1];
    for (const int32_t pixels : Lengths()) {
        for (const size_t start : {size_t{0}, size_t{1}, size_t{3}}) {
            const auto frame = RandomPlane<uint8_t>(pixels * 4, 255, start * 4);
            // Backgrounds up to their largest value; masks of every density.
            const auto background = RandomPlane<uint16_t>(pixels, 4080, start);
            const auto previous = RandomMask(pixels + start, 0.3);
            // The luma it replaces: the frame's own luma here and there, random elsewhere.
            std::vector<uint8_t> lumaRef = RandomPlane<uint8_t>(pixels, 255, start);
            for (int32_t p = 0; p < pixels; p += 3) {
                AdaptiveKernelsScalar::AdaptiveLumaRow(frame.data() + (start + p) * 4,
                                                       background.data(), previous.data(),
                                                       lumaRef.data() + start + p, scratch, 1,
                                                       sumRef0, countRef0, alteredRef0);
            }
            std::vector<uint8_t> luma = lumaRef;
            std::vector<uint8_t> alteredPlaneRef(pixels + start, 7), alteredPlane(pixels + start, 7);
            int64_t sumRef = 11, countRef = 5, alteredRef = 3, sum = 11, count = 5, altered = 3;
            AdaptiveKernelsScalar::AdaptiveLumaRow(frame.data() + start * 4,
                                                   background.data() + start,
                                                   previous.data() + start, lumaRef.data() + start,
                                                   alteredPlaneRef.data() + start, pixels, sumRef,
                                                   countRef, alteredRef);
            impl.LumaRow(frame.data() + start * 4, background.data() + start,
                         previous.data() + start, luma.data() + start,
                         alteredPlane.data() + start, pixels, sum, count, altered);
            ASSERT_EQ(luma, lumaRef) << pixels << " pixels from " << start;
            ASSERT_EQ(sum, sumRef) << pixels << " pixels from " << start;
            ASSERT_EQ(count, countRef) << pixels << " pixels from " << start;
            ASSERT_EQ(altered, alteredRef) << pixels << " pixels from " << start;
            ASSERT_EQ(alteredPlane, alteredPlaneRef) << pixels << " pixels from " << start;
        }
    }
}

TEST_P(AdaptiveKernelsExactnessTest, ClassifyUpdatesEveryPlaneLikeTheReference) {
    const TImplementation& impl = GetParam();
    std::uniform_int_distribution<int32_t> offset(-kAdaptiveMaxOffset, kAdaptiveMaxOffset);
    std::uniform_int_distribution<int32_t> threshold(0, 16 * 1024);
    std::uniform_int_distribution<int32_t> gain(0, 3);
    std::uniform_int_distribution<int32_t> shift(1, 14);
    for (const int32_t pixels : Lengths()) {
        for (const size_t start : {size_t{0}, size_t{5}}) {
            TAdaptiveClassifyParams params;
            params.Offset = offset(FRandom);
            // Small thresholds most of the time, so both outcomes occur.
            params.MinThreshold = pixels % 3 == 0 ? threshold(FRandom) : threshold(FRandom) % 256;
            params.NoiseGainShift = gain(FRandom);
            params.FastShift = shift(FRandom);
            params.SlowShift = shift(FRandom);
            params.NoiseShift = shift(FRandom);
            params.NoiseSlowShift = shift(FRandom);
            const auto luma = RandomPlane<uint8_t>(pixels, 255, start);
            auto backgroundRef = RandomPlane<uint16_t>(pixels, 4080, start);
            auto noiseRef = RandomPlane<uint16_t>(pixels, kAdaptiveNoiseClamp, start);
            std::vector<uint8_t> maskRef(pixels + start, 7);
            auto background = backgroundRef;
            auto noise = noiseRef;
            auto mask = maskRef;
            uint32_t changedRef = 99, changed = 98;
            AdaptiveKernelsScalar::AdaptiveClassify(luma.data() + start,
                                                    backgroundRef.data() + start,
                                                    noiseRef.data() + start,
                                                    maskRef.data() + start, pixels, params,
                                                    changedRef);
            impl.Classify(luma.data() + start, background.data() + start, noise.data() + start,
                          mask.data() + start, pixels, params, changed);
            ASSERT_EQ(mask, maskRef) << pixels << " pixels from " << start;
            ASSERT_EQ(background, backgroundRef) << pixels << " pixels from " << start;
            ASSERT_EQ(noise, noiseRef) << pixels << " pixels from " << start;
            ASSERT_EQ(changed, changedRef) << pixels << " pixels from " << start;
        }
    }
}

TEST_P(AdaptiveKernelsExactnessTest, OpeningMatchesTheReferenceForEveryShapeAndDensity) {
    const TImplementation& impl = GetParam();
    const int32_t widths[] = {1, 2, 3, 4, 15, 17, 18, 33, 34, 35, 64, 66, 67, 96, 97, 98, 161, 300};
    const int32_t heights[] = {1, 2, 3, 4, 7};
    for (const int32_t width : widths) {
        for (const int32_t height : heights) {
            for (const double density : {0.05, 0.5, 0.9, 1.0}) {
                const size_t size = static_cast<size_t>(width) * height;
                const auto mask = RandomMask(size, density);
                std::vector<uint8_t> erodedRef(size, 7), eroded(size, 7);
                AdaptiveKernelsScalar::AdaptiveErode3x3(mask.data(), erodedRef.data(), width,
                                                        height);
                impl.Erode3x3(mask.data(), eroded.data(), width, height);
                ASSERT_EQ(eroded, erodedRef) << width << " x " << height << " at " << density;
                std::vector<uint8_t> dilatedRef(size, 7), dilated(size, 7);
                const auto gate = RandomMask(size, 0.7);
                AdaptiveKernelsScalar::AdaptiveDilate3x3(mask.data(), gate.data(),
                                                         dilatedRef.data(), width, height);
                impl.Dilate3x3(mask.data(), gate.data(), dilated.data(), width, height);
                ASSERT_EQ(dilated, dilatedRef) << width << " x " << height << " at " << density;
                for (const std::vector<uint8_t>* plane :
                     std::initializer_list<const std::vector<uint8_t>*>{&mask, &erodedRef}) {
                    uint32_t countRef = 1, count = 2;
                    AdaptiveKernelsScalar::AdaptiveDilateCount3x3(plane->data(), width, height,
                                                                  countRef);
                    impl.DilateCount3x3(plane->data(), width, height, count);
                    ASSERT_EQ(count, countRef) << width << " x " << height << " at " << density;
                }
            }
        }
    }
}

std::string ImplementationName(const ::testing::TestParamInfo<TImplementation>& info) {
    return info.param.Name;
}

INSTANTIATE_TEST_SUITE_P(, AdaptiveKernelsExactnessTest, ::testing::ValuesIn(kImplementations),
                         ImplementationName);

}  // namespace
