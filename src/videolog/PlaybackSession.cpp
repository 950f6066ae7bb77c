#include "videolog/PlaybackSession.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "graph/DefaultSinks.h"
#include "graph/GraphPads.h"
#include "platform/Diagnostics.h"
#include "videolog/PlaybackPreferredFilters.h"
#include "videolog/PlaybackStreamOrigin.h"
#include "videolog/TransportStreamPrograms.h"

namespace {

constexpr int kSliceMs = 20;
constexpr int kPrerollBoundMs = 10000;
constexpr int kSeekBoundMs = 10000;
constexpr int kStepBoundMs = 5000;
constexpr int kPauseBoundMs = 3000;
constexpr int kFrameTimingBoundMs = 1000;
constexpr int kSeekRetries = 2;
// The engine lays out at most this many windows.
constexpr size_t kMostWindows = 100;
constexpr size_t kMostPrograms = 100;

int64_t ToUnits(gint64 nanoseconds) { return nanoseconds / 100; }

bool IsKind(const GstCaps* caps, const char* name) {
    return caps != nullptr && !gst_caps_is_empty(caps) && !gst_caps_is_any(caps) &&
           std::strcmp(gst_structure_get_name(gst_caps_get_structure(caps, 0)), name) == 0;
}

TGstElementHandle MakeAudioSink() {
    TGstElementHandle sink = CreateDefaultAudioSink();
    if (!sink) {
        sink = TGstElementHandle::Adopt(gst_element_factory_make("autoaudiosink", nullptr));
    }
    return sink;
}

}  // namespace

