#include "recording/WindowsMediaConfigurator.h"

#include <gtest/gtest.h>

#include "platform/GstHandle.h"
#include "recording/WMVWriter.h"
#include "support/LogCapture.h"

namespace {

TWMVideoStreamSettings VideoStream(uint32_t width, uint32_t height, int64_t timePerFrame,
                                   uint32_t bitrate) {
    TWMVideoStreamSettings s;
    s.VideoWidth = width;
    s.VideoHeight = height;
    s.VideoCodecIndex = 0;
    s.VideoBitrate = bitrate;
    s.TimePerFrame = timePerFrame;
    s.VideoQuality = 0;
    s.KeyFrameInterval = 30000000;
    return s;
}

}  // namespace

TEST(WindowsMediaConfigurator, ListsTheInstalledWindowsMediaEncoders) {
    TWindowsMediaConfigurator config;
    uint32_t videoCount = 0;
    ASSERT_EQ(config.GetVideoCodecsCount(videoCount), S_OK);
    ASSERT_EQ(videoCount, 2u) << "avenc_wmv2 and avenc_wmv1";
    std::string name;
    EXPECT_EQ(config.GetVideoCodecName(0, name), S_OK);
    EXPECT_EQ(name, "Windows Media Video 8");
    EXPECT_EQ(config.GetVideoCodecName(1, name), S_OK);
    EXPECT_EQ(name, "Windows Media Video 7");
    std::string description;
    EXPECT_EQ(config.GetVideoCodecFormatDescription(0, description), S_OK);
    EXPECT_NE(description.find("WMV2"), std::string::npos) << description;

    uint32_t audioCount = 0;
    ASSERT_EQ(config.GetAudioCodecsCount(audioCount), S_OK);
    ASSERT_EQ(audioCount, 2u);
    EXPECT_EQ(config.GetAudioCodecName(0, name), S_OK);
    EXPECT_EQ(name, "Windows Media Audio 2");
    uint32_t formats = 0;
    ASSERT_EQ(config.GetAudioCodecFormatsCount(0, formats), S_OK);
    ASSERT_GT(formats, 0u);
    EXPECT_EQ(config.GetAudioCodecFormatDescription(0, 0, description), S_OK);
    EXPECT_EQ(description, "128 kbps, 48 kHz, stereo");
}

// Index checks: S_FALSE (not a failure) at or beyond the count; the lookups refuse with
// E_INVALIDARG what the check does not pass.
TEST(WindowsMediaConfigurator, IndexChecksAnswerSFalseAndLookupsInvalidArg) {
    TWindowsMediaConfigurator config;
    uint32_t videoCount = 0;
    uint32_t audioCount = 0;
    uint32_t formats = 0;
    ASSERT_EQ(config.GetVideoCodecsCount(videoCount), S_OK);
    ASSERT_EQ(config.GetAudioCodecsCount(audioCount), S_OK);
    ASSERT_EQ(config.GetAudioCodecFormatsCount(0, formats), S_OK);

    struct {
        const char* What;
        HRESULT Got;
        HRESULT Expected;
    } const cases[] = {
        {"last video codec", config.CheckValidVideoCodec(videoCount - 1), S_OK},
        {"video codec at count", config.CheckValidVideoCodec(videoCount), S_FALSE},
        {"audio codec at count", config.CheckValidAudioCodec(audioCount, 0), S_FALSE},
        {"audio format at count", config.CheckValidAudioCodec(0, formats), S_FALSE},
        {"last audio format", config.CheckValidAudioCodec(0, formats - 1), S_OK},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.Got, c.Expected) << c.What;
    }
    std::string text;
    uint32_t count = 0;
    EXPECT_EQ(config.GetVideoCodecName(videoCount, text), E_INVALIDARG);
    EXPECT_EQ(config.GetVideoCodecFormatDescription(videoCount, text), E_INVALIDARG);
    EXPECT_EQ(config.GetAudioCodecName(audioCount, text), E_INVALIDARG);
    EXPECT_EQ(config.GetAudioCodecFormatsCount(audioCount, count), E_INVALIDARG);
    EXPECT_EQ(config.GetAudioCodecFormatDescription(0, formats, text), E_INVALIDARG);
}

TEST(WindowsMediaConfigurator, StreamsAreCheckedBeforeTheyAreStored) {
    TWindowsMediaConfigurator config;
    TWMVideoStreamSettings s = VideoStream(320, 240, 10000000, 100000);
    s.VideoQuality = 101;
    EXPECT_EQ(config.AddVideoStream(s), E_INVALIDARG);
    s.VideoQuality = 100;
    EXPECT_EQ(config.AddVideoStream(s), S_OK);
    s.TimePerFrame = 0;
    EXPECT_EQ(config.AddVideoStream(s), E_INVALIDARG) << "no frame time";
    s.TimePerFrame = -1;
    EXPECT_EQ(config.AddVideoStream(s), E_INVALIDARG) << "negative frame time";

    TWMAudioStreamSettings audio;
    audio.AudioCodecIndex = 0;
    audio.AudioFormatIndex = 999;
    EXPECT_EQ(config.AddAudioStream(audio), E_INVALIDARG);

    TWMProfile profile;
    ASSERT_EQ(config.ConfigureWMVFilter(nullptr, &profile), S_OK);
    EXPECT_EQ(profile.Streams.size(), 1u) << "only the accepted stream is stored";
    ASSERT_EQ(config.ClearVideoStreamsList(), S_OK);
    ASSERT_EQ(config.ConfigureWMVFilter(nullptr, &profile), S_OK);
    EXPECT_TRUE(profile.Streams.empty());
}

