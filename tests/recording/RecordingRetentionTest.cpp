#include "recording/RecordingRetention.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "localisation/TempFolder.h"
#include "support/LogCapture.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kMB = 1024ULL * 1024ULL;
constexpr uint64_t kGB = 1024ULL * kMB;

// A recording folder with generated recordings (video and information file), foreign files and
// a disk whose free space the test decides.
class RecordingRetentionTest : public ::testing::Test {
protected:
    void SetUp() override {
        FPrevious = SetDiskSpaceQuery([this](const std::string&, uint64_t& free, uint64_t& total) {
            free = FFree;
            total = FTotal;
            return FAnswer;
        });
        fs::create_directories(Folder() + "LogInfo");
    }
    void TearDown() override { SetDiskSpaceQuery(FPrevious); }

    std::string Folder() const { return FTemp.Path() + "/AutoRec/"; }

    // A recording of Bytes bytes last changed DaysAgo days ago, with its information file.
    void MakeRecording(const std::string& stamp, size_t bytes, double daysAgo,
                       const char* extension = ".wmv") {
        const std::string name = "Rec_" + stamp;
        MakeFile(Folder() + name + extension, bytes, daysAgo);
        MakeFile(Folder() + "LogInfo/" + name + ".vli", 20, daysAgo);
    }
    static void MakeFile(const std::string& path, size_t bytes, double daysAgo) {
        {
            std::ofstream out(path, std::ios::binary);
            out << std::string(bytes, 'x');
        }
        const auto age = std::chrono::duration_cast<fs::file_time_type::duration>(
            std::chrono::duration<double>(daysAgo * 86400.0));
        fs::last_write_time(path, fs::file_time_type::clock::now() - age);
    }
    bool Exists(const std::string& relative) const { return fs::exists(Folder() + relative); }

    TempFolder FTemp;
    TDiskSpaceQuery FPrevious;
    uint64_t FFree = 500 * kGB;
    uint64_t FTotal = 1000 * kGB;
    bool FAnswer = true;
};

}  // namespace

TEST_F(RecordingRetentionTest, OldestRecordingsGoWithTheirInformationFilesAndForeignFilesStay) {
    MakeRecording("20261101_080000", 3000, 40);
    fs::create_directories(Folder() + "Snapshots");
    MakeFile(Folder() + "Snapshots/Rec_20261101_080000.jpg", 300, 40);
    MakeFile(Folder() + "Snapshots/holiday.jpg", 300, 100);
    MakeRecording("20261201_080000", 3000, 9);
    // MP4 recordings are the program's own as well.
    MakeRecording("20261205_080000", 3000, 5, ".mp4");
    MakeFile(Folder() + "Snapshots/Rec_20261205_080000.jpg", 300, 5);
    MakeRecording("20261209_080000", 3000, 1, ".mp4");
    // Foreign files, older and bigger than every recording.
    MakeFile(Folder() + "holiday.wmv", 50000, 100);
    MakeFile(Folder() + "holiday.mp4", 50000, 100);
    MakeFile(Folder() + "Rec_20261101_080000.wmv.bak", 50000, 100);
    MakeFile(Folder() + "Rec_20261101_080000.MP4", 50000, 100);
    MakeFile(Folder() + "LogInfo/notes.vli", 10, 100);
    fs::create_directories(Folder() + "Rec_20200101_000000.wmv");  // a folder of that name

    TRetentionLimits limits;
    limits.MaxAgeDays = 30;
    limits.MaxFolderMegabytes = 0;
    LogCapture log;
    TRetentionResult result = ApplyRecordingRetention(Folder(), limits, {});
    EXPECT_EQ(result.Deleted, 1);
    EXPECT_TRUE(result.Room);
    EXPECT_FALSE(Exists("Rec_20261101_080000.wmv"));
    EXPECT_FALSE(Exists("LogInfo/Rec_20261101_080000.vli"));
    EXPECT_FALSE(Exists("Snapshots/Rec_20261101_080000.jpg"));
    EXPECT_TRUE(log.Contains("Recording retention - deleted " + Folder() +
                             "Rec_20261101_080000.wmv (older than the age limit)."));

    // The disk is short of free space: the oldest go, one after the other, until it has room
    // (2 GB wanted, 6000 bytes short).
    FFree = 2 * kGB - 6000;
    log.Clear();
    result = ApplyRecordingRetention(Folder(), limits, {});
    EXPECT_EQ(result.Deleted, 2);
    EXPECT_TRUE(result.Room);
    EXPECT_EQ(result.FreeBytes, 2 * kGB + 300) << "the MP4 recording's snapshot went too";
    EXPECT_FALSE(Exists("Rec_20261201_080000.wmv"));
    EXPECT_FALSE(Exists("Rec_20261205_080000.mp4"));
    EXPECT_FALSE(Exists("LogInfo/Rec_20261205_080000.vli"));
    EXPECT_FALSE(Exists("Snapshots/Rec_20261205_080000.jpg"));
    EXPECT_TRUE(Exists("Rec_20261209_080000.mp4"));
    EXPECT_TRUE(Exists("LogInfo/Rec_20261209_080000.vli"));
    EXPECT_EQ(log.Lines().size(), 2u) << "one line per deletion";

    // Nothing left to delete but foreign files and the newest recording, which a new one never
    // replaces: no room, and they all stay.
    FFree = 0;
    result = ApplyRecordingRetention(Folder(), limits, {});
    EXPECT_FALSE(result.Room);
    EXPECT_EQ(result.Deleted, 0);
    EXPECT_TRUE(Exists("Rec_20261209_080000.mp4"));
    for (const char* foreign :
         {"holiday.wmv", "holiday.mp4", "Rec_20261101_080000.wmv.bak", "Rec_20261101_080000.MP4",
          "LogInfo/notes.vli", "Rec_20200101_000000.wmv", "Snapshots/holiday.jpg"}) {
        EXPECT_TRUE(Exists(foreign)) << foreign;
    }
}

