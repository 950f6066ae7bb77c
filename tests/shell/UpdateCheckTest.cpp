#include "shell/UpdateCheck.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

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
const QString kNoVersion = "Could not retrieve the product version! Please reinstall the product.";
const QString kNotStarted =
    "The updater could not be started. Please restart the application to try again.";

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

// Small limits: a package of 64 KB at most, unpacking to 1 MB.
const TDownloadLimits kPackageLimits{2, 1, 10, 64 << 10};
const TUnpackLimits kUnpackLimits{1 << 20, 200, 64 << 10};

RunRecord RunGate(const QString& host, const std::string& tempPath, bool elevated = true) {
    RunRecord record;
    TUpdateCheck check(host, tempPath, [&] { ++record.Closed; });
    check.SetLimits(TDownloadLimits{2, 1, 4}, kPackageLimits, kUnpackLimits);
    check.SetRunner([&](const std::string& file, const std::string& parameters) {
        record.Runs.emplace_back(file, parameters);
        return elevated;
    });
    record.Result = check.InitializationAndUpdate();
    return record;
}

// Bytes that do not compress.
std::string Noise(size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

// The update folders the gate left in the temporary folder.
std::vector<std::string> UpdateFolders(const std::string& tempPath) {
    std::vector<std::string> folders;
    for (const auto& entry : std::filesystem::directory_iterator(tempPath)) {
        if (entry.path().filename().string().rfind("TDRUpdater-", 0) == 0) {
            folders.push_back(entry.path().string());
        }
    }
    return folders;
}

TEST_F(UpdateCheckTest, GateOutcomes) {
    TempFolder build;
    const std::string goodPackage =
        ZipBytes(build, {{"TDRUpdater.exe", "#!/bin/sh\n"}, {"lib/part.bin", "p"}});
    const std::string traversal =
        ZipBytes(build, {{"TDRUpdater.exe", "#!/bin/sh\n"}, {"../escaped.txt", "x"}});
    const std::string noUpdater = ZipBytes(build, {{"lib/part.bin", "p"}});
    const std::string updaterFolder =
        ZipBytes(build, {{"TDRUpdater.exe/", ""}, {"TDRUpdater.exe/x", "#!/bin/sh\n"}});
    // 2 MB of zeros pack into a few KB.
    const std::string bomb = ZipBytes(
        build, {{"TDRUpdater.exe", "#!/bin/sh\n"}, {"zeros.bin", std::string(2 << 20, '\0')}});
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
        bool FreshInstall = false;  // no settings key at all
    };
    const std::string notDownloaded =
        "Error in TForm1.GetVersionFromWebHost - cannot download the ver.txt file.";
    const std::string notANumber = "Error in TForm1.GetVersionFromWebHost call...";
    const std::string notUnpacked = "Error in TForm1.UnpackUpdaterFile call...";
    const std::string noUpdaterLine =
        "Error in TForm1.UnpackUpdaterFile - the package holds no TDRUpdater.exe file.";
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
        // A fresh install has no settings key: the product was not installed for this user.
        {"fresh install", {{ver, {200, Utf16("12")}}}, std::nullopt, false, {kNoVersion}, false, 0,
         {}, true},
        // Only an updater that came out of the package is started (one is planted beside it).
        {"package without updater", {{ver, {200, Utf16("13")}}, {pkg, {200, noUpdater}}}, 12,
         false, {kCannotUnpack}, false, 12, {noUpdaterLine}},
        {"updater is a folder", {{ver, {200, Utf16("13")}}, {pkg, {200, updaterFolder}}}, 12,
         false, {kCannotUnpack}, false, 12, {noUpdaterLine}},
        {"package too large", {{ver, {200, Utf16("13")}}, {pkg, {200, Noise(100 << 10)}}}, 12,
         false, {kNoUpdater}, false, 12,
         {"Error in DownloadFile - the download is larger than 65536 bytes."}},
        {"endless package", {{ver, {200, Utf16("13")}}, {pkg, {200, Noise(100 << 10), false}}}, 12,
         false, {kNoUpdater}, false, 12,
         {"Error in DownloadFile - error calling HttpQueryInfo.",
          "Error in DownloadFile - the download is larger than 65536 bytes."}},
        {"archive bomb", {{ver, {200, Utf16("13")}}, {pkg, {200, bomb}}}, 12, false,
         {kCannotUnpack}, false, 12, {notUnpacked}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        {
            QSettings settings = Stored();
            settings.clear();
            if (!c.FreshInstall) {
                settings.setValue("FormWidth", 900);
            }
            if (c.StoredVersion) {
                settings.setValue("Version", *c.StoredVersion);
            }
        }
        TempFolder outer;
        std::filesystem::create_directory(outer.Path() + "/tmp");
        const std::string tempPath = outer.Path() + "/tmp/";
        // What another user of the shared temporary folder could have left there.
        std::ofstream(tempPath + "TDRUpdater.exe") << "planted";
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
            // The updater of a new folder of its own, which only this user can enter.
            ASSERT_EQ(record.Runs.size(), 1u);
            const std::filesystem::path updater = record.Runs[0].first;
            const std::filesystem::path folder = updater.parent_path();
            EXPECT_EQ(updater.filename(), "TDRUpdater.exe");
            EXPECT_EQ(folder.parent_path().string() + "/", tempPath);
            EXPECT_EQ(UpdateFolders(tempPath), std::vector<std::string>{folder.string()});
            struct stat info {};
            ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
            EXPECT_TRUE(S_ISDIR(info.st_mode));
            EXPECT_EQ(info.st_mode & 07777, 0700u);
            EXPECT_EQ(record.Runs[0].second,
                      QCoreApplication::applicationFilePath().toStdString());
            std::ifstream in(updater);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "#!/bin/sh\n");
            EXPECT_TRUE(std::filesystem::exists(folder / "lib/part.bin"));
        } else {
            EXPECT_TRUE(record.Runs.empty());
            // Nothing of a failed update stays behind.
            EXPECT_TRUE(UpdateFolders(tempPath).empty());
        }
        std::ifstream planted(tempPath + "TDRUpdater.exe");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(planted), {}), "planted");
        EXPECT_FALSE(std::filesystem::exists(outer.Path() + "/escaped.txt"));
        EXPECT_FALSE(std::filesystem::exists(tempPath + "TDRUpdater.zip"));
        if (c.FreshInstall) {
            // The check creates no settings key of its own.
            EXPECT_TRUE(Stored().allKeys().isEmpty()) << Stored().allKeys().join(',').toStdString();
        }
        // The package is fetched only when the numbers differ.
        const auto paths = server.Paths();
        EXPECT_EQ(std::count(paths.begin(), paths.end(), pkg) > 0,
                  c.Updater || (!c.Messages.isEmpty() && c.Messages[0] != kNoInternet &&
                                c.Messages[0] != kNoVersion));
    }
}

