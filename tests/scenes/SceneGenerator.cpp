#include "scenes/SceneGenerator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// xorshift64*: fast, and the same sequence on every machine.
class TRandom {
public:
    explicit TRandom(uint64_t seed) : FState(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t Next() {
        FState ^= FState >> 12;
        FState ^= FState << 25;
        FState ^= FState >> 27;
        return FState * 2685821657736338717ull;
    }
    // Uniform in [0, 1).
    double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

private:
    uint64_t FState;
};

// A table of standard normal values, so that drawing sensor noise costs one random number.
class TGaussianTable {
public:
    TGaussianTable() : FValues(1 << 16) {
        for (size_t i = 0; i < FValues.size(); ++i) {
            // Inverse of the normal distribution by bisection on erf: exact enough for noise.
            const double p = (static_cast<double>(i) + 0.5) / static_cast<double>(FValues.size());
            double lo = -6, hi = 6;
            for (int step = 0; step < 50; ++step) {
                const double mid = (lo + hi) / 2;
                (0.5 * std::erfc(-mid / std::numbers::sqrt2) < p ? lo : hi) = mid;
            }
            FValues[i] = static_cast<float>((lo + hi) / 2);
        }
    }
    float operator()(uint64_t random) const { return FValues[random & 0xFFFF]; }

private:
    std::vector<float> FValues;
};

const TGaussianTable& Gaussian() {
    static const TGaussianTable table;
    return table;
}

// A plane of 1/f texture in about [-1, 1]: octaves of smoothly interpolated random grids,
// each octave's amplitude proportional to its cell size.
std::vector<float> PinkTexture(int32_t Width, int32_t Height, TRandom& Random) {
    std::vector<float> plane(static_cast<size_t>(Width) * Height, 0.0f);
    double total = 0;
    for (int32_t cell = 64; cell >= 1; cell /= 2) {
        const int32_t gw = Width / cell + 2;
        const int32_t gh = Height / cell + 2;
        std::vector<float> grid(static_cast<size_t>(gw) * gh);
        for (float& g : grid) {
            g = static_cast<float>(Random.Uniform() * 2 - 1);
        }
        const double amplitude = cell;
        total += amplitude;
        for (int32_t y = 0; y < Height; ++y) {
            const double gy = static_cast<double>(y) / cell;
            const int32_t y0 = static_cast<int32_t>(gy);
            const double fy = gy - y0;
            const double sy = fy * fy * (3 - 2 * fy);
            for (int32_t x = 0; x < Width; ++x) {
                const double gx = static_cast<double>(x) / cell;
                const int32_t x0 = static_cast<int32_t>(gx);
                const double fx = gx - x0;
                const double sx = fx * fx * (3 - 2 * fx);
                const float* row0 = grid.data() + static_cast<size_t>(y0) * gw + x0;
                const float* row1 = row0 + gw;
                const double top = row0[0] + (row0[1] - row0[0]) * sx;
                const double bottom = row1[0] + (row1[1] - row1[0]) * sx;
                plane[static_cast<size_t>(y) * Width + x] +=
                    static_cast<float>(amplitude * (top + (bottom - top) * sy));
            }
        }
    }
    for (float& v : plane) {
        v = static_cast<float>(v / total * 2.5);
    }
    return plane;
}

struct TColour {
    double Blue, Green, Red;
};

bool Inside(const TRect& r, int32_t x, int32_t y) {
    return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
}

// Where things are, relative to the frame size.
struct TLayout {
    TRect Facade, Sky, Crown, Pavement;
    std::vector<TRect> Windows;
    TLayout(int32_t w, int32_t h) {
        Facade = {0, 0, w / 2 + w / 16, h / 2 + h / 16};
        Sky = {Facade.Right, 0, w, Facade.Bottom};
        Crown = {Sky.Left + w / 16, h / 24, w - w / 32, Facade.Bottom - h / 12};
        Pavement = {0, Facade.Bottom, w, h};
        for (int32_t row = 0; row < 3; ++row) {
            for (int32_t col = 0; col < 4; ++col) {
                const int32_t left = w / 32 + col * (Facade.Width() / 4);
                const int32_t top = h / 24 + row * (Facade.Height() / 3);
                Windows.push_back({left, top, left + w / 16, top + h / 12});
            }
        }
    }
};

}  // namespace

std::vector<TSceneZone> SceneZones(int32_t Width, int32_t Height) {
    const TLayout layout(Width, Height);
    // The wall zone keeps off the walkway; the walkway zone is the pavement below it.
    return {
        {"wall", {Width / 32, Height / 24, layout.Facade.Right - Width / 32,
                  layout.Facade.Bottom - Height / 24}},
        {"walkway", {0, layout.Pavement.Top + Height / 24, Width, Height}},
        {"tree", {layout.Sky.Left + Width / 32, 0, Width, layout.Facade.Bottom - Height / 24}},
    };
}

