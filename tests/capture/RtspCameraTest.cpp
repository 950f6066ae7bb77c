// RTSP network cameras against GStreamer's own RTSP server on 127.0.0.1: listed at the stream's
// size, their pictures delivered over UDP and over the interleaved TCP transport, and a refused
// password named clearly without the password.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureTestFiles.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "capture/NetworkCamera.h"
#include "support/LogCapture.h"
#include "support/RtspTestServer.h"
#include "support/ScopedEnvironment.h"

namespace {

using NetworkCamera::TNetworkCamera;
using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class RtspCameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!RtspTestServer::CanServe()) {
            GTEST_SKIP() << "x264enc, rtph264pay or an H.264 decoder is not installed";
        }
    }
    std::unique_ptr<TFrameGrabCaptureGraph> Graph(std::vector<TNetworkCamera> cameras) {
        return std::make_unique<TFrameGrabCaptureGraph>(
            VirtualDevices::TCameraSources{{}, std::move(cameras)});
    }
    TScopedEnvironment FNoPattern{"TANDREL_TEST_PATTERN", "0"};
};

// A stream served over UDP (the client's first choice) and one offered only interleaved in the
// RTSP connection (the client is refused UDP and asks again for TCP): each is a webcam of the
// stream's size whose pictures reach the frame callback.
TEST_F(RtspCameraTest, AStreamIsAWebcamOfItsSizeAndDeliversPictures) {
    struct {
        const char* Transport;
        bool TcpOnly;
    } const cases[] = {{"udp", false}, {"tcp", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Transport);
        RtspTestServer::TOptions options;
        options.Width = 352;
        options.Height = 288;
        options.TcpOnly = c.TcpOnly;
        RtspTestServer server(options);
        ASSERT_TRUE(server.Running());
        const std::string name = std::string("Door-") + c.Transport;
        const Clock::time_point listing = Clock::now();
        auto graph = Graph({{name, server.Url(), "", ""}});
        int32_t type = 0;
        graph->GetSupportedDeviceType(0, type);
        const long long listedMs = MillisecondsSince(listing);
        ASSERT_EQ(type, CaptureDeviceType_Analog);
        const std::string* text = nullptr;
        graph->GetSupportedDeviceFriendlyName(0, text);
        EXPECT_EQ(*text, name);
        graph->GetSupportedDeviceDisplayName(0, text);
        EXPECT_EQ(*text, "tandrel-network:" + server.Url());

        TFrameCounter frames;
        graph->SetNextFrameDataFunction(
            [&](uint8_t* data, int32_t size) { return frames.OnFrame(data, size); });
        graph->SetFrameTime(1'000'000);
        ASSERT_EQ(graph->ActivateMainGraph(0), S_OK);
        int32_t formats = 0;
        ASSERT_EQ(graph->GetOutputTypesCount(formats), S_OK);
        EXPECT_EQ(formats, 3);  // I420, YUY2 and RGB32 at the stream's size
        int32_t w = 0, h = 0;
        int64_t interval = 0;
        ASSERT_EQ(graph->GetOutputType(2, w, h, interval), S_OK);
        EXPECT_EQ(std::make_pair(w, h), std::make_pair(352, 288));
        EXPECT_NEAR(interval, 10'000'000 / 15.0, 1.0);  // the stream's own rate
        ASSERT_EQ(graph->SelectOutputType(2, w, h, interval), S_OK);
        ASSERT_EQ(graph->RenderOutput(), S_OK);
        const Clock::time_point playing = Clock::now();
        ASSERT_TRUE(SUCCEEDED(graph->Play()));
        ASSERT_TRUE(frames.WaitFor(1, std::chrono::seconds(30)));
        const long long firstPictureMs = MillisecondsSince(playing);
        EXPECT_TRUE(frames.WaitFor(10, std::chrono::seconds(30)));
        EXPECT_EQ(frames.LastSize(), 352 * 288 * 4);
        graph->Stop();
        graph->DeactivateMainGraph();
        EXPECT_GE(server.Connections(), 2);  // the look at the stream, then the camera itself
        std::printf("rtsp over %s: listed in %lld ms, first picture %lld ms after Play\n",
                    c.Transport, listedMs, firstPictureMs);
    }
}

// A camera whose password the server refuses (and one that gives none) is listed as
// unrecognised with a clear line that shows the user and "***"; the same camera with the right
// password is watched. No line carries either password.
TEST_F(RtspCameraTest, ARefusedPasswordIsAClearMessageWithoutThePassword) {
    RtspTestServer::TOptions options;
    options.User = "viewer";
    options.Password = "right-pass";
    RtspTestServer server(options);
    ASSERT_TRUE(server.Running());
    LogCapture log;
    auto graph = Graph({{"Gate", server.Url(), "viewer", "wrong-pass"},
                        {"Anonymous", server.Url(), "", ""},
                        {"Gate2", server.Url(), "viewer", "right-pass"}});
    const std::string at = "127.0.0.1:" + std::to_string(server.Port()) + "/cam) cannot be opened";
    struct {
        int32_t Index;
        int32_t Type;
        std::string Line;
    } const cases[] = {
        {0, CaptureDeviceType_Unrecognised,
         "Error in NetworkCamera::Probe - Gate (rtsp://viewer:***@" + at +
             ": the user name or password was refused."},
        {1, CaptureDeviceType_Unrecognised,
         "Error in NetworkCamera::Probe - Anonymous (rtsp://" + at +
             ": the user name or password was refused."},
        {2, CaptureDeviceType_Analog, ""},
    };
    for (const auto& c : cases) {
        int32_t type = 0;
        graph->GetSupportedDeviceType(c.Index, type);
        EXPECT_EQ(type, c.Type) << c.Index;
        if (!c.Line.empty()) {
            EXPECT_TRUE(log.Contains(c.Line)) << c.Line;
        }
    }
    EXPECT_EQ(graph->ActivateMainGraph(0), E_FAIL);

    TFrameCounter frames;
    graph->SetNextFrameDataFunction(
        [&](uint8_t* data, int32_t size) { return frames.OnFrame(data, size); });
    graph->SetFrameTime(1'000'000);
    ASSERT_EQ(graph->ActivateMainGraph(2), S_OK);
    ASSERT_EQ(graph->RenderOutput(), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph->Play()));
    EXPECT_TRUE(frames.WaitFor(5, std::chrono::seconds(30)));
    graph->Stop();
    graph->DeactivateMainGraph();
    for (const std::string& line : log.Lines()) {
        EXPECT_EQ(line.find("wrong-pass"), std::string::npos) << line;
        EXPECT_EQ(line.find("right-pass"), std::string::npos) << line;
    }
}

}  // namespace
