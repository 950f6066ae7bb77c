#include "graph/MediaTypeCaps.h"

#include <gst/audio/audio.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numeric>
#include <string_view>

namespace {

constexpr int64_t kUnitsPerSecond = 10'000'000;

// One DV frame: 120,000 bytes for 525-line (480) systems, 144,000 for 625-line (576).
uint32_t DvFrameBytes(int height) {
    return height == 480 ? 120000u : 144000u;
}

uint32_t BitRate(int64_t avgTimePerFrame, uint32_t frameBytes) {
    if (avgTimePerFrame <= 0) {
        return 0;
    }
    const double rate = static_cast<double>(kUnitsPerSecond) /
                        static_cast<double>(avgTimePerFrame) * static_cast<double>(frameBytes) *
                        8.0;
    return rate >= static_cast<double>(std::numeric_limits<uint32_t>::max())
               ? std::numeric_limits<uint32_t>::max()
               : static_cast<uint32_t>(rate);
}

// Full-resolution luma plus two chroma planes at half the size in both directions (the last
// column and row rounded up).
uint32_t PlanarYuv420Bytes(int width, int height) {
    const uint64_t w = static_cast<uint64_t>(width);
    const uint64_t h = static_cast<uint64_t>(height);
    const uint64_t bytes = w * h + 2 * (((w + 1) / 2) * ((h + 1) / 2));
    return bytes >= std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                         : static_cast<uint32_t>(bytes);
}

struct TVideoFields {
    int width = 0;
    int height = 0;
    int64_t avgTimePerFrame = 0;
};

bool ReadVideoFields(const GstStructure* s, TVideoFields& fields, bool sizeRequired) {
    const bool hasSize = gst_structure_get_int(s, "width", &fields.width) &&
                         gst_structure_get_int(s, "height", &fields.height);
    if (sizeRequired && (!hasSize || fields.width <= 0 || fields.height <= 0)) {
        return false;
    }
    int num = 0;
    int den = 1;
    if (gst_structure_has_field(s, "framerate")) {
        if (!gst_structure_get_fraction(s, "framerate", &num, &den)) {
            return false;  // a range: not a fixed format
        }
        fields.avgTimePerFrame = AvgTimePerFrameFromFrameRate(num, den);
    }
    return true;
}

TBitmapInfoHeader MakeBitmapHeader(int width, int height, uint16_t bitCount, uint32_t compression,
                                   uint32_t imageBytes) {
    TBitmapInfoHeader bmi{};
    bmi.biSize = sizeof(TBitmapInfoHeader);
    bmi.biWidth = width;
    bmi.biHeight = height;
    bmi.biPlanes = 1;
    bmi.biBitCount = bitCount;
    bmi.biCompression = compression;
    bmi.biSizeImage = imageBytes;
    return bmi;
}

// A VIDEOINFOHEADER media type; `knownFrameBytes` says whether the image size is the real
// size of every frame (then the bit rate is computed).
void SetVideoInfo(TMediaType& mt, const TGUID& subtype, const TVideoFields& f, uint16_t bitCount,
                  uint32_t compression, uint32_t imageBytes, bool knownFrameBytes, bool fixedSize) {
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = subtype;
    mt.bFixedSizeSamples = fixedSize;
    mt.bTemporalCompression = false;
    mt.lSampleSize = imageBytes;
    TVideoInfoHeader vih{};
    vih.rcSource = {0, 0, f.width, f.height};
    vih.rcTarget = vih.rcSource;
    vih.dwBitRate = knownFrameBytes ? BitRate(f.avgTimePerFrame, imageBytes) : 0;
    vih.AvgTimePerFrame = f.avgTimePerFrame;
    vih.bmiHeader = MakeBitmapHeader(f.width, f.height, bitCount, compression, imageBytes);
    mt.SetFormat(FORMAT_VideoInfo, vih);
}

bool RawVideoFromCaps(const GstStructure* s, TMediaType& mt) {
    const char* format = gst_structure_get_string(s, "format");
    TVideoFields f;
    if (format == nullptr || !ReadVideoFields(s, f, true)) {
        return false;
    }
    const std::string_view name(format);
    if (name == "BGRx" || name == "BGRA") {
        SetVideoInfo(mt, MEDIASUBTYPE_RGB32, f, 32, BI_RGB, DibRowBytes(f.width, 32) * f.height,
                     true, true);
    } else if (name == "BGR") {
        SetVideoInfo(mt, MEDIASUBTYPE_RGB24, f, 24, BI_RGB, DibRowBytes(f.width, 24) * f.height,
                     true, true);
    } else if (name == "YUY2" || name == "UYVY") {
        const bool yuy2 = name == "YUY2";
        SetVideoInfo(mt, yuy2 ? MEDIASUBTYPE_YUY2 : MEDIASUBTYPE_UYVY, f, 16,
                     yuy2 ? MakeFourCC('Y', 'U', 'Y', '2') : MakeFourCC('U', 'Y', 'V', 'Y'),
                     static_cast<uint32_t>(f.width) * 2u * static_cast<uint32_t>(f.height), true,
                     true);
    } else if (name == "I420" || name == "NV12") {
        const bool i420 = name == "I420";
        SetVideoInfo(mt, i420 ? MEDIASUBTYPE_I420 : MEDIASUBTYPE_NV12, f, 12,
                     i420 ? MakeFourCC('I', '4', '2', '0') : MakeFourCC('N', 'V', '1', '2'),
                     PlanarYuv420Bytes(f.width, f.height), true, true);
    } else {
        return false;
    }
    return true;
}

bool JpegFromCaps(const GstStructure* s, TMediaType& mt) {
    TVideoFields f;
    if (!ReadVideoFields(s, f, true)) {
        return false;
    }
    // A compressed frame never exceeds the 24-bit picture, which is what the sample size says.
    SetVideoInfo(mt, MEDIASUBTYPE_MJPG, f, 24, MakeFourCC('M', 'J', 'P', 'G'),
                 static_cast<uint32_t>(f.width) * 3u * static_cast<uint32_t>(f.height), false,
                 false);
    return true;
}

bool DvFromCaps(const GstStructure* s, TMediaType& mt) {
    gboolean systemStream = FALSE;
    gst_structure_get_boolean(s, "systemstream", &systemStream);
    TVideoFields f;
    if (!ReadVideoFields(s, f, false)) {
        return false;
    }
    if (systemStream) {
        mt.majortype = MEDIATYPE_Interleaved;
        mt.subtype = MEDIASUBTYPE_dvsd;
        mt.bFixedSizeSamples = true;
        mt.lSampleSize = DvFrameBytes(f.height);
        mt.SetFormat(FORMAT_DvInfo, TDvInfo{});
        return true;
    }
    if (f.width <= 0 || f.height <= 0) {
        f.width = 720;
        f.height = 576;
    }
    SetVideoInfo(mt, MEDIASUBTYPE_dvsd, f, 24, MakeFourCC('d', 'v', 's', 'd'),
                 DvFrameBytes(f.height), true, true);
    return true;
}

// Compressed video that is only named: the subtype, no format block.
bool NamedVideo(TMediaType& mt, const TGUID& subtype) {
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = subtype;
    mt.bTemporalCompression = true;
    return true;
}

bool WmvFromCaps(const GstStructure* s, TMediaType& mt) {
    int version = 0;
    gst_structure_get_int(s, "wmvversion", &version);
    switch (version) {
        case 1:
            return NamedVideo(mt, MEDIASUBTYPE_WMV1);
        case 2:
            return NamedVideo(mt, MEDIASUBTYPE_WMV2);
        case 3: {
            // Version 3 covers the simple and main profiles (WMV3) and the advanced profile
            // (WVC1, or WMVA in early files); "format" says which.
            const char* format = gst_structure_get_string(s, "format");
            const std::string_view name(format != nullptr ? format : "WMV3");
            if (name == "WVC1") {
                return NamedVideo(mt, MEDIASUBTYPE_WVC1);
            }
            if (name == "WMVA") {
                return NamedVideo(mt, MEDIASUBTYPE_WMVA);
            }
            return NamedVideo(mt, MEDIASUBTYPE_WMV3);
        }
        default:
            return false;
    }
}

bool H264FromCaps(const GstStructure* s, TMediaType& mt) {
    // Length-prefixed units (as stored in MP4) are AVC1; start codes (byte-stream) are H264.
    const char* format = gst_structure_get_string(s, "stream-format");
    const std::string_view name(format != nullptr ? format : "");
    return NamedVideo(mt, name == "avc" || name == "avc3" ? MEDIASUBTYPE_AVC1 : MEDIASUBTYPE_H264);
}

bool MpegFromCaps(const GstStructure* s, TMediaType& mt) {
    int version = 0;
    gboolean systemStream = FALSE;
    gst_structure_get_int(s, "mpegversion", &version);
    gst_structure_get_boolean(s, "systemstream", &systemStream);
    if (systemStream) {
        mt.majortype = MEDIATYPE_Stream;
        mt.subtype = MEDIASUBTYPE_MPEG2_PROGRAM;
        return true;
    }
    if (version == 1) {
        return NamedVideo(mt, MEDIASUBTYPE_MPEG1Payload);
    }
    if (version == 4) {
        return NamedVideo(mt, MEDIASUBTYPE_MP4V);
    }
    TVideoFields f;
    if (version != 2 || !ReadVideoFields(s, f, true)) {
        return false;
    }
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_MPEG2_VIDEO;
    mt.bTemporalCompression = true;
    TMpeg2VideoInfo info{};
    auto& hdr = info.hdr;
    hdr.rcSource = {0, 0, f.width, f.height};
    hdr.rcTarget = hdr.rcSource;
    int bitRate = 0;
    if (gst_structure_get_int(s, "bitrate", &bitRate) && bitRate > 0) {
        hdr.dwBitRate = static_cast<uint32_t>(bitRate);
    }
    hdr.AvgTimePerFrame = f.avgTimePerFrame;
    int parN = 1;
    int parD = 1;
    if (!gst_structure_get_fraction(s, "pixel-aspect-ratio", &parN, &parD) || parN <= 0 ||
        parD <= 0) {
        parN = parD = 1;
    }
    const int64_t arX = static_cast<int64_t>(f.width) * parN;
    const int64_t arY = static_cast<int64_t>(f.height) * parD;
    const int64_t g = std::gcd(arX, arY);
    hdr.dwPictAspectRatioX = static_cast<uint32_t>(arX / g);
    hdr.dwPictAspectRatioY = static_cast<uint32_t>(arY / g);
    hdr.bmiHeader = MakeBitmapHeader(f.width, f.height, 0, 0, 0);
    mt.SetFormat(FORMAT_MPEG2Video, info);
    return true;
}

bool PcmFromCaps(const GstCaps* caps, TMediaType& mt) {
    GstAudioInfo info;
    if (!gst_audio_info_from_caps(&info, caps) || info.layout != GST_AUDIO_LAYOUT_INTERLEAVED) {
        return false;
    }
    const GstAudioFormat format = GST_AUDIO_INFO_FORMAT(&info);
    if (format != GST_AUDIO_FORMAT_U8 && format != GST_AUDIO_FORMAT_S16LE &&
        format != GST_AUDIO_FORMAT_S24LE && format != GST_AUDIO_FORMAT_S32LE) {
        return false;
    }
    TWaveFormatEx wfx{};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = static_cast<uint16_t>(GST_AUDIO_INFO_CHANNELS(&info));
    wfx.nSamplesPerSec = static_cast<uint32_t>(GST_AUDIO_INFO_RATE(&info));
    wfx.wBitsPerSample = static_cast<uint16_t>(GST_AUDIO_INFO_WIDTH(&info));
    wfx.nBlockAlign = static_cast<uint16_t>(wfx.nChannels * wfx.wBitsPerSample / 8);
    wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;
    mt.majortype = MEDIATYPE_Audio;
    mt.subtype = MEDIASUBTYPE_PCM;
    mt.bFixedSizeSamples = true;
    mt.lSampleSize = wfx.nBlockAlign;
    mt.SetFormat(FORMAT_WaveFormatEx, wfx);
    return true;
}

// Width, height and interval of any video format block.
bool ReadVideoFormat(const TMediaType& mt, int& width, int& height, int64_t& avg) {
    const TBitmapInfoHeader* bmi = mt.BitmapHeader();
    if (bmi == nullptr || !mt.AvgTimePerFrame(avg)) {
        return false;
    }
    width = std::abs(bmi->biWidth);
    height = std::abs(bmi->biHeight);
    return true;
}

void SetSizeAndRate(GstCaps* caps, int width, int height, int64_t avg) {
    int num = 0;
    int den = 1;
    FrameRateFromAvgTimePerFrame(avg, num, den);
    gst_caps_set_simple(caps, "width", G_TYPE_INT, width, "height", G_TYPE_INT, height, "framerate",
                        GST_TYPE_FRACTION, num, den, nullptr);
}

TGstCapsHandle VideoCaps(const TMediaType& mt, GstCaps* caps) {
    int width = 0;
    int height = 0;
    int64_t avg = 0;
    if (!ReadVideoFormat(mt, width, height, avg)) {
        gst_caps_unref(caps);
        return {};
    }
    SetSizeAndRate(caps, width, height, avg);
    return TGstCapsHandle::Adopt(caps);
}

TGstCapsHandle RawVideoCaps(const TMediaType& mt, const char* format) {
    return VideoCaps(mt,
                     gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, format, nullptr));
}

