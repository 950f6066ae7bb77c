// MP4 recordings made by the real program: killed in the middle, the file still plays, and the
// next start gives it its information file.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTest>
#include <QProcess>

#include <signal.h>

#include "recording/RecordingTestSupport.h"
#include "shell/HeadlessRunFixture.h"

namespace {

TEST_F(HeadlessRunTest, AnMp4RecordingKilledMidwayPlaysAndIsRepairedAtTheNextStart) {
    QProcess process;
    process.setProcessEnvironment(FEnvironment);
    process.start(TANDREL_EXECUTABLE, {"--headless", "--format", "mp4", "--mode", "1",
                                       "--sensitivity", "95", "--zone", "0,80,320,160"});
    ASSERT_TRUE(process.waitForStarted(10000));
    QByteArray output;
    ASSERT_TRUE(WaitForOutput(process, output, "\"recording_started\"")) << output.constData();
    // A few seconds into the recording, the program dies without a word.
    QTest::qWait(4000);
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    ASSERT_TRUE(process.waitForFinished(20000));
    output += process.readAllStandardOutput();
    QString file;
    for (const QJsonObject& event : Events(output)) {
        if (event["event"].toString() == "recording_started" &&
            event["kind"].toString() == "motion") {
            file = event["file"].toString();
        }
    }
    ASSERT_TRUE(file.endsWith(".mp4")) << output.constData();
    const TDecodedFile decoded = DecodeFile(file.toStdString());
    EXPECT_GE(decoded.Frames, 20) << file.toStdString();
    EXPECT_EQ(decoded.Width, 320);
    EXPECT_GE(decoded.DurationSeconds, 2.0);

    // The next start finds the cut-off recording and writes its information file.
    const QString info = QFileInfo(file).absolutePath() + "/LogInfo/" +
                         QFileInfo(file).completeBaseName() + ".vli";
    EXPECT_FALSE(QFile::exists(info));
    EXPECT_EQ(RunToEnd({"--headless", "--seconds", "3", "--zone", "0,0,10,10"}), 0)
        << FErr.constData();
    EXPECT_TRUE(QFile::exists(info)) << info.toStdString() << FErr.constData();
}

}  // namespace
