// The main window under termination signals and hostile stored window settings.

#include "shell/Form1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <functional>

#include "capture/CameraManagerSetupForm.h"
#include "controller/CameraManager.h"
#include "localisation/LanguageFile.h"
#include "platform/SingleInstanceLock.h"
#include "support/LogCapture.h"
#include "support/SettingsHome.h"
#include "ui/MessageDialog.h"
#include "zones/SelectorObjectManager.h"

namespace {

// Each test gets its own settings home, language folder, data folder and instance-lock name; the
// Test Pattern is the camera.
class Form1TerminationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FHome.isValid());
        UseSettingsHome(FHome.path());
        FInstanceName = QByteArray("tandrel-test-") +
                        QByteArray::number(QCoreApplication::applicationPid()) + "-" +
                        ::testing::UnitTest::GetInstance()->current_test_info()->name();
        qputenv("TANDREL_INSTANCE_NAME", FInstanceName);
        QDir().mkpath(FHome.path() + "/Language");
        LoadLanguageFile("");
        Remember("TANDREL_TEST_PATTERN");
        Remember("XDG_DATA_HOME");
        qunsetenv("TANDREL_TEST_PATTERN");
        qputenv("XDG_DATA_HOME", FHome.path().toUtf8() + "/data/");
    }
    void TearDown() override {
        LoadLanguageFile("");
        for (const auto& [name, value] : FEnvironment) {
            if (value.isNull()) {
                qunsetenv(name.c_str());
            } else {
                qputenv(name.c_str(), value);
            }
        }
    }
    void Remember(const char* name) { FEnvironment[name] = qgetenv(name); }

    QSettings Stored() {
        return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Vantrelle Media Solutions",
                         "Tandrel");
    }

    void Start(TForm1& form) {
        form.SetLanguageFolder(FHome.path() + "/Language");
        form.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return form.StartedUp(); }, 10000));
    }

    QTemporaryDir FHome;
    QByteArray FInstanceName;
    std::map<std::string, QByteArray> FEnvironment;
};

// Raises a signal once a modal window (dialog, message box) is up, as an init system or a user's
// Ctrl+C would while the window waits for an answer.
class SignalWhenModal {
public:
    explicit SignalWhenModal(int signal) {
        QObject::connect(&FTimer, &QTimer::timeout, [this, signal] {
            if (!FRaised && QApplication::activeModalWidget() != nullptr) {
                FRaised = true;
                ::raise(signal);
            }
        });
        FTimer.start(10);
    }
    bool Raised() const { return FRaised; }

private:
    QTimer FTimer;
    bool FRaised = false;
};

// Message boxes run their real modal loop (offscreen they are otherwise only logged).
class ModalMessages {
public:
    ModalMessages() {
        FPrevious = SetMessageDialogHook([this](QMessageBox& box) {
            Texts << box.text();
            box.exec();
            return mrOk;
        });
    }
    ~ModalMessages() { SetMessageDialogHook(FPrevious); }
    QStringList Texts;

private:
    TMessageDialogHook FPrevious;
};

TEST_F(Form1TerminationTest, ASignalDuringAnyModalWindowEndsTheProgramWithEverythingSaved) {
    struct Case {
        const char* name;
        int signal;
        QString message;  // the message box that is open, if it is one
        std::function<void(TForm1&)> open;
    };
    const std::vector<Case> cases = {
        {"about dialog", SIGTERM, {}, [](TForm1& form) { form.About1Click(); }},
        {"alarms dialog", SIGINT, {},
         [](TForm1& form) { form.CameraManager()->AlarmsButton()->click(); }},
        {"camera setup dialog", SIGHUP, {},
         [](TForm1& form) { form.CameraManager()->SetupButton()->click(); }},
        {"no zone to activate", SIGTERM, "You need to add at least one zone!",
         [](TForm1& form) { form.CameraManager()->ActivateButton()->click(); }},
        {"eleventh zone", SIGTERM, "Maximum 10 zones can be added!",
         [](TForm1& form) {
             for (int i = 0; i < 10; ++i) {
                 form.CameraManager()->OnAddZoneClick();
             }
             form.CameraManager()->AddZoneButton()->click();
         }},
        {"format cannot be used", SIGTERM, "The selected format cannot be used.",
         [](TForm1& form) {
             auto previous = SetCameraManagerSetupFormRunHook([](TCameraManagerSetupForm& f) {
                 f.FCameraIndex = 9;  // no such camera
                 return static_cast<int>(QDialog::Accepted);
             });
             form.CameraManager()->SetupButton()->click();
             SetCameraManagerSetupFormRunHook(previous);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Stored().clear();
        ModalMessages messages;
        {
            TForm1 form;
            Start(form);
            ASSERT_NE(form.CameraManager(), nullptr);
            ASSERT_NE(form.CameraManager()->AlarmsButton(), nullptr);
            SignalWhenModal signal(c.signal);
            // The command's handler returns only once its modal window has been closed.
            c.open(form);
            EXPECT_TRUE(signal.Raised());
            if (!c.message.isEmpty()) {
                EXPECT_EQ(messages.Texts, QStringList{c.message});
            }
            ASSERT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 10000));
            EXPECT_EQ(form.CameraManager(), nullptr);
        }
        // Window, language and camera settings were all written on the way out.
        QSettings stored = Stored();
        EXPECT_TRUE(stored.contains("FormWidth"));
        EXPECT_TRUE(stored.contains("LanguageIndex"));
        EXPECT_EQ(stored.value("CameraManager/CameraIndex").toInt(), 0);
        EXPECT_TRUE(stored.contains("CameraManager/MotionDetectionMode"));
    }
}

