// The scalar reference of the planar 4:2:0 conversions and the frame loops shared by every
// implementation.
#include <cstddef>

#include "capture/PlanarYuvConversion.h"
#include "capture/PlanarYuvConversionImpl.h"
#include "capture/YuvPixel.h"

namespace {

using YuvPixel::ConvertPixel;

bool DescribesAPicture(const uint8_t* SrcY, int32_t StrideY, uint8_t* Dst, int32_t Width,
                       int32_t Height) {
    return SrcY != nullptr && Dst != nullptr && Width > 0 && Height > 0 && StrideY >= Width;
}

int64_t ChromaSamplesPerRow(int32_t Width) {
    return (static_cast<int64_t>(Width) + 1) / 2;
}

uint8_t* DestinationRow(uint8_t* Dst, int32_t Width, int32_t Height, int32_t r) {
    return Dst + static_cast<size_t>(Height - 1 - r) * static_cast<size_t>(Width) * 4;
}

}  // namespace

namespace PlanarYuvConversionDetail {

void ConvertI420Frame(TI420RowConverter row, const uint8_t* SrcY, int32_t StrideY,
                      const uint8_t* SrcU, int32_t StrideU, const uint8_t* SrcV, int32_t StrideV,
                      uint8_t* Dst, int32_t Width, int32_t Height) {
    if (!DescribesAPicture(SrcY, StrideY, Dst, Width, Height) || SrcU == nullptr ||
        SrcV == nullptr) {
        return;
    }
    const int64_t chroma = ChromaSamplesPerRow(Width);
    if (StrideU < chroma || StrideV < chroma) {
        return;
    }
    for (int32_t r = 0; r < Height; ++r) {
        row(SrcY + static_cast<ptrdiff_t>(r) * StrideY,
            SrcU + static_cast<ptrdiff_t>(r / 2) * StrideU,
            SrcV + static_cast<ptrdiff_t>(r / 2) * StrideV, DestinationRow(Dst, Width, Height, r),
            Width);
    }
}

void ConvertNv12Frame(TNv12RowConverter row, const uint8_t* SrcY, int32_t StrideY,
                      const uint8_t* SrcUV, int32_t StrideUV, uint8_t* Dst, int32_t Width,
                      int32_t Height) {
    if (!DescribesAPicture(SrcY, StrideY, Dst, Width, Height) || SrcUV == nullptr ||
        StrideUV < ChromaSamplesPerRow(Width) * 2) {
        return;
    }
    for (int32_t r = 0; r < Height; ++r) {
        row(SrcY + static_cast<ptrdiff_t>(r) * StrideY,
            SrcUV + static_cast<ptrdiff_t>(r / 2) * StrideUV, DestinationRow(Dst, Width, Height, r),
            Width);
    }
}

}  // namespace PlanarYuvConversionDetail

namespace PlanarYuvConversionScalar {

void ConvertI420Row(const uint8_t* Y, const uint8_t* U, const uint8_t* V, uint8_t* Dst,
                    int32_t Width) {
    for (int32_t x = 0; x < Width; ++x) {
        ConvertPixel(Y[x], U[x / 2], V[x / 2], Dst + x * 4);
    }
}

void ConvertNv12Row(const uint8_t* Y, const uint8_t* UV, uint8_t* Dst, int32_t Width) {
    for (int32_t x = 0; x < Width; ++x) {
        ConvertPixel(Y[x], UV[x / 2 * 2], UV[x / 2 * 2 + 1], Dst + x * 4);
    }
}

void ConvertI420ToRGB32(const uint8_t* SrcY, int32_t StrideY, const uint8_t* SrcU, int32_t StrideU,
                        const uint8_t* SrcV, int32_t StrideV, uint8_t* Dst, int32_t Width,
                        int32_t Height) {
    PlanarYuvConversionDetail::ConvertI420Frame(ConvertI420Row, SrcY, StrideY, SrcU, StrideU, SrcV,
                                                StrideV, Dst, Width, Height);
}

void ConvertNV12ToRGB32(const uint8_t* SrcY, int32_t StrideY, const uint8_t* SrcUV,
                        int32_t StrideUV, uint8_t* Dst, int32_t Width, int32_t Height) {
    PlanarYuvConversionDetail::ConvertNv12Frame(ConvertNv12Row, SrcY, StrideY, SrcUV, StrideUV, Dst,
                                                Width, Height);
}

}  // namespace PlanarYuvConversionScalar
