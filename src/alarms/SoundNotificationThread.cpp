#include "alarms/SoundNotificationThread.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "alarms/AlarmVideoPresenter.h"
#include "graph/Graph.h"
#include "platform/Diagnostics.h"

namespace {

using TClock = std::chrono::steady_clock;
using TSeconds = std::chrono::duration<double>;

// The alarm stops this long after the instant-alarm flag was last seen set.
constexpr TSeconds kAlarmTail{3.0};
// Bound of the preroll that tells whether the file renders, and its polling slice.
constexpr auto kPrerollBound = std::chrono::seconds(5);
constexpr GstClockTime kPrerollSlice = 20 * GST_MSECOND;

// New pictures of an alarm video (streaming thread): copied into an owned frame for the
// presenter. Nothing here waits for the GUI; with no presenter installed pictures are dropped.
GstFlowReturn OnAlarmVideoSample(GstAppSink* sink, gpointer owner) {
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (sample == nullptr) {
        return GST_FLOW_OK;
    }
    try {
        GstVideoInfo info;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstCaps* caps = gst_sample_get_caps(sample);
        if (HasAlarmVideoPresenter() && buffer != nullptr && caps != nullptr &&
            gst_video_info_from_caps(&info, caps)) {
            GstVideoFrame video;
            if (gst_video_frame_map(&video, &info, buffer, GST_MAP_READ)) {
                auto frame = std::make_shared<TAlarmVideoFrame>();
                frame->Width = GST_VIDEO_FRAME_WIDTH(&video);
                frame->Height = GST_VIDEO_FRAME_HEIGHT(&video);
                frame->Stride = frame->Width * 4;
                frame->Pixels.resize(static_cast<size_t>(frame->Stride) * frame->Height);
                const auto* source =
                    static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&video, 0));
                const int sourceStride = GST_VIDEO_FRAME_PLANE_STRIDE(&video, 0);
                for (int32_t row = 0; row < frame->Height; ++row) {
                    std::memcpy(frame->Pixels.data() + static_cast<size_t>(row) * frame->Stride,
                                source + static_cast<size_t>(row) * sourceStride, frame->Stride);
                }
                gst_video_frame_unmap(&video);
                AlarmVideoPresentFrame(reinterpret_cast<uintptr_t>(owner), std::move(frame));
            }
        }
    } catch (...) {
        // A lost picture is no failure of the alarm.
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

// The sink that hands the alarm video of `owner` to the presenter. It keeps at most one
// picture and drops older ones, so a slow consumer never holds up playback.
TGstElementHandle CreatePresenterSink(uintptr_t owner) {
    TGstElementHandle sink = TGstElementHandle::Adopt(gst_element_factory_make("appsink", nullptr));
    if (!sink) {
        return {};
    }
    TGstCapsHandle caps = TGstCapsHandle::Adopt(
        gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", nullptr));
    g_object_set(sink.Get(), "caps", caps.Get(), "max-buffers", 1u, "drop", TRUE, "sync", TRUE,
                 "enable-last-sample", FALSE, nullptr);
    GstAppSinkCallbacks callbacks;
    std::memset(&callbacks, 0, sizeof callbacks);
    callbacks.new_sample = &OnAlarmVideoSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink.Get()), &callbacks,
                               reinterpret_cast<gpointer>(owner), nullptr);
    return sink;
}

bool VideoSinkNamedInEnvironment() {
    const char* value = std::getenv("TANDREL_VIDEO_SINK");
    return value != nullptr && *value != '\0';
}

}  // namespace

TSoundNotificationThread::TSoundNotificationThread() {
    try {
        FThread.Start("tdr-alarm", [this] {
            Execute();
            FFinished.store(true, std::memory_order_release);
        });
    } catch (...) {
        LogMessage("Error in TSoundNotificationThread.Create call...");
    }
}

TSoundNotificationThread::~TSoundNotificationThread() {
    try {
        FExitEvent.SetEvent();
        FThread.Join();
        FreeGraph();
    } catch (...) {
        LogMessage("Error in TSoundNotificationThread.Destroy call...");
    }
}

