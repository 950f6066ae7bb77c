#include "videolog/PlaybackFilter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>

#include "capture/FrameGrabCaptureGraph.h"
#include "graph/GraphFunctions.h"
#include "graph/GraphPads.h"
#include "videolog/PlaybackFilterTestSupport.h"

using namespace PlaybackTest;
using PlaybackTestFiles::kRecordingFps;

namespace {

struct TStreamCase {
    const char* What;
    TFile File;
    double Seconds;          // length of the file
    int Width;               // of the decoded pictures
    int Height;
    int64_t TimePerFrame;    // 100-ns units
    const char* Compressed;  // caps name of the stream the decoder reads
};

const TStreamCase kStreams[] = {
    {"own recording", TFile::OwnRecording, 2.0, PlaybackTestFiles::kRecordingWidth,
     PlaybackTestFiles::kRecordingHeight, static_cast<int64_t>(kSecond / kRecordingFps),
     "video/x-wmv"},
    {"own MP4 recording", TFile::OwnMp4Recording, 2.0, PlaybackTestFiles::kRecordingWidth,
     PlaybackTestFiles::kRecordingHeight, static_cast<int64_t>(kSecond / kRecordingFps),
     "video/x-h264"},
    {"tone video", TFile::ToneVideo, 3.0, PlaybackTestFiles::kToneVideoWidth,
     PlaybackTestFiles::kToneVideoHeight, kSecond / PlaybackTestFiles::kToneVideoFps,
     "video/x-h264"},
    {"two programs", TFile::TwoPrograms, 2.0, PlaybackTestFiles::kTransportWidth,
     PlaybackTestFiles::kTransportHeight, kSecond / 25, "video/mpeg"},
};

// The caps of the compressed stream feeding a window, found the way the engine finds them:
// from the renderer's connected input upstream, element by element, while the link still
// carries raw video.
TGstCapsHandle CompressedCapsAbove(TPlaybackVideoWindow* window, std::string* decoder = nullptr) {
    TGstElementHandle element = window->Renderer();
    for (int depth = 0; element && depth < 16; ++depth) {
        TGstPadHandle in = FindFirstPinOnFilter(element.Get(), true, PINDIR_INPUT);
        if (!in) {
            return {};
        }
        TGstCapsHandle caps = GraphPads::ConnectionCaps(in.Get());
        if (GraphPads::KindOfCaps(caps.Get()) != GraphPads::TStreamKind::RawVideo) {
            if (decoder != nullptr) {
                *decoder = GST_OBJECT_NAME(gst_element_get_factory(element.Get()));
            }
            return caps;
        }
        TGstPadHandle upstream = GraphPads::PeerAcrossBins(in.Get());
        element = GraphPads::ParentElement(upstream.Get());
    }
    return {};
}

class PlaybackFilterStreams : public ::testing::TestWithParam<TStreamCase> {};

}  // namespace