TGstCapsHandle PcmCaps(const TMediaType& mt) {
    const TWaveFormatEx* wfx = mt.WaveFormat();
    if (wfx == nullptr || wfx->nChannels == 0 || wfx->nSamplesPerSec == 0) {
        return {};
    }
    GstAudioFormat format = GST_AUDIO_FORMAT_UNKNOWN;
    switch (wfx->wBitsPerSample) {
        case 8:
            format = GST_AUDIO_FORMAT_U8;
            break;
        case 16:
            format = GST_AUDIO_FORMAT_S16LE;
            break;
        case 24:
            format = GST_AUDIO_FORMAT_S24LE;
            break;
        case 32:
            format = GST_AUDIO_FORMAT_S32LE;
            break;
        default:
            return {};
    }
    GstAudioInfo info;
    gst_audio_info_init(&info);
    gst_audio_info_set_format(&info, format, static_cast<gint>(wfx->nSamplesPerSec), wfx->nChannels,
                              nullptr);
    return TGstCapsHandle::Adopt(gst_audio_info_to_caps(&info));
}

bool IsDvSubtype(const TGUID& subtype) {
    return subtype == MEDIASUBTYPE_dvsd || subtype == MEDIASUBTYPE_DVSD ||
           subtype == MEDIASUBTYPE_dvhd || subtype == MEDIASUBTYPE_dvsl;
}

}  // namespace

