#include "recording/RetentionPlanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint64_t kMB = 1024ULL * 1024ULL;
constexpr uint64_t kGB = 1024ULL * kMB;
constexpr int64_t kDay = 86400;
constexpr int64_t kNow = 1000 * kDay;

// A recording of the given size made the given number of days ago.
TRecordingFileEntry Recording(const std::string& stamp, uint64_t size, double daysAgo,
                              const char* extension = ".wmv") {
    return {"Rec_" + stamp + extension, size, kNow - static_cast<int64_t>(daysAgo * kDay), false};
}

std::vector<std::string> Names(const TRetentionPlan& plan) {
    std::vector<std::string> names;
    for (const auto& deletion : plan.Deletions) {
        names.push_back(deletion.Name);
    }
    return names;
}

}  // namespace

TEST(RetentionPlanner, RecordingNamesAreOnlyThoseTheProgramGives) {
    struct Case {
        const char* Name;
        bool Recording;
    };
    const Case cases[] = {
        {"Rec_20261210_090000.wmv", true},
        {"Rec_20261210_090000_2.wmv", true},
        {"Rec_20261210_090000_17.wmv", true},
        {"Rec_20261210_090000.WMV", false},
        {"Rec_20261210_090000.wmv.part", false},
        {"Rec_20261210_090000_.wmv", false},
        {"Rec_20261210_090000_a.wmv", false},
        {"Rec_2026121_090000.wmv", false},
        {"Rec_20261210-090000.wmv", false},
        {"rec_20261210_090000.wmv", false},
        {"Rec_holiday.wmv", false},
        {"holiday.wmv", false},
        {"Rec_20261210_090000.vli", false},
        {"", false},
        // Both formats are the program's own; other cases and containers are not.
        {"Rec_20261210_090000.mp4", true},
        {"Rec_20261210_090000_2.mp4", true},
        {"Rec_20261210_090000.MP4", false},
        {"Rec_20261210_090000.mp4.part", false},
        {"Rec_20261210_090000_.mp4", false},
        {"Rec_20261210_090000.m4v", false},
        {"Rec_20261210_090000.mov", false},
        {"Rec_20261210_090000.mp4.wmv", false},
        {"Rec_20261210_090000mp4", false},
        {"holiday.mp4", false},
        {"Rec_holiday.mp4", false},
        {".mp4", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsRecordingFileName(c.Name), c.Recording) << c.Name;
    }
}

TEST(RetentionPlanner, RequiredFreeSpaceIsTheSmallerOfTheShareAndTheCap) {
    TRetentionLimits limits;  // 5 %, at most 2 GB
    EXPECT_EQ(RequiredFreeBytes(limits, 20 * kGB), kGB) << "5 % of a small disk";
    EXPECT_EQ(RequiredFreeBytes(limits, 1000 * kGB), 2 * kGB) << "the cap on a big disk";
    EXPECT_EQ(RequiredFreeBytes(limits, 0), 0u);
    limits.MinFreePercent = 0;
    EXPECT_EQ(RequiredFreeBytes(limits, 1000 * kGB), 0u) << "off";
    limits = TRetentionLimits{};
    limits.MinFreeMegabytes = 0;
    EXPECT_EQ(RequiredFreeBytes(limits, 1000 * kGB), 0u) << "off";
    limits = TRetentionLimits{};
    limits.MinFreePercent = 100;
    EXPECT_EQ(RequiredFreeBytes(limits, 18446744073709551000ULL), 2 * kGB) << "no overflow";
}

