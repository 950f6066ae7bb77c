#include "capture/CaptureDeviceTypes.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

constexpr TGUID MEDIASUBTYPE_YUYV = FourCCGuid(MakeFourCC('Y', 'U', 'Y', 'V'));
constexpr TGUID MEDIASUBTYPE_IYUV = FourCCGuid(MakeFourCC('I', 'Y', 'U', 'V'));
constexpr TGUID MEDIASUBTYPE_RGB1 = {
    0xE436EB78, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr TGUID MEDIASUBTYPE_RGB4 = {
    0xE436EB79, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr TGUID MEDIASUBTYPE_RGB8 = {
    0xE436EB7A, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr TGUID MEDIASUBTYPE_RGB565 = {
    0xE436EB7B, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr TGUID MEDIASUBTYPE_RGB555 = {
    0xE436EB7C, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

bool IsAnalogSubtype(const TGUID& subtype) {
    for (const TGUID& g :
         {MEDIASUBTYPE_YUYV, MEDIASUBTYPE_IYUV, MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB1,
          MEDIASUBTYPE_RGB4, MEDIASUBTYPE_RGB8, MEDIASUBTYPE_RGB555, MEDIASUBTYPE_RGB565,
          MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32, MEDIASUBTYPE_MJPG,
          // GStreamer's names for the planar layouts decoders give (IYUV's layout is I420).
          MEDIASUBTYPE_I420, MEDIASUBTYPE_NV12}) {
        if (subtype == g) {
            return true;
        }
    }
    return false;
}

const char* BoolText(bool value) {
    return value ? "-1" : "0";
}

}  // namespace

int32_t DeviceTypeOfMediaType(const TMediaType& mt) {
    if (mt.majortype == MEDIATYPE_Stream && mt.subtype == MEDIASUBTYPE_MPEG2_TRANSPORT) {
        return CaptureDeviceType_HDV;
    }
    if (mt.majortype == MEDIATYPE_Interleaved && mt.subtype == MEDIASUBTYPE_dvsd) {
        return CaptureDeviceType_DV;
    }
    if (mt.majortype == MEDIATYPE_Stream && mt.subtype == MEDIASUBTYPE_MPEG2_PROGRAM) {
        return CaptureDeviceType_AnalogHW;
    }
    if (mt.majortype == MEDIATYPE_Video && IsAnalogSubtype(mt.subtype)) {
        return CaptureDeviceType_Analog;
    }
    if (mt.majortype == MEDIATYPE_Video && mt.subtype == MEDIASUBTYPE_dvsd) {
        return CaptureDeviceType_DVVideo;
    }
    return CaptureDeviceType_Unrecognised;
}

bool IsDeckLinkName(const std::string& FriendlyName) {
    std::string upper = FriendlyName;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper.find("DECKLINK") != std::string::npos;
}

std::string GetPhysicalConnectorName(int32_t PhysicalConnectorType) {
    switch (PhysicalConnectorType) {
        case 1:
        case 4096:
            return "Tuner";
        case 2:
            return "Composite";
        case 3:
            return "SVideo";
        case 4:
            return "RGB";
        case 5:
            return "YRYBY";
        case 6:
            return "SerialDigital";
        case 7:
            return "ParallelDigital";
        case 8:
        case 4101:
            return "SCSI";
        case 9:
        case 4102:
            return "AUX";
        case 10:
        case 4103:
            return "1394";
        case 11:
        case 4104:
            return "USB";
        case 12:
            return "VideoDecoder";
        case 13:
            return "VideoEncoder";
        case 14:
            return "SCART";
        case 15:
            return "Black";
        case 4097:
            return "Line";
        case 4098:
            return "Mic";
        case 4099:
            return "AESDigital";
        case 4100:
            return "SPDIFDigital";
        case 4105:
            return "AudioDecoder";
        default:
            return "Unknown";
    }
}

std::string DescribeMediaType(const TMediaType& mt) {
    return "MajorType = " + GuidToString(mt.majortype) + " SubType = " + GuidToString(mt.subtype) +
           " FormatType = " + GuidToString(mt.formattype) +
           " FixedSizeSamples = " + BoolText(mt.bFixedSizeSamples) +
           " TemporalCompression = " + BoolText(mt.bTemporalCompression) +
           " SampleSize = " + std::to_string(mt.lSampleSize) +
           " FormatSize = " + std::to_string(mt.cbFormat());
}
