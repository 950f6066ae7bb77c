#include "shell/Form1.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include "controller/CameraManager.h"
#include "localisation/LanguageFile.h"
#include "localisation/TandrelTexts.h"
#include "platform/DateTime.h"
#include "support/LogCapture.h"
#include "support/SettingsHome.h"
#include "zones/SelectorObjectManager.h"

namespace {

// Each test gets its own settings home, language folder and instance-lock name.
class Form1Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FHome.isValid());
        UseSettingsHome(FHome.path());
        qputenv("TANDREL_INSTANCE_NAME",
                QByteArray("tandrel-test-") +
                    QByteArray::number(QCoreApplication::applicationPid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        FLanguages = FHome.path() + "/Language";
        QDir().mkpath(FLanguages);
        LoadLanguageFile("");
        // A machine without cameras: the camera controller comes up without a graph, and the
        // recording folders (not created then) would land in the settings home anyway.
        FTestPattern = qgetenv("TANDREL_TEST_PATTERN");
        FDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("TANDREL_TEST_PATTERN", "0");
        qputenv("XDG_DATA_HOME", FHome.path().toUtf8() + "/data/");
    }
    void TearDown() override {
        LoadLanguageFile("");
        RestoreEnvironment("TANDREL_TEST_PATTERN", FTestPattern);
        RestoreEnvironment("XDG_DATA_HOME", FDataHome);
    }

    static void RestoreEnvironment(const char* name, const QByteArray& value) {
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    }

    void WriteLanguage(const QString& fileName, const QString& name, const QString& activate) {
        QFile file(FLanguages + "/" + fileName);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            QString("##LanguageName\r\n%1\r\n\r\n##File\r\n%2-File\r\n\r\n##Activate\r\n%3\r\n")
                .arg(name, name, activate)
                .toUtf8());
    }

    QSettings Stored() {
        return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Vantrelle Media Solutions",
                         "Tandrel");
    }

    // Shows the window and waits for the queued start-up to finish.
    void Start(TForm1& form) {
        form.SetLanguageFolder(FLanguages);
        form.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return form.StartedUp(); }, 5000));
    }

    static QStringList Items(QMenu* menu) {
        QStringList items;
        for (QAction* action : menu->actions()) {
            items << action->text() + (action->isChecked() ? "*" : "");
        }
        return items;
    }

    QTemporaryDir FHome;
    QString FLanguages;
    QByteArray FTestPattern;
    QByteArray FDataHome;
};

}  // namespace

