// RTSP network cameras in the controller, watched end to end from GStreamer's own RTSP server on
// 127.0.0.1 serving a moving ball as H.264: named in TANDREL_NETWORK_CAMERAS, selected, the
// picture shown at the stream's size and a zone over the ball reporting motion.
#include <gtest/gtest.h>

#include <QTest>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "capture/CaptureDeviceDescription.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "controller/CameraManagerTestSupport.h"
#include "controller/CameraPicture.h"
#include "platform/MediaFramework.h"
#include "support/LogCapture.h"
#include "support/RtspTestServer.h"

namespace {

using Clock = std::chrono::steady_clock;

class CameraManagerRtspCameraTest : public CameraManagerFixture {
protected:
    void SetUp() override {
        CameraManagerFixture::SetUp();
        ASSERT_TRUE(InitializeMediaFramework());
        if (!RtspTestServer::CanServe()) {
            GTEST_SKIP() << "x264enc, rtph264pay or an H.264 decoder is not installed";
        }
        Remember("TANDREL_NETWORK_CAMERAS");
        qputenv("TANDREL_TEST_PATTERN", "0");
        // Simple mode: a zone reports motion when more than 1 % of its pixels changed (the ball
        // covers a small part of the picture).
        Store({{"CameraIndex", 0},
               {"FormatIndex", 0},
               {"MotionDetectionMode", 1},
               {"MotionDetectionSensitivity", 99},
               {"UseMotionDetectionVideoLogging", 0}});
        StoreZone(1, 0, 0, 100000, 100000, false);  // cut to the whole picture
    }
    void UseCamera(const std::string& entry) {
        qputenv("TANDREL_NETWORK_CAMERAS", QByteArray::fromStdString(entry));
    }
};

// Served over UDP, offered only interleaved over TCP, behind a user name and password, and as
// JPEG pictures (MJPEG over RTSP): each is listed as a webcam of the stream's size, its picture
// shows and a zone over the moving ball reports motion. No log line carries the password.
TEST_F(CameraManagerRtspCameraTest, ACameraIsWatchedAndItsZoneDetectsMotion) {
    struct {
        const char* Name;
        bool TcpOnly;
        const char* User;
        const char* Password;
        bool Mjpeg;
    } const cases[] = {
        {"Porch", false, "", "", false},
        {"Interleaved", true, "", "", false},
        {"Locked", false, "viewer", "pa55word", false},
        {"Pictures", false, "", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        RtspTestServer::TOptions options;
        options.User = c.User;
        options.Password = c.Password;
        options.TcpOnly = c.TcpOnly;
        options.Mjpeg = c.Mjpeg;
        RtspTestServer server(options);
        ASSERT_TRUE(server.Running());
        const std::string credentials =
            c.User[0] != '\0' ? std::string(c.User) + ":" + c.Password + "@" : "";
        UseCamera(std::string(c.Name) + "=rtsp://" + credentials +
                  "127.0.0.1:" + std::to_string(server.Port()) + "/cam");
        LogCapture log;
        const Clock::time_point start = Clock::now();
        FManager = std::make_unique<TCameraManager>(FWindow.get(), 100);
        std::atomic<int> motions{0};
        FManager->SetZoneEventCallback([&](const TZoneEvent& event) {
            if (event.Kind == TZoneEvent::TKind::MotionStart) {
                ++motions;
            }
        });
        ASSERT_TRUE(FManager->InitializeCamera()) << ::testing::PrintToString(log.Lines());
        const std::string* text = nullptr;
        FManager->FrameGrabCaptureGraph()->GetSupportedDeviceFriendlyName(0, text);
        EXPECT_EQ(*text, c.Name);
        FManager->FrameGrabCaptureGraph()->GetSupportedDeviceDevicePath(0, text);
        EXPECT_EQ(*text, server.Url());
        int32_t type = 0;
        FManager->FrameGrabCaptureGraph()->GetSupportedDeviceType(0, type);
        EXPECT_EQ(type, CaptureDeviceType_Analog);

        ASSERT_TRUE(QTest::qWaitFor([&] { return FManager->FrameCounter() > 0; }, 30000));
        EXPECT_EQ(FManager->FramePreviewImage()->BitmapWidth(), 320);
        EXPECT_EQ(FManager->FramePreviewImage()->BitmapHeight(), 240);
        const auto firstPicture =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        ASSERT_TRUE(QTest::qWaitFor([&] { return FManager->FrameCounter() > 5; }, 30000));
        // The picture is the served one: a light ball on a black ground.
        const QImage picture = FManager->FramePreviewImage()->Snapshot();
        int light = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                light += qGray(picture.pixel(x, y)) > 128 ? 1 : 0;
            }
        }
        EXPECT_GT(light, 20);
        EXPECT_LT(light, picture.width() * picture.height() / 4);

        FManager->OnActivateClick();
        ASSERT_TRUE(FManager->Activated());
        EXPECT_TRUE(QTest::qWaitFor([&] { return motions.load() > 0; }, 30000));
        FManager.reset();
        if (c.Password[0] != '\0') {
            for (const std::string& line : log.Lines()) {
                EXPECT_EQ(line.find(c.Password), std::string::npos) << line;
            }
        }
        std::printf(
            "%s: first picture %lld ms after the controller was made (stream looked at, then "
            "watched)\n",
            c.Name, static_cast<long long>(firstPicture.count()));
    }
}

