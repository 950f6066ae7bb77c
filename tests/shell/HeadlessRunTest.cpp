// The real program run without a window, as a script or a service would run it.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <thread>

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
    // Every event names the camera and the instance (the host's name without --instance);
    // detection is said to be on, with its zone, before anything moves.
    for (const QJsonObject& event : events) {
        EXPECT_EQ(event["camera"].toString(), "Test Pattern") << event["event"].toString().toStdString();
        EXPECT_FALSE(event["instance"].toString().isEmpty());
    }
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[1]["event"].toString(), "detection_on");
    EXPECT_EQ(events[1]["zones"].toInt(), 1);
    // The motion recording's first frame is a picture beside it, named in the start events.
    QString snapshot;
    for (const QJsonObject& event : events) {
        if (event["event"].toString() == "recording_started") {
            EXPECT_EQ(event["kind"].toString(), "motion");
            snapshot = event["snapshot"].toString();
            break;
        }
    }
    EXPECT_TRUE(snapshot.startsWith(FHome.path() +
                                    "/data/Vantrelle/Tandrel/MotionDetection/Snapshots/Rec_"))
        << snapshot.toStdString();
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [&](const QJsonObject& event) {
        return event["event"].toString() == "motion_start" && event["snapshot"] == snapshot;
    }));
    const QImage picture(snapshot, "JPEG");
    EXPECT_EQ(picture.size(), QSize(320, 240)) << snapshot.toStdString();
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
        // Arguments that mean nothing, wherever they stand.
        {{"--headless", "foo", "-x", "--seconds", "1"}, 64, "unknown argument foo"},
        {{"--version", "--bogus"}, 64, "unknown option --bogus"},
        {{"--help", "me"}, 64, "unknown argument me"},
        {{"--list-cameras", "-x"}, 64, "unknown argument -x"},
        // The window's toolkit takes its own options; what it leaves is refused.
        {{"-x"}, 64, "unknown argument -x"},
        {{"-platform", "offscreen", "foo"}, 64, "unknown argument foo"},
        // A zone that would watch nothing of the Test Pattern's picture.
        {{"--headless", "--zone", "5000,5000,6000,6000"},
         64,
         "zone 5000,5000,6000,6000 is outside the 320 x 240 picture."},
        {{"--headless", "--zone", "320,0,400,10"},
         64,
         "zone 320,0,400,10 is outside the 320 x 240 picture."},
        {{"--headless", "--instance", QString(300, 'n')},
         64,
         "--instance takes a name of at most 100 bytes; this one has 300"},
    };
    // The window, where it opens at all, opens without a display.
    FEnvironment.insert("QT_QPA_PLATFORM", "offscreen");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        EXPECT_EQ(RunToEnd(c.arguments), c.status) << FErr.constData();
        EXPECT_TRUE(FErr.contains(c.error)) << FErr.constData();
        if (c.status == 64) {
            EXPECT_TRUE(FErr.contains("Usage: tandrel")) << FErr.constData();
            EXPECT_TRUE(FOut.isEmpty()) << FOut.constData();
        }
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
        return WaitForOutput(process, output, text, 60000);
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

// A run timed beyond what one timer can wait (about 24.8 days of milliseconds) is timed all the
// same, not left without an end.
TEST_F(HeadlessRunTest, LongRunsAreTimed) {
    for (const char* seconds : {"2147484", "2147483647"}) {
        SCOPED_TRACE(seconds);
        QProcess process;
        process.setProcessEnvironment(FEnvironment);
        process.start(TANDREL_EXECUTABLE, {"--headless", "--seconds", seconds});
        ASSERT_TRUE(process.waitForStarted(10000));
        QByteArray output;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                output += process.readAllStandardOutput();
                return output.contains("\"camera_started\"");
            },
            30000));
        QTest::qWait(500);
        EXPECT_EQ(process.state(), QProcess::Running);
        process.terminate();
        ASSERT_TRUE(process.waitForFinished(20000));
        const QByteArray errors = process.readAllStandardError();
        EXPECT_FALSE(errors.contains("Timers cannot")) << errors.constData();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
    }
}

// Whether the process catches SIGTERM: its handler is installed.
bool CatchesSigterm(qint64 pid) {
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return false;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:")) {
            bool ok = false;
            const qulonglong caught = line.mid(7).trimmed().toULongLong(&ok, 16);
            return ok && (caught & (1ull << (SIGTERM - 1))) != 0;
        }
    }
    return false;
}

// A termination signal at any moment of the start ends the run in order (status 0): the handlers
// are in place long before the camera starts.
TEST_F(HeadlessRunTest, ATerminationSignalDuringTheStartEndsTheRunInOrder) {
    for (const int delayMS : {0, 20, 60, 150, 300}) {
        SCOPED_TRACE(delayMS);
        QProcess process;
        process.setProcessEnvironment(FEnvironment);
        process.start(TANDREL_EXECUTABLE, {"--headless"});
        ASSERT_TRUE(process.waitForStarted(10000));
        QByteArray output;
        bool caught = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!caught && process.state() == QProcess::Running &&
               std::chrono::steady_clock::now() < deadline) {
            caught = CatchesSigterm(process.processId());
            if (!caught) {
                process.waitForReadyRead(1);
                output += process.readAllStandardOutput();
            }
        }
        ASSERT_TRUE(caught);
        // Whatever the program has written by now.
        process.waitForReadyRead(0);
        output += process.readAllStandardOutput();
        EXPECT_TRUE(output.isEmpty()) << "the handlers came only after " << output.constData();
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMS));
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    }
}

// Names and paths need not be UTF-8; every event line is valid JSON all the same.
TEST_F(HeadlessRunTest, EventLinesStayJsonWhateverTheBytesOfANameAre) {
    // A camera name in Latin-1, as a script in an old locale would pass it.
    QProcess process;
    process.setProcessEnvironment(FEnvironment);
    process.start("/bin/sh", {"-c", "exec \"$0\" --headless --camera \"$(printf 'K\\374che')\"",
                              TANDREL_EXECUTABLE});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 2);
    const QByteArray output = process.readAllStandardOutput();
    const std::vector<QJsonObject> events = Events(output);
    ASSERT_EQ(events.size(), 1u) << output.constData();
    EXPECT_EQ(events[0]["event"].toString(), "error");
    EXPECT_EQ(events[0]["text"].toString(),
              QString::fromUtf8("there is no camera named \"K\u00fcche\"."));
}

}  // namespace
