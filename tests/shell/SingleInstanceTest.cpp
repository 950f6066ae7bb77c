#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "platform/SingleInstanceLock.h"

// The real program, started twice with the same instance name and its own settings home.
TEST(SingleInstance, SecondStartIsRefusedWithoutTouchingSettingsAndSigtermSavesTheFirst) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString instance = QString("tandrel-single-instance-%1").arg(QCoreApplication::applicationPid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path() + "/config");
    env.insert("XDG_DATA_HOME", home.path() + "/data");
    env.insert("TANDREL_INSTANCE_NAME", instance);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    const QString settingsFile = home.path() + "/config/Vantrelle Media Solutions/Tandrel.conf";

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(TANDREL_EXECUTABLE, {});
    ASSERT_TRUE(first.waitForStarted(10000));
    // The first instance holds the lock once its start-up has run.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            TSingleInstanceLock probe;
            return probe.TryAcquire(instance.toStdString()) ==
                   TSingleInstanceLock::TResult::AlreadyExists;
        },
        10000));

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(TANDREL_EXECUTABLE, {});
    ASSERT_TRUE(second.waitForFinished(10000)) << "a refused start must end at once";
    EXPECT_TRUE(second.readAllStandardError().contains("You can start only one instance of the product."));
    EXPECT_FALSE(QFile::exists(settingsFile)) << "the refused start must not write settings";
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();  // SIGTERM closes the window as File > Exit does
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    QFile settings(settingsFile);
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly)) << "settings are saved on SIGTERM";
    const QByteArray text = settings.readAll();
    EXPECT_TRUE(text.contains("FormWidth=")) << text.constData();
    EXPECT_TRUE(text.contains("LanguageIndex=-1")) << text.constData();
}
