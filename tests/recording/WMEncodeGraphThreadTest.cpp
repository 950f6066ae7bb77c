#include "recording/WMEncodeGraphThread.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "localisation/TempFolder.h"
#include "recording/RecordingTestSupport.h"
#include "recording/TestFrames.h"
#include "support/FrameNumbers.h"
#include "support/LogCapture.h"

namespace {

using namespace std::chrono_literals;

constexpr int64_t kSecond = 10000000;

// Waits for a condition, checking every millisecond, for at most `bound`.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds bound = std::chrono::milliseconds(20000)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TVideoStreamSettings Settings(uint32_t w, uint32_t h, int64_t inTpf, int64_t outTpf) {
    TVideoStreamSettings s;
    s.InputWidth = w;
    s.InputHeight = h;
    s.OutputWidth = w;
    s.OutputHeight = h;
    s.ColorSpace = MEDIASUBTYPE_RGB32;
    s.InputTimePerFrame = inTpf;
    s.OutputTimePerFrame = outTpf;
    s.KeyFrameInterval = 3 * kSecond;
    s.VideoBitrate = 300000;
    s.SkipEmptyFrames = true;
    return s;
}

// What the end callback reported.
struct TEndReport {
    std::atomic<int> Calls{0};
    std::atomic<double> StartTime{0};
    std::atomic<double> Duration{-1};

    TVideoEndCallback Callback() {
        return [this](TDateTime start, double duration) {
            StartTime = start;
            Duration = duration;
            ++Calls;
            return true;
        };
    }
};

// A recorder of small frames into `file`, its graph built (status 200) on return.
std::unique_ptr<TWMEncodeGraphThread> StartRecorder(const std::string& file, TEndReport& end,
                                                    int w = 64, int h = 48,
                                                    int64_t inTpf = kSecond / 10,
                                                    int64_t duration = 3600 * kSecond) {
    auto recorder =
        std::make_unique<TWMEncodeGraphThread>(w, h, MEDIASUBTYPE_RGB32, 10.0, end.Callback());
    recorder->AddVideoStream(Settings(w, h, inTpf, inTpf));
    recorder->InitEncoder(duration, file);
    WaitUntil([&] { return recorder->Status() != 100 && recorder->Status() != 0; });
    return recorder;
}

// The file holds what the end report says: `fps` frames per reported second, the size given.
void ExpectFileMatchesReport(const std::string& file, int width, int height, double fps,
                             double reportedSeconds) {
    const TDecodedFile decoded = DecodeFile(file);
    EXPECT_FALSE(decoded.Error);
    EXPECT_EQ(decoded.Width, width);
    EXPECT_EQ(decoded.Height, height);
    EXPECT_NEAR(decoded.Frames, reportedSeconds * fps, 1.0);
    EXPECT_NEAR(decoded.DurationSeconds, reportedSeconds, 1.0 / fps + 0.05);
}

}  // namespace

// Frames are taken from the start, also before the graph is built; a stop before InitEncoder
// ends the worker without a file. A frame of another size ends the recording.
TEST(WMEncodeGraphThread, TakesFramesFromTheStartAndRefusesFramesOfAnotherSize) {
    TEndReport end;
    TWMEncodeGraphThread recorder(64, 48, MEDIASUBTYPE_RGB32, 10.0, end.Callback());
    std::vector<uint8_t> frame(64 * 48 * 4);
    EXPECT_EQ(recorder.AddVideoFrame(frame.data(), static_cast<int32_t>(frame.size())), S_OK)
        << "queued while the graph is being made";
    EXPECT_EQ(recorder.Status(), 0);
    EXPECT_FALSE(recorder.IsEOSDelivered()) << "no graph yet";
    ASSERT_TRUE(recorder.StopEncoder()) << "a stop before InitEncoder ends the worker";
    EXPECT_EQ(recorder.Status(), 500);
    EXPECT_EQ(end.Calls, 0) << "no file, no end report";

    // A frame of another size ends the recording: one line, then failure answers; the
    // recording had no frames yet, so no file is left.
    TempFolder folder;
    const std::string file = folder.Path() + "/size.wmv";
    auto running = StartRecorder(file, end);
    ASSERT_EQ(running->Status(), 200);
    LogCapture log;
    EXPECT_EQ(running->AddVideoFrame(frame.data(), 100), E_INVALIDARG);
    ASSERT_TRUE(WaitUntil([&] { return running->Status() == 500; })) << "the worker ends";
    EXPECT_EQ(running->AddVideoFrame(frame.data(), static_cast<int32_t>(frame.size())), E_FAIL);
    EXPECT_EQ(running->AddVideoFrame(nullptr, static_cast<int32_t>(frame.size())), E_FAIL);
    EXPECT_EQ(running->AddVideoFrameI420(frame.data(), 100), E_FAIL);
    EXPECT_TRUE(log.Contains(
        "Error in TWMEncodeGraphThread.AddVideoFrame - frame of 100 bytes, the recording takes "
        "12288."));
    EXPECT_EQ(log.Lines().size(), 1u) << "one line, not one per frame";
    ASSERT_TRUE(running->StopEncoder());
    EXPECT_FALSE(std::filesystem::exists(file));
}

