#pragma once

#include <gst/gst.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "alarms/AlarmVideoPresenter.h"
#include "alarms/SoundNotificationThread.h"

// Helpers of the alarm playback tests: media files made with GStreamer, bounded waits and a
// presenter that records what it is asked to do.
namespace AlarmTest {

// Runs a launch line to its end of stream (bounded); true when it got there without error.
inline bool RunToEnd(const std::string& launch) {
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

// A folder of media files for one test suite, made once and removed at the end.
class TMediaFolder {
public:
    explicit TMediaFolder(const std::string& tag)
        : FPath(std::filesystem::temp_directory_path() /
                ("tandrel-" + tag + "-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(FPath);
    }
    ~TMediaFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    std::string File(const std::string& name) const { return (FPath / name).string(); }

    // A mono tone `tenths` tenths of a second long, as 16-bit PCM WAV.
    std::string Wav(const std::string& name, int tenths) const {
        const std::string file = File(name);
        if (!std::filesystem::exists(file) &&
            !RunToEnd("audiotestsrc num-buffers=" + std::to_string(tenths) +
                      " samplesperbuffer=4410 ! audio/x-raw,rate=44100,channels=1,format=S16LE "
                      "! wavenc ! filesink location=" +
                      file)) {
            return {};
        }
        return file;
    }
    // 160 x 120 pictures of one colour at 10 frames per second, MJPEG in AVI.
    std::string Video(const std::string& name, int frames, const char* pattern = "red") const {
        const std::string file = File(name);
        if (!std::filesystem::exists(file) &&
            !RunToEnd("videotestsrc num-buffers=" + std::to_string(frames) + " pattern=" + pattern +
                      " ! video/x-raw,width=160,height=120,framerate=10/1 ! jpegenc ! avimux "
                      "! filesink location=" +
                      file)) {
            return {};
        }
        return file;
    }

private:
    std::filesystem::path FPath;
};

// Polls `done` until it holds or `timeout` passes; false on time-out, so a test fails
// instead of hanging.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The settled state of the thread's playback pipeline; nullopt while it has none or while
// the pipeline is still changing state.
inline std::optional<GstState> SettledState(const TSoundNotificationThread& thread) {
    TGstElementHandle pipeline = thread.PlaybackPipeline();
    if (!pipeline) {
        return std::nullopt;
    }
    GstState current = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    if (gst_element_get_state(pipeline.Get(), &current, &pending, 0) != GST_STATE_CHANGE_SUCCESS) {
        return std::nullopt;
    }
    return current;
}

// The state a pipeline is heading for (kept through the preroll after a seek).
inline GstState TargetState(GstElement* pipeline) {
    GST_OBJECT_LOCK(pipeline);
    const GstState target = GST_STATE_TARGET(pipeline);
    GST_OBJECT_UNLOCK(pipeline);
    return target;
}

inline bool IsPlaying(const TSoundNotificationThread& thread) {
    return SettledState(thread) == GST_STATE_PLAYING;
}

inline bool IsStopped(const TSoundNotificationThread& thread) {
    return SettledState(thread) == GST_STATE_NULL;
}

// Makes every sink of the pipeline keep time, as a sound card or display would (fakesink
// does not by default, so a file would run through in an instant).
inline void SyncSinksToClock(GstElement* pipeline) {
    GstIterator* it = gst_bin_iterate_sinks(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        g_object_set(g_value_get_object(&item), "sync", TRUE, nullptr);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
}

// Records the presenter calls; installed for its lifetime.
class TRecordingPresenter : public IAlarmVideoPresenter {
public:
    enum class TCall { Show, Hide };

    TRecordingPresenter() { FPrevious = SetAlarmVideoPresenter(this); }
    ~TRecordingPresenter() override { SetAlarmVideoPresenter(FPrevious); }

    void ShowFullScreen(uintptr_t Owner) override { Record(TCall::Show, Owner); }
    void Hide(uintptr_t Owner) override { Record(TCall::Hide, Owner); }
    void PresentFrame(uintptr_t Owner, TAlarmVideoFramePtr Frame) override {
        std::lock_guard lock(FLock);
        ++FFrameCount;
        FLastFrame = std::move(Frame);
        FLastFrameOwner = Owner;
    }

    std::vector<std::pair<TCall, uintptr_t>> Calls() const {
        std::lock_guard lock(FLock);
        return FCalls;
    }
    int FrameCount() const {
        std::lock_guard lock(FLock);
        return FFrameCount;
    }
    TAlarmVideoFramePtr LastFrame(uintptr_t* owner = nullptr) const {
        std::lock_guard lock(FLock);
        if (owner != nullptr) {
            *owner = FLastFrameOwner;
        }
        return FLastFrame;
    }

private:
    void Record(TCall call, uintptr_t owner) {
        std::lock_guard lock(FLock);
        FCalls.emplace_back(call, owner);
    }

    mutable std::mutex FLock;
    std::vector<std::pair<TCall, uintptr_t>> FCalls;
    int FFrameCount = 0;
    TAlarmVideoFramePtr FLastFrame;
    uintptr_t FLastFrameOwner = 0;
    IAlarmVideoPresenter* FPrevious = nullptr;
};

inline uintptr_t OwnerOf(const TSoundNotificationThread& thread) {
    return reinterpret_cast<uintptr_t>(&thread);
}

// Sets an environment variable for its lifetime (unset when `value` is null).
class TScopedEnvironment {
public:
    TScopedEnvironment(const char* name, const char* value) : FName(name) {
        if (const char* old = std::getenv(name)) {
            FOld = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~TScopedEnvironment() {
        if (FOld) {
            setenv(FName.c_str(), FOld->c_str(), 1);
        } else {
            unsetenv(FName.c_str());
        }
    }

private:
    std::string FName;
    std::optional<std::string> FOld;
};

}  // namespace AlarmTest
