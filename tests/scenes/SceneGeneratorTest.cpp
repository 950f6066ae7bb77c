// The scene generator: the truth it reports matches what it draws, and a description always
// gives the same frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "scenes/SceneGenerator.h"

namespace {

TSceneDescription Short(const TSceneDescription& d, double seconds) {
    TSceneDescription shortened = d;
    shortened.Seconds = seconds;
    return shortened;
}

TEST(SceneGeneratorTest, SameDescriptionSameFramesAnotherSeedOthers) {
    const TSceneDescription d = Short(StandardScenes()[1], 1.0);
    const TScene a = GenerateScene(d);
    const TScene b = GenerateScene(d);
    EXPECT_EQ(a.Frames, b.Frames);
    TSceneDescription other = d;
    other.Seed += 100;
    EXPECT_NE(GenerateScene(other).Frames, a.Frames);
    ASSERT_EQ(a.Frames.size(), 10u);
    EXPECT_EQ(a.Frames[0].size(), 320u * 240u * 4u);
}

TEST(SceneGeneratorTest, WalkerCoverageIsWhatIsDrawn) {
    // A lone walker of a colour the background never has; noise off so colours are exact.
    TSceneDescription d;
    d.Name = "one walker";
    d.Seconds = 1.0;
    d.NoiseLevels = 0;
    TSceneWalker walker;
    walker.EnterSeconds = 0.25;
    walker.StartX = 100;
    walker.Top = 150;
    walker.SpeedX = 50;
    walker.Width = 20;
    walker.Height = 50;
    walker.Blue = 0;
    walker.Green = 0;
    walker.Red = 0;
    d.Walkers = {walker};
    const TScene scene = GenerateScene(d);
    for (size_t f = 0; f < scene.Frames.size(); ++f) {
        for (size_t z = 0; z < scene.Zones.size(); ++z) {
            const TRect& r = scene.Zones[z].Rect;
            int64_t black = 0;
            for (int32_t y = r.Top; y < r.Bottom; ++y) {
                for (int32_t x = r.Left; x < r.Right; ++x) {
                    const uint8_t* p = scene.Frames[f].data() + (static_cast<size_t>(y) * 320 + x) * 4;
                    black += p[0] == 0 && p[1] == 0 && p[2] == 0 ? 1 : 0;
                }
            }
            EXPECT_DOUBLE_EQ(scene.Coverage[f][z], 100.0 * black / (r.Width() * r.Height()))
                << "frame " << f << " zone " << scene.Zones[z].Name;
        }
        // Before it enters nothing is covered; afterwards about 2.3 % of the walkway.
        EXPECT_EQ(scene.Coverage[f][1] > 2.0, f >= 3) << "frame " << f;
        EXPECT_LT(scene.Coverage[f][1], 2.6) << "frame " << f;
    }
}

TEST(SceneGeneratorTest, ExposureDriftAndLightChangeTheMeanBrightness) {
    struct TCase {
        const char* Name;
        double Drift, LightOn;
        int32_t Frame;   // compared with frame 0
        double MinRise, MaxRise;  // mean level change of the wall zone
    };
    const TCase cases[] = {
        {"no change", 0, -1, 25, -0.5, 0.5},
        {"drift over 2.5 s", 10, -1, 25, 3, 9},
        {"drift over 7.5 s", 10, -1, 75, 8, 17},
        {"light on", 0, 0.5, 6, 30, 90},
    };
    for (const TCase& c : cases) {
        TSceneDescription d;
        d.Seconds = 8;
        d.DriftLevels = c.Drift;
        d.LightOnSeconds = c.LightOn;
        const TScene scene = GenerateScene(d);
        const TRect& wall = scene.Zones[0].Rect;
        const auto mean = [&](int32_t f) {
            double sum = 0;
            for (int32_t y = wall.Top; y < wall.Bottom; ++y) {
                for (int32_t x = wall.Left; x < wall.Right; ++x) {
                    sum += scene.Frames[f][(static_cast<size_t>(y) * 320 + x) * 4 + 1];
                }
            }
            return sum / (wall.Width() * wall.Height());
        };
        const double rise = mean(c.Frame) - mean(0);
        EXPECT_GE(rise, c.MinRise) << c.Name;
        EXPECT_LE(rise, c.MaxRise) << c.Name;
    }
}

}  // namespace
