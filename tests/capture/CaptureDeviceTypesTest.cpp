#include <gtest/gtest.h>

#include "capture/CaptureDeviceTypes.h"
#include "platform/MediaType.h"

namespace {

TMediaType Type(const TGUID& major, const TGUID& sub) {
    TMediaType mt;
    mt.majortype = major;
    mt.subtype = sub;
    return mt;
}

constexpr TGUID kRGB555 = {
    0xE436EB7C, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr TGUID kIYUV = FourCCGuid(MakeFourCC('I', 'Y', 'U', 'V'));
constexpr TGUID kI420 = FourCCGuid(MakeFourCC('I', '4', '2', '0'));

struct TClassCase {
    const char* Name;
    TGUID Major;
    TGUID Sub;
    int32_t Expected;
};

class CaptureDevicesClassification : public ::testing::TestWithParam<TClassCase> {};

TEST_P(CaptureDevicesClassification, MediaTypeDecidesDeviceType) {
    const TClassCase& c = GetParam();
    EXPECT_EQ(DeviceTypeOfMediaType(Type(c.Major, c.Sub)), c.Expected) << c.Name;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CaptureDevicesClassification,
    ::testing::Values(
        TClassCase{"HDV", MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_TRANSPORT, CaptureDeviceType_HDV},
        TClassCase{"DV", MEDIATYPE_Interleaved, MEDIASUBTYPE_dvsd, CaptureDeviceType_DV},
        TClassCase{"AnalogHW", MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_PROGRAM,
                   CaptureDeviceType_AnalogHW},
        TClassCase{"YUY2", MEDIATYPE_Video, MEDIASUBTYPE_YUY2, CaptureDeviceType_Analog},
        TClassCase{"MJPG", MEDIATYPE_Video, MEDIASUBTYPE_MJPG, CaptureDeviceType_Analog},
        TClassCase{"RGB24", MEDIATYPE_Video, MEDIASUBTYPE_RGB24, CaptureDeviceType_Analog},
        TClassCase{"RGB32", MEDIATYPE_Video, MEDIASUBTYPE_RGB32, CaptureDeviceType_Analog},
        TClassCase{"RGB555", MEDIATYPE_Video, kRGB555, CaptureDeviceType_Analog},
        TClassCase{"IYUV", MEDIATYPE_Video, kIYUV, CaptureDeviceType_Analog},
        TClassCase{"DVVideo", MEDIATYPE_Video, MEDIASUBTYPE_dvsd, CaptureDeviceType_DVVideo},
        // I420 and NV12 are how GStreamer names the planar layouts a decoder gives (IYUV's
        // layout under its own code): raw pictures like the others.
        TClassCase{"I420", MEDIATYPE_Video, kI420, CaptureDeviceType_Analog},
        TClassCase{"NV12", MEDIATYPE_Video, MEDIASUBTYPE_NV12, CaptureDeviceType_Analog},
        // Not in any rule: UYVY is not listed, a DV subtype needs the right major type,
        // MPEG-2 video is no stream.
        TClassCase{"UYVY", MEDIATYPE_Video, MEDIASUBTYPE_UYVY, CaptureDeviceType_Unrecognised},
        TClassCase{"MPEG2 video", MEDIATYPE_Video, MEDIASUBTYPE_MPEG2_VIDEO,
                   CaptureDeviceType_Unrecognised},
        TClassCase{"TS as video", MEDIATYPE_Video, MEDIASUBTYPE_MPEG2_TRANSPORT,
                   CaptureDeviceType_Unrecognised},
        TClassCase{"DV as stream", MEDIATYPE_Stream, MEDIASUBTYPE_dvsd,
                   CaptureDeviceType_Unrecognised},
        TClassCase{"audio", MEDIATYPE_Audio, MEDIASUBTYPE_PCM, CaptureDeviceType_Unrecognised},
        TClassCase{"null", GUID_NULL, GUID_NULL, CaptureDeviceType_Unrecognised}),
    [](const auto& info) {
        std::string name = info.param.Name;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) {
                c = '_';
            }
        }
        return name;
    });

TEST(CaptureDevicesDeckLink, NameMatchesInAnyLetterCase) {
    EXPECT_TRUE(IsDeckLinkName("Blackmagic DeckLink Mini Recorder"));
    EXPECT_TRUE(IsDeckLinkName("decklink"));
    EXPECT_TRUE(IsDeckLinkName("DECKLINK Quad"));
    EXPECT_FALSE(IsDeckLinkName("Deck Link"));
    EXPECT_FALSE(IsDeckLinkName("Integrated Camera"));
}

TEST(CaptureDevicesConnectors, NamesOfVideoAndAudioConnectors) {
    const std::pair<int32_t, const char*> cases[] = {{1, "Tuner"},
                                                     {2, "Composite"},
                                                     {3, "SVideo"},
                                                     {4, "RGB"},
                                                     {5, "YRYBY"},
                                                     {6, "SerialDigital"},
                                                     {7, "ParallelDigital"},
                                                     {8, "SCSI"},
                                                     {9, "AUX"},
                                                     {10, "1394"},
                                                     {11, "USB"},
                                                     {12, "VideoDecoder"},
                                                     {13, "VideoEncoder"},
                                                     {14, "SCART"},
                                                     {15, "Black"},
                                                     {4096, "Tuner"},
                                                     {4097, "Line"},
                                                     {4098, "Mic"},
                                                     {4099, "AESDigital"},
                                                     {4100, "SPDIFDigital"},
                                                     {4101, "SCSI"},
                                                     {4102, "AUX"},
                                                     {4103, "1394"},
                                                     {4104, "USB"},
                                                     {4105, "AudioDecoder"},
                                                     {0, "Unknown"},
                                                     {16, "Unknown"},
                                                     {4095, "Unknown"},
                                                     {4106, "Unknown"},
                                                     {-1, "Unknown"}};
    for (const auto& [value, name] : cases) {
        EXPECT_EQ(GetPhysicalConnectorName(value), name) << value;
    }
}

TEST(CaptureDevicesDescription, UnknownMediaTypeLineHasRegistryGuidsAndFlags) {
    TMediaType mt = Type(MEDIATYPE_Video, MEDIASUBTYPE_UYVY);
    mt.bFixedSizeSamples = true;
    mt.bTemporalCompression = false;
    mt.lSampleSize = 614400;
    mt.SetFormat(FORMAT_VideoInfo, TVideoInfoHeader{});
    EXPECT_EQ(DescribeMediaType(mt),
              "MajorType = {73646976-0000-0010-8000-00AA00389B71} "
              "SubType = {59565955-0000-0010-8000-00AA00389B71} "
              "FormatType = {05589F80-C356-11CE-BF01-00AA0055595A} "
              "FixedSizeSamples = -1 TemporalCompression = 0 SampleSize = 614400 FormatSize = 88");
}

}  // namespace
