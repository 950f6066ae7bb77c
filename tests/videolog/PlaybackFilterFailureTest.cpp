#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/LogCapture.h"
#include "videolog/PlaybackFilter.h"
#include "videolog/PlaybackFilterTestSupport.h"

using namespace PlaybackTest;

namespace {

// How many of this process's open descriptors point at `path`.
int OpenDescriptorsOf(const std::string& path) {
    int count = 0;
    std::error_code error;
    const auto target = std::filesystem::weakly_canonical(path, error);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code ignored;
        if (std::filesystem::read_symlink(entry.path(), ignored) == target) {
            ++count;
        }
    }
    return count;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

}  // namespace

// Nothing but the set-up calls works before a file is rendered, and nothing crashes.
TEST(PlaybackFilterFailure, OperationsBeforeAFileIsRenderedFail) {
    TPlaybackFilter filter;
    int64_t value = 0;
    uint32_t count = 0;
    uint32_t program = 0;
    uint32_t pid = 0;
    TPlaybackVideoWindow* window = nullptr;
    TPCMVolumeControl* volume = nullptr;
    const std::pair<const char*, std::function<HRESULT()>> operations[] = {
        {"GetDuration", [&] { return filter.GetDuration(value); }},
        {"GetPosition", [&] { return filter.GetPosition(value); }},
        {"Play", [&] { return filter.Play(); }},
        {"Pause", [&] { return filter.Pause(); }},
        {"Stop", [&] { return filter.Stop(); }},
        {"GetVideoWindowsCount", [&] { return filter.GetVideoWindowsCount(count); }},
        {"GetVideoWindow", [&] { return filter.GetVideoWindow(0, window, program, pid); }},
        {"GetAvgTimePerFrame", [&] { return filter.GetAvgTimePerFrame(value); }},
        {"SetPosition", [&] { return filter.SetPosition(0); }},
        {"StepFrames", [&] { return filter.StepFrames(1, 0); }},
        {"GetPCMVolumeControlsCount", [&] { return filter.GetPCMVolumeControlsCount(count); }},
        {"GetPCMVolumeControlInterface",
         [&] { return filter.GetPCMVolumeControlInterface(0, volume, count, pid); }},
    };
    for (int round = 0; round < 2; ++round) {
        for (const auto& [name, call] : operations) {
            const HRESULT hr = call();
            EXPECT_TRUE(hr == E_FAIL || hr == E_UNEXPECTED) << name << " answered " << hr;
        }
        // The set-up calls answer, and after an eject everything fails as before.
        EXPECT_EQ(filter.InitializeGraph(), S_OK);
        EXPECT_EQ(filter.SetMediaAnalysis(0, true), S_OK);
        EXPECT_EQ(filter.AddPreferredFilter(0, GUID_NULL), S_OK);
        EXPECT_EQ(filter.EjectFile(), S_OK);
        EXPECT_FALSE(filter.EndOfStream());
        EXPECT_FALSE(filter.ErrorReported());
    }
}

// Files that cannot play fail quickly with one line and leave nothing open or running.
TEST(PlaybackFilterFailure, FilesThatCannotPlayFailQuicklyAndLeaveNothingOpen) {
    TempFolder folder;
    struct TCase {
        const char* What;
        std::function<std::string()> Make;
    };
    const TCase cases[] = {
        {"missing file", [&] { return folder.Path() + "/missing.wmv"; }},
        {"zero bytes", [&] { return folder.Write("empty.wmv", ""); }},
        {"a folder", [&] { return folder.MakeFolder("folder.wmv"); }},
        {"text renamed .wmv",
         [&] {
             std::string text;
             for (int i = 0; i < 200; ++i) {
                 text += "This is a plain text file, line " + std::to_string(i) + ".\n";
             }
             return folder.Write("text.wmv", text);
         }},
        {"garbage over the header",
         [&] {
             const std::string file = CopyOf(TFile::OwnRecording, folder, "garbage.wmv");
             PlaybackTestFiles::OverwriteHeader(file, 8192);
             return file;
         }},
    };
    for (const auto& c : cases) {
        const std::string file = c.Make();
        LogCapture log;
        TPlaybackFilter filter;
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(filter.RenderFile(file), E_FAIL) << c.What;
        EXPECT_LT(SecondsSince(started), 5.0) << c.What << ": no waiting for the time-out";
        uint32_t count = 0;
        EXPECT_EQ(filter.GetVideoWindowsCount(count), E_FAIL) << c.What;
        EXPECT_EQ(OpenDescriptorsOf(file), 0) << c.What << ": the file is closed again";
        const auto lines = log.Lines();
        ASSERT_FALSE(lines.empty()) << c.What;
        EXPECT_TRUE(StartsWith(lines.back(), "Error in TPlaybackFilter.RenderFile - ")) << lines.back();
        EXPECT_EQ(filter.EjectFile(), S_OK);
    }
}

TEST(PlaybackFilterFailure, AnUnreadableFileFails) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not restrict root";
    }
    TempFolder folder;
    const std::string file = CopyOf(TFile::OwnRecording, folder, "locked.wmv");
    std::filesystem::permissions(file, std::filesystem::perms::none);
    TPlaybackFilter filter;
    EXPECT_EQ(filter.RenderFile(file), E_FAIL);
}