// The graph starts once kPrefillFrames frames wait. A stop before that still records the
// frames handed so far, and a stop before any frame leaves no file and reports 0 seconds.
TEST(WMEncodeGraphThread, ThePrefillStartsTheGraphAndAnEarlierStopKeepsWhatWasHanded) {
    TempFolder folder;
    TTestFrames frames(64, 48);
    const auto& frame = frames.Frame();
    const auto size = static_cast<int32_t>(frame.size());
    const int before = TWMEncodeGraphThread::kPrefillFrames - 1;
    {
        TEndReport end;
        const std::string file = folder.Path() + "/early.wmv";
        auto recorder = StartRecorder(file, end);
        ASSERT_EQ(recorder->Status(), 200);
        for (int i = 0; i < before; ++i) {
            ASSERT_EQ(recorder->AddVideoFrame(frame.data(), size), S_OK);
        }
        EXPECT_EQ(recorder->Status(), 200);
        ASSERT_TRUE(recorder->StopEncoder());
        EXPECT_EQ(end.Calls, 1);
        EXPECT_NEAR(end.Duration, before / 10.0, 0.001) << "every frame handed is in the file";
        EXPECT_EQ(DecodeFile(file).Frames, before);
        EXPECT_EQ(recorder->AddVideoFrame(frame.data(), size), S_FALSE) << "after the stop";
    }
    {
        TEndReport end;
        const std::string file = folder.Path() + "/none.wmv";
        auto recorder = StartRecorder(file, end);
        ASSERT_TRUE(recorder->StopEncoder());
        EXPECT_EQ(end.Calls, 1);
        EXPECT_EQ(end.Duration, 0.0);
        EXPECT_FALSE(std::filesystem::exists(file) && std::filesystem::file_size(file) == 0)
            << "no empty file is left behind";
    }
    {
        TEndReport end;
        auto recorder = StartRecorder(folder.Path() + "/prefilled.wmv", end);
        for (int i = 0; i < TWMEncodeGraphThread::kPrefillFrames; ++i) {
            ASSERT_EQ(recorder->Status(), 200) << "frame " << i;
            ASSERT_EQ(recorder->AddVideoFrame(frame.data(), size), S_OK);
        }
        EXPECT_EQ(recorder->Status(), 300);
        EXPECT_TRUE(WaitUntil([&] { return recorder->VideoFramesEncoded() > 0; }))
            << "the graph pulls frames";
        ASSERT_TRUE(recorder->StopEncoder());
    }
}

