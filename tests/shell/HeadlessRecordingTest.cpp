// What the program writes, run without a window as a user would run it and as hostile
// surroundings treat it: repeated runs on one settings file, a closed output pipe, recording
// folders that cannot be made, names planted where recordings go, a nearly full disk, a
// recording cut off by a crash.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTest>

#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "platform/DateTime.h"
#include "shell/HeadlessRunFixture.h"
#include "videolog/VideoLogInfo.h"

namespace {

namespace fs = std::filesystem;

class HeadlessRecordingTest : public HeadlessRunTest {
protected:
    std::string MotionFolder() const {
        return FHome.path().toStdString() + "/data/Vantrelle/Tandrel/MotionDetection/";
    }
    std::string ConstantFolder() const {
        return FHome.path().toStdString() + "/data/Vantrelle/Tandrel/AutoRec/";
    }

    // Values of the camera controller's group in the settings file.
    void Store(const std::map<QString, QVariant>& values) {
        QDir().mkpath(QFileInfo(SettingsFile()).path());
        QSettings settings(SettingsFile(), QSettings::IniFormat);
        settings.beginGroup("CameraManager");
        for (const auto& [name, value] : values) {
            settings.setValue(name, value);
        }
    }
    QVariant Stored(const QString& name) {
        QSettings settings(SettingsFile(), QSettings::IniFormat);
        settings.beginGroup("CameraManager");
        return settings.value(name);
    }

    // Motion everywhere all the time (Simple Mode at 100 over the whole Test Pattern).
    void StoreBusyCamera(bool continuous) {
        Store({{"MotionDetectionMode", 1},
               {"MotionDetectionSensitivity", 100},
               {"UseMotionDetectionVideoLogging", 1},
               {"UseContinuallyRunningVideoLogging", continuous ? 1 : 0}});
    }

    // Every recording of the folder is a regular, non-empty file with its information file, and
    // every information file has its recording.
    static void ExpectRecordingsWhole(const std::string& folder) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("Rec_", 0) != 0) {
                continue;
            }
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(entry.path()))) << name;
            EXPECT_GT(fs::file_size(entry.path(), error), 0u) << name;
            const fs::path info = fs::path(folder) / "LogInfo" / (entry.path().stem().string() + ".vli");
            EXPECT_TRUE(fs::exists(info)) << name << " has no information file";
        }
        for (const auto& entry : fs::directory_iterator(fs::path(folder) / "LogInfo", error)) {
            EXPECT_GT(fs::file_size(entry.path(), error), 0u) << entry.path();
            const fs::path video = RecordingVideoOf(folder, entry.path().stem().string());
            EXPECT_TRUE(fs::exists(video)) << entry.path() << " has no recording";
        }
    }

    std::vector<QJsonObject> EventsNamed(const QByteArray& output, const QString& name) {
        std::vector<QJsonObject> found;
        for (const QJsonObject& event : Events(output)) {
            if (event["event"].toString() == name) {
                found.push_back(event);
            }
        }
        return found;
    }
};

