#include "videolog/VideoLogPreviewForm.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QToolButton>

#include <string>

#include "localisation/LanguageFile.h"
#include "platform/MediaFramework.h"
#include "support/LogCapture.h"
#include "videolog/PlaybackFilterTestSupport.h"
#include "videolog/PreviewPlayer.h"
#include "videolog/PreviewVideoWidget.h"
#include "videolog/TrackBar.h"

namespace {

using PlaybackTest::TFile;

int64_t PositionOf(TVideoLogPreviewFrm& form) {
    int64_t position = -1;
    form.PreviewPlayer()->GetPosition(position);
    return position;
}

class VideoLogPreviewFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(InitializeMediaFramework());
        LoadLanguageFile("");
    }
};

TEST_F(VideoLogPreviewFormTest, ARecordingOpensUnderItsNameAndPlaysAtOnce) {
    const std::string& file = PlaybackTest::FileOf(TFile::OwnRecording);
    ASSERT_FALSE(file.empty());
    TVideoLogPreviewFrm form;
    form.SetFileName(file);
    form.show();
    // Opening happens once the window is on screen.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.PreviewPlayer()->FileLoaded(); }, 15000));
    EXPECT_EQ(form.windowTitle().toStdString(), "recording.wmv");
    EXPECT_TRUE(form.MessageLabel()->isHidden());
    ASSERT_TRUE(QTest::qWaitFor([&] { return PositionOf(form) > 2000000; }, 15000));

    // Stop shows the first picture, paused.
    form.Button(1)->click();
    EXPECT_EQ(PositionOf(form), 0);
    QTest::qWait(300);
    EXPECT_EQ(PositionOf(form), 0);
    EXPECT_EQ(form.PositionBar()->Position(), 0);

    // Without callbacks there is nothing to step to.
    EXPECT_TRUE(form.Button(5)->isHidden());
    EXPECT_TRUE(form.Button(6)->isHidden());
}

TEST_F(VideoLogPreviewFormTest, ResizingKeepsTheVideoFillingThePreviewArea) {
    const std::string& file = PlaybackTest::FileOf(TFile::OwnRecording);
    TVideoLogPreviewFrm form;
    form.SetFileName(file);
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.PreviewPlayer()->FileLoaded(); }, 15000));
    for (const QSize size : {QSize(336, 309), QSize(640, 480), QSize(500, 700)}) {
        form.resize(size);
        const QSize area = form.PreviewPanel()->size();
        EXPECT_EQ(area, QSize(size.width() - 16, size.height() - 69));
        QWidget* panel = form.PreviewPlayer()->Panel(0);
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->geometry(), QRect(0, 0, area.width() - 16, area.height() - 20)) << size.width();
        EXPECT_EQ(form.PreviewPlayer()->VideoWidget(0)->size(), panel->size());
        // The bar and the buttons stay along the bottom.
        EXPECT_EQ(form.PositionBar()->geometry().bottom(), size.height() - 35);
        EXPECT_EQ(form.Button(0)->geometry().top(), size.height() - 33);
    }
}

TEST_F(VideoLogPreviewFormTest, SkinsColourTheBarAndSwapTheGlyphs) {
    TVideoLogPreviewFrm form;
    const qint64 lightPlay = form.Button(0)->icon().cacheKey();
    EXPECT_EQ(form.PositionBar()->BackColor(), 0xFFFFFFu);
    EXPECT_EQ(form.PositionBar()->TextColor(), 0x000000u);

    form.ChangeSkinID(1);
    EXPECT_EQ(form.SkinID(), 1u);
    EXPECT_EQ(form.PositionBar()->BackColor(), 0x000000u);
    EXPECT_EQ(form.PositionBar()->TextColor(), 0xFFFFFFu);
    EXPECT_EQ(form.PositionBar()->SelColor(), 0xFF8080u);
    EXPECT_EQ(form.PositionBar()->SliderColor(), 0x808080u);
    const qint64 darkPlay = form.Button(0)->icon().cacheKey();
    EXPECT_NE(darkPlay, lightPlay);

    form.ChangeSkinID(2);  // no such skin: nothing changes
    EXPECT_EQ(form.SkinID(), 1u);
    EXPECT_EQ(form.PositionBar()->BackColor(), 0x000000u);
    EXPECT_EQ(form.Button(0)->icon().cacheKey(), darkPlay);
}

