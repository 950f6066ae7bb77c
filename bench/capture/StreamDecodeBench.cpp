// What watching a compressed stream costs the program beyond decoding it: a 1280 x 720 H.264
// stream at 10 frames per second, once decoded alone into a sink that keeps the stream's pace
// (the bare decode), once through the capture graph with the frame grab filter at 100 ms and
// ten zones in the adaptive mode examining every frame. Both run for the same wall time in one
// process; the difference of their CPU time per second of video is the program's own part.
// The stream is a file camera's (a looping file made at start); network cameras decode the
// same way after their source.
//
//   tandrel_stream_bench [--seconds N]   (10 by default)
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "alarms/AlarmSettings.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "detection/MotionDetectionListManager.h"
#include "platform/MediaFramework.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kZones = 10;

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool RunPipeline(const std::string& description) {
    GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
    if (pipeline == nullptr) {
        return false;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(
        bus, 300 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = msg != nullptr && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
    if (msg != nullptr) {
        gst_message_unref(msg);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok;
}

// CPU seconds per wall second while `running` lasts `seconds` after a short settling time.
double Measure(double seconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const double startCpu = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu = ProcessCpuSeconds() - startCpu;
    return cpu / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double BareDecode(const std::string& file, double seconds) {
    // Looped by restarting at the end; the sink keeps real time like a camera.
    const std::string description =
        "filesrc location=" + file + " ! decodebin ! videoconvert ! fakesink sync=true";
    GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
    if (pipeline == nullptr) {
        return -1;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    const double cpu = Measure(seconds);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return cpu;
}

double Watched(const std::string& file, double seconds, int64_t& frames) {
    TFrameGrabCaptureGraph graph(std::vector<std::string>{file});
    TAlarmSettings alarms;
    TMotionDetectionListManager detector(100);
    for (int i = 0; i < kZones; ++i) {
        if (TZoneAlarmSettings* zone = alarms.AddZone()) {
            zone->SoundVideoAlarmEnabled = false;
        }
    }
    detector.SetAlarmSettings(alarms);
    detector.SetMotionDetectionMode(4);
    detector.SetMotionDetectionSensitivity(80);
    detector.AddMotionDetectionCallback([](int32_t) { return true; });
    detector.AddNoMotionDetectionCallback([](int32_t) { return true; });
    for (int i = 0; i < kZones; ++i) {
        const int left = (i % 5) * (kWidth / 5);
        const int top = (i / 5) * (kHeight / 2);
        detector.AddMotionDetector(kWidth, kHeight,
                                   TRect{left, top, left + kWidth / 5, top + kHeight / 2});
    }
    std::vector<uint8_t> previous(static_cast<size_t>(kWidth) * kHeight * 4);
    std::atomic<int64_t> delivered{0};
    graph.SetNextFrameDataFunction([&](uint8_t* data, int32_t size) {
        if (static_cast<size_t>(size) == previous.size()) {
            detector.MotionDetection_CountDifferentPixelsBlock_RGB32(data, previous.data());
            std::memcpy(previous.data(), data, previous.size());
        }
        delivered.fetch_add(1);
        return true;
    });
    graph.SetFrameTime(1'000'000);
    int32_t count = 0;
    graph.GetSupportedDevicesCount(count);
    int32_t w = 0, h = 0;
    int64_t interval = 0;
    if (count < 1 || graph.ActivateMainGraph(count - 1) != S_OK ||
        graph.GetOutputType(0, w, h, interval) != S_OK ||
        graph.SelectOutputType(0, w, h, interval) != S_OK || graph.RenderOutput() != S_OK ||
        FAILED(graph.Play())) {
        return -1;
    }
    const int64_t before = delivered.load();
    const double cpu = Measure(seconds);
    frames = delivered.load() - before;
    graph.Stop();
    graph.DeactivateMainGraph();
    return cpu;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 10.0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--seconds N]\n", argv[0]);
            return 2;
        }
    }
    if (seconds <= 0 || !InitializeMediaFramework()) {
        std::fprintf(stderr, "--seconds needs a positive number and GStreamer must start\n");
        return 2;
    }
    const std::string file = (std::filesystem::temp_directory_path() /
                              ("tandrel-stream-bench-" + std::to_string(getpid()) + ".mkv"))
                                 .string();
    const int frames = static_cast<int>(seconds * 10) + 40;
    if (!RunPipeline("videotestsrc pattern=ball num-buffers=" + std::to_string(frames) +
                     " ! video/x-raw,format=I420,width=1280,height=720,framerate=10/1 ! "
                     "x264enc speed-preset=veryfast key-int-max=20 ! h264parse ! matroskamux ! "
                     "filesink location=" +
                     file)) {
        std::fprintf(stderr, "the H.264 stream cannot be made (x264enc missing?)\n");
        return 1;
    }
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3) {
        std::printf("load average before: %.2f %.2f %.2f (%u cores)\n", load[0], load[1], load[2],
                    std::thread::hardware_concurrency());
    }
    const double bare = BareDecode(file, seconds);
    int64_t delivered = 0;
    const double watched = Watched(file, seconds, delivered);
    std::filesystem::remove(file);
    if (bare < 0 || watched < 0) {
        std::fprintf(stderr, "a pipeline did not run\n");
        return 1;
    }
    std::printf("1280 x 720 H.264 at 10 fps, %.1f s each\n", seconds);
    std::printf("bare decode            %6.1f %% of one core\n", bare * 100.0);
    std::printf("capture + %d zones     %6.1f %% of one core  (%.1f frames/s delivered)\n", kZones,
                watched * 100.0, static_cast<double>(delivered) / seconds);
    std::printf("program's own part     %6.1f %% of one core\n", (watched - bare) * 100.0);
    return 0;
}
