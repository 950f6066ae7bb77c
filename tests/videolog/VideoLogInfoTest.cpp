#include "videolog/VideoLogInfo.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "localisation/TempFolder.h"
#include "platform/DateTime.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The clock stands at a fixed moment while it lives.
class FixedClock {
public:
    explicit FixedClock(TDateTime at) {
        FPrevious = SetDateTimeClock([at] { return at; });
    }
    ~FixedClock() { SetDateTimeClock(FPrevious); }

private:
    TDateTimeClock FPrevious;
};

// 22 May 2017, 07:29:55.
TDateTime May22() {
    return EncodeDateTime({2017, 5, 22, 7, 29, 55, 0});
}

TEST(VideoLogNames, RecordingsAreNamedByTheirStartAndNeverReplaceEachOther) {
    TempFolder temp;
    const std::string folder = temp.Path() + "/Rec/";
    FixedClock clock(May22());
    TDateTime start = 0;
    std::string name;
    ASSERT_TRUE(GenerateAutoRecFileName(folder, start, name));
    EXPECT_EQ(start, May22());
    EXPECT_EQ(name, folder + "Rec_20170522_072955.wmv");
    EXPECT_TRUE(fs::is_directory(folder));  // created when missing
    // Two more recordings in the same second: each gets a name of its own.
    std::ofstream(name) << "first";
    std::string second;
    ASSERT_TRUE(GenerateAutoRecFileName(folder, start, second));
    EXPECT_EQ(second, folder + "Rec_20170522_072955_2.wmv");
    std::ofstream(second) << "second";
    std::string third;
    ASSERT_TRUE(GenerateAutoRecFileName(folder, start, third));
    EXPECT_EQ(third, folder + "Rec_20170522_072955_3.wmv");
    // Each information file pairs with its own recording, and all three are listed.
    std::ofstream(third) << "third";
    for (const auto& [file, duration] :
         {std::pair{name, 1.5}, std::pair{second, 2.5}, std::pair{third, 3.5}}) {
        ASSERT_TRUE(SaveVideoLogInfo(folder, TVideoLogInfo{May22(), duration, file}, true));
    }
    EXPECT_TRUE(fs::exists(folder + "LogInfo/Rec_20170522_072955.vli"));
    EXPECT_TRUE(fs::exists(folder + "LogInfo/Rec_20170522_072955_2.vli"));
    TVideoLogInfoList list;
    ASSERT_TRUE(LoadVideoLogInfoList(folder, &list));
    ASSERT_EQ(list.size(), 3u);
    std::vector<std::pair<std::string, double>> listed;
    for (const auto& info : list) {
        listed.emplace_back(info->FileName, info->Duration);
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::pair<std::string, double>>{
                          {name, 1.5}, {second, 2.5}, {third, 3.5}}));
    // Only the recording's own information file blocks a name: the old one stays taken.
    fs::remove(name);
    std::string again;
    ASSERT_TRUE(GenerateAutoRecFileName(folder, start, again));
    EXPECT_NE(again, name);
}