// Windows, their programs and PIDs, the volume objects, the length and the prerolled picture of
// each kind of file.
TEST(PlaybackFilter, RendersWindowsVolumesAndProgramsOfEachFile) {
    struct TWindowRow {
        uint32_t Program;
        uint32_t Pid;  // 0xFFFFFFFF: any (a stream index)
    };
    struct TVolumeRow {
        uint32_t Program;
        uint32_t Channels;
        uint32_t Pid;
    };
    struct TCase {
        TFile File;
        double Seconds;
        std::vector<TWindowRow> Windows;
        std::vector<TVolumeRow> Volumes;
    };
    constexpr uint32_t kAny = 0xFFFFFFFF;
    const TCase cases[] = {
        {TFile::OwnRecording, 2.0, {{1, kAny}}, {}},
        {TFile::ToneVideo, 3.0, {{1, kAny}}, {{1, 2, kAny}}},
        {TFile::ToneWave, 2.0, {}, {{1, 1, kAny}}},
        {TFile::TwoPrograms,
         2.0,
         {{PlaybackTestFiles::kTransportProgramA, PlaybackTestFiles::kTransportVideoPidA},
          {PlaybackTestFiles::kTransportProgramB, PlaybackTestFiles::kTransportVideoPidB}},
         {{PlaybackTestFiles::kTransportProgramB, 2, PlaybackTestFiles::kTransportAudioPidB}}},
    };
    for (const auto& c : cases) {
        const std::string& file = FileOf(c.File);
        SCOPED_TRACE(file);
        TPlaybackFilter filter;
        ASSERT_EQ(filter.InitializeGraph(), S_OK);
        ASSERT_EQ(filter.SetMediaAnalysis(0, true), S_OK);
        ASSERT_EQ(filter.RenderFile(file), S_OK);

        uint32_t count = 0;
        ASSERT_EQ(filter.GetVideoWindowsCount(count), S_OK);
        ASSERT_EQ(count, c.Windows.size());
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t program = 0;
            uint32_t pid = 0;
            ASSERT_NE(Window(filter, i, &program, &pid), nullptr);
            EXPECT_EQ(program, c.Windows[i].Program) << "window " << i;
            if (c.Windows[i].Pid != kAny) {
                EXPECT_EQ(pid, c.Windows[i].Pid) << "window " << i;
            }
        }
        TPlaybackVideoWindow* window = nullptr;
        uint32_t program = 0;
        uint32_t pid = 0;
        EXPECT_EQ(filter.GetVideoWindow(count, window, program, pid), E_INVALIDARG);

        ASSERT_EQ(filter.GetPCMVolumeControlsCount(count), S_OK);
        ASSERT_EQ(count, c.Volumes.size());
        for (uint32_t i = 0; i < count; ++i) {
            TPCMVolumeControl* volume = nullptr;
            uint32_t unused = 1;
            uint32_t audioPid = 0;
            ASSERT_EQ(filter.GetPCMVolumeControlInterface(i, volume, unused, audioPid), S_OK);
            ASSERT_NE(volume, nullptr);
            uint32_t channels = 0;
            EXPECT_EQ(volume->GetChannelsCount(channels), S_OK);
            EXPECT_EQ(channels, c.Volumes[i].Channels);
            EXPECT_EQ(volume->GetProgramID(program), S_OK);
            EXPECT_EQ(program, c.Volumes[i].Program);
            if (c.Volumes[i].Pid != kAny) {
                EXPECT_EQ(audioPid, c.Volumes[i].Pid);
            }
            double level = 0;
            double rms = 0;
            EXPECT_EQ(volume->GetChannelLevel(0, level, rms), S_OK);
            EXPECT_EQ(level, -120.0) << "nothing measured before playing";
            EXPECT_EQ(volume->GetChannelLevel(channels, level, rms), E_INVALIDARG);
        }
        TPCMVolumeControl* volume = nullptr;
        uint32_t unused = 0;
        EXPECT_EQ(filter.GetPCMVolumeControlInterface(count, volume, unused, pid), E_INVALIDARG);

        EXPECT_NEAR(Seconds(Duration(filter)), c.Seconds, 0.25);
        EXPECT_EQ(Position(filter), 0);
        EXPECT_FALSE(filter.EndOfStream());
        EXPECT_FALSE(filter.ErrorReported());
        EXPECT_EQ(filter.EjectFile(), S_OK);
        EXPECT_EQ(filter.GetVideoWindowsCount(count), E_FAIL) << "nothing loaded any more";
    }
}

