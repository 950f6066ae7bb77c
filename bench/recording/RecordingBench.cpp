// The recorder, run live the way the camera uses it (ten frames a second):
//
// 1. AddVideoFrame at 1280 x 720 RGB32: the time of one call (it copies the frame into a queue
//    buffer) against a memcpy of one frame into a rotating set of ten buffers, measured in the
//    same run, and the allocations made during the calls (there should be none).
// 2. Encoding cost: process CPU time per second of recorded video for the motion profile
//    (camera size, 10 frames per second, 1 Mbit/s) at 1280 x 720 and 1920 x 1080, and for the
//    continuous profile (320 x 240, one frame per second, 100 kbit/s) from a 1280 x 720 camera.
//    For comparison, the bare WMV encoder (avenc_wmv2) on the same pictures as I420. Each
//    profile is recorded as WMV and as MP4 (H.264), with the ratio MP4 / WMV.
//
//   tandrel_recording_bench [--seconds N]   (8 by default)
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/MediaFramework.h"
#include "recording/WMEncodeGraphThread.h"

namespace {

constexpr int64_t kSecond = 10000000;
constexpr int kCameraFps = 10;

std::atomic<long> gAllocations{0};
thread_local bool gCounting = false;

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Ten camera-like pictures (bottom-up RGB32): a gradient with a moving bar and some noise.
std::vector<std::vector<uint8_t>> MakeFrames(int w, int h) {
    std::vector<std::vector<uint8_t>> frames(10, std::vector<uint8_t>(size_t(w) * h * 4));
    std::minstd_rand random(7);
    for (int n = 0; n < 10; ++n) {
        uint8_t* p = frames[n].data();
        const int bar = (n * w / 10);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x, p += 4) {
                const bool onBar = x >= bar && x < bar + w / 16;
                const int noise = static_cast<int>(random() % 9) - 4;
                p[0] = static_cast<uint8_t>(std::clamp(onBar ? 230 : (x * 255 / w) + noise, 0, 255));
                p[1] = static_cast<uint8_t>(std::clamp(onBar ? 230 : (y * 255 / h) + noise, 0, 255));
                p[2] = static_cast<uint8_t>(std::clamp(onBar ? 40 : 128 + noise, 0, 255));
                p[3] = 0;
            }
        }
    }
    return frames;
}

TVideoStreamSettings Profile(int inW, int inH, int outW, int outH, int64_t outTpf,
                             uint32_t bitrate) {
    TVideoStreamSettings s;
    s.InputWidth = inW;
    s.InputHeight = inH;
    s.OutputWidth = outW;
    s.OutputHeight = outH;
    s.ColorSpace = MEDIASUBTYPE_RGB32;
    s.InputTimePerFrame = kSecond / kCameraFps;
    s.OutputTimePerFrame = outTpf;
    s.KeyFrameInterval = 3 * kSecond;
    s.VideoBitrate = bitrate;
    s.SkipEmptyFrames = true;
    return s;
}

struct TRun {
    double CpuPerVideoSecond = 0;  // seconds of CPU per second of video
    std::vector<double> CallMicros;
    std::vector<double> CopyMicros;
    long Allocations = 0;
    double FileSeconds = 0;
};

// Records `seconds` of camera frames at ten a second and measures the process CPU time.
TRun Record(const TVideoStreamSettings& s, int seconds, bool timeCalls, const std::string& file,
           TRecordingFormat format = TRecordingFormat::Wmv) {
    TRun run;
    const auto frames = MakeFrames(static_cast<int>(s.InputWidth), static_cast<int>(s.InputHeight));
    const size_t frameBytes = frames[0].size();
    std::vector<std::vector<uint8_t>> copies(10, std::vector<uint8_t>(frameBytes));
    double duration = 0;
    std::atomic<bool> ended{false};
    TWMEncodeGraphThread recorder(static_cast<int32_t>(s.InputWidth),
                                  static_cast<int32_t>(s.InputHeight), s.ColorSpace, 10.0,
                                  [&](TDateTime, double d) {
                                      duration = d;
                                      ended = true;
                                      return true;
                                  });
    recorder.SetRecordingFormat(format);
    recorder.AddVideoStream(s);
    recorder.InitEncoder(3600 * kSecond, file);
    while (recorder.Status() < 200) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double cpuStart = ProcessCpuSeconds();
    auto next = std::chrono::steady_clock::now();
    const int total = seconds * kCameraFps;
    for (int i = 0; i < total; ++i) {
        const auto& frame = frames[static_cast<size_t>(i) % frames.size()];
        const auto t0 = std::chrono::steady_clock::now();
        gCounting = true;
        recorder.AddVideoFrame(frame.data(), static_cast<int32_t>(frameBytes));
        gCounting = false;
        const auto t1 = std::chrono::steady_clock::now();
        if (timeCalls) {
            std::memcpy(copies[static_cast<size_t>(i) % copies.size()].data(), frame.data(),
                        frameBytes);
            const auto t2 = std::chrono::steady_clock::now();
            run.CallMicros.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
            run.CopyMicros.push_back(std::chrono::duration<double, std::micro>(t2 - t1).count());
        }
        next += std::chrono::milliseconds(1000 / kCameraFps);
        std::this_thread::sleep_until(next);
    }
    recorder.StopEncoder();
    const double cpu = ProcessCpuSeconds() - cpuStart;
    run.Allocations = gAllocations.exchange(0);
    run.FileSeconds = duration;
    run.CpuPerVideoSecond = duration > 0 ? cpu / duration : 0;
    std::error_code ec;
    std::filesystem::remove(file, ec);
    return run;
}

