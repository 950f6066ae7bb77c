// Run-time choice of the YUY2 conversion: AVX2 where the CPU has it, otherwise SSE2 (part of
// every x86-64 CPU), otherwise the scalar reference.
#include "capture/Yuy2Conversion.h"

#include <atomic>
#include <cstring>

#include "capture/Yuy2ConversionImpl.h"

namespace {

using Yuy2ConversionDetail::TYuy2RowConverter;

struct TImplementation {
    const char* Name;
    TYuy2RowConverter Row;
};

constexpr TImplementation kScalar = {"scalar", Yuy2ConversionScalar::ConvertRow};

#if defined(__x86_64__) || defined(_M_X64)

constexpr TImplementation kSse2 = {"sse2", Yuy2ConversionSse2::ConvertRow};
constexpr TImplementation kAvx2 = {"avx2", Yuy2ConversionAvx2::ConvertRow};

bool CpuRuns(const TImplementation& implementation) {
    return &implementation != &kAvx2 || __builtin_cpu_supports("avx2");
}

const TImplementation* const kImplementations[] = {&kAvx2, &kSse2, &kScalar};

#else

bool CpuRuns(const TImplementation&) {
    return true;
}

const TImplementation* const kImplementations[] = {&kScalar};

#endif

const TImplementation* Best() {
    for (const TImplementation* implementation : kImplementations) {
        if (CpuRuns(*implementation)) {
            return implementation;
        }
    }
    return &kScalar;
}

// Null until first use, so static initialisation order does not matter; racing first uses only
// store the same pointer twice.
constinit std::atomic<const TImplementation*> gCurrent{nullptr};

const TImplementation& Current() {
    const TImplementation* implementation = gCurrent.load(std::memory_order_acquire);
    if (implementation == nullptr) {
        implementation = Best();
        gCurrent.store(implementation, std::memory_order_release);
    }
    return *implementation;
}

}  // namespace

void ConvertYUY2ToRGB32(const uint8_t* Src, int32_t SrcStride, uint8_t* Dst, int32_t Width,
                        int32_t Height) {
    Yuy2ConversionDetail::ConvertFrame(Current().Row, Src, SrcStride, Dst, Width, Height);
}

const char* Yuy2ConversionImplementationName() {
    return Current().Name;
}

bool SelectYuy2ConversionImplementation(const char* name) {
    if (name == nullptr || std::strcmp(name, "default") == 0) {
        gCurrent.store(Best(), std::memory_order_release);
        return true;
    }
    for (const TImplementation* implementation : kImplementations) {
        if (std::strcmp(name, implementation->Name) == 0 && CpuRuns(*implementation)) {
            gCurrent.store(implementation, std::memory_order_release);
            return true;
        }
    }
    return false;
}
