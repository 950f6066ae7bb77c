// The cameras of the settings file as a fresh start of the real program finds them: network
// cameras named in the settings file and in TANDREL_NETWORK_CAMERAS, served on 127.0.0.1 as
// MJPEG over HTTP and as H.264 over RTSP; lists typed by hand; the file's privacy.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "capture/CaptureTestFiles.h"
#include "platform/MediaFramework.h"
#include "shell/HeadlessRunFixture.h"
#include "support/MjpegHttpServer.h"
#include "support/RtspTestServer.h"

namespace {

class CameraSettingsStartTest : public HeadlessRunTest {
protected:
    void SetUp() override {
        HeadlessRunTest::SetUp();
        FEnvironment.insert("TANDREL_TEST_PATTERN", "0");
        FEnvironment.remove("TANDREL_NETWORK_CAMERAS");
    }

    static const std::vector<std::string>& Frames() {
        static const std::vector<std::string> frames = MjpegHttpServer::MakeFrames(320, 240, 20);
        return frames;
    }

    QString Folder() const { return FHome.path() + "/config/Vantrelle Media Solutions"; }

    // The settings file as a person writes it before the first start.
    void WriteSettings(const QByteArray& text) {
        ASSERT_TRUE(QDir().mkpath(Folder()));
        QFile file(SettingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    static unsigned Mode(const QString& path) {
        struct stat status {};
        EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0) << path.toStdString();
        return status.st_mode & 07777;
    }

    static std::vector<QJsonObject> Events(const QByteArray& output) {
        std::vector<QJsonObject> events;
        for (const QByteArray& line : output.split('\n')) {
            const QJsonDocument document = QJsonDocument::fromJson(line);
            if (document.isObject()) {
                events.push_back(document.object());
            }
        }
        return events;
    }
};

// Every way of naming a network camera reaches a freshly started program: the camera list shows
// each with its stream's size, and a headless run watches the one named on the command line.
TEST_F(CameraSettingsStartTest, CamerasOfTheSettingsAndTheEnvironmentWorkFromTheFirstStart) {
    ASSERT_FALSE(Frames().empty());
    MjpegHttpServer mjpeg(Frames(), 10);
    const bool rtsp = RtspTestServer::CanServe();
    RtspTestServer::TOptions options;
    std::unique_ptr<RtspTestServer> server;
    if (rtsp) {
        server = std::make_unique<RtspTestServer>(options);
        ASSERT_TRUE(server->Running());
    }
    const std::string stored = "Porch=" + mjpeg.Url() +
                               (rtsp ? ";Garage=" + server->Url() : std::string());
    WriteSettings("[General]\nNetworkCameras=\"" + QByteArray::fromStdString(stored) + "\"\n");
    FEnvironment.insert("TANDREL_NETWORK_CAMERAS", QString::fromStdString("Door=" + mjpeg.Url()));

    EXPECT_EQ(RunToEnd({"--list-cameras"}), 0) << FErr.constData();
    std::string expected = "camera 0: Porch (type 4, Analog)\n  format 0: 320 x 240";
    EXPECT_TRUE(FOut.contains(QByteArray::fromStdString(expected))) << FOut.constData();
    const int door = rtsp ? 2 : 1;
    expected = "camera " + std::to_string(door) + ": Door (type 4, Analog)\n  format 0: 320 x 240";
    EXPECT_TRUE(FOut.contains(QByteArray::fromStdString(expected))) << FOut.constData();
    if (rtsp) {
        EXPECT_TRUE(FOut.contains("camera 1: Garage (type 4, Analog)\n  format 0: 320 x 240"))
            << FOut.constData();
    }
    EXPECT_FALSE(FErr.contains("gst_is_initialized")) << FErr.constData();
    EXPECT_FALSE(FErr.contains("it is left out")) << FErr.constData();

    for (const char* name : {"Porch", "Garage", "Door"}) {
        if (!rtsp && std::string(name) == "Garage") {
            continue;
        }
        SCOPED_TRACE(name);
        EXPECT_EQ(RunToEnd({"--headless", "--camera", name, "--seconds", "4"}), 0)
            << FErr.constData();
        const std::vector<QJsonObject> events = Events(FOut);
        ASSERT_FALSE(events.empty()) << FErr.constData();
        EXPECT_EQ(events.front()["event"].toString(), "camera_started") << FOut.constData();
        EXPECT_EQ(events.front()["device"].toString(), name);
        EXPECT_EQ(events.front()["width"].toInt(), 320);
    }
}

// A network camera that is not there when the run starts (it boots after the computer) is an
// error event, and the run waits for it: once its server answers, it starts and is watched.
TEST_F(CameraSettingsStartTest, ACameraMissingAtTheStartIsWaitedFor) {
    ASSERT_FALSE(Frames().empty());
    int port = 0;
    {
        MjpegHttpServer probe(Frames(), 10);
        port = probe.Port();
    }
    FEnvironment.insert("TANDREL_NETWORK_CAMERAS",
                        QString("Late=http://127.0.0.1:%1/video").arg(port));
    QProcess process;
    process.setProcessEnvironment(FEnvironment);
    process.start(TANDREL_EXECUTABLE, {"--headless", "--camera", "Late"});
    ASSERT_TRUE(process.waitForStarted(10000));
    QByteArray output;
    auto waitFor = [&](const QByteArray& text) {
        return WaitForOutput(process, output, text, 60000);
    };
    EXPECT_TRUE(waitFor("\"error\"")) << process.readAllStandardError().constData();
    EXPECT_FALSE(output.contains("camera_started"));
    MjpegHttpServer server(Frames(), 10, "", "", std::chrono::seconds(120), port);
    EXPECT_TRUE(waitFor("\"camera_started\"")) << output.constData();
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(20000));
    output += process.readAllStandardOutput();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    const std::vector<QJsonObject> events = Events(output);
    ASSERT_GE(events.size(), 3u) << output.constData();
    // Said as the camera watch sees it, then in words naming the camera.
    EXPECT_EQ(events[0]["event"].toString(), "camera_lost");
    EXPECT_EQ(events[1]["event"].toString(), "error");
    EXPECT_TRUE(events[1]["text"].toString().contains("\"Late\""))
        << events[1]["text"].toString().toStdString();
    const auto started = std::find_if(events.begin(), events.end(), [](const QJsonObject& e) {
        return e["event"].toString() == "camera_started";
    });
    ASSERT_NE(started, events.end());
    EXPECT_EQ((*started)["device"].toString(), "Late");
    EXPECT_EQ((*started)["width"].toInt(), 320);
}

// Lists typed into the settings file by hand, unquoted: every network camera of a ";"-separated
// list and every file camera of a path holding a "," is listed, an entry that cannot be used is
// named in the log, and a run that saves its settings keeps every entry.
TEST_F(CameraSettingsStartTest, ListsTypedByHandKeepEveryEntry) {
    ASSERT_FALSE(Frames().empty());
    MjpegHttpServer mjpeg(Frames(), 10);
    const QString file = FHome.path() + "/door, front.avi";
    ASSERT_TRUE(QFile::copy(QString::fromStdString(TCaptureTestFiles::Get().Webcam), file));
    const QByteArray url = QByteArray::fromStdString(mjpeg.Url());
    WriteSettings("[General]\nFileCameras=" + QFile::encodeName(file) +
                  "\nNetworkCameras=A=" + url + ";Bad=ftp://127.0.0.1/x; B=" + url + "\n");
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "as typed" : "after a run that saved the settings");
        EXPECT_EQ(RunToEnd({"--list-cameras"}), 0) << FErr.constData();
        EXPECT_TRUE(FOut.contains("camera 0: door, front.avi (type 4, Analog)")) << FOut.constData();
        EXPECT_TRUE(FOut.contains("camera 1: A (type 4, Analog)\n  format 0: 320 x 240"))
            << FOut.constData();
        EXPECT_TRUE(FOut.contains("camera 2: B (type 4, Analog)\n  format 0: 320 x 240"))
            << FOut.constData();
        EXPECT_FALSE(FOut.contains("camera 3")) << FOut.constData();
        EXPECT_TRUE(FErr.contains("the network camera \"Bad\" has no rtsp, rtsps, http or https "
                                  "address; it is left out."))
            << FErr.constData();
        if (run == 0) {
            EXPECT_EQ(RunToEnd({"--headless", "--seconds", "2"}), 0) << FErr.constData();
        }
    }
}

