#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "detection/MotionDetectionManager.h"
#include "detection/PixelKernels.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
constexpr size_t kFrameBytes = size_t{kWidth} * kHeight * 4;

// Frames with a little noise so that the count is neither 0 nor everything.
std::vector<std::vector<uint8_t>> MakeFrames(int count) {
    std::vector<std::vector<uint8_t>> frames(count, std::vector<uint8_t>(kFrameBytes));
    uint32_t seed = 12345;
    for (auto& frame : frames) {
        for (size_t i = 0; i < kFrameBytes; ++i) {
            seed = seed * 1664525u + 1013904223u;
            frame[i] = static_cast<uint8_t>(100 + (seed >> 28));
        }
    }
    return frames;
}

// The whole per-frame step of one full-HD zone in the simple mode, counted in place in the
// frames. frameCount frames are cycled: 16 frames (133 MB) keep every step out of cache, 2
// frames keep the working set as warm as the caches allow.
void BM_SimpleModeStep1080p(benchmark::State& state) {
    const int frameCount = static_cast<int>(state.range(0));
    const auto frames = MakeFrames(frameCount);
    TMotionDetectionManager manager;
    if (!manager.Initialize(kWidth, kHeight, 1) ||
        !manager.SetMotionDetectionRectangle({0, 0, kWidth, kHeight})) {
        state.SkipWithError("set-up failed");
        return;
    }
    int next = 0;
    uint32_t count = 0;
    for (auto _ : state) {
        const int previous = next;
        next = (next + 1) % frameCount;
        manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
            frames[next].data(), frames[previous].data(), 10, count);
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kFrameBytes) * 2);
    state.counters["activity%"] = manager.MotionActivityPrc();
    state.SetLabel(PixelKernelsImplementationName());
}

BENCHMARK(BM_SimpleModeStep1080p)
    ->Arg(16)
    ->Arg(2)
    ->ArgName("frames")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
