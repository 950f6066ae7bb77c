#include <gtest/gtest.h>

#include <vector>

#include "zones/ZoneCaptionColor.h"
#include "zones/ZoneGeometry.h"

namespace {

// The least contrast ratio that keeps small text readable.
constexpr double kReadable = 4.5;

TEST(ZoneCaptionColor, ContrastRatioRunsFromOneToTwentyOne) {
    EXPECT_NEAR(ContrastRatio(ZoneRGB(0, 0, 0), ZoneRGB(255, 255, 255)), 21.0, 1e-9);
    EXPECT_NEAR(ContrastRatio(ZoneRGB(255, 255, 255), ZoneRGB(0, 0, 0)), 21.0, 1e-9);
    EXPECT_NEAR(ContrastRatio(ZoneRGB(128, 0, 128), ZoneRGB(128, 0, 128)), 1.0, 1e-9);
    // Green counts most, blue least: the packed value is 0x00BBGGRR.
    EXPECT_GT(RelativeLuminance(ZoneRGB(0, 255, 0)), RelativeLuminance(ZoneRGB(255, 0, 0)));
    EXPECT_GT(RelativeLuminance(ZoneRGB(255, 0, 0)), RelativeLuminance(ZoneRGB(0, 0, 255)));
}

struct FillCase {
    const char* name;
    TZoneColor fill;
    TZoneColor caption;
};

TEST(ZoneCaptionColor, DarkTextOnLightFillsLightTextOnDarkOnes) {
    const std::vector<FillCase> cases = {
        {"zone default", ZoneRGB(255, 102, 102), kCaptionDark},
        {"red", ZoneRGB(255, 0, 0), kCaptionDark},
        {"yellow", ZoneRGB(255, 255, 0), kCaptionDark},
        {"white", ZoneRGB(255, 255, 255), kCaptionDark},
        {"dark red", ZoneRGB(128, 0, 0), kCaptionLight},
        {"purple", ZoneRGB(128, 0, 128), kCaptionLight},
        {"blue", ZoneRGB(0, 0, 255), kCaptionLight},
        {"black", ZoneRGB(0, 0, 0), kCaptionLight},
    };
    for (const FillCase& c : cases) {
        EXPECT_EQ(CaptionColorOn(c.fill), c.caption) << c.name;
        EXPECT_GE(ContrastRatio(CaptionColorOn(c.fill), c.fill), kReadable) << c.name;
    }
}

// The colours a flashing zone runs through, from the fills zones are given.
TEST(ZoneCaptionColor, EveryFlashingColourKeepsTheCaptionReadable) {
    for (const TZoneColor fill :
         {ZoneRGB(255, 102, 102), ZoneRGB(255, 0, 0), ZoneRGB(0, 0, 100), ZoneRGB(0, 255, 0)}) {
        int32_t increment = 0;
        for (int paint = 0; paint < 20000; ++paint) {
            const TZoneColor color = FlashingFillColor(fill, increment);
            ASSERT_GE(ContrastRatio(CaptionColorOn(color), color), kReadable)
                << std::hex << fill << " paint " << std::dec << paint;
            increment += 50;
        }
    }
}

TEST(ZoneCaptionColor, EveryColourOfACoarseGridKeepsTheCaptionReadable) {
    for (int r = 0; r < 256; r += 15) {
        for (int g = 0; g < 256; g += 15) {
            for (int b = 0; b < 256; b += 15) {
                const TZoneColor color = ZoneRGB(static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                                                 static_cast<uint8_t>(b));
                ASSERT_GE(ContrastRatio(CaptionColorOn(color), color), kReadable)
                    << r << "," << g << "," << b;
            }
        }
    }
}

}  // namespace