// The bare encoder on the same pictures as I420, fed as fast as it takes them.
double BareEncoderCpuPerVideoSecond(int w, int h, int seconds) {
    const auto frames = MakeFrames(w, h);
    std::vector<std::vector<uint8_t>> i420;
    for (const auto& f : frames) {
        std::vector<uint8_t> out(size_t(w) * h * 3 / 2, 128);
        for (int y = 0; y < h; ++y) {
            const uint8_t* row = f.data() + size_t(h - 1 - y) * w * 4;
            for (int x = 0; x < w; ++x) {
                out[size_t(y) * w + x] =
                    static_cast<uint8_t>((row[x * 4] + row[x * 4 + 1] * 2 + row[x * 4 + 2]) / 4);
            }
        }
        i420.push_back(std::move(out));
    }
    char description[512];
    std::snprintf(description, sizeof description,
                  "appsrc name=src format=time caps=video/x-raw,format=I420,width=%d,height=%d,"
                  "framerate=10/1 ! avenc_wmv2 bitrate=1000000 ! fakesink sync=false",
                  w, h);
    GstElement* pipeline = gst_parse_launch(description, nullptr);
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    const double cpuStart = ProcessCpuSeconds();
    const int total = seconds * kCameraFps;
    for (int i = 0; i < total; ++i) {
        const auto& frame = i420[static_cast<size_t>(i) % i420.size()];
        GstBuffer* buffer = gst_buffer_new_wrapped_full(
            GST_MEMORY_FLAG_READONLY, const_cast<uint8_t*>(frame.data()), frame.size(), 0,
            frame.size(), nullptr, nullptr);
        GST_BUFFER_PTS(buffer) = static_cast<GstClockTime>(i) * GST_SECOND / kCameraFps;
        GST_BUFFER_DURATION(buffer) = GST_SECOND / kCameraFps;
        gst_app_src_push_buffer(GST_APP_SRC(src), buffer);
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(
        bus, 120 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const double cpu = ProcessCpuSeconds() - cpuStart;
    if (msg != nullptr) {
        gst_message_unref(msg);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(src);
    gst_object_unref(pipeline);
    return cpu / seconds;
}

double Median(std::vector<double> v) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

void* operator new(std::size_t size) {
    if (gCounting) {
        ++gAllocations;
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

int main(int argc, char** argv) {
    int seconds = 8;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0) {
            seconds = std::max(2, std::atoi(argv[i + 1]));
        }
    }
    if (!InitializeMediaFramework()) {
        std::fprintf(stderr, "GStreamer cannot start\n");
        return 1;
    }
    const std::string file =
        (std::filesystem::temp_directory_path() / "tandrel-recording-bench.wmv").string();
    const std::string mp4File =
        (std::filesystem::temp_directory_path() / "tandrel-recording-bench.mp4").string();

    std::printf("AddVideoFrame, 1280 x 720 RGB32, %d frames at 10 per second\n",
                seconds * kCameraFps);
    const TRun calls = Record(Profile(1280, 720, 1280, 720, kSecond / 10, 1000000), seconds, true,
                              file);
    const double call = Median(calls.CallMicros);
    const double copy = Median(calls.CopyMicros);
    std::printf("  median per call %8.1f us, memcpy of one frame %8.1f us, ratio %.2f\n", call,
                copy, copy > 0 ? call / copy : 0);
    std::printf("  allocations during the calls: %ld\n\n", calls.Allocations);

    struct TCase {
        const char* Label;
        TVideoStreamSettings Settings;
        int BareW, BareH;
    };
    const TCase cases[] = {
        {"motion     1280 x 720,  10 fps, 1 Mbit/s  ",
         Profile(1280, 720, 1280, 720, kSecond / 10, 1000000), 1280, 720},
        {"motion     1920 x 1080, 10 fps, 1 Mbit/s  ",
         Profile(1920, 1080, 1920, 1080, kSecond / 10, 1000000), 1920, 1080},
        {"continuous  320 x 240,   1 fps, 100 kbit/s",
         Profile(1280, 720, 320, 240, kSecond, 100000), 0, 0},
    };
    std::printf("Process CPU per second of recorded video (%% of one core), %d s each\n", seconds);
    for (const TCase& c : cases) {
        const TRun run = Record(c.Settings, seconds, false, file);
        std::printf("  %s WMV recorder %5.1f %%", c.Label, run.CpuPerVideoSecond * 100);
        if (c.BareW > 0) {
            std::printf("   bare avenc_wmv2 (I420 in) %5.1f %%",
                        BareEncoderCpuPerVideoSecond(c.BareW, c.BareH, seconds) * 100);
        }
        std::printf("\n");
        const TRun mp4 = Record(c.Settings, seconds, false, mp4File, TRecordingFormat::Mp4);
        std::printf("  %s MP4 recorder %5.1f %%   MP4 / WMV %.2f\n", c.Label,
                    mp4.CpuPerVideoSecond * 100,
                    run.CpuPerVideoSecond > 0 ? mp4.CpuPerVideoSecond / run.CpuPerVideoSecond : 0);
    }
    return 0;
}