// Every frame handed before the stop is in the file, also those still queued when the stop
// came (the source takes them before the file closes): numbered frames decode back complete
// and in order.
TEST(WMEncodeGraphThread, AStopKeepsTheFramesStillQueued) {
    TempFolder folder;
    TEndReport end;
    const std::string file = folder.Path() + "/queued.wmv";
    auto recorder = StartRecorder(file, end, 64, 48);
    std::vector<uint8_t> frame(64 * 48 * 4, 128);
    const int count = 25;
    for (int i = 0; i < count; ++i) {
        PaintFrameNumber(frame.data(), 64, 48, i);
        ASSERT_EQ(recorder->AddVideoFrame(frame.data(), static_cast<int32_t>(frame.size())),
                  S_OK);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(recorder->StopEncoder());
    EXPECT_EQ(recorder->DroppedFrames(), 0);
    EXPECT_NEAR(end.Duration, count / 10.0, 0.001);
    const std::vector<int> numbers = DecodeFrameNumbers(file, 64, 48);
    std::vector<int> expected(count);
    for (int i = 0; i < count; ++i) {
        expected[static_cast<size_t>(i)] = i;
    }
    EXPECT_EQ(numbers, expected);
}

// StopEncoder returns only once the file is closed and the end callback has run; the start
// time is the caller's, or the moment of the first pulled frame when left at 0.
TEST(WMEncodeGraphThread, StopEncoderWaitsForTheClosedFileAndTheEndReport) {
    TempFolder folder;
    const TDateTime fakeNow = 45000.25;
    const TDateTimeClock previous = SetDateTimeClock([=] { return fakeNow; });
    for (const TDateTime given : {0.0, 44000.5}) {
        std::atomic<bool> reported{false};
        TDateTime reportedStart = -1;
        double reportedSeconds = -1;
        const std::string file = folder.Path() + "/stop.wmv";
        TWMEncodeGraphThread recorder(64, 48, MEDIASUBTYPE_RGB32, 10.0,
                                      [&](TDateTime start, double seconds) {
                                          // Slow on purpose: StopEncoder must wait for it.
                                          std::this_thread::sleep_for(100ms);
                                          reportedStart = start;
                                          reportedSeconds = seconds;
                                          reported = true;
                                          return true;
                                      });
        recorder.AddVideoStream(Settings(64, 48, kSecond / 10, kSecond / 10));
        recorder.InitEncoder(3600 * kSecond, file);
        recorder.SetStartDateTime(given);
        TTestFrames frames(64, 48);
        ASSERT_TRUE(WaitUntil([&] { return recorder.Status() == 200; }));
        for (int i = 0; i < 12; ++i) {
            recorder.AddVideoFrame(frames.Frame().data(),
                                   static_cast<int32_t>(frames.Frame().size()));
        }
        ASSERT_TRUE(WaitUntil([&] { return recorder.VideoFramesEncoded() >= 5; }));
        ASSERT_TRUE(recorder.StopEncoder());
        EXPECT_TRUE(reported) << "StopEncoder returned before the end report";
        EXPECT_EQ(recorder.Status(), 500);
        EXPECT_EQ(reportedStart, given == 0.0 ? fakeNow : given);
        ExpectFileMatchesReport(file, 64, 48, 10.0, reportedSeconds);
    }
    SetDateTimeClock(previous);
}

// A producer slower than the encoder: the length still follows the encoder's pace (frames
// pulled x InputTimePerFrame), the same arithmetic as a minute of recording, here at 100 frames
// per second for one second with only the nine prefill frames from the camera.
TEST(WMEncodeGraphThread, ASlowProducerStillGetsTheEncodersDuration) {
    TempFolder folder;
    TEndReport end;
    const std::string file = folder.Path() + "/slow.wmv";
    auto recorder = StartRecorder(file, end, 64, 48, kSecond / 100, kSecond);
    TTestFrames frames(64, 48);
    for (int i = 0; i < 9; ++i) {
        recorder->AddVideoFrame(frames.Frame().data(), static_cast<int32_t>(frames.Frame().size()));
    }
    ASSERT_TRUE(WaitUntil([&] { return recorder->IsEOSDelivered(); }));
    EXPECT_EQ(
        recorder->AddVideoFrame(frames.Frame().data(), static_cast<int32_t>(frames.Frame().size())),
        S_FALSE)
        << "the file is full";
    ASSERT_TRUE(recorder->StopEncoder());
    EXPECT_FALSE(recorder->IsEOSDelivered()) << "the graph is gone";
    EXPECT_NEAR(end.Duration, 1.0, 0.02);
    ExpectFileMatchesReport(file, 64, 48, 100.0, 1.0);
}

// A producer faster than the encoder: every frame is answered S_OK, but once the queue is full
// each further frame waits its 10 ms and is dropped.
TEST(WMEncodeGraphThread, AFastProducerHasFramesDroppedAfterTheQueueWait) {
    TempFolder folder;
    TEndReport end;
    // One frame per second: the encoder takes almost nothing while the producer pushes.
    auto recorder = StartRecorder(folder.Path() + "/fast.wmv", end, 64, 48, kSecond);
    TTestFrames frames(64, 48);
    constexpr int kFrames = 40;
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < kFrames; ++i) {
        ASSERT_EQ(recorder->AddVideoFrame(frames.Frame().data(),
                                          static_cast<int32_t>(frames.Frame().size())),
                  S_OK)
            << "frame " << i << ", status " << recorder->Status();
    }
    const auto elapsed = std::chrono::steady_clock::now() - started;
    const int64_t pulled = recorder->VideoFramesEncoded();
    // At most ten frames found room (plus one per frame the encoder took meanwhile); every
    // other one waited the full 10 ms.
    const int64_t dropped = kFrames - 10 - pulled;
    EXPECT_GE(elapsed, std::chrono::milliseconds(10 * (dropped - 1)));
    ASSERT_TRUE(recorder->StopEncoder());
    EXPECT_LT(end.Duration, kFrames * 1.0) << "dropped frames are not in the file";
    ExpectFileMatchesReport(folder.Path() + "/fast.wmv", 64, 48, 1.0, end.Duration);
}

