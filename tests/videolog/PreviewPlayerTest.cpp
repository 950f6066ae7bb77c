#include "videolog/PreviewPlayer.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <QWidget>

#include <filesystem>
#include <fstream>
#include <string>

#include "localisation/TempFolder.h"
#include "platform/MediaFramework.h"
#include "support/LogCapture.h"
#include "videolog/PlaybackFilterTestSupport.h"
#include "videolog/PreviewVideoWidget.h"
#include "videolog/TrackBar.h"
#include "videolog/VUMeter.h"

namespace {

using PlaybackTest::TFile;
constexpr int64_t kSecond = 10000000;

// A host window as the preview window gives the engine: a 320 x 240 video area, the five
// transport buttons and the position bar.
class PreviewPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(InitializeMediaFramework());
        FHost.resize(400, 330);
        FPanel = new QWidget(&FHost);
        FPanel->setGeometry(8, 8, 320, 240);
        for (auto*& button : FButtons) {
            button = new QToolButton(&FHost);
        }
        FBar = new TVNTTrackBar(&FHost);
        FBar->setGeometry(8, 248, 320, 27);
        ASSERT_TRUE(FPlayer.PreviewInitialize(FPanel, FButtons[0], FButtons[1], FButtons[2],
                                              FButtons[3], FButtons[4], FBar));
        FPlayer.SetStayInPauseMode(true);
        FPlayer.SetStepSettleTime(50);
        FHost.show();
    }

    void TearDown() override { FPlayer.UnloadFile(); }

    // Moves the bar as the user does, which seeks.
    void SeekByBar(int64_t Position) { FBar->SetPosition(static_cast<int32_t>(Position / 1000)); }

    int64_t Position() {
        int64_t position = -1;
        EXPECT_TRUE(FPlayer.GetPosition(position));
        return position;
    }

    QWidget FHost;
    QWidget* FPanel = nullptr;
    QToolButton* FButtons[5] = {};
    TVNTTrackBar* FBar = nullptr;
    TPreviewPlayer FPlayer;
};

TEST_F(PreviewPlayerTest, ARecordingFillsThePanelLessMeterColumnAndCaptionRow) {
    const std::string& file = PlaybackTest::FileOf(TFile::OwnRecording);
    ASSERT_FALSE(file.empty());
    ASSERT_TRUE(FPlayer.LoadFile(file));
    EXPECT_TRUE(FPlayer.FileLoaded());
    ASSERT_EQ(FPlayer.PanelsCount(), 1u);
    EXPECT_EQ(FPlayer.Panel(0)->geometry(), QRect(0, 0, 320 - 16, 240 - 20));
    EXPECT_EQ(FPlayer.PanelLabel(0)->geometry(), QRect(0, 220, 304, 20));
    EXPECT_EQ(FPlayer.PanelLabel(0)->text(), "PROG: 1");
    EXPECT_EQ(FPlayer.PanelCheckBox(0)->pos(), QPoint(304 + 2, 220));
    EXPECT_TRUE(FPlayer.PanelCheckBox(0)->isChecked());
    // The recordings carry no sound: no meters.
    EXPECT_EQ(FPlayer.TotalChannels(0), 0u);
    EXPECT_EQ(FPlayer.VUMeter(0, 0), nullptr);

    // The bar counts in 100-microsecond steps and reads in seconds.
    int64_t duration = 0;
    ASSERT_TRUE(FPlayer.GetDuration(duration));
    EXPECT_NEAR(static_cast<double>(duration), 2.0 * kSecond, 0.3 * kSecond);
    EXPECT_EQ(FBar->MaxValue(), duration / 1000);
    EXPECT_DOUBLE_EQ(FBar->RangeMax(), static_cast<double>(duration) / kSecond);

    // Paused on the first picture, at the recording's own size.
    TPreviewVideoWidget* video = FPlayer.VideoWidget(0);
    ASSERT_NE(video, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return video->FramesShown() > 0; }, 15000));
    EXPECT_GT(video->CurrentFrame()->Width, 0);
    EXPECT_LE(video->CurrentFrame()->Width, 320);
    EXPECT_EQ(Position(), 0);

    const TVideoInfo info = FPlayer.GetVideoInfo(0);
    EXPECT_EQ(info.Stream, "WMV2");
    EXPECT_EQ(info.Width, PlaybackTestFiles::kRecordingWidth);
    EXPECT_EQ(info.Height, PlaybackTestFiles::kRecordingHeight);
    EXPECT_GT(info.AvgTimePerFrame, 0);

    const std::string pids = FPlayer.GetPIDInfoText();
    EXPECT_EQ(pids.rfind("Program : 1\r\n  Video PID : 0x", 0), 0u) << pids;
}

