// The real program run without a window, as a script or a service would run it.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "capture/CaptureTestFiles.h"
#include "recording/RecordingTestSupport.h"
#include "shell/HeadlessRunFixture.h"

namespace {

TEST_F(HeadlessRunTest, WatchesTheTestPatternPrintsEventsAndEndsOnSigterm) {
    QProcess process;
    process.setProcessEnvironment(FEnvironment);
    // Simple mode on the band the ball crosses twice in each sweep.
    process.start(TANDREL_EXECUTABLE,
                  {"--headless", "--mode", "1", "--sensitivity", "95", "--zone", "0,80,320,160"});
    ASSERT_TRUE(process.waitForStarted(10000));
    QByteArray output;
    // SIGTERM while the motion recording runs.
    const bool moved = QTest::qWaitFor(
        [&] {
            output += process.readAllStandardOutput();
            return output.contains("\"recording_started\"");
        },
        30000);
    QTest::qWait(1500);
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(20000));
    output += process.readAllStandardOutput();
    EXPECT_TRUE(moved) << output.constData() << process.readAllStandardError().constData();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);

    const std::vector<QJsonObject> events = Events(output);
    ASSERT_FALSE(events.empty());
    const QJsonObject& started = events.front();
    EXPECT_EQ(started["event"].toString(), "camera_started");
    EXPECT_EQ(started["device"].toString(), "Test Pattern");
    EXPECT_EQ(started["width"].toInt(), 320);
    EXPECT_EQ(started["height"].toInt(), 240);
    EXPECT_GT(started["fps"].toDouble(), 0);
    bool motion = false;
    for (const QJsonObject& event : events) {
        // Local time, ISO 8601, with milliseconds.
        EXPECT_EQ(event["time"].toString().size(), 23) << event["time"].toString().toStdString();
        if (event["event"].toString() == "motion_start") {
            motion = true;
            EXPECT_EQ(event["zone"].toInt(), 1);
            EXPECT_GT(event["activity"].toInt(), 5);  // more than 100 - sensitivity
        }
    }
    EXPECT_TRUE(motion);
    // The recording was finished on the way out, and its file plays.
    QString recorded;
    double duration = 0;
    for (const QJsonObject& event : events) {
        if (event["event"].toString() == "recording_finished") {
            recorded = event["file"].toString();
            duration = event["duration"].toDouble();
        }
    }
    ASSERT_FALSE(recorded.isEmpty()) << output.constData();
    EXPECT_TRUE(recorded.startsWith(FHome.path() + "/data/Vantrelle/Tandrel/MotionDetection/Rec_"));
    const TDecodedFile decoded = DecodeFile(recorded.toStdString());
    EXPECT_GT(decoded.Frames, 0);
    EXPECT_EQ(decoded.Width, 320);
    EXPECT_NEAR(decoded.DurationSeconds, duration, 1.0);
    // Values given for the run are not stored.
    EXPECT_FALSE(QFile::exists(SettingsFile()));
}

TEST_F(HeadlessRunTest, ExitStatusTellsWhatWentWrong) {
    struct Case {
        QStringList arguments;
        int status;
        QByteArray error;  // on standard error
    };
    const std::vector<Case> cases = {
        {{"--headless", "--camera", "9"}, 2, "the camera 9 cannot be started."},
        {{"--headless", "--camera", "No Such Camera"},
         2,
         "there is no camera named \"No Such Camera\"."},
        {{"--headless", "--mode", "9"}, 64, "--mode takes"},
        {{"--bogus"}, 64, "unknown option --bogus"},
        {{"--headless", "--zone", "3,3,1,1"}, 64, "Usage: tandrel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        EXPECT_EQ(RunToEnd(c.arguments), c.status) << FErr.constData();
        EXPECT_TRUE(FErr.contains(c.error)) << FErr.constData();
    }
    // A camera that cannot start is also an event for whoever reads the output.
    RunToEnd({"--headless", "--camera", "9"});
    const std::vector<QJsonObject> events = Events(FOut);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["event"].toString(), "error");
}

TEST_F(HeadlessRunTest, ARunOnStoredValuesOnlyKeepsThemAndListsTheCameras) {
    EXPECT_EQ(RunToEnd({"--headless", "--seconds", "2"}), 0) << FErr.constData();
    EXPECT_TRUE(Events(FOut).front()["event"].toString() == "camera_started");
    EXPECT_TRUE(QFile::exists(SettingsFile()));

    EXPECT_EQ(RunToEnd({"--list-cameras"}), 0);
    EXPECT_TRUE(FOut.startsWith("camera 0: Test Pattern (type 4, Analog)\n")) << FOut.constData();
    EXPECT_TRUE(FOut.contains("  format 0: 320 x 240")) << FOut.constData();
    EXPECT_EQ(RunToEnd({"--version"}), 0);
    EXPECT_TRUE(FOut.startsWith("Tandrel ")) << FOut.constData();
}

// A camera that drops out is an event for whoever reads the output, and the run goes on.
TEST_F(HeadlessRunTest, ALostCameraIsAnErrorEventAndTheRunGoesOn) {
    const QString camera = FHome.path() + "/porch.avi";
    const QString away = FHome.path() + "/porch-away.avi";
    ASSERT_TRUE(QFile::copy(QString::fromStdString(TCaptureTestFiles::Get().Webcam), camera));
    FEnvironment.insert("TANDREL_TEST_PATTERN", "0");
    FEnvironment.insert("TANDREL_FILE_CAMERAS", camera);
    QProcess process;
    process.setProcessEnvironment(FEnvironment);
    process.start(TANDREL_EXECUTABLE, {"--headless", "--mode", "1"});
    ASSERT_TRUE(process.waitForStarted(10000));
    QByteArray output;
    auto waitFor = [&](const QByteArray& text) {
        return QTest::qWaitFor(
            [&] {
                output += process.readAllStandardOutput();
                return output.contains(text);
            },
            60000);
    };
    EXPECT_TRUE(waitFor("\"camera_started\""));
    ASSERT_TRUE(QFile::rename(camera, away));
    EXPECT_TRUE(waitFor("\"error\""));
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(20000));
    output += process.readAllStandardOutput();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << "a lost camera does not end the run";

    std::vector<QJsonObject> errors;
    for (const QJsonObject& event : Events(output)) {
        if (event["event"].toString() == "error") {
            errors.push_back(event);
        }
    }
    ASSERT_EQ(errors.size(), 1u) << output.constData();
    EXPECT_TRUE(errors[0]["text"].toString().contains("porch.avi"))
        << errors[0]["text"].toString().toStdString();
    EXPECT_TRUE(errors[0]["text"].toString().endsWith("was lost; reconnecting."));
}

}  // namespace