// A file at one picture a second (the continually running recording's profile) holds whole
// seconds however few camera frames went in: the end report says what the file holds, as a
// player shows it, not the camera frames taken.
TEST(WMEncodeGraphThread, TheEndReportGivesTheLengthTheFileHolds) {
    TempFolder folder;
    TEndReport end;
    const std::string file = folder.Path() + "/one-per-second.wmv";
    auto recorder = std::make_unique<TWMEncodeGraphThread>(64, 48, MEDIASUBTYPE_RGB32, 10.0,
                                                           end.Callback());
    recorder->AddVideoStream(Settings(64, 48, kSecond / 10, kSecond));
    recorder->InitEncoder(3600 * kSecond, file);
    ASSERT_TRUE(WaitUntil([&] { return recorder->Status() == 200; }));
    TTestFrames frames(64, 48);
    for (int i = 0; i < 14; ++i) {
        frames.Paint();
        recorder->AddVideoFrame(frames.Frame().data(), static_cast<int32_t>(frames.Frame().size()));
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(recorder->StopEncoder());
    ASSERT_EQ(end.Calls, 1);
    ASSERT_GT(DecodeFile(file).Frames, 0);
    // The length a player is told: the file played in a decoding graph of its own.
    const std::string launch = "filesrc location=\"" + file + "\" ! decodebin ! fakesink";
    TGstElementHandle player = TGstElementHandle::Adopt(gst_parse_launch(launch.c_str(), nullptr));
    ASSERT_TRUE(player);
    gst_element_set_state(player.Get(), GST_STATE_PAUSED);
    ASSERT_EQ(gst_element_get_state(player.Get(), nullptr, nullptr, 10 * GST_SECOND),
              GST_STATE_CHANGE_SUCCESS);
    gint64 length = 0;
    ASSERT_TRUE(gst_element_query_duration(player.Get(), GST_FORMAT_TIME, &length));
    gst_element_set_state(player.Get(), GST_STATE_NULL);
    EXPECT_NEAR(end.Duration, static_cast<double>(length) / GST_SECOND, 0.05);
    EXPECT_GE(end.Duration, 1.0) << "a picture of a second at least";
}

TEST(WMEncodeGraphThread, StopAndFreeEncoderFinishesOnItsOwnThread) {
    TempFolder folder;
    TEndReport end;
    const std::string file = folder.Path() + "/free.wmv";
    auto recorder = StartRecorder(file, end);
    TTestFrames frames(64, 48);
    for (int i = 0; i < 12; ++i) {
        frames.Paint();
        recorder->AddVideoFrame(frames.Frame().data(), static_cast<int32_t>(frames.Frame().size()));
    }
    ASSERT_TRUE(WaitUntil([&] { return recorder->VideoFramesEncoded() >= 5; }));
    ASSERT_TRUE(recorder.release()->StopAndFreeEncoder());  // the object is no longer ours
    ASSERT_TRUE(WaitUntil([&] { return end.Calls == 1; }));
    EXPECT_GT(end.Duration, 0.3);
    ExpectFileMatchesReport(file, 64, 48, 10.0, end.Duration);
}

// Bad destinations and write failures: a line, failure answers, the worker ends, and what was
// written before a failure stays playable.
TEST(WMEncodeGraphThread, AFileThatCannotBeWrittenEndsTheRecording) {
    TempFolder folder;
    TTestFrames frames(64, 48);
    {
        TEndReport end;
        LogCapture log;
        auto recorder = StartRecorder(folder.Path() + "/missing/clip.wmv", end);
        EXPECT_EQ(recorder->Status(), 500) << "the worker has ended";
        EXPECT_EQ(recorder->AddVideoFrame(frames.Frame().data(),
                                          static_cast<int32_t>(frames.Frame().size())),
                  E_FAIL);
        EXPECT_TRUE(log.Contains(
            "Error in TWMEncodeGraph.SetDestinationFile - cannot access File Writer filter."));
        ASSERT_TRUE(recorder->StopEncoder());
        // Reported all the same, once, as a recording of nothing: whoever waits for the end of
        // every recording it started is not left waiting.
        EXPECT_EQ(end.Calls, 1);
        EXPECT_EQ(end.Duration, 0.0);
    }
    {
        // The disk fills up: a file-size limit for this process makes the writes fail.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        struct sigaction previousAction {};
        sigaction(SIGXFSZ, &ignore, &previousAction);
        rlimit previousLimit{};
        getrlimit(RLIMIT_FSIZE, &previousLimit);
        rlimit small = previousLimit;
        small.rlim_cur = 40000;
        setrlimit(RLIMIT_FSIZE, &small);

        TEndReport end;
        LogCapture log;
        TTestFrames noise(160, 120, true);
        const std::string file = folder.Path() + "/full.wmv";
        auto recorder = StartRecorder(file, end, 160, 120);
        HRESULT hr = S_OK;
        const bool failed = WaitUntil([&] {
            noise.Paint();
            hr = recorder->AddVideoFrame(noise.Frame().data(),
                                         static_cast<int32_t>(noise.Frame().size()));
            std::this_thread::sleep_for(20ms);
            return hr == E_FAIL;
        });
        ASSERT_TRUE(recorder->StopEncoder());
        setrlimit(RLIMIT_FSIZE, &previousLimit);
        sigaction(SIGXFSZ, &previousAction, nullptr);

        EXPECT_TRUE(failed);
        bool logged = false;
        for (const auto& line : log.Lines()) {
            logged |=
                line.rfind("Error in TWMEncodeGraph.Play - the file cannot be written", 0) == 0;
        }
        EXPECT_TRUE(logged);
        EXPECT_EQ(end.Calls, 1) << "the file that was written is reported";
        EXPECT_GT(DecodeFile(file).Frames, 0) << "frames written before the failure play";
    }
}

// Runs only inside the child of the kill test: records until it is killed.
TEST(WMEncodeGraphThread, RecordsUntilKilled) {
    const char* file = std::getenv("TANDREL_RECORD_UNTIL_KILLED");
    if (file == nullptr) {
        GTEST_SKIP() << "runs as the child of KilledRecordingStaysPlayable";
    }
    TEndReport end;
    auto recorder = StartRecorder(file, end, 160, 120);
    TTestFrames frames(160, 120);
    for (;;) {
        frames.Paint();
        recorder->AddVideoFrame(frames.Frame().data(), static_cast<int32_t>(frames.Frame().size()));
        std::this_thread::sleep_for(100ms);
    }
}

// A recorder killed with SIGKILL leaves a file that still plays up to about its last second.
TEST(WMEncodeGraphThread, KilledRecordingStaysPlayable) {
    TempFolder folder;
    const std::string file = folder.Path() + "/killed.wmv";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("TANDREL_RECORD_UNTIL_KILLED", file.c_str(), 1);
        execl("/proc/self/exe", "/proc/self/exe",
              "--gtest_filter=WMEncodeGraphThread.RecordsUntilKilled", nullptr);
        _exit(127);
    }
    // Killed once a few packets of pictures are on disk (the header alone is smaller).
    const bool grew = WaitUntil(
        [&] {
            std::error_code ec;
            return std::filesystem::file_size(file, ec) > 6000 && !ec;
        },
        std::chrono::milliseconds(30000));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(grew) << "the child did not record";
    EXPECT_TRUE(WIFSIGNALED(status));
    const TDecodedFile decoded = DecodeFile(file);
    EXPECT_GT(decoded.Frames, 0);
    EXPECT_EQ(decoded.Width, 160);
    EXPECT_EQ(decoded.Height, 120);
}

