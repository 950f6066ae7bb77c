#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "NoisyFrames.h"
#include "detection/MotionDetectionManager.h"

namespace {

// Ten zones in a 5 x 2 grid covering the frame, the layout of a fully watched camera.
std::vector<TRect> TenZones(int32_t width, int32_t height) {
    std::vector<TRect> zones;
    for (int32_t row = 0; row < 2; ++row) {
        for (int32_t column = 0; column < 5; ++column) {
            zones.push_back({width * column / 5, height * row / 2, width * (column + 1) / 5,
                             height * (row + 1) / 2});
        }
    }
    return zones;
}

std::vector<std::unique_ptr<TMotionDetectionManager>> MakeDetectors(int32_t width, int32_t height,
                                                                    int mode) {
    std::vector<std::unique_ptr<TMotionDetectionManager>> detectors;
    for (const TRect& zone : TenZones(width, height)) {
        auto detector = std::make_unique<TMotionDetectionManager>();
        detector->SetTimePerFrameMS(100);
        if (!detector->Initialize(width, height, mode) ||
            !detector->SetMotionDetectionRectangle(zone)) {
            return {};
        }
        detector->SetMotionDetectionSensitivity(90);
        detectors.push_back(std::move(detector));
    }
    return detectors;
}

// One frame's detection step over ten zones; the time is the whole process's CPU time, so
// the threaded detectors' work is included. Args: mode, frame height (720 or 1080).
void BM_TenZoneStep(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    const int32_t height = static_cast<int32_t>(state.range(1));
    const int32_t width = height == 720 ? 1280 : 1920;
    const auto frames = MakeNoisyFrames(2, size_t(width) * height * 4);  // alternated
    auto detectors = MakeDetectors(width, height, mode);
    if (detectors.empty()) {
        state.SkipWithError("set-up failed");
        return;
    }
    int next = 0;
    uint32_t count = 0;
    for (auto _ : state) {
        const int previous = next;
        next ^= 1;
        for (auto& detector : detectors) {
            detector->MotionDecetction_CountDifferentPixelsBlock_RGB32(
                frames[next].data(), frames[previous].data(), 10, count);
            benchmark::DoNotOptimize(count);
        }
    }
}

// Heap held by ten initialised zone detectors (all buffers allocated when the zones are set).
void BM_TenZoneMemory(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    const int32_t height = static_cast<int32_t>(state.range(1));
    const int32_t width = height == 720 ? 1280 : 1920;
    double heldMB = 0;
    for (auto _ : state) {
        const struct mallinfo2 before = mallinfo2();
        auto detectors = MakeDetectors(width, height, mode);
        const struct mallinfo2 after = mallinfo2();
        heldMB = static_cast<double>((after.uordblks + after.hblkhd) -
                                     (before.uordblks + before.hblkhd)) /
                 (1024.0 * 1024.0);
        benchmark::DoNotOptimize(detectors.data());
    }
    state.counters["heldMB"] = heldMB;
}

void ModesAndSizes(benchmark::internal::Benchmark* bench) {
    for (int mode = 1; mode <= 4; ++mode) {
        for (int height : {720, 1080}) {
            bench->Args({mode, height});
        }
    }
    bench->ArgNames({"mode", "height"});
}

BENCHMARK(BM_TenZoneStep)
    ->Apply(ModesAndSizes)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TenZoneMemory)->Apply(ModesAndSizes)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
