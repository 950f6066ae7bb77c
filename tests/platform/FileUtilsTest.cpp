#include "platform/FileUtils.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "localisation/TempFolder.h"
#include "support/LogCapture.h"

namespace {

using Files = std::vector<std::string>;

TEST(FileUtils, ListsMatchingFilesCaseInsensitivelyInNameOrder) {
    TempFolder folder;
    for (const char* name : {"b.lng", "A.LNG", "c.Lng", "x.lng", "X.lng", ".hidden.lng",
                             "notes.txt", "a.lng.bak", "lng"}) {
        folder.Write(name, "x");
    }
    folder.MakeFolder("dir.lng");
    std::filesystem::create_directory_symlink(folder.Path() + "/dir.lng",
                                              folder.Path() + "/link.lng");
    LogCapture log;

    const std::string& dir = folder.Path();
    const Files expected{dir + "/.hidden.lng", dir + "/A.LNG", dir + "/b.lng",
                         dir + "/c.Lng",       dir + "/X.lng", dir + "/x.lng"};
    Files files{"stale"};
    EXPECT_TRUE(GetFilesFromFolder(dir, "*.lng", &files));
    EXPECT_EQ(files, expected);

    // A trailing "/" is not doubled.
    EXPECT_TRUE(GetFilesFromFolder(dir + "/", "*.lng", &files));
    EXPECT_EQ(files, expected);

    EXPECT_TRUE(GetFilesFromFolder(dir, "*.TXT", &files));
    EXPECT_EQ(files, Files{dir + "/notes.txt"});
    EXPECT_TRUE(log.Lines().empty());
}

TEST(FileUtils, NothingToListIsFalseWithAnEmptyList) {
    TempFolder folder;
    folder.Write("notes.txt", "x");
    folder.MakeFolder("only-a-folder.lng");
    LogCapture log;

    Files files{"stale"};
    EXPECT_FALSE(GetFilesFromFolder(folder.Path(), "*.lng", &files));
    EXPECT_TRUE(files.empty());

    files = {"stale"};
    EXPECT_FALSE(GetFilesFromFolder(folder.Path() + "/missing", "*.lng", &files));
    EXPECT_TRUE(files.empty());

    files = {"stale"};
    EXPECT_FALSE(GetFilesFromFolder(folder.Path() + "/notes.txt", "*", &files));
    EXPECT_TRUE(files.empty());

    EXPECT_FALSE(GetFilesFromFolder(folder.Path(), "*", nullptr));
    EXPECT_TRUE(log.Lines().empty());
}

TEST(FileUtils, UnreadableFolderIsFalse) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not restrict root";
    }
    TempFolder folder;
    const std::string locked = folder.MakeFolder("locked");
    folder.Write("locked/a.lng", "x");
    std::filesystem::permissions(locked, std::filesystem::perms::none);

    Files files{"stale"};
    EXPECT_FALSE(GetFilesFromFolder(locked, "*.lng", &files));
    EXPECT_TRUE(files.empty());
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
}

}  // namespace
