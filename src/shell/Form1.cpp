#include "shell/Form1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include "alarms/AlarmVideoPresenter.h"
#include "alarms/AlarmVideoWindow.h"
#include "capture/DevicePropertiesDialog.h"
#include "controller/CameraManager.h"
#include "localisation/LanguageFile.h"
#include "localisation/LanguageList.h"
#include "localisation/UiText.h"
#include "platform/Paths.h"
#include "platform/SettingsStore.h"
#include "shell/AboutForm.h"
#include "shell/Diagnostics.h"
#include "shell/MessageDialog.h"
#include "shell/ProductIcon.h"
#include "shell/TerminationSignals.h"

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
        const auto lock =
            FSingleInstanceMutexHandle.TryAcquire(TSingleInstanceLock::DefaultName(kProductName));
        if (lock == TSingleInstanceLock::TResult::AlreadyExists) {
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
        if (GenerateLanguageFileList(FLanguageFolder.toStdString(), FLanguageList.get())) {
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
        if (InitializationAndUpdate()) {
            FAlarmVideoWindow = std::make_unique<TAlarmVideoWindow>();
            SetAlarmVideoPresenter(FAlarmVideoWindow.get());
            InstallDevicePropertiesDialog();
            FCameraManager = std::make_unique<TCameraManager>(this, 100);
            FCameraManager->InitializeCamera();
            FStartedUp = true;
        }
    } catch (...) {
        LogMessage("Error in TForm1.FormShow call...");
    }
}

void TForm1::TerminateAtOnce() {
    FTerminating = true;
    hide();
    QCoreApplication::exit(0);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!FTerminating && !FClosed) {
        FormClose();
    }
    event->accept();
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
        resize(size - frameExtra);
        move(position);
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
                             store.WriteInteger("LanguageIndex", FLanguageIndex);
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
        return FUpdateGate ? FUpdateGate() : true;
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