// A file cut in half plays what it holds and ends; the end reads as position == duration.
TEST(PlaybackFilterFailure, AFileCutInHalfPlaysWhatItHolds) {
    const TFile files[] = {TFile::OwnRecording, TFile::ToneVideo, TFile::TwoPrograms};
    for (const TFile kind : files) {
        TempFolder folder;
        const std::string file = CopyOf(kind, folder, "cut");
        ASSERT_TRUE(PlaybackTestFiles::CutInHalf(file));
        SCOPED_TRACE(FileOf(kind));
        TFrameLog frames;
        TPlaybackFilter filter;
        ASSERT_EQ(filter.RenderFile(file), S_OK);
        Window(filter, 0)->SetFrameCallback(frames.Callback());
        const int64_t duration = Duration(filter);
        EXPECT_GT(duration, 0);
        ASSERT_EQ(filter.Play(), S_OK);
        EXPECT_TRUE(WaitUntil([&] { return filter.EndOfStream(); }, std::chrono::seconds(30)));
        EXPECT_GT(frames.Count(), 3u) << "the first half plays";
        EXPECT_EQ(Position(filter), Duration(filter));
        EXPECT_EQ(filter.EjectFile(), S_OK);
    }
}

// A file deleted while it plays: playback goes on or ends, nothing hangs or crashes.
TEST(PlaybackFilterFailure, AFileDeletedWhilePlayingEndsCleanly) {
    TempFolder folder;
    const std::string file = CopyOf(TFile::OwnRecording, folder, "deleted.wmv");
    TPlaybackFilter filter;
    ASSERT_EQ(filter.RenderFile(file), S_OK);
    ASSERT_EQ(filter.Play(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return Position(filter) > kSecond / 4; }));
    ASSERT_TRUE(std::filesystem::remove(file));
    EXPECT_TRUE(WaitUntil([&] { return filter.EndOfStream(); }, std::chrono::seconds(30)));
    EXPECT_EQ(Position(filter), Duration(filter));
    EXPECT_EQ(filter.SetPosition(0), S_OK) << "the open file still seeks";
    EXPECT_EQ(filter.EjectFile(), S_OK);
    EXPECT_EQ(filter.RenderFile(file), E_FAIL) << "and is gone afterwards";
}

// An error reported by the pipeline (a decoder failing, a disk going away) is remembered,
// ends playback (position == duration, so the host stops) and is logged once; a seek starts
// over.
TEST(PlaybackFilterFailure, AStreamErrorEndsPlaybackAndIsLoggedOnce) {
    TPlaybackFilter filter;
    ASSERT_EQ(filter.RenderFile(FileOf(TFile::ToneVideo)), S_OK);
    ASSERT_EQ(filter.Play(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return Position(filter) > kSecond / 4; }));
    LogCapture log;
    TGstElementHandle renderer = Window(filter, 0)->Renderer();
    for (int i = 0; i < 3; ++i) {
        GError* error = g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE,
                                            "Could not decode stream.");
        gst_element_post_message(
            renderer.Get(), gst_message_new_error(GST_OBJECT(renderer.Get()), error, nullptr));
        g_error_free(error);
    }
    EXPECT_TRUE(filter.ErrorReported());
    EXPECT_TRUE(filter.EndOfStream());
    EXPECT_EQ(Position(filter), Duration(filter));
    EXPECT_EQ(log.Lines(), std::vector<std::string>{
                               "Error in TPlaybackFilter.OnBusMessage - Could not decode stream."});

    ASSERT_EQ(filter.Pause(), S_OK);
    ASSERT_EQ(filter.SetPosition(0), S_OK);
    EXPECT_FALSE(filter.ErrorReported());
    EXPECT_FALSE(filter.EndOfStream());
    EXPECT_EQ(Position(filter), 0);
}

// The wait pump may run the host's event loop, which may call in again: calls that would
// change the pipeline under the waiting one are refused, reading calls answer.
TEST(PlaybackFilterFailure, CallsFromInsideTheWaitPumpCannotPullThePipelineAway) {
    TPlaybackFilter filter;
    ASSERT_EQ(filter.RenderFile(FileOf(TFile::OwnRecording)), S_OK);
    // A renderer that takes 100 ms per picture makes every preroll wait several slices.
    TGstPadHandle rendererIn = TGstPadHandle::Adopt(
        gst_element_get_static_pad(Window(filter, 0)->Renderer().Get(), "sink"));
    gst_pad_add_probe(
        rendererIn.Get(), GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return GST_PAD_PROBE_OK;
        },
        nullptr, nullptr);
    int pumped = 0;
    std::vector<std::pair<const char*, HRESULT>> refused;
    std::vector<HRESULT> answered;
    filter.SetWaitPump([&] {
        ++pumped;
        refused.emplace_back("EjectFile", filter.EjectFile());
        refused.emplace_back("InitializeGraph", filter.InitializeGraph());
        refused.emplace_back("RenderFile", filter.RenderFile(FileOf(TFile::OwnRecording)));
        refused.emplace_back("SetPosition", filter.SetPosition(0));
        refused.emplace_back("StepFrames", filter.StepFrames(1, 0));
        refused.emplace_back("Play", filter.Play());
        refused.emplace_back("Pause", filter.Pause());
        refused.emplace_back("Stop", filter.Stop());
        int64_t position = 0;
        answered.push_back(filter.GetPosition(position));
        answered.push_back(filter.GetDuration(position));
    });
    ASSERT_EQ(filter.SetPosition(kSecond / 2), S_OK);
    ASSERT_EQ(filter.StepFrames(1, 0), S_OK);
    EXPECT_GT(pumped, 2) << "the waits pump while the pictures take their time";
    for (const auto& [name, hr] : refused) {
        EXPECT_EQ(hr, E_UNEXPECTED) << name;
    }
    for (const HRESULT hr : answered) {
        EXPECT_EQ(hr, S_OK);
    }
    EXPECT_NEAR(Seconds(Position(filter)), 0.6, 0.001) << "the waiting calls did their work";
    filter.SetWaitPump(nullptr);
    EXPECT_EQ(filter.EjectFile(), S_OK);
}