int64_t AvgTimePerFrameFromFrameRate(int num, int den) {
    if (num <= 0 || den <= 0) {
        return 0;
    }
    return (kUnitsPerSecond * den + num / 2) / num;
}

void FrameRateFromAvgTimePerFrame(int64_t avgTimePerFrame, int& num, int& den) {
    num = 0;
    den = 1;
    if (avgTimePerFrame <= 0) {
        return;
    }
    for (const int d : {1, 1001, 2}) {
        const int64_t n = (kUnitsPerSecond * d + avgTimePerFrame / 2) / avgTimePerFrame;
        if (n > 0 && n <= std::numeric_limits<int>::max() &&
            AvgTimePerFrameFromFrameRate(static_cast<int>(n), d) == avgTimePerFrame) {
            num = static_cast<int>(n);
            den = d;
            return;
        }
    }
    int64_t n = kUnitsPerSecond;
    int64_t d = avgTimePerFrame;
    const int64_t g = std::gcd(n, d);
    n /= g;
    d /= g;
    while (d > std::numeric_limits<int>::max()) {  // keep the fraction in range, roughly
        n = (n + 1) / 2;
        d /= 2;
    }
    num = static_cast<int>(n);
    den = static_cast<int>(d);
}

bool MediaTypeFromCaps(const GstCaps* caps, TMediaType& mediaType) {
    mediaType = TMediaType{};
    if (caps == nullptr || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) {
        return false;
    }
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    const std::string_view name(gst_structure_get_name(s));
    bool ok = false;
    if (name == "video/x-raw") {
        ok = RawVideoFromCaps(s, mediaType);
    } else if (name == "image/jpeg") {
        ok = JpegFromCaps(s, mediaType);
    } else if (name == "video/x-dv") {
        ok = DvFromCaps(s, mediaType);
    } else if (name == "video/mpeg") {
        ok = MpegFromCaps(s, mediaType);
    } else if (name == "video/x-wmv") {
        ok = WmvFromCaps(s, mediaType);
    } else if (name == "video/x-h264") {
        ok = H264FromCaps(s, mediaType);
    } else if (name == "video/mpegts") {
        mediaType.majortype = MEDIATYPE_Stream;
        mediaType.subtype = MEDIASUBTYPE_MPEG2_TRANSPORT;
        ok = true;
    } else if (name == "audio/x-raw") {
        ok = PcmFromCaps(caps, mediaType);
    }
    if (!ok) {
        mediaType = TMediaType{};
    }
    return ok;
}

