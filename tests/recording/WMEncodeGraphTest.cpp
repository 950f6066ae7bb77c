#include "recording/WMEncodeGraph.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "localisation/TempFolder.h"
#include "recording/RecordingTestSupport.h"
#include "recording/TestFrames.h"
#include "support/LogCapture.h"

namespace {

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
    s.VideoQuality = 0;
    s.KeyFrameInterval = 3 * kSecond;
    s.VideoBitrate = 200000;
    s.CodecIndex = 0;
    s.SkipEmptyFrames = true;
    return s;
}

// Plays a graph whose file is set until the clip's duration has been written, then ejects.
void RecordToTheEnd(TWMEncodeGraph& graph, int boundMs = 20000) {
    ASSERT_EQ(graph.Play(), S_OK);
    int32_t code = 0;
    ASSERT_EQ(graph.WaitForCompletion(boundMs, code), S_OK);
    EXPECT_EQ(code, TGraph::EC_COMPLETE);
    ASSERT_EQ(graph.EjectFile(), S_OK);
}

// Key frames in a file, read from its ASF packets.
int CountKeyFrames(const std::string& path) {
    const std::string description =
        "filesrc location=\"" + path + "\" ! asfdemux ! appsink name=out sync=false";
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

}  // namespace

TEST(WMEncodeGraph, RefusesWhatCannotBeBuilt) {
    TempFolder folder;
    const std::string file = folder.Path() + "/clip.wmv";
    TWMEncodeGraph graph;
    LogCapture log;

    EXPECT_EQ(graph.SetDestinationFile(file), E_FAIL);
    EXPECT_TRUE(log.Contains(
        "Error in TWMEncodeGraph.SetDestinationFile - there are no streams to encode."));
    EXPECT_FALSE(graph.IsFileNameSet()) << "nothing is built";

    uint32_t codecs = 0;
    ASSERT_EQ(graph.GetVideoCodecsCount(codecs), S_OK);
    TVideoStreamSettings s = Stream(64, 48, 64, 48, kSecond / 10, kSecond / 10);
    s.CodecIndex = codecs;
    EXPECT_EQ(graph.AddVideoStream(s), E_INVALIDARG);
    EXPECT_EQ(graph.SetDestinationFile(file), E_FAIL) << "the refused stream was not stored";

    double progress = 0;
    EXPECT_EQ(graph.GetProgress(progress), E_FAIL) << "no duration";

    ASSERT_EQ(graph.AddVideoStream(Stream(64, 48, 64, 48, kSecond / 10, kSecond / 10)), S_OK);
    ASSERT_EQ(graph.SetDuration(kSecond), S_OK);
    ASSERT_EQ(graph.SetDestinationFile(file), S_OK);
    EXPECT_EQ(graph.SetDestinationFile(file), E_FAIL);
    EXPECT_EQ(graph.AddVideoStream(Stream(64, 48, 64, 48, kSecond / 10, kSecond / 10)), E_FAIL);
    EXPECT_EQ(graph.SetDuration(kSecond), E_FAIL);
    for (const char* line :
         {"Error in TWMEncodeGraph.SetDestinationFile - cannot call SetDestinationFile twice.",
          "Error in TWMEncodeGraph.AddVideoStream - cannot call after SetDestinationFile.",
          "Error in TWMEncodeGraph.SetDuration - cannot call after SetDestinationFile."}) {
        EXPECT_TRUE(log.Contains(line)) << line;
    }
    ASSERT_NE(graph.AVSourceControl(), nullptr);
    EXPECT_EQ(graph.AVSourceControl()->IsEOSDelivered(), S_FALSE);

    ASSERT_EQ(graph.Reset(), S_OK);
    EXPECT_EQ(graph.AVSourceControl(), nullptr);
    EXPECT_EQ(graph.SetDestinationFile(file), E_FAIL) << "Reset forgets the streams";
    ASSERT_EQ(graph.AddVideoStream(Stream(64, 48, 64, 48, kSecond / 10, kSecond / 10)), S_OK);
    EXPECT_EQ(graph.SetDestinationFile(file), S_OK) << "and allows a new file";
}