TEST_F(VideoLogPreviewFormTest, AFileThatCannotBeLoadedTwiceLeavesAnEmptyWindowSayingSo) {
    TVideoLogPreviewFrm form;
    form.SetFileName("/nonexistent-folder/Rec_20261210_120000.wmv");
    LogCapture log;
    form.show();
    form.FormShow();
    EXPECT_FALSE(form.PreviewPlayer()->FileLoaded());
    EXPECT_TRUE(
        log.Contains("Error in TVideoLogPreviewFrm.FormShow - PreviewPlayer cannot load the file."));
    // Two attempts, each logged by the engine.
    int attempts = 0;
    for (const std::string& line : log.Lines()) {
        attempts += line.rfind("gkt: Error in TPreviewPlayer.LoadFile - cannot render", 0) == 0;
    }
    EXPECT_EQ(attempts, 2);
    EXPECT_FALSE(form.MessageLabel()->isHidden());
    EXPECT_EQ(form.MessageLabel()->text(), "File cannot be played!");
    // The buttons stay harmless.
    for (int i = 0; i < 5; ++i) {
        form.Button(i)->click();
    }
}

TEST_F(VideoLogPreviewFormTest, NextAndPreviousReplaceTheFileInTheSameWindow) {
    const std::string& recording = PlaybackTest::FileOf(TFile::OwnRecording);
    const std::string& tone = PlaybackTest::FileOf(TFile::ToneVideo);
    TVideoLogPreviewFrm form;
    form.SetFileName(recording);
    EXPECT_TRUE(form.SetNextFileNameCallback([&](std::string& name) {
        name = tone;
        return true;
    }));
    EXPECT_TRUE(form.SetPreviousFileNameCallback([](std::string& name) {
        name = "/nonexistent-folder/Rec_20261210_120000.wmv";
        return true;
    }));
    EXPECT_FALSE(form.Button(5)->isHidden());
    EXPECT_FALSE(form.Button(6)->isHidden());
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.PreviewPlayer()->FileLoaded(); }, 15000));

    form.Button(6)->click();
    EXPECT_TRUE(form.PreviewPlayer()->FileLoaded());
    EXPECT_EQ(form.windowTitle().toStdString(), "tone.mkv");
    EXPECT_EQ(form.PreviewPlayer()->TotalChannels(0), 2u);

    // A step to a file that cannot play keeps the window open and says so.
    form.Button(5)->click();
    EXPECT_FALSE(form.PreviewPlayer()->FileLoaded());
    EXPECT_FALSE(form.MessageLabel()->isHidden());
    EXPECT_TRUE(form.isVisible());

    EXPECT_FALSE(form.SetNextFileNameCallback({}));
    EXPECT_TRUE(form.Button(6)->isHidden());
}

TEST_F(VideoLogPreviewFormTest, ShowVideoLogPreviewFormOpensTheFileInTheSkin) {
    const std::string& file = PlaybackTest::FileOf(TFile::OwnRecording);
    bool ran = false;
    const auto previous = SetVideoLogPreviewFormRunHook([&](TVideoLogPreviewFrm& form) {
        ran = true;
        EXPECT_EQ(form.FileName(), file);
        EXPECT_EQ(form.SkinID(), 1u);
        form.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return form.PreviewPlayer()->FileLoaded(); }, 15000));
        return 0;
    });
    EXPECT_EQ(ShowVideoLogPreviewForm(nullptr, file, 1), 0);
    SetVideoLogPreviewFormRunHook(previous);
    EXPECT_TRUE(ran);
}

}  // namespace
