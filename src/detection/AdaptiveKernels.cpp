#include "detection/AdaptiveKernels.h"

#include <algorithm>
#include <cstring>

#include "detection/AdaptiveKernelsImpl.h"
#include "detection/PixelKernels.h"

namespace {

struct TAdaptiveKernelTable {
    decltype(&AdaptiveKernelsScalar::AdaptiveLumaRow) LumaRow;
    decltype(&AdaptiveKernelsScalar::AdaptiveClassify) Classify;
    decltype(&AdaptiveKernelsScalar::AdaptiveErode3x3) Erode3x3;
    decltype(&AdaptiveKernelsScalar::AdaptiveDilate3x3) Dilate3x3;
    decltype(&AdaptiveKernelsScalar::AdaptiveDilateCount3x3) DilateCount3x3;
    decltype(&AdaptiveKernelsScalar::AdaptiveErodeRow) ErodeRow;
    decltype(&AdaptiveKernelsScalar::AdaptiveDilateRow) DilateRow;
    decltype(&AdaptiveKernelsScalar::AdaptiveDilateCountRow) DilateCountRow;
};

constexpr TAdaptiveKernelTable kScalar = {
    AdaptiveKernelsScalar::AdaptiveLumaRow, AdaptiveKernelsScalar::AdaptiveClassify,
    AdaptiveKernelsScalar::AdaptiveErode3x3, AdaptiveKernelsScalar::AdaptiveDilate3x3,
    AdaptiveKernelsScalar::AdaptiveDilateCount3x3, AdaptiveKernelsScalar::AdaptiveErodeRow,
    AdaptiveKernelsScalar::AdaptiveDilateRow, AdaptiveKernelsScalar::AdaptiveDilateCountRow};

#if defined(__x86_64__) || defined(_M_X64)
constexpr TAdaptiveKernelTable kSse2 = {
    AdaptiveKernelsSse2::AdaptiveLumaRow, AdaptiveKernelsSse2::AdaptiveClassify,
    AdaptiveKernelsSse2::AdaptiveErode3x3, AdaptiveKernelsSse2::AdaptiveDilate3x3,
    AdaptiveKernelsSse2::AdaptiveDilateCount3x3, AdaptiveKernelsSse2::AdaptiveErodeRow,
    AdaptiveKernelsSse2::AdaptiveDilateRow, AdaptiveKernelsSse2::AdaptiveDilateCountRow};
constexpr TAdaptiveKernelTable kAvx2 = {
    AdaptiveKernelsAvx2::AdaptiveLumaRow, AdaptiveKernelsAvx2::AdaptiveClassify,
    AdaptiveKernelsAvx2::AdaptiveErode3x3, AdaptiveKernelsAvx2::AdaptiveDilate3x3,
    AdaptiveKernelsAvx2::AdaptiveDilateCount3x3, AdaptiveKernelsAvx2::AdaptiveErodeRow,
    AdaptiveKernelsAvx2::AdaptiveDilateRow, AdaptiveKernelsAvx2::AdaptiveDilateCountRow};
#endif

// The set matching the pixel kernels in use: the dispatcher there has checked the CPU.
const TAdaptiveKernelTable& Current() {
#if defined(__x86_64__) || defined(_M_X64)
    const char* name = PixelKernelsImplementationName();
    if (std::strcmp(name, "avx2") == 0) {
        return kAvx2;
    }
    if (std::strcmp(name, "sse2") == 0) {
        return kSse2;
    }
#endif
    return kScalar;
}

}  // namespace

void AdaptiveLumaRow(const void* Frame, const uint16_t* Background, const uint8_t* PreviousMask,
                     uint8_t* Luma, uint8_t* Altered, int32_t Pixels, int64_t& DiffSum,
                     int64_t& StillCount, int64_t& AlteredCount) {
    Current().LumaRow(Frame, Background, PreviousMask, Luma, Altered, Pixels, DiffSum,
                      StillCount, AlteredCount);
}