// The settings file holds camera passwords: a fresh start creates it readable by the user alone,
// and a start that finds it (or its folder) open to others closes it.
TEST_F(CameraSettingsStartTest, TheSettingsFileIsPrivate) {
    FEnvironment.remove("TANDREL_TEST_PATTERN");
    EXPECT_EQ(RunToEnd({"--headless", "--seconds", "1"}), 0) << FErr.constData();
    ASSERT_TRUE(QFile::exists(SettingsFile()));
    EXPECT_EQ(Mode(SettingsFile()), 0600u);
    EXPECT_EQ(Mode(Folder()), 0700u);

    WriteSettings("[General]\nNetworkCameras=Gate=http://127.0.0.1:9/video\n\n"
                  "[NetworkCameraCredentials]\n47617465_User=viewer\n"
                  "47617465_Password=secret-word\n");
    ASSERT_EQ(::chmod(QFile::encodeName(SettingsFile()).constData(), 0644), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(Folder()).constData(), 0755), 0);
    EXPECT_EQ(RunToEnd({"--headless", "--seconds", "1"}), 0) << FErr.constData();
    EXPECT_EQ(Mode(SettingsFile()), 0600u);
    EXPECT_EQ(Mode(Folder()), 0700u);
    EXPECT_FALSE(FOut.contains("secret-word")) << FOut.constData();
    EXPECT_FALSE(FErr.contains("secret-word")) << FErr.constData();
}

}  // namespace
