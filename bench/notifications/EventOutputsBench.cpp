// The cost of the event outputs, printed as a report:
//  1. a burst of 1000 events to each kind of receiver, alive: the time the publishing thread
//     spends, the time until the receiver has them all, and the CPU time per event;
//  2. the controller's frame step with every receiver dead (an MQTT broker that is not there, a
//     webhook whose server never answers, commands that never end) beside the same step with no
//     receiver at all.
// Run: build/bench/notifications/tandrel_event_outputs_bench

#include <QApplication>
#include <QTemporaryDir>
#include <QWidget>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controller/CameraManager.h"
#include "controller/CameraPicture.h"
#include "localisation/LanguageFile.h"
#include "notifications/CommandOutput.h"
#include "notifications/EventStream.h"
#include "notifications/MqttOutput.h"
#include "notifications/WebhookOutput.h"
#include "platform/DebugOutput.h"
#include "platform/MediaFramework.h"
#include "support/MosquittoBroker.h"
#include "support/RecordingHttpServer.h"
#include "support/SettingsHome.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBurst = 1000;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Burst(const char* Name, std::function<std::unique_ptr<TEventOutput>()> Make,
           size_t Capacity = 2 * kBurst) {
    TEventStream stream;
    stream.SetCamera("Bench");
    stream.SetInstance("bench");
    TEventOutputQueue& queue = stream.AddOutput(Make(), Capacity);
    stream.WaitIdle(5000);
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    for (int i = 0; i < kBurst; ++i) {
        stream.Publish(TNotificationEvent("motion_start", 46000.5)
                           .Add("zone", int64_t{1 + i % 10})
                           .Add("activity", int64_t{12}));
    }
    const auto published = Clock::now();
    const bool idle = stream.WaitIdle(120000);
    const auto done = Clock::now();
    const double cpuPerEvent = (CpuSeconds() - cpu) / kBurst * 1e6;
    std::printf("%-28s publish %8.2f ms (%6.2f us/event)  all delivered %9.1f ms%s  CPU %7.1f "
                "us/event  delivered %llu failed %llu dropped %llu\n",
                Name, Ms(published - start), Ms(published - start) * 1000 / kBurst,
                Ms(done - start), idle ? "" : " (not idle)", cpuPerEvent,
                static_cast<unsigned long long>(queue.Delivered()),
                static_cast<unsigned long long>(queue.Failed()),
                static_cast<unsigned long long>(queue.Dropped()));
}

struct TStepTimes {
    double Mean = 0;
    double P99 = 0;
    double Max = 0;
};

// Frames alternate between black and white, so every frame starts or ends motion in the zone:
// the step publishes events all the time.
TStepTimes FrameSteps(QWidget& Host, std::shared_ptr<TEventStream> Stream, int Frames) {
    TCameraManager manager(&Host, 100);
    TCameraOverrides overrides;
    overrides.FramesFromCaller = true;
    overrides.DetectionMode = 1;
    overrides.Sensitivity = 100;
    manager.SetOverrides(overrides);
    manager.SetSaveSettingsOnExit(false);
    if (Stream) {
        manager.SetEventStream(Stream);
    }
    manager.InitializeCamera();
    manager.OnAddZoneClick();
    manager.OnActivateClick();
    const TCameraPicture* picture = manager.FramePreviewImage();
    const size_t size = static_cast<size_t>(picture->BitmapWidth()) * picture->BitmapHeight() * 4;
    std::vector<uint8_t> white(size, 255);
    std::vector<uint8_t> black(size, 0);
    std::vector<double> times;
    for (int i = 0; i < Frames; ++i) {
        std::vector<uint8_t>& frame = i % 2 == 0 ? white : black;
        const auto start = Clock::now();
        manager.NextFrameDataFunction(frame.data(), static_cast<int32_t>(frame.size()));
        times.push_back(Ms(Clock::now() - start));
        QCoreApplication::processEvents();
    }
    std::sort(times.begin(), times.end());
    TStepTimes result;
    for (double t : times) {
        result.Mean += t / times.size();
    }
    result.P99 = times[times.size() * 99 / 100];
    result.Max = times.back();
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", (home.path() + "/data/").toUtf8());
    QApplication app(argc, argv);
    UseSettingsHome(home.path());
    LoadLanguageFile("");
    InitializeMediaFramework();
    // The receivers' complaints (dead brokers, hung servers) would drown the report.
    SetDebugOutputSink([](std::string_view) {});

    std::printf("1. A burst of %d events to one receiver\n", kBurst);
    {
        MosquittoBroker broker;
        Burst("MQTT broker (loopback)", [&] {
            TMqttSettings mqtt;
            mqtt.Enabled = true;
            mqtt.Host = "127.0.0.1";
            mqtt.Port = broker.Port();
            return std::make_unique<TMqttOutput>(mqtt, "bench");
        });
    }
    {
        RecordingHttpServer server;
        Burst("webhook (loopback)", [&] {
            TWebhookSettings hook;
            hook.Url = server.Url("/hook");
            return std::make_unique<TWebhookOutput>(hook);
        });
    }
    Burst("command (/bin/true)", [] {
        return std::make_unique<TCommandOutput>(
            std::vector<TCommandSettings>{{"motion_start", "true", {}}}, 30);
    });

    std::printf("\n2. The frame step (320 x 240, one zone, events every frame)\n");
    QWidget host;
    host.resize(926, 521);
    host.show();
    constexpr int kFrames = 600;
    const TStepTimes none = FrameSteps(host, nullptr, kFrames);
    std::printf("%-28s mean %6.3f ms  p99 %6.3f ms  max %6.3f ms\n", "no receiver", none.Mean,
                none.P99, none.Max);
    {
        RecordingHttpServer hung({}, RecordingHttpServer::TAnswer{200, true});
        auto stream = std::make_shared<TEventStream>();
        TMqttSettings mqtt;
        mqtt.Enabled = true;
        mqtt.Host = "127.0.0.1";
        mqtt.Port = 9;  // nothing listens there
        stream->AddOutput(std::make_unique<TMqttOutput>(mqtt, "bench"));
        TWebhookSettings hook;
        hook.Url = hung.Url("/hook");
        stream->AddOutput(std::make_unique<TWebhookOutput>(hook));
        stream->AddOutput(std::make_unique<TCommandOutput>(
            std::vector<TCommandSettings>{{"motion_start", "sleep", {"600"}}}, 600));
        const TStepTimes dead = FrameSteps(host, stream, kFrames);
        std::printf("%-28s mean %6.3f ms  p99 %6.3f ms  max %6.3f ms\n", "every receiver dead",
                    dead.Mean, dead.P99, dead.Max);
        stream->RemoveOutputs(500);
    }
    return 0;
}
