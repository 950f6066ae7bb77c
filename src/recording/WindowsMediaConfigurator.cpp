#include "recording/WindowsMediaConfigurator.h"

#include <stdexcept>

#include "platform/DebugOutput.h"
#include "platform/MediaFramework.h"
#include "recording/WMVWriter.h"

namespace {

using TKind = TWMCodecInfo::TKind;

void CallFailed(const char* operation) {
    OutputDebugString(std::string("gkt: Error in TWindowsMediaConfigurator.") + operation +
                      " call...");
}

// A failing step of ConfigureWMVFilter: its line, and the result it reports.
struct TConfigureFailure {
    HRESULT Result;
};

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) {
        OutputDebugString(
            std::string("gkt: Error in TWindowsMediaConfigurator.ConfigureWMVFilter - ") + what);
        throw TConfigureFailure{hr};
    }
}

TWMCodecInfo& Sdk(const std::unique_ptr<TWMCodecInfo>& info) {
    if (!info) {
        throw std::runtime_error("no profile manager");
    }
    return *info;
}

}  // namespace

TWindowsMediaConfigurator::TWindowsMediaConfigurator() {
    try {
        if (!InitializeMediaFramework()) {
            OutputDebugString(
                "gkt: Error in TWindowsMediaConfigurator.Create - can not create profile "
                "manager.");
            return;
        }
        FWMCodecInfo3 = std::make_unique<TWMCodecInfo>();
        FWMVideoStreams = std::make_unique<std::vector<TWMVideoStreamSettings>>();
        FWMAudioStreams = std::make_unique<std::vector<TWMAudioStreamSettings>>();
    } catch (...) {
        CallFailed("Create");
    }
}

TWindowsMediaConfigurator::~TWindowsMediaConfigurator() = default;

HRESULT TWindowsMediaConfigurator::GetVideoCodecsCount(uint32_t& Count) {
    try {
        return Sdk(FWMCodecInfo3).GetCodecInfoCount(TKind::Video, Count);
    } catch (...) {
        CallFailed("GetVideoCodecsCount");
        return E_FAIL;
    }
}

HRESULT TWindowsMediaConfigurator::GetVideoCodecName(uint32_t CodecIndex, std::string& Name) {
    try {
        if (CheckValidVideoCodec(CodecIndex) != S_OK) {
            return E_INVALIDARG;
        }
        return Sdk(FWMCodecInfo3).GetCodecName(TKind::Video, CodecIndex, Name);
    } catch (...) {
        CallFailed("GetVideoCodecName");
        return E_FAIL;
    }
}

HRESULT TWindowsMediaConfigurator::GetVideoCodecFormatDescription(uint32_t CodecIndex,
                                                                  std::string& Description) {
    try {
        if (CheckValidVideoCodec(CodecIndex) != S_OK) {
            return E_INVALIDARG;
        }
        TWMProfile::TStreamConfig config;
        return Sdk(FWMCodecInfo3).GetCodecFormatDesc(TKind::Video, CodecIndex, 0, config,
                                                     Description);
    } catch (...) {
        CallFailed("GetVideoCodecFormatDescription");
        return E_FAIL;
    }
}

HRESULT TWindowsMediaConfigurator::CheckValidVideoCodec(uint32_t CodecIndex) {
    try {
        uint32_t count = 0;
        const HRESULT hr = Sdk(FWMCodecInfo3).GetCodecInfoCount(TKind::Video, count);
        if (FAILED(hr)) {
            return hr;
        }
        return CodecIndex < count ? S_OK : S_FALSE;
    } catch (...) {
        CallFailed("CheckValidVideoCodec");
        return E_FAIL;
    }
}

HRESULT TWindowsMediaConfigurator::GetAudioCodecsCount(uint32_t& Count) {
    try {
        return Sdk(FWMCodecInfo3).GetCodecInfoCount(TKind::Audio, Count);
    } catch (...) {
        CallFailed("GetAudioCodecsCount");
        return E_FAIL;
    }
}

