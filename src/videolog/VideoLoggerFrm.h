#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "videolog/VideoLogInfo.h"

class QComboBox;
class QPushButton;
class QTableWidget;
class QTimer;

// The "Video Log" window: the recordings of a folder from their information files (number,
// start date and time, length), reloaded every second, keeping the selection and the scroll
// position. Play Video or a double-click opens the selected recording in the preview window,
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

    QTableWidget* VideoList() const { return lvVideoList; }
    QPushButton* PlayVideoButton() const { return btnPlayVideo; }
    QPushButton* OpenFolderButton() const { return btnOpenFolder; }
    QComboBox* FolderChoice() const { return cbFolder; }
    // The records listed, in list order.
    const TVideoLogInfoList& Records() const { return FVideoList; }
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
    void FillList(int SelectedIndex, int HorizontalScroll, int VerticalScroll);
    void UpdatePlayButton();
    // The file of the record before (Step -1) or after (Step 1) the one last played.
    bool StepFileName(int Step, std::string& FileName);

    QTableWidget* lvVideoList = nullptr;
    QPushButton* btnPlayVideo = nullptr;
    QPushButton* btnOpenFolder = nullptr;
    QComboBox* cbFolder = nullptr;
    QTimer* Timer1 = nullptr;

    std::string FFolder;
    std::string FMotionFolder;
    std::string FConstantFolder;
    TVideoLogInfoList FVideoList;
    // What the list view shows: one entry per row, to see whether a reload changed anything.
    std::vector<std::string> FShownKeys;
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
