#include "platform/MediaType.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Later code reads format blocks by byte offset, so the records must match the Windows
// layout byte for byte.
TEST(MediaTypeTest, VideoInfoBlocksHaveTheWindowsOffsets) {
    EXPECT_EQ(offsetof(TVideoInfoHeader, bmiHeader) + offsetof(TBitmapInfoHeader, biWidth), 52u);
    EXPECT_EQ(offsetof(TVideoInfoHeader, bmiHeader) + offsetof(TBitmapInfoHeader, biHeight), 56u);
    EXPECT_EQ(offsetof(TVideoInfoHeader, bmiHeader) + offsetof(TBitmapInfoHeader, biBitCount), 62u);
    EXPECT_EQ(offsetof(TVideoInfoHeader, bmiHeader) + offsetof(TBitmapInfoHeader, biSizeImage),
              68u);
    EXPECT_EQ(offsetof(TVideoInfoHeader2, bmiHeader) + offsetof(TBitmapInfoHeader, biWidth), 76u);
    EXPECT_EQ(offsetof(TVideoInfoHeader2, bmiHeader) + offsetof(TBitmapInfoHeader, biHeight), 80u);
    EXPECT_EQ(offsetof(TVideoInfoHeader2, bmiHeader) + offsetof(TBitmapInfoHeader, biBitCount),
              86u);
    EXPECT_EQ(offsetof(TVideoInfoHeader2, bmiHeader) + offsetof(TBitmapInfoHeader, biSizeImage),
              92u);
    EXPECT_EQ(offsetof(TWaveFormatEx, nAvgBytesPerSec), 8u);
    EXPECT_EQ(offsetof(TWaveFormatEx, cbSize), 16u);
}

TEST(MediaTypeTest, AvgTimePerFrameIsReadAtByte40OfBothVideoBlocks) {
    for (const TGUID& type : {FORMAT_VideoInfo, FORMAT_VideoInfo2}) {
        TMediaType mt;
        mt.formattype = type;
        mt.format.assign(type == FORMAT_VideoInfo ? 88 : 112, 0);
        const int64_t interval = 333333;
        std::memcpy(mt.format.data() + 40, &interval, sizeof interval);
        int64_t read = 0;
        ASSERT_TRUE(mt.AvgTimePerFrame(read));
        EXPECT_EQ(read, 333333);
    }
}

TEST(MediaTypeTest, TypedAccessorsCheckFormatTypeAndBlockSize) {
    TMediaType mt;
    mt.SetFormat(FORMAT_VideoInfo, TVideoInfoHeader{});
    EXPECT_EQ(mt.cbFormat(), 88u);
    EXPECT_NE(mt.VideoInfo(), nullptr);
    EXPECT_EQ(mt.VideoInfo2(), nullptr);
    EXPECT_EQ(mt.WaveFormat(), nullptr);
    mt.format.resize(87);
    EXPECT_EQ(mt.VideoInfo(), nullptr);
    EXPECT_EQ(mt.BitmapHeader(), nullptr);

    mt.SetFormat(FORMAT_WaveFormatEx, TWaveFormatEx{});
    EXPECT_EQ(mt.cbFormat(), 18u);
    EXPECT_NE(mt.WaveFormat(), nullptr);
    int64_t interval = 0;
    EXPECT_FALSE(mt.AvgTimePerFrame(interval));
    mt.ClearFormat();
    EXPECT_EQ(mt.formattype, GUID_NULL);
    EXPECT_EQ(mt.cbFormat(), 0u);
}

TEST(MediaTypeTest, GuidsCarryTheFrameworkValues) {
    EXPECT_EQ(MEDIATYPE_Video.Data1, 0x73646976u);
    EXPECT_EQ(MEDIASUBTYPE_YUY2.Data1, 0x32595559u);
    EXPECT_EQ(MEDIASUBTYPE_RGB32.Data1, 0xE436EB7Eu);
    EXPECT_EQ(MEDIASUBTYPE_PCM.Data1, 1u);
    EXPECT_EQ(MEDIASUBTYPE_dvsd.Data1, 0x64737664u);
    EXPECT_EQ(FORMAT_VideoInfo.Data4[7], 0x5A);
    EXPECT_FALSE(MEDIASUBTYPE_dvsd == MEDIASUBTYPE_DVSD);
    EXPECT_FALSE(MEDIASUBTYPE_MPEG2_PROGRAM == MEDIASUBTYPE_MPEG2_TRANSPORT);
    EXPECT_TRUE(MEDIATYPE_Audio == FourCCGuid(MakeFourCC('a', 'u', 'd', 's')));
}

}  // namespace
