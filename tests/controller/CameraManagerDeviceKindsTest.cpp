// Every kind of camera through the whole chain: the camera selected in the controller, its
// picture shown at the size delivered, and a zone over moving content reporting motion. Each
// camera is a short file made here (scrolling colour bars), played as a file camera.
#include <gtest/gtest.h>

#include <QTest>

#include <atomic>
#include <cstdint>
#include <string>

#include "capture/CaptureDeviceDescription.h"
#include "capture/CaptureTestFiles.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "controller/CameraManagerTestSupport.h"
#include "controller/CameraPicture.h"
#include "platform/MediaFramework.h"
#include "zones/SelectorObjectManager.h"

namespace {

struct TKindCase {
    const char* Name;
    const char*
        Encoder;  // encoding and muxing into "filesink location=<file>"; nullptr: Test Pattern
    const char* Extension;
    int32_t DeviceType;
    int32_t Width;
    int32_t Height;
    int32_t Sensitivity = 95;
};

// Scrolling bars: every delivered frame differs from the last in far more than 5 % of its
// pixels.
constexpr const char* kBars = "videotestsrc pattern=smpte horizontal-speed=8 num-buffers=25 ! ";

class CameraManagerDeviceKindsTest : public CameraManagerFixture,
                                     public ::testing::WithParamInterface<TKindCase> {};

TEST_P(CameraManagerDeviceKindsTest, PictureShownAndMotionDetected) {
    const TKindCase& c = GetParam();
    ASSERT_TRUE(InitializeMediaFramework());
    if (c.Encoder != nullptr) {
        const std::string file = FHome.path().toStdString() + "/camera." + c.Extension;
        ASSERT_TRUE(TCaptureTestFiles::Run(std::string(kBars) + c.Encoder + " location=" + file))
            << c.Name;
        qputenv("TANDREL_TEST_PATTERN", "0");
        qputenv("TANDREL_FILE_CAMERAS", QByteArray::fromStdString(file));
    }
    // Simple mode: a zone reports motion when more than 100 - sensitivity percent of its
    // pixels changed.
    Store({{"CameraIndex", 0},
           {"FormatIndex", 0},
           {"MotionDetectionMode", 1},
           {"MotionDetectionSensitivity", c.Sensitivity},
           {"UseMotionDetectionVideoLogging", 0}});
    StoreZone(1, 0, 0, 100000, 100000, false);  // cut to the whole picture

    FManager = std::make_unique<TCameraManager>(FWindow.get(), 100);
    std::atomic<int> motions{0};
    FManager->SetZoneEventCallback([&](const TZoneEvent& event) {
        if (event.Kind == TZoneEvent::TKind::MotionStart) {
            ++motions;
        }
    });
    ASSERT_TRUE(FManager->InitializeCamera()) << c.Name;
    int32_t type = 0;
    FManager->FrameGrabCaptureGraph()->GetSupportedDeviceType(0, type);
    EXPECT_EQ(type, c.DeviceType) << c.Name;

    // The picture: frames of the selected size arrive and are shown.
    EXPECT_EQ(FManager->VideoWidth(), c.Width) << c.Name;
    EXPECT_EQ(FManager->VideoHeight(), c.Height) << c.Name;
    EXPECT_EQ(FManager->FramePreviewImage()->BitmapWidth(), c.Width) << c.Name;
    ASSERT_TRUE(QTest::qWaitFor([&] { return FManager->FrameCounter() > 5; }, 20000)) << c.Name;
    int32_t index = 0, width = 0, height = 0;
    int64_t interval = 0;
    FManager->FrameGrabCaptureGraph()->GetSelectedOutputType(index, width, height, interval);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(c.Width, c.Height)) << c.Name;

    // Detection over the moving picture.
    FManager->OnActivateClick();
    ASSERT_TRUE(FManager->Activated()) << c.Name;
    EXPECT_EQ(FManager->ActivateButton()->Caption(), "Deactivate");
    EXPECT_TRUE(QTest::qWaitFor([&] { return motions.load() > 0; }, 20000)) << c.Name;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return FManager->SelectorObjectManager()->GetSelectorObject(0)->Caption().endsWith(
                " %");
        },
        10000))
        << c.Name;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CameraManagerDeviceKindsTest,
    ::testing::Values(
        TKindCase{"DV",
                  "video/x-raw,format=I420,width=720,height=576,framerate=25/1 ! avenc_dvvideo ! "
                  "m. audiotestsrc num-buffers=25 samplesperbuffer=1920 ! "
                  "audio/x-raw,format=S16LE,rate=48000,channels=2 ! m. avmux_dv name=m ! filesink",
                  "dv", CaptureDeviceType_DV, 720, 576},
        TKindCase{"DVWithoutSound",
                  "video/x-raw,format=I420,width=720,height=576,framerate=25/1 ! avenc_dvvideo ! "
                  "avmux_dv ! filesink",
                  "dv", CaptureDeviceType_DVVideo, 720, 576},
        TKindCase{"TransportStream",
                  "video/x-raw,format=I420,width=352,height=288,framerate=25/1 ! mpeg2enc ! "
                  "mpegvideoparse ! mpegtsmux ! filesink",
                  "ts", CaptureDeviceType_HDV, 352, 288},
        TKindCase{"ProgramStream",
                  "video/x-raw,format=I420,width=352,height=288,framerate=25/1 ! mpeg2enc ! "
                  "mpegvideoparse ! mpegpsmux ! filesink",
                  "mpg", CaptureDeviceType_AnalogHW, 352, 288},
        TKindCase{"Webcam",
                  "video/x-raw,width=320,height=240,framerate=15/1 ! jpegenc ! avimux ! filesink",
                  "avi", CaptureDeviceType_Analog, 320, 240},
        // The ball covers less of the picture than the bars: more than 1 % is motion.
        TKindCase{"TestPattern", nullptr, "", CaptureDeviceType_Analog, 320, 240, 99}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