std::unique_ptr<TPlaybackSession> TPlaybackSession::Open(const std::string& FileName,
                                                         TPlaybackPreferredFilters& Preferred,
                                                         const TPump& Pump,
                                                         std::string& Failure) {
    std::unique_ptr<TPlaybackSession> session(new TPlaybackSession());
    GError* error = nullptr;
    gchar* uri = gst_filename_to_uri(FileName.c_str(), &error);
    if (uri == nullptr) {
        Failure = error != nullptr ? error->message : "no URI for the file";
        g_clear_error(&error);
        return nullptr;
    }
    const std::string fileUri = uri;
    g_free(uri);

    session->FPipeline = TGstElementHandle::Adopt(gst_pipeline_new(nullptr));
    session->FBus = TGstBusHandle::Adopt(gst_element_get_bus(session->FPipeline.Get()));
    gst_bus_set_sync_handler(session->FBus.Get(), &TPlaybackSession::BusSyncHandler,
                             session.get(), nullptr);

    // tsdemux plays one program at a time: one decoder per program of a transport stream.
    std::vector<uint32_t> programs = TransportStreamPrograms(FileName);
    programs.resize(std::min(programs.size(), kMostPrograms));
    if (programs.empty()) {
        programs.push_back(0);
    }
    for (const uint32_t program : programs) {
        session->AddDecoder(fileUri, program, Preferred);
    }

    session->FTarget = GST_STATE_PAUSED;
    const TWaitResult prerolled =
        gst_element_set_state(session->FPipeline.Get(), GST_STATE_PAUSED) ==
                GST_STATE_CHANGE_FAILURE
            ? TWaitResult::Failed
            : session->WaitForState(kPrerollBoundMs, Pump, true);
    {
        std::lock_guard lock(session->FLock);
        session->FAcceptStreams = false;
        if (prerolled == TWaitResult::Done) {
            std::stable_sort(session->FVideo.begin(), session->FVideo.end(),
                             [](const auto& a, const auto& b) {
                                 return a->ProgramID() != b->ProgramID()
                                            ? a->ProgramID() < b->ProgramID()
                                            : a->VideoPID() < b->VideoPID();
                             });
            std::stable_sort(session->FAudio.begin(), session->FAudio.end(),
                             [](const auto& a, const auto& b) {
                                 uint32_t pa = 0;
                                 uint32_t pb = 0;
                                 a->GetProgramID(pa);
                                 b->GetProgramID(pb);
                                 return pa != pb ? pa < pb : a->AudioPID() < b->AudioPID();
                             });
        } else if (prerolled == TWaitResult::TimedOut) {
            Failure = "no picture or sound within " + std::to_string(kPrerollBoundMs / 1000) + " s";
        } else {
            Failure = session->FErrorText.empty() ? "the file does not play" : session->FErrorText;
        }
        if (prerolled == TWaitResult::Done && session->FVideo.empty() && session->FAudio.empty()) {
            Failure = "no video or audio stream";
            return nullptr;  // the destructor takes the pipeline down
        }
    }
    if (prerolled != TWaitResult::Done) {
        return nullptr;
    }
    session->TakeStartOffset();
    int64_t duration = 0;
    session->GetDuration(duration);
    // The frame interval is read from the pictures that pile up behind the prerolled one;
    // a file of one picture has none, hence the bound.
    if (!session->FVideo.empty()) {
        TPlaybackVideoBranch& first = *session->FVideo.front();
        session->WaitSliced(kFrameTimingBoundMs, Pump, [&] {
            if (first.TimePerFrameMeasured()) {
                return TWaitResult::Done;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
            return TWaitResult::TimedOut;
        });
    }
    return session;
}

TPlaybackSession::~TPlaybackSession() {
    if (FPipeline) {
        gst_element_set_state(FPipeline.Get(), GST_STATE_NULL);
    }
    if (FBus) {
        gst_bus_set_sync_handler(FBus.Get(), nullptr, nullptr, nullptr);
    }
    // The branches go outside the lock; nothing streams any more.
    std::vector<std::unique_ptr<TPlaybackVideoBranch>> video;
    std::vector<std::unique_ptr<TPlaybackAudioBranch>> audio;
    std::lock_guard lock(FLock);
    video.swap(FVideo);
    audio.swap(FAudio);
    std::move(FLateVideo.begin(), FLateVideo.end(), std::back_inserter(video));
    std::move(FLateAudio.begin(), FLateAudio.end(), std::back_inserter(audio));
    FLateVideo.clear();
    FLateAudio.clear();
}

void TPlaybackSession::TakeStartOffset() {
    gint64 nanoseconds = 0;
    if (gst_element_query_position(FPipeline.Get(), GST_FORMAT_TIME, &nanoseconds) &&
        nanoseconds > 0) {
        FStartOffset = ToUnits(nanoseconds);
    }
    for (auto& window : FVideo) {
        window->SetStartOffset(FStartOffset);
    }
}

void TPlaybackSession::AddDecoder(const std::string& Uri, uint32_t Program,
                                  TPlaybackPreferredFilters& Preferred) {
    TGstElementHandle decoder =
        TGstElementHandle::Adopt(gst_element_factory_make("uridecodebin", nullptr));
    if (!decoder) {
        return;  // the preroll then fails with "no video or audio stream"
    }
    FDecoders.push_back(std::make_unique<TDecoder>(TDecoder{this, Program}));
    g_object_set(decoder.Get(), "uri", Uri.c_str(), nullptr);
    g_signal_connect(decoder.Get(), "pad-added", G_CALLBACK(&TPlaybackSession::PadAdded),
                     FDecoders.back().get());
    if (Program != 0) {
        g_signal_connect(decoder.Get(), "deep-element-added",
                         G_CALLBACK(&TPlaybackSession::DeepElementAdded),
                         GUINT_TO_POINTER(Program));
    }
    Preferred.ConnectTo(decoder.Get());
    gst_bin_add(GST_BIN(FPipeline.Get()), GST_ELEMENT(gst_object_ref(decoder.Get())));
}

void TPlaybackSession::DeepElementAdded(GstBin*, GstBin*, GstElement* Element, gpointer Program) {
    GstElementFactory* factory = gst_element_get_factory(Element);
    if (factory != nullptr &&
        std::strcmp(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "tsdemux") == 0) {
        g_object_set(Element, "program-number", static_cast<gint>(GPOINTER_TO_UINT(Program)),
                     nullptr);
    }
}

void TPlaybackSession::PadAdded(GstElement*, GstPad* Pad, gpointer Decoder) {
    try {
        const auto* decoder = static_cast<const TDecoder*>(Decoder);
        decoder->Session->OnPadAdded(Pad, decoder->Program);
    } catch (...) {
        LogMessage("Error in TPlaybackFilter.PadAdded call...");
    }
}

void TPlaybackSession::OnPadAdded(GstPad* Pad, uint32_t Program) {
    TGstCapsHandle caps = TGstCapsHandle::Adopt(gst_pad_get_current_caps(Pad));
    if (!caps) {
        caps = TGstCapsHandle::Adopt(gst_pad_query_caps(Pad, nullptr));
    }
    const bool video = IsKind(caps.Get(), "video/x-raw");
    const bool audio = IsKind(caps.Get(), "audio/x-raw");
    uint32_t index = 0;
    bool accept = false;
    {
        std::lock_guard lock(FLock);
        index = FStreamIndex++;
        accept = FAcceptStreams && (audio || (video && FVideo.size() < kMostWindows));
    }
    if (!accept) {
        LinkToFakeSink(Pad);
        return;
    }
    // Files without programs: program 1, and the stream's place among the decoded streams.
    const uint32_t program = Program != 0 ? Program : 1;
    uint32_t pid = index;
    FindTransportStreamPid(Pad, pid);
    GstBin* bin = GST_BIN(FPipeline.Get());
    if (video) {
        auto branch = std::make_unique<TPlaybackVideoBranch>(caps.Get(), program, pid);
        if (!branch->Attach(bin, Pad)) {
            LinkToFakeSink(Pad);
            return;
        }
        std::lock_guard lock(FLock);
        (FAcceptStreams ? FVideo : FLateVideo).push_back(std::move(branch));
        return;
    }
    auto branch = std::make_unique<TPlaybackAudioBranch>(caps.Get(), program, pid);
    if (!branch->Attach(bin, Pad, MakeAudioSink())) {
        LinkToFakeSink(Pad);
        return;
    }
    std::lock_guard lock(FLock);
    (FAcceptStreams ? FAudio : FLateAudio).push_back(std::move(branch));
}

void TPlaybackSession::LinkToFakeSink(GstPad* Pad) {
    // Streams nobody shows still have to flow, or their demuxer stalls the others.
    TGstElementHandle sink =
        TGstElementHandle::Adopt(gst_element_factory_make("fakesink", nullptr));
    if (!sink) {
        return;
    }
    g_object_set(sink.Get(), "sync", FALSE, "async", FALSE, nullptr);
    gst_bin_add(GST_BIN(FPipeline.Get()), GST_ELEMENT(gst_object_ref(sink.Get())));
    TGstPadHandle in = TGstPadHandle::Adopt(gst_element_get_static_pad(sink.Get(), "sink"));
    gst_pad_link(Pad, in.Get());
    gst_element_sync_state_with_parent(sink.Get());
}

GstBusSyncReply TPlaybackSession::BusSyncHandler(GstBus*, GstMessage* Message, gpointer Self) {
    try {
        static_cast<TPlaybackSession*>(Self)->OnBusMessage(Message);
    } catch (...) {
        LogMessage("Error in TPlaybackFilter.BusSyncHandler call...");
    }
    // Nobody pops the bus: every message is handled here and dropped.
    return GST_BUS_DROP;
}

void TPlaybackSession::OnBusMessage(GstMessage* Message) {
    switch (GST_MESSAGE_TYPE(Message)) {
        case GST_MESSAGE_ELEMENT: {
            const GstStructure* report = gst_message_get_structure(Message);
            if (report == nullptr || !gst_structure_has_name(report, "level")) {
                return;
            }
            std::lock_guard lock(FLock);
            for (auto& audio : FAudio) {
                if (audio->OwnsLevel(GST_MESSAGE_SRC(Message))) {
                    audio->TakeLevelMessage(report);
                }
            }
            return;
        }
        case GST_MESSAGE_EOS:
            FEndOfStream = true;
            SetMetering(false, true);
            break;
        case GST_MESSAGE_ERROR: {
            GError* error = nullptr;
            gst_message_parse_error(Message, &error, nullptr);
            const std::string text = error != nullptr ? error->message : "unknown error";
            g_clear_error(&error);
            const bool first = !FErrorReported.exchange(true);
            FEndOfStream = true;
            SetMetering(false, true);
            {
                std::lock_guard lock(FLock);
                if (FErrorText.empty()) {
                    FErrorText = text;
                }
            }
            if (first) {
                LogMessage("Error in TPlaybackFilter.OnBusMessage - " + text);
            }
            break;
        }
        case GST_MESSAGE_STEP_DONE:
            ++FStepsDone;
            break;
        default:
            return;
    }
    std::lock_guard wake(FWakeLock);
    FWake.notify_all();
}

void TPlaybackSession::SetMetering(bool On, bool Reset) {
    std::lock_guard lock(FLock);
    for (auto& audio : FAudio) {
        audio->SetMetering(On, Reset);
    }
}

TPlaybackSession::TWaitResult TPlaybackSession::WaitSliced(
    int BoundMs, const TPump& Pump, const std::function<TWaitResult()>& Slice) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(BoundMs);
    for (;;) {
        const TWaitResult result = Slice();
        if (result != TWaitResult::TimedOut) {
            return result;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return TWaitResult::TimedOut;
        }
        if (Pump) {
            Pump();
        }
    }
}

