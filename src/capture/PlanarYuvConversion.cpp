// Run-time choice of the planar 4:2:0 conversions: AVX2 where the CPU has it, otherwise SSE2
// (part of every x86-64 CPU), otherwise the scalar reference.
#include "capture/PlanarYuvConversion.h"

#include <atomic>
#include <cstring>

#include "capture/PlanarYuvConversionImpl.h"

namespace {

using PlanarYuvConversionDetail::TI420RowConverter;
using PlanarYuvConversionDetail::TNv12RowConverter;

struct TImplementation {
    const char* Name;
    TI420RowConverter I420Row;
    TNv12RowConverter Nv12Row;
};

constexpr TImplementation kScalar = {"scalar", PlanarYuvConversionScalar::ConvertI420Row,
                                     PlanarYuvConversionScalar::ConvertNv12Row};

#if defined(__x86_64__) || defined(_M_X64)

constexpr TImplementation kSse2 = {"sse2", PlanarYuvConversionSse2::ConvertI420Row,
                                   PlanarYuvConversionSse2::ConvertNv12Row};
constexpr TImplementation kAvx2 = {"avx2", PlanarYuvConversionAvx2::ConvertI420Row,
                                   PlanarYuvConversionAvx2::ConvertNv12Row};

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

void ConvertI420ToRGB32(const uint8_t* SrcY, int32_t StrideY, const uint8_t* SrcU, int32_t StrideU,
                        const uint8_t* SrcV, int32_t StrideV, uint8_t* Dst, int32_t Width,
                        int32_t Height) {
    PlanarYuvConversionDetail::ConvertI420Frame(Current().I420Row, SrcY, StrideY, SrcU, StrideU,
                                                SrcV, StrideV, Dst, Width, Height);
}

void ConvertNV12ToRGB32(const uint8_t* SrcY, int32_t StrideY, const uint8_t* SrcUV,
                        int32_t StrideUV, uint8_t* Dst, int32_t Width, int32_t Height) {
    PlanarYuvConversionDetail::ConvertNv12Frame(Current().Nv12Row, SrcY, StrideY, SrcUV, StrideUV,
                                                Dst, Width, Height);
}

const char* PlanarYuvConversionImplementationName() {
    return Current().Name;
}

bool SelectPlanarYuvConversionImplementation(const char* name) {
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
