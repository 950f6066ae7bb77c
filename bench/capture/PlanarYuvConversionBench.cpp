// The I420 and NV12 to RGB32 conversions of the frame grab filter on camera-sized pictures: the
// scalar reference, SSE2 and AVX2, next to the YUY2 conversion (dispatched) of the same size,
// which is what the frame path ran before planar pictures were converted directly. "warm": the
// same input frame every iteration; "cold": input frames cycle through a 192 MB pool, so every
// iteration reads memory no cache holds. The output always goes to one frame buffer, as in the
// filter.
//
// Bytes processed are the output frame's bytes (width * height * 4) for every benchmark, so
// bytes/second compare directly across formats.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture/PlanarYuvConversion.h"
#include "capture/Yuy2Conversion.h"

namespace {

constexpr size_t kPoolBytes = size_t{192} << 20;
constexpr size_t kPage = 4096;

struct TFrameSize {
    int32_t Width, Height;
    std::string Name() const { return std::to_string(Width) + "x" + std::to_string(Height); }
    size_t Pixels() const { return static_cast<size_t>(Width) * Height; }
};

const TFrameSize kFrameSizes[] = {{1280, 720}, {1920, 1080}};

// One pool of input frames, filled once with a smooth picture plus noise; each frame size
// divides it into slots of whole pages.
class TFramePool {
public:
    static TFramePool& Instance() {
        static TFramePool pool;
        return pool;
    }

    size_t Format(size_t frameBytes) {
        FSlotBytes = (frameBytes + kPage - 1) / kPage * kPage;
        return kPoolBytes / FSlotBytes;
    }
    const uint8_t* Slot(size_t index) const { return FMemory + index * FSlotBytes; }

private:
    TFramePool() : FMemory(static_cast<uint8_t*>(std::aligned_alloc(kPage, kPoolBytes))) {
        uint64_t noise = 0x9E3779B97F4A7C15ull;
        for (size_t i = 0; i < kPoolBytes; ++i) {
            if (i % 32 == 0) {  // xorshift: 64 fresh bits for the next 32 bytes
                noise ^= noise << 13;
                noise ^= noise >> 7;
                noise ^= noise << 17;
            }
            FMemory[i] = static_cast<uint8_t>(((i / 7) & 0xF8) | ((noise >> (i % 32 * 2)) & 7));
        }
    }

    uint8_t* FMemory;
    size_t FSlotBytes = kPage;
};

// Hands out the input frame of each iteration: warm always the first, cold the next unused one.
class TFrameCycle {
public:
    TFrameCycle(size_t frameBytes, bool cold)
        : FSlots(TFramePool::Instance().Format(frameBytes)), FCold(cold) {}

    const uint8_t* Next() {
        const uint8_t* frame = TFramePool::Instance().Slot(FIndex);
        if (FCold) {
            FIndex = (FIndex + 1) % FSlots;
        }
        return frame;
    }

private:
    size_t FSlots;
    bool FCold;
    size_t FIndex = 0;
};

enum class TFormat { I420, Nv12 };

void ConvertPlanar(benchmark::State& state, TFrameSize size, bool cold, TFormat format,
                   const char* implementation) {
    if (!SelectPlanarYuvConversionImplementation(implementation)) {
        state.SkipWithError("not supported by this CPU");
        return;
    }
    const int32_t chromaWidth = (size.Width + 1) / 2;
    const size_t lumaBytes = size.Pixels();
    const size_t chromaPlaneBytes = static_cast<size_t>(chromaWidth) * ((size.Height + 1) / 2);
    TFrameCycle cycle(lumaBytes + 2 * chromaPlaneBytes, cold);
    std::vector<uint8_t> frame(size.Pixels() * 4);
    for (auto _ : state) {
        const uint8_t* source = cycle.Next();
        if (format == TFormat::I420) {
            ConvertI420ToRGB32(source, size.Width, source + lumaBytes, chromaWidth,
                               source + lumaBytes + chromaPlaneBytes, chromaWidth, frame.data(),
                               size.Width, size.Height);
        } else {
            ConvertNV12ToRGB32(source, size.Width, source + lumaBytes, chromaWidth * 2,
                               frame.data(), size.Width, size.Height);
        }
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame.size()));
    state.SetLabel(PlanarYuvConversionImplementationName());
    SelectPlanarYuvConversionImplementation("default");
}

void ConvertYuy2(benchmark::State& state, TFrameSize size, bool cold) {
    SelectYuy2ConversionImplementation("default");
    TFrameCycle cycle(size.Pixels() * 2, cold);
    std::vector<uint8_t> frame(size.Pixels() * 4);
    for (auto _ : state) {
        ConvertYUY2ToRGB32(cycle.Next(), size.Width * 2, frame.data(), size.Width, size.Height);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame.size()));
    state.SetLabel(Yuy2ConversionImplementationName());
}

const int kRegistered = [] {
    for (const TFrameSize& size : kFrameSizes) {
        for (const bool cold : {false, true}) {
            const std::string suffix = "/" + size.Name() + (cold ? "/cold" : "/warm");
            for (const char* implementation : {"scalar", "sse2", "avx2"}) {
                benchmark::RegisterBenchmark(
                    ("I420ToRgb32/" + std::string(implementation) + suffix).c_str(),
                    ConvertPlanar, size, cold, TFormat::I420, implementation);
                benchmark::RegisterBenchmark(
                    ("Nv12ToRgb32/" + std::string(implementation) + suffix).c_str(),
                    ConvertPlanar, size, cold, TFormat::Nv12, implementation);
            }
            benchmark::RegisterBenchmark(("Yuy2ToRgb32Dispatched" + suffix).c_str(), ConvertYuy2,
                                         size, cold);
        }
    }
    return 0;
}();

}  // namespace
