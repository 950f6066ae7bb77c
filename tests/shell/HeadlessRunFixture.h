#pragma once

// The real program run without a window, as a script or a service would run it: each test has
// a home of its own (settings, recordings) and an instance name of its own.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

#include "platform/MediaFramework.h"

class HeadlessRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FHome.isValid());
        // Recordings are decoded here again.
        ASSERT_TRUE(InitializeMediaFramework());
        FEnvironment = QProcessEnvironment::systemEnvironment();
        FEnvironment.insert("HOME", FHome.path());
        FEnvironment.insert("XDG_CONFIG_HOME", FHome.path() + "/config");
        FEnvironment.insert("XDG_DATA_HOME", FHome.path() + "/data");
        FEnvironment.insert(
            "TANDREL_INSTANCE_NAME",
            QString("tandrel-headless-%1-%2")
                .arg(QCoreApplication::applicationPid())
                .arg(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        FEnvironment.insert("TANDREL_AUDIO_SINK", "fakesink");
        FEnvironment.insert("TANDREL_VIDEO_SINK", "fakesink");
        FEnvironment.remove("TANDREL_TEST_PATTERN");
        FEnvironment.remove("TANDREL_FILE_CAMERAS");
        FEnvironment.remove("DISPLAY");
    }

    // Runs the program to its end (at most a minute and a half); its exit status.
    int RunToEnd(const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(FEnvironment);
        process.start(TANDREL_EXECUTABLE, arguments);
        EXPECT_TRUE(process.waitForFinished(90000));
        FOut = process.readAllStandardOutput();
        FErr = process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // The JSON events of the output, in order.
    static std::vector<QJsonObject> Events(const QByteArray& output) {
        std::vector<QJsonObject> events;
        for (const QByteArray& line : output.split('\n')) {
            if (line.isEmpty()) {
                continue;
            }
            const QJsonDocument document = QJsonDocument::fromJson(line);
            EXPECT_TRUE(document.isObject()) << line.constData();
            events.push_back(document.object());
        }
        return events;
    }

    // Reads the process's standard output into Output until it holds Text (true) or Ms pass.
    static bool WaitForOutput(QProcess& Process, QByteArray& Output, const QByteArray& Text,
                              int Ms = 60000) {
        return QTest::qWaitFor(
            [&] {
                Output += Process.readAllStandardOutput();
                return Output.contains(Text);
            },
            Ms);
    }

    QString SettingsFile() const {
        return FHome.path() + "/config/Vantrelle Media Solutions/Tandrel.conf";
    }

    QTemporaryDir FHome;
    QProcessEnvironment FEnvironment;
    QByteArray FOut;
    QByteArray FErr;
};
