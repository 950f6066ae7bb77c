#include "shell/Form1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <algorithm>
#include <cstdint>

#include "alarms/AlarmVideoPresenter.h"
#include "alarms/AlarmVideoWindow.h"
#include "capture/DevicePropertiesDialog.h"
#include "controller/CameraManager.h"
#include "localisation/LanguageFile.h"
#include "localisation/LanguageList.h"
#include "localisation/UiText.h"
#include "notifications/EventOutputs.h"
#include "notifications/EventStream.h"
#include "notifications/NotificationSettingsStore.h"
#include "platform/Diagnostics.h"
#include "platform/Paths.h"
#include "platform/SettingsStore.h"
#include "shell/AboutForm.h"
#include "shell/TerminationSignals.h"
#include "shell/UpdateCheck.h"
#include "ui/MessageDialog.h"
#include "ui/ProductIcon.h"

namespace {

constexpr int kDesignClientWidth = 926;
constexpr int kDesignClientHeight = 521;
constexpr int kDesignLeft = 366;
constexpr int kDesignTop = 187;
constexpr int kMinimumWidth = 934;
constexpr int kMinimumHeight = 200;
constexpr int kRestartTimerInterval = 3600000;  // one hour
constexpr double kUpdateRecheckDays = 15.0;
constexpr const char* kProductName = "Tandrel";
// How often a close that waits for a nested loop to return is tried again.
constexpr int kCloseRetryMS = 20;

}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setObjectName("Form1");
    setWindowTitle(kProductName);
    setWindowIcon(ProductIcon());
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    CreateMenu();
    // The camera panel lives in the client area below the menu bar.
    setCentralWidget(new QWidget(this));
    resize(kDesignClientWidth, kDesignClientHeight + menuBar()->sizeHint().height());
    move(kDesignLeft, kDesignTop);

    FLanguageFolder = QString::fromStdString(GetResourceFolder("Language"));

    RestartTimer = new QTimer(this);
    RestartTimer->setInterval(kRestartTimerInterval);
    connect(RestartTimer, &QTimer::timeout, this, &TForm1::RestartTimerTimer);
    RestartTimer->start();

    // SIGINT / SIGTERM close the window exactly as File > Exit does.
    FTerminationSignals = new TTerminationSignals(this);
    connect(FTerminationSignals, &TTerminationSignals::TerminationRequested, this,
            &TForm1::Exit1Click);

    // Key preview: the window sees key presses before the focused control.
    qApp->installEventFilter(this);
}

TForm1::~TForm1() {
    qApp->removeEventFilter(this);
    if (!FClosed && !FTerminating && FShown) {
        FormClose();
    }
    if (FAlarmVideoWindow) {
        SetAlarmVideoPresenter(nullptr);
    }
}

void TForm1::CreateMenu() {
    File1 = menuBar()->addMenu(QString());
    Exit1 = File1->addAction(QString());
    connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
    Settings1 = menuBar()->addMenu(QString());
    Language1 = Settings1->addMenu(QString());
    Help1 = menuBar()->addMenu(QString());
    About1 = Help1->addAction(QString());
    connect(About1, &QAction::triggered, this, &TForm1::About1Click);
    RefreshMenuTexts();
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!FShown) {
        FShown = true;
        // Queued, so start-up runs inside the event loop (a refused start can then end it).
        QTimer::singleShot(0, this, &TForm1::FormShow);
    }
}