// A recording is named with its format's extension; a base name taken by a video of either
// format or by an information file is passed over, since the information file pairs by base
// name.
TEST(VideoLogNames, EachFormatHasItsExtensionAndTheFormatsShareTheBaseNames) {
    struct Case {
        const char* What;
        std::vector<std::string> Existing;  // relative to the folder
        TRecordingFormat Format;
        const char* Expected;
    };
    const Case cases[] = {
        {"WMV in an empty folder", {}, TRecordingFormat::Wmv, "Rec_20170522_072955.wmv"},
        {"MP4 in an empty folder", {}, TRecordingFormat::Mp4, "Rec_20170522_072955.mp4"},
        {"MP4 after a WMV of the same second",
         {"Rec_20170522_072955.wmv"}, TRecordingFormat::Mp4, "Rec_20170522_072955_2.mp4"},
        {"WMV after an MP4 of the same second",
         {"Rec_20170522_072955.mp4"}, TRecordingFormat::Wmv, "Rec_20170522_072955_2.wmv"},
        {"MP4 after an MP4",
         {"Rec_20170522_072955.mp4", "Rec_20170522_072955_2.wmv"}, TRecordingFormat::Mp4,
         "Rec_20170522_072955_3.mp4"},
        {"an information file without its video",
         {"LogInfo/Rec_20170522_072955.vli"}, TRecordingFormat::Mp4, "Rec_20170522_072955_2.mp4"},
        {"foreign names do not count",
         {"Rec_20170522_072955.MP4", "Rec_20170522_072955.mov", "holiday.mp4"},
         TRecordingFormat::Mp4, "Rec_20170522_072955.mp4"},
    };
    FixedClock clock(May22());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        TempFolder temp;
        const std::string folder = temp.Path() + "/";
        temp.MakeFolder("LogInfo");
        for (const std::string& name : c.Existing) {
            temp.Write(name, "taken");
        }
        EXPECT_EQ(MakeRecFileName(folder, May22(), c.Format), folder + c.Expected);
        TDateTime start = 0;
        std::string name;
        TUniqueFd file;
        ASSERT_TRUE(CreateAutoRecFile(folder, start, name, file, c.Format));
        EXPECT_EQ(name, folder + c.Expected);
        EXPECT_TRUE(file);
        EXPECT_TRUE(fs::is_regular_file(name));
    }
}

// The video log lists recordings of both formats, each with its own video; an information
// file finds its video whatever the format, and goes only when neither is there.
TEST(VideoLogInfoFiles, RecordingsOfBothFormatsAreListedWithTheirVideos) {
    TempFolder temp;
    const std::string folder = temp.Path() + "/";
    temp.MakeFolder("LogInfo");
    const char* const info = "42917.5\r\n5\r\n";
    temp.Write("LogInfo/Rec_20261210_120000.vli", info);
    temp.Write("Rec_20261210_120000.wmv", "video");
    temp.Write("LogInfo/Rec_20261210_120100.vli", info);
    temp.Write("Rec_20261210_120100.mp4", "video");
    temp.Write("LogInfo/Rec_20261210_120200.vli", info);  // its video is gone
    temp.Write("LogInfo/Rec_20261210_120300.vli", info);
    temp.MakeFolder("Rec_20261210_120300.mp4");  // not a video: not listed, kept
    temp.Write("holiday.mp4", "somebody's video");
    TVideoLogInfoList list;
    ASSERT_TRUE(LoadVideoLogInfoList(folder, &list));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->FileName, folder + "Rec_20261210_120000.wmv");
    EXPECT_EQ(list[1]->FileName, folder + "Rec_20261210_120100.mp4");
    EXPECT_FALSE(fs::exists(folder + "LogInfo/Rec_20261210_120200.vli"));
    EXPECT_TRUE(fs::exists(folder + "LogInfo/Rec_20261210_120300.vli"));
    EXPECT_TRUE(fs::exists(folder + "holiday.mp4"));

    struct Case {
        const char* Base;
        const char* Expected;
    };
    for (const Case& c : {Case{"Rec_20261210_120000", "Rec_20261210_120000.wmv"},
                          Case{"Rec_20261210_120100", "Rec_20261210_120100.mp4"},
                          Case{"Rec_20261210_120200", "Rec_20261210_120200.wmv"},  // none
                          Case{"Rec_20261210_120300", "Rec_20261210_120300.mp4"}}) {
        EXPECT_EQ(RecordingVideoOf(folder, c.Base), folder + c.Expected) << c.Base;
    }
    // A regular file wins over anything else by the other format's name.
    temp.MakeFolder("Rec_20261210_120100.wmv");
    EXPECT_EQ(RecordingVideoOf(folder, "Rec_20261210_120100"),
              folder + "Rec_20261210_120100.mp4");
}

