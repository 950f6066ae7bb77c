// A street where people walk through the watched zone all the time, watched by the real program
// without a window at its new-install detection settings: one activity, one recording.

#include <gtest/gtest.h>

#include <QJsonObject>
#include <QString>

#include <string>
#include <vector>

#include "scenes/SceneCompression.h"
#include "scenes/SceneGenerator.h"
#include "shell/HeadlessRunFixture.h"

namespace {

class HeadlessActivityTest : public HeadlessRunTest {};

// People of a few sizes cross the walkway one after the other, in both directions, so that
// one or two are always on it for the whole clip.
TSceneDescription ContinuousWalkers(double Seconds) {
    TSceneDescription scene;
    scene.Name = "people on the walkway all the time";
    scene.Seed = 31;
    scene.Seconds = Seconds;
    scene.DriftLevels = 4;
    const int32_t sizes[][2] = {{30, 70}, {22, 55}, {36, 80}};
    int n = 0;
    for (double enter = 0; enter < Seconds; enter += 2.5, ++n) {
        TSceneWalker walker;
        walker.EnterSeconds = enter;
        walker.Width = sizes[n % 3][0];
        walker.Height = sizes[n % 3][1];
        walker.Top = 235 - walker.Height;
        const bool right = n % 2 == 0;
        walker.StartX = right ? -walker.Width : 320;
        walker.SpeedX = right ? 60 : -60;
        walker.Blue = static_cast<uint8_t>(40 + 50 * (n % 4));
        walker.Green = static_cast<uint8_t>(60 + 30 * (n % 3));
        walker.Red = static_cast<uint8_t>(170 - 40 * (n % 3));
        scene.Walkers.push_back(walker);
    }
    return scene;
}

TEST_F(HeadlessActivityTest, PeopleWalkingAllTheTimeMakeOneRecording) {
    const TSceneDescription description = ContinuousWalkers(64);
    const TScene scene = GenerateScene(description);
    const std::string clip = FHome.path().toStdString() + "/walkway.avi";
    std::string message;
    ASSERT_TRUE(WriteSceneVideo(scene.Frames, description.Width, description.Height,
                                description.FramesPerSecond, 300000, 25, clip, message))
        << message;
    const TRect walkway = scene.Zones[1].Rect;

    FEnvironment.insert("TANDREL_TEST_PATTERN", "0");
    FEnvironment.insert("TANDREL_FILE_CAMERAS", QString::fromStdString(clip));
    const QString zone = QString("%1,%2,%3,%4")
                             .arg(walkway.Left)
                             .arg(walkway.Top)
                             .arg(walkway.Right)
                             .arg(walkway.Bottom);
    ASSERT_EQ(RunToEnd({"--headless", "--camera", "0", "--seconds", "60", "--zone", zone}), 0)
        << FErr.constData();

    int started = 0;
    std::vector<double> finished;
    for (const QJsonObject& event : Events(FOut)) {
        const QString name = event["event"].toString();
        if (name == "recording_started") {
            ++started;
        } else if (name == "recording_finished") {
            finished.push_back(event["duration"].toDouble());
        }
    }
    EXPECT_EQ(started, 1) << FOut.constData();
    ASSERT_EQ(finished.size(), 1u) << FOut.constData();
    // From the end of learning (and the seconds before it) to the end of the run.
    EXPECT_GT(finished[0], 40.0);
}

}  // namespace
