#include "capture/FileCamera.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "capture/CaptureTestFiles.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "localisation/TempFolder.h"
#include "support/LogCapture.h"
#include "support/NamedPipe.h"

namespace {

// A file that blocks when opened (here a named pipe without a writer, as a file camera can
// become after it was listed) is given up after the inspection's bound: the caller gets an
// unusable file and a line naming it, instead of waiting for ever.
TEST(FileCameraDiscover, FileThatBlocksOnOpenIsGivenUpInTime) {
    TempFolder folder;
    TNamedPipe pipe(folder.Path() + "/blocking.avi");
    LogCapture log;

    const FileCamera::TInfo info = NamedPipe::CallWithoutHanging(
        pipe.Path(), [&] { return FileCamera::Discover(pipe.Path()); });
    EXPECT_EQ(info.Kind, FileCamera::TKind::Unusable);
    EXPECT_TRUE(log.Contains("Error in FileCamera::Discover - " + pipe.Path() +
                             " cannot be inspected in time."));
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Each broken file camera is named with what is wrong with it, once, however often the device
// list is made and the camera tried.
TEST(FileCameraDiscover, BrokenFilesAreNamedWithTheirReasonOnce) {
    TempFolder folder;
    const auto& files = TCaptureTestFiles::Get();
    const std::string missing = folder.Path() + "/missing.avi";
    const std::string empty = folder.Path() + "/empty.avi";
    const std::string text = folder.Path() + "/notes.avi";
    const std::string truncated = folder.Path() + "/truncated.avi";
    WriteFile(empty, "");
    WriteFile(text, "this is not a video at all\n");
    WriteFile(truncated, ReadFile(files.Webcam).substr(0, 600));
    LogCapture log;
    for (int round = 0; round < 2; ++round) {
        TFrameGrabCaptureGraph graph({missing, empty, text, truncated});
        int32_t count = 0;
        graph.GetSupportedDevicesCount(count);
        for (int32_t i = 0; i < count; ++i) {
            graph.ActivateMainGraph(i);
        }
    }
    const std::pair<std::string, const char*> expected[] = {
        {missing, "does not exist"}, {empty, "is empty"}, {text, "is not a video"}};
    const auto lines = log.Lines();
    for (const auto& [path, reason] : expected) {
        const std::string line = "Error in FileCamera::Discover - " + path + " " + reason + ".";
        EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << line;
    }
    // A cut-off file is named too. Its reason is the discoverer's, which now and then does not
    // see the demultiplexer's error and answers only at its time-out.
    const std::string prefix = "Error in FileCamera::Discover - " + truncated + " ";
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line == prefix + "is damaged or truncated." ||
               line == prefix + "cannot be inspected in time.";
    }));
}

// Redirects standard error into a file for its lifetime.
class TStandardErrorCapture {
public:
    TStandardErrorCapture()
        : FPath(std::filesystem::temp_directory_path() / "tandrel-stderr-XXXXXX") {
        std::string pattern = FPath.string();
        const int fd = mkstemp(pattern.data());
        FPath = pattern;
        std::fflush(stderr);
        FSaved = dup(2);
        dup2(fd, 2);
        close(fd);
    }
    ~TStandardErrorCapture() {
        Restore();
        std::filesystem::remove(FPath);
    }
    std::string Text() {
        Restore();
        return ReadFile(FPath.string());
    }

private:
    void Restore() {
        if (FSaved >= 0) {
            std::fflush(stderr);
            dup2(FSaved, 2);
            close(FSaved);
            FSaved = -1;
        }
    }
    std::filesystem::path FPath;
    int FSaved = -1;
};

