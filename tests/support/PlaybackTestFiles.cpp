#include "support/PlaybackTestFiles.h"

#include <gst/gst.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

#include "platform/GstHandle.h"
#include "platform/MediaFramework.h"
#include "recording/TestFrames.h"
#include "recording/WMEncodeGraphThread.h"

namespace PlaybackTestFiles {

namespace {

using namespace std::chrono_literals;

constexpr int64_t kSecond = 10000000;

bool Installed(const char* factory) {
    GstElementFactory* f = gst_element_factory_find(factory);
    if (f == nullptr) {
        return false;
    }
    gst_object_unref(f);
    return true;
}

std::string Quoted(const std::string& path) {
    gchar* escaped = g_strescape(path.c_str(), nullptr);
    std::string text = std::string("\"") + escaped + "\"";
    g_free(escaped);
    return text;
}

// Runs a gst-launch description to its end; false on a parse error, a stream error or after
// `boundSeconds`. A file left behind by a failed run is removed.
bool RunToEnd(const std::string& description, const std::string& path, int boundSeconds = 60) {
    if (!InitializeMediaFramework()) {
        return false;
    }
    GError* error = nullptr;
    TGstElementHandle pipeline =
        TGstElementHandle::Adopt(gst_parse_launch(description.c_str(), &error));
    if (error != nullptr) {
        g_error_free(error);
        return false;
    }
    TGstBusHandle bus = TGstBusHandle::Adopt(gst_element_get_bus(pipeline.Get()));
    gst_element_set_state(pipeline.Get(), GST_STATE_PLAYING);
    TGstMessageHandle message = TGstMessageHandle::Adopt(gst_bus_timed_pop_filtered(
        bus.Get(), static_cast<GstClockTime>(boundSeconds) * GST_SECOND,
        static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    gst_element_set_state(pipeline.Get(), GST_STATE_NULL);
    const bool ended = message && GST_MESSAGE_TYPE(message.Get()) == GST_MESSAGE_EOS;
    std::error_code ignored;
    if (!ended) {
        std::filesystem::remove(path, ignored);
    }
    return ended && std::filesystem::file_size(path, ignored) > 0;
}

// An MPEG-2 video encoder that works here: avenc_mpeg2video refuses every frame rate with
// some libav builds, mpeg2enc (mjpegtools) does the same job.
std::string Mpeg2Encoder() {
    static const std::string chosen = [] {
        if (Installed("avenc_mpeg2video")) {
            std::error_code ignored;
            const std::string probe =
                (std::filesystem::temp_directory_path() / "tandrel-mpeg2-probe.m2v").string();
            const bool works = RunToEnd(
                "videotestsrc num-buffers=3 ! video/x-raw,width=64,height=48,framerate=25/1,"
                "format=I420 ! avenc_mpeg2video ! filesink location=" + Quoted(probe),
                probe, 20);
            std::filesystem::remove(probe, ignored);
            if (works) {
                return std::string("avenc_mpeg2video");
            }
        }
        return std::string(Installed("mpeg2enc") ? "mpeg2enc format=3" : "");
    }();
    return chosen;
}

}  // namespace

bool MakeOwnRecording(const std::string& Path, double Seconds, TRecordingFormat Format) {
    if (!InitializeMediaFramework()) {
        return false;
    }
    std::atomic<bool> ended{false};
    const auto frameTime = static_cast<int64_t>(std::llround(kSecond / kRecordingFps));
    TWMEncodeGraphThread recorder(kRecordingWidth, kRecordingHeight, MEDIASUBTYPE_RGB32,
                                  kRecordingFps, [&](TDateTime, double) {
                                      ended = true;
                                      return true;
                                  });
    TVideoStreamSettings settings;
    settings.InputWidth = settings.OutputWidth = kRecordingWidth;
    settings.InputHeight = settings.OutputHeight = kRecordingHeight;
    settings.ColorSpace = MEDIASUBTYPE_RGB32;
    settings.InputTimePerFrame = settings.OutputTimePerFrame = frameTime;
    settings.KeyFrameInterval = kSecond;
    settings.VideoBitrate = 500000;
    settings.VideoQuality = 80;
    recorder.SetRecordingFormat(Format);
    if (FAILED(recorder.AddVideoStream(settings)) ||
        !recorder.InitEncoder(static_cast<int64_t>(Seconds * kSecond), Path)) {
        return false;
    }
    TTestFrames frames(kRecordingWidth, kRecordingHeight);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<int64_t>(Seconds * 1000) + 30000);
    while (!recorder.IsEOSDelivered() && recorder.Status() < 400 &&
           std::chrono::steady_clock::now() < deadline) {
        frames.Paint();
        const HRESULT hr = recorder.AddVideoFrame(frames.Frame().data(),
                                                  static_cast<int32_t>(frames.Frame().size()));
        if (FAILED(hr)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(frameTime / 10000 / 2));
    }
    const bool full = recorder.IsEOSDelivered();
    recorder.StopEncoder();
    std::error_code ignored;
    return full && ended && std::filesystem::file_size(Path, ignored) > 0;
}

bool MakeToneVideo(const std::string& Path, double Seconds) {
    if (!InitializeMediaFramework()) {
        return false;
    }
    const int frames = static_cast<int>(std::lround(Seconds * kToneVideoFps));
    // 20 ms audio buffers at 48 kHz.
    const int audioBuffers = static_cast<int>(std::lround(Seconds * 50));
    std::string video;
    if (Installed("x264enc")) {
        video = "x264enc speed-preset=ultrafast key-int-max=" + std::to_string(kToneVideoFps) +
                " ! h264parse";
    } else if (Installed("avenc_mpeg4")) {
        video = "avenc_mpeg4 ! mpeg4videoparse";
    } else {
        return false;
    }
    const std::string description =
        "matroskamux name=mux ! filesink location=" + Quoted(Path) +
        " videotestsrc pattern=ball num-buffers=" + std::to_string(frames) +
        " ! video/x-raw,width=" + std::to_string(kToneVideoWidth) +
        ",height=" + std::to_string(kToneVideoHeight) +
        ",framerate=" + std::to_string(kToneVideoFps) + "/1 ! videoconvert ! " + video +
        " ! mux. audiotestsrc wave=sine freq=440 volume=0.5 samplesperbuffer=960 num-buffers=" +
        std::to_string(audioBuffers) +
        " ! audio/x-raw,channels=2,rate=48000 ! audiopanorama panorama=-0.6 ! audioconvert ! "
        "vorbisenc ! mux.";
    return RunToEnd(description, Path);
}

bool MakeToneWave(const std::string& Path, double Seconds, int Channels) {
    if (!InitializeMediaFramework()) {
        return false;
    }
    const int audioBuffers = static_cast<int>(std::lround(Seconds * 50));
    return RunToEnd("audiotestsrc wave=sine freq=440 volume=0.5 samplesperbuffer=960 num-buffers=" +
                        std::to_string(audioBuffers) + " ! audio/x-raw,format=S16LE,rate=48000,channels=" +
                        std::to_string(Channels) + " ! wavenc ! filesink location=" + Quoted(Path),
                    Path);
}

bool MakeTwoProgramTransportStream(const std::string& Path, double Seconds) {
    const std::string encoder = InitializeMediaFramework() ? Mpeg2Encoder() : "";
    if (encoder.empty()) {
        return false;
    }
    const int frames = static_cast<int>(std::lround(Seconds * 25));
    const int audioBuffers = static_cast<int>(std::lround(Seconds * 50));
    auto pad = [](int pid) { return "mux.sink_" + std::to_string(pid); };
    auto videoSource = [&](const char* pattern) {
        return std::string(" videotestsrc pattern=") + pattern +
               " num-buffers=" + std::to_string(frames) + " ! video/x-raw,width=" +
               std::to_string(kTransportWidth) + ",height=" + std::to_string(kTransportHeight) +
               ",framerate=25/1,format=I420 ! " + encoder + " ! mpegvideoparse ! ";
    };
    const std::string programs =
        "progmap,sink_" + std::to_string(kTransportVideoPidA) + "=(int)" +
        std::to_string(kTransportProgramA) + ",sink_" + std::to_string(kTransportVideoPidB) +
        "=(int)" + std::to_string(kTransportProgramB) + ",sink_" +
        std::to_string(kTransportAudioPidB) + "=(int)" + std::to_string(kTransportProgramB);
    const std::string description =
        "mpegtsmux name=mux prog-map=\"" + programs + "\" ! filesink location=" + Quoted(Path) +
        videoSource("smpte") + pad(kTransportVideoPidA) + videoSource("ball") +
        pad(kTransportVideoPidB) +
        " audiotestsrc wave=sine freq=440 volume=0.5 samplesperbuffer=960 num-buffers=" +
        std::to_string(audioBuffers) +
        " ! audio/x-raw,channels=2,rate=48000 ! audioconvert ! avenc_mp2 ! mpegaudioparse ! " +
        pad(kTransportAudioPidB);
    return RunToEnd(description, Path);
}

bool CutInHalf(const std::string& Path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(Path, error);
    if (error || size < 2) {
        return false;
    }
    std::filesystem::resize_file(Path, size / 2, error);
    return !error;
}

bool OverwriteHeader(const std::string& Path, std::size_t Bytes) {
    std::fstream file(Path, std::ios::in | std::ios::out | std::ios::binary);
    if (!file) {
        return false;
    }
    std::minstd_rand random(20240611);
    std::vector<char> garbage(Bytes);
    for (auto& b : garbage) {
        b = static_cast<char>(random() & 0xFF);
    }
    file.seekp(0);
    file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    return static_cast<bool>(file);
}

}  // namespace PlaybackTestFiles