TEST(RetentionPlanner, DefaultsKeepAMonthOnADiskWithRoom) {
    const std::vector<TRecordingFileEntry> files = {
        Recording("20261101_080000", 10 * kMB, 40),
        Recording("20261105_080000", 10 * kMB, 31),
        Recording("20261120_080000", 10 * kMB, 29),
        Recording("20261209_080000", 10 * kMB, 1),
    };
    const TRetentionPlan plan = PlanRetention(files, 500 * kGB, 1000 * kGB, kNow, {});
    EXPECT_EQ(Names(plan),
              (std::vector<std::string>{"Rec_20261101_080000.wmv", "Rec_20261105_080000.wmv"}));
    EXPECT_EQ(plan.Deletions[0].Reason, TRetentionReason::Age);
    EXPECT_TRUE(plan.RoomAfter);
    EXPECT_EQ(plan.FreeBytesAfter, 500 * kGB + 20 * kMB);
}

TEST(RetentionPlanner, OldestGoFirstUntilTheLimitsHold) {
    // Listed out of order: the plan follows the age, not the listing.
    const std::vector<TRecordingFileEntry> files = {
        Recording("20261207_080000", 300 * kMB, 3),
        Recording("20261205_080000", 300 * kMB, 5),
        Recording("20261209_080000", 300 * kMB, 1),
        Recording("20261206_080000", 300 * kMB, 4),
    };
    struct Case {
        const char* What;
        uint64_t Free;
        int32_t MaxFolderMB;
        std::vector<std::string> Deleted;
        TRetentionReason Reason;
        bool Room;
    };
    const Case cases[] = {
        {"room and no size limit", 3 * kGB, 0, {}, TRetentionReason::Age, true},
        {"over the size limit by one file",
         3 * kGB,
         900,
         {"Rec_20261205_080000.wmv"},
         TRetentionReason::FolderSize,
         true},
        {"over the size limit by two files",
         3 * kGB,
         600,
         {"Rec_20261205_080000.wmv", "Rec_20261206_080000.wmv"},
         TRetentionReason::FolderSize,
         true},
        {"short of 500 MB of free space",
         2 * kGB - 500 * kMB,
         0,
         {"Rec_20261205_080000.wmv", "Rec_20261206_080000.wmv"},
         TRetentionReason::FreeSpace,
         true},
        {"a full disk that the recordings cannot free: the newest stays",
         0,
         0,
         {"Rec_20261205_080000.wmv", "Rec_20261206_080000.wmv", "Rec_20261207_080000.wmv"},
         TRetentionReason::FreeSpace,
         false},
    };
    for (const Case& c : cases) {
        TRetentionLimits limits;
        limits.MaxFolderMegabytes = c.MaxFolderMB;
        const TRetentionPlan plan = PlanRetention(files, c.Free, 1000 * kGB, kNow, limits);
        EXPECT_EQ(Names(plan), c.Deleted) << c.What;
        for (const auto& deletion : plan.Deletions) {
            EXPECT_EQ(deletion.Reason, c.Reason) << c.What;
        }
        EXPECT_EQ(plan.RoomAfter, c.Room) << c.What;
    }
}

TEST(RetentionPlanner, ForeignFilesAndRecordingsInUseAreNeverChosen) {
    std::vector<TRecordingFileEntry> files = {
        {"holiday.wmv", 5 * kGB, kNow - 400 * kDay, false},
        {"holiday.mp4", 5 * kGB, kNow - 400 * kDay, false},
        {"Rec_notes.txt", 5 * kGB, kNow - 400 * kDay, false},
        Recording("20261101_080000", kMB, 100),
        Recording("20261208_080000", kMB, 1),
        Recording("20261209_080000", kMB, 0.01),
    };
    files[3].InUse = true;  // an old recording still being finished
    TRetentionLimits limits;
    limits.MaxFolderMegabytes = 1;
    const TRetentionPlan plan = PlanRetention(files, 0, 1000 * kGB, kNow, limits);
    EXPECT_EQ(Names(plan), (std::vector<std::string>{"Rec_20261208_080000.wmv"}));
    EXPECT_FALSE(plan.RoomAfter) << "foreign files fill the disk";
}

