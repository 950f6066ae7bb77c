// Latency from a changed frame to its zone's alarm, in every detection mode: ten zones over a
// 1280 x 720 picture, each with an alarm sound (played into a fake sink). Once every zone is
// ready, one zone's area changes in one frame; a sample is the time from handing that frame to
// the detection step until that zone's sound thread has started its alarm (its start count
// rises). Each zone gives one sample per mode; the changed frames are handed over at ten a
// second, as a camera delivers them. Zones are stepped in order, so the last zone's sample
// includes every zone's step.
//
//   tandrel_alarm_latency_bench
#include <gst/gst.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "alarms/AlarmSettings.h"
#include "alarms/SoundNotificationThread.h"
#include "alarms/ZoneAlarmSettings.h"
#include "detection/MotionDetectionListManager.h"
#include "platform/MediaFramework.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;
constexpr int32_t kZones = 10;
constexpr int32_t kFrameMs = 100;

// Ten zones: two rows of five, in buffer rows (as the detection step sees them).
TRect ZoneRect(int32_t index) {
    const int32_t w = kWidth / 5;
    const int32_t h = kHeight / 2;
    const int32_t left = (index % 5) * w;
    const int32_t top = (index / 5) * h;
    return TRect{left, top, left + w, top + h};
}

// A still picture with some texture (bottom-up RGB32), the same on every call.
std::vector<uint8_t> StillFrame() {
    std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 4);
    uint32_t seed = 12345;
    for (size_t i = 0; i < frame.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        frame[i] = static_cast<uint8_t>(60 + ((i / 4) % 97) + (seed >> 29));
    }
    return frame;
}

// The still picture with a checked block over most of one zone (as a person stepping in).
std::vector<uint8_t> ChangedFrame(const std::vector<uint8_t>& still, int32_t zone) {
    std::vector<uint8_t> frame = still;
    const TRect r = ZoneRect(zone);
    for (int32_t y = r.Top + 20; y < r.Bottom - 20; ++y) {
        for (int32_t x = r.Left + 20; x < r.Right - 20; ++x) {
            uint8_t* p = frame.data() + (static_cast<size_t>(y) * kWidth + x) * 4;
            // Checked, so that the edge mode sees edges where the picture had few.
            p[0] = p[1] = p[2] = ((x / 8 + y / 8) % 2) != 0 ? 250 : 10;
        }
    }
    return frame;
}

bool MakeAlarmSound(const std::string& path) {
    const std::string launch =
        "audiotestsrc num-buffers=20 ! audioconvert ! wavenc ! filesink location=\"" + path + "\"";
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(launch.c_str(), &error);
    g_clear_error(&error);
    if (pipeline == nullptr) {
        return false;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(
        bus, 20 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = msg != nullptr && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
    if (msg != nullptr) {
        gst_message_unref(msg);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok;
}

// Milliseconds from the hand-over of zone k's changed frame to its alarm start, per zone;
// empty when the zones never became ready.
std::vector<double> MeasureMode(int32_t mode, const std::string& sound) {
    TMotionDetectionListManager manager(kFrameMs);
    TAlarmSettings settings;
    for (int32_t i = 0; i < kZones; ++i) {
        TZoneAlarmSettings* zone = settings.AddZone();
        zone->SoundVideoAlarmEnabled = true;
        zone->SoundVideoAlarmFileName = sound;
    }
    manager.SetAlarmSettings(settings);
    manager.SetMotionDetectionSensitivity(90);
    manager.SetMotionDetectionMode(mode);
    for (int32_t i = 0; i < kZones; ++i) {
        manager.AddMotionDetector(kWidth, kHeight, ZoneRect(i));
    }
    const std::vector<uint8_t> still = StillFrame();
    // Learning: still frames until every zone is ready (bounded).
    for (int frame = 0; frame < 2000; ++frame) {
        manager.MotionDetection_CountDifferentPixelsBlock_RGB32(still.data(), still.data());
        bool ready = true;
        for (int32_t i = 0; i < kZones; ++i) {
            ready = ready && manager.GetIsReadyToProcess(i);
        }
        if (ready) {
            break;
        }
        if (frame == 1999) {
            return {};
        }
    }
    std::vector<double> samples;
    for (int32_t zone = 0; zone < kZones; ++zone) {
        const std::vector<uint8_t> changed = ChangedFrame(still, zone);
        const TSoundNotificationThread* thread = manager.SoundNotificationThread(zone);
        const int32_t before = thread->AlarmStartCount();
        const TClock::time_point handedOver = TClock::now();
        manager.MotionDetection_CountDifferentPixelsBlock_RGB32(changed.data(), still.data());
        while (thread->AlarmStartCount() == before &&
               TClock::now() - handedOver < std::chrono::seconds(2)) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        samples.push_back(
            std::chrono::duration<double, std::milli>(TClock::now() - handedOver).count());
        // The picture goes back to still, a frame time later, as a camera's next frame.
        std::this_thread::sleep_until(handedOver + std::chrono::milliseconds(kFrameMs));
        manager.MotionDetection_CountDifferentPixelsBlock_RGB32(still.data(), changed.data());
        std::this_thread::sleep_until(handedOver + std::chrono::milliseconds(2 * kFrameMs));
    }
    return samples;
}

}  // namespace

int main() {
    setenv("TANDREL_AUDIO_SINK", "fakesink", 0);
    setenv("TANDREL_VIDEO_SINK", "fakesink", 0);
    if (!InitializeMediaFramework()) {
        std::fprintf(stderr, "GStreamer cannot be initialised\n");
        return 1;
    }
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tandrel-latency-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string sound = (folder / "alarm.wav").string();
    if (!MakeAlarmSound(sound)) {
        std::fprintf(stderr, "the alarm sound cannot be made\n");
        return 1;
    }
    std::printf("Changed frame to alarm start, ten zones at %d x %d (ms):\n", kWidth, kHeight);
    for (const int32_t mode : {1, 2, 3, 4}) {
        std::vector<double> samples = MeasureMode(mode, sound);
        if (samples.empty()) {
            std::printf("  mode %d: the zones did not become ready\n", mode);
            continue;
        }
        std::sort(samples.begin(), samples.end());
        std::printf("  mode %d: median %6.2f  min %6.2f  max %6.2f  (frame time %d)\n", mode,
                    samples[samples.size() / 2], samples.front(), samples.back(), kFrameMs);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