TEST_F(Form1TerminationTest, ARefusedStartWritesNothingAndEndsOnTheFirstSignal) {
    const std::string name = FInstanceName.toStdString();
    for (const bool held : {true, false}) {
        SCOPED_TRACE(held ? "lock held by another instance" : "a folder where the lock goes");
        TSingleInstanceLock first;
        const QString lockPath = QString::fromStdString(TSingleInstanceLock::LockFilePath(name));
        if (held) {
            ASSERT_EQ(first.TryAcquire(name), TSingleInstanceLock::TResult::Acquired);
        } else {
            // The lock cannot be taken at all: that refuses the start too.
            QFile::remove(lockPath);
            ASSERT_TRUE(QDir().mkpath(lockPath));
        }
        Stored().clear();
        Stored().setValue("FormWidth", 1000);
        Stored().setValue("LanguageIndex", 3);
        ModalMessages messages;
        SignalWhenModal signal(SIGTERM);
        LogCapture log;
        {
            TForm1 form;
            form.SetLanguageFolder(FHome.path() + "/Language");
            form.show();
            ASSERT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 10000));
            EXPECT_TRUE(signal.Raised());
            EXPECT_EQ(messages.Texts,
                      QStringList{"You can start only one instance of the product."});
            EXPECT_FALSE(form.StartedUp());
            EXPECT_EQ(form.CameraManager(), nullptr);
        }
        EXPECT_EQ(log.Contains("Error in TForm1.FormShow - cannot take the single-instance lock."),
                  !held);
        QSettings stored = Stored();
        EXPECT_EQ(stored.value("FormWidth").toInt(), 1000);
        EXPECT_EQ(stored.value("LanguageIndex").toInt(), 3);
        EXPECT_FALSE(stored.contains("FormHeight"));
        EXPECT_FALSE(stored.contains("CameraManager/CameraIndex"));
        if (!held) {
            QDir().rmdir(lockPath);
        }
    }
}

TEST_F(Form1TerminationTest, StoredWindowGeometryIsKeptOnTheDesktop) {
    const QRect desktop = QGuiApplication::primaryScreen()->availableVirtualGeometry();
    QSize minimumOuter;
    struct Case {
        const char* name;
        qint64 width, height, left, top;
    };
    for (const Case& c : {
             Case{"integer limits", 2147483647, 2147483647, 2147483647, 2147483600},
             Case{"negative limits", -2147483647 - 1, -2147483647 - 1, -2147483647 - 1,
                  -2147483647 - 1},
             Case{"far off the right edge", 950, 400, 100000, 100000},
             Case{"far off the left edge", 950, 400, -100000, -100000},
         }) {
        SCOPED_TRACE(c.name);
        Stored().clear();
        Stored().setValue("FormWidth", c.width);
        Stored().setValue("FormHeight", c.height);
        Stored().setValue("FormLeft", c.left);
        Stored().setValue("FormTop", c.top);
        {
            TForm1 form;
            Start(form);
            const QRect outer = form.frameGeometry();
            EXPECT_GE(form.width(), form.minimumWidth());
            EXPECT_GE(form.height(), form.minimumHeight());
            minimumOuter = form.minimumSize() + (outer.size() - form.size());
            EXPECT_LE(outer.width(), std::max(desktop.width(), minimumOuter.width()));
            EXPECT_LE(outer.height(), std::max(desktop.height(), minimumOuter.height()));
            EXPECT_GE(outer.left(), desktop.left());
            EXPECT_GE(outer.top(), desktop.top());
            form.close();
        }
        QSettings stored = Stored();
        EXPECT_LE(stored.value("FormWidth").toLongLong(),
                  std::max(desktop.width(), minimumOuter.width()));
        EXPECT_LE(stored.value("FormHeight").toLongLong(),
                  std::max(desktop.height(), minimumOuter.height()));
        EXPECT_GE(stored.value("FormLeft").toLongLong(), desktop.left());
        EXPECT_LE(stored.value("FormLeft").toLongLong(), desktop.right());
        EXPECT_GE(stored.value("FormTop").toLongLong(), desktop.top());
        EXPECT_LE(stored.value("FormTop").toLongLong(), desktop.bottom());
    }
}

}  // namespace
