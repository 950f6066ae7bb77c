#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "localisation/TempFolder.h"
#include "shell/UpdateRoutines.h"
#include "support/LogCapture.h"
#include "support/ZipBuilder.h"

namespace {

std::string Utf16(const std::u16string& text) {
    std::string bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xff));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

TEST(ParseVersionTextTest, Utf16BodyRules) {
    struct Case {
        std::string Body;
        bool Parsed;
        int Value;
    };
    const std::vector<Case> cases = {
        {Utf16(u"12"), true, 12},
        {Utf16(u"-7"), true, -7},
        {Utf16(u"+3"), true, 3},
        {Utf16(u"2147483647"), true, 2147483647},
        {Utf16(u"-2147483648"), true, -2147483647 - 1},
        // The single ASCII digit 5: "5" then the zeroed buffer ends the text.
        {"5", true, 5},
        // Two ASCII digits make one UTF-16 character, which is no digit.
        {"12", false, 0},
        {Utf16(u"12") + std::string(2, '\0') + Utf16(u"99"), true, 12},
        {Utf16(u"2147483648"), false, 0},
        {Utf16(u"1 2"), false, 0},
        {Utf16(u" 12"), false, 0},
        {Utf16(u"-"), false, 0},
        {Utf16(u"\uff11"), false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        std::vector<char> buffer(2048, 0);
        std::copy(c.Body.begin(), c.Body.end(), buffer.begin());
        int value = 0;
        EXPECT_EQ(ParseVersionText(buffer.data(), buffer.size(), value), c.Parsed) << c.Body;
        EXPECT_EQ(value, c.Value) << c.Body;
    }
}

TEST(ArchiveEntryTest, PathsThatLeaveTheFolderAreRefused) {
    struct Case {
        const char* Name;
        bool Link;
        bool Safe;
    };
    const Case cases[] = {
        {"TDRUpdater.exe", false, true},
        {"data/readme.txt", false, true},
        {"data/", false, true},
        {"a/..b/c", false, true},
        {"/etc/passwd", false, false},
        {"\\windows\\x", false, false},
        {"C:/x", false, false},
        {"..", false, false},
        {"../x", false, false},
        {"a/../../x", false, false},
        {"a\\..\\..\\x", false, false},
        {"a/..", false, false},
        {"TDRUpdater.exe", true, false},
        {"", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSafeArchiveEntry(c.Name, c.Link), c.Safe) << c.Name;
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ExtractZipArchiveTest, GoodPackageIsExtractedKeepingPaths) {
    TempFolder folder;
    const std::string zip = folder.Path() + "/TDRUpdater.zip";
    WriteZip(zip, {{"TDRUpdater.exe", "#!/bin/sh\n"}, {"data/", ""}, {"data/a.txt", "aaa"},
                   {"deep/er/b.txt", std::string(100000, 'b')}});
    folder.Write("TDRUpdater.exe", "old updater");
    ASSERT_TRUE(ExtractZipArchive(zip, folder.Path() + "/"));
    EXPECT_EQ(ReadFile(folder.Path() + "/TDRUpdater.exe"), "#!/bin/sh\n");
    EXPECT_EQ(ReadFile(folder.Path() + "/data/a.txt"), "aaa");
    EXPECT_EQ(ReadFile(folder.Path() + "/deep/er/b.txt"), std::string(100000, 'b'));
    struct stat info {};
    ASSERT_EQ(::stat((folder.Path() + "/TDRUpdater.exe").c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR);
}

TEST(ExtractZipArchiveTest, UnsafePackagesExtractNothing) {
    const std::vector<std::vector<ZipEntry>> packages = {
        {{"TDRUpdater.exe", "x"}, {"../escaped.txt", "x"}},
        {{"TDRUpdater.exe", "x"}, {"sub/../../escaped.txt", "x"}},
        {{"TDRUpdater.exe", "x"}, {"/tmp/escaped-absolute.txt", "x"}},
        {{"TDRUpdater.exe", "x"}, {"link", "/etc", true}},
        {{"link", "/etc/passwd", true}, {"TDRUpdater.exe", "x"}},
    };
    for (size_t i = 0; i < packages.size(); ++i) {
        TempFolder folder;
        std::filesystem::create_directory(folder.Path() + "/inner");
        const std::string zip = folder.Path() + "/package.zip";
        WriteZip(zip, packages[i]);
        EXPECT_FALSE(ExtractZipArchive(zip, folder.Path() + "/inner/")) << i;
        EXPECT_TRUE(std::filesystem::is_empty(folder.Path() + "/inner")) << i;
        EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/escaped.txt")) << i;
    }
    EXPECT_FALSE(std::filesystem::exists("/tmp/escaped-absolute.txt"));
}

TEST(ExtractZipArchiveTest, ListsTheFilesItWrote) {
    TempFolder folder;
    const std::string zip = folder.Path() + "/package.zip";
    WriteZip(zip, {{"TDRUpdater.exe", "x"}, {"data/", ""}, {"data/a.txt", "a"}});
    std::filesystem::create_directory(folder.Path() + "/out");
    std::vector<std::string> files{"stale"};
    ASSERT_TRUE(ExtractZipArchive(zip, folder.Path() + "/out/", {}, &files));
    EXPECT_EQ(files, (std::vector<std::string>{"TDRUpdater.exe", "data/a.txt"}));
}

// What unpacks to far more than the package holds is refused before anything is written: in
// all, and per entry measured against its packed size (small entries need not compress badly).
TEST(ExtractZipArchiveTest, ArchivesBeyondTheLimitsExtractNothing) {
    const TUnpackLimits limits{100000, 50, 4096};
    struct Case {
        const char* Name;
        std::vector<ZipEntry> Entries;
        bool Extracted;
    };
    std::string noise(30000, '\0');
    uint32_t state = 7;
    for (char& byte : noise) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    const std::vector<Case> cases = {
        {"within", {{"a", noise}, {"b", noise}, {"small", std::string(4096, '\0')}}, true},
        {"total above", {{"a", noise}, {"b", noise}, {"c", noise}, {"d", noise}}, false},
        {"one entry too dense", {{"a", "x"}, {"zeros", std::string(60000, '\0')}}, false},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string zip = folder.Path() + "/package.zip";
        WriteZip(zip, c.Entries);
        std::filesystem::create_directory(folder.Path() + "/out");
        EXPECT_EQ(ExtractZipArchive(zip, folder.Path() + "/out/", limits), c.Extracted) << c.Name;
        EXPECT_EQ(std::filesystem::is_empty(folder.Path() + "/out"), !c.Extracted) << c.Name;
    }
}

// A failure part-way (here a damaged entry after good ones) takes back what was written.
TEST(ExtractZipArchiveTest, AFailurePartWayLeavesNothing) {
    TempFolder folder;
    const std::string zip = folder.Path() + "/package.zip";
    WriteZip(zip, {{"TDRUpdater.exe", "#!/bin/sh\n"},
                   {"deep/er/b.txt", std::string(20000, 'b')},
                   {"last.bin", std::string(20000, 'c')}});
    // Damage the last entry's packed data: its check sum fails when it is closed.
    std::string bytes = ReadFile(zip);
    const size_t last = bytes.rfind("last.bin", bytes.find("PK\x01\x02"));
    ASSERT_NE(last, std::string::npos);
    bytes[last + 8 + 10] ^= 0x55;
    std::ofstream(zip, std::ios::binary | std::ios::trunc) << bytes;
    std::filesystem::create_directory(folder.Path() + "/out");
    EXPECT_FALSE(ExtractZipArchive(zip, folder.Path() + "/out/"));
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path() + "/out"));
}

TEST(PrivateFolderTest, NewFolderOnlyThisUserCanEnter) {
    TempFolder folder;
    const std::string first = MakePrivateFolder(folder.Path() + "/TDRUpdater-");
    const std::string second = MakePrivateFolder(folder.Path() + "/TDRUpdater-");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    EXPECT_EQ(first.back(), '/');
    struct stat info {};
    ASSERT_EQ(::lstat(first.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_TRUE(MakePrivateFolder(folder.Path() + "/no/such/").empty());
    // Removing a folder removes a link in it, never what the link leads to.
    const std::string kept = folder.Write("kept", "k");
    ASSERT_EQ(::symlink(kept.c_str(), (first + "link").c_str()), 0);
    RemoveFolder(first);
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_EQ(ReadFile(kept), "k");
}

TEST(ExtractZipArchiveTest, FolderLinkInTheTargetIsNotFollowed) {
    TempFolder folder;
    TempFolder elsewhere;
    std::filesystem::create_directory(folder.Path() + "/inner");
    ASSERT_EQ(::symlink(elsewhere.Path().c_str(), (folder.Path() + "/inner/data").c_str()), 0);
    const std::string zip = folder.Path() + "/package.zip";
    WriteZip(zip, {{"data/a.txt", "aaa"}});
    EXPECT_FALSE(ExtractZipArchive(zip, folder.Path() + "/inner/"));
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere.Path()));
}

TEST(ExtractZipArchiveTest, MissingOrDamagedArchiveFails) {
    TempFolder folder;
    EXPECT_FALSE(ExtractZipArchive(folder.Path() + "/none.zip", folder.Path() + "/"));
    const std::string bad = folder.Write("bad.zip", "PK\x03\x04 not really a zip");
    EXPECT_FALSE(ExtractZipArchive(bad, folder.Path() + "/"));
}

}  // namespace