// A stop pauses the graph before it ends it, and the sink may preroll a picture meanwhile. That
// picture belongs to the running stream: a stop hands on at most the frame already on its way,
// never the same picture again for every grid point since the file began. Stopped a few times,
// since the preroll happens only when a picture arrives during the pause.
TEST(FileCameraStop, AStopDeliversNoStaleFrames) {
    const auto& files = TCaptureTestFiles::Get();
    TFrameGrabCaptureGraph graph({files.Webcam});
    TFrameCounter frames;
    graph.SetNextFrameDataFunction(
        [&](uint8_t* data, int32_t size) { return frames.OnFrame(data, size); });
    graph.SetFrameTime(1'000'000);
    for (int stop = 0; stop < 4; ++stop) {
        SCOPED_TRACE(stop);
        ASSERT_EQ(graph.ActivateMainGraph(0), S_OK);
        ASSERT_EQ(graph.RenderOutput(), S_OK);
        ASSERT_TRUE(SUCCEEDED(graph.Play()));
        ASSERT_TRUE(frames.WaitFor(frames.Frames() + 12));
        const int beforeStop = frames.Frames();
        graph.Stop();
        EXPECT_LE(frames.Frames() - beforeStop, 1);
        graph.DeactivateMainGraph();
    }
}

// A file camera's decoder works one picture at a time: frame threading would hold a decoded
// picture per thread and hand each picture on that many frames late.
TEST(FileCameraDecoder, DecodesOnePictureAtATimeOnAtMostTwoThreads) {
    const auto& files = TCaptureTestFiles::Get();
    const std::string clip = files.Dir + "/h264.mp4";
    ASSERT_TRUE(TCaptureTestFiles::Run(
        "videotestsrc num-buffers=30 ! video/x-raw,width=320,height=240,framerate=10/1 ! "
        "x264enc speed-preset=ultrafast ! h264parse ! mp4mux ! filesink location=" +
        clip));
    TFrameGrabCaptureGraph graph({clip});
    TFrameCounter frames;
    graph.SetNextFrameDataFunction(
        [&](uint8_t* data, int32_t size) { return frames.OnFrame(data, size); });
    graph.SetFrameTime(1'000'000);
    int32_t count = 0;
    graph.GetSupportedDevicesCount(count);
    ASSERT_EQ(graph.ActivateMainGraph(count - 1), S_OK);  // the file, after the Test Pattern
    ASSERT_EQ(graph.RenderOutput(), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph.Play()));
    ASSERT_TRUE(frames.WaitFor(3));
    int decoders = 0;
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(graph.GraphBuilder()));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(element), "thread-type") != nullptr) {
            ++decoders;
            guint threadType = 0;
            gint maxThreads = 0;
            g_object_get(element, "thread-type", &threadType, "max-threads", &maxThreads, nullptr);
            EXPECT_EQ(threadType, 2u) << GST_ELEMENT_NAME(element);  // slice threading only
            EXPECT_EQ(maxThreads, 2) << GST_ELEMENT_NAME(element);
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    EXPECT_EQ(decoders, 1);
    graph.Stop();
    graph.DeactivateMainGraph();
}

// DV cameras, with sound and without, write nothing of their own to standard error while
// they run (libdv reports every frame without sound there).
TEST(FileCameraOutput, DVCamerasPrintNothingWhileTheyRun) {
    const auto& files = TCaptureTestFiles::Get();
    for (const std::string& file : {files.DV, files.DVVideo}) {
        TFrameCounter frames;
        TStandardErrorCapture output;
        {
            TFrameGrabCaptureGraph graph({file});
            graph.SetNextFrameDataFunction(
                [&](uint8_t* data, int32_t size) { return frames.OnFrame(data, size); });
            graph.SetFrameTime(1'000'000);
            int32_t count = 0;
            graph.GetSupportedDevicesCount(count);
            ASSERT_EQ(graph.ActivateMainGraph(count - 1), S_OK) << file;
            ASSERT_EQ(graph.RenderOutput(), S_OK) << file;
            ASSERT_TRUE(SUCCEEDED(graph.Play()));
            EXPECT_TRUE(frames.WaitFor(10)) << file;
            graph.Stop();
            graph.DeactivateMainGraph();
        }
        EXPECT_EQ(output.Text().find("no audio"), std::string::npos) << file;
    }
}

}  // namespace