// The picture the file prerolls on reaches a callback set afterwards, in the stream's size,
// tightly packed, at time 0.
TEST_P(PlaybackFilterStreams, ThePrerolledPictureReachesTheCallback) {
    const TStreamCase& c = GetParam();
    TFrameLog frames;
    TPlaybackFilter filter;
    ASSERT_EQ(filter.RenderFile(FileOf(c.File)), S_OK);
    Window(filter, 0)->SetFrameCallback(frames.Callback());
    auto frame = frames.WaitForNew(0);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->Width, c.Width);
    EXPECT_EQ(frame->Height, c.Height);
    EXPECT_EQ(frame->Pixels.size(), static_cast<size_t>(c.Width) * c.Height * 4);
    EXPECT_EQ(frame->Time, 0);
    const bool painted = std::any_of(frame->Pixels.begin(), frame->Pixels.end(),
                                     [](uint8_t b) { return b != 0; });
    EXPECT_TRUE(painted) << "a picture, not a black frame";
}

// Frame time, seeking and stepping: the seek lands on the position (and shows that picture),
// one step moves the position and the picture on by one frame.
TEST_P(PlaybackFilterStreams, SeekLandsThereAndAStepMovesOneFrame) {
    const TStreamCase& c = GetParam();
    TFrameLog frames;
    TPlaybackFilter filter;
    ASSERT_EQ(filter.RenderFile(FileOf(c.File)), S_OK);
    int64_t frameTime = 0;
    ASSERT_EQ(filter.GetAvgTimePerFrame(frameTime), S_OK);
    EXPECT_NEAR(frameTime, c.TimePerFrame, 1000);
    Window(filter, 0)->SetFrameCallback(frames.Callback());
    ASSERT_NE(frames.WaitForNew(0), nullptr);

    const int64_t target = kSecond;
    size_t seen = frames.Count();
    ASSERT_EQ(filter.SetPosition(target), S_OK);
    EXPECT_NEAR(Seconds(Position(filter)), 1.0, 0.001);
    auto shown = frames.WaitForNew(seen);
    ASSERT_NE(shown, nullptr) << "the picture at the new position";
    EXPECT_NEAR(Seconds(shown->Time), 1.0, Seconds(c.TimePerFrame) / 2 + 0.001);

    seen = frames.Count();
    const int64_t before = Position(filter);
    ASSERT_EQ(filter.StepFrames(1, 0), S_OK);
    auto stepped = frames.WaitForNew(seen);
    ASSERT_NE(stepped, nullptr) << "the stepped picture";
    EXPECT_NEAR(Seconds(stepped->Time - shown->Time), Seconds(c.TimePerFrame), 0.002);
    EXPECT_NEAR(Seconds(Position(filter) - before), Seconds(c.TimePerFrame), 0.002);

    // A seek back to the start lands at 0 again (the engine's frame back at 0).
    ASSERT_EQ(filter.SetPosition(0), S_OK);
    EXPECT_EQ(Position(filter), 0);
}