// A zone survives any number of runs without a window (whose picture has another size than the
// window's) unchanged, also when it was stored by an older version without the picture's size.
TEST_F(HeadlessRecordingTest, StoredZonesSurviveRepeatedRuns) {
    struct Case {
        const char* What;
        int PictureWidth;  // stored beside the zone; 0: none (an older settings file)
    };
    for (const Case& c : {Case{"stored with the picture's size", 640},
                          Case{"stored by an older version", 0}}) {
        SCOPED_TRACE(c.What);
        QFile::remove(SettingsFile());
        Store({{"Zone 1_Rect_Left", 11},
               {"Zone 1_Rect_Top", 11},
               {"Zone 1_Rect_Right", 301},
               {"Zone 1_Rect_Bottom", 201},
               {"Zone 1_SoundVideoAlarm_Enabled", 0},
               {"Zone 1_SoundVideoAlarm_FileName", ""}});
        if (c.PictureWidth > 0) {
            Store({{"ZonePictureWidth", 640}, {"ZonePictureHeight", 480}});
        }
        std::vector<double> first;
        for (int run = 0; run < 5; ++run) {
            ASSERT_EQ(RunToEnd({"--headless", "--seconds", "1"}), 0) << FErr.constData();
            const double width = Stored("ZonePictureWidth").toDouble();
            ASSERT_GT(width, 0) << "run " << run;
            // The zone as a share of the picture: the same after every run.
            const std::vector<double> share = {
                Stored("Zone 1_Rect_Left").toDouble() / width,
                Stored("Zone 1_Rect_Top").toDouble() / Stored("ZonePictureHeight").toDouble(),
                Stored("Zone 1_Rect_Right").toDouble() / width,
                Stored("Zone 1_Rect_Bottom").toDouble() / Stored("ZonePictureHeight").toDouble()};
            if (run == 0) {
                first = share;
                if (c.PictureWidth > 0) {
                    EXPECT_NEAR(share[0] * 640, 11, 1.5);
                    EXPECT_NEAR(share[2] * 640, 301, 1.5);
                    EXPECT_NEAR(share[3] * 480, 201, 1.5);
                }
            }
            for (size_t i = 0; i < share.size(); ++i) {
                EXPECT_NEAR(share[i], first[i], 1.5 / width) << "run " << run << ", edge " << i;
            }
        }
        EXPECT_NEAR(first[0], 11.0 / 640, 2.0 / 320) << "the zone is where it was drawn";
    }
}

// A reader of the events that goes away: the run goes on watching and recording, ends
// normally and leaves its settings and whole recordings behind.
TEST_F(HeadlessRecordingTest, AClosedOutputPipeEndsNothing) {
    StoreBusyCamera(false);
    QProcess shell;
    shell.setProcessEnvironment(FEnvironment);
    shell.start("bash", {"-c", QString("\"%1\" --headless --seconds 7 | head -c 1 >/dev/null; "
                                       "echo \"status ${PIPESTATUS[0]}\"")
                                   .arg(TANDREL_EXECUTABLE)});
    ASSERT_TRUE(shell.waitForFinished(60000));
    const QByteArray out = shell.readAllStandardOutput();
    const QByteArray err = shell.readAllStandardError();
    EXPECT_TRUE(out.contains("status 0")) << out.constData() << err.constData();
    EXPECT_TRUE(err.contains("no more event lines are written")) << err.constData();
    EXPECT_TRUE(Stored("Zone 1_Rect_Right").isValid()) << "the settings were saved";
    ExpectRecordingsWhole(MotionFolder());
    EXPECT_FALSE(fs::is_empty(MotionFolder())) << "the motion was recorded";
}

// A file where a recording folder should be: the camera is watched all the same, the problem
// is told once, no recording is announced for a file that was never made, and the run ends on
// time (no wait for recordings that never started).
TEST_F(HeadlessRecordingTest, RecordingFoldersThatCannotBeMadeStopNothing) {
    StoreBusyCamera(true);
    QDir().mkpath(FHome.path() + "/data/Vantrelle/Tandrel");
    QFile(QString::fromStdString(MotionFolder()).chopped(1)).open(QIODevice::WriteOnly);
    QFile(QString::fromStdString(ConstantFolder()).chopped(1)).open(QIODevice::WriteOnly);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(RunToEnd({"--headless", "--seconds", "4"}), 0) << FErr.constData();
    EXPECT_LT(timer.elapsed(), 20000) << "the run waited for recordings that never started";
    EXPECT_EQ(EventsNamed(FOut, "camera_started").size(), 1u) << FOut.constData();
    EXPECT_FALSE(EventsNamed(FOut, "motion_start").empty()) << "watching goes on";
    EXPECT_TRUE(EventsNamed(FOut, "recording_started").empty()) << FOut.constData();
    EXPECT_TRUE(EventsNamed(FOut, "recording_finished").empty()) << FOut.constData();
    const auto errors = EventsNamed(FOut, "error");
    ASSERT_FALSE(errors.empty());
    EXPECT_TRUE(errors[0]["text"].toString().contains("cannot be created"))
        << errors[0]["text"].toString().toStdString();
    EXPECT_LE(errors.size(), 2u) << "told once, not for every frame";
}

