#include "detection/PixelKernels.h"

#include <atomic>
#include <cstring>

#include "detection/Convolution.h"
#include "detection/PixelKernelsScalar.h"
#include "detection/PixelKernelsSimd.h"

namespace PixelKernelsDetail {

namespace {

constexpr TPixelKernelTable kScalarTable = {
    "scalar",
    PixelKernelsScalar::CountDiffPixels32,
    PixelKernelsScalar::FillMem32,
    PixelKernelsScalar::BrightnessIncrease,
    PixelKernelsScalar::BrightnessDecrease,
    PixelKernelsScalar::MaxBytes32,
    PixelKernelsScalar::MinBytes32,
    PixelKernelsScalar::MaskEnvelope32,
    PixelKernelsScalar::CountNonZeroPixels32,
    ConvolveRGB32Scalar,
};

#if defined(__x86_64__) || defined(_M_X64)

constexpr TPixelKernelTable kSse2Table = {
    "sse2",
    PixelKernelsSse2::CountDiffPixels32,
    PixelKernelsSse2::FillMem32,
    PixelKernelsSse2::BrightnessIncrease,
    PixelKernelsSse2::BrightnessDecrease,
    PixelKernelsSse2::MaxBytes32,
    PixelKernelsSse2::MinBytes32,
    PixelKernelsSse2::MaskEnvelope32,
    PixelKernelsSse2::CountNonZeroPixels32,
    PixelKernelsSse2::ConvolveRGB32,
};

constexpr TPixelKernelTable kAvx2Table = {
    "avx2",
    PixelKernelsAvx2::CountDiffPixels32,
    PixelKernelsAvx2::FillMem32,
    PixelKernelsAvx2::BrightnessIncrease,
    PixelKernelsAvx2::BrightnessDecrease,
    PixelKernelsAvx2::MaxBytes32,
    PixelKernelsAvx2::MinBytes32,
    PixelKernelsAvx2::MaskEnvelope32,
    PixelKernelsAvx2::CountNonZeroPixels32,
    PixelKernelsAvx2::ConvolveRGB32,
};

// SSE2 is part of every x86-64 CPU; AVX2 needs a check (which also covers OS support).
bool CpuRuns(const TPixelKernelTable& table) {
    if (&table == &kAvx2Table) {
        return __builtin_cpu_supports("avx2");
    }
    return true;
}

const TPixelKernelTable* const kTables[] = {&kAvx2Table, &kSse2Table, &kScalarTable};

#else

bool CpuRuns(const TPixelKernelTable&) {
    return true;
}

const TPixelKernelTable* const kTables[] = {&kScalarTable};

#endif

const TPixelKernelTable* BestTable() {
    for (const TPixelKernelTable* table : kTables) {
        if (CpuRuns(*table)) {
            return table;
        }
    }
    return &kScalarTable;
}

// Null until first use, so no static-initialisation order matters. Races on the first use only
// store the same pointer twice.
constinit std::atomic<const TPixelKernelTable*> gCurrent{nullptr};

}  // namespace

const TPixelKernelTable& CurrentPixelKernels() {
    const TPixelKernelTable* table = gCurrent.load(std::memory_order_acquire);
    if (table == nullptr) {
        table = BestTable();
        gCurrent.store(table, std::memory_order_release);
    }
    return *table;
}

}  // namespace PixelKernelsDetail

using PixelKernelsDetail::CurrentPixelKernels;

void CountDiffPixels32(const void* Block1, const void* Block2, uint32_t& LevelAndCount,
                       int32_t Size) {
    CurrentPixelKernels().CountDiffPixels32(Block1, Block2, LevelAndCount, Size);
}

void FillMem32(void* Dest, int32_t Size, uint32_t Value) {
    CurrentPixelKernels().FillMem32(Dest, Size, Value);
}

void BrightnessIncrease(void* Source, int32_t Size, uint8_t Level) {
    CurrentPixelKernels().BrightnessIncrease(Source, Size, Level);
}

void BrightnessDecrease(void* Source, int32_t Size, uint8_t Level) {
    CurrentPixelKernels().BrightnessDecrease(Source, Size, Level);
}

void MaxBytes32(const void* Source, void* Dest, int32_t Size) {
    CurrentPixelKernels().MaxBytes32(Source, Dest, Size);
}

void MinBytes32(const void* Source, void* Dest, int32_t Size) {
    CurrentPixelKernels().MinBytes32(Source, Dest, Size);
}

void MaskEnvelope32(void* Frame, const void* Min, const void* Max, int32_t Size) {
    CurrentPixelKernels().MaskEnvelope32(Frame, Min, Max, Size);
}

void CountNonZeroPixels32(const void* Frame, int32_t Size, uint32_t& Count) {
    CurrentPixelKernels().CountNonZeroPixels32(Frame, Size, Count);
}

const char* PixelKernelsImplementationName() {
    return CurrentPixelKernels().Name;
}

bool SelectPixelKernelsImplementation(const char* name) {
    using namespace PixelKernelsDetail;
    if (name == nullptr || std::strcmp(name, "default") == 0) {
        gCurrent.store(BestTable(), std::memory_order_release);
        return true;
    }
    for (const TPixelKernelTable* table : kTables) {
        if (std::strcmp(name, table->Name) == 0 && CpuRuns(*table)) {
            gCurrent.store(table, std::memory_order_release);
            return true;
        }
    }
    return false;
}
