#include "videolog/VideoLoggerFrm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QAbstractItemModel>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "localisation/LanguageFile.h"
#include "localisation/TempFolder.h"
#include "platform/DateTime.h"
#include "platform/MediaFramework.h"
#include "support/PlaybackTestFiles.h"
#include "videolog/VideoLogInfo.h"
#include "videolog/VideoLogPreviewForm.h"

namespace {

namespace fs = std::filesystem;

// A recording folder the tests fill with pairs of video and information files. The videos'
// content does not matter to the list.
class RecordingFolder {
public:
    RecordingFolder() { fs::create_directories(Path() + "LogInfo"); }
    std::string Path() const { return FTemp.Path() + "/"; }

    // Rec_<name>.wmv with its information file.
    std::string Add(const std::string& name, TDateTime start, double seconds) {
        const std::string video = Path() + "Rec_" + name + ".wmv";
        std::ofstream(video) << "video";
        TVideoLogInfo info{start, seconds, video};
        EXPECT_TRUE(SaveVideoLogInfo(Path(), info, true));
        return video;
    }
    void WriteInfo(const std::string& name, const std::string& content) {
        std::ofstream(Path() + "LogInfo/Rec_" + name + ".vli", std::ios::binary) << content;
    }

private:
    TempFolder FTemp;
};

TDateTime At(int day, int hour, int minute, int second) {
    return EncodeDateTime({2026, 12, day, hour, minute, second, 0});
}

QString Cell(const TVideoLoggerFrm& form, int row, int column) {
    return form.VideoList()->model()->index(row, column).data().toString();
}

int Rows(const TVideoLoggerFrm& form) { return form.VideoList()->model()->rowCount(); }

class VideoLoggerFrmTest : public ::testing::Test {
protected:
    void SetUp() override { LoadLanguageFile(""); }
    void TearDown() override { LoadLanguageFile(""); }

    // A shown window on Folder.
    std::unique_ptr<TVideoLoggerFrm> Open(const std::string& Folder,
                                          const std::string& ConstantFolder = {}) {
        auto form = std::make_unique<TVideoLoggerFrm>();
        form->SetFolder(Folder);
        form->SetConstantFolder(ConstantFolder);
        form->show();
        return form;
    }
};

TEST_F(VideoLoggerFrmTest, ListsTheRecordingsWithNumberStartAndLength) {
    RecordingFolder folder;
    folder.Add("20261210_091500", At(10, 9, 15, 0), 59.96);
    folder.Add("20261210_101500", At(10, 10, 15, 0), 5.04);
    // Unreadable information files are passed over; the ones after them are still listed.
    folder.WriteInfo("20261210_093000", "not a number\r\n5\r\n");
    std::ofstream(folder.Path() + "Rec_20261210_093000.wmv") << "video";
    // An information file whose video is gone is deleted and not listed.
    folder.WriteInfo("20261210_094500", "46000.5\r\n3\r\n");

    auto form = Open(folder.Path());
    ASSERT_EQ(Rows(*form), 2);
    EXPECT_EQ(Cell(*form, 0, 0), "1");
    EXPECT_EQ(Cell(*form, 0, 1), "10.12.2026 09:15:00");
    EXPECT_EQ(Cell(*form, 0, 2), "60.0s");
    EXPECT_EQ(Cell(*form, 1, 0), "2");
    EXPECT_EQ(Cell(*form, 1, 2), "5.0s");
    EXPECT_FALSE(fs::exists(folder.Path() + "LogInfo/Rec_20261210_094500.vli"));
    EXPECT_TRUE(fs::exists(folder.Path() + "LogInfo/Rec_20261210_093000.vli"));
    // The first recording is selected and can be played.
    EXPECT_EQ(form->SelectedIndex(), 0);
    EXPECT_TRUE(form->PlayVideoButton()->isEnabled());
    EXPECT_EQ(form->windowTitle(), "Video Log");
    const QAbstractItemModel* model = form->VideoList()->model();
    const QStringList headers = {model->headerData(0, Qt::Horizontal).toString(),
                                 model->headerData(1, Qt::Horizontal).toString(),
                                 model->headerData(2, Qt::Horizontal).toString()};
    EXPECT_EQ(headers, QStringList({"#", "Creation Date and Time", "Duration(seconds)"}));
}

TEST_F(VideoLoggerFrmTest, AFolderWithoutRecordingsListsNothingAndCannotPlay) {
    TempFolder empty;  // no LogInfo folder at all
    auto form = Open(empty.Path() + "/");
    EXPECT_EQ(Rows(*form), 0);
    EXPECT_FALSE(form->PlayVideoButton()->isEnabled());
    int opened = 0;
    const auto previous = SetVideoLogPreviewFormRunHook([&](TVideoLogPreviewFrm&) {
        ++opened;
        return 0;
    });
    form->btnPlayVideoClick();
    SetVideoLogPreviewFormRunHook(previous);
    EXPECT_EQ(opened, 0);
}

TEST_F(VideoLoggerFrmTest, ARecordingFinishedWhileOpenIsListedWithinASecondKeepingSelection) {
    RecordingFolder folder;
    for (int i = 0; i < 40; ++i) {
        folder.Add("20261210_08" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "00",
                   At(10, 8, i, 0), 5 + i);
    }
    auto form = Open(folder.Path());
    form->resize(400, 330);
    ASSERT_EQ(Rows(*form), 40);
    form->VideoList()->selectRow(12);
    form->VideoList()->verticalScrollBar()->setValue(7);
    const int scroll = form->VideoList()->verticalScrollBar()->value();

    folder.Add("20261210_091000", At(10, 9, 10, 0), 12.5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Rows(*form) == 41; }, 3000));
    EXPECT_EQ(Cell(*form, 40, 2), "12.5s");
    EXPECT_EQ(form->SelectedIndex(), 12);
    EXPECT_EQ(form->VideoList()->verticalScrollBar()->value(), scroll);
}