bool TSoundNotificationThread::SetInstantAlarmSound(const std::string& FileName) {
    try {
        std::error_code error;
        if (FileName.empty() || !std::filesystem::is_regular_file(FileName, error)) {
            return false;
        }
        {
            std::lock_guard lock(FCriticalSection);
            FSoundFileName = FileName;
        }
        FWakeEvent.SetEvent();
        return true;
    } catch (...) {
        LogMessage("Error in TSoundNotificationThread.SetInstantAlarmSound call...");
        return false;
    }
}

bool TSoundNotificationThread::SetInstantAlarm(bool Alarm) {
    // Only a rise needs the thread at once; while the flag stays up it plays anyway, and a
    // fall is timed by its running cycles.
    if (!FInstantAlarm.exchange(Alarm, std::memory_order_relaxed) && Alarm) {
        FWakeEvent.SetEvent();
    }
    return true;
}

void TSoundNotificationThread::SetRepeatTimeMS(int32_t Value) {
    FRepeatTimeMS.store(Value, std::memory_order_relaxed);
    FWakeEvent.SetEvent();
}

bool TSoundNotificationThread::SetAlarmOn() {
    FAlarmOn.store(FAlarmOn.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    return true;
}

bool TSoundNotificationThread::SetAlarmOff() {
    const int32_t value = FAlarmOn.load(std::memory_order_relaxed);
    if (value > 0) {
        FAlarmOn.store(value - 1, std::memory_order_relaxed);
    }
    return true;
}

bool TSoundNotificationThread::ResetAlarm() {
    FAlarmOn.store(0, std::memory_order_relaxed);
    return true;
}

TGstElementHandle TSoundNotificationThread::PlaybackPipeline() const {
    std::lock_guard lock(FCriticalSection);
    return FPipelineView;
}

std::string TSoundNotificationThread::SoundFileName() {
    std::lock_guard lock(FCriticalSection);
    return FSoundFileName;
}

bool TSoundNotificationThread::OpenGraph(const std::string& FileName) {
    FGraph = TGraph::Create();
    TGraph::TVideoSinkFactory videoSink;
    if (!VideoSinkNamedInEnvironment()) {
        const auto owner = reinterpret_cast<uintptr_t>(this);
        videoSink = [owner] { return CreatePresenterSink(owner); };
    }
    if (!FGraph->Valid() || FAILED(FGraph->RenderFile(FileName, std::move(videoSink)))) {
        return false;
    }
    // The decoder completes the graph while it prerolls; only then is it known whether the
    // file renders at all.
    GstElement* pipeline = FGraph->MediaControl();
    const GstStateChangeReturn ret = gst_element_set_state(pipeline, GST_STATE_PAUSED);
    if (ret == GST_STATE_CHANGE_FAILURE) {
        return false;
    }
    if (ret == GST_STATE_CHANGE_ASYNC) {
        const auto deadline = TClock::now() + kPrerollBound;
        for (;;) {
            TGstMessageHandle msg = TGstMessageHandle::Adopt(gst_bus_timed_pop_filtered(
                FGraph->MediaEvent(), kPrerollSlice,
                static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_ASYNC_DONE)));
            if (msg) {
                if (GST_MESSAGE_TYPE(msg.Get()) != GST_MESSAGE_ASYNC_DONE) {
                    return false;
                }
                break;
            }
            // Destruction need not wait for a preroll that takes long.
            if (TClock::now() >= deadline || FExitEvent.WaitFor(0) == WAIT_OBJECT_0) {
                return false;
            }
        }
    }
    const bool video = FGraph->RetrieveVideoWindow();
    const bool audio = FGraph->RetrieveBasicAudio();
    if (!video && !audio) {
        return false;
    }
    FGraph->Stop();
    std::lock_guard lock(FCriticalSection);
    FPipelineView = TGstElementHandle::Ref(pipeline);
    return true;
}

