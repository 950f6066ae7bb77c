#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/HResult.h"
#include "recording/WMProfile.h"

// The Windows Media encoders this machine's media framework has, in the order the program
// lists them: video "Windows Media Video 8" (avenc_wmv2), then "Windows Media Video 7"
// (avenc_wmv1); audio "Windows Media Audio 2" (avenc_wmav2), then "Windows Media Audio 1"
// (avenc_wmav1). Encoders that are not installed are left out. Every video codec has one
// format (its stream configuration with a frame size, rate and bit rate to be rewritten);
// every audio codec a fixed list of rate/channel/bit-rate formats.
class TWMCodecInfo {
public:
    enum class TKind { Video, Audio };

    TWMCodecInfo();

    HRESULT GetCodecInfoCount(TKind Kind, uint32_t& Count) const;
    HRESULT GetCodecName(TKind Kind, uint32_t CodecIndex, std::string& Name) const;
    HRESULT GetCodecFormatCount(TKind Kind, uint32_t CodecIndex, uint32_t& Count) const;
    // The stream configuration of a codec's format, with the codec's own media type.
    HRESULT GetCodecFormat(TKind Kind, uint32_t CodecIndex, uint32_t FormatIndex,
                           TWMProfile::TStreamConfig& Config) const;
    HRESULT GetCodecFormatDesc(TKind Kind, uint32_t CodecIndex, uint32_t FormatIndex,
                               TWMProfile::TStreamConfig& Config, std::string& Description) const;

    struct TAudioFormat {
        uint32_t SampleRate;
        uint16_t Channels;
        uint32_t Bitrate;
    };
    struct TCodec {
        const char* Factory;
        const char* Name;
        uint32_t Tag;  // FOURCC (video) or wave format tag (audio)
        std::vector<TAudioFormat> AudioFormats;
    };

private:
    const std::vector<TCodec>& Codecs(TKind Kind) const;
    const TCodec* Find(TKind Kind, uint32_t CodecIndex) const;

    std::vector<TCodec> FVideoCodecs;
    std::vector<TCodec> FAudioCodecs;
};
