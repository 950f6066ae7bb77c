// Run-time choice of the YUY2 conversion: AVX2 where the CPU has it, otherwise SSE2 (part of
// every x86-64 CPU), otherwise the scalar reference.
#include "capture/Yuy2Conversion.h"

#include <atomic>

#include "capture/Yuy2ConversionImpl.h"
#include "platform/KernelChoice.h"

namespace {

struct TImplementation {
    const char* Name;
    bool NeedsAvx2;
    Yuy2ConversionDetail::TYuy2RowConverter Row;
};

constexpr TImplementation kScalar = {"scalar", false, Yuy2ConversionScalar::ConvertRow};

#if defined(__x86_64__) || defined(_M_X64)
constexpr TImplementation kSse2 = {"sse2", false, Yuy2ConversionSse2::ConvertRow};
constexpr TImplementation kAvx2 = {"avx2", true, Yuy2ConversionAvx2::ConvertRow};
const TImplementation* const kImplementations[] = {&kAvx2, &kSse2, &kScalar};
#else
const TImplementation* const kImplementations[] = {&kScalar};
#endif

constinit std::atomic<const TImplementation*> gCurrent{nullptr};

const TImplementation& Current() {
    return KernelChoice::Current(gCurrent, kImplementations);
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
    return KernelChoice::Select(gCurrent, kImplementations, name);
}