HRESULT TWindowsMediaConfigurator::GetAudioCodecName(uint32_t CodecIndex, std::string& Name) {
    try {
        if (CheckValidAudioCodec(CodecIndex, 0) != S_OK) {
            return E_INVALIDARG;
        }
        return Sdk(FWMCodecInfo3).GetCodecName(TKind::Audio, CodecIndex, Name);
    } catch (...) {
        CallFailed("GetAudioCodecName");
        return E_FAIL;
    }
}

HRESULT TWindowsMediaConfigurator::GetAudioCodecFormatsCount(uint32_t CodecIndex,
                                                             uint32_t& Count) {
    try {
        if (CheckValidAudioCodec(CodecIndex, 0) != S_OK) {
            return E_INVALIDARG;
        }
        return Sdk(FWMCodecInfo3).GetCodecFormatCount(TKind::Audio, CodecIndex, Count);
    } catch (...) {
        CallFailed("GetAudioCodecFormatsCount");
        return E_FAIL;
    }
}

HRESULT TWindowsMediaConfigurator::GetAudioCodecFormatDescription(uint32_t CodecIndex,
                                                                  uint32_t FormatIndex,
                                                                  std::string& Description) {
    try {
        if (CheckValidAudioCodec(CodecIndex, FormatIndex) != S_OK) {
            return E_INVALIDARG;
        }
        TWMProfile::TStreamConfig config;
        return Sdk(FWMCodecInfo3).GetCodecFormatDesc(TKind::Audio, CodecIndex, FormatIndex,
                                                     config, Description);
    } catch (...) {
        CallFailed("GetAudioCodecFormatDescription");
        return E_FAIL;
    }
}

HRESULT TWindowsMediaConfigurator::CheckValidAudioCodec(uint32_t CodecIndex,
                                                        uint32_t FormatIndex) {
    try {
        TWMCodecInfo& sdk = Sdk(FWMCodecInfo3);
        uint32_t count = 0;
        HRESULT hr = sdk.GetCodecInfoCount(TKind::Audio, count);
        if (FAILED(hr)) {
            return hr;
        }
        if (CodecIndex >= count) {
            return S_FALSE;
        }
        uint32_t formats = 0;
        hr = sdk.GetCodecFormatCount(TKind::Audio, CodecIndex, formats);
        if (FAILED(hr)) {
            return hr;
        }
        return FormatIndex < formats ? S_OK : S_FALSE;
    } catch (...) {
        CallFailed("CheckValidAudioCodec");
        return E_FAIL;
    }
}

HRESULT TWindowsMediaConfigurator::AddVideoStream(
    const TWMVideoStreamSettings& WMVideoStreamSettings) {
    try {
        const TWMVideoStreamSettings& s = WMVideoStreamSettings;
        if (FAILED(CheckValidVideoCodec(s.VideoCodecIndex)) || s.VideoQuality > 100) {
            return E_INVALIDARG;
        }
        // An encoder cannot make pictures without a size or a frame time.
        if (s.VideoWidth == 0 || s.VideoHeight == 0 || s.TimePerFrame <= 0) {
            return E_INVALIDARG;
        }
        if (!FWMVideoStreams) {
            throw std::runtime_error("no stream list");
        }
        FWMVideoStreams->push_back(s);
        return S_OK;
    } catch (...) {
        CallFailed("AddVideoStream");
        return E_FAIL;
    }
}

HRESULT TWindowsMediaConfigurator::AddAudioStream(
    const TWMAudioStreamSettings& WMAudioStreamSettings) {
    try {
        if (CheckValidAudioCodec(WMAudioStreamSettings.AudioCodecIndex,
                                 WMAudioStreamSettings.AudioFormatIndex) != S_OK) {
            return E_INVALIDARG;
        }
        if (!FWMAudioStreams) {
            throw std::runtime_error("no stream list");
        }
        FWMAudioStreams->push_back(WMAudioStreamSettings);
        return S_OK;
    } catch (...) {
        CallFailed("AddAudioStream");
        return E_FAIL;
    }
}

HRESULT TWindowsMediaConfigurator::ClearVideoStreamsList() {
    try {
        if (FWMVideoStreams) {
            FWMVideoStreams->clear();
        }
        return S_OK;
    } catch (...) {
        CallFailed("ClearVideoStreamsList");
        return E_FAIL;
    }
}