// Destinations and stream values that cannot be written: a named line, a failure, no file.
TEST(WMEncodeGraph, RefusesDestinationsAndStreamsThatCannotBeWritten) {
    TempFolder folder;
    const std::string readOnly = folder.Write("readonly.wmv", "old");
    ::chmod(readOnly.c_str(), 0444);
    const std::string lockedFolder = folder.Path() + "/locked";
    std::filesystem::create_directory(lockedFolder);
    ::chmod(lockedFolder.c_str(), 0555);
    const bool lockedIsEnforced = ::access(lockedFolder.c_str(), W_OK) != 0;  // not for root

    struct {
        const char* What;
        std::string File;
        int64_t FrameLength;
        const char* Line;
    } const cases[] = {
        {"read-only file", readOnly, kSecond / 10,
         "Error in TWMEncodeGraph.SetDestinationFile - cannot delete file."},
        {"missing folder", folder.Path() + "/missing/clip.wmv", kSecond / 10,
         "Error in TWMEncodeGraph.SetDestinationFile - cannot access File Writer filter."},
        {"zero frame length", folder.Path() + "/zero.wmv", 0,
         "Error in TWMEncodeGraph.SetDestinationFile - cannot add video stream."},
        {"negative frame length", folder.Path() + "/negative.wmv", -kSecond,
         "Error in TWMEncodeGraph.SetDestinationFile - cannot add video stream."},
        {"folder without write permission", lockedFolder + "/clip.wmv", kSecond / 10,
         lockedIsEnforced
             ? "Error in TWMEncodeGraph.SetDestinationFile - cannot access File Writer filter."
             : nullptr},
    };
    for (const auto& c : cases) {
        if (c.Line == nullptr) {
            continue;
        }
        TWMEncodeGraph graph;
        LogCapture log;
        ASSERT_EQ(graph.AddVideoStream(Stream(64, 48, 64, 48, c.FrameLength, kSecond / 10)), S_OK);
        EXPECT_TRUE(FAILED(graph.SetDestinationFile(c.File))) << c.What;
        EXPECT_TRUE(log.Contains(c.Line)) << c.What;
    }
    EXPECT_TRUE(std::filesystem::exists(readOnly)) << "a read-only file stays";
    EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/zero.wmv"));
}

TEST(WMEncodeGraph, WritesAPlayableFileAndReplacesAnExistingOne) {
    TempFolder folder;
    const std::string file = folder.Write("clip.wmv", "an old recording");
    TTestFrames frames(96, 64);
    TWMEncodeGraph graph;
    TVideoStreamSettings s = Stream(96, 64, 96, 64, kSecond / 10, kSecond / 10);
    s.NextFrameFunction = frames.NextFunction();
    ASSERT_EQ(graph.AddVideoStream(s), S_OK);
    ASSERT_EQ(graph.SetDuration(kSecond), S_OK);
    ASSERT_EQ(graph.SetDestinationFile(file), S_OK);
    EXPECT_EQ(std::filesystem::file_size(file), 0u)
        << "the old file is deleted first and the name made anew";

    RecordToTheEnd(graph);
    EXPECT_NEAR(graph.LastDuration(), 1.0, 1e-9);
    EXPECT_EQ(graph.AVSourceControl()->IsEOSDelivered(), S_OK);
    double progress = 0;
    ASSERT_EQ(graph.GetProgress(progress), S_OK);
    EXPECT_NEAR(progress, 100.0, 1e-6);
    EXPECT_EQ(frames.HandedOut(), 10);

    const TDecodedFile decoded = DecodeFile(file);
    EXPECT_FALSE(decoded.Error);
    EXPECT_EQ(decoded.Width, 96);
    EXPECT_EQ(decoded.Height, 64);
    EXPECT_NEAR(decoded.Frames, 10, 1);
    EXPECT_NEAR(decoded.DurationSeconds, 1.0, 0.15);
}