TEST_F(PreviewPlayerTest, TheTransportButtonsPlayStopAndStepAndTheBarSeeks) {
    const std::string& file = PlaybackTest::FileOf(TFile::OwnRecording);
    ASSERT_TRUE(FPlayer.LoadFile(file));

    // Frame back at the start stays at the start.
    FButtons[4]->click();
    EXPECT_EQ(Position(), 0);

    // Play: the timer moves the bar without seeking back.
    FButtons[0]->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return FBar->Position() > 2000; }, 15000));

    // Stop returns to the first picture, paused there.
    FButtons[1]->click();
    EXPECT_EQ(Position(), 0);
    QTest::qWait(300);
    EXPECT_EQ(Position(), 0);

    // The user's move of the bar seeks; the engine's own moves do not.
    FBar->SetPosition(FBar->MaxValue() / 2);
    const int64_t half = static_cast<int64_t>(FBar->MaxValue() / 2) * 1000;
    EXPECT_NEAR(static_cast<double>(Position()), static_cast<double>(half), 0.15 * kSecond);
    FBar->SetTag(1);
    FBar->SetPosition(0);
    FBar->SetTag(0);
    EXPECT_NEAR(static_cast<double>(Position()), static_cast<double>(half), 0.15 * kSecond);

    // One frame forward, then one back.
    const int64_t before = Position();
    FButtons[3]->click();
    const int64_t stepped = Position();
    EXPECT_GT(stepped, before);
    EXPECT_LE(stepped - before, kSecond / 10 + kSecond / 50);
    FButtons[4]->click();
    EXPECT_NEAR(static_cast<double>(Position()), static_cast<double>(before), kSecond / 50.0);
}

TEST_F(PreviewPlayerTest, AtTheEndItStopsAtTheStartOrLoops) {
    const std::string& file = PlaybackTest::FileOf(TFile::OwnRecording);
    ASSERT_TRUE(FPlayer.LoadFile(file));
    int64_t duration = 0;
    ASSERT_TRUE(FPlayer.GetDuration(duration));

    // Without looping: back at position 0, paused, the bar at 0.
    SeekByBar(duration - kSecond / 2);
    FButtons[0]->click();
    QTest::qWait(100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return FBar->Position() == 0 && Position() == 0; }, 15000));
    QTest::qWait(400);
    EXPECT_EQ(Position(), 0);

    // Looping: it goes on from the start.
    FPlayer.SetLoop(true);
    SeekByBar(duration - kSecond / 2);
    FButtons[0]->click();
    QTest::qWait(100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Position() < kSecond / 2; }, 15000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Position() > kSecond / 2 && Position() < duration; }, 15000));
}

TEST_F(PreviewPlayerTest, ATwoChannelToneGetsTwoMetersThatMoveAndFallOnStop) {
    const std::string& file = PlaybackTest::FileOf(TFile::ToneVideo);
    ASSERT_FALSE(file.empty());
    ASSERT_TRUE(FPlayer.LoadFile(file));
    ASSERT_EQ(FPlayer.TotalChannels(0), 2u);
    TVUMeter* left = FPlayer.VUMeter(0, 0);
    TVUMeter* right = FPlayer.VUMeter(0, 1);
    ASSERT_NE(left, nullptr);
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(left->objectName(), "VU_gr00_ch00");
    EXPECT_EQ(right->objectName(), "VU_gr00_ch01");
    // Both channels on the bottom row of the meter column: 0 at +2, 1 at +9.
    const QRect panel = FPlayer.Panel(0)->geometry();
    EXPECT_EQ(left->x(), panel.right() + 1 + 2);
    EXPECT_EQ(right->x(), panel.right() + 1 + 9);
    EXPECT_EQ(left->y(), right->y());
    EXPECT_EQ(left->width(), 5);
    EXPECT_DOUBLE_EQ(left->Volume(), -120);

    FButtons[0]->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return left->Volume() > -60 && right->Volume() > -60; }, 15000));
    // The tone is louder on the left.
    ASSERT_TRUE(QTest::qWaitFor([&] { return left->Volume() > right->Volume() + 6; }, 15000));

    FButtons[1]->click();
    EXPECT_DOUBLE_EQ(left->Volume(), -120);
    EXPECT_DOUBLE_EQ(right->Volume(), -120);
    QTest::qWait(200);  // the meter timer stopped with the playing
    EXPECT_DOUBLE_EQ(left->Volume(), -120);
}