// What the engine reads on the way from a window to the compressed stream.
TEST_P(PlaybackFilterStreams, UpstreamOfTheRendererIsTheCompressedStream) {
    const TStreamCase& c = GetParam();
    TPlaybackFilter filter;
    ASSERT_EQ(filter.RenderFile(FileOf(c.File)), S_OK);
    TGstPadHandle in = FindFirstPinOnFilter(Window(filter, 0)->Renderer().Get(), true, PINDIR_INPUT);
    ASSERT_TRUE(in) << "the renderer's input is connected";
    TGstCapsHandle raw = GraphPads::ConnectionCaps(in.Get());
    EXPECT_EQ(GraphPads::KindOfCaps(raw.Get()), GraphPads::TStreamKind::RawVideo);

    TGstCapsHandle caps = CompressedCapsAbove(Window(filter, 0));
    ASSERT_TRUE(caps);
    const GstStructure* s = gst_caps_get_structure(caps.Get(), 0);
    EXPECT_STREQ(gst_structure_get_name(s), c.Compressed);
    if (std::strcmp(c.Compressed, "video/mpeg") == 0) {
        int version = 0;
        EXPECT_TRUE(gst_structure_get_int(s, "mpegversion", &version));
        EXPECT_EQ(version, 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, PlaybackFilterStreams, ::testing::ValuesIn(kStreams),
                         [](const auto& info) {
                             std::string name = info.param.What;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

// Play runs at the clock's pace; the end of the stream reads as position == duration, and
// the file can be sought and played again after Stop.
TEST(PlaybackFilter, PlayRunsToTheEndWherePositionIsTheDuration) {
    TFrameLog frames;
    TPlaybackFilter filter;
    ASSERT_EQ(filter.RenderFile(FileOf(TFile::OwnRecording)), S_OK);
    const int64_t duration = Duration(filter);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(filter.Play(), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return Position(filter) > kSecond / 2; })) << "play moves on";
    ASSERT_TRUE(WaitUntil([&] { return filter.EndOfStream(); }));
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_GE(elapsed, Seconds(duration) - 0.3) << "played in real time, not run through";
    EXPECT_EQ(Position(filter), duration);
    EXPECT_FALSE(filter.ErrorReported());

    // Stop keeps the file open: a seek to the start and a pause show the first picture.
    Window(filter, 0)->SetFrameCallback(frames.Callback());
    ASSERT_EQ(filter.Stop(), S_OK);
    const size_t seen = frames.Count();
    ASSERT_EQ(filter.SetPosition(0), S_OK);
    EXPECT_FALSE(filter.EndOfStream()) << "a seek clears the end";
    ASSERT_EQ(filter.Pause(), S_OK);
    EXPECT_EQ(Position(filter), 0);
    auto first = frames.WaitForNew(seen);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Time, 0);

    ASSERT_EQ(filter.Play(), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return Position(filter) > kSecond / 2; })) << "plays again";
}

// Once a window's callback is replaced, the old one is neither running nor called again, so
// its receiver can go while the file plays on.
TEST(PlaybackFilter, AReplacedCallbackIsDoneWhenTheCallReturns) {
    std::atomic<int> running{0};
    std::atomic<int> calls{0};
    TPlaybackFilter filter;
    ASSERT_EQ(filter.RenderFile(FileOf(TFile::ToneVideo)), S_OK);
    TPlaybackVideoWindow* window = Window(filter, 0);
    window->SetFrameCallback([&](std::shared_ptr<const TPlaybackFrame>) {
        ++running;
        std::this_thread::sleep_for(std::chrono::milliseconds(15));  // a slow receiver
        ++calls;
        --running;
    });
    ASSERT_EQ(filter.Play(), S_OK);
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(WaitUntil([&] { return running > 0; })) << "round " << round;
        window->SetFrameCallback(nullptr);
        EXPECT_EQ(running, 0) << "round " << round;
        const int after = calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        EXPECT_EQ(calls, after) << "round " << round;
        window->SetFrameCallback([&](std::shared_ptr<const TPlaybackFrame>) {
            ++running;
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
            ++calls;
            --running;
        });
    }
}

// A step while playing pauses first; Play afterwards goes on from the stepped picture.
TEST(PlaybackFilter, AStepWhilePlayingPausesFirst) {
    TFrameLog frames;
    TPlaybackFilter filter;
    ASSERT_EQ(filter.RenderFile(FileOf(TFile::ToneVideo)), S_OK);
    Window(filter, 0)->SetFrameCallback(frames.Callback());
    ASSERT_EQ(filter.Play(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return Position(filter) > kSecond / 2; }));
    ASSERT_EQ(filter.StepFrames(1, 0), S_OK);
    const int64_t stepped = Position(filter);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Position(filter), stepped) << "paused after the step";
    ASSERT_EQ(filter.Play(), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return Position(filter) > stepped + kSecond / 4; }));
    EXPECT_TRUE(WaitUntil([&] { return filter.EndOfStream(); }));
}