// A refused or dismissed elevation is reported, and the update folder goes.
TEST_F(UpdateCheckTest, AnUpdaterNotStartedIsReportedAndLeavesNothing) {
    TempFolder build;
    LoopbackHttpServer server(
        {{"/download/tdr/ver.txt", {200, Utf16("13")}},
         {"/download/tdr/TDRUpdater.zip", {200, ZipBytes(build, {{"TDRUpdater.exe", "x"}})}}});
    Stored().setValue("Version", 12);
    TempFolder temp;
    MessageRecorder messages;
    LogCapture log;
    const RunRecord record =
        RunGate(QString::fromStdString(server.Base()), temp.Path() + "/", false);
    EXPECT_FALSE(record.Result);
    EXPECT_EQ(record.Runs.size(), 1u);
    EXPECT_EQ(messages.Texts, QStringList{kNotStarted});
    EXPECT_EQ(log.Lines(), std::vector<std::string>{
                               "Error in TForm1.InitializationAndUpdate - the updater was not "
                               "started."});
    EXPECT_EQ(record.Closed, 1);
    EXPECT_TRUE(UpdateFolders(temp.Path() + "/").empty());
}

TEST_F(UpdateCheckTest, UserAgentNamesProgramInstallationAndTime) {
    LoopbackHttpServer server({{"/download/tdr/ver.txt", {200, Utf16("3")}}});
    // An installed product: its settings key exists.
    Stored().setValue("FormWidth", 900);
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

// The real program handing over to its updater. pkexec authorises against the process that
// started it and refuses once that process is gone, so the program must stay until pkexec has
// started the updater (or given up). The stand-in pkexec on the PATH keeps its password dialog
// open for a second and then checks its parent, as pkexec does.
TEST(UpdateHandoverTest, TheProgramStaysUntilPkexecHasStartedTheUpdater) {
    struct Case {
        const char* Name;
        std::string Answer;  // the stand-in's answer after the dialog
        bool Started;
    };
    const std::vector<Case> cases = {
        {"authorised",
         "if [ \"$(awk '/^PPid:/ {print $2}' /proc/$$/status)\" != \"$parent\" ] || "
         "! kill -0 \"$parent\" 2>/dev/null; then\n"
         "  echo 'Refusing to render service to dead parents.' >&2; exit 127\nfi",
         true},
        {"dismissed", "exit 126", false},
    };
    TempFolder build;
    const std::string package = ZipBytes(
        build, {{"TDRUpdater.exe",
                 "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/../updater-ran\"\n"}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        LoopbackHttpServer server({{"/download/tdr/ver.txt", {200, Utf16("13")}},
                                   {"/download/tdr/TDRUpdater.zip", {200, package}}});
        TempFolder home;
        for (const char* folder : {"/config/Vantrelle Media Solutions", "/tmp", "/bin"}) {
            std::filesystem::create_directories(home.Path() + folder);
        }
        home.Write("config/Vantrelle Media Solutions/Tandrel.conf",
                   "[General]\nUpdateHost=" + server.Base() + "\nVersion=12\n");
        const std::string pkexec = home.Write(
            "bin/pkexec",
            "#!/bin/bash\nparent=$PPID\nsleep 1\n" + c.Answer +
                "\nfor fd in /proc/$$/fd/*; do fd=${fd##*/}; [ \"$fd\" -gt 2 ] && "
                "eval \"exec $fd>&-\"; done 2>/dev/null\nexec \"$@\"\n");
        ::chmod(pkexec.c_str(), 0755);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString root = QString::fromStdString(home.Path());
        environment.insert("HOME", root);
        environment.insert("XDG_CONFIG_HOME", root + "/config");
        environment.insert("XDG_DATA_HOME", root + "/data");
        environment.insert("TMPDIR", root + "/tmp");
        environment.insert("PATH", root + "/bin:" + environment.value("PATH"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("TANDREL_TEST_PATTERN", "0");
        environment.insert("TANDREL_INSTANCE_NAME",
                           QString("tandrel-handover-%1").arg(QCoreApplication::applicationPid()));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(TANDREL_EXECUTABLE, {});
        ASSERT_TRUE(program.waitForFinished(60000));
        const QByteArray errors = program.readAllStandardError();
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        const std::string ran = home.Path() + "/tmp/updater-ran";
        if (c.Started) {
            // The updater may still be starting when the program has gone.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!std::filesystem::exists(ran) && std::chrono::steady_clock::now() < deadline) {
                QTest::qWait(20);
            }
            std::ifstream in(ran);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
                      QFileInfo(TANDREL_EXECUTABLE).canonicalFilePath().toStdString())
                << errors.constData();
            EXPECT_FALSE(errors.contains(kNotStarted.toUtf8())) << errors.constData();
        } else {
            EXPECT_FALSE(std::filesystem::exists(ran));
            EXPECT_TRUE(errors.contains(kNotStarted.toUtf8())) << errors.constData();
            EXPECT_TRUE(UpdateFolders(home.Path() + "/tmp").empty());
        }
    }
}

}  // namespace