void TForm1::FormShow() {
    try {
        // 1. Single instance.
        FBaseLoopLevel = QThread::currentThread()->loopLevel();
        const auto lock =
            FSingleInstanceMutexHandle.TryAcquire(TSingleInstanceLock::DefaultName(kProductName));
        if (lock != TSingleInstanceLock::TResult::Acquired) {
            // A lock that cannot be taken at all refuses the start just as a held one: two
            // instances would fight over the same settings and recordings.
            if (lock == TSingleInstanceLock::TResult::Failed) {
                LogMessage("Error in TForm1.FormShow - cannot take the single-instance lock.");
            }
            // From here on nothing is saved, whatever closes the window.
            FTerminating = true;
            ShowMessageDialog(UiText(txtOnlyOneInstance), TMsgDlgType::mtError, {TMsgDlgBtn::mbOK},
                              UiText(txtError), {UiText(txtOK)});
            TerminateAtOnce();
            return;
        }
        // 2. - 4.
        GetTmpPath(FTempPath);
        FStartDateTime = Now();
        LoadRegistrySettings();
        // 5. Language files and the language menu.
        FLanguageList = std::make_unique<TLanguageList>();
        const bool listed =
            GenerateLanguageFileList(FLanguageFolder.toStdString(), FLanguageList.get());
        FindStoredLanguageFile();
        if (listed) {
            if (!CheckForAdditionalLanguages(FLanguageList.get(), Language1)) {
                TraceMessage("Error in TForm1.FormShow - cannot populate the language menu.");
            }
        } else {
            Language1->setEnabled(false);
            TraceMessage("Error in TForm1.FormShow - cannot generate the language menu.");
        }
        // 6. - 7.
        SelectLanguage(FLanguageIndex);
        RefreshMenuTexts();
        // 8. The camera controller is created once the update gate lets start-up go on.
        // The gate pumps messages while it downloads, so the window may have been closed
        // meanwhile; a closed window gets no camera.
        if (InitializationAndUpdate() && !FClosed) {
            FAlarmVideoWindow = std::make_unique<TAlarmVideoWindow>();
            SetAlarmVideoPresenter(FAlarmVideoWindow.get());
            InstallDevicePropertiesDialog();
            FCameraManager = std::make_unique<TCameraManager>(this, 100);
            // The events go to the receivers of the notification settings.
            FCameraManager->SetEventStream(std::make_shared<TEventStream>());
            FCameraManager->EventStream()->SetInstance(EventInstanceName({}));
            FCameraManager->ApplyNotificationSettings(LoadNotificationSettings());
            if (FCameraManager->InitializeCamera() && FCameraManager->VideoWidth() > 0) {
                FCameraManager->PublishCameraStarted();
            }
            FStartedUp = true;
        }
    } catch (...) {
        LogMessage("Error in TForm1.FormShow call...");
    }
}

void TForm1::TerminateAtOnce() {
    FTerminating = true;
    hide();
    // Ends the event loop start-up ran in. With none running (a caller driving the window
    // itself) there is nothing to end, and the request would end the next loop started instead.
    if (QThread::currentThread()->loopLevel() > 0) {
        QCoreApplication::exit(0);
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (InsideNestedLoop()) {
        // A dialog, message box or menu runs its own loop and the handler that opened it is
        // still on the stack: closing now would destroy what that handler goes on using. The
        // modal windows are closed instead, and the close is carried out once every nested loop
        // has returned.
        event->ignore();
        CloseModalWindows();
        if (!FClosePending) {
            FClosePending = true;
            QTimer::singleShot(kCloseRetryMS, this, [this] {
                FClosePending = false;
                close();
            });
        }
        return;
    }
    if (!FTerminating && !FClosed) {
        FormClose();
    }
    event->accept();
}

bool TForm1::InsideNestedLoop() const {
    return FShown && QThread::currentThread()->loopLevel() > FBaseLoopLevel;
}

void TForm1::CloseModalWindows() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget == this || !widget->isVisible()) {
            continue;
        }
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog != nullptr && dialog->isModal()) {
            dialog->reject();
        } else if (auto* menu = qobject_cast<QMenu*>(widget)) {
            menu->close();
        } else if (widget->isModal()) {
            widget->close();
        }
    }
}

void TForm1::FormClose() {
    FClosed = true;
    SaveRegistrySettings();
    try {
        // The controller saves its settings and zones as it goes.
        FCameraManager.reset();
        // After the camera controller (and with it every alarm thread) is gone.
        SetAlarmVideoPresenter(nullptr);
        FAlarmVideoWindow.reset();
        FLanguageList.reset();
        FSingleInstanceMutexHandle.Release();
    } catch (...) {
        LogMessage("Error in TForm1.FormClose call...");
    }
}