TEST_F(RecordingRetentionTest, RecordingsInUseAndLinksAreKept) {
    MakeRecording("20261101_080000", 3000, 40);
    MakeRecording("20261102_080000", 3000, 39);
    const std::string outside = FTemp.Path() + "/outside.wmv";
    MakeFile(outside, 3000, 50);
    fs::create_symlink(outside, Folder() + "Rec_20261001_080000.wmv");

    FFree = 0;
    const TRetentionResult result =
        ApplyRecordingRetention(Folder(), {}, {Folder() + "Rec_20261101_080000.wmv"});
    EXPECT_EQ(result.Deleted, 1);
    EXPECT_TRUE(Exists("Rec_20261101_080000.wmv")) << "being finished";
    EXPECT_FALSE(Exists("Rec_20261102_080000.wmv"));
    EXPECT_TRUE(fs::exists(outside)) << "a link's target is not the program's";
    EXPECT_TRUE(fs::is_symlink(Folder() + "Rec_20261001_080000.wmv"));
}

TEST_F(RecordingRetentionTest, AFolderNotYetMadeOrADiskThatCannotBeAskedDeletesNothing) {
    const std::string missing = FTemp.Path() + "/MotionDetection/";
    TRetentionResult result = ApplyRecordingRetention(missing, {}, {});
    EXPECT_EQ(result.Deleted, 0);
    EXPECT_TRUE(result.Room);
    FFree = 0;
    result = ApplyRecordingRetention(missing, {}, {});
    EXPECT_FALSE(result.Room) << "the parent's file system is full";

    MakeRecording("20261101_080000", 3000, 40);
    FAnswer = false;
    result = ApplyRecordingRetention(Folder(), {}, {});
    EXPECT_EQ(result.Deleted, 0);
    EXPECT_TRUE(result.Room) << "nothing is refused on a guess";
    EXPECT_TRUE(Exists("Rec_20261101_080000.wmv"));
}

TEST_F(RecordingRetentionTest, TheQuickQuestionOnlyAsksForFreeSpace) {
    MakeRecording("20261101_080000", 3000, 40);
    EXPECT_TRUE(HasRequiredFreeSpace(Folder(), {}));
    FFree = 2 * kGB - 1;
    EXPECT_FALSE(HasRequiredFreeSpace(Folder(), {}));
    EXPECT_TRUE(HasRequiredFreeSpace(Folder(), TRetentionLimits{0, 2048, 0, 30})) << "off";
    FAnswer = false;
    EXPECT_TRUE(HasRequiredFreeSpace(Folder(), {})) << "nothing is refused on a guess";
    EXPECT_TRUE(Exists("Rec_20261101_080000.wmv")) << "nothing is deleted";
}

TEST(RecordingRetention, TheRealDiskIsAsked) {
    TempFolder temp;
    const TRetentionResult result = ApplyRecordingRetention(temp.Path(), TRetentionLimits{}, {});
    EXPECT_EQ(result.Deleted, 0);
    EXPECT_GT(result.FreeBytes, 0u);
    EXPECT_GT(result.RequiredFreeBytes, 0u);
}