TGstCapsHandle CapsFromMediaType(const TMediaType& mt) {
    const TGUID& sub = mt.subtype;
    if (mt.majortype == MEDIATYPE_Video) {
        if (sub == MEDIASUBTYPE_RGB32) {
            return RawVideoCaps(mt, "BGRx");
        }
        if (sub == MEDIASUBTYPE_RGB24) {
            return RawVideoCaps(mt, "BGR");
        }
        if (sub == MEDIASUBTYPE_YUY2) {
            return RawVideoCaps(mt, "YUY2");
        }
        if (sub == MEDIASUBTYPE_UYVY) {
            return RawVideoCaps(mt, "UYVY");
        }
        if (sub == MEDIASUBTYPE_I420) {
            return RawVideoCaps(mt, "I420");
        }
        if (sub == MEDIASUBTYPE_NV12) {
            return RawVideoCaps(mt, "NV12");
        }
        if (sub == MEDIASUBTYPE_MJPG) {
            return VideoCaps(mt, gst_caps_new_empty_simple("image/jpeg"));
        }
        if (IsDvSubtype(sub)) {
            return VideoCaps(mt, gst_caps_new_simple("video/x-dv", "systemstream", G_TYPE_BOOLEAN,
                                                     FALSE, nullptr));
        }
        if (sub == MEDIASUBTYPE_MPEG2_VIDEO) {
            GstCaps* caps = gst_caps_new_simple("video/mpeg", "mpegversion", G_TYPE_INT, 2,
                                                "systemstream", G_TYPE_BOOLEAN, FALSE, nullptr);
            if (const TMpeg2VideoInfo* info = mt.Mpeg2VideoInfo()) {
                const auto& hdr = info->hdr;
                const int w = std::abs(hdr.bmiHeader.biWidth);
                const int h = std::abs(hdr.bmiHeader.biHeight);
                SetSizeAndRate(caps, w, h, hdr.AvgTimePerFrame);
                if (hdr.dwPictAspectRatioX > 0 && hdr.dwPictAspectRatioY > 0 && w > 0 && h > 0) {
                    // Pixel aspect = picture aspect * height / width.
                    int64_t n = static_cast<int64_t>(hdr.dwPictAspectRatioX) * h;
                    int64_t d = static_cast<int64_t>(hdr.dwPictAspectRatioY) * w;
                    const int64_t g = std::gcd(n, d);
                    gst_caps_set_simple(caps, "pixel-aspect-ratio", GST_TYPE_FRACTION,
                                        static_cast<int>(n / g), static_cast<int>(d / g), nullptr);
                }
                if (hdr.dwBitRate > 0) {
                    gst_caps_set_simple(caps, "bitrate", G_TYPE_INT,
                                        static_cast<int>(hdr.dwBitRate), nullptr);
                }
                return TGstCapsHandle::Adopt(caps);
            }
            return VideoCaps(mt, caps);
        }
        return {};
    }
    if (mt.majortype == MEDIATYPE_Interleaved && IsDvSubtype(sub)) {
        return TGstCapsHandle::Adopt(
            gst_caps_new_simple("video/x-dv", "systemstream", G_TYPE_BOOLEAN, TRUE, nullptr));
    }
    if (mt.majortype == MEDIATYPE_Stream && sub == MEDIASUBTYPE_MPEG2_TRANSPORT) {
        return TGstCapsHandle::Adopt(
            gst_caps_new_simple("video/mpegts", "systemstream", G_TYPE_BOOLEAN, TRUE, nullptr));
    }
    if (mt.majortype == MEDIATYPE_Stream && sub == MEDIASUBTYPE_MPEG2_PROGRAM) {
        return TGstCapsHandle::Adopt(gst_caps_new_simple("video/mpeg", "mpegversion", G_TYPE_INT, 2,
                                                         "systemstream", G_TYPE_BOOLEAN, TRUE,
                                                         nullptr));
    }
    if (mt.majortype == MEDIATYPE_Audio && sub == MEDIASUBTYPE_PCM) {
        return PcmCaps(mt);
    }
    return {};
}
