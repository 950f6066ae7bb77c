#pragma once

#include <QMainWindow>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>

#include "platform/DateTime.h"
#include "platform/SingleInstanceLock.h"

class QAction;
class QMenu;
class QTimer;
class TAlarmVideoWindow;
class TCameraManager;
class TLanguageList;
class TTerminationSignals;

// The main window: menu bar, window and language settings, the language menu, the single-instance
// guard, the update gate with its hourly re-check, and the host of the camera panel.
// Everything here runs on the GUI thread.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Where the *.lng files are looked for; by default "Language" beside the executable.
    void SetLanguageFolder(const QString& folder) { FLanguageFolder = folder; }

    // Replaces the update gate (true lets start-up go on); by default the update check against
    // the configured update host runs. Tests install their own.
    using TUpdateGate = std::function<bool()>;
    void SetUpdateGate(TUpdateGate gate) { FUpdateGate = std::move(gate); }

    // Start-up and shutdown sequences (run by the first show and by closing).
    void FormShow();
    void FormClose();

    bool SelectLanguage(int index);
    bool RefreshMenuTexts();
    bool CheckForAdditionalLanguages(TLanguageList* list, QMenu* menu);
    void LanguageItemClick(QAction* sender);
    void RestartTimerTimer();
    bool InitializationAndUpdate();
    void Exit1Click();
    void About1Click();

    int LanguageIndex() const { return FLanguageIndex; }
    bool StartedUp() const { return FStartedUp; }
    QMenu* LanguageMenu() const { return Language1; }
    TDateTime StartDateTime() const { return FStartDateTime; }
    TCameraManager* CameraManager() const { return FCameraManager.get(); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenu();
    bool LoadRegistrySettings();
    bool SaveRegistrySettings();
    void FormResize();
    void FormKeyDown(int key);
    void RefreshLanguageMenuLater();
    // Ends a refused second instance at once: nothing is saved on the way out.
    void TerminateAtOnce();
    // Whether a dialog, message box or menu is running its own event loop right now.
    bool InsideNestedLoop() const;
    void CloseModalWindows();
    // The stored window rectangle (outer) made to fit the desktop and the minimum size; the
    // window frame adds frameExtra to the client size.
    QRect KeepOnScreen(const QPoint& position, const QSize& size, const QSize& frameExtra) const;
    // The file name (without folder) of language index, or "" for English.
    QString LanguageFileName(int index) const;
    void FindStoredLanguageFile();

    QMenu* File1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Settings1 = nullptr;
    QMenu* Language1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* About1 = nullptr;
    QTimer* RestartTimer = nullptr;
    TTerminationSignals* FTerminationSignals = nullptr;
    // Shows zones' video alarms full screen while the program runs.
    std::unique_ptr<TAlarmVideoWindow> FAlarmVideoWindow;
    // The one camera controller; absent until the update gate lets start-up go on.
    std::unique_ptr<TCameraManager> FCameraManager;

    TDateTime FStartDateTime = 0;
    TSingleInstanceLock FSingleInstanceMutexHandle;
    int FHostVersion = 0;
    int FRegistryVersion = 0;
    std::string FTempPath;
    std::unique_ptr<TLanguageList> FLanguageList;
    int FLanguageIndex = -1;
    QString FLanguageFolder;
    TUpdateGate FUpdateGate;

    bool FShown = false;
    bool FStartedUp = false;
    bool FClosed = false;
    bool FTerminating = false;
    bool FLanguageMenuRefreshPending = false;
    bool FClosePending = false;
    // The event loop level start-up ran at; a deeper level means a nested loop runs.
    int FBaseLoopLevel = 0;
    QString FStoredLanguageFile;
};
