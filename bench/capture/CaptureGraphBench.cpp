// The capture graph over the Test Pattern, run live for a stretch of wall time at a frame time
// of 100 ms: how many frame callbacks arrive per second (ten expected) and how much process CPU
// time one second of video costs, at 1280 x 720 YUY2 and, for comparison, 640 x 480 RGB32 (both
// at 30 frames per second from the device). A plain program rather than a Google Benchmark: one
// measurement is a whole live run.
//
//   tandrel_capture_bench [--seconds N]   (10 by default)
#include <sys/resource.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "capture/CaptureFormats.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "platform/MediaFramework.h"
#include "platform/MediaType.h"

namespace {

constexpr int64_t kFrameTime = 1'000'000;  // 100 ms: ten frames a second

struct TCase {
    const char* Label;
    int32_t Width;
    int32_t Height;
    const TGUID* Subtype;
    int64_t Interval;  // the device's frame interval, 100 ns units
};

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

int FindTestPattern(TFrameGrabCaptureGraph& graph) {
    int32_t count = 0;
    graph.GetSupportedDevicesCount(count);
    for (int32_t i = 0; i < count; ++i) {
        const std::string* name = nullptr;
        if (graph.GetSupportedDeviceFriendlyName(i, name) == S_OK &&
            *name == VirtualDevices::kTestPatternName) {
            return i;
        }
    }
    return -1;
}

int FindFormat(TFrameGrabCaptureGraph& graph, const TCase& c) {
    int32_t count = 0;
    graph.GetOutputTypesCount(count);
    for (int32_t i = 0; i < count; ++i) {
        const TMediaType* mt = nullptr;
        int32_t minW = 0, minH = 0, maxW = 0, maxH = 0, gw = 0, gh = 0;
        int64_t minI = 0, maxI = 0;
        if (graph.GetOutputType(i, mt, minW, minH, maxW, maxH, gw, gh, minI, maxI) != S_OK ||
            mt == nullptr) {
            continue;
        }
        if (mt->subtype == *c.Subtype && maxW == c.Width && maxH == c.Height &&
            minI == c.Interval) {
            return i;
        }
    }
    return -1;
}

// One live run; false when the graph could not be built.
bool RunCase(const TCase& c, double seconds) {
    TFrameGrabCaptureGraph graph(std::vector<std::string>{});
    std::atomic<int64_t> callbacks{0};
    graph.SetNextFrameDataFunction([&](uint8_t*, int32_t) {
        callbacks.fetch_add(1, std::memory_order_relaxed);
        return true;
    });
    graph.SetFrameTime(kFrameTime);
    const int device = FindTestPattern(graph);
    if (device < 0 || graph.ActivateMainGraph(device) != S_OK) {
        std::printf("%-22s the Test Pattern cannot be activated\n", c.Label);
        return false;
    }
    const int format = FindFormat(graph, c);
    if (format < 0 || graph.SelectOutputType(format, c.Width, c.Height, c.Interval) != S_OK ||
        graph.RenderOutput() != S_OK) {
        std::printf("%-22s format not offered or graph not rendered\n", c.Label);
        graph.DeactivateMainGraph();
        return false;
    }
    if (FAILED(graph.Play())) {
        std::printf("%-22s graph does not play\n", c.Label);
        graph.DeactivateMainGraph();
        return false;
    }
    // Wait for the first frame, then half a second more for the pipeline's steady state.
    const auto firstFrameDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (callbacks.load() == 0 && std::chrono::steady_clock::now() < firstFrameDeadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    const int64_t startCount = callbacks.load();
    const double startCpu = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const int64_t endCount = callbacks.load();
    const double endCpu = ProcessCpuSeconds();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    graph.Stop();
    graph.DeactivateMainGraph();

    const double perSecond = static_cast<double>(endCount - startCount) / wall;
    const double cpuPerSecond = (endCpu - startCpu) / wall;
    std::printf("%-22s %8.2f callbacks/s  %7.1f ms CPU per s of video  %6.2f %% of one core\n",
                c.Label, perSecond, cpuPerSecond * 1000.0, cpuPerSecond * 100.0);
    return true;
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
    if (seconds <= 0) {
        std::fprintf(stderr, "--seconds needs a positive number\n");
        return 2;
    }
    if (!InitializeMediaFramework()) {
        std::fprintf(stderr, "GStreamer cannot start\n");
        return 1;
    }
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3) {
        std::printf("load average before: %.2f %.2f %.2f (%u cores)\n", load[0], load[1], load[2],
                    std::thread::hardware_concurrency());
    }
    std::printf("Test Pattern, frame time %lld (100 ns units), %.1f s per case\n",
                static_cast<long long>(kFrameTime), seconds);
    const TCase cases[] = {
        {"1280 x 720 YUY2 30fps", 1280, 720, &MEDIASUBTYPE_YUY2, 333333},
        {"640 x 480 RGB32 30fps", 640, 480, &MEDIASUBTYPE_RGB32, 333333},
    };
    bool ok = true;
    for (const TCase& c : cases) {
        ok = RunCase(c, seconds) && ok;
    }
    if (getloadavg(load, 3) == 3) {
        std::printf("load average after: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    }
    return ok ? 0 : 1;
}
