#include "videolog/StreamNames.h"

#include <array>

#include "platform/MediaType.h"

namespace {

// The three families of subtype GUIDs in the SDK headers.
constexpr TGUID FourCC(char a, char b, char c, char d) {
    return FourCCGuid(MakeFourCC(a, b, c, d));
}
// Audio subtypes are their wave format tag in the FOURCC range.
constexpr TGUID WaveTag(uint32_t tag) {
    return FourCCGuid(tag);
}
// The core DirectShow types: XXXXXXXX-524F-11CE-9F53-0020AF0BA770.
constexpr TGUID Quartz(uint32_t data1) {
    return {data1, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
}
// Analog video standards: XXXXXXXX-7817-11CF-8A03-00AA006ECB65.
constexpr TGUID AnalogVideo(uint32_t data1) {
    return {data1, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
}
// MPEG-2 and DVD types: XXXXXXXX-DB46-11CF-B4D1-00805F6CBBEA.
constexpr TGUID Mpeg2(uint32_t data1) {
    return {data1, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
}
// Closed captions on line 21: XXXXXXXX-310C-11D0-B79A-00AA003767A7.
constexpr TGUID Line21(uint32_t data1) {
    return {data1, 0x310C, 0x11D0, {0xB7, 0x9A, 0x00, 0xAA, 0x00, 0x37, 0x67, 0xA7}};
}
// Satellite and video port streams: XXXXXXXX-XXXX-11D0/11D1-BAD9-00609744111A.
constexpr TGUID BadType(uint32_t data1, uint16_t data2, uint16_t data3) {
    return {data1, data2, data3, {0xBA, 0xD9, 0x00, 0x60, 0x97, 0x44, 0x11, 0x1A}};
}

constexpr std::array<TStreamNameRow, 144> kRows{{
    {GUID_NULL, "NULL"},
    {Quartz(0xE436EB8E), "None"},
    {FourCC('C', 'L', 'P', 'L'), "CLPL"},
    {FourCC('Y', 'U', 'Y', 'V'), "YUYV"},
    {FourCC('I', 'Y', 'U', 'V'), "IYUV"},
    {FourCC('Y', 'V', 'U', '9'), "YVU9"},
    {FourCC('Y', '4', '1', '1'), "Y411"},
    {FourCC('Y', '4', '1', 'P'), "Y41P"},
    {FourCC('Y', 'U', 'Y', '2'), "YUY2"},
    {FourCC('Y', 'V', 'Y', 'U'), "YVYU"},
    {FourCC('U', 'Y', 'V', 'Y'), "UYVY"},
    {FourCC('Y', '2', '1', '1'), "Y211"},
    {FourCC('Y', 'V', '1', '2'), "YV12"},
    {FourCC('C', 'L', 'J', 'R'), "CLJR"},
    {FourCC('I', 'F', '0', '9'), "IF09"},
    {FourCC('C', 'P', 'L', 'A'), "CPLA"},
    {FourCC('M', 'J', 'P', 'G'), "MJPG"},
    {FourCC('T', 'V', 'M', 'J'), "TVMJ"},
    {FourCC('W', 'A', 'K', 'E'), "WAKE"},
    {FourCC('C', 'F', 'C', 'C'), "CFCC"},
    {FourCC('I', 'J', 'P', 'G'), "IJPG"},
    {FourCC('P', 'l', 'u', 'm'), "Plum"},
    {FourCC('D', 'V', 'C', 'S'), "DVCS"},
    {FourCC('D', 'V', 'S', 'D'), "DVSD"},
    {FourCC('M', 'D', 'V', 'F'), "MDVF"},
    {Quartz(0xE436EB78), "RGB1"},
    {Quartz(0xE436EB79), "RGB4"},
    {Quartz(0xE436EB7A), "RGB8"},
    {Quartz(0xE436EB7B), "RGB565"},
    {Quartz(0xE436EB7C), "RGB555"},
    {Quartz(0xE436EB7D), "RGB24"},
    {Quartz(0xE436EB7E), "RGB32"},
    {{0x297C55AF, 0xE209, 0x4CB3, {0xB7, 0x57, 0xC7, 0x6D, 0x6B, 0x9C, 0x88, 0xA8}}, "ARGB1555"},
    {{0x6E6415E6, 0x5C24, 0x425F, {0x93, 0xCD, 0x80, 0x10, 0x2B, 0x3D, 0x1C, 0xCA}}, "ARGB4444"},
    {{0x773C9AC0, 0x3274, 0x11D0, {0xB7, 0x24, 0x00, 0xAA, 0x00, 0x6C, 0x1A, 0x01}}, "ARGB32"},
    {FourCC('A', 'Y', 'U', 'V'), "AYUV"},
    {FourCC('A', 'I', '4', '4'), "AI44"},
    {FourCC('I', 'A', '4', '4'), "IA44"},
    {FourCC('7', 'R', '3', '2'), "RGB32 D3D DX7 RT"},
    {FourCC('7', 'R', '1', '6'), "RGB16 D3D DX7 RT"},
    {FourCC('7', 'A', '8', '8'), "ARGB32 D3D DX7 RT"},
    {FourCC('7', 'A', '4', '4'), "ARGB4444 D3D DX7 RT"},
    {FourCC('7', 'A', '1', '5'), "ARGB1555 D3D DX7 RT"},
    {Quartz(0xE436EB7F), "Overlay"},
    {Quartz(0xE436EB80), "MPEG1Packet"},
    {Quartz(0xE436EB81), "MPEG1"},    // MPEG-1 video payload
    {WaveTag(0x0050), "MPEG1Audio"},  // MPEG-1 audio payload
    {Quartz(0xE436EB84), "MPEG1System"},
    {Quartz(0xE436EB85), "MPEG1VideoCD"},
    {Quartz(0xE436EB86), "MPEG1Video"},
    {Quartz(0xE436EB87), "MPEG1Audio"},
    {Quartz(0xE436EB88), "Avi"},
    {{0x3DB80F90, 0x9412, 0x11D1, {0xAD, 0xED, 0x00, 0x00, 0xF8, 0x75, 0x4B, 0x99}}, "Asf"},
    {Quartz(0xE436EB89), "QTMovie"},
    {FourCC('r', 'p', 'z', 'a'), "QTRpza"},
    {FourCC('s', 'm', 'c', ' '), "QTSmc"},
    {FourCC('r', 'l', 'e', ' '), "QTRle"},
    {FourCC('j', 'p', 'e', 'g'), "QTJpeg"},
    {Quartz(0xE436EB8A), "PCMAudio Obsolete"},
    {WaveTag(0x0001), "PCM"},
    {Quartz(0xE436EB8B), "WAVE"},
    {Quartz(0xE436EB8C), "AU"},
    {Quartz(0xE436EB8D), "AIFF"},
    {FourCC('d', 'v', 's', 'd'), "DVSD"},
    {FourCC('d', 'v', 'h', 'd'), "DVHD"},
    {FourCC('d', 'v', 's', 'l'), "DVSL"},
    {Line21(0x6E8D4A22), "Line21 BytePair"},
    {Line21(0x6E8D4A23), "Line21 GOPPacket"},
    {Line21(0x6E8D4A24), "Line21 VBIRawData"},
    {{0xF72A76E3, 0xEB0A, 0x11D0, {0xAC, 0xE4, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}}, "TELETEXT"},
    {WaveTag(0x0009), "DRM Audio"},
    {WaveTag(0x0003), "IEEE FLOAT"},
    {WaveTag(0x0092), "DOLBY AC3 SPDIF"},
    {WaveTag(0x0240), "RAW SPORT"},
    {WaveTag(0x0241), "SPDIF TAG 241h"},
    {BadType(0xA0AF4F81, 0xE163, 0x11D0), "DssVideo"},
    {BadType(0xA0AF4F82, 0xE163, 0x11D0), "DssAudio"},
    {BadType(0x5A9B6A40, 0x1A22, 0x11D1), "VPVideo"},
    {BadType(0x5A9B6A41, 0x1A22, 0x11D1), "VPVBI"},
    {AnalogVideo(0x0482DDE2), "AnalogVideo NTSC M"},
    {AnalogVideo(0x0482DDE5), "AnalogVideo PAL B"},
    {AnalogVideo(0x0482DDE6), "AnalogVideo PAL D"},
    {AnalogVideo(0x0482DDE7), "AnalogVideo PAL G"},
    {AnalogVideo(0x0482DDE8), "AnalogVideo PAL H"},
    {AnalogVideo(0x0482DDE9), "AnalogVideo PAL I"},
    {AnalogVideo(0x0482DDEA), "AnalogVideo PAL M"},
    {AnalogVideo(0x0482DDEB), "AnalogVideo PAL N"},
    {AnalogVideo(0x0482DDEC), "AnalogVideo PAL N COMBO"},
    {AnalogVideo(0x0482DDF0), "AnalogVideo SECAM B"},
    {AnalogVideo(0x0482DDF1), "AnalogVideo SECAM D"},
    {AnalogVideo(0x0482DDF2), "AnalogVideo SECAM G"},
    {AnalogVideo(0x0482DDF3), "AnalogVideo SECAM H"},
    {AnalogVideo(0x0482DDF4), "AnalogVideo SECAM K"},
    {AnalogVideo(0x0482DDF5), "AnalogVideo SECAM K1"},
    {AnalogVideo(0x0482DDF6), "AnalogVideo SECAM L"},
    {Mpeg2(0xE06D8026), "MPEG2 Video"},
    {Mpeg2(0xE06D8022), "MPEG2 PROGRAM"},
    {Mpeg2(0xE06D8023), "MPEG2 TRANSPORT"},
    {Mpeg2(0xE06D802B), "MPEG2 AUDIO"},
    {Mpeg2(0xE06D802C), "DOLBY AC3"},
    {Mpeg2(0xE06D802D), "DVD SUBPICTURE"},
    {Mpeg2(0xE06D8032), "DVD LPCM AUDIO"},
    {Mpeg2(0xE06D8033), "DTS"},
    {Mpeg2(0xE06D8034), "SDDS"},
    {Mpeg2(0xE06D802F), "DVD NAVIGATION PCI"},
    {Mpeg2(0xE06D8030), "DVD NAVIGATION DSI"},
    {Mpeg2(0xE06D8031), "DVD NAVIGATION PROVIDER"},
    {FourCC('d', 'v', '2', '5'), "DV25"},
    {FourCC('d', 'v', '5', '0'), "DV50"},
    {FourCC('d', 'v', 'h', '1'), "DV100"},
    {FourCC('M', 'P', '4', 'V'), "MPEG4 Video"},
    // H.264 with start codes under both FOURCC spellings, and without start codes (MP4).
    {FourCC('H', '2', '6', '4'), "H264/AVC"},
    {FourCC('h', '2', '6', '4'), "H264/AVC"},
    {FourCC('A', 'V', 'C', '1'), "H264/AVC"},
    {FourCC('m', 'j', 'p', 'g'), "MJPEG"},
    {FourCC('M', 'J', '2', 'C'), "JPEG2000 J2C"},
    {FourCC('M', 'J', 'P', '2'), "JPEG2000 JP2"},
    {FourCC('W', 'M', 'V', '1'), "WMV1"},
    {FourCC('W', 'M', 'V', '2'), "WMV2"},
    {FourCC('W', 'M', 'V', '3'), "WMV3"},
    {FourCC('W', 'V', 'C', '1'), "VC1"},
    {WaveTag(0x00FF), "AAC"},
    {WaveTag(0x0278), "Sony AAC"},
    {FourCC('M', 'P', '4', 'A'), "Nero AAC"},
    {WaveTag(0x4143), "Divio AAC"},
    {WaveTag(0x01FF), "LATM AAC"},
    {WaveTag(0x0180), "Fraunhofer AAC"},
    {WaveTag(0xA106), "ISO/MPEG-4 AAC"},
    {WaveTag(0x1600), "MPEG ADTS AAC"},
    {WaveTag(0x1610), "MPEG HEAAC"},
    {WaveTag(0x0055), "MP3"},
    {WaveTag(0x0161), "WMAudioV8"},
    {WaveTag(0x0162), "WMAudioV9"},
    {WaveTag(0x0163), "WMAudio_Lossless"},
    {WaveTag(0x000A), "WMSP1"},
    {FourCC('W', 'M', 'V', 'A'), "WMVA"},
    {FourCC('W', 'M', 'V', 'P'), "WMVP"},
    {FourCC('W', 'V', 'P', '2'), "WVP2"},
    {FourCC('M', 'P', '4', '3'), "MP43"},
    {FourCC('M', 'P', '4', 'S'), "MP4S"},
    {FourCC('M', '4', 'S', '2'), "M4S2"},
    {FourCC('P', '4', '2', '2'), "P422"},
    {FourCC('M', 'S', 'S', '1'), "MSS1"},
    {FourCC('M', 'S', 'S', '2'), "MSS2"},
}};

}  // namespace

std::span<const TStreamNameRow> StreamNameRows() {
    return kRows;
}

std::string StreamNameOfSubtype(const TGUID& Subtype) {
    for (const TStreamNameRow& row : kRows) {
        if (row.Subtype == Subtype) {
            return row.Label;
        }
    }
    return GuidToString(Subtype);
}