void TSoundNotificationThread::FreeGraph() {
    if (!FGraph) {
        return;
    }
    FGraph->Stop();
    if (FVideoShown) {
        AlarmVideoHide(reinterpret_cast<uintptr_t>(this));
        FVideoShown = false;
    }
    {
        std::lock_guard lock(FCriticalSection);
        FPipelineView.Reset();
    }
    FGraph.reset();
}

void TSoundNotificationThread::Execute() {
    try {
        const auto owner = reinterpret_cast<uintptr_t>(this);
        const TClock::time_point start = TClock::now();
        TClock::time_point lastAlarm = start;   // L: the flag was last seen set
        TClock::time_point pauseStart = start;  // T: the previous cycle's pause began
        for (;;) {
            if (FExitEvent.WaitFor(0) == WAIT_OBJECT_0) {
                FreeGraph();
                return;
            }
            if (!FGraph) {
                const std::string fileName = SoundFileName();
                if (!fileName.empty() && !OpenGraph(fileName)) {
                    // The zone stays silent from now on.
                    FreeGraph();
                    return;
                }
            }
            TFilterState state = State_Stopped;
            if (FGraph) {
                if (FInstantAlarm.load(std::memory_order_relaxed)) {
                    int32_t evCode = 0;
                    if (SUCCEEDED(FGraph->WaitForCompletion(1, evCode)) &&
                        evCode == TGraph::EC_COMPLETE) {
                        FGraph->SetPositionToStart();  // the file loops
                        FLoopCount.fetch_add(1, std::memory_order_relaxed);
                    }
                    FGraph->GetState(1, state);
                    if (state != State_Running) {
                        TraceMessage("Alarm On");
                        FAlarmStartCount.fetch_add(1, std::memory_order_relaxed);
                        FGraph->SetPositionToStart();
                        FGraph->Play();
                        state = State_Running;
                        if (FGraph->VideoWindow() != nullptr) {
                            AlarmVideoShowFullScreen(owner);
                            FVideoShown = true;
                        }
                    }
                    lastAlarm = pauseStart;
                } else {
                    FGraph->GetState(1, state);
                    if (state != State_Stopped) {
                        const TClock::time_point now = TClock::now();
                        if (now - lastAlarm >= kAlarmTail) {
                            TraceMessage("Alarm Off");
                            FGraph->Stop();
                            state = State_Stopped;
                            lastAlarm = now;
                            if (FGraph->VideoWindow() != nullptr) {
                                AlarmVideoHide(owner);
                                FVideoShown = false;
                            }
                        }
                    }
                }
            }
            // With no graph, or with the alarm stopped and no motion, there is nothing to do
            // until the flag rises, a file is set or the thread is asked to end: sleep on the
            // events. A rise that came after the flag was read above has left the wake event
            // set, so it is not missed.
            const bool idle = !FGraph || (state == State_Stopped &&
                                          !FInstantAlarm.load(std::memory_order_relaxed));
            if (idle) {
                if (WaitForMultipleObjects({&FExitEvent, &FWakeEvent}, INFINITE) ==
                    WAIT_OBJECT_0) {
                    return;  // the destructor frees the graph
                }
                // The cycle that sees the new flag starts now.
                pauseStart = TClock::now();
                continue;
            }
            // Pause of one cycle while the alarm plays or runs out its tail; ended early by
            // the exit request, a rise of the flag or a new repeat time.
            pauseStart = TClock::now();
            const TSeconds pause{FRepeatTimeMS.load(std::memory_order_relaxed) / 1000.0};
            const TSeconds left = pause - (TClock::now() - pauseStart);
            if (left > TSeconds::zero()) {
                const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(left).count();
                if (WaitForMultipleObjects({&FExitEvent, &FWakeEvent},
                                           static_cast<uint32_t>(waitMs)) == WAIT_OBJECT_0) {
                    return;  // the destructor frees the graph
                }
            }
        }
    } catch (...) {
        LogMessage("Error in TSoundNotificationThread.Execute call...");
    }
}