TEST(WindowsMediaConfigurator, ProfileNumbersAndNamesStreamsWithTheBufferWindow) {
    TWindowsMediaConfigurator config;
    ASSERT_EQ(config.AddVideoStream(VideoStream(320, 240, 10000000, 100000)), S_OK);
    TWMAudioStreamSettings audio;
    ASSERT_EQ(config.AddAudioStream(audio), S_OK);

    TWMProfile profile;
    ASSERT_EQ(config.ConfigureWMVFilter(nullptr, &profile), S_OK);
    EXPECT_EQ(profile.Version, TWMProfile::WMT_VER_9_0);
    EXPECT_EQ(profile.Name, "Windows Media Profile");
    EXPECT_EQ(profile.Description, "Windows Media Profile Description");
    ASSERT_EQ(profile.Streams.size(), 2u);
    const auto& video = profile.Streams[0];
    const auto& sound = profile.Streams[1];
    EXPECT_EQ(video.StreamNumber, 1);
    EXPECT_EQ(video.StreamName, "Video 0");
    EXPECT_EQ(video.ConnectionName, "Video Connection 0");
    EXPECT_EQ(video.BufferWindow, 3000u);
    EXPECT_EQ(sound.StreamNumber, 2);
    EXPECT_EQ(sound.StreamName, "Audio 0");
    EXPECT_EQ(sound.ConnectionName, "Audio Connection 0");
    EXPECT_EQ(sound.BufferWindow, 3000u);
    EXPECT_EQ(video.EncoderFactory, "avenc_wmv2");
    EXPECT_EQ(sound.EncoderFactory, "avenc_wmav2");

    const TMediaType& mt = video.MediaType;
    EXPECT_EQ(mt.majortype, MEDIATYPE_Video);
    EXPECT_EQ(mt.subtype, FourCCGuid(MakeFourCC('W', 'M', 'V', '2'))) << "the codec's subtype";
    EXPECT_FALSE(mt.bFixedSizeSamples);
    EXPECT_TRUE(mt.bTemporalCompression);
    EXPECT_EQ(mt.lSampleSize, 0u);
    ASSERT_EQ(mt.cbFormat(), 88u);
    const TVideoInfoHeader* vih = mt.VideoInfo();
    ASSERT_NE(vih, nullptr);
    for (const TRect32& r : {vih->rcSource, vih->rcTarget}) {
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.right, 320);
        EXPECT_EQ(r.bottom, 240);
    }
    EXPECT_EQ(vih->AvgTimePerFrame, 10000000);
    EXPECT_EQ(vih->dwBitRate, 100000u);
    EXPECT_EQ(vih->bmiHeader.biBitCount, 24);
    EXPECT_EQ(vih->bmiHeader.biSize, 40u);
    EXPECT_EQ(vih->bmiHeader.biWidth, 320);
    EXPECT_EQ(vih->bmiHeader.biHeight, 240);
    EXPECT_EQ(vih->bmiHeader.biSizeImage, 0u);
    EXPECT_EQ(vih->bmiHeader.biCompression, MakeFourCC('W', 'M', 'V', '2'));
    EXPECT_EQ(video.Bitrate, 100000u);
    EXPECT_EQ(video.MaxKeyFrameSpacing, 30000000);
}

TEST(WindowsMediaConfigurator, ConfiguringTheWriterGivesItOnePinPerStream) {
    ASSERT_TRUE(TWMVWriter::Register());
    TGstElementHandle writer = TGstElementHandle::Adopt(
        gst_element_factory_make(TWMVWriter::kFactoryName, nullptr));
    ASSERT_TRUE(writer);
    TWindowsMediaConfigurator config;
    ASSERT_EQ(config.AddVideoStream(VideoStream(160, 120, 1000000, 200000)), S_OK);
    ASSERT_EQ(config.AddVideoStream(VideoStream(80, 60, 1000000, 100000)), S_OK);
    ASSERT_EQ(config.AddAudioStream(TWMAudioStreamSettings{}), S_OK);
    ASSERT_EQ(config.ConfigureWMVFilter(writer.Get()), S_OK);
    // Applying again replaces the pins instead of adding more.
    ASSERT_EQ(config.ConfigureWMVFilter(writer.Get()), S_OK);
    std::vector<std::string> pins;
    for (GList* l = writer->sinkpads; l != nullptr; l = l->next) {
        pins.emplace_back(GST_PAD_NAME(l->data));
    }
    EXPECT_EQ(pins, (std::vector<std::string>{"Video Input 01", "Video Input 02",
                                               "Audio Input 01"}));
}

TEST(WindowsMediaConfigurator, AnUnknownCodecFailsTheProfileWithItsLine) {
    TWindowsMediaConfigurator config;
    uint32_t count = 0;
    ASSERT_EQ(config.GetVideoCodecsCount(count), S_OK);
    TWMVideoStreamSettings s = VideoStream(320, 240, 1000000, 100000);
    s.VideoCodecIndex = count;  // passes AddVideoStream (S_FALSE is not a failure)
    ASSERT_EQ(config.AddVideoStream(s), S_OK);
    LogCapture log;
    EXPECT_EQ(config.ConfigureWMVFilter(nullptr), E_INVALIDARG);
    EXPECT_TRUE(log.Contains("gkt: Error in TWindowsMediaConfigurator.ConfigureWMVFilter - can "
                             "not get video stream configuration."));
}