TPlaybackSession::TWaitResult TPlaybackSession::WaitForState(int BoundMs, const TPump& Pump,
                                                            bool FailOnError) {
    return WaitSliced(BoundMs, Pump, [&] {
        if (FailOnError && FErrorReported) {
            return TWaitResult::Failed;
        }
        const GstStateChangeReturn state =
            gst_element_get_state(FPipeline.Get(), nullptr, nullptr, kSliceMs * GST_MSECOND);
        switch (state) {
            case GST_STATE_CHANGE_SUCCESS:
            case GST_STATE_CHANGE_NO_PREROLL:
                return TWaitResult::Done;
            case GST_STATE_CHANGE_FAILURE:
                return TWaitResult::Failed;
            default:
                return TWaitResult::TimedOut;
        }
    });
}

HRESULT TPlaybackSession::GetDuration(int64_t& Duration) {
    gint64 nanoseconds = 0;
    if (gst_element_query_duration(FPipeline.Get(), GST_FORMAT_TIME, &nanoseconds) &&
        nanoseconds > 0) {
        FDuration = ToUnits(nanoseconds);
    }
    if (FDuration <= 0) {
        return E_FAIL;
    }
    Duration = FDuration;
    return S_OK;
}

HRESULT TPlaybackSession::GetPosition(int64_t& Position) {
    int64_t duration = 0;
    const bool known = SUCCEEDED(GetDuration(duration));
    if (FEndOfStream) {
        // A host that compares the position with the duration sees the end.
        Position = known ? duration : FLastPosition;
        return S_OK;
    }
    gint64 nanoseconds = 0;
    if (gst_element_query_position(FPipeline.Get(), GST_FORMAT_TIME, &nanoseconds) &&
        nanoseconds >= 0) {
        FLastPosition = std::max<int64_t>(0, ToUnits(nanoseconds) - FStartOffset);
        if (known) {
            FLastPosition = std::min(FLastPosition, duration);
        }
    }
    // Between a flush and the next preroll there is no answer; the last one stands.
    Position = FLastPosition;
    return S_OK;
}