TEST(VideoLogInfoFiles, AnInformationFileHoldsTwoNumberLinesThatReadBackExactly) {
    TempFolder temp;
    const std::string folder = temp.Path() + "/";
    const TDateTime start = May22() + 0.4 / 86400.0;  // 07:29:55.4
    ASSERT_TRUE(SaveVideoLogInfo(folder, TVideoLogInfo{start, 60.1, {}}, true));
    const std::string info = folder + "LogInfo/Rec_20170522_072955.vli";
    ASSERT_TRUE(fs::exists(info));
    EXPECT_EQ(ReadAll(info), FormatVideoLogNumber(start) + "\r\n60.1\r\n");
    std::ofstream(folder + "Rec_20170522_072955.wmv") << "video";
    TVideoLogInfoList list;
    ASSERT_TRUE(LoadVideoLogInfoList(folder, &list));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->Duration, 60.1);
    // Fifteen significant digits: within a few microseconds.
    EXPECT_NEAR(list[0]->StartTime, start, 1e-9);
    EXPECT_EQ(list[0]->FileName, folder + "Rec_20170522_072955.wmv");
    ClearVideoLogInfoList(&list);
    EXPECT_TRUE(list.empty());
    ClearVideoLogInfoList(nullptr);
}

TEST(VideoLogInfoFiles, NumbersReadWithEitherDecimalSeparator) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    for (const Case& c : {Case{"60.1", true, 60.1}, Case{"60,1", true, 60.1},
                          Case{" 42 ", true, 42}, Case{"42917.3124421296", true, 42917.3124421296},
                          Case{"", false, 0}, Case{"abc", false, 0}, Case{"1.5x", false, 0},
                          Case{"nan", false, 0}, Case{"inf", false, 0}, Case{"1e999", false, 0}}) {
        double value = -1;
        EXPECT_EQ(ParseVideoLogNumber(c.text, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(value, c.value) << c.text;
        }
    }
    EXPECT_EQ(FormatVideoLogNumber(60.1), "60.1");
    EXPECT_EQ(FormatVideoLogNumber(5), "5");
}

TEST(VideoLogInfoFiles, ListingSkipsBadFilesAndDropsThoseWithoutTheirVideo) {
    TempFolder temp;
    const std::string folder = temp.Path() + "/";
    temp.MakeFolder("LogInfo");
    struct Case {
        const char* name;
        std::string content;
    };
    const std::vector<Case> bad = {
        {"empty", ""},
        {"one line", "42917.5\r\n"},
        {"binary", std::string("\x00\xff\x13\x80\r\n\x01\x02", 8)},
        {"words", "start\r\nlength\r\n"},
        {"negative length", "42917.5\r\n-3\r\n"},
        {"absurd length", "42917.5\r\n1e300\r\n"},
        {"no start", "0\r\n12\r\n"},
        {"absurd start", "1e12\r\n12\r\n"},
    };
    for (const Case& c : bad) {
        temp.Write(std::string("LogInfo/Rec_") + c.name + ".vli", c.content);
        temp.Write(std::string("Rec_") + c.name + ".wmv", "video");
    }
    temp.Write("LogInfo/Rec_good.vli", "42917,5\r\n7,25\r\nmore lines are ignored\r\n");
    temp.Write("Rec_good.wmv", "video");
    temp.Write("LogInfo/Rec_orphan.vli", "42917.5\r\n3\r\n");
    TVideoLogInfoList list;
    ASSERT_TRUE(LoadVideoLogInfoList(folder, &list));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->FileName, folder + "Rec_good.wmv");
    EXPECT_EQ(list[0]->Duration, 7.25);
    // The orphan is gone; the unreadable ones stay for whoever can read them.
    EXPECT_FALSE(fs::exists(folder + "LogInfo/Rec_orphan.vli"));
    for (const Case& c : bad) {
        EXPECT_TRUE(fs::exists(folder + "LogInfo/Rec_" + c.name + ".vli")) << c.name;
    }
}

TEST(VideoLogInfoFiles, RecordingsAreListedInTheOrderTheyWereMade) {
    TempFolder temp;
    const std::string folder = temp.Path() + "/";
    temp.MakeFolder("LogInfo");
    // Written in an order unlike their names, so the directory's own order shows through if
    // the listing does not sort.
    const std::vector<std::string> made = {"Rec_20261210_120000", "Rec_20261210_120000_2",
                                           "Rec_20261210_120005", "Rec_20261211_080000"};
    for (const std::string& name : {made[2], made[0], made[3], made[1]}) {
        temp.Write("LogInfo/" + name + ".vli", "42917.5\r\n5\r\n");
        temp.Write(name + ".wmv", "video");
    }
    TVideoLogInfoList list;
    ASSERT_TRUE(LoadVideoLogInfoList(folder, &list));
    ASSERT_EQ(list.size(), made.size());
    for (size_t i = 0; i < made.size(); ++i) {
        EXPECT_EQ(list[i]->FileName, folder + made[i] + ".wmv") << i;
    }
}

