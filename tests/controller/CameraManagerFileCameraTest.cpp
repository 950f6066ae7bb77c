// File cameras named in the settings, and a broken one named when it cannot be started.
#include <gtest/gtest.h>

#include <QSettings>

#include <string>
#include <vector>

#include "capture/CameraSourceSettings.h"
#include "capture/CaptureTestFiles.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "controller/CameraManagerTestSupport.h"
#include "platform/MediaFramework.h"
#include "support/LogCapture.h"

namespace {

class CameraManagerFileCameraTest : public CameraManagerFixture {
protected:
    void SetUp() override {
        CameraManagerFixture::SetUp();
        ASSERT_TRUE(InitializeMediaFramework());
        qputenv("TANDREL_TEST_PATTERN", "0");
    }
    static void StoreFileCameras(const QString& list) {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           "Vantrelle Media Solutions", "Tandrel");
        settings.setValue("FileCameras", list);
        settings.sync();
    }
};

TEST_F(CameraManagerFileCameraTest, SettingsListComesFirstThenTheEnvironmentEachPathOnce) {
    StoreFileCameras("/a/one.avi::/b/two.ts");
    qputenv("TANDREL_FILE_CAMERAS", "/b/two.ts:/c/three.mpg");
    EXPECT_EQ(CameraSourceSettings::FileCameras(),
              (std::vector<std::string>{"/a/one.avi", "/b/two.ts", "/c/three.mpg"}));
}

TEST_F(CameraManagerFileCameraTest, AFileCameraFromTheSettingsIsWatched) {
    const auto& files = TCaptureTestFiles::Get();
    StoreFileCameras(QString::fromStdString(files.Webcam));
    ASSERT_TRUE(Start());
    int32_t count = 0;
    FManager->FrameGrabCaptureGraph()->GetSupportedDevicesCount(count);
    ASSERT_EQ(count, 1);
    const std::string* name = nullptr;
    FManager->FrameGrabCaptureGraph()->GetSupportedDeviceFriendlyName(0, name);
    EXPECT_EQ(*name, "webcam.avi");
    EXPECT_EQ(FManager->VideoWidth(), 320);
}

TEST_F(CameraManagerFileCameraTest, ABrokenFileCameraIsNamedWithItsReason) {
    const std::string missing = FHome.path().toStdString() + "/gone.avi";
    qputenv("TANDREL_FILE_CAMERAS", QByteArray::fromStdString(missing));
    LogCapture log;
    // The controller runs and watches for the file (a share not mounted yet).
    EXPECT_TRUE(Start());
    EXPECT_TRUE(FManager->CameraLost());
    const auto lines = log.Lines();
    const std::string reason = "Error in FileCamera::Discover - " + missing + " does not exist.";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), reason), 1);
    EXPECT_TRUE(log.Contains("Error in TCameraManager.InitializeCamera - camera 0, \"gone.avi\" (" +
                             missing + "), cannot be started."));
    EXPECT_FALSE(log.Contains("TCameraManager.InitializeCamera - the camera offers no format."));
}

}  // namespace