// The profile decides what is written: picture size (scaled from the input), frame rate,
// key-frame spacing and bit rate.
TEST(WMEncodeGraph, TheFileFollowsTheProfile) {
    struct TCase {
        const char* What;
        uint32_t OutW, OutH;
        int64_t OutTpf;
        int64_t KeyFrameInterval;
        uint32_t Bitrate;
        int64_t Duration;
        int Frames;
        int MinKeyFrames, MaxKeyFrames;
    };
    const TCase cases[] = {
        {"same size, 10 fps, key frame every 0.5 s", 96, 64, kSecond / 10, kSecond / 2, 200000,
         2 * kSecond, 20, 4, 8},
        {"scaled down, key frame every 3 s", 48, 32, kSecond / 10, 3 * kSecond, 200000,
         2 * kSecond, 20, 1, 3},
        {"one frame per second", 96, 64, kSecond, 3 * kSecond, 100000, 3 * kSecond, 3, 1, 2},
    };
    TempFolder folder;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string file = folder.Path() + "/profile.wmv";
        TTestFrames frames(96, 64);
        TWMEncodeGraph graph;
        TVideoStreamSettings s = Stream(96, 64, c.OutW, c.OutH, kSecond / 10, c.OutTpf);
        s.KeyFrameInterval = c.KeyFrameInterval;
        s.VideoBitrate = c.Bitrate;
        s.NextFrameFunction = frames.NextFunction();
        ASSERT_EQ(graph.AddVideoStream(s), S_OK);
        ASSERT_EQ(graph.SetDuration(c.Duration), S_OK);
        ASSERT_EQ(graph.SetDestinationFile(file), S_OK);
        RecordToTheEnd(graph);
        const TDecodedFile decoded = DecodeFile(file);
        EXPECT_EQ(decoded.Width, static_cast<int>(c.OutW));
        EXPECT_EQ(decoded.Height, static_cast<int>(c.OutH));
        EXPECT_NEAR(decoded.Frames, c.Frames, 1);
        EXPECT_NEAR(decoded.DurationSeconds, static_cast<double>(c.Duration) / kSecond, 0.15);
        // The spacing is a maximum: at least one key frame per spacing, and not every frame.
        const int keys = CountKeyFrames(file);
        EXPECT_GE(keys, c.MinKeyFrames);
        EXPECT_LE(keys, c.MaxKeyFrames);
    }
}

TEST(WMEncodeGraph, AHigherBitRateWritesABiggerFile) {
    TempFolder folder;
    std::uintmax_t sizes[2] = {};
    const uint32_t rates[2] = {100000, 2000000};
    for (int i = 0; i < 2; ++i) {
        const std::string file = folder.Path() + "/rate" + std::to_string(i) + ".wmv";
        TTestFrames frames(320, 240, /*noise*/ true);
        TWMEncodeGraph graph;
        TVideoStreamSettings s = Stream(320, 240, 320, 240, kSecond / 10, kSecond / 10);
        s.VideoBitrate = rates[i];
        s.NextFrameFunction = frames.NextFunction();
        ASSERT_EQ(graph.AddVideoStream(s), S_OK);
        ASSERT_EQ(graph.SetDuration(kSecond), S_OK);
        ASSERT_EQ(graph.SetDestinationFile(file), S_OK);
        RecordToTheEnd(graph);
        sizes[i] = std::filesystem::file_size(file);
        const TDecodedFile decoded = DecodeFile(file);
        EXPECT_EQ(decoded.Width, 320);
        EXPECT_EQ(decoded.Height, 240);
        EXPECT_NEAR(decoded.Frames, 10, 1);
        EXPECT_NEAR(decoded.DurationSeconds, 1.0, 0.15);
    }
    EXPECT_LT(sizes[0] * 2, sizes[1]) << sizes[0] << " bytes at 100 kbit/s, " << sizes[1]
                                      << " bytes at 2 Mbit/s";
}
