// The scalar reference of the YUY2 conversion and the frame loop shared by every implementation.
#include <cstddef>

#include "capture/YuvPixel.h"
#include "capture/Yuy2Conversion.h"
#include "capture/Yuy2ConversionImpl.h"

using YuvPixel::ConvertPixel;

namespace Yuy2ConversionDetail {

void ConvertFrame(TYuy2RowConverter row, const uint8_t* Src, int32_t SrcStride, uint8_t* Dst,
                  int32_t Width, int32_t Height) {
    if (Src == nullptr || Dst == nullptr || Width <= 0 || Height <= 0) {
        return;
    }
    const int64_t groupBytes = (static_cast<int64_t>(Width) + 1) / 2 * 4;
    if (SrcStride < groupBytes) {
        return;
    }
    const size_t dstRowBytes = static_cast<size_t>(Width) * 4;
    for (int32_t r = 0; r < Height; ++r) {
        row(Src + static_cast<ptrdiff_t>(r) * SrcStride,
            Dst + static_cast<size_t>(Height - 1 - r) * dstRowBytes, Width);
    }
}

}  // namespace Yuy2ConversionDetail

namespace Yuy2ConversionScalar {

void ConvertRow(const uint8_t* Src, uint8_t* Dst, int32_t Width) {
    int32_t x = 0;
    for (; x + 2 <= Width; x += 2) {
        const uint8_t* group = Src + x * 2;
        ConvertPixel(group[0], group[1], group[3], Dst + x * 4);
        ConvertPixel(group[2], group[1], group[3], Dst + x * 4 + 4);
    }
    if (x < Width) {  // odd width: the last group's Y0 only
        const uint8_t* group = Src + x * 2;
        ConvertPixel(group[0], group[1], group[3], Dst + x * 4);
    }
}

void ConvertYUY2ToRGB32(const uint8_t* Src, int32_t SrcStride, uint8_t* Dst, int32_t Width,
                        int32_t Height) {
    Yuy2ConversionDetail::ConvertFrame(ConvertRow, Src, SrcStride, Dst, Width, Height);
}

}  // namespace Yuy2ConversionScalar