// Writes Content over an information file in place and gives the file back its modification
// time: its size, time and folder look untouched, so only a list that reads it again shows the
// new numbers.
void RewriteUnnoticed(const std::string& InfoFile, const std::string& Content) {
    const auto stamp = fs::last_write_time(InfoFile);
    ASSERT_EQ(fs::file_size(InfoFile), Content.size());
    std::fstream(InfoFile, std::ios::in | std::ios::out | std::ios::binary) << Content;
    fs::last_write_time(InfoFile, stamp);
}

TEST_F(VideoLoggerFrmTest, TheOpenListFollowsTheFolderReadingOnlyFilesThatCameOrChanged) {
    RecordingFolder folder;
    auto name = [](int minute) {
        return "20261210_08" + std::string(minute < 10 ? "0" : "") + std::to_string(minute) + "00";
    };
    for (int i = 0; i < 20; ++i) {
        folder.Add(name(i), At(10, 8, i, 0), 10 + i);
    }
    auto form = Open(folder.Path());
    ASSERT_EQ(Rows(*form), 20);
    EXPECT_EQ(form->InfoFilesRead(), 20u);
    RewriteUnnoticed(folder.Path() + "LogInfo/Rec_" + name(2) + ".vli",
                     FormatVideoLogNumber(At(10, 8, 2, 0)) + "\r\n99\r\n");
    form->VideoList()->selectRow(5);

    // A recording finishes: it is listed, and the files already read are not read again.
    folder.Add("20261210_090000", At(10, 9, 0, 0), 42);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Rows(*form) == 21; }, 3000));
    EXPECT_EQ(Cell(*form, 20, 2), "42.0s");
    EXPECT_EQ(Cell(*form, 2, 2), "12.0s");
    EXPECT_EQ(form->SelectedIndex(), 5);

    // A recording is deleted: it leaves the list, its information file goes, the selected
    // recording stays selected.
    fs::remove(folder.Path() + "Rec_" + name(1) + ".wmv");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Rows(*form) == 20; }, 3000));
    EXPECT_EQ(Cell(*form, 1, 1), "10.12.2026 08:02:00");
    EXPECT_FALSE(fs::exists(folder.Path() + "LogInfo/Rec_" + name(1) + ".vli"));
    ASSERT_EQ(form->SelectedIndex(), 4);
    EXPECT_EQ(Cell(*form, 4, 1), "10.12.2026 08:05:00");

    // The selected recording itself is deleted: the row at its place is selected.
    fs::remove(folder.Path() + "Rec_" + name(5) + ".wmv");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Rows(*form) == 19; }, 3000));
    EXPECT_EQ(form->SelectedIndex(), 4);
    EXPECT_EQ(Cell(*form, 4, 1), "10.12.2026 08:06:00");
    EXPECT_EQ(Cell(*form, 4, 0), "5");  // the numbers follow
    EXPECT_EQ(Cell(*form, 18, 0), "19");
    EXPECT_EQ(form->InfoFilesRead(), 21u);
}

