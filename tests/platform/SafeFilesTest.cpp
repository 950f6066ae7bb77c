#include "platform/SafeFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "localisation/TempFolder.h"
#include "support/FileSizeLimit.h"

namespace {

namespace fs = std::filesystem;

std::string Contents(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Names planted by someone else: a link to a file outside, a dangling link whose target would
// be created outside, a named pipe, a folder. None is opened, followed or waited on.
TEST(SafeFiles, PlantedNamesAreNeitherFollowedNorOpened) {
    TempFolder folder;
    TempFolder outside;
    const std::string target = outside.Write("victim", "keep");
    const std::string link = folder.Path() + "/link";
    const std::string dangling = folder.Path() + "/dangling";
    const std::string pipe = folder.Path() + "/pipe";
    const std::string dir = folder.Path() + "/dir";
    fs::create_symlink(target, link);
    fs::create_symlink(outside.Path() + "/created-outside", dangling);
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    fs::create_directory(dir);

    for (const std::string& name : {link, dangling, pipe, dir}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(NameTaken(name));
        errno = 0;
        EXPECT_FALSE(CreateNewFile(name)) << "an existing name is never opened for writing";
        EXPECT_EQ(errno, EEXIST);
        EXPECT_FALSE(OpenRegularFile(name)) << "only a regular file is read";
        std::string text = "stale";
        EXPECT_FALSE(ReadRegularFileStart(name, 16, text));
        EXPECT_TRUE(text.empty());
    }
    EXPECT_EQ(Contents(target), "keep");
    EXPECT_FALSE(fs::exists(outside.Path() + "/created-outside"));

    const std::string fresh = folder.Path() + "/fresh";
    EXPECT_FALSE(NameTaken(fresh));
    TUniqueFd created = CreateNewFile(fresh);
    ASSERT_TRUE(created);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(fresh)));
    ASSERT_EQ(::write(created.Get(), "abc", 3), 3);
    std::string text;
    EXPECT_TRUE(ReadRegularFileStart(fresh, 2, text));
    EXPECT_EQ(text, "ab");
}

// A file is replaced whole: a link standing at the name is replaced, not followed; a failure
// leaves the old content and no temporary file.
TEST(SafeFiles, WriteFileWholeReplacesOrLeavesAlone) {
    TempFolder folder;
    TempFolder outside;
    const std::string target = outside.Write("victim", "keep");
    const std::string name = folder.Path() + "/info.vli";
    fs::create_symlink(target, name);
    ASSERT_TRUE(WriteFileWhole(name, "1\r\n2\r\n"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(name)));
    EXPECT_EQ(Contents(name), "1\r\n2\r\n");
    EXPECT_EQ(Contents(target), "keep");
    ASSERT_TRUE(WriteFileWhole(name, "3\r\n"));
    EXPECT_EQ(Contents(name), "3\r\n");

    // A folder that does not exist: nothing is written anywhere.
    EXPECT_FALSE(WriteFileWhole(folder.Path() + "/missing/info.vli", "x"));
    // A folder standing at the name: the rename fails, the temporary file goes.
    fs::create_directory(folder.Path() + "/busy.vli");
    EXPECT_FALSE(WriteFileWhole(folder.Path() + "/busy.vli", "x"));
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 2) << "the information file and the folder, no temporary file";
}

// A write that fails half-way, as on a full disk (here a file-size limit of the process): the
// old content stays and no temporary file is left.
TEST(SafeFiles, AFailedWriteLeavesTheOldFile) {
    TempFolder folder;
    const std::string name = folder.Path() + "/info.vli";
    ASSERT_TRUE(WriteFileWhole(name, "old\r\n"));
    FileSizeLimit limit(4);
    const bool written = WriteFileWhole(name, "45000.5\r\n12.5\r\n");
    limit.Lift();

    EXPECT_FALSE(written);
    EXPECT_EQ(Contents(name), "old\r\n");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1) << "no temporary file is left";
}

}  // namespace
