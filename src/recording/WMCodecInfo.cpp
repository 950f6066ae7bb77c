#include "recording/WMCodecInfo.h"

#include <gst/gst.h>

#include <cstdio>

#include "platform/GstHandle.h"

namespace {

constexpr uint32_t kWaveFormatWMAudioV1 = 0x0160;
constexpr uint32_t kWaveFormatWMAudioV2 = 0x0161;

const std::vector<TWMCodecInfo::TAudioFormat> kAudioFormats = {
    {48000, 2, 128000}, {44100, 2, 128000}, {44100, 2, 64000},
    {32000, 2, 48000},  {22050, 1, 32000},  {16000, 1, 16000},
};

bool Installed(const char* factory) {
    GstElementFactory* f = gst_element_factory_find(factory);
    if (f == nullptr) {
        return false;
    }
    gst_object_unref(f);
    return true;
}

std::string FourCCText(uint32_t fourcc) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        text += static_cast<char>((fourcc >> (8 * i)) & 0xFF);
    }
    return text;
}

}  // namespace

TWMCodecInfo::TWMCodecInfo() {
    const TCodec video[] = {
        {"avenc_wmv2", "Windows Media Video 8", MakeFourCC('W', 'M', 'V', '2'), {}},
        {"avenc_wmv1", "Windows Media Video 7", MakeFourCC('W', 'M', 'V', '1'), {}},
    };
    const TCodec audio[] = {
        {"avenc_wmav2", "Windows Media Audio 2", kWaveFormatWMAudioV2, kAudioFormats},
        {"avenc_wmav1", "Windows Media Audio 1", kWaveFormatWMAudioV1, kAudioFormats},
    };
    for (const auto& c : video) {
        if (Installed(c.Factory)) {
            FVideoCodecs.push_back(c);
        }
    }
    for (const auto& c : audio) {
        if (Installed(c.Factory)) {
            FAudioCodecs.push_back(c);
        }
    }
}

const std::vector<TWMCodecInfo::TCodec>& TWMCodecInfo::Codecs(TKind Kind) const {
    return Kind == TKind::Video ? FVideoCodecs : FAudioCodecs;
}

const TWMCodecInfo::TCodec* TWMCodecInfo::Find(TKind Kind, uint32_t CodecIndex) const {
    const auto& codecs = Codecs(Kind);
    return CodecIndex < codecs.size() ? &codecs[CodecIndex] : nullptr;
}

HRESULT TWMCodecInfo::GetCodecInfoCount(TKind Kind, uint32_t& Count) const {
    Count = static_cast<uint32_t>(Codecs(Kind).size());
    return S_OK;
}

HRESULT TWMCodecInfo::GetCodecName(TKind Kind, uint32_t CodecIndex, std::string& Name) const {
    const TCodec* codec = Find(Kind, CodecIndex);
    if (codec == nullptr) {
        return E_INVALIDARG;
    }
    Name = codec->Name;
    return S_OK;
}

HRESULT TWMCodecInfo::GetCodecFormatCount(TKind Kind, uint32_t CodecIndex,
                                          uint32_t& Count) const {
    const TCodec* codec = Find(Kind, CodecIndex);
    if (codec == nullptr) {
        return E_INVALIDARG;
    }
    Count = Kind == TKind::Video ? 1 : static_cast<uint32_t>(codec->AudioFormats.size());
    return S_OK;
}

HRESULT TWMCodecInfo::GetCodecFormat(TKind Kind, uint32_t CodecIndex, uint32_t FormatIndex,
                                     TWMProfile::TStreamConfig& Config) const {
    const TCodec* codec = Find(Kind, CodecIndex);
    uint32_t formats = 0;
    if (codec == nullptr || FAILED(GetCodecFormatCount(Kind, CodecIndex, formats)) ||
        FormatIndex >= formats) {
        return E_INVALIDARG;
    }
    Config = TWMProfile::TStreamConfig{};
    Config.EncoderFactory = codec->Factory;
    if (Kind == TKind::Video) {
        // The codec's default configuration; the profile rewrites size, rate and bit rate.
        Config.Video = true;
        Config.Bitrate = 250000;
        TVideoInfoHeader vih{};
        vih.rcSource = {0, 0, 320, 240};
        vih.rcTarget = vih.rcSource;
        vih.dwBitRate = Config.Bitrate;
        vih.AvgTimePerFrame = 333333;
        vih.bmiHeader.biSize = sizeof(TBitmapInfoHeader);
        vih.bmiHeader.biWidth = 320;
        vih.bmiHeader.biHeight = 240;
        vih.bmiHeader.biPlanes = 1;
        vih.bmiHeader.biBitCount = 24;
        vih.bmiHeader.biCompression = codec->Tag;
        Config.MediaType.majortype = MEDIATYPE_Video;
        Config.MediaType.subtype = FourCCGuid(codec->Tag);
        Config.MediaType.bTemporalCompression = true;
        Config.MediaType.SetFormat(FORMAT_VideoInfo, vih);
        return S_OK;
    }
    const TAudioFormat& format = codec->AudioFormats[FormatIndex];
    Config.Video = false;
    Config.Bitrate = format.Bitrate;
    TWaveFormatEx wfx{};
    wfx.wFormatTag = static_cast<uint16_t>(codec->Tag);
    wfx.nChannels = format.Channels;
    wfx.nSamplesPerSec = format.SampleRate;
    wfx.nAvgBytesPerSec = format.Bitrate / 8;
    wfx.nBlockAlign = 1;
    wfx.wBitsPerSample = 16;
    Config.MediaType.majortype = MEDIATYPE_Audio;
    Config.MediaType.subtype = FourCCGuid(codec->Tag);
    Config.MediaType.SetFormat(FORMAT_WaveFormatEx, wfx);
    return S_OK;
}

HRESULT TWMCodecInfo::GetCodecFormatDesc(TKind Kind, uint32_t CodecIndex, uint32_t FormatIndex,
                                         TWMProfile::TStreamConfig& Config,
                                         std::string& Description) const {
    const HRESULT hr = GetCodecFormat(Kind, CodecIndex, FormatIndex, Config);
    if (FAILED(hr)) {
        return hr;
    }
    const TCodec& codec = *Find(Kind, CodecIndex);
    char text[128];
    if (Kind == TKind::Video) {
        std::snprintf(text, sizeof text, "%s (%s), any frame size, rate and bit rate", codec.Name,
                      FourCCText(codec.Tag).c_str());
    } else {
        const TAudioFormat& f = codec.AudioFormats[FormatIndex];
        std::snprintf(text, sizeof text, "%u kbps, %g kHz, %s", f.Bitrate / 1000,
                      f.SampleRate / 1000.0, f.Channels == 1 ? "mono" : "stereo");
    }
    Description = text;
    return S_OK;
}