// The meters: levels rise while the tone plays, the left channel louder than the right, and
// read -120 after Stop and after a seek.
TEST(PlaybackFilter, LevelsFollowTheToneAndResetOnStopAndSeek) {
    TPlaybackFilter filter;
    ASSERT_EQ(filter.RenderFile(FileOf(TFile::ToneVideo)), S_OK);
    TPCMVolumeControl* volume = nullptr;
    uint32_t unused = 0;
    uint32_t pid = 0;
    ASSERT_EQ(filter.GetPCMVolumeControlInterface(0, volume, unused, pid), S_OK);
    EXPECT_EQ(volume->SetVolume(0.0), S_OK) << "muted: the meters still measure the stream";
    EXPECT_EQ(volume->SetVolume(1.0), S_OK);
    EXPECT_EQ(volume->SetVolume(-1.0), E_INVALIDARG);

    auto levels = [&] {
        std::pair<double, double> peaks{0, 0};
        double rms = 0;
        EXPECT_EQ(volume->GetChannelLevel(0, peaks.first, rms), S_OK);
        EXPECT_EQ(volume->GetChannelLevel(1, peaks.second, rms), S_OK);
        return peaks;
    };
    auto silent = [&] {
        const auto peaks = levels();
        return peaks.first == -120.0 && peaks.second == -120.0;
    };
    ASSERT_EQ(filter.Play(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return levels().first > -20.0; })) << "the tone is measured";
    const auto playing = levels();
    EXPECT_LE(playing.first, 20.0);
    EXPECT_GT(playing.first, playing.second + 6.0) << "channel 0 is the louder, left one";
    double peak = 0;
    double rms = 0;
    ASSERT_EQ(volume->GetChannelLevel(0, peak, rms), S_OK);
    EXPECT_LT(rms, peak) << "the second value is the RMS level of a sine";
    EXPECT_GT(rms, -120.0);

    ASSERT_EQ(filter.Stop(), S_OK);
    EXPECT_TRUE(silent()) << "after Stop";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(silent()) << "no late report lifts them while stopped";

    ASSERT_EQ(filter.Play(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return !silent(); }));
    ASSERT_EQ(filter.Pause(), S_OK);
    ASSERT_EQ(filter.SetPosition(kSecond), S_OK);
    EXPECT_TRUE(silent()) << "after a seek";
}

// A file of sound alone: no window, one meter that moves; stepping has nothing to step and the
// frame time is the default one.
TEST(PlaybackFilter, ASoundOnlyFileHasMetersAndNoPictures) {
    TPlaybackFilter filter;
    ASSERT_EQ(filter.RenderFile(FileOf(TFile::ToneWave)), S_OK);
    int64_t frameTime = 0;
    EXPECT_EQ(filter.GetAvgTimePerFrame(frameTime), S_OK);
    EXPECT_EQ(frameTime, kSecond / 25);
    EXPECT_EQ(filter.StepFrames(1, 0), E_FAIL);
    TPCMVolumeControl* volume = nullptr;
    uint32_t unused = 0;
    uint32_t pid = 0;
    ASSERT_EQ(filter.GetPCMVolumeControlInterface(0, volume, unused, pid), S_OK);
    ASSERT_EQ(filter.Play(), S_OK);
    EXPECT_TRUE(WaitUntil([&] {
        double level = -120;
        double rms = 0;
        return volume->GetChannelLevel(0, level, rms) == S_OK && level > -20.0;
    }));
    EXPECT_TRUE(WaitUntil([&] { return filter.EndOfStream(); }));
    EXPECT_EQ(Position(filter), Duration(filter));
}