TEST_F(Form1Test, StoredLanguageIndexSelectsTextsAndCheckMarksAndIsWrittenBackUnchanged) {
    WriteLanguage("a_german.lng", "Deutsch", "Aktivieren");
    WriteLanguage("b_french.lng", "Fran\u00E7ais", "Activer");
    struct Case {
        QVariant stored;  // invalid = no value at all
        int index;
        QString fileMenu;
        QStringList items;
    };
    const Case cases[] = {
        {QVariant(), -1, "File", {"English*", "Deutsch", "Fran\u00E7ais"}},
        {0, 0, "Deutsch-File", {"English", "Deutsch*", "Fran\u00E7ais"}},
        {1, 1, "Fran\u00E7ais-File", {"English", "Deutsch", "Fran\u00E7ais*"}},
        // Beyond the list: English texts and no check mark anywhere, not even on "English".
        {7, 7, "File", {"English", "Deutsch", "Fran\u00E7ais"}},
        {"not a number", -1, "File", {"English*", "Deutsch", "Fran\u00E7ais"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toString().toStdString());
        {
            QSettings settings = Stored();
            settings.clear();
            if (c.stored.isValid()) {
                settings.setValue("LanguageIndex", c.stored);
            }
        }
        {
            TForm1 form;
            Start(form);
            EXPECT_EQ(form.LanguageIndex(), c.index);
            EXPECT_EQ(Items(form.LanguageMenu()), c.items);
            EXPECT_TRUE(form.LanguageMenu()->isEnabled());
            EXPECT_EQ(form.menuBar()->actions().at(0)->text(), c.fileMenu);
            form.close();
        }
        EXPECT_EQ(Stored().value("LanguageIndex").toInt(), c.index);
        LoadLanguageFile("");
    }
}

TEST_F(Form1Test, AddingALanguageFileKeepsTheChosenLanguage) {
    WriteLanguage("german.lng", "Deutsch", "Aktivieren");
    {
        QSettings settings = Stored();
        settings.clear();
        settings.setValue("LanguageIndex", 0);
    }
    {
        TForm1 form;
        Start(form);
        ASSERT_EQ(form.menuBar()->actions().at(0)->text(), "Deutsch-File");
        form.close();
    }
    EXPECT_EQ(Stored().value("LanguageFile").toString(), "german.lng");
    // A translation whose file sorts first moves German to index 1.
    WriteLanguage("czech.lng", "Čeština", "Aktivovat");
    {
        TForm1 form;
        Start(form);
        EXPECT_EQ(form.LanguageIndex(), 1);
        EXPECT_EQ(form.menuBar()->actions().at(0)->text(), "Deutsch-File");
        EXPECT_EQ(Items(form.LanguageMenu()),
                  (QStringList{"English", "Čeština", "Deutsch*"}));
        form.close();
    }
    EXPECT_EQ(Stored().value("LanguageIndex").toInt(), 1);
    EXPECT_EQ(Stored().value("LanguageFile").toString(), "german.lng");
    // Back to English: the index rules again.
    LoadLanguageFile("");
    Stored().setValue("LanguageIndex", -1);
    Stored().setValue("LanguageFile", "");
    {
        TForm1 form;
        Start(form);
        EXPECT_EQ(form.LanguageIndex(), -1);
        EXPECT_EQ(form.menuBar()->actions().at(0)->text(), "File");
        form.close();
    }
}

TEST_F(Form1Test, WindowSettingsRoundTripAndBadValuesKeepDefaults) {
    {
        QSettings settings = Stored();
        settings.setValue("FormWidth", 1000);
        settings.setValue("FormHeight", "tall");  // wrong type: default stays
        settings.setValue("FormLeft", 40);
        settings.setValue("FormTop", 30);
    }
    int defaultHeight = 0;
    {
        TForm1 reference;
        defaultHeight = reference.geometry().height();
    }
    {
        TForm1 form;
        Start(form);
        // What was stored, as far as the desktop has room for it.
        const QRect desktop = QGuiApplication::primaryScreen()->availableVirtualGeometry();
        const int frameWidth = form.frameGeometry().width() - form.width();
        const int width =
            std::clamp(1000, form.minimumWidth() + frameWidth,
                       std::max(form.minimumWidth() + frameWidth, desktop.width()));
        EXPECT_EQ(form.frameGeometry().width(), width);
        EXPECT_EQ(form.geometry().height(), defaultHeight);
        EXPECT_EQ(form.frameGeometry().topLeft(),
                  QPoint(std::clamp(40, desktop.left(),
                                    std::max(desktop.left(), desktop.right() + 1 - width)),
                         30));
        // Moved back where it was stored, so that the round trip below is exact.
        form.move(40, 30);
        // Outer sizes are stored: the window frame counts.
        form.resize(1100 - (form.frameGeometry().width() - form.width()),
                    600 - (form.frameGeometry().height() - form.height()));
        form.close();
    }
    QSettings settings = Stored();
    EXPECT_EQ(settings.value("FormWidth").toInt(), 1100);
    EXPECT_EQ(settings.value("FormHeight").toInt(), 600);
    EXPECT_EQ(settings.value("FormLeft").toInt(), 40);
    EXPECT_EQ(settings.value("FormTop").toInt(), 30);
    EXPECT_EQ(settings.value("LanguageIndex").toInt(), -1);
}

TEST_F(Form1Test, LanguageMenuIsDisabledWithoutUsableLanguageFiles) {
    struct Case {
        const char* name;
        std::function<void()> prepare;
        QStringList items;
    };
    const Case cases[] = {
        {"no folder", [&] { QDir(FLanguages).removeRecursively(); }, {}},
        {"no lng files", [&] { QFile(FLanguages + "/readme.txt").open(QIODevice::WriteOnly); }, {}},
        {"only nameless files",
         [&] {
             QFile file(FLanguages + "/nameless.lng");
             file.open(QIODevice::WriteOnly);
             file.write("##LanguageName\r\n\r\n\r\n");
         },
         {"English*"}},
        {"garbage lng",
         [&] {
             QFile file(FLanguages + "/garbage.lng");
             file.open(QIODevice::WriteOnly);
             file.write(QByteArray("\x00\xff\xfe\x01\x02", 5));
         },
         {"English*"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(FLanguages).removeRecursively();
        QDir().mkpath(FLanguages);
        c.prepare();
        TForm1 form;
        Start(form);
        EXPECT_FALSE(form.LanguageMenu()->isEnabled());
        EXPECT_EQ(Items(form.LanguageMenu()), c.items);
        EXPECT_EQ(form.menuBar()->actions().at(0)->text(), "File");
        form.close();
    }
}

// A short language file among good ones is left out of the menu; the menu stays usable, so a
// stored language can still be switched back to English.
TEST_F(Form1Test, ShortLanguageFileLeavesTheOthersInTheMenu) {
    WriteLanguage("a_german.lng", "Deutsch", "Aktivieren");
    QFile shortFile(FLanguages + "/b_short.lng");
    ASSERT_TRUE(shortFile.open(QIODevice::WriteOnly));
    shortFile.write("##LanguageName\r\n");
    shortFile.close();
    WriteLanguage("c_french.lng", "Fran\u00E7ais", "Activer");
    Stored().setValue("LanguageIndex", 0);
    TForm1 form;
    Start(form);
    EXPECT_TRUE(form.LanguageMenu()->isEnabled());
    EXPECT_EQ(Items(form.LanguageMenu()), (QStringList{"English", "Deutsch*", "Fran\u00E7ais"}));
    EXPECT_EQ(CurrentText(txtActivate), "Aktivieren");

    form.LanguageMenu()->actions().at(0)->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(CurrentText(txtActivate), "Activate");
    form.close();
}

TEST_F(Form1Test, ClickingALanguageSwitchesTextsAndMovesTheCheckMarkAfterTheHandler) {
    WriteLanguage("a_german.lng", "Deutsch", "Aktivieren");
    TForm1 form;
    Start(form);
    QAction* german = form.LanguageMenu()->actions().at(1);
    german->trigger();
    EXPECT_EQ(CurrentText(txtActivate), "Aktivieren");
    EXPECT_EQ(form.menuBar()->actions().at(0)->text(), "Deutsch-File");
    // The rebuild is deferred: the clicked item must still exist right after its handler.
    EXPECT_EQ(form.LanguageMenu()->actions().at(1), german);
    QCoreApplication::processEvents();
    EXPECT_EQ(Items(form.LanguageMenu()), (QStringList{"English", "Deutsch*"}));

    form.LanguageMenu()->actions().at(0)->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(CurrentText(txtActivate), "Activate");
    EXPECT_EQ(Items(form.LanguageMenu()), (QStringList{"English*", "Deutsch"}));
    EXPECT_EQ(form.LanguageIndex(), -1);
    form.close();
}

TEST_F(Form1Test, UpdateGateRunsHourlyOnlyAfterFifteenDaysOfUptime) {
    TDateTime fakeNow = EncodeDateTime({2026, 1, 1, 12, 0, 0, 0});
    SetDateTimeClock([&] { return fakeNow; });
    int gateRuns = 0;
    {
        TForm1 form;
        form.SetUpdateGate([&] {
            ++gateRuns;
            return true;
        });
        Start(form);
        EXPECT_EQ(gateRuns, 1) << "start-up runs the gate once";
        for (double days : {1.0, 14.9, 15.0, 15.04, 40.0}) {
            const int before = gateRuns;
            fakeNow = form.StartDateTime() + days;
            form.RestartTimerTimer();
            EXPECT_EQ(gateRuns - before, days >= 15.0 ? 1 : 0) << days;
        }
        form.close();
    }
    SetDateTimeClock({});
}

TEST_F(Form1Test, CameraControllerIsCreatedWiredAndDestroyedWithTheWindow) {
    qunsetenv("TANDREL_TEST_PATTERN");  // the Test Pattern is the camera
    WriteLanguage("a_german.lng", "Deutsch", "Aktivieren");
    {
        TForm1 form;
        Start(form);
        TCameraManager* manager = form.CameraManager();
        ASSERT_NE(manager, nullptr);
        ASSERT_NE(manager->ActivateButton(), nullptr);
        // The panel fills the client area below the menu bar and follows resizing.
        form.resize(1200, 700);
        QCoreApplication::processEvents();
        EXPECT_EQ(manager->FrameScrollBox()->width(), form.centralWidget()->width());
        EXPECT_EQ(manager->FrameScrollBox()->height(), form.centralWidget()->height() - 35);
        // Delete removes the selected zone.
        manager->OnAddZoneClick();
        ASSERT_EQ(manager->SelectorObjectManager()->Count(), 1);
        QTest::keyClick(&form, Qt::Key_Delete);
        EXPECT_EQ(manager->SelectorObjectManager()->Count(), 0);
        // A language switch reaches the panel.
        form.LanguageMenu()->actions().at(1)->trigger();
        EXPECT_EQ(manager->ActivateButton()->Caption(), "Aktivieren");
        form.close();
        EXPECT_EQ(form.CameraManager(), nullptr);
    }
    // The controller wrote its settings (the defaults of a new install) on the way out.
    EXPECT_EQ(Stored().value("CameraManager/MotionDetectionSensitivity").toInt(), 80);
}
