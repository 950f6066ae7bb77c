#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// The media-type record of the capture and encoding code: the fields and byte layout of the
// Windows media framework's AM_MEDIA_TYPE and its format blocks, so every size, bit-rate and
// offset rule written for them holds unchanged. Conversion to and from GstCaps lives in
// graph/MediaTypeCaps.h.

struct TGUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];

    friend constexpr bool operator==(const TGUID& a, const TGUID& b) {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) {
            return false;
        }
        for (int i = 0; i < 8; ++i) {
            if (a.Data4[i] != b.Data4[i]) {
                return false;
            }
        }
        return true;
    }
};
static_assert(sizeof(TGUID) == 16);

// A GUID in its braced registry form, e.g. "{73646976-0000-0010-8000-00AA00389B71}".
std::string GuidToString(const TGUID& Guid);

// A four-character code as the bitmap header's biCompression field holds it.
constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

// Subtypes built from a FOURCC: XXXXXXXX-0000-0010-8000-00AA00389B71.
constexpr TGUID FourCCGuid(uint32_t fourcc) {
    return {fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

constexpr uint32_t BI_RGB = 0;

constexpr TGUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

constexpr TGUID MEDIATYPE_Video = FourCCGuid(MakeFourCC('v', 'i', 'd', 's'));
constexpr TGUID MEDIATYPE_Audio = FourCCGuid(MakeFourCC('a', 'u', 'd', 's'));
constexpr TGUID MEDIATYPE_Interleaved = FourCCGuid(MakeFourCC('i', 'a', 'v', 's'));
constexpr TGUID MEDIATYPE_Stream = {
    0xE436EB83, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

constexpr TGUID MEDIASUBTYPE_RGB24 = {
    0xE436EB7D, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr TGUID MEDIASUBTYPE_RGB32 = {
    0xE436EB7E, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr TGUID MEDIASUBTYPE_YUY2 = FourCCGuid(MakeFourCC('Y', 'U', 'Y', '2'));
constexpr TGUID MEDIASUBTYPE_UYVY = FourCCGuid(MakeFourCC('U', 'Y', 'V', 'Y'));
// Planar 4:2:0: I420 (Y, U and V planes) and NV12 (Y plane, then interleaved U V pairs).
constexpr TGUID MEDIASUBTYPE_I420 = FourCCGuid(MakeFourCC('I', '4', '2', '0'));
constexpr TGUID MEDIASUBTYPE_NV12 = FourCCGuid(MakeFourCC('N', 'V', '1', '2'));
constexpr TGUID MEDIASUBTYPE_MJPG = FourCCGuid(MakeFourCC('M', 'J', 'P', 'G'));
// DV: standard definition ("dvsd", and the upper-case variant some devices report),
// high definition and long play.
constexpr TGUID MEDIASUBTYPE_dvsd = FourCCGuid(MakeFourCC('d', 'v', 's', 'd'));
constexpr TGUID MEDIASUBTYPE_DVSD = FourCCGuid(MakeFourCC('D', 'V', 'S', 'D'));
constexpr TGUID MEDIASUBTYPE_dvhd = FourCCGuid(MakeFourCC('d', 'v', 'h', 'd'));
constexpr TGUID MEDIASUBTYPE_dvsl = FourCCGuid(MakeFourCC('d', 'v', 's', 'l'));
constexpr TGUID MEDIASUBTYPE_MPEG2_VIDEO = {
    0xE06D8026, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
constexpr TGUID MEDIASUBTYPE_MPEG2_TRANSPORT = {
    0xE06D8023, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
constexpr TGUID MEDIASUBTYPE_MPEG2_PROGRAM = {
    0xE06D8022, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
constexpr TGUID MEDIASUBTYPE_PCM = FourCCGuid(0x00000001);
// Compressed video that is named but not decoded here.
constexpr TGUID MEDIASUBTYPE_MPEG1Payload = {
    0xE436EB81, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr TGUID MEDIASUBTYPE_MP4V = FourCCGuid(MakeFourCC('M', 'P', '4', 'V'));
constexpr TGUID MEDIASUBTYPE_H264 = FourCCGuid(MakeFourCC('H', '2', '6', '4'));
constexpr TGUID MEDIASUBTYPE_AVC1 = FourCCGuid(MakeFourCC('A', 'V', 'C', '1'));
constexpr TGUID MEDIASUBTYPE_WMV1 = FourCCGuid(MakeFourCC('W', 'M', 'V', '1'));
constexpr TGUID MEDIASUBTYPE_WMV2 = FourCCGuid(MakeFourCC('W', 'M', 'V', '2'));
constexpr TGUID MEDIASUBTYPE_WMV3 = FourCCGuid(MakeFourCC('W', 'M', 'V', '3'));
constexpr TGUID MEDIASUBTYPE_WVC1 = FourCCGuid(MakeFourCC('W', 'V', 'C', '1'));
constexpr TGUID MEDIASUBTYPE_WMVA = FourCCGuid(MakeFourCC('W', 'M', 'V', 'A'));

constexpr TGUID FORMAT_VideoInfo = {
    0x05589F80, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
constexpr TGUID FORMAT_VideoInfo2 = {
    0xF72A76A0, 0xEB0A, 0x11D0, {0xAC, 0xE4, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};
constexpr TGUID FORMAT_WaveFormatEx = {
    0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
constexpr TGUID FORMAT_DvInfo = {
    0x05589F84, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
constexpr TGUID FORMAT_MPEG2Video = {
    0xE06D80E3, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};

// Format blocks, laid out exactly like the Windows headers (natural alignment, except the
// wave format, which Windows packs to 18 bytes).
struct TRect32 {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct TBitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;  // positive: bottom-up rows (RGB); YUV formats are top-down either way
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;  // BI_RGB or a FOURCC
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

struct TVideoInfoHeader {
    TRect32 rcSource;
    TRect32 rcTarget;
    uint32_t dwBitRate;
    uint32_t dwBitErrorRate;
    int64_t AvgTimePerFrame;  // 100-ns units
    TBitmapInfoHeader bmiHeader;
};

struct TVideoInfoHeader2 {
    TRect32 rcSource;
    TRect32 rcTarget;
    uint32_t dwBitRate;
    uint32_t dwBitErrorRate;
    int64_t AvgTimePerFrame;
    uint32_t dwInterlaceFlags;
    uint32_t dwCopyProtectFlags;
    uint32_t dwPictAspectRatioX;
    uint32_t dwPictAspectRatioY;
    uint32_t dwControlFlags;
    uint32_t dwReserved2;
    TBitmapInfoHeader bmiHeader;
};

struct TMpeg2VideoInfo {
    TVideoInfoHeader2 hdr;
    uint32_t dwStartTimeCode;
    uint32_t cbSequenceHeader;
    uint32_t dwProfile;
    uint32_t dwLevel;
    uint32_t dwFlags;
    uint32_t dwSequenceHeader[1];
};

struct TDvInfo {
    uint32_t dwDVAAuxSrc;
    uint32_t dwDVAAuxCtl;
    uint32_t dwDVAAuxSrc1;
    uint32_t dwDVAAuxCtl1;
    uint32_t dwDVVAuxSrc;
    uint32_t dwDVVAuxCtl;
    uint32_t dwDVReserved[2];
};

#pragma pack(push, 1)
struct TWaveFormatEx {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};
#pragma pack(pop)

constexpr uint16_t WAVE_FORMAT_PCM = 1;

static_assert(sizeof(TRect32) == 16);
static_assert(sizeof(TBitmapInfoHeader) == 40);
static_assert(sizeof(TVideoInfoHeader) == 88);
static_assert(offsetof(TVideoInfoHeader, AvgTimePerFrame) == 40);
static_assert(offsetof(TVideoInfoHeader, bmiHeader) == 48);
static_assert(sizeof(TVideoInfoHeader2) == 112);
static_assert(offsetof(TVideoInfoHeader2, AvgTimePerFrame) == 40);
static_assert(offsetof(TVideoInfoHeader2, bmiHeader) == 72);
static_assert(sizeof(TMpeg2VideoInfo) == 136);
static_assert(sizeof(TDvInfo) == 32);
static_assert(sizeof(TWaveFormatEx) == 18);

// AM_MEDIA_TYPE with an owned format block (cbFormat is the block's size).
struct TMediaType {
    TGUID majortype = GUID_NULL;
    TGUID subtype = GUID_NULL;
    bool bFixedSizeSamples = false;
    bool bTemporalCompression = false;
    uint32_t lSampleSize = 0;
    TGUID formattype = GUID_NULL;
    std::vector<uint8_t> format;

    uint32_t cbFormat() const { return static_cast<uint32_t>(format.size()); }

    // The format block as its type, or nullptr when the format type differs or the block is
    // too small to hold it.
    TVideoInfoHeader* VideoInfo() { return Block<TVideoInfoHeader>(FORMAT_VideoInfo); }
    const TVideoInfoHeader* VideoInfo() const { return Block<TVideoInfoHeader>(FORMAT_VideoInfo); }
    TVideoInfoHeader2* VideoInfo2() { return Block<TVideoInfoHeader2>(FORMAT_VideoInfo2); }
    const TVideoInfoHeader2* VideoInfo2() const {
        return Block<TVideoInfoHeader2>(FORMAT_VideoInfo2);
    }
    TMpeg2VideoInfo* Mpeg2VideoInfo() { return Block<TMpeg2VideoInfo>(FORMAT_MPEG2Video); }
    const TMpeg2VideoInfo* Mpeg2VideoInfo() const {
        return Block<TMpeg2VideoInfo>(FORMAT_MPEG2Video);
    }
    TWaveFormatEx* WaveFormat() { return Block<TWaveFormatEx>(FORMAT_WaveFormatEx); }
    const TWaveFormatEx* WaveFormat() const { return Block<TWaveFormatEx>(FORMAT_WaveFormatEx); }
    TDvInfo* DvInfo() { return Block<TDvInfo>(FORMAT_DvInfo); }
    const TDvInfo* DvInfo() const { return Block<TDvInfo>(FORMAT_DvInfo); }

    // Replaces the format block with a copy of `block` and sets the format type.
    template <typename T>
    void SetFormat(const TGUID& type, const T& block) {
        formattype = type;
        format.resize(sizeof(T));
        std::memcpy(format.data(), &block, sizeof(T));
    }
    void ClearFormat() {
        formattype = GUID_NULL;
        format.clear();
    }

    // The AvgTimePerFrame and bitmap header of a video format block (VIDEOINFOHEADER,
    // VIDEOINFOHEADER2 or MPEG2VIDEOINFO); nullptr for any other format type.
    const TBitmapInfoHeader* BitmapHeader() const;
    bool AvgTimePerFrame(int64_t& value) const;

private:
    template <typename T>
    T* Block(const TGUID& type) {
        return formattype == type && format.size() >= sizeof(T)
                   ? reinterpret_cast<T*>(format.data())
                   : nullptr;
    }
    template <typename T>
    const T* Block(const TGUID& type) const {
        return formattype == type && format.size() >= sizeof(T)
                   ? reinterpret_cast<const T*>(format.data())
                   : nullptr;
    }
};

// Bytes of one bitmap row padded to 32 bits, as the Windows bitmap formats store it.
constexpr uint32_t DibRowBytes(int32_t width, uint16_t bitCount) {
    return ((static_cast<uint32_t>(width) * bitCount + 31) / 32) * 4;
}