// A refused password: the camera is named with the reason and cannot be started (it is watched
// as a lost camera), and neither the wrong nor the right password reaches any line.
TEST_F(CameraManagerRtspCameraTest, ARefusedPasswordIsAClearMessage) {
    RtspTestServer::TOptions options;
    options.User = "viewer";
    options.Password = "right-pass";
    RtspTestServer server(options);
    ASSERT_TRUE(server.Running());
    const std::string address = "127.0.0.1:" + std::to_string(server.Port()) + "/cam";
    UseCamera("Gate=rtsp://viewer:wrong-pass@" + address);
    LogCapture log;
    FManager = std::make_unique<TCameraManager>(FWindow.get(), 100);
    EXPECT_TRUE(FManager->InitializeCamera());
    EXPECT_TRUE(QTest::qWaitFor([&] { return FManager->CameraLost(); }, 20000));
    EXPECT_TRUE(log.Contains("Error in NetworkCamera::Probe - Gate (rtsp://viewer:***@" + address +
                             ") cannot be opened: the user name or password was refused."));
    EXPECT_TRUE(
        log.Contains("Error in TCameraManager.InitializeCamera - camera 0, \"Gate\" "
                     "(rtsp://" +
                     address + "), cannot be started."));
    FManager.reset();
    for (const std::string& line : log.Lines()) {
        EXPECT_EQ(line.find("wrong-pass"), std::string::npos) << line;
        EXPECT_EQ(line.find("right-pass"), std::string::npos) << line;
    }
}

// The camera's server goes away (a camera rebooting) and comes back on the same address: the
// camera is reported lost, stays lost while the server is away, and is watched again once the
// server answers.
TEST_F(CameraManagerRtspCameraTest, AServerThatStopsAndComesBackIsWatchedAgain) {
    auto server = std::make_unique<RtspTestServer>(RtspTestServer::TOptions{});
    ASSERT_TRUE(server->Running());
    RtspTestServer::TOptions again;
    again.Port = server->Port();
    UseCamera("Porch=" + server->Url());
    FManager = std::make_unique<TCameraManager>(FWindow.get(), 100);
    ASSERT_TRUE(FManager->InitializeCamera());
    auto framesFlow = [&] {
        const int64_t from = FManager->FrameCounter();
        return QTest::qWaitFor([&] { return FManager->FrameCounter() > from + 5; }, 60000);
    };
    ASSERT_TRUE(framesFlow());

    LogCapture log;
    server.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return FManager->CameraLost(); }, 60000));
    // While the server is away every attempt fails: the camera stays lost, never "back".
    QTest::qWait(8000);
    EXPECT_TRUE(FManager->CameraLost());
    EXPECT_FALSE(log.Contains("TCameraManager.WatchCamera - camera 0 is back."))
        << ::testing::PrintToString(log.Lines());
    server = std::make_unique<RtspTestServer>(again);
    ASSERT_TRUE(server->Running());
    ASSERT_EQ(server->Port(), again.Port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !FManager->CameraLost(); }, 90000))
        << ::testing::PrintToString(log.Lines());
    EXPECT_TRUE(framesFlow());
    EXPECT_TRUE(log.Contains("TCameraManager.WatchCamera - camera 0 is back."));
}

}  // namespace
