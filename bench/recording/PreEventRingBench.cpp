// The pre-event ring's cost per camera frame (one RGB32 frame converted into an I420 slot of a
// two-second ring at 10 frames a second), and the cost of reading one frame back out as RGB32,
// against a memcpy of one RGB32 frame into a ring of the same depth, at 1280 x 720 and
// 1920 x 1080. The ring's memory is reported as a counter.
//
// While a motion recording runs, each frame goes to the recorder's queue of ten I420 frames.
// BM_RecordingFrameConverted is that step with the ring idle (the frame converted straight into
// the queue); BM_RecordingFrameThroughRing is the step with the ring kept filling during the
// recording (converted into the ring, its I420 copy into the queue). The difference, times ten
// frames a second, is what keeping the ring filled costs while recording.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "recording/I420Conversion.h"
#include "recording/PreEventRing.h"

namespace {

constexpr int32_t kRingFrames = 20;  // 2 s at 10 frames a second

std::vector<uint8_t> CameraFrame(int32_t Width, int32_t Height) {
    std::vector<uint8_t> frame(static_cast<size_t>(Width) * Height * 4);
    uint32_t noise = 12345;
    for (size_t i = 0; i < frame.size(); ++i) {
        noise = noise * 1664525u + 1013904223u;
        frame[i] = static_cast<uint8_t>(((i / 5) & 0xF0) | (noise >> 28));
    }
    return frame;
}

// Argument 2 picks the conversion: 0 the fastest the CPU has, 1 the scalar reference.
void BM_PreEventRingPush(benchmark::State& State) {
    const auto w = static_cast<int32_t>(State.range(0));
    const auto h = static_cast<int32_t>(State.range(1));
    const char* implementation = State.range(2) == 1 ? "scalar" : "default";
    SelectI420ConversionImplementation(implementation);
    State.SetLabel(I420ConversionImplementationName());
    const std::vector<uint8_t> frame = CameraFrame(w, h);
    TPreEventRing ring;
    ring.Configure(w, h, kRingFrames);
    double time = 0;
    for (auto _ : State) {
        ring.Push(frame.data(), static_cast<int32_t>(frame.size()), time);
        time += 1.0;
        benchmark::ClobberMemory();
    }
    State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) *
                            static_cast<int64_t>(frame.size()));
    State.counters["ring_MB"] = static_cast<double>(ring.AllocatedBytes()) / (1024.0 * 1024.0);
    SelectI420ConversionImplementation("default");
}

void BM_PreEventRingReadBack(benchmark::State& State) {
    const auto w = static_cast<int32_t>(State.range(0));
    const auto h = static_cast<int32_t>(State.range(1));
    const std::vector<uint8_t> frame = CameraFrame(w, h);
    TPreEventRing ring;
    ring.Configure(w, h, kRingFrames);
    for (int32_t i = 0; i < kRingFrames; ++i) {
        ring.Push(frame.data(), static_cast<int32_t>(frame.size()), i);
    }
    std::vector<uint8_t> out(frame.size());
    int32_t index = 0;
    for (auto _ : State) {
        ring.CopyRgb32At(index, out.data());
        index = (index + 1) % kRingFrames;
        benchmark::ClobberMemory();
    }
    State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) *
                            static_cast<int64_t>(frame.size()));
}

void BM_MemcpyRgb32Ring(benchmark::State& State) {
    const auto w = static_cast<int32_t>(State.range(0));
    const auto h = static_cast<int32_t>(State.range(1));
    const std::vector<uint8_t> frame = CameraFrame(w, h);
    std::vector<uint8_t> ring(frame.size() * kRingFrames);
    size_t slot = 0;
    for (auto _ : State) {
        std::memcpy(ring.data() + slot * frame.size(), frame.data(), frame.size());
        slot = (slot + 1) % kRingFrames;
        benchmark::ClobberMemory();
    }
    State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) *
                            static_cast<int64_t>(frame.size()));
    State.counters["ring_MB"] = static_cast<double>(ring.size()) / (1024.0 * 1024.0);
}

constexpr int32_t kQueueFrames = 10;

void BM_RecordingFrameConverted(benchmark::State& State) {
    const auto w = static_cast<int32_t>(State.range(0));
    const auto h = static_cast<int32_t>(State.range(1));
    const std::vector<uint8_t> frame = CameraFrame(w, h);
    const size_t i420 = I420FrameBytes(w, h);
    std::vector<uint8_t> queue(i420 * kQueueFrames);
    size_t slot = 0;
    for (auto _ : State) {
        ConvertRgb32BottomUpToI420(frame.data(), w, h, queue.data() + slot * i420);
        slot = (slot + 1) % kQueueFrames;
        benchmark::ClobberMemory();
    }
}

void BM_RecordingFrameThroughRing(benchmark::State& State) {
    const auto w = static_cast<int32_t>(State.range(0));
    const auto h = static_cast<int32_t>(State.range(1));
    const std::vector<uint8_t> frame = CameraFrame(w, h);
    const size_t i420 = I420FrameBytes(w, h);
    std::vector<uint8_t> queue(i420 * kQueueFrames);
    TPreEventRing ring;
    ring.Configure(w, h, kRingFrames);
    size_t slot = 0;
    double time = 0;
    for (auto _ : State) {
        ring.Push(frame.data(), static_cast<int32_t>(frame.size()), time);
        time += 0.1;
        std::memcpy(queue.data() + slot * i420, ring.NewestI420(), i420);
        slot = (slot + 1) % kQueueFrames;
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_RecordingFrameConverted)->Args({1280, 720})->Args({1920, 1080});
BENCHMARK(BM_RecordingFrameThroughRing)->Args({1280, 720})->Args({1920, 1080});
BENCHMARK(BM_PreEventRingPush)
    ->Args({1280, 720, 0})
    ->Args({1920, 1080, 0})
    ->Args({1280, 720, 1})
    ->Args({1920, 1080, 1});
BENCHMARK(BM_PreEventRingReadBack)->Args({1280, 720})->Args({1920, 1080});
BENCHMARK(BM_MemcpyRgb32Ring)->Args({1280, 720})->Args({1920, 1080});
