#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "videolog/VideoLogInfo.h"
#include "videolog/VideoLogInfoCache.h"

class QComboBox;
class QFileSystemWatcher;
class QPushButton;
class QTableView;
class QTimer;
class TVideoLogTableModel;

// The "Video Log" window: the recordings of a folder from their information files (number,
// start date and time, length), kept up to date while it is open, keeping the selection and
// the scroll position. The folder is watched, and only information files that came or changed
// are read; a check of the folders' time stamps every second stands in for the watch where it
// fails. Play Video or a double-click opens the selected recording in the preview window,
// whose previous and next buttons step through this list. When a folder of continually running
// recordings is given, a choice above the buttons switches between it and the motion folder.
class TVideoLoggerFrm : public QDialog {
    Q_OBJECT
public:
    explicit TVideoLoggerFrm(QWidget* AOwner = nullptr);
    ~TVideoLoggerFrm() override;

    // The folder shown (with its trailing "/"), and the optional second folder to choose.
    void SetFolder(const std::string& Folder);
    void SetConstantFolder(const std::string& Folder);
    const std::string& Folder() const { return FFolder; }

    // Brings the list up to date with the folder (reading only what came or changed).
    void RefreshForm();
    void ClearForm();
    void RefreshTexts();

    // Event handlers, named after their component and event.
    void FormShow();
    void FormClose();
    void lvVideoListClick();
    void lvVideoListDblClick();
    void btnPlayVideoClick();
    void btnOpenFolderClick();
    void cbFolderChange();

    QTableView* VideoList() const { return lvVideoList; }
    QPushButton* PlayVideoButton() const { return btnPlayVideo; }
    QPushButton* OpenFolderButton() const { return btnOpenFolder; }
    QComboBox* FolderChoice() const { return cbFolder; }
    // The records listed, in list order.
    const TVideoLogInfoList& Records() const;
    // Information files read since the window was made.
    uint64_t InfoFilesRead() const { return FCache.FilesRead(); }
    int SelectedIndex() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents();
    void PlaceComponents();
    // Timer1: looks again when the folders' time stamps moved (the watch missed something, or
    // there is no watch).
    void CheckFolder();
    // Makes the missing information files of recordings cut off by a crash in the folder shown.
    void RepairShownFolder();
    // Watches the folder and its information folder, as far as they exist.
    void WatchFolder();
    void SelectRow(int Row);
    // Columns as wide as their headers and the widest texts they hold; the window grows to
    // show them whole.
    void SizeColumns();
    void UpdatePlayButton();
    // The file of the record before (Step -1) or after (Step 1) the one last played.
    bool StepFileName(int Step, std::string& FileName);

    QTableView* lvVideoList = nullptr;
    TVideoLogTableModel* FModel = nullptr;
    QPushButton* btnPlayVideo = nullptr;
    QPushButton* btnOpenFolder = nullptr;
    QComboBox* cbFolder = nullptr;
    QTimer* Timer1 = nullptr;
    QFileSystemWatcher* FWatcher = nullptr;
    // Gathers the watch's reports of one change (a file written, then renamed) into one look.
    QTimer* FWatchDelay = nullptr;
    // Both folders are watched: the watch reports every change of their entries.
    bool FWatching = false;

    std::string FFolder;
    std::string FMotionFolder;
    std::string FConstantFolder;
    TVideoLogInfoCache FCache;
    // The recording the preview window shows, for its previous and next buttons.
    std::string FPlayingFileName;
    bool FShownOnce = false;
    bool FClosed = false;
};

// Shows the video log of Folder modally (owner AOwner, may be null) and destroys it when it
// closes. ConstantFolder, when not empty, can be chosen in the window too. A failure logs
// "Error in ShowVideoLoggerForm call...".
void ShowVideoLoggerForm(QWidget* AOwner, const std::string& Folder, const QString& Caption,
                         const std::string& ConstantFolder = {});

// Replaceable pieces, so tests can drive the window without a user; each returns the previous
// hook and an empty hook restores the real behaviour.
using TVideoLoggerFormRunHook = std::function<int(TVideoLoggerFrm& Form)>;
TVideoLoggerFormRunHook SetVideoLoggerFormRunHook(TVideoLoggerFormRunHook Hook);
// Opens a folder in the desktop's file manager; by default QDesktopServices::openUrl.
using TVideoLoggerOpenFolderHook = std::function<void(const QString& Folder)>;
TVideoLoggerOpenFolderHook SetVideoLoggerOpenFolderHook(TVideoLoggerOpenFolderHook Hook);
