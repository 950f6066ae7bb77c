#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "NoisyFrames.h"
#include "detection/MotionDetectionManager.h"
#include "detection/PixelKernels.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
constexpr size_t kFrameBytes = size_t{kWidth} * kHeight * 4;

// The whole per-frame step of one full-HD zone in the simple mode, counted in place in the
// frames. frameCount frames are cycled: 16 frames (133 MB) keep every step out of cache, 2
// frames keep the working set as warm as the caches allow.
void BM_SimpleModeStep1080p(benchmark::State& state) {
    const int frameCount = static_cast<int>(state.range(0));
    const auto frames = MakeNoisyFrames(frameCount, kFrameBytes);
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