TEST_F(VideoLoggerFrmTest, TheFirstRecordingOfANewFolderIsListed) {
    TempFolder temp;  // no information folder yet
    const std::string folder = temp.Path() + "/";
    auto form = Open(folder);
    ASSERT_EQ(Rows(*form), 0);
    const std::string video = folder + "Rec_20261210_091500.wmv";
    std::ofstream(video) << "video";
    ASSERT_TRUE(SaveVideoLogInfo(folder, {At(10, 9, 15, 0), 8, video}, true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Rows(*form) == 1; }, 3000));
    EXPECT_EQ(Cell(*form, 0, 2), "8.0s");
}

TEST_F(VideoLoggerFrmTest, ARecordingCutOffByACrashIsListedWhenTheWindowOpens) {
    ASSERT_TRUE(InitializeMediaFramework());
    RecordingFolder folder;
    folder.Add("20261210_091500", At(10, 9, 15, 0), 10);
    // A video without its information file, as a killed program leaves it.
    ASSERT_TRUE(PlaybackTestFiles::MakeOwnRecording(folder.Path() + "Rec_20261210_093000.wmv", 1.0));
    auto form = Open(folder.Path());
    ASSERT_EQ(Rows(*form), 2);
    EXPECT_EQ(Cell(*form, 1, 1), "10.12.2026 09:30:00");
    EXPECT_TRUE(fs::exists(folder.Path() + "LogInfo/Rec_20261210_093000.vli"));
    EXPECT_EQ(form->SelectedIndex(), 0);
}

TEST_F(VideoLoggerFrmTest, ARecordingReplacedByAnotherShowsTheNewOne) {
    RecordingFolder folder;
    folder.Add("20261210_091500", At(10, 9, 15, 0), 10);
    const std::string old = folder.Add("20261210_093000", At(10, 9, 30, 0), 20);
    auto form = Open(folder.Path());
    ASSERT_EQ(Rows(*form), 2);
    form->VideoList()->selectRow(0);

    // Same number of recordings, different set: the second one went, a new one came.
    fs::remove(old);
    folder.Add("20261210_100000", At(10, 10, 0, 0), 33);
    form->RefreshForm();
    ASSERT_EQ(Rows(*form), 2);
    EXPECT_EQ(Cell(*form, 1, 1), "10.12.2026 10:00:00");
    EXPECT_EQ(Cell(*form, 1, 2), "33.0s");
    EXPECT_EQ(form->SelectedIndex(), 0);
}

TEST_F(VideoLoggerFrmTest, TheWheelMovesTheSelectionALineOrWithCtrlAPage) {
    RecordingFolder folder;
    for (int i = 0; i < 30; ++i) {
        folder.Add("20261210_07" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "00",
                   At(10, 7, i, 0), 5);
    }
    auto form = Open(folder.Path());
    QTableView* list = form->VideoList();
    list->setFocus();
    list->setCurrentIndex(list->model()->index(5, 0));
    ASSERT_EQ(form->SelectedIndex(), 5);

    auto turn = [&](int delta, Qt::KeyboardModifiers modifiers) {
        QWidget* viewport = list->viewport();
        const QPointF at(viewport->width() / 2.0, viewport->height() / 2.0);
        QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
    };
    turn(-120, Qt::NoModifier);  // towards the user
    EXPECT_EQ(form->SelectedIndex(), 6);
    turn(120, Qt::NoModifier);  // away from the user
    EXPECT_EQ(form->SelectedIndex(), 5);
    turn(-120, Qt::ControlModifier);  // a page down
    EXPECT_GT(form->SelectedIndex(), 7);
    const int paged = form->SelectedIndex();
    turn(120, Qt::ControlModifier);  // and a page back up
    EXPECT_LT(form->SelectedIndex(), paged);
}