// The size a window is shown at scales its pictures down, keeping the shape, never up.
TEST(PlaybackFilter, WindowSizeScalesThePicturesDownOnly) {
    struct TCase {
        int WindowWidth;
        int WindowHeight;
        int Width;
        int Height;
    };
    const TCase cases[] = {
        {160, 120, 160, 120}, {100, 100, 100, 75}, {1000, 1000, 320, 240}, {0, 0, 320, 240},
    };
    TFrameLog frames;
    TPlaybackFilter filter;
    ASSERT_EQ(filter.RenderFile(FileOf(TFile::OwnRecording)), S_OK);
    TPlaybackVideoWindow* window = Window(filter, 0);
    window->SetFrameCallback(frames.Callback());
    int64_t at = 0;
    for (const auto& c : cases) {
        window->SetWindowSize(c.WindowWidth, c.WindowHeight);
        const size_t seen = frames.Count();
        at += kSecond / 10;
        ASSERT_EQ(filter.SetPosition(at), S_OK);
        auto frame = frames.WaitForNew(seen);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->Width, c.Width) << c.WindowWidth << " x " << c.WindowHeight;
        EXPECT_EQ(frame->Height, c.Height) << c.WindowWidth << " x " << c.WindowHeight;
        EXPECT_EQ(frame->Pixels.size(), static_cast<size_t>(frame->Width) * frame->Height * 4);
    }
}

// Both programs of a transport stream show pictures, and stepping moves both windows.
TEST(PlaybackFilter, EveryProgramWindowShowsAndSteps) {
    TFrameLog first;
    TFrameLog second;
    TPlaybackFilter filter;
    ASSERT_EQ(filter.RenderFile(FileOf(TFile::TwoPrograms)), S_OK);
    Window(filter, 0)->SetFrameCallback(first.Callback());
    Window(filter, 1)->SetFrameCallback(second.Callback());
    ASSERT_NE(first.WaitForNew(0), nullptr);
    ASSERT_NE(second.WaitForNew(0), nullptr);
    EXPECT_NE(first.Last()->Pixels, second.Last()->Pixels) << "two different programs";
    const size_t seenFirst = first.Count();
    const size_t seenSecond = second.Count();
    ASSERT_EQ(filter.StepFrames(1, 0), S_OK);
    EXPECT_NE(first.WaitForNew(seenFirst), nullptr);
    EXPECT_NE(second.WaitForNew(seenSecond), nullptr);
}

// A class id of the media framework's MPEG-2 decoder makes its stand-in the decoder of choice
// even where the ranks pick another one; an unknown class id is only kept.
TEST(PlaybackFilter, APreferredDecoderIsPicked) {
    GstElementFactory* preferred = gst_element_factory_find("avdec_mpeg2video");
    if (preferred == nullptr) {
        GTEST_SKIP() << "needs avdec_mpeg2video";
    }
    // Ranked below the other decoder for this test, so only the preference can pick it.
    const guint rank = gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(preferred));
    gst_plugin_feature_set_rank(GST_PLUGIN_FEATURE(preferred), GST_RANK_MARGINAL);

    struct TCase {
        const char* What;
        std::vector<TGUID> Preferred;
        const char* Decoder;  // null: any other decoder than the preferred one
    };
    constexpr TGUID kUnknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    const TCase cases[] = {
        {"no preference", {}, nullptr},
        {"unknown class only", {kUnknown}, nullptr},
        {"MPEG-2 decoder class", {kUnknown, CLSID_CMPEG2VidDecoderDS}, "avdec_mpeg2video"},
    };
    for (const auto& c : cases) {
        TPlaybackFilter filter;
        for (const auto& guid : c.Preferred) {
            EXPECT_EQ(filter.AddPreferredFilter(0, guid), S_OK) << c.What;
        }
        EXPECT_EQ(filter.RenderFile(FileOf(TFile::TwoPrograms)), S_OK) << c.What;
        for (uint32_t i = 0; i < 2; ++i) {
            std::string decoder;
            TPlaybackVideoWindow* window = Window(filter, i);
            EXPECT_TRUE(window != nullptr && CompressedCapsAbove(window, &decoder)) << c.What;
            if (c.Decoder != nullptr) {
                EXPECT_EQ(decoder, c.Decoder) << c.What << ", window " << i;
            } else {
                EXPECT_NE(decoder, "avdec_mpeg2video") << c.What << ", window " << i;
            }
        }
    }
    gst_plugin_feature_set_rank(GST_PLUGIN_FEATURE(preferred), rank);
    gst_object_unref(preferred);
}