bool TForm1::LoadRegistrySettings() {
    try {
        FLanguageIndex = -1;
        TSettingsStore store;
        if (!store.OpenKey(QString(), false)) {
            return true;
        }
        // The stored sizes are outer sizes; the frame the window manager adds is taken off.
        const QSize frameExtra = frameGeometry().size() - geometry().size();
        int value = 0;
        QSize size = frameGeometry().size();
        QPoint position = pos();
        if (store.ReadInteger("FormWidth", value)) {
            size.setWidth(value);
        }
        if (store.ReadInteger("FormHeight", value)) {
            size.setHeight(value);
        }
        if (store.ReadInteger("FormTop", value)) {
            position.setY(value);
        }
        if (store.ReadInteger("FormLeft", value)) {
            position.setX(value);
        }
        if (store.ReadInteger("LanguageIndex", value)) {
            FLanguageIndex = value;
        }
        QString languageFile;
        FStoredLanguageFile.clear();
        if (store.ReadString("LanguageFile", languageFile)) {
            FStoredLanguageFile = languageFile;
        }
        const QRect window = KeepOnScreen(position, size, frameExtra);
        resize(window.size() - frameExtra);
        move(window.topLeft());
        return true;
    } catch (...) {
        LogMessage("Error in TForm1.LoadRegistrySettings call...");
        return false;
    }
}

bool TForm1::SaveRegistrySettings() {
    try {
        TSettingsStore store;
        const QRect outer = frameGeometry();
        const bool written = store.OpenKey(QString(), true) &&
                             store.WriteInteger("FormWidth", outer.width()) &&
                             store.WriteInteger("FormHeight", outer.height()) &&
                             store.WriteInteger("FormTop", outer.top()) &&
                             store.WriteInteger("FormLeft", outer.left()) &&
                             store.WriteInteger("LanguageIndex", FLanguageIndex) &&
                             store.WriteString("LanguageFile", LanguageFileName(FLanguageIndex));
        store.CloseKey();
        if (!written || !store.Flush()) {
            throw std::runtime_error("settings not written");
        }
        return true;
    } catch (...) {
        LogMessage("Error in TForm1.SaveRegistrySettings call...");
        return false;
    }
}