GstState TPlaybackSession::TargetState() const { return FTarget; }

HRESULT TPlaybackSession::Play(const TPump& Pump) {
    if (FSteppedSinceSeek) {
        // Stepping moved the pictures alone; a seek to where they are brings the sound back
        // in step before playing on.
        int64_t position = 0;
        GetPosition(position);
        SeekTo(position);
        WaitForState(kSeekBoundMs, Pump, false);
    }
    SetMetering(true, false);
    FTarget = GST_STATE_PLAYING;
    if (gst_element_set_state(FPipeline.Get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        SetMetering(false, false);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT TPlaybackSession::Pause(const TPump& Pump) {
    SetMetering(false, false);
    FTarget = GST_STATE_PAUSED;
    if (gst_element_set_state(FPipeline.Get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        return E_FAIL;
    }
    // The picture the pipeline stopped on is prerolled again shortly; not having it in time
    // is no failure of the pause.
    WaitForState(kPauseBoundMs, Pump, false);
    return S_OK;
}

HRESULT TPlaybackSession::Stop(const TPump& Pump) {
    // Paused rather than READY: the file stays open and able to seek, as the host expects.
    const HRESULT hr = Pause(Pump);
    SetMetering(false, true);
    return hr;
}

bool TPlaybackSession::SeekTo(int64_t Position) {
    FEndOfStream = false;
    FErrorReported = false;
    {
        std::lock_guard lock(FLock);
        FErrorText.clear();
    }
    FSteppedSinceSeek = false;
    SetMetering(FTarget == GST_STATE_PLAYING, true);
    return gst_element_seek_simple(
               FPipeline.Get(), GST_FORMAT_TIME,
               static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
               (Position + FStartOffset) * 100) != FALSE;
}

HRESULT TPlaybackSession::SetPosition(int64_t Position, const TPump& Pump) {
    int64_t duration = 0;
    Position = std::max<int64_t>(0, Position);
    if (SUCCEEDED(GetDuration(duration))) {
        Position = std::min(Position, duration);
    }
    for (int attempt = 0;; ++attempt) {
        if (!SeekTo(Position)) {
            return E_FAIL;
        }
        FLastPosition = Position;
        if (WaitForState(kSeekBoundMs, Pump, true) == TWaitResult::Failed) {
            return E_FAIL;
        }
        // tsdemux now and then starts a program some pictures after the target of an accurate
        // seek (it picks the wrong key frame); the same seek again lands. Only a paused
        // picture shows it, and one more try is all it takes.
        if (FTarget != GST_STATE_PAUSED || attempt == kSeekRetries || !LandedLate(Position)) {
            return S_OK;
        }
    }
}

bool TPlaybackSession::LandedLate(int64_t Position) const {
    const int64_t frame = AvgTimePerFrame();
    for (const auto& window : FVideo) {
        const int64_t shown = window->ShownTime();
        if (shown > Position + frame + frame / 2) {
            return true;
        }
    }
    return false;
}

HRESULT TPlaybackSession::StepFrames(uint32_t Count, const TPump& Pump) {
    if (FVideo.empty()) {
        return E_FAIL;  // nothing to step through
    }
    if (FTarget == GST_STATE_PLAYING) {
        Pause(Pump);
    }
    if (Count == 0 || FEndOfStream) {
        return S_FALSE;
    }
    const int64_t before = FStepsDone;
    int64_t sent = 0;
    for (auto& window : FVideo) {
        GstEvent* step = gst_event_new_step(GST_FORMAT_BUFFERS, Count, 1.0, TRUE, FALSE);
        if (gst_element_send_event(window->Renderer().Get(), step)) {
            ++sent;
        }
    }
    if (sent == 0) {
        return E_FAIL;
    }
    FSteppedSinceSeek = true;
    const TWaitResult stepped = WaitSliced(kStepBoundMs, Pump, [&] {
        std::unique_lock lock(FWakeLock);
        FWake.wait_for(lock, std::chrono::milliseconds(kSliceMs), [&] {
            return FStepsDone - before >= sent || FEndOfStream;
        });
        return FStepsDone - before >= sent || FEndOfStream ? TWaitResult::Done
                                                           : TWaitResult::TimedOut;
    });
    if (stepped != TWaitResult::Done) {
        return S_FALSE;
    }
    // The stepped picture prerolls the sink again.
    WaitForState(kPauseBoundMs, Pump, false);
    return S_OK;
}

int64_t TPlaybackSession::AvgTimePerFrame() const {
    constexpr int64_t kDefaultTimePerFrame = 10000000 / 25;
    const int64_t fromStream = FVideo.empty() ? 0 : FVideo.front()->AvgTimePerFrame();
    return fromStream > 0 ? fromStream : kDefaultTimePerFrame;
}
