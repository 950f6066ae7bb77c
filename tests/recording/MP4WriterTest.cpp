#include "recording/MP4Writer.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "localisation/TempFolder.h"
#include "recording/I420Conversion.h"
#include "recording/RecordingLength.h"
#include "recording/RecordingTestSupport.h"
#include "recording/TestFrames.h"
#include "recording/WMEncodeGraph.h"
#include "recording/WMEncodeGraphThread.h"
#include "scenes/SceneGenerator.h"
#include "support/LogCapture.h"

namespace {

using namespace std::chrono_literals;

constexpr int64_t kSecond = 10000000;

TVideoStreamSettings Stream(uint32_t inW, uint32_t inH, uint32_t outW, uint32_t outH,
                            int64_t inTpf, int64_t outTpf) {
    TVideoStreamSettings s;
    s.InputWidth = inW;
    s.InputHeight = inH;
    s.OutputWidth = outW;
    s.OutputHeight = outH;
    s.ColorSpace = MEDIASUBTYPE_RGB32;
    s.InputTimePerFrame = inTpf;
    s.OutputTimePerFrame = outTpf;
    s.KeyFrameInterval = 3 * kSecond;
    s.VideoBitrate = 1000000;
    s.SkipEmptyFrames = true;
    return s;
}

// Plays a graph whose file is set until the clip's duration has been written, then ejects.
void RecordToTheEnd(TWMEncodeGraph& graph, int boundMs = 60000) {
    ASSERT_EQ(graph.Play(), S_OK);
    int32_t code = 0;
    ASSERT_EQ(graph.WaitForCompletion(boundMs, code), S_OK);
    EXPECT_EQ(code, TGraph::EC_COMPLETE);
    ASSERT_EQ(graph.EjectFile(), S_OK);
}

// The top-level boxes of an MP4 file in order (a box cut off by the file's end included), and
// whether the header ("moov") announces fragments ("mvex").
struct TBoxes {
    std::vector<std::string> Types;
    bool HeaderAnnouncesFragments = false;
};

TBoxes ReadBoxes(const std::string& path) {
    TBoxes boxes;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto u32 = [&](size_t at) {
        return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
               (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
    };
    size_t at = 0;
    while (at + 8 <= bytes.size()) {
        const uint32_t size = u32(at);
        const std::string type(bytes.data() + at + 4, 4);
        boxes.Types.push_back(type);
        if (type == "moov") {
            const std::string header(bytes.data() + at,
                                     std::min<size_t>(size, bytes.size() - at));
            boxes.HeaderAnnouncesFragments = header.find("mvex") != std::string::npos;
        }
        if (size < 8) {
            break;
        }
        at += size;
    }
    return boxes;
}

// The caps of the video stream as the parser sees it (H.264: profile, chroma format).
std::string ParsedVideoCaps(const std::string& path) {
    const std::string description = "filesrc location=\"" + path +
                                    "\" ! parsebin ! video/x-h264 ! fakesink name=out";
    TGstElementHandle pipeline =
        TGstElementHandle::Adopt(gst_parse_launch(description.c_str(), nullptr));
    if (!pipeline) {
        return {};
    }
    TGstElementHandle sink =
        TGstElementHandle::Adopt(gst_bin_get_by_name(GST_BIN(pipeline.Get()), "out"));
    gst_element_set_state(pipeline.Get(), GST_STATE_PAUSED);
    gst_element_get_state(pipeline.Get(), nullptr, nullptr, 10 * GST_SECOND);
    TGstPadHandle pad = TGstPadHandle::Adopt(gst_element_get_static_pad(sink.Get(), "sink"));
    std::string text;
    if (GstCaps* caps = gst_pad_get_current_caps(pad.Get())) {
        gchar* s = gst_caps_to_string(caps);
        text = s;
        g_free(s);
        gst_caps_unref(caps);
    }
    gst_element_set_state(pipeline.Get(), GST_STATE_NULL);
    return text;
}

// Key frames of the file's video stream.
int CountKeyFrames(const std::string& path) {
    const std::string description =
        "filesrc location=\"" + path + "\" ! qtdemux ! appsink name=out sync=false";
    TGstElementHandle pipeline =
        TGstElementHandle::Adopt(gst_parse_launch(description.c_str(), nullptr));
    TGstElementHandle sink =
        TGstElementHandle::Adopt(gst_bin_get_by_name(GST_BIN(pipeline.Get()), "out"));
    gst_element_set_state(pipeline.Get(), GST_STATE_PLAYING);
    int keys = 0;
    while (GstSample* sample =
               gst_app_sink_try_pull_sample(GST_APP_SINK(sink.Get()), 5 * GST_SECOND)) {
        if (!GST_BUFFER_FLAG_IS_SET(gst_sample_get_buffer(sample), GST_BUFFER_FLAG_DELTA_UNIT)) {
            ++keys;
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline.Get(), GST_STATE_NULL);
    return keys;
}

// The length a player is told when it opens the file (0 when it is told none).
double PlayerLength(const std::string& path) {
    const std::string launch = "filesrc location=\"" + path + "\" ! decodebin ! fakesink";
    TGstElementHandle player = TGstElementHandle::Adopt(gst_parse_launch(launch.c_str(), nullptr));
    gst_element_set_state(player.Get(), GST_STATE_PAUSED);
    gst_element_get_state(player.Get(), nullptr, nullptr, 10 * GST_SECOND);
    gint64 length = 0;
    if (!gst_element_query_duration(player.Get(), GST_FORMAT_TIME, &length) || length < 0) {
        length = 0;
    }
    gst_element_set_state(player.Get(), GST_STATE_NULL);
    return static_cast<double>(length) / GST_SECOND;
}

}  // namespace

// What the profile asks for is what plays: picture size (scaled from the input), frame rate,
// length, key frames at least every two seconds; H.264 High or Main in 4:2:0, in a fragmented
// MP4 whose header comes first and which, closed normally, tells players its length and ends
// with the fragment index.
TEST(MP4Writer, TheFileFollowsTheProfileAndTellsItsLength) {
    struct TCase {
        const char* What;
        uint32_t OutW, OutH;
        int64_t OutTpf;
        int64_t Duration;
        int Frames;
    };
    const TCase cases[] = {
        {"same size, 10 fps", 96, 64, kSecond / 10, 4 * kSecond, 40},
        {"scaled down", 48, 32, kSecond / 10, 2 * kSecond, 20},
        {"one frame per second (the continuous recording)", 96, 64, kSecond, 3 * kSecond, 3},
    };
    TempFolder folder;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string file = folder.Path() + "/profile.mp4";
        TTestFrames frames(96, 64);
        TWMEncodeGraph graph;
        ASSERT_EQ(graph.SetRecordingFormat(TRecordingFormat::Mp4), S_OK);
        TVideoStreamSettings s = Stream(96, 64, c.OutW, c.OutH, kSecond / 10, c.OutTpf);
        s.NextFrameFunction = frames.NextFunction();
        ASSERT_EQ(graph.AddVideoStream(s), S_OK);
        ASSERT_EQ(graph.SetDuration(c.Duration), S_OK);
        ASSERT_EQ(graph.SetDestinationFile(file), S_OK);
        EXPECT_TRUE(TMP4Writer::IsWriter(graph.WMVWriter()));
        EXPECT_EQ(TMP4Writer::FileName(graph.WMVWriter()), file);
        EXPECT_EQ(graph.SetRecordingFormat(TRecordingFormat::Wmv), E_FAIL) << "too late";
        RecordToTheEnd(graph);

        const double seconds = static_cast<double>(c.Duration) / kSecond;
        const TDecodedFile decoded = DecodeFile(file);
        EXPECT_FALSE(decoded.Error);
        EXPECT_EQ(decoded.Width, static_cast<int>(c.OutW));
        EXPECT_EQ(decoded.Height, static_cast<int>(c.OutH));
        EXPECT_NEAR(decoded.Frames, c.Frames, 1);
        EXPECT_NEAR(decoded.DurationSeconds, seconds, 0.15);
        double length = 0;
        EXPECT_TRUE(ReadRecordingLength(file, length));
        EXPECT_NEAR(length, seconds, 0.15);
        EXPECT_NEAR(PlayerLength(file), seconds, 0.15) << "the header states the length";

        const std::string caps = ParsedVideoCaps(file);
        EXPECT_TRUE(caps.find("profile=(string)high") != std::string::npos ||
                    caps.find("profile=(string)main") != std::string::npos)
            << caps;
        EXPECT_NE(caps.find("chroma-format=(string)4:2:0"), std::string::npos) << caps;
        EXPECT_NE(caps.find("bit-depth-luma=(uint)8"), std::string::npos) << caps;

        const TBoxes boxes = ReadBoxes(file);
        ASSERT_GE(boxes.Types.size(), 4u);
        EXPECT_EQ(boxes.Types[0], "ftyp");
        EXPECT_EQ(boxes.Types[1], "moov") << "the header comes first";
        EXPECT_TRUE(boxes.HeaderAnnouncesFragments);
        EXPECT_EQ(boxes.Types[2], "moof");
        EXPECT_EQ(boxes.Types.back(), "mfra") << "the fragment index ends a closed file";

        EXPECT_GE(CountKeyFrames(file), static_cast<int>(std::ceil(seconds / 2)));
    }
}

TEST(MP4Writer, RefusesWhatCannotBeWritten) {
    TempFolder folder;
    ASSERT_TRUE(TMP4Writer::Register());
    TGstElementHandle writer =
        TGstElementHandle::Adopt(gst_element_factory_make(TMP4Writer::kFactoryName, nullptr));
    ASSERT_TRUE(writer);
    gst_object_ref_sink(writer.Get());
    LogCapture log;
    EXPECT_EQ(TMP4Writer::SetFileName(writer.Get(), ""), E_INVALIDARG);
    EXPECT_EQ(TMP4Writer::SetFileName(writer.Get(), folder.Path() + "/missing/clip.mp4"), E_FAIL);
    EXPECT_TRUE(log.Contains("gkt: Error in TMP4Writer.SetFileName - the folder " +
                             folder.Path() + "/missing does not exist or cannot be written."));
    const std::string taken = folder.Write("taken.mp4", "someone else's");
    EXPECT_EQ(TMP4Writer::SetFileName(writer.Get(), taken), E_FAIL);
    EXPECT_EQ(std::filesystem::file_size(taken), 14u) << "a file of that name stays untouched";
    EXPECT_EQ(TMP4Writer::SetFileName(nullptr, taken), E_POINTER);
    EXPECT_EQ(TMP4Writer::ConfigureFilterUsingProfile(nullptr, TWMProfile()), E_POINTER);

    // Through the graph: a missing folder is said the same way as for WMV.
    TWMEncodeGraph graph;
    graph.SetRecordingFormat(TRecordingFormat::Mp4);
    ASSERT_EQ(graph.AddVideoStream(Stream(64, 48, 64, 48, kSecond / 10, kSecond / 10)), S_OK);
    EXPECT_EQ(graph.SetDestinationFile(folder.Path() + "/missing/clip.mp4"), E_FAIL);
    EXPECT_TRUE(log.Contains(
        "Error in TWMEncodeGraph.SetDestinationFile - cannot access File Writer filter."));
}

// The H.264 bit rate follows the profile's: a higher rate writes a bigger file of pictures no
// encoder can squeeze.
TEST(MP4Writer, AHigherBitRateWritesABiggerFile) {
    TempFolder folder;
    std::uintmax_t sizes[2] = {};
    const uint32_t rates[2] = {200000, 2000000};
    for (int i = 0; i < 2; ++i) {
        const std::string file = folder.Path() + "/rate" + std::to_string(i) + ".mp4";
        TTestFrames frames(320, 240, /*noise*/ true);
        TWMEncodeGraph graph;
        graph.SetRecordingFormat(TRecordingFormat::Mp4);
        TVideoStreamSettings s = Stream(320, 240, 320, 240, kSecond / 10, kSecond / 10);
        s.VideoBitrate = rates[i];
        s.NextFrameFunction = frames.NextFunction();
        ASSERT_EQ(graph.AddVideoStream(s), S_OK);
        ASSERT_EQ(graph.SetDuration(2 * kSecond), S_OK);
        ASSERT_EQ(graph.SetDestinationFile(file), S_OK);
        RecordToTheEnd(graph);
        sizes[i] = std::filesystem::file_size(file);
        // Held over the stream: at most the rate plus a buffer window's worth.
        const double bytesAllowed = TMP4Writer::H264KilobitsPerSecond(rates[i]) * 1000.0 / 8 *
                                    (2 + TWindowsMediaConfigurator::kBufferWindowMs / 1000.0);
        EXPECT_LT(sizes[i], bytesAllowed + 4000) << rates[i];
    }
    EXPECT_LT(sizes[0] * 3, sizes[1]) << sizes[0] << " bytes at 200 kbit/s, " << sizes[1]
                                      << " bytes at 2 Mbit/s";
}

namespace {

// A recorder of MP4 into `file`, its graph built (status 200) on return.
std::unique_ptr<TWMEncodeGraphThread> StartMP4Recorder(const std::string& file,
                                                       TVideoEndCallback end, int w, int h) {
    auto recorder =
        std::make_unique<TWMEncodeGraphThread>(w, h, MEDIASUBTYPE_RGB32, 10.0, std::move(end));
    recorder->SetRecordingFormat(TRecordingFormat::Mp4);
    recorder->AddVideoStream(Stream(w, h, w, h, kSecond / 10, kSecond / 10));
    recorder->InitEncoder(3600 * kSecond, file);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while ((recorder->Status() == 0 || recorder->Status() == 100) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    return recorder;
}

}  // namespace

// The recorder writes MP4 when told: what it hands to the end report is what the file holds.
TEST(MP4Recording, TheRecorderWritesTheFormatItIsTold) {
    TempFolder folder;
    const std::string file = folder.Path() + "/recorder.mp4";
    std::atomic<double> reported{-1};
    auto recorder = StartMP4Recorder(
        file,
        [&](TDateTime, double seconds) {
            reported = seconds;
            return true;
        },
        64, 48);
    ASSERT_EQ(recorder->Status(), 200);
    TTestFrames frames(64, 48);
    for (int i = 0; i < 25; ++i) {
        frames.Paint();
        ASSERT_EQ(recorder->AddVideoFrame(frames.Frame().data(),
                                          static_cast<int32_t>(frames.Frame().size())),
                  S_OK);
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(recorder->StopEncoder());
    EXPECT_NEAR(reported, 2.5, 0.001);
    EXPECT_EQ(ReadBoxes(file).Types.at(1), "moov");
    const TDecodedFile decoded = DecodeFile(file);
    EXPECT_EQ(decoded.Frames, 25);
    EXPECT_NEAR(decoded.DurationSeconds, 2.5, 0.15);
}

// Runs only inside the child of the kill test: records until it is killed, writing one byte
// to the progress pipe per frame handed to the recorder.
TEST(MP4Recording, RecordsUntilKilled) {
    const char* file = std::getenv("TANDREL_RECORD_MP4_UNTIL_KILLED");
    const char* progress = std::getenv("TANDREL_RECORD_MP4_PROGRESS_FD");
    if (file == nullptr || progress == nullptr) {
        GTEST_SKIP() << "runs as the child of KilledRecordingPlaysUpToAboutItsLastSecond";
    }
    const int fd = std::atoi(progress);
    auto recorder = StartMP4Recorder(file, [](TDateTime, double) { return true; }, 160, 120);
    TTestFrames frames(160, 120);
    auto next = std::chrono::steady_clock::now();
    for (;;) {
        frames.Paint();
        if (recorder->AddVideoFrame(frames.Frame().data(),
                                    static_cast<int32_t>(frames.Frame().size())) == S_OK) {
            const char byte = 1;
            (void)!::write(fd, &byte, 1);
        }
        next += 100ms;
        std::this_thread::sleep_until(next);
    }
}

// A recorder killed with SIGKILL leaves a file that plays up to about its last second: every
// fragment written before the kill decodes, and the length is read through to its end.
TEST(MP4Recording, KilledRecordingPlaysUpToAboutItsLastSecond) {
    TempFolder folder;
    const std::string file = folder.Path() + "/killed.mp4";
    int pipeFds[2] = {-1, -1};
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        setenv("TANDREL_RECORD_MP4_UNTIL_KILLED", file.c_str(), 1);
        setenv("TANDREL_RECORD_MP4_PROGRESS_FD", std::to_string(pipeFds[1]).c_str(), 1);
        execl("/proc/self/exe", "/proc/self/exe",
              "--gtest_filter=MP4Recording.RecordsUntilKilled", nullptr);
        _exit(127);
    }
    ::close(pipeFds[1]);
    // Killed once six seconds of frames were handed to the recorder.
    constexpr int kFramesBeforeKill = 60;
    int handed = 0;
    char bytes[64];
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (handed < kFramesBeforeKill && std::chrono::steady_clock::now() < deadline) {
        pollfd readable{pipeFds[0], POLLIN, 0};
        if (::poll(&readable, 1, 1000) <= 0) {
            continue;
        }
        const ssize_t n = ::read(pipeFds[0], bytes, sizeof bytes);
        if (n <= 0) {
            break;
        }
        handed += static_cast<int>(n);
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ::close(pipeFds[0]);
    ASSERT_GE(handed, kFramesBeforeKill) << "the child did not record";
    EXPECT_TRUE(WIFSIGNALED(status));

    const TBoxes boxes = ReadBoxes(file);
    ASSERT_GE(boxes.Types.size(), 3u);
    EXPECT_EQ(boxes.Types[1], "moov");
    EXPECT_NE(boxes.Types.back(), "mfra") << "the file was not closed";
    const TDecodedFile decoded = DecodeFile(file);
    EXPECT_EQ(decoded.Width, 160);
    EXPECT_EQ(decoded.Height, 120);
    // A second of fragment, a second of the encoder's look-ahead and the queue: generous.
    const double handedSeconds = handed / 10.0;
    EXPECT_GE(decoded.DurationSeconds, handedSeconds - 2.5) << handed << " frames handed";
    EXPECT_LE(decoded.DurationSeconds, handedSeconds + 0.5);
    EXPECT_NEAR(decoded.Frames, decoded.DurationSeconds * 10, 1);
    double length = 0;
    EXPECT_TRUE(ReadRecordingLength(file, length));
    EXPECT_NEAR(length, decoded.DurationSeconds, 0.15);
}

// The disk fills up: the write failure ends the recording, and what was written plays.
TEST(MP4Recording, AFullDiskEndsTheRecordingAndLeavesAPlayableFile) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previousAction {};
    sigaction(SIGXFSZ, &ignore, &previousAction);
    rlimit previousLimit{};
    getrlimit(RLIMIT_FSIZE, &previousLimit);
    rlimit small = previousLimit;
    small.rlim_cur = 150000;
    setrlimit(RLIMIT_FSIZE, &small);

    TempFolder folder;
    std::atomic<int> calls{0};
    LogCapture log;
    TTestFrames noise(160, 120, true);
    const std::string file = folder.Path() + "/full.mp4";
    auto recorder = StartMP4Recorder(
        file,
        [&](TDateTime, double) {
            ++calls;
            return true;
        },
        160, 120);
    HRESULT hr = S_OK;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (hr != E_FAIL && std::chrono::steady_clock::now() < deadline) {
        noise.Paint();
        hr = recorder->AddVideoFrame(noise.Frame().data(),
                                     static_cast<int32_t>(noise.Frame().size()));
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(recorder->StopEncoder());
    setrlimit(RLIMIT_FSIZE, &previousLimit);
    sigaction(SIGXFSZ, &previousAction, nullptr);

    EXPECT_EQ(hr, E_FAIL);
    bool logged = false;
    for (const auto& line : log.Lines()) {
        logged |= line.rfind("Error in TWMEncodeGraph.Play - the file cannot be written", 0) == 0;
    }
    EXPECT_TRUE(logged);
    EXPECT_EQ(calls, 1);
    const TDecodedFile decoded = DecodeFile(file);
    EXPECT_GT(decoded.Frames, 10) << "fragments written before the failure play";
    EXPECT_EQ(decoded.Width, 160);
}

namespace {

// The luma planes of every decoded picture of a file (Width x Height bytes each).
std::vector<std::vector<uint8_t>> DecodeLuma(const std::string& path, int width, int height) {
    const std::string description = "filesrc location=\"" + path +
                                    "\" ! decodebin ! videoconvert ! video/x-raw,format=I420 ! "
                                    "appsink name=out sync=false";
    TGstElementHandle pipeline =
        TGstElementHandle::Adopt(gst_parse_launch(description.c_str(), nullptr));
    TGstElementHandle sink =
        TGstElementHandle::Adopt(gst_bin_get_by_name(GST_BIN(pipeline.Get()), "out"));
    gst_element_set_state(pipeline.Get(), GST_STATE_PLAYING);
    std::vector<std::vector<uint8_t>> planes;
    while (GstSample* sample =
               gst_app_sink_try_pull_sample(GST_APP_SINK(sink.Get()), 10 * GST_SECOND)) {
        GstMapInfo map;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        // Widths that are multiples of 8 have no row padding.
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            if (map.size >= static_cast<size_t>(width) * height) {
                planes.emplace_back(map.data, map.data + static_cast<size_t>(width) * height);
            }
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline.Get(), GST_STATE_NULL);
    return planes;
}

// PSNR of the luma over all pictures against the I420 source pictures.
double LumaPsnr(const std::vector<std::vector<uint8_t>>& decoded,
                const std::vector<std::vector<uint8_t>>& source, size_t lumaBytes) {
    double squared = 0;
    size_t samples = 0;
    for (size_t i = 0; i < std::min(decoded.size(), source.size()); ++i) {
        for (size_t p = 0; p < lumaBytes; ++p) {
            const double d = double(decoded[i][p]) - double(source[i][p]);
            squared += d * d;
        }
        samples += lumaBytes;
    }
    return samples > 0 ? 10 * std::log10(255.0 * 255.0 / (squared / double(samples))) : 0;
}

}  // namespace

// The calibration of TMP4Writer::kBitrateFactor (run by hand: --gtest_also_run_disabled_tests):
// ten seconds of the street scene with walkers at 1280 x 720, 10 frames per second, recorded
// with the motion recording's profile (1 Mbit/s, key frame every 3 s) as WMV and as MP4 at
// several H.264 rates around the factor; size and luma PSNR against the source pictures.
TEST(MP4Writer, DISABLED_SizeAndQualityAgainstWmv) {
    constexpr int kW = 1280;
    constexpr int kH = 720;
    TSceneDescription d;
    for (const TSceneDescription& s : StandardScenes()) {
        if (!s.Walkers.empty()) {
            d = s;
            break;
        }
    }
    // The scene's walkers are placed on a 320 x 240 picture.
    for (TSceneWalker& w : d.Walkers) {
        w.StartX *= kW / 320.0;
        w.SpeedX *= kW / 320.0;
        w.Top *= kH / 240.0;
        w.Width = w.Width * kW / 320;
        w.Height = w.Height * kH / 240;
    }
    d.Width = kW;
    d.Height = kH;
    d.Seconds = 10;
    std::vector<std::vector<uint8_t>> source;
    {
        const TScene scene = GenerateScene(d);
        std::vector<uint8_t> bottomUp(static_cast<size_t>(kW) * kH * 4);
        for (const auto& frame : scene.Frames) {
            for (int y = 0; y < kH; ++y) {
                std::memcpy(bottomUp.data() + size_t(kH - 1 - y) * kW * 4,
                            frame.data() + size_t(y) * kW * 4, size_t(kW) * 4);
            }
            source.emplace_back(I420FrameBytes(kW, kH));
            ConvertRgb32BottomUpToI420(bottomUp.data(), kW, kH, source.back().data());
        }
    }
    TempFolder folder;
    const auto record = [&](TRecordingFormat format, uint32_t bitrate, const std::string& file) {
        size_t next = 0;
        TWMEncodeGraph graph;
        graph.SetRecordingFormat(format);
        TVideoStreamSettings s = Stream(kW, kH, kW, kH, kSecond / 10, kSecond / 10);
        s.ColorSpace = MEDIASUBTYPE_I420;
        s.VideoBitrate = bitrate;
        s.NextFrameFunction = [&](uint8_t*& data, int32_t& size) {
            auto& frame = source[std::min(next++, source.size() - 1)];
            data = frame.data();
            size = static_cast<int32_t>(frame.size());
            return true;
        };
        ASSERT_EQ(graph.AddVideoStream(s), S_OK);
        ASSERT_EQ(graph.SetDuration(static_cast<int64_t>(source.size()) * kSecond / 10), S_OK);
        ASSERT_EQ(graph.SetDestinationFile(file), S_OK);
        RecordToTheEnd(graph, 300000);
    };
    const size_t luma = size_t(kW) * kH;
    const std::string wmv = folder.Path() + "/street.wmv";
    record(TRecordingFormat::Wmv, 1000000, wmv);
    const auto wmvSize = std::filesystem::file_size(wmv);
    const double wmvPsnr = LumaPsnr(DecodeLuma(wmv, kW, kH), source, luma);
    std::printf("WMV  1 Mbit/s profile: %8ju bytes, luma PSNR %.2f dB\n", wmvSize, wmvPsnr);
    double mp4Psnr = 0;
    std::uintmax_t mp4Size = 0;
    for (const double factor : {0.06, 0.08, TMP4Writer::kBitrateFactor, 0.12, 0.15}) {
        const std::string mp4 = folder.Path() + "/street.mp4";
        std::filesystem::remove(mp4);
        // The profile's rate that gives this factor's H.264 rate.
        const auto bitrate = static_cast<uint32_t>(1000000 * factor / TMP4Writer::kBitrateFactor);
        record(TRecordingFormat::Mp4, bitrate, mp4);
        const auto size = std::filesystem::file_size(mp4);
        const double psnr = LumaPsnr(DecodeLuma(mp4, kW, kH), source, luma);
        std::printf("MP4  factor %.2f (%4u kbit/s): %8ju bytes (%.0f %% of WMV), luma PSNR %.2f dB\n",
                    factor, TMP4Writer::H264KilobitsPerSecond(bitrate), size,
                    100.0 * double(size) / double(wmvSize), psnr);
        if (factor == TMP4Writer::kBitrateFactor) {
            mp4Psnr = psnr;
            mp4Size = size;
        }
    }
    EXPECT_LE(mp4Size * 2, wmvSize);
    EXPECT_GE(mp4Psnr, wmvPsnr);
}
