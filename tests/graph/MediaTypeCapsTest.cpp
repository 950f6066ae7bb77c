#include "graph/MediaTypeCaps.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/CapturePins.h"
#include "capture/CaptureStreamConfig.h"

namespace {

TGstCapsHandle Caps(const char* text) {
    return TGstCapsHandle::Adopt(gst_caps_from_string(text));
}

std::string Text(const GstCaps* caps) {
    gchar* s = gst_caps_to_string(caps);
    std::string text(s);
    g_free(s);
    return text;
}

struct TVideoCase {
    const char* caps;
    TGUID subtype;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t imageSize;
    int64_t avgTimePerFrame;
    uint32_t bitRate;
};

void PrintTo(const TVideoCase& c, std::ostream* os) {
    *os << c.caps;
}

class VideoCapsTest : public ::testing::TestWithParam<TVideoCase> {};

TEST_P(VideoCapsTest, ReadsSizeIntervalAndBitRate) {
    const TVideoCase& c = GetParam();
    TMediaType mt;
    ASSERT_TRUE(MediaTypeFromCaps(Caps(c.caps).Get(), mt)) << c.caps;
    EXPECT_EQ(mt.majortype, MEDIATYPE_Video);
    EXPECT_EQ(mt.subtype, c.subtype);
    const TVideoInfoHeader* vih = mt.VideoInfo();
    ASSERT_NE(vih, nullptr);
    EXPECT_EQ(vih->bmiHeader.biSize, 40u);
    EXPECT_EQ(vih->bmiHeader.biBitCount, c.bitCount);
    EXPECT_EQ(vih->bmiHeader.biCompression, c.compression);
    EXPECT_EQ(vih->bmiHeader.biSizeImage, c.imageSize);
    EXPECT_EQ(mt.lSampleSize, c.imageSize);
    EXPECT_EQ(vih->AvgTimePerFrame, c.avgTimePerFrame);
    EXPECT_EQ(vih->dwBitRate, c.bitRate);
    EXPECT_EQ(vih->rcSource.right, vih->bmiHeader.biWidth);
    EXPECT_EQ(vih->rcSource.bottom, vih->bmiHeader.biHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, VideoCapsTest,
    ::testing::Values(
        // 640 x 480 RGB24 at 333,333: Trunc(10,000,000 / 333,333 * 7,372,800) = 221,184,221.
        TVideoCase{"video/x-raw,format=BGR,width=640,height=480,framerate=30/1", MEDIASUBTYPE_RGB24,
                   24, BI_RGB, 921600, 333333, 221184221},
        TVideoCase{"video/x-raw,format=YUY2,width=1280,height=720,framerate=25/1",
                   MEDIASUBTYPE_YUY2, 16, MakeFourCC('Y', 'U', 'Y', '2'), 1843200, 400000,
                   368640000},
        // Trunc(10,000,000 / 333,667 * 307,200 * 8): an NTSC rate is not rounded to 30.
        TVideoCase{"video/x-raw,format=BGRx,width=320,height=240,framerate=30000/1001",
                   MEDIASUBTYPE_RGB32, 32, BI_RGB, 307200, 333667, 73654272},
        TVideoCase{"video/x-raw,format=UYVY,width=720,height=576,framerate=0/1", MEDIASUBTYPE_UYVY,
                   16, MakeFourCC('U', 'Y', 'V', 'Y'), 829440, 0, 0},
        // 4:2:0: 921,600 luma bytes and two 640 x 360 chroma planes.
        TVideoCase{"video/x-raw,format=I420,width=1280,height=720,framerate=25/1",
                   MEDIASUBTYPE_I420, 12, MakeFourCC('I', '4', '2', '0'), 1382400, 400000,
                   276480000},
        // Odd sizes round the chroma planes up: 321 * 241 + 2 * 161 * 121 = 116,323.
        TVideoCase{"video/x-raw,format=NV12,width=321,height=241,framerate=10/1",
                   MEDIASUBTYPE_NV12, 12, MakeFourCC('N', 'V', '1', '2'), 116323, 1000000,
                   9305840},
        // RGB24 rows are padded to 32 bits: 322 * 3 = 966 -> 968 bytes.
        TVideoCase{"video/x-raw,format=BGR,width=322,height=2,framerate=10/1", MEDIASUBTYPE_RGB24,
                   24, BI_RGB, 1936, 1000000, 154880},
        TVideoCase{"image/jpeg,width=640,height=480,framerate=15/1", MEDIASUBTYPE_MJPG, 24,
                   MakeFourCC('M', 'J', 'P', 'G'), 921600, 666667, 0},
        TVideoCase{"video/x-dv,systemstream=false,width=720,height=576,framerate=25/1",
                   MEDIASUBTYPE_dvsd, 24, MakeFourCC('d', 'v', 's', 'd'), 144000, 400000,
                   28800000}));

TEST(MediaTypeCapsTest, StreamsAndAudio) {
    TMediaType mt;
    ASSERT_TRUE(MediaTypeFromCaps(Caps("video/x-dv,systemstream=true").Get(), mt));
    EXPECT_EQ(mt.majortype, MEDIATYPE_Interleaved);
    EXPECT_EQ(mt.subtype, MEDIASUBTYPE_dvsd);
    EXPECT_NE(mt.DvInfo(), nullptr);

    ASSERT_TRUE(MediaTypeFromCaps(Caps("video/mpegts,systemstream=true").Get(), mt));
    EXPECT_EQ(mt.majortype, MEDIATYPE_Stream);
    EXPECT_EQ(mt.subtype, MEDIASUBTYPE_MPEG2_TRANSPORT);

    ASSERT_TRUE(MediaTypeFromCaps(Caps("video/mpeg,mpegversion=2,systemstream=true").Get(), mt));
    EXPECT_EQ(mt.subtype, MEDIASUBTYPE_MPEG2_PROGRAM);

    ASSERT_TRUE(
        MediaTypeFromCaps(Caps("video/mpeg,mpegversion=2,systemstream=false,width=1440,height=1080,"
                               "framerate=25/1,pixel-aspect-ratio=4/3")
                              .Get(),
                          mt));
    ASSERT_NE(mt.Mpeg2VideoInfo(), nullptr);
    EXPECT_EQ(mt.Mpeg2VideoInfo()->hdr.AvgTimePerFrame, 400000);
    EXPECT_EQ(mt.Mpeg2VideoInfo()->hdr.dwPictAspectRatioX, 16u);
    EXPECT_EQ(mt.Mpeg2VideoInfo()->hdr.dwPictAspectRatioY, 9u);

    ASSERT_TRUE(MediaTypeFromCaps(
        Caps("audio/x-raw,format=S16LE,layout=interleaved,rate=44100,channels=2").Get(), mt));
    EXPECT_EQ(mt.majortype, MEDIATYPE_Audio);
    EXPECT_EQ(mt.subtype, MEDIASUBTYPE_PCM);
    const TWaveFormatEx* wfx = mt.WaveFormat();
    ASSERT_NE(wfx, nullptr);
    EXPECT_EQ(wfx->wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(wfx->nChannels, 2);
    EXPECT_EQ(wfx->nSamplesPerSec, 44100u);
    EXPECT_EQ(wfx->wBitsPerSample, 16);
    EXPECT_EQ(wfx->nBlockAlign, 4);
    EXPECT_EQ(wfx->nAvgBytesPerSec, 176400u);
    EXPECT_EQ(mt.lSampleSize, 4u);
}

TEST(MediaTypeCapsTest, RefusesWhatItCannotDescribe) {
    for (const char* text : {"video/x-raw,format=NV21,width=320,height=240,framerate=30/1",
                             "video/x-raw,format=Y42B,width=320,height=240,framerate=30/1",
                             "video/x-raw,format=BGRx,width=[1,100],height=240",
                             "video/x-raw,format=BGRx,width=320,height=240,framerate=[1/1,30/1]",
                             "audio/x-raw,format=F32LE,layout=interleaved,rate=48000,channels=1",
                             "video/x-h265,width=320,height=240", "video/x-wmv,wmvversion=4",
                             "video/x-wmv", "video/mpeg,mpegversion=3", "ANY", "EMPTY"}) {
        TMediaType mt;
        mt.subtype = MEDIASUBTYPE_RGB32;
        EXPECT_FALSE(MediaTypeFromCaps(Caps(text).Get(), mt)) << text;
        EXPECT_EQ(mt.subtype, GUID_NULL) << text;
    }
    EXPECT_FALSE(MediaTypeFromCaps(nullptr, *std::make_unique<TMediaType>()));
    TMediaType unknown;
    unknown.majortype = MEDIATYPE_Video;
    unknown.subtype = MEDIASUBTYPE_RGB32;  // no format block
    EXPECT_FALSE(CapsFromMediaType(unknown));
}

// Compressed video is named by its subtype only: no format block, and no caps back.
TEST(MediaTypeCapsTest, NamesCompressedVideo) {
    const struct {
        const char* caps;
        TGUID subtype;
    } cases[] = {
        {"video/x-wmv,wmvversion=1,width=320,height=240", MEDIASUBTYPE_WMV1},
        {"video/x-wmv,wmvversion=2,width=320,height=240,framerate=10/1", MEDIASUBTYPE_WMV2},
        {"video/x-wmv,wmvversion=3", MEDIASUBTYPE_WMV3},
        {"video/x-wmv,wmvversion=3,format=WMV3", MEDIASUBTYPE_WMV3},
        {"video/x-wmv,wmvversion=3,format=WVC1", MEDIASUBTYPE_WVC1},
        {"video/x-wmv,wmvversion=3,format=WMVA", MEDIASUBTYPE_WMVA},
        {"video/x-h264,width=320,height=240", MEDIASUBTYPE_H264},
        {"video/x-h264,stream-format=byte-stream,alignment=au", MEDIASUBTYPE_H264},
        {"video/x-h264,stream-format=avc,alignment=au", MEDIASUBTYPE_AVC1},
        {"video/x-h264,stream-format=avc3,alignment=au", MEDIASUBTYPE_AVC1},
        {"video/mpeg,mpegversion=4,systemstream=false,width=352,height=288", MEDIASUBTYPE_MP4V},
        {"video/mpeg,mpegversion=1,systemstream=false,width=352,height=288",
         MEDIASUBTYPE_MPEG1Payload},
    };
    for (const auto& c : cases) {
        TMediaType mt;
        ASSERT_TRUE(MediaTypeFromCaps(Caps(c.caps).Get(), mt)) << c.caps;
        EXPECT_EQ(mt.majortype, MEDIATYPE_Video) << c.caps;
        EXPECT_EQ(mt.subtype, c.subtype) << c.caps;
        EXPECT_TRUE(mt.bTemporalCompression) << c.caps;
        EXPECT_EQ(mt.formattype, GUID_NULL) << c.caps;
        EXPECT_EQ(mt.cbFormat(), 0u) << c.caps;
        EXPECT_EQ(mt.BitmapHeader(), nullptr) << c.caps;
        EXPECT_FALSE(CapsFromMediaType(mt)) << c.caps;
    }
    // MPEG-2 keeps its full description.
    TMediaType mpeg2;
    ASSERT_TRUE(MediaTypeFromCaps(
        Caps("video/mpeg,mpegversion=2,systemstream=false,width=720,height=576").Get(), mpeg2));
    EXPECT_NE(mpeg2.Mpeg2VideoInfo(), nullptr);
}

// A device offering H.264 beside raw formats: only the formats the pin can be set to again
// are its capabilities.
TEST(MediaTypeCapsTest, StreamConfigLeavesNamedOnlyFormatsOut) {
    TGstCapsHandle offered = Caps(
        "video/x-h264,stream-format=byte-stream,width=1280,height=720,framerate=30/1; "
        "video/x-raw,format=YUY2,width=640,height=480,framerate=30/1; "
        "image/jpeg,width=1280,height=720,framerate=30/1");
    TCaptureStreamConfig config(nullptr, offered.Get());
    int32_t count = 0;
    int32_t size = 0;
    ASSERT_EQ(config.GetNumberOfCapabilities(count, size), S_OK);
    ASSERT_EQ(count, 2);
    TMediaType mt;
    TVideoStreamConfigCaps configCaps{};
    ASSERT_EQ(config.GetStreamCaps(0, mt, configCaps), S_OK);
    EXPECT_EQ(mt.subtype, MEDIASUBTYPE_YUY2);
    ASSERT_EQ(config.GetStreamCaps(1, mt, configCaps), S_OK);
    EXPECT_EQ(mt.subtype, MEDIASUBTYPE_MJPG);

    // A pin that offers only H.264 offers no video the capture graph can connect.
    TGstElementHandle filter =
        TGstElementHandle::Adopt(gst_element_factory_make("capsfilter", nullptr));
    ASSERT_TRUE(filter);
    g_object_set(filter.Get(), "caps",
                 Caps("video/x-h264,stream-format=byte-stream,width=640,height=480").Get(),
                 nullptr);
    TGstPadHandle pin = TGstPadHandle::Adopt(gst_element_get_static_pad(filter.Get(), "src"));
    const std::vector<TMediaType> types = CapturePins::PinMediaTypes(pin.Get());
    ASSERT_EQ(types.size(), 1u);
    EXPECT_EQ(types[0].majortype, GUID_NULL);
    EXPECT_EQ(types[0].subtype, GUID_NULL);
}

// caps -> media type -> caps gives the same caps for every mapped kind.
TEST(MediaTypeCapsTest, CapsRoundTrip) {
    for (const char* text : {
             "video/x-raw, format=(string)BGRx, width=(int)640, height=(int)480, "
             "framerate=(fraction)30/1",
             "video/x-raw, format=(string)BGR, width=(int)640, height=(int)480, "
             "framerate=(fraction)30000/1001",
             "video/x-raw, format=(string)YUY2, width=(int)1280, height=(int)720, "
             "framerate=(fraction)25/2",
             "video/x-raw, format=(string)UYVY, width=(int)720, height=(int)576, "
             "framerate=(fraction)25/1",
             "video/x-raw, format=(string)I420, width=(int)1920, height=(int)1080, "
             "framerate=(fraction)30/1",
             "video/x-raw, format=(string)NV12, width=(int)321, height=(int)241, "
             "framerate=(fraction)15/1",
             "image/jpeg, width=(int)1920, height=(int)1080, framerate=(fraction)60000/1001",
             "video/x-dv, systemstream=(boolean)false, width=(int)720, height=(int)480, "
             "framerate=(fraction)30000/1001",
             "video/x-dv, systemstream=(boolean)true",
             "video/mpeg, mpegversion=(int)2, systemstream=(boolean)false, width=(int)1440, "
             "height=(int)1080, framerate=(fraction)25/1, pixel-aspect-ratio=(fraction)4/3",
             "video/mpegts, systemstream=(boolean)true",
             "video/mpeg, mpegversion=(int)2, systemstream=(boolean)true",
             "audio/x-raw, format=(string)S16LE, layout=(string)interleaved, rate=(int)44100, "
             "channels=(int)2, channel-mask=(bitmask)0x0000000000000003",
             "audio/x-raw, format=(string)U8, layout=(string)interleaved, rate=(int)8000, "
             "channels=(int)1",
         }) {
        TGstCapsHandle in = Caps(text);
        ASSERT_TRUE(in) << text;
        TMediaType mt;
        ASSERT_TRUE(MediaTypeFromCaps(in.Get(), mt)) << text;
        TGstCapsHandle out = CapsFromMediaType(mt);
        ASSERT_TRUE(out) << text;
        EXPECT_TRUE(gst_caps_is_equal(in.Get(), out.Get())) << text << "\n -> " << Text(out.Get());
        TMediaType again;
        ASSERT_TRUE(MediaTypeFromCaps(out.Get(), again)) << text;
        EXPECT_EQ(again.format, mt.format) << text;
        EXPECT_EQ(again.lSampleSize, mt.lSampleSize) << text;
    }
}

TEST(MediaTypeCapsTest, MediaTypeRoundTripKeepsTheBlock) {
    TMediaType mt;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_RGB32;
    mt.bFixedSizeSamples = true;
    TVideoInfoHeader vih{};
    vih.rcSource = vih.rcTarget = {0, 0, 352, 288};
    vih.AvgTimePerFrame = 1000000;
    vih.bmiHeader = {40, 352, 288, 1, 32, BI_RGB, 352 * 288 * 4, 0, 0, 0, 0};
    vih.dwBitRate = 352 * 288 * 4 * 8 * 10;
    mt.SetFormat(FORMAT_VideoInfo, vih);
    mt.lSampleSize = 352 * 288 * 4;
    TMediaType back;
    ASSERT_TRUE(MediaTypeFromCaps(CapsFromMediaType(mt).Get(), back));
    EXPECT_EQ(back.subtype, mt.subtype);
    EXPECT_EQ(back.format, mt.format);
    EXPECT_EQ(back.lSampleSize, mt.lSampleSize);

    // A top-down bitmap (negative height) describes the same caps.
    mt.VideoInfo()->bmiHeader.biHeight = -288;
    TGstCapsHandle caps = CapsFromMediaType(mt);
    int height = 0;
    gst_structure_get_int(gst_caps_get_structure(caps.Get(), 0), "height", &height);
    EXPECT_EQ(height, 288);
}

TEST(MediaTypeCapsTest, FrameRateConversions) {
    struct {
        int num, den;
        int64_t avg;
    } const cases[] = {{30, 1, 333333},       {25, 1, 400000},       {30000, 1001, 333667},
                       {60000, 1001, 166833}, {25, 2, 800000},       {15, 1, 666667},
                       {10, 1, 1000000},      {24000, 1001, 417083}, {0, 1, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(AvgTimePerFrameFromFrameRate(c.num, c.den), c.avg) << c.num << "/" << c.den;
        int num = -1;
        int den = -1;
        FrameRateFromAvgTimePerFrame(c.avg, num, den);
        EXPECT_EQ(num, c.num) << c.avg;
        EXPECT_EQ(den, c.den) << c.avg;
    }
    // An interval without a simple rate still converts back to itself.
    int num = 0;
    int den = 0;
    FrameRateFromAvgTimePerFrame(333337, num, den);
    EXPECT_EQ(AvgTimePerFrameFromFrameRate(num, den), 333337);
}

}  // namespace