namespace {

// A stand-in "pkexec" first on the PATH records its arguments, so nothing is really elevated.
TEST(RunAsAdministratorTest, StartsTheFileThroughPkexecWithOneParameter) {
    TempFolder folder;
    const std::string record = folder.Path() + "/arguments";
    const std::string fake = folder.Write(
        "pkexec", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + record +
                      ".part'\nmv '" + record + ".part' '" + record + "'\n");
    ASSERT_EQ(::chmod(fake.c_str(), 0755), 0);
    const char* oldPath = std::getenv("PATH");
    const std::string path = folder.Path() + ":" + (oldPath ? oldPath : "/usr/bin:/bin");
    struct Case {
        std::string Parameters;
        std::string Arguments;
    };
    const Case cases[] = {
        {"/opt/my programs/tandrel", "/tmp/TDRUpdater.exe\n/opt/my programs/tandrel\n"},
        {"", "/tmp/TDRUpdater.exe\n"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(record);
        ::setenv("PATH", path.c_str(), 1);
        const bool started = RunAsAdministrator(nullptr, "/tmp/TDRUpdater.exe", c.Parameters);
        ::setenv("PATH", oldPath ? oldPath : "", 1);
        EXPECT_TRUE(started);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!std::filesystem::exists(record) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_EQ(ReadFile(record), c.Arguments) << c.Parameters;
    }
}

// Stand-ins for pkexec: each starts the program the way pkexec does (every descriptor above
// standard error closed) or answers as pkexec does when it will not.
std::string StandInPkexec(TempFolder& folder, const std::string& body) {
    std::filesystem::create_directory(folder.Path() + "/bin");
    const std::string file = folder.Write(
        "bin/pkexec", "#!/bin/bash\n" + body +
                          "\nfor fd in /proc/$$/fd/*; do fd=${fd##*/}; [ \"$fd\" -gt 2 ] && "
                          "eval \"exec $fd>&-\"; done 2>/dev/null\nexec \"$@\"\n");
    ::chmod(file.c_str(), 0755);
    return folder.Path() + "/bin";
}

// pkexec asks on behalf of its caller, which must live until pkexec has started the program:
// the call waits for that, reports a refusal, and gives up (ending pkexec) after its bound.
TEST(RunAsAdministratorTest, WaitsUntilPkexecHasStartedTheProgramOrGivenUp) {
    struct Case {
        const char* Name;
        std::string Body;  // what the stand-in does before it starts the program
        bool Started;
        std::string Line;
    };
    const std::vector<Case> cases = {
        // The password dialog takes its time; the program starts only while its caller lives.
        {"authorised", "sleep 1; kill -0 $PPID || exit 127", true, ""},
        {"dismissed", "exit 126", false,
         "Error in RunAsAdministrator - pkexec ended with status 126."},
        {"not authorised", "sleep 0.2; exit 127", false,
         "Error in RunAsAdministrator - pkexec ended with status 127."},
        {"no answer", "echo $$ > \"$(dirname \"$0\")/pid\"; sleep 30", false,
         "Error in RunAsAdministrator - pkexec had no answer in time."},
    };
    const char* oldPath = std::getenv("PATH");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder folder;
        const std::string bin = StandInPkexec(folder, c.Body);
        const std::string updater = folder.Write(
            "TDRUpdater.exe", "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/ran\"\n");
        ::chmod(updater.c_str(), 0755);
        ::setenv("PATH", (bin + ":" + (oldPath ? oldPath : "/usr/bin:/bin")).c_str(), 1);
        LogCapture log;
        int pumped = 0;
        const auto start = std::chrono::steady_clock::now();
        const bool started = RunAsAdministrator(
            nullptr, updater, "/opt/tandrel/tandrel", [&] { ++pumped; }, std::chrono::seconds(2));
        const auto took = std::chrono::steady_clock::now() - start;
        ::setenv("PATH", oldPath ? oldPath : "", 1);
        EXPECT_EQ(started, c.Started);
        // The caller's messages are handled all along (about every 50 ms).
        EXPECT_GE(pumped,
                  std::chrono::duration_cast<std::chrono::milliseconds>(took).count() / 100);
        EXPECT_GT(pumped, 0);
        EXPECT_LT(took, std::chrono::seconds(10));
        if (c.Line.empty()) {
            EXPECT_TRUE(log.Lines().empty());
        } else {
            EXPECT_EQ(log.Lines(), std::vector<std::string>{c.Line});
        }
        if (c.Started) {
            EXPECT_GE(took, std::chrono::milliseconds(900)) << "returned before pkexec answered";
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!std::filesystem::exists(folder.Path() + "/ran") &&
                   std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            EXPECT_EQ(ReadFile(folder.Path() + "/ran"), "/opt/tandrel/tandrel");
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/ran"));
        }
        if (std::filesystem::exists(folder.Path() + "/bin/pid")) {
            // The stand-in that never answered was ended.
            const int pid = std::stoi(ReadFile(folder.Path() + "/bin/pid"));
            EXPECT_NE(::kill(pid, 0), 0);
        }
    }
    // No pkexec at all.
    TempFolder empty;
    ::setenv("PATH", empty.Path().c_str(), 1);
    EXPECT_FALSE(RunAsAdministrator(nullptr, "/tmp/TDRUpdater.exe", ""));
    ::setenv("PATH", oldPath ? oldPath : "", 1);
}

}  // namespace