TEST_F(VideoLoggerFrmTest, PlayVideoOpensTheSelectedRecordingAndSteppingWalksTheList) {
    RecordingFolder folder;
    const std::vector<std::string> videos = {
        folder.Add("20261210_091500", At(10, 9, 15, 0), 10),
        folder.Add("20261210_093000", At(10, 9, 30, 0), 20),
        folder.Add("20261210_094500", At(10, 9, 45, 0), 30)};
    auto form = Open(folder.Path());
    form->VideoList()->selectRow(1);

    std::vector<std::string> shown;
    const auto previous = SetVideoLogPreviewFormRunHook([&](TVideoLogPreviewFrm& preview) {
        shown.push_back(preview.FileName());
        EXPECT_EQ(preview.SkinID(), 0u);
        // Both step buttons are there; each step replaces the file.
        EXPECT_FALSE(preview.Button(5)->isHidden());
        EXPECT_FALSE(preview.Button(6)->isHidden());
        preview.btnNextClick();
        shown.push_back(preview.FileName());
        preview.btnNextClick();  // past the last: stays
        shown.push_back(preview.FileName());
        preview.btnPreviousClick();
        preview.btnPreviousClick();
        shown.push_back(preview.FileName());
        return 0;
    });
    form->btnPlayVideoClick();
    SetVideoLogPreviewFormRunHook(previous);
    const std::vector<std::string> expected = {videos[1], videos[2], "", videos[0]};
    EXPECT_EQ(shown, expected);
    // The list follows the recording on show.
    EXPECT_EQ(form->SelectedIndex(), 0);

    // A double-click plays as well.
    int opened = 0;
    const auto again = SetVideoLogPreviewFormRunHook([&](TVideoLogPreviewFrm&) {
        ++opened;
        return 0;
    });
    form->lvVideoListDblClick();
    SetVideoLogPreviewFormRunHook(again);
    EXPECT_EQ(opened, 1);
}

TEST_F(VideoLoggerFrmTest, TheContinuousRecordingsCanBeChosenAndTheFolderOpened) {
    RecordingFolder motion;
    RecordingFolder constant;
    motion.Add("20261210_091500", At(10, 9, 15, 0), 10);
    constant.Add("20261210_000000", At(10, 0, 0, 0), 7200);
    constant.Add("20261210_020000", At(10, 2, 0, 0), 3600.5);

    auto form = Open(motion.Path(), constant.Path());
    ASSERT_FALSE(form->FolderChoice()->isHidden());
    EXPECT_EQ(form->FolderChoice()->currentIndex(), 0);
    EXPECT_EQ(Rows(*form), 1);

    std::vector<QString> opened;
    const auto previous = SetVideoLoggerOpenFolderHook([&](const QString& f) { opened.push_back(f); });
    form->FolderChoice()->setCurrentIndex(1);
    ASSERT_EQ(Rows(*form), 2);
    EXPECT_EQ(Cell(*form, 1, 2), "3600.5s");
    EXPECT_EQ(form->SelectedIndex(), 0);
    QTest::mouseClick(form->OpenFolderButton(), Qt::LeftButton);
    form->FolderChoice()->setCurrentIndex(0);
    EXPECT_EQ(Rows(*form), 1);
    QTest::mouseClick(form->OpenFolderButton(), Qt::LeftButton);
    SetVideoLoggerOpenFolderHook(previous);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].toStdString(), constant.Path());
    EXPECT_EQ(opened[1].toStdString(), motion.Path());

    // Without a second folder there is no choice to make.
    auto single = Open(motion.Path());
    EXPECT_TRUE(single->FolderChoice()->isHidden());
}

TEST_F(VideoLoggerFrmTest, ShowVideoLoggerFormRunsTheWindowOnTheFolder) {
    RecordingFolder folder;
    folder.Add("20261210_091500", At(10, 9, 15, 0), 10);
    std::string seen;
    int rows = -1;
    const auto previous = SetVideoLoggerFormRunHook([&](TVideoLoggerFrm& form) {
        form.show();
        seen = form.Folder();
        rows = Rows(form);
        return 0;
    });
    ShowVideoLoggerForm(nullptr, folder.Path(), "Video Log");
    SetVideoLoggerFormRunHook(previous);
    EXPECT_EQ(seen, folder.Path());
    EXPECT_EQ(rows, 1);
}

}  // namespace