TScene GenerateScene(const TSceneDescription& d) {
    TScene scene;
    scene.Description = d;
    scene.Zones = SceneZones(d.Width, d.Height);
    const int32_t w = d.Width;
    const int32_t h = d.Height;
    const size_t pixels = static_cast<size_t>(w) * h;
    TRandom random(d.Seed);
    const TLayout layout(w, h);

    // The still background, per channel, as floating point.
    const std::vector<float> texture = PinkTexture(w, h, random);
    const std::vector<float> fine = PinkTexture(w, h, random);
    std::vector<TColour> background(pixels);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const size_t i = static_cast<size_t>(y) * w + x;
            const double t = texture[i];
            TColour c;
            if (Inside(layout.Facade, x, y)) {
                // Sunlit plaster: bright and warm, with weathering.
                c = {150 + 18 * t, 175 + 18 * t, 195 + 18 * t};
                for (const TRect& window : layout.Windows) {
                    if (Inside(window, x, y)) {
                        c = {55 + 12 * fine[i], 50 + 12 * fine[i], 45 + 12 * fine[i]};
                    }
                }
            } else if (Inside(layout.Sky, x, y)) {
                c = {215 + 6 * t, 185 + 6 * t, 150 + 6 * t};
            } else {
                // Paving stones: joints every 16 pixels, texture within.
                const bool joint = x % 16 == 0 || (y - layout.Pavement.Top) % 12 == 0;
                const double base = joint ? 80 : 120;
                c = {base + 20 * t + 8 * fine[i], base + 20 * t + 8 * fine[i],
                     base + 4 + 20 * t + 8 * fine[i]};
            }
            background[i] = c;
        }
    }
    // The crown: leaves and gaps, sampled with a sway offset per frame.
    const std::vector<float> leaves = PinkTexture(w, h, random);

    const int32_t frames = static_cast<int32_t>(std::lround(d.Seconds * d.FramesPerSecond));
    std::vector<uint8_t> walkerMask(pixels);
    for (int32_t f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f) / d.FramesPerSecond;
        const double drift =
            d.DriftLevels * std::sin(2 * std::numbers::pi * t / d.DriftPeriodSeconds);
        const bool lightOn = d.LightOnSeconds >= 0 && t >= d.LightOnSeconds;
        const double swayX = d.SwayingLeaves ? 3.0 * std::sin(2 * std::numbers::pi * 0.8 * t) : 0;
        const double swayY = d.SwayingLeaves ? 1.0 * std::sin(2 * std::numbers::pi * 1.3 * t) : 0;

        std::fill(walkerMask.begin(), walkerMask.end(), uint8_t{0});
        std::vector<std::pair<size_t, TColour>> walkerPixels;
        for (size_t k = 0; k < d.Walkers.size(); ++k) {
            const TSceneWalker& p = d.Walkers[k];
            if (t < p.EnterSeconds) {
                continue;
            }
            const double left = p.StartX + p.SpeedX * (t - p.EnterSeconds);
            // A person: an elliptic body and a round head above it; stripes of the clothing.
            const double cx = left + p.Width / 2.0;
            const double headRadius = p.Width / 4.0;
            const double bodyTop = p.Top + 2 * headRadius;
            const double bodyHalfHeight = (p.Height - 2 * headRadius) / 2.0;
            const double bodyCy = bodyTop + bodyHalfHeight;
            for (int32_t y = std::max(0, static_cast<int32_t>(p.Top));
                 y < std::min(h, static_cast<int32_t>(p.Top + p.Height) + 1); ++y) {
                for (int32_t x = std::max(0, static_cast<int32_t>(left));
                     x < std::min(w, static_cast<int32_t>(left + p.Width) + 1); ++x) {
                    const double dx = (x + 0.5 - cx) / (p.Width / 2.0);
                    const double dy = (y + 0.5 - bodyCy) / bodyHalfHeight;
                    const double hx = x + 0.5 - cx;
                    const double hy = y + 0.5 - (p.Top + headRadius);
                    const bool body = dx * dx + dy * dy <= 1.0;
                    const bool head = hx * hx + hy * hy <= headRadius * headRadius;
                    if (!body && !head) {
                        continue;
                    }
                    const size_t i = static_cast<size_t>(y) * w + x;
                    const double shade = head ? 1.3 : ((y / 4) % 2 == 0 ? 1.0 : 0.85);
                    walkerMask[i] = 1;
                    walkerPixels.push_back(
                        {i, {p.Blue * shade, p.Green * shade, p.Red * shade}});
                }
            }
        }

        std::vector<TColour> light(pixels);
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) {
                const size_t i = static_cast<size_t>(y) * w + x;
                TColour c = background[i];
                if (Inside(layout.Crown, x, y)) {
                    const int32_t sx = std::clamp(static_cast<int32_t>(std::lround(x + swayX * (1 + 0.3 * std::sin(y * 0.2)))), 0, w - 1);
                    const int32_t sy = std::clamp(static_cast<int32_t>(std::lround(y + swayY)), 0, h - 1);
                    const double leaf = leaves[static_cast<size_t>(sy) * w + sx];
                    // Leaves where the texture is high, sky shows through elsewhere.
                    if (leaf > -0.2) {
                        const double shade = 70 + 60 * leaf;
                        c = {shade * 0.45, shade, shade * 0.6};
                    }
                }
                light[i] = c;
            }
        }
        for (const auto& [i, c] : walkerPixels) {
            light[i] = c;
        }

        std::vector<uint8_t> frame(pixels * 4);
        const double gain = 1.0 + drift / 128.0;
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) {
                const size_t i = static_cast<size_t>(y) * w + x;
                double lamp = 1.0, glow = 0.0;
                if (lightOn) {
                    const double gx = (x - w * 0.3) / (w * 0.4);
                    const double gy = (y - h * 0.2) / (h * 0.5);
                    lamp = 1.25;
                    glow = 40 * std::exp(-(gx * gx + gy * gy));
                }
                const double channels[3] = {light[i].Blue, light[i].Green, light[i].Red};
                for (int32_t ch = 0; ch < 3; ++ch) {
                    const double noise = d.NoiseLevels * Gaussian()(random.Next());
                    const double v = (channels[ch] * lamp + glow) * gain + noise;
                    frame[i * 4 + ch] = static_cast<uint8_t>(std::clamp(std::lround(v), 0l, 255l));
                }
                frame[i * 4 + 3] = 0;
            }
        }
        scene.Frames.push_back(std::move(frame));

        std::vector<double> coverage;
        for (const TSceneZone& zone : scene.Zones) {
            int64_t covered = 0;
            for (int32_t y = zone.Rect.Top; y < zone.Rect.Bottom; ++y) {
                for (int32_t x = zone.Rect.Left; x < zone.Rect.Right; ++x) {
                    covered += walkerMask[static_cast<size_t>(y) * w + x];
                }
            }
            coverage.push_back(100.0 * covered / (zone.Rect.Width() * zone.Rect.Height()));
        }
        scene.Coverage.push_back(std::move(coverage));
    }
    return scene;
}

