#include "shell/UpdateCheck.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "localisation/LanguageFile.h"
#include "localisation/TempFolder.h"
#include "shell/Form1.h"
#include "support/LogCapture.h"
#include "support/LoopbackHttpServer.h"
#include "support/MessageRecorder.h"
#include "support/ScopedEnvironment.h"
#include "support/SettingsHome.h"
#include "support/ZipBuilder.h"

namespace {

using Reply = LoopbackHttpServer::TReply;

const QString kNoInternet =
    "No internet! Please check your internet connection and restart the application.";
const QString kNoUpdater =
    "Could not retrieve the updater! Please check your internet connection and restart the "
    "application.";
const QString kCannotUnpack = "Could not unpack updater! Please reinstall the product.";

std::string Utf16(const std::string& ascii) {
    std::string bytes;
    for (const char c : ascii) {
        bytes.push_back(c);
        bytes.push_back('\0');
    }
    return bytes;
}

std::string ZipBytes(const TempFolder& folder, const std::vector<ZipEntry>& entries) {
    const std::string path = folder.Path() + "/built.zip";
    WriteZip(path, entries);
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class UpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FHome.isValid());
        UseSettingsHome(FHome.path());
        LoadLanguageFile("");
    }

    QSettings Stored() {
        return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Vantrelle Media Solutions",
                         "Tandrel");
    }

    QTemporaryDir FHome;
};

struct RunRecord {
    bool Result = false;
    int Closed = 0;
    std::vector<std::pair<std::string, std::string>> Runs;
};

RunRecord RunGate(const QString& host, const std::string& tempPath) {
    RunRecord record;
    TUpdateCheck check(host, tempPath, [&] { ++record.Closed; });
    check.SetLimits(TDownloadLimits{2, 1, 4}, TDownloadLimits{2, 1, 10});
    check.SetRunner([&](const std::string& file, const std::string& parameters) {
        record.Runs.emplace_back(file, parameters);
        return true;
    });
    record.Result = check.InitializationAndUpdate();
    return record;
}