// Links planted under the names the next recordings and their information files will get,
// pointing outside: every file lands in the recording folder, under a name of its own, and
// nothing is written outside.
TEST_F(HeadlessRecordingTest, PlantedLinksNeverLeadRecordingsElsewhere) {
    StoreBusyCamera(false);
    const std::string folder = MotionFolder();
    fs::create_directories(folder + "LogInfo");
    const fs::path outside = fs::path(FHome.path().toStdString()) / "outside";
    fs::create_directories(outside);
    const TDateTime now = Now();
    for (int s = 0; s < 40; ++s) {
        const std::string stamp = FormatDateTime("yyyymmdd_hhnnss", now + s / 86400.0);
        fs::create_symlink(outside / ("v" + stamp), folder + "Rec_" + stamp + ".wmv");
        fs::create_symlink(outside / ("i" + stamp), folder + "LogInfo/Rec_" + stamp + "_2.vli");
    }
    EXPECT_EQ(RunToEnd({"--headless", "--seconds", "7"}), 0) << FErr.constData();
    EXPECT_TRUE(fs::is_empty(outside)) << "something was written through a planted link";
    const auto finished = EventsNamed(FOut, "recording_finished");
    ASSERT_FALSE(finished.empty()) << FOut.constData() << FErr.constData();
    for (const QJsonObject& event : finished) {
        const fs::path file = event["file"].toString().toStdString();
        EXPECT_EQ(file.parent_path().string() + "/", folder);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file))) << file;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(
            fs::path(folder) / "LogInfo" / (file.stem().string() + ".vli"))))
            << file;
    }
}

// --format mp4 is for one run: every recording of the run is named ".mp4" and has its
// information file, and the stored format stays as it was.
TEST_F(HeadlessRecordingTest, TheFormatOfOneRunNamesItsRecordingsAndIsNotStored) {
    StoreBusyCamera(true);
    Store({{"RecordingFormat", "wmv"}});
    EXPECT_EQ(RunToEnd({"--headless", "--seconds", "4", "--format", "mp4"}), 0)
        << FErr.constData();
    const auto finished = EventsNamed(FOut, "recording_finished");
    ASSERT_GE(finished.size(), 2u) << "a motion and a continual recording" << FOut.constData();
    for (const QJsonObject& event : finished) {
        const fs::path file = event["file"].toString().toStdString();
        EXPECT_EQ(file.extension(), ".mp4") << file;
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
    }
    ExpectRecordingsWhole(MotionFolder());
    ExpectRecordingsWhole(ConstantFolder());
    EXPECT_EQ(Stored("RecordingFormat").toString(), "wmv");
}

// Runs ended by a termination signal at any moment: every recording announced as finished
// exists, has its information file, and the information file says what the file holds.
TEST_F(HeadlessRecordingTest, RunsEndedAtAnyMomentLeaveOnlyWholeRecordings) {
    StoreBusyCamera(true);
    for (const int ms : {700, 1300, 2100, 3400}) {
        SCOPED_TRACE(ms);
        QProcess process;
        process.setProcessEnvironment(FEnvironment);
        process.start(TANDREL_EXECUTABLE, {"--headless"});
        ASSERT_TRUE(process.waitForStarted(10000));
        QTest::qWait(ms);
        process.terminate();
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 0);
        const QByteArray output = process.readAllStandardOutput();
        for (const QJsonObject& event : EventsNamed(output, "recording_finished")) {
            const std::string file = event["file"].toString().toStdString();
            EXPECT_TRUE(fs::exists(file)) << file;
            EXPECT_GT(event["duration"].toDouble(), 0) << file;
        }
    }
    ExpectRecordingsWhole(MotionFolder());
    ExpectRecordingsWhole(ConstantFolder());
}