std::vector<TSceneDescription> StandardScenes() {
    // Walkers on the walkway (320 x 95 pixels at 320 x 240): 20 x 50 pixels cover about 2.3 %,
    // 30 x 70 about 5 %, 44 x 90 about 9 %; 14 x 30 about 1 %.
    const auto walker = [](double enter, double startX, double speed, int32_t width,
                           int32_t height, uint8_t b, uint8_t g, uint8_t r) {
        TSceneWalker p;
        p.EnterSeconds = enter;
        p.StartX = startX;
        p.SpeedX = speed;
        p.Width = width;
        p.Height = height;
        p.Top = 235 - height;
        p.Blue = b;
        p.Green = g;
        p.Red = r;
        return p;
    };
    std::vector<TSceneDescription> scenes;

    TSceneDescription quiet;
    quiet.Name = "empty street, exposure drift";
    quiet.Seed = 11;
    quiet.DriftLevels = 10;
    scenes.push_back(quiet);

    TSceneDescription walkers;
    walkers.Name = "walkers of 1-10 %, exposure drift";
    walkers.Seed = 12;
    walkers.Seconds = 14;
    walkers.DriftLevels = 10;
    walkers.Walkers = {
        walker(2.5, -20, 90, 20, 50, 60, 60, 70),      // dark coat, 2 %
        walker(5.0, 320, -110, 30, 70, 40, 40, 170),   // red jacket, 5 %
        walker(8.0, -44, 120, 44, 90, 190, 195, 200),  // light clothes, 10 %
        walker(11.0, 320, -100, 14, 30, 150, 90, 60),  // a child in denim, 1 %
    };
    scenes.push_back(walkers);

    TSceneDescription light;
    light.Name = "light switched on at 5 s";
    light.Seed = 13;
    light.LightOnSeconds = 5;
    scenes.push_back(light);

    TSceneDescription leaves;
    leaves.Name = "swaying leaves";
    leaves.Seed = 14;
    leaves.SwayingLeaves = true;
    scenes.push_back(leaves);

    TSceneDescription busy;
    busy.Name = "walkers from the first frame";
    busy.Seed = 15;
    busy.Seconds = 8;
    busy.Walkers = {
        walker(0.0, 40, 60, 30, 70, 70, 50, 40),
        walker(0.0, 250, -80, 20, 50, 20, 60, 140),
        walker(3.0, -30, 100, 30, 70, 200, 170, 150),
    };
    scenes.push_back(busy);

    TSceneDescription all;
    all.Name = "everything: drift, leaves, light at 7 s, walkers";
    all.Seed = 16;
    all.Seconds = 15;
    all.DriftLevels = 10;
    all.SwayingLeaves = true;
    all.LightOnSeconds = 7;
    all.Walkers = {
        walker(2.5, 320, -100, 30, 70, 60, 60, 70),
        walker(4.5, -20, 80, 20, 50, 40, 40, 170),
        walker(9.0, -44, 120, 44, 90, 190, 195, 200),
        walker(12.0, 320, -90, 20, 50, 150, 90, 60),
    };
    scenes.push_back(all);
    return scenes;
}