TEST_F(UpdateCheckTest, GateOutcomes) {
    TempFolder build;
    const std::string goodPackage =
        ZipBytes(build, {{"TDRUpdater.exe", "#!/bin/sh\n"}, {"lib/part.bin", "p"}});
    const std::string traversal =
        ZipBytes(build, {{"TDRUpdater.exe", "#!/bin/sh\n"}, {"../escaped.txt", "x"}});
    const std::string ver = "/download/tdr/ver.txt";
    const std::string pkg = "/download/tdr/TDRUpdater.zip";
    struct Case {
        const char* Name;
        std::map<std::string, Reply> Replies;
        std::optional<int> StoredVersion;
        bool Result;
        QStringList Messages;
        bool Updater;  // package unpacked and handed to the runner
        int VersionAfter;
        std::vector<std::string> Lines;
    };
    const std::string notDownloaded =
        "Error in TForm1.GetVersionFromWebHost - cannot download the ver.txt file.";
    const std::string notANumber = "Error in TForm1.GetVersionFromWebHost call...";
    const std::string notUnpacked = "Error in TForm1.UnpackUpdaterFile call...";
    const std::vector<Case> cases = {
        {"equal", {{ver, {200, Utf16("12")}}}, 12, true, {}, false, 12},
        {"host lower", {{ver, {200, Utf16("11")}}, {pkg, {200, goodPackage}}}, 12, false, {},
         true, 12},
        {"host higher", {{ver, {200, Utf16("13")}}, {pkg, {200, goodPackage}}}, 12, false, {},
         true, 12},
        {"no Version yet", {{ver, {200, Utf16("12")}}}, std::nullopt, true, {}, false, 12},
        {"single ASCII digit", {{ver, {200, "5"}}}, 5, true, {}, false, 5},
        {"two ASCII digits", {{ver, {200, "12"}}}, 12, false, {kNoInternet}, false, 12, {notANumber}},
        {"not a number", {{ver, {200, Utf16("1.2")}}}, 12, false, {kNoInternet}, false, 12,
         {notANumber}},
        {"body over 2048 bytes", {{ver, {200, Utf16(std::string(1025, '1'))}}}, 12, false,
         {kNoInternet}, false, 12, {notDownloaded}},
        {"no version file", {}, 12, false, {kNoInternet}, false, 12, {notDownloaded}},
        {"stalled host", {{ver, Reply{200, "", true, true}}}, 12, false, {kNoInternet}, false, 12,
         {notDownloaded}},
        {"no package", {{ver, {200, Utf16("13")}}}, 12, false, {kNoUpdater}, false, 12,
         {"Error in DownloadFile - error calling InternetOpenURL."}},
        {"package leaves the folder", {{ver, {200, Utf16("13")}}, {pkg, {200, traversal}}}, 12,
         false, {kCannotUnpack}, false, 12, {notUnpacked}},
        {"package no archive", {{ver, {200, Utf16("13")}}, {pkg, {200, "not a zip"}}}, 12, false,
         {kCannotUnpack}, false, 12, {notUnpacked}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        {
            QSettings settings = Stored();
            settings.clear();
            settings.setValue("FormWidth", 900);
            if (c.StoredVersion) {
                settings.setValue("Version", *c.StoredVersion);
            }
        }
        TempFolder outer;
        std::filesystem::create_directory(outer.Path() + "/tmp");
        const std::string tempPath = outer.Path() + "/tmp/";
        LoopbackHttpServer server(c.Replies);
        MessageRecorder messages;
        LogCapture log;
        const auto start = std::chrono::steady_clock::now();
        const RunRecord record = RunGate(QString::fromStdString(server.Base()), tempPath);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
        EXPECT_EQ(record.Result, c.Result);
        EXPECT_EQ(messages.Texts, c.Messages);
        EXPECT_EQ(log.Lines(), c.Lines);
        for (const QString& caption : messages.Captions) {
            EXPECT_EQ(caption, "Error");
        }
        // The window closes after every message and after handing over to the updater.
        EXPECT_EQ(record.Closed, c.Result ? 0 : 1);
        EXPECT_EQ(Stored().value("Version").toInt(), c.VersionAfter);
        if (c.Updater) {
            ASSERT_EQ(record.Runs.size(), 1u);
            EXPECT_EQ(record.Runs[0].first, tempPath + "TDRUpdater.exe");
            EXPECT_EQ(record.Runs[0].second,
                      QCoreApplication::applicationFilePath().toStdString());
            EXPECT_TRUE(std::filesystem::exists(tempPath + "TDRUpdater.exe"));
            EXPECT_TRUE(std::filesystem::exists(tempPath + "lib/part.bin"));
        } else {
            EXPECT_TRUE(record.Runs.empty());
        }
        EXPECT_FALSE(std::filesystem::exists(outer.Path() + "/escaped.txt"));
        // The package is fetched only when the numbers differ.
        const auto paths = server.Paths();
        EXPECT_EQ(std::count(paths.begin(), paths.end(), pkg) > 0,
                  c.Updater || (!c.Messages.isEmpty() && c.Messages[0] != kNoInternet));
    }
}

TEST_F(UpdateCheckTest, UserAgentNamesProgramInstallationAndTime) {
    LoopbackHttpServer server({{"/download/tdr/ver.txt", {200, Utf16("3")}}});
    for (int run = 0; run < 2; ++run) {
        TempFolder temp;
        EXPECT_TRUE(RunGate(QString::fromStdString(server.Base()), temp.Path() + "/").Result);
    }
    const std::string id = Stored().value("InstallationId").toString().toStdString();
    ASSERT_EQ(id.size(), 36u);
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const QRegularExpression pattern(
        "^" + QRegularExpression::escape(exe + "_F_" + QString::fromStdString(id)) +
        "_\\d{4}_\\d{2}_\\d{2}__\\d{2}_\\d{2}_\\d{2}$");
    const auto agents = server.Agents();
    ASSERT_EQ(agents.size(), 2u);
    for (const std::string& agent : agents) {
        EXPECT_TRUE(pattern.match(QString::fromStdString(agent)).hasMatch()) << agent;
    }
}

TEST_F(UpdateCheckTest, PlainHttpToAnotherHostIsRefusedWithoutConnecting) {
    // Every request of this process would go through this proxy, so a connection shows up here.
    LoopbackHttpServer proxy({});
    TScopedEnvironment http("http_proxy", proxy.Base().c_str());
    TScopedEnvironment all("ALL_PROXY", proxy.Base().c_str());
    TScopedEnvironment none("no_proxy", nullptr);
    TempFolder temp;
    MessageRecorder messages;
    const RunRecord record = RunGate("http://updates.example.org", temp.Path() + "/");
    EXPECT_FALSE(record.Result);
    EXPECT_EQ(messages.Texts, QStringList{kNoInternet});
    EXPECT_EQ(proxy.Connections(), 0);
}

// The main window with and without an update host. A proxy on 127.0.0.1 stands in for the
// network: every request the program makes arrives there.
class UpdateGateStartTest : public UpdateCheckTest {
protected:
    void SetUp() override {
        UpdateCheckTest::SetUp();
        qputenv("TANDREL_INSTANCE_NAME",
                QByteArray("tandrel-test-") +
                    QByteArray::number(QCoreApplication::applicationPid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        FTestPattern.emplace("TANDREL_TEST_PATTERN", "0");
        FDataHome.emplace("XDG_DATA_HOME", (FHome.path() + "/data/").toUtf8().constData());
    }
    void TearDown() override {
        FTestPattern.reset();
        FDataHome.reset();
    }
    std::optional<TScopedEnvironment> FTestPattern, FDataHome;
};

TEST_F(UpdateGateStartTest, WithoutUpdateHostStartUpTouchesNoNetwork) {
    LoopbackHttpServer proxy({});
    TScopedEnvironment http("http_proxy", proxy.Base().c_str());
    TScopedEnvironment https("https_proxy", proxy.Base().c_str());
    TScopedEnvironment all("ALL_PROXY", proxy.Base().c_str());
    TScopedEnvironment none("no_proxy", nullptr);
    struct Case {
        const char* Host;  // nullptr: no "UpdateHost" value at all
        bool StartsCamera;
    };
    for (const Case c : {Case{nullptr, true}, Case{"", true}, Case{"  ", true},
                         Case{"https://updates.example.org", false}}) {
        SCOPED_TRACE(c.Host ? c.Host : "(none)");
        {
            QSettings settings = Stored();
            settings.clear();
            if (c.Host != nullptr) {
                settings.setValue("UpdateHost", c.Host);
            }
        }
        MessageRecorder messages;
        const int before = proxy.Connections();
        TForm1 form;
        form.show();
        if (c.StartsCamera) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return form.StartedUp(); }, 10000));
            EXPECT_TRUE(messages.Texts.isEmpty());
            EXPECT_EQ(proxy.Connections(), before);
            form.close();
        } else {
            // The request reaches the proxy (and so nothing beyond this machine), fails, and the
            // window closes with the first message.
            ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.Texts.isEmpty(); }, 20000));
            EXPECT_EQ(messages.Texts, QStringList{kNoInternet});
            EXPECT_GT(proxy.Connections(), before);
            EXPECT_FALSE(form.StartedUp());
            EXPECT_FALSE(form.isVisible());
        }
    }
}

TEST_F(UpdateGateStartTest, WindowClosedWhileTheGateRunsGetsNoCamera) {
    TForm1 form;
    bool gateRan = false;
    form.SetUpdateGate([&] {
        gateRan = true;
        // What a click on the window's close button during a download amounts to.
        form.close();
        return true;
    });
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return gateRan; }, 10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(form.CameraManager(), nullptr);
    EXPECT_FALSE(form.StartedUp());
}

}  // namespace
