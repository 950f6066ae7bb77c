#include <gtest/gtest.h>

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

}  // namespace
