// Run-time choice of the planar 4:2:0 conversions: AVX2 where the CPU has it, otherwise SSE2
// (part of every x86-64 CPU), otherwise the scalar reference.
#include "capture/PlanarYuvConversion.h"

#include <atomic>

#include "capture/PlanarYuvConversionImpl.h"
#include "platform/KernelChoice.h"

namespace {

struct TImplementation {
    const char* Name;
    bool NeedsAvx2;
    PlanarYuvConversionDetail::TI420RowConverter I420Row;
    PlanarYuvConversionDetail::TNv12RowConverter Nv12Row;
};

constexpr TImplementation kScalar = {"scalar", false, PlanarYuvConversionScalar::ConvertI420Row,
                                     PlanarYuvConversionScalar::ConvertNv12Row};

#if defined(__x86_64__) || defined(_M_X64)
constexpr TImplementation kSse2 = {"sse2", false, PlanarYuvConversionSse2::ConvertI420Row,
                                   PlanarYuvConversionSse2::ConvertNv12Row};
constexpr TImplementation kAvx2 = {"avx2", true, PlanarYuvConversionAvx2::ConvertI420Row,
                                   PlanarYuvConversionAvx2::ConvertNv12Row};
const TImplementation* const kImplementations[] = {&kAvx2, &kSse2, &kScalar};
#else
const TImplementation* const kImplementations[] = {&kScalar};
#endif

constinit std::atomic<const TImplementation*> gCurrent{nullptr};

const TImplementation& Current() {
    return KernelChoice::Current(gCurrent, kImplementations);
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
    return KernelChoice::Select(gCurrent, kImplementations, name);
}