// A recording cut off by a kill (its writer never closed it) gets its information file when
// the program next starts, made from the file: the start from its name, the length from its
// last picture. It then shows in the video log.
TEST_F(HeadlessRecordingTest, ACutOffRecordingGetsItsInformationFileAtTheNextStart) {
    const std::string folder = MotionFolder();
    fs::create_directories(folder);
    const std::string file = folder + "Rec_20261201_101500.wmv";
    QProcess writer;
    writer.start("gst-launch-1.0",
                 {"-q", "videotestsrc", "is-live=true", "!",
                  "video/x-raw,width=160,height=120,framerate=10/1", "!", "avenc_wmv2", "!",
                  "asfmux", "!", "filesink", "buffer-mode=unbuffered",
                  QString::fromStdString("location=" + file)});
    ASSERT_TRUE(writer.waitForStarted(10000));
    QTest::qWait(3000);
    ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
    writer.waitForFinished(10000);
    ASSERT_TRUE(fs::exists(file));
    ASSERT_FALSE(fs::exists(folder + "LogInfo/Rec_20261201_101500.vli"));

    EXPECT_EQ(RunToEnd({"--headless", "--seconds", "3"}), 0) << FErr.constData();
    EXPECT_TRUE(FErr.contains("had no information file; one was made")) << FErr.constData();
    QFile info(QString::fromStdString(folder + "LogInfo/Rec_20261201_101500.vli"));
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = info.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    const double start = lines[0].trimmed().replace(',', '.').toDouble();
    const double length = lines[1].trimmed().replace(',', '.').toDouble();
    EXPECT_NEAR(start, EncodeDateTime({2026, 12, 1, 10, 15, 0, 0}), 1e-6);
    EXPECT_GT(length, 1.0);
    EXPECT_LT(length, 4.0);
}

// A small disk nearly full of other data: recordings end before the disk is full, the free
// space the limits keep is kept, information files are whole, and a new recording never deletes
// the one just finished. The disk is a 30 MB memory file system of a private mount namespace;
// where one cannot be made (no privilege for it), the test is skipped.
TEST_F(HeadlessRecordingTest, ANearlyFullDiskKeepsItsFreeSpaceAndWholeRecordings) {
    StoreBusyCamera(true);
    const QString data = FHome.path() + "/data";
    QDir().mkpath(data);
    const QString script = QString(R"(
set -u
mount -t tmpfs -o size=30m tmpfs "%1" || { echo "no mount"; exit 0; }
head -c 20000000 /dev/zero > "%1/other"
"%2" --headless --seconds 25 >/dev/null 2>"%1/../run.err" &
pid=$!
min=999999999
while kill -0 $pid 2>/dev/null; do
  free=$(df -k --output=avail "%1" | tail -1 | tr -d ' ')
  [ "$free" -lt "$min" ] && min=$free
  sleep 0.2
done
wait $pid; echo "status $?"
echo "minfree $min"
find "%1" -name '*.vli' -size 0 | sed 's/^/empty /'
for v in $(find "%1" -name 'Rec_*.wmv'); do
  d=$(dirname "$v"); b=$(basename "$v" .wmv)
  [ -s "$d/LogInfo/$b.vli" ] && echo "whole $v" || echo "noinfo $v"
done
)")
                               .arg(data, TANDREL_EXECUTABLE);
    QProcess shell;
    shell.setProcessEnvironment(FEnvironment);
    shell.start("unshare", {"-m", "--propagation", "private", "bash", "-c", script});
    if (!shell.waitForStarted(10000)) {
        GTEST_SKIP() << "unshare cannot be run here";
    }
    ASSERT_TRUE(shell.waitForFinished(90000));
    const QString out = QString::fromUtf8(shell.readAllStandardOutput());
    if (shell.exitCode() != 0 || out.contains("no mount") || !out.contains("status")) {
        GTEST_SKIP() << "no private memory file system can be mounted here: "
                     << shell.readAllStandardError().constData();
    }
    EXPECT_TRUE(out.contains("status 0")) << out.toStdString();
    const int minFree = out.section("minfree ", 1).section('\n', 0, 0).toInt();
    // The limits keep 5 % of the disk (1.5 MB); one second of recording more may pass before a
    // recording ends.
    EXPECT_GE(minFree, 1024) << out.toStdString();
    EXPECT_FALSE(out.contains("empty ")) << out.toStdString();
    EXPECT_FALSE(out.contains("noinfo ")) << out.toStdString();
    EXPECT_TRUE(out.contains("whole ") && out.contains("MotionDetection/Rec_"))
        << "a motion recording is kept: " << out.toStdString();
}

}  // namespace