HRESULT TWindowsMediaConfigurator::ClearAudioStreamsList() {
    try {
        if (FWMAudioStreams) {
            FWMAudioStreams->clear();
        }
        return S_OK;
    } catch (...) {
        CallFailed("ClearAudioStreamsList");
        return E_FAIL;
    }
}

HRESULT TWindowsMediaConfigurator::ConfigureWMVFilter(GstElement* Filter, TWMProfile* Profile) {
    try {
        TWMCodecInfo& sdk = Sdk(FWMCodecInfo3);
        if (!FWMVideoStreams || !FWMAudioStreams) {
            throw std::runtime_error("no stream lists");
        }
        TWMProfile profile;
        profile.Version = TWMProfile::WMT_VER_9_0;
        profile.Name = kProfileName;
        profile.Description = kProfileDescription;

        uint16_t number = 0;
        for (size_t i = 0; i < FWMVideoStreams->size(); ++i) {
            const TWMVideoStreamSettings& s = (*FWMVideoStreams)[i];
            TWMProfile::TStreamConfig config;
            Check(sdk.GetCodecFormat(TKind::Video, s.VideoCodecIndex, 0, config),
                  "can not get video stream configuration.");
            const TVideoInfoHeader* codecFormat = config.MediaType.VideoInfo();
            Check(codecFormat != nullptr ? S_OK : E_FAIL, "can not get video media type.");
            const uint32_t compression = codecFormat->bmiHeader.biCompression;

            TMediaType& mt = config.MediaType;
            mt.majortype = MEDIATYPE_Video;
            mt.bFixedSizeSamples = false;
            mt.bTemporalCompression = true;
            mt.lSampleSize = 0;
            TVideoInfoHeader vih{};
            const auto w = static_cast<int32_t>(s.VideoWidth);
            const auto h = static_cast<int32_t>(s.VideoHeight);
            vih.rcSource = {0, 0, w, h};
            vih.rcTarget = {0, 0, w, h};
            vih.dwBitRate = s.VideoBitrate;
            vih.dwBitErrorRate = 0;
            vih.AvgTimePerFrame = s.TimePerFrame;
            vih.bmiHeader.biSize = sizeof(TBitmapInfoHeader);
            vih.bmiHeader.biWidth = w;
            vih.bmiHeader.biHeight = h;
            vih.bmiHeader.biPlanes = 1;
            vih.bmiHeader.biBitCount = 24;
            vih.bmiHeader.biCompression = compression;
            mt.SetFormat(FORMAT_VideoInfo, vih);

            config.Bitrate = s.VideoBitrate;
            config.StreamNumber = ++number;
            config.StreamName = "Video " + std::to_string(i);
            config.BufferWindow = kBufferWindowMs;
            config.ConnectionName = "Video Connection " + std::to_string(i);
            config.MaxKeyFrameSpacing = s.KeyFrameInterval;
            config.Quality = s.VideoQuality;
            profile.Streams.push_back(std::move(config));
        }
        for (size_t i = 0; i < FWMAudioStreams->size(); ++i) {
            const TWMAudioStreamSettings& s = (*FWMAudioStreams)[i];
            TWMProfile::TStreamConfig config;
            Check(sdk.GetCodecFormat(TKind::Audio, s.AudioCodecIndex, s.AudioFormatIndex, config),
                  "can not get audio stream configuration.");
            config.StreamNumber = ++number;
            config.StreamName = "Audio " + std::to_string(i);
            config.BufferWindow = kBufferWindowMs;
            config.ConnectionName = "Audio Connection " + std::to_string(i);
            profile.Streams.push_back(std::move(config));
        }
        if (Filter != nullptr) {
            Check(TWMVWriter::ConfigureFilterUsingProfile(Filter, profile),
                  "can not configure filter.");
        }
        if (Profile != nullptr) {
            *Profile = std::move(profile);
        }
        return S_OK;
    } catch (const TConfigureFailure& failure) {
        return failure.Result;
    } catch (...) {
        CallFailed("ConfigureWMVFilter");
        return E_FAIL;
    }
}