QRect TForm1::KeepOnScreen(const QPoint& position, const QSize& size,
                           const QSize& frameExtra) const {
    // Sizes between the minimum and the desktop; the position such that the window lies on it.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect desktop = screen != nullptr ? screen->availableVirtualGeometry()
                                            : QRect(0, 0, QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const int minimumOuterWidth = minimumWidth() + frameExtra.width();
    const int minimumOuterHeight = minimumHeight() + frameExtra.height();
    const int width = std::clamp(size.width(), minimumOuterWidth,
                                 std::max(minimumOuterWidth, desktop.width()));
    const int height = std::clamp(size.height(), minimumOuterHeight,
                                  std::max(minimumOuterHeight, desktop.height()));
    const int left = std::clamp<int64_t>(position.x(), desktop.left(),
                                         std::max<int64_t>(desktop.left(),
                                                           int64_t{desktop.right()} + 1 - width));
    const int top = std::clamp<int64_t>(position.y(), desktop.top(),
                                        std::max<int64_t>(desktop.top(),
                                                          int64_t{desktop.bottom()} + 1 - height));
    return QRect(left, top, width, height);
}

QString TForm1::LanguageFileName(int index) const {
    const PLanguageFile file = FLanguageList ? FLanguageList->Get(index) : nullptr;
    return file != nullptr
               ? QFileInfo(QString::fromStdString(file->LanguageFileName)).fileName()
               : QString();
}

void TForm1::FindStoredLanguageFile() {
    // The index counts files in name order, so a translation added later would move it; the
    // stored file name, when that file is still listed, says which language the user chose.
    if (FStoredLanguageFile.isEmpty() || !FLanguageList) {
        return;
    }
    for (int i = 0; i < FLanguageList->Count(); ++i) {
        if (LanguageFileName(i) == FStoredLanguageFile) {
            FLanguageIndex = i;
            return;
        }
    }
}

bool TForm1::SelectLanguage(int index) {
    try {
        const PLanguageFile file = FLanguageList ? FLanguageList->Get(index) : nullptr;
        return LoadLanguageFile(file != nullptr ? file->LanguageFileName : std::string());
    } catch (...) {
        LogMessage("Error in TForm1.SelectLanguage call...");
        return false;
    }
}

bool TForm1::RefreshMenuTexts() {
    try {
        File1->setTitle(UiText(txtFile));
        Exit1->setText(UiText(txtExit));
        Help1->setTitle(UiText(txtHelp));
        About1->setText(UiText(txtAbout));
        Settings1->setTitle(UiText(txtSettings));
        Language1->setTitle(UiText(txtLanguage));
        return true;
    } catch (...) {
        LogMessage("Error in TForm1.RefreshMenuTexts call...");
        return false;
    }
}

bool TForm1::CheckForAdditionalLanguages(TLanguageList* list, QMenu* menu) {
    try {
        if (list == nullptr || menu == nullptr) {
            return false;
        }
        menu->clear();
        auto addItem = [&](const QString& caption, int tag, bool checked) {
            QAction* item = menu->addAction(caption);
            item->setData(tag);
            item->setCheckable(true);
            item->setChecked(checked);
            connect(item, &QAction::triggered, this, [this, item] { LanguageItemClick(item); });
        };
        addItem("English", -1, FLanguageIndex < 0);
        if (list->Count() == 0) {
            menu->setEnabled(false);
            return true;
        }
        menu->setEnabled(true);
        for (int i = 0; i < list->Count(); ++i) {
            try {
                const PLanguageFile file = list->Get(i);
                addItem(QString::fromStdString(file->LanguageName), i, i == FLanguageIndex);
            } catch (...) {
                // An item that cannot be built is left out; the others still are.
            }
        }
        return true;
    } catch (...) {
        LogMessage("Error in TForm1.CheckForAdditionalLanguages call...");
        return false;
    }
}

void TForm1::LanguageItemClick(QAction* sender) {
    try {
        if (!FLanguageList || FLanguageList->Count() == 0 || sender == nullptr) {
            return;
        }
        FLanguageIndex = sender->data().toInt();
        SelectLanguage(FLanguageIndex);
        RefreshMenuTexts();
        if (FCameraManager) {
            FCameraManager->RefreshTexts();
        }
        RefreshLanguageMenuLater();
    } catch (...) {
        LogMessage("Error in TForm1.LanguageItemClick call...");
    }
}

void TForm1::RefreshLanguageMenuLater() {
    // The clicked item belongs to the menu being rebuilt: rebuild once its handler has returned.
    if (FLanguageMenuRefreshPending) {
        return;
    }
    FLanguageMenuRefreshPending = true;
    QTimer::singleShot(0, this, [this] {
        FLanguageMenuRefreshPending = false;
        CheckForAdditionalLanguages(FLanguageList.get(), Language1);
    });
}

void TForm1::RestartTimerTimer() {
    try {
        if (Now() - FStartDateTime >= kUpdateRecheckDays) {
            InitializationAndUpdate();
        }
    } catch (...) {
        LogMessage("Error in TForm1.RestartTimerTimer call...");
    }
}

bool TForm1::InitializationAndUpdate() {
    try {
        if (FUpdateGate) {
            return FUpdateGate();
        }
        TUpdateCheck check(TUpdateCheck::ConfiguredHost(), FTempPath, [this] { close(); });
        check.SetMessagePump([] { QCoreApplication::processEvents(); });
        const bool result = check.InitializationAndUpdate();
        FHostVersion = check.HostVersion();
        FRegistryVersion = check.RegistryVersion();
        return result;
    } catch (...) {
        LogMessage("Error in TForm1.InitializationAndUpdate call...");
        return false;
    }
}

void TForm1::Exit1Click() {
    close();
}

void TForm1::About1Click() {
    ShowAbout(this, kProductName, QString(), "2017", QString());
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TForm1::FormResize() {
    try {
        if (FCameraManager) {
            FCameraManager->Reposition();
        }
    } catch (...) {
        LogMessage("Error in TForm1.FormResize call...");
    }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && widget->window() == this) {
            FormKeyDown(static_cast<QKeyEvent*>(event)->key());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::FormKeyDown(int key) {
    try {
        if (key == Qt::Key_Delete && FCameraManager) {
            FCameraManager->RemoveSelectedZone();
        }
    } catch (...) {
        LogMessage("Error in TForm1.FormKeyDown call...");
    }
}