namespace {

// The first picture of a recorded file as top-down BGRx rows.
std::vector<uint8_t> FirstPictureBgrx(const std::string& path, int width, int height) {
    const std::string description = "filesrc location=\"" + path +
                                    "\" ! decodebin ! videoconvert ! video/x-raw,format=BGRx ! "
                                    "appsink name=out sync=false";
    GError* error = nullptr;
    TGstElementHandle pipeline =
        TGstElementHandle::Adopt(gst_parse_launch(description.c_str(), &error));
    if (error != nullptr) {
        g_error_free(error);
        return {};
    }
    TGstElementHandle sink =
        TGstElementHandle::Adopt(gst_bin_get_by_name(GST_BIN(pipeline.Get()), "out"));
    gst_element_set_state(pipeline.Get(), GST_STATE_PLAYING);
    std::vector<uint8_t> picture;
    if (GstSample* sample =
            gst_app_sink_try_pull_sample(GST_APP_SINK(sink.Get()), 10 * GST_SECOND)) {
        GstMapInfo map;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            if (map.size >= static_cast<size_t>(width) * height * 4) {
                picture.assign(map.data, map.data + static_cast<size_t>(width) * height * 4);
            }
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline.Get(), GST_STATE_NULL);
    return picture;
}

}  // namespace