void AdaptiveClassify(const uint8_t* Luma, uint16_t* Background, uint16_t* Noise, uint8_t* Mask,
                      int32_t Pixels, const TAdaptiveClassifyParams& Params, uint32_t& Changed) {
    // Kept within the ranges where the 16-bit lanes of the vectorised versions cannot wrap.
    TAdaptiveClassifyParams params = Params;
    params.Offset = std::clamp(params.Offset, -kAdaptiveMaxOffset, kAdaptiveMaxOffset);
    params.MinThreshold = std::clamp(params.MinThreshold, 0, 16 * 1024);
    params.NoiseGainShift = std::clamp(params.NoiseGainShift, 0, 3);
    params.FastShift = std::clamp(params.FastShift, 1, 14);
    params.SlowShift = std::clamp(params.SlowShift, 1, 14);
    params.NoiseShift = std::clamp(params.NoiseShift, 1, 14);
    params.NoiseSlowShift = std::clamp(params.NoiseSlowShift, 1, 14);
    Current().Classify(Luma, Background, Noise, Mask, Pixels, params, Changed);
}

void AdaptiveErode3x3(const uint8_t* Mask, uint8_t* Out, int32_t Width, int32_t Height) {
    Current().Erode3x3(Mask, Out, Width, Height);
}

void AdaptiveDilate3x3(const uint8_t* Mask, const uint8_t* Gate, uint8_t* Out, int32_t Width,
                       int32_t Height) {
    Current().Dilate3x3(Mask, Gate, Out, Width, Height);
}

void AdaptiveDilateCount3x3(const uint8_t* Mask, int32_t Width, int32_t Height,
                            uint32_t& Count) {
    Current().DilateCount3x3(Mask, Width, Height, Count);
}

uint32_t AdaptiveGatedOpeningCount(const uint8_t* Altered, const uint8_t* Mask,
                                   const uint32_t* RowChanged, uint8_t* Scratch, int32_t Width,
                                   int32_t Height) {
    if (Altered == nullptr || Mask == nullptr || RowChanged == nullptr || Scratch == nullptr ||
        Width <= 0 || Height <= 0) {
        return 0;
    }
    // An eroded pixel is set only where its row and the rows above and below hold changes
    // (rows in a band), so the work is done band by band (bands less than five rows apart
    // merged), each on the rows it affects: the erosion of band [a, b) reads gated rows
    // a-1 .. b and is zero at rows a-1 and b, and the count of rows a-1 .. b reads eroded rows
    // a-2 .. b+1, which are zero outside the band. Row by row, the gated and eroded rows live
    // in rings of three rows each (so in the first-level cache). The result is exactly that of
    // the whole planes.
    const TAdaptiveKernelTable& kernels = Current();
    const size_t width = static_cast<size_t>(Width);
    const auto row = [width](const uint8_t* plane, int32_t y) { return plane + y * width; };
    const auto gated = [&](int32_t y) { return Scratch + (y % 3) * width; };
    const auto eroded = [&](int32_t y) { return Scratch + (3 + y % 3) * width; };
    const auto computeGated = [&](int32_t y) {
        kernels.DilateRow(row(Altered, std::max(y - 1, 0)), row(Altered, y),
                          row(Altered, std::min(y + 1, Height - 1)), row(Mask, y), gated(y),
                          Width);
    };
    const auto inBand = [&](int32_t y) {
        return y >= 1 && y + 1 < Height && RowChanged[y - 1] > 0 && RowChanged[y] > 0 &&
               RowChanged[y + 1] > 0;
    };
    uint32_t total = 0;
    int32_t y = 0;
    while (y < Height) {
        if (!inBand(y)) {
            ++y;
            continue;
        }
        const int32_t a = y;
        int32_t b = y + 1;
        for (int32_t next = b; next < Height && next < b + 5; ++next) {
            if (inBand(next)) {
                b = next + 1;
            }
        }
        // Counted: rows a-1 .. b, with the eroded rows clipped to them.
        const auto count = [&](int32_t r) {
            return kernels.DilateCountRow(eroded(std::max(r - 1, a - 1)), eroded(r),
                                          eroded(std::min(r + 1, b)), Width);
        };
        computeGated(a - 1);
        computeGated(a);
        std::memset(eroded(a - 1), 0, width);
        for (int32_t r = a; r < b; ++r) {
            computeGated(r + 1);
            kernels.ErodeRow(gated(r - 1), gated(r), gated(r + 1), eroded(r), Width);
            total += count(r - 1);
        }
        std::memset(eroded(b), 0, width);
        total += count(b - 1);
        total += count(b);
        y = b;
    }
    return total;
}