// A folder that holds both formats (the format was changed) is one history: the oldest go
// first, whatever their format.
TEST(RetentionPlanner, RecordingsOfBothFormatsAreOneHistory) {
    const std::vector<TRecordingFileEntry> files = {
        Recording("20261205_080000", 100 * kMB, 5, ".mp4"),
        Recording("20261204_080000", 100 * kMB, 6),
        Recording("20261206_080000", 100 * kMB, 4, ".mp4"),
        Recording("20261207_080000", 100 * kMB, 3),
        Recording("20261209_080000", 100 * kMB, 1, ".mp4"),
    };
    TRetentionLimits limits;
    limits.MaxFolderMegabytes = 250;
    const TRetentionPlan plan = PlanRetention(files, 500 * kGB, 1000 * kGB, kNow, limits);
    EXPECT_EQ(Names(plan),
              (std::vector<std::string>{"Rec_20261204_080000.wmv", "Rec_20261205_080000.mp4",
                                        "Rec_20261206_080000.mp4"}));
    limits = TRetentionLimits{};
    limits.MaxAgeDays = 4;
    EXPECT_EQ(Names(PlanRetention(files, 500 * kGB, 1000 * kGB, kNow, limits)),
              (std::vector<std::string>{"Rec_20261204_080000.wmv", "Rec_20261205_080000.mp4"}));
}

TEST(RetentionPlanner, SameAgeIsOrderedByName) {
    const std::vector<TRecordingFileEntry> files = {
        Recording("20261209_080000_2", 100 * kMB, 1),
        Recording("20261209_080000", 100 * kMB, 1),
    };
    TRetentionLimits limits;
    limits.MaxFolderMegabytes = 150;
    EXPECT_EQ(Names(PlanRetention(files, 100 * kGB, 1000 * kGB, kNow, limits)),
              (std::vector<std::string>{"Rec_20261209_080000.wmv"}));
}

TEST(RetentionPlanner, ZeroLimitsKeepEverything) {
    const std::vector<TRecordingFileEntry> files = {Recording("20200101_000000", 5 * kGB, 2000)};
    const TRetentionLimits off{0, 0, 0, 0};
    const TRetentionPlan plan = PlanRetention(files, 0, 1000 * kGB, kNow, off);
    EXPECT_TRUE(plan.Deletions.empty());
    EXPECT_TRUE(plan.RoomAfter);
}

// Room for the next recording never costs the one just finished: the newest recording not in
// use goes only for its age. The room a new file needs counts on top of the limits.
TEST(RetentionPlanner, TheNewestRecordingNeverGoesForRoom) {
    struct Case {
        const char* What;
        std::vector<TRecordingFileEntry> Files;
        uint64_t Free;
        uint64_t StartBytes;
        std::vector<std::string> Deleted;
        bool Room;
    };
    const TRecordingFileEntry older = Recording("20261208_080000", 10 * kMB, 1);
    const TRecordingFileEntry newest = Recording("20261209_080000", 10 * kMB, 0.5);
    TRecordingFileEntry writing = Recording("20261209_090000", 10 * kMB, 0.01);
    writing.InUse = true;
    const Case cases[] = {
        {"only one recording, the disk short of room", {newest}, 0, 0, {}, false},
        {"the older one goes, the newest stays", {older, newest}, 0, 0, {older.Name}, false},
        {"the newest finished one stays while another is written",
         {older, newest, writing},
         0,
         0,
         {older.Name},
         false},
        {"enough room for the limits, not for a second more",
         {older, newest},
         2 * kGB,
         kMB,
         {older.Name},
         true},
        {"enough room for both", {older, newest}, 2 * kGB + kMB, kMB, {}, true},
        {"the newest goes for its age", {Recording("20261001_080000", kMB, 60)}, 3 * kGB, 0,
         {"Rec_20261001_080000.wmv"}, true},
    };
    for (const Case& c : cases) {
        const TRetentionPlan plan =
            PlanRetention(c.Files, c.Free, 1000 * kGB, kNow, TRetentionLimits{}, c.StartBytes);
        EXPECT_EQ(Names(plan), c.Deleted) << c.What;
        EXPECT_EQ(plan.RoomAfter, c.Room) << c.What;
    }
}
