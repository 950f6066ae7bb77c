#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/HResult.h"
#include "recording/WMCodecInfo.h"
#include "recording/WMProfile.h"
#include "recording/WMStreamSettings.h"

// Lists the Windows Media encoders, checks codec and format indices, collects the stream
// descriptions of one recording and turns them into a profile with which it configures the
// WMV writer. The profile is built stream by stream from the codec's own configuration, so
// frame size, frame rate, bit rate, buffer window, key-frame spacing and quality are exactly
// the recording's. Failure lines go straight to the debugger output.
class TWindowsMediaConfigurator {
public:
    TWindowsMediaConfigurator();
    ~TWindowsMediaConfigurator();
    TWindowsMediaConfigurator(const TWindowsMediaConfigurator&) = delete;
    TWindowsMediaConfigurator& operator=(const TWindowsMediaConfigurator&) = delete;

    HRESULT GetVideoCodecsCount(uint32_t& Count);
    HRESULT GetVideoCodecName(uint32_t CodecIndex, std::string& Name);
    HRESULT GetVideoCodecFormatDescription(uint32_t CodecIndex, std::string& Description);
    // S_OK below the codec count, S_FALSE at or beyond it.
    HRESULT CheckValidVideoCodec(uint32_t CodecIndex);

    HRESULT GetAudioCodecsCount(uint32_t& Count);
    HRESULT GetAudioCodecName(uint32_t CodecIndex, std::string& Name);
    HRESULT GetAudioCodecFormatsCount(uint32_t CodecIndex, uint32_t& Count);
    HRESULT GetAudioCodecFormatDescription(uint32_t CodecIndex, uint32_t FormatIndex,
                                           std::string& Description);
    HRESULT CheckValidAudioCodec(uint32_t CodecIndex, uint32_t FormatIndex);

    HRESULT AddVideoStream(const TWMVideoStreamSettings& WMVideoStreamSettings);
    HRESULT AddAudioStream(const TWMAudioStreamSettings& WMAudioStreamSettings);
    HRESULT ClearVideoStreamsList();
    HRESULT ClearAudioStreamsList();

    // Builds the profile of the stored streams (into Profile when given) and applies it to
    // the WMV writer element `Filter` (nullptr: build only).
    HRESULT ConfigureWMVFilter(GstElement* Filter, TWMProfile* Profile = nullptr);

    static constexpr uint32_t kBufferWindowMs = 3000;
    static constexpr const char* kProfileName = "Windows Media Profile";
    static constexpr const char* kProfileDescription = "Windows Media Profile Description";

private:
    std::unique_ptr<TWMCodecInfo> FWMCodecInfo3;
    std::unique_ptr<std::vector<TWMVideoStreamSettings>> FWMVideoStreams;
    std::unique_ptr<std::vector<TWMAudioStreamSettings>> FWMAudioStreams;
};
