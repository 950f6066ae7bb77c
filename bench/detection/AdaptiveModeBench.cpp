// The adaptive mode's per-frame step per zone pixel, beside the simple mode's step and a plain
// read of the same frame bytes, for a whole 1280 x 720 and 1920 x 1080 zone. Frames cycle
// through four noisy pictures with a moving block of about 2 % of the picture ("block": the
// usual case, changes in a band of rows), or through pictures of heavy noise ("noise", which
// the detector learns). The opening's cost when every row holds changes (its most work, which
// the step skips for rows without changes) is measured on its own. The implementation
// (scalar, sse2, avx2) is chosen per run; the label names it.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

#include "detection/AdaptiveKernels.h"
#include "detection/MotionDetectionManager.h"
#include "detection/PixelKernels.h"

namespace {

constexpr int kFrames = 4;
const char* const kImplementations[] = {"scalar", "sse2", "avx2"};

std::vector<std::vector<uint8_t>> MakeFrames(int32_t width, int32_t height, bool spread) {
    // Noise of 8 levels stays under the detector's threshold; 64 levels does not.
    const int shift = spread ? 26 : 29;
    const size_t bytes = static_cast<size_t>(width) * height * 4;
    std::vector<std::vector<uint8_t>> frames(kFrames, std::vector<uint8_t>(bytes));
    uint32_t seed = 12345;
    for (int f = 0; f < kFrames; ++f) {
        auto& frame = frames[f];
        for (size_t i = 0; i < bytes; ++i) {
            seed = seed * 1664525u + 1013904223u;
            frame[i] = static_cast<uint8_t>(100 + (seed >> shift));
        }
        // A block of about 2 % of the picture, a little further on in each frame.
        for (int32_t y = height / 3; y < height / 3 + height / 7; ++y) {
            std::memset(frame.data() + (static_cast<size_t>(y) * width + f * width / 20) * 4, 220,
                        static_cast<size_t>(width / 7) * 4);
        }
    }
    return frames;
}

void PerPixel(benchmark::State& state, int32_t width, int32_t height) {
    state.counters["ns/pixel"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * width * height * 1e-9,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Reads every byte of the new frame once (what any detector has to do at least).
void BM_PlainRead(benchmark::State& state) {
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    const auto frames = MakeFrames(width, height, false);
    int next = 0;
    for (auto _ : state) {
        next = (next + 1) % kFrames;
        const auto* words = reinterpret_cast<const uint64_t*>(frames[next].data());
        const uint64_t sum =
            std::accumulate(words, words + frames[next].size() / 8, uint64_t{0});
        benchmark::DoNotOptimize(sum);
    }
    PerPixel(state, width, height);
}

// The manager's whole step for one zone covering the frame, in the given mode.
void BM_ModeStep(benchmark::State& state) {
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    const auto mode = static_cast<int32_t>(state.range(2));
    const char* implementation = kImplementations[state.range(3)];
    const bool spread = state.range(4) != 0;
    if (!SelectPixelKernelsImplementation(implementation)) {
        state.SkipWithError("implementation not supported by this CPU");
        return;
    }
    const auto frames = MakeFrames(width, height, spread);
    TMotionDetectionManager manager;
    manager.SetTimePerFrameMS(40);
    if (!manager.Initialize(width, height, mode) ||
        !manager.SetMotionDetectionRectangle({0, 0, width, height})) {
        state.SkipWithError("set-up failed");
        SelectPixelKernelsImplementation("default");
        return;
    }
    manager.SetMotionDetectionSensitivity(80);
    int next = 0;
    uint32_t count = 0;
    for (auto _ : state) {
        const int previous = next;
        next = (next + 1) % kFrames;
        manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
            frames[next].data(), frames[previous].data(), 10, count);
        benchmark::DoNotOptimize(count);
    }
    PerPixel(state, width, height);
    state.counters["activity%"] = manager.MotionActivityPrc();
    state.SetLabel(std::string("mode ") + std::to_string(mode) + ", " + implementation +
                   (spread ? ", noise" : ", block"));
    SelectPixelKernelsImplementation("default");
}

// The gate, opening and count over a whole zone whose rows all hold changes (half the pixels
// changed, at random).
void BM_OpeningEveryRow(benchmark::State& state) {
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    const size_t size = static_cast<size_t>(width) * height;
    std::vector<uint8_t> mask(size), altered(size, 0xFF), scratch(static_cast<size_t>(width) * 6);
    uint32_t seed = 777;
    for (uint8_t& m : mask) {
        seed = seed * 1664525u + 1013904223u;
        m = (seed >> 31) != 0 ? 0xFF : 0;
    }
    const std::vector<uint32_t> rowChanged(static_cast<size_t>(height), 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(AdaptiveGatedOpeningCount(altered.data(), mask.data(),
                                                           rowChanged.data(), scratch.data(),
                                                           width, height));
    }
    PerPixel(state, width, height);
    state.SetLabel(PixelKernelsImplementationName());
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({1280, 720})->Args({1920, 1080});
}

void StepArgs(benchmark::internal::Benchmark* b) {
    for (const auto& size : {std::pair{1280, 720}, std::pair{1920, 1080}}) {
        b->Args({size.first, size.second, 1, 2, 0});  // mode 1 with its best kernels
        for (int implementation = 0; implementation < 3; ++implementation) {
            b->Args({size.first, size.second, 4, implementation, 0});
        }
        b->Args({size.first, size.second, 4, 2, 1});
    }
}

BENCHMARK(BM_PlainRead)->Apply(Sizes)->ArgNames({"w", "h"})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpeningEveryRow)->Apply(Sizes)->ArgNames({"w", "h"})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModeStep)
    ->Apply(StepArgs)
    ->ArgNames({"w", "h", "mode", "impl", "spread"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