TEST(VideoLogInfoFiles, NoInformationFilesListNothing) {
    TempFolder temp;
    TVideoLogInfoList list;
    list.push_back(std::make_unique<TVideoLogInfo>());
    EXPECT_FALSE(LoadVideoLogInfoList(temp.Path() + "/", &list));  // no LogInfo folder
    EXPECT_TRUE(list.empty());
    temp.MakeFolder("LogInfo");
    EXPECT_FALSE(LoadVideoLogInfoList(temp.Path() + "/", &list));  // no .vli file
    EXPECT_FALSE(LoadVideoLogInfoList(temp.Path() + "/", nullptr));
}

}  // namespace

namespace {

// Names planted where the next recording and its information file will go: links to files
// outside (dangling or not) and a pipe. The recording is made as a new file beside them, under
// the next free name, and nothing outside is touched.
TEST(VideoLogNames, PlantedNamesAreTakenNamesAndNeverFollowed) {
    TempFolder temp;
    TempFolder outside;
    const std::string folder = temp.Path() + "/";
    temp.MakeFolder("LogInfo");
    FixedClock clock(May22());
    fs::create_symlink(outside.Path() + "/video", folder + "Rec_20170522_072955.wmv");
    fs::create_symlink(outside.Path() + "/info", folder + "LogInfo/Rec_20170522_072955_2.vli");
    ASSERT_EQ(::mkfifo((folder + "Rec_20170522_072955_3.wmv").c_str(), 0600), 0);
    TDateTime start = 0;
    std::string name;
    TUniqueFd file;
    ASSERT_TRUE(CreateAutoRecFile(folder, start, name, file));
    EXPECT_EQ(name, folder + "Rec_20170522_072955_4.wmv");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(name)));
    EXPECT_TRUE(fs::is_empty(outside.Path()));
    ASSERT_TRUE(SaveVideoLogInfo(folder, TVideoLogInfo{start, 5.5, name}, true));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder + "LogInfo/Rec_20170522_072955_4.vli")));

    // A folder that cannot be made (a file stands in its place): no file, and errno tells why.
    temp.Write("blocked", "a file");
    TUniqueFd none;
    EXPECT_FALSE(CreateAutoRecFile(folder + "blocked/sub/", start, name, none));
    EXPECT_FALSE(none);
    EXPECT_TRUE(name.empty());
    EXPECT_NE(errno, 0);
}

// A pipe planted as an information file (or as the video it names) is never opened: the list
// comes at once, without it.
TEST(VideoLogInfoFiles, APipeInTheFolderNeverBlocksTheList) {
    TempFolder temp;
    const std::string folder = temp.Path() + "/";
    temp.MakeFolder("LogInfo");
    ASSERT_EQ(::mkfifo((folder + "LogInfo/Rec_20170522_072955.vli").c_str(), 0600), 0);
    temp.Write("Rec_20170522_072955.wmv", "video");
    temp.Write("LogInfo/Rec_20170522_073000.vli", "42877.3125\r\n5\r\n");
    ASSERT_EQ(::mkfifo((folder + "Rec_20170522_073000.wmv").c_str(), 0600), 0);
    temp.Write("LogInfo/Rec_20170522_073005.vli", "42877.3125\r\n6\r\n");
    temp.Write("Rec_20170522_073005.wmv", "video");
    TVideoLogInfoList list;
    ASSERT_TRUE(LoadVideoLogInfoList(folder, &list));
    ASSERT_EQ(list.size(), 1u) << "only the recording that is a regular file";
    EXPECT_EQ(list[0]->FileName, folder + "Rec_20170522_073005.wmv");
    EXPECT_TRUE(fs::exists(folder + "LogInfo/Rec_20170522_073000.vli"))
        << "left alone: its video is there, though not a file";
}

}  // namespace
