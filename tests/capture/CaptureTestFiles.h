#pragma once

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

// Media files that act as cameras, made once per test run with the installed encoders in a
// fresh folder under /tmp, which is removed with everything in it when the test program ends.
struct TCaptureTestFiles {
    std::string Dir;
    std::string DV;        // raw DV stream with sound, PAL 720 x 576 at 25 frames per second
    std::string DVVideo;   // raw DV stream without sound, PAL 720 x 576
    std::string HDV;       // MPEG-2 transport stream, video on PID 0x810, 352 x 288
    std::string AnalogHW;  // MPEG-2 program stream, 352 x 288
    std::string Webcam;    // MJPEG in AVI, 320 x 240 at 15 frames per second
    std::string Text;      // no video at all

    static const TCaptureTestFiles& Get() {
        static const TCaptureTestFiles files = Make();
        return files;
    }

    // Runs a gst-launch description that writes a file, to its end (at most a minute).
    static bool Run(const std::string& description) {
        GError* error = nullptr;
        GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
        if (pipeline == nullptr || error != nullptr) {
            g_clear_error(&error);
            return false;
        }
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        GstBus* bus = gst_element_get_bus(pipeline);
        GstMessage* msg = gst_bus_timed_pop_filtered(
            bus, 60 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        const bool ok = msg != nullptr && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
        if (msg != nullptr) {
            gst_message_unref(msg);
        }
        gst_object_unref(bus);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
        return ok;
    }

private:
    // Owns the folder for the whole run: a function-local static, so it is destroyed (and the
    // folder removed) at program exit, after every test.
    struct TFolderOwner {
        std::string Dir;
        TFolderOwner() = default;
        TFolderOwner(const TFolderOwner&) = delete;
        TFolderOwner& operator=(const TFolderOwner&) = delete;
        ~TFolderOwner() {
            if (!Dir.empty()) {
                std::error_code ignored;
                std::filesystem::remove_all(Dir, ignored);
            }
        }
    };
    static TFolderOwner& FolderOwner() {
        static TFolderOwner owner;
        return owner;
    }

    static TCaptureTestFiles Make() {
        TCaptureTestFiles f;
        char dirTemplate[] = "/tmp/tandrel-capture-XXXXXX";
        const char* dir = mkdtemp(dirTemplate);
        EXPECT_NE(dir, nullptr) << "cannot create a folder under /tmp";
        if (dir == nullptr) {
            return f;
        }
        f.Dir = dir;
        FolderOwner().Dir = f.Dir;
        f.DV = f.Dir + "/camcorder.dv";
        f.DVVideo = f.Dir + "/silent.dv";
        f.HDV = f.Dir + "/hdv.ts";
        f.AnalogHW = f.Dir + "/encoder.mpg";
        f.Webcam = f.Dir + "/webcam.avi";
        f.Text = f.Dir + "/notes.txt";
        EXPECT_TRUE(
            Run("videotestsrc num-buffers=25 ! video/x-raw,format=I420,width=720,"
                "height=576,framerate=25/1,pixel-aspect-ratio=16/15 ! avenc_dvvideo ! m. "
                "audiotestsrc num-buffers=25 samplesperbuffer=1920 ! audio/x-raw,format=S16LE,"
                "rate=48000,channels=2 ! m. avmux_dv name=m ! filesink location=" +
                f.DV));
        EXPECT_TRUE(
            Run("videotestsrc num-buffers=25 ! video/x-raw,format=I420,width=720,"
                "height=576,framerate=25/1,pixel-aspect-ratio=16/15 ! avenc_dvvideo ! "
                "avmux_dv ! filesink location=" +
                f.DVVideo));
        EXPECT_TRUE(
            Run("videotestsrc num-buffers=25 ! video/x-raw,format=I420,width=352,"
                "height=288,framerate=25/1 ! mpeg2enc ! mpegvideoparse ! m.sink_2064 "
                "mpegtsmux name=m ! filesink location=" +
                f.HDV));
        EXPECT_TRUE(
            Run("videotestsrc num-buffers=25 ! video/x-raw,format=I420,width=352,"
                "height=288,framerate=25/1 ! mpeg2enc ! mpegvideoparse ! mpegpsmux ! "
                "filesink location=" +
                f.AnalogHW));
        EXPECT_TRUE(
            Run("videotestsrc num-buffers=15 ! video/x-raw,width=320,height=240,"
                "framerate=15/1 ! jpegenc ! avimux ! filesink location=" +
                f.Webcam));
        FILE* text = std::fopen(f.Text.c_str(), "w");
        if (text != nullptr) {
            std::fputs("not a video\n", text);
            std::fclose(text);
        }
        return f;
    }
};

// Counts the frames a capture graph delivers; the wait ends as soon as enough have come.
class TFrameCounter {
public:
    bool OnFrame(uint8_t* data, int32_t size) {
        std::lock_guard lock(FMutex);
        ++FFrames;
        FLastSize = size;
        FLastData = data;
        FChanged.notify_all();
        return true;
    }
    bool WaitFor(int frames, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        std::unique_lock lock(FMutex);
        return FChanged.wait_for(lock, timeout, [&] { return FFrames >= frames; });
    }
    int Frames() {
        std::lock_guard lock(FMutex);
        return FFrames;
    }
    int32_t LastSize() {
        std::lock_guard lock(FMutex);
        return FLastSize;
    }

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    int FFrames = 0;
    int32_t FLastSize = 0;
    uint8_t* FLastData = nullptr;
};