TEST_F(PreviewPlayerTest, ATransportStreamWithTwoProgramsShowsTwoWindows) {
    const std::string& file = PlaybackTest::FileOf(TFile::TwoPrograms);
    ASSERT_FALSE(file.empty());
    ASSERT_TRUE(FPlayer.LoadFile(file));
    ASSERT_EQ(FPlayer.PanelsCount(), 2u);
    EXPECT_EQ(FPlayer.PanelLabel(0)->text(), "PROG: 1");
    EXPECT_EQ(FPlayer.PanelLabel(1)->text(), "PROG: 2");
    // Side by side, each half the host less its meter column.
    EXPECT_EQ(FPlayer.Panel(0)->geometry(), QRect(0, 0, 160 - 16, 240 - 20));
    EXPECT_EQ(FPlayer.Panel(1)->geometry(), QRect(160, 0, 160 - 16, 240 - 20));
    for (uint32_t i = 0; i < 2; ++i) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return FPlayer.VideoWidget(i)->FramesShown() > 0; }, 15000)) << i;
        EXPECT_EQ(FPlayer.GetVideoInfo(i).Stream, "MPEG2 Video") << i;
    }
    // Only program 2 has sound.
    EXPECT_EQ(FPlayer.TotalChannels(0), 0u);
    EXPECT_EQ(FPlayer.TotalChannels(1), 2u);

    const std::string pids = FPlayer.GetPIDInfoText();
    EXPECT_EQ(pids,
              "Program : 1\r\n  Video PID : 0x0100 (dec: 256)\r\n"
              "Program : 2\r\n  Video PID : 0x0200 (dec: 512)\r\n"
              "  Audio PID : 0x0201 (dec: 513)\r\n");

    // One program heard at a time: ticking the second clears the first.
    EXPECT_TRUE(FPlayer.PanelCheckBox(0)->isChecked());
    EXPECT_FALSE(FPlayer.PanelCheckBox(1)->isChecked());
    FPlayer.PanelCheckBox(1)->click();
    EXPECT_FALSE(FPlayer.PanelCheckBox(0)->isChecked());
    EXPECT_TRUE(FPlayer.PanelCheckBox(1)->isChecked());
    EXPECT_FALSE(FPlayer.EnablePreviewProgramVolume(2, true));
}

TEST_F(PreviewPlayerTest, FilesThatCannotPlayLeaveAnEmptyUsablePlayer) {
    TempFolder folder;
    const std::string dir = folder.Path() + "/";
    std::ofstream(dir + "empty.wmv").close();
    std::ofstream(dir + "text.wmv") << "This is a shopping list, not a video.\n";
    const std::string garbage = PlaybackTest::CopyOf(TFile::OwnRecording, folder, "garbage.wmv");
    ASSERT_TRUE(PlaybackTestFiles::OverwriteHeader(garbage));
    for (const std::string name : {"missing.wmv", "empty.wmv", "text.wmv", "garbage.wmv"}) {
        LogCapture log;
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(FPlayer.LoadFile(dir + name)) << name;
        EXPECT_LT(timer.elapsed(), 12000) << name;
        EXPECT_FALSE(FPlayer.FileLoaded()) << name;
        EXPECT_TRUE(log.Contains("gkt: Error in TPreviewPlayer.LoadFile - cannot render " + dir +
                                 name + "."))
            << name;
        // The controls do nothing without a file.
        FButtons[0]->click();
        FButtons[3]->click();
        FPlayer.Timer1Timer();
    }
    // After all that, a good file still plays.
    ASSERT_TRUE(FPlayer.LoadFile(PlaybackTest::FileOf(TFile::OwnRecording)));
    EXPECT_EQ(FPlayer.PanelsCount(), 1u);
}

TEST_F(PreviewPlayerTest, ARecordingDeletedWhilePlayingEndsWithoutHarm) {
    TempFolder folder;
    const std::string copy = PlaybackTest::CopyOf(TFile::OwnRecording, folder, "gone.wmv");
    ASSERT_TRUE(FPlayer.LoadFile(copy));
    FButtons[0]->click();
    std::filesystem::remove(copy);
    QTest::qWait(1500);
    FButtons[1]->click();
    EXPECT_TRUE(FPlayer.UnloadFile());
    EXPECT_FALSE(FPlayer.FileLoaded());
    EXPECT_EQ(FBar->MaxValue(), 1000);
    EXPECT_DOUBLE_EQ(FBar->RangeMax(), 0.5);
}

TEST(PreviewPlayerSetup, OnlyButtonsDriveTheTransportAndPreferredFiltersAreKept) {
    QWidget host;
    auto* panel = new QWidget(&host);
    auto* label = new QLabel(&host);
    QToolButton* buttons[5];
    for (auto*& button : buttons) {
        button = new QToolButton(&host);
    }
    TPreviewPlayer player;
    EXPECT_FALSE(player.PreviewInitialize(panel, buttons[0], label, buttons[2], buttons[3],
                                          buttons[4], nullptr));

    TGUID decoder{0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_TRUE(player.AddPreferredFilter(1, decoder));
    EXPECT_TRUE(player.AddPreferredFilter(2, decoder));
    int32_t count = 0;
    EXPECT_TRUE(player.GetPreferredFiltersCount(count));
    EXPECT_EQ(count, 2);
    LogCapture log;
    EXPECT_FALSE(player.RemovePreferredFilter(2));
    EXPECT_TRUE(log.Contains("Error in TPreviewPlayer.RemovePreferredFilter - invalid arguments."));
    EXPECT_TRUE(player.RemovePreferredFilter(0));
    player.GetPreferredFiltersCount(count);
    EXPECT_EQ(count, 1);
}

}  // namespace
