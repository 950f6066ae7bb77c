#include <gtest/gtest.h>

#include "capture/CaptureFormats.h"
#include "localisation/TandrelTexts.h"
#include "platform/MediaType.h"
#include "support/LogCapture.h"

namespace {

// A capability's default media type, as a device hands it out before any change.
template <typename THeader>
TMediaType Capability(const TGUID& formatType, const TGUID& subtype, uint16_t bitCount,
                      uint32_t compression) {
    TMediaType mt;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = subtype;
    mt.bFixedSizeSamples = true;
    mt.lSampleSize = 1;
    THeader header{};
    header.rcSource = {0, 0, 160, 120};
    header.rcTarget = {0, 0, 160, 120};
    header.dwBitRate = 7;
    header.dwBitErrorRate = 3;
    header.AvgTimePerFrame = 1234;
    header.bmiHeader.biSize = 40;
    header.bmiHeader.biWidth = 160;
    header.bmiHeader.biHeight = 120;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = bitCount;
    header.bmiHeader.biCompression = compression;
    header.bmiHeader.biSizeImage = 1;
    mt.SetFormat(formatType, header);
    return mt;
}

struct TUpdateCase {
    const char* Name;
    bool VideoInfo2;
    TGUID Subtype;
    uint16_t BitCount;
    int32_t Width;
    int32_t Height;
    int64_t Interval;
    uint32_t SampleSize;
    uint32_t BitRate;
};

class CaptureFormatsUpdate : public ::testing::TestWithParam<TUpdateCase> {};

template <typename THeader>
void ExpectUpdated(const TMediaType& mt, const THeader& h, const TUpdateCase& c) {
    EXPECT_EQ(mt.lSampleSize, c.SampleSize);
    EXPECT_EQ(h.bmiHeader.biSizeImage, c.SampleSize);
    EXPECT_EQ(h.rcSource.left, 0);
    EXPECT_EQ(h.rcSource.top, 0);
    EXPECT_EQ(h.rcSource.right, c.Width);
    EXPECT_EQ(h.rcSource.bottom, c.Height);
    EXPECT_EQ(h.rcTarget.right, c.Width);
    EXPECT_EQ(h.rcTarget.bottom, c.Height);
    EXPECT_EQ(h.dwBitRate, c.BitRate);
    EXPECT_EQ(h.AvgTimePerFrame, c.Interval);
    EXPECT_EQ(h.bmiHeader.biWidth, c.Width);
    EXPECT_EQ(h.bmiHeader.biHeight, c.Height);
    // Untouched fields.
    EXPECT_EQ(h.bmiHeader.biBitCount, c.BitCount);
    EXPECT_EQ(h.dwBitErrorRate, 3u);
    EXPECT_EQ(h.bmiHeader.biPlanes, 1);
}

TEST_P(CaptureFormatsUpdate, RewritesSizeRateAndBitRate) {
    const TUpdateCase& c = GetParam();
    if (c.VideoInfo2) {
        TMediaType mt = Capability<TVideoInfoHeader2>(FORMAT_VideoInfo2, c.Subtype, c.BitCount, 0);
        mt.VideoInfo2()->dwPictAspectRatioX = 4;
        mt.VideoInfo2()->dwPictAspectRatioY = 3;
        ASSERT_EQ(UpdateMediaTypeVideoInfo2(mt, c.Width, c.Interval, c.Height), S_OK);
        ExpectUpdated(mt, *mt.VideoInfo2(), c);
        EXPECT_EQ(mt.VideoInfo2()->dwPictAspectRatioX, 4u);
        EXPECT_EQ(mt.VideoInfo2()->dwPictAspectRatioY, 3u);
    } else {
        TMediaType mt = Capability<TVideoInfoHeader>(FORMAT_VideoInfo, c.Subtype, c.BitCount, 0);
        ASSERT_EQ(UpdateMediaTypeVideoInfo(mt, c.Width, c.Interval, c.Height), S_OK);
        ExpectUpdated(mt, *mt.VideoInfo(), c);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureFormatsUpdate,
    ::testing::Values(
        // 10,000,000 / 333,333 * 921,600 * 8 = 221,184,221.18...
        TUpdateCase{"RGB24_640x480_30", false, MEDIASUBTYPE_RGB24, 24, 640, 480, 333333, 921600,
                    221184221},
        TUpdateCase{"YUY2_1280x720_25", false, MEDIASUBTYPE_YUY2, 16, 1280, 720, 400000, 1843200,
                    368640000},
        TUpdateCase{"RGB24_640x480_30_Info2", true, MEDIASUBTYPE_RGB24, 24, 640, 480, 333333,
                    921600, 221184221},
        TUpdateCase{"YUY2_1280x720_25_Info2", true, MEDIASUBTYPE_YUY2, 16, 1280, 720, 400000,
                    1843200, 368640000},
        // The bit count is divided before multiplying: 12 bits count as one byte.
        TUpdateCase{"Twelve_bits", false, FourCCGuid(MakeFourCC('I', '4', '2', '0')), 12, 320, 240,
                    1000000, 76800, 6144000},
        // No frame rate, no bit rate.
        TUpdateCase{"Zero_interval", false, MEDIASUBTYPE_RGB32, 32, 320, 240, 0, 307200, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(CaptureFormatsUpdateErrors, WrongFormatBlockIsRefusedWithItsLine) {
    LogCapture log;
    TMediaType info2 = Capability<TVideoInfoHeader2>(FORMAT_VideoInfo2, MEDIASUBTYPE_YUY2, 16, 0);
    EXPECT_EQ(UpdateMediaTypeVideoInfo(info2, 640, 333333, 480), E_FAIL);
    EXPECT_TRUE(log.Contains("Error in TFrameGrabCaptureGraph.UpdateMediaTypeVideoInfo call..."));
    TMediaType info = Capability<TVideoInfoHeader>(FORMAT_VideoInfo, MEDIASUBTYPE_YUY2, 16, 0);
    EXPECT_EQ(UpdateMediaTypeVideoInfo2(info, 640, 333333, 480), E_FAIL);
    EXPECT_TRUE(log.Contains("Error in TFrameGrabCaptureGraph.UpdateMediaTypeVideoInfo2 call..."));
    EXPECT_EQ(info.VideoInfo()->bmiHeader.biWidth, 160);
}

TEST(CaptureFormatsDescription, ResolutionAndFramesPerSecond) {
    TMediaType mt = Capability<TVideoInfoHeader>(FORMAT_VideoInfo, MEDIASUBTYPE_YUY2, 16, 0);
    ASSERT_EQ(UpdateMediaTypeVideoInfo(mt, 640, 333333, 480), S_OK);
    EXPECT_EQ(FormatDescription(mt), "Resolution: 640 x 480, Frames per second: 30.00");
    TMediaType mt2 = Capability<TVideoInfoHeader2>(FORMAT_VideoInfo2, MEDIASUBTYPE_YUY2, 16, 0);
    ASSERT_EQ(UpdateMediaTypeVideoInfo2(mt2, 720, 400000, 576), S_OK);
    EXPECT_EQ(FormatDescription(mt2), "Resolution: 720 x 576, Frames per second: 25.00");
    mt2.VideoInfo2()->AvgTimePerFrame = 333667;
    EXPECT_EQ(FormatDescription(mt2), "Resolution: 720 x 576, Frames per second: 29.97");
}

TEST(CaptureFormatsDescription, UsesTheCurrentLanguage) {
    const TTandrelTexts saved = CurrentTexts;
    CurrentTexts.Texts[txtResolution] = "Auflösung";
    CurrentTexts.Texts[txtFramesPerSecond] = "Bilder pro Sekunde";
    TMediaType mt = Capability<TVideoInfoHeader>(FORMAT_VideoInfo, MEDIASUBTYPE_RGB32, 32, 0);
    const std::string text = FormatDescription(mt);
    CurrentTexts = saved;
    EXPECT_EQ(text, "Auflösung: 160 x 120, Bilder pro Sekunde: 8103.73");
}

TEST(CaptureFormatsDescription, OtherFormatBlocksHaveNoText) {
    TMediaType mt;
    mt.majortype = MEDIATYPE_Stream;
    mt.subtype = MEDIASUBTYPE_MPEG2_TRANSPORT;
    EXPECT_EQ(FormatDescription(mt), "");
    mt.SetFormat(FORMAT_MPEG2Video, TMpeg2VideoInfo{});
    EXPECT_EQ(FormatDescription(mt), "");
}

TEST(CaptureFormatsRead, VideoInfoAndVideoInfo2Only) {
    int32_t w = -1;
    int32_t h = -1;
    int64_t i = -1;
    TMediaType mt = Capability<TVideoInfoHeader2>(FORMAT_VideoInfo2, MEDIASUBTYPE_YUY2, 16, 0);
    ASSERT_TRUE(ReadVideoInfoFormat(mt, w, h, i));
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 120);
    EXPECT_EQ(i, 1234);
    TMediaType mpeg;
    mpeg.SetFormat(FORMAT_MPEG2Video, TMpeg2VideoInfo{});
    w = h = -1;
    EXPECT_FALSE(ReadVideoInfoFormat(mpeg, w, h, i));
    EXPECT_EQ(w, -1);
}

}  // namespace
