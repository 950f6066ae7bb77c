// The Test Pattern source: live pictures time-stamped like a camera's, drawing only the frames
// its taker's frame time uses, with the ball where the frame numbers of the format put it.
#include "capture/TestPatternSource.h"

#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/TestPatternPicture.h"
#include "platform/MediaFramework.h"

namespace {

struct TPulled {
    GstClockTime Pts;
    GstClockTime Duration;
    guint64 Offset;
    std::vector<uint8_t> Bytes;
};

// Pulls `count` pictures of a 64 x 48 YUY2 format at `fps` from a source whose frame time is
// `frameTime` (100-ns units), and the latency the source reports.
std::vector<TPulled> Pull(int fps, gint64 frameTime, int count, GstClockTime* latency = nullptr) {
    EXPECT_TRUE(InitializeMediaFramework());
    EXPECT_TRUE(TestPatternSource::Register());
    const std::string description =
        std::string(TestPatternSource::kFactoryName) +
        " name=pattern frame-time=" + std::to_string(frameTime) +
        " ! video/x-raw,format=YUY2,width=64,height=48,framerate=" + std::to_string(fps) +
        "/1 ! appsink name=out";
    GError* error = nullptr;
    TGstElementHandle pipeline =
        TGstElementHandle::Adopt(gst_parse_launch(description.c_str(), &error));
    if (error != nullptr) {
        ADD_FAILURE() << error->message;
        g_error_free(error);
        return {};
    }
    TGstElementHandle sink =
        TGstElementHandle::Adopt(gst_bin_get_by_name(GST_BIN(pipeline.Get()), "out"));
    gst_element_set_state(pipeline.Get(), GST_STATE_PLAYING);
    std::vector<TPulled> pulled;
    while (static_cast<int>(pulled.size()) < count) {
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink.Get()), 5 * GST_SECOND);
        if (sample == nullptr) {
            ADD_FAILURE() << "no picture within 5 s";
            break;
        }
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        TPulled p{
            GST_BUFFER_PTS(buffer), GST_BUFFER_DURATION(buffer), GST_BUFFER_OFFSET(buffer), {}};
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            p.Bytes.assign(map.data, map.data + map.size);
            gst_buffer_unmap(buffer, &map);
        }
        pulled.push_back(std::move(p));
        gst_sample_unref(sample);
    }
    if (latency != nullptr) {
        GstQuery* query = gst_query_new_latency();
        gboolean live = FALSE;
        *latency = GST_CLOCK_TIME_NONE;
        TGstElementHandle pattern =
            TGstElementHandle::Adopt(gst_bin_get_by_name(GST_BIN(pipeline.Get()), "pattern"));
        if (pattern && gst_element_query(pattern.Get(), query)) {
            gst_query_parse_latency(query, &live, latency, nullptr);
        }
        EXPECT_TRUE(live);
        gst_query_unref(query);
    }
    gst_element_set_state(pipeline.Get(), GST_STATE_NULL);
    return pulled;
}

}  // namespace

// Each picture lasts the smallest whole number of the format's frames that covers the frame
// time; the ball is where that frame number puts it, and times follow the frame numbers.
TEST(TestPatternSource, DrawsOnlyTheFramesTheFrameTimeUses) {
    struct TCase {
        int Fps;
        gint64 FrameTime;  // 100-ns units
        guint64 Step;      // frames of the format per picture
    } const cases[] = {
        {30, 1'000'000, 3},  // the program's grid: ten a second from a 30 fps format
        {30, 0, 1},          // no frame time: every frame
        {30, 100'000, 1},    // a frame time shorter than the format's
        {15, 1'000'000, 2},  // 15 fps: every other frame, 7.5 a second
        {10, 1'000'000, 1},  // the grid's own rate
        {30, 1'500'000, 5},  // 150 ms: five 33 ms frames cover it
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Fps) + " fps, frame time " + std::to_string(c.FrameTime));
        GstClockTime latency = 0;
        const std::vector<TPulled> pictures = Pull(c.Fps, c.FrameTime, 4, &latency);
        ASSERT_EQ(pictures.size(), 4u);
        const GstClockTime picture = gst_util_uint64_scale(c.Step, GST_SECOND, c.Fps);
        EXPECT_EQ(latency, picture);
        for (size_t i = 0; i < pictures.size(); ++i) {
            const guint64 frame = i * c.Step;
            EXPECT_EQ(pictures[i].Offset, frame);
            // A live source's times count from its first picture (the base source adds the
            // running time at which that one was made).
            const GstClockTime start = gst_util_uint64_scale(frame, GST_SECOND, c.Fps);
            EXPECT_EQ(pictures[i].Pts - pictures[0].Pts, start);
            EXPECT_EQ(pictures[i].Duration,
                      gst_util_uint64_scale(frame + c.Step, GST_SECOND, c.Fps) - start);
            std::vector<uint8_t> expected(64 * 48 * 2);
            DrawTestPatternFrame(expected.data(), 64 * 2, 64, 48, TTestPatternFormat::Yuy2,
                                 static_cast<int64_t>(frame));
            EXPECT_EQ(pictures[i].Bytes, expected) << "picture " << i;
        }
    }
}