// The recorder keeps its frames in a smaller form than it is given (bottom-up RGB32): what it
// writes is still the picture the right way up and in its colours.
TEST(WMEncodeGraphThread, PicturesAreRecordedTheRightWayUpInTheirColours) {
    TempFolder folder;
    const std::string file = folder.Path() + "/colours.wmv";
    TEndReport end;
    constexpr int kW = 64;
    constexpr int kH = 48;
    auto recorder = StartRecorder(file, end, kW, kH);
    ASSERT_EQ(recorder->Status(), 200);
    // Bottom-up: the first rows in memory are the picture's bottom half (blue), the last its
    // top half (red).
    std::vector<uint8_t> frame(static_cast<size_t>(kW) * kH * 4);
    for (size_t i = 0; i < frame.size(); i += 4) {
        const bool bottomHalf = i < frame.size() / 2;
        frame[i] = bottomHalf ? 220 : 20;      // blue
        frame[i + 1] = 20;                     // green
        frame[i + 2] = bottomHalf ? 20 : 220;  // red
    }
    for (int i = 0; i < 15; ++i) {
        recorder->AddVideoFrame(frame.data(), static_cast<int32_t>(frame.size()));
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(recorder->StopEncoder());
    const std::vector<uint8_t> picture = FirstPictureBgrx(file, kW, kH);
    ASSERT_EQ(picture.size(), frame.size());
    const auto pixel = [&](int x, int y) {
        return &picture[(static_cast<size_t>(y) * kW + x) * 4];
    };
    const uint8_t* top = pixel(kW / 2, kH / 4);
    const uint8_t* bottom = pixel(kW / 2, kH * 3 / 4);
    EXPECT_NEAR(top[2], 220, 25);  // red on top
    EXPECT_NEAR(top[0], 20, 25);
    EXPECT_NEAR(bottom[0], 220, 25);  // blue below
    EXPECT_NEAR(bottom[2], 20, 25);
    EXPECT_NEAR(top[1], 20, 25);
}
