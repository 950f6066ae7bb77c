#include "videolog/VideoLogInfoCache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "localisation/TempFolder.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kInfo = "42917.5\r\n5\r\n";

std::vector<std::string> FileNames(const TVideoLogInfoCache& Cache) {
    std::vector<std::string> names;
    for (const auto& record : Cache.Records()) {
        names.push_back(fs::path(record->FileName).filename().string());
    }
    return names;
}

// The cache pairs an information file with its video of either format, and follows a video
// that is replaced by one of the other format or goes.
TEST(VideoLogInfoCache, RecordingsOfBothFormatsArePairedAndFollowed) {
    TempFolder temp;
    const std::string folder = temp.Path() + "/";
    temp.MakeFolder("LogInfo");
    temp.Write("LogInfo/Rec_20261210_120000.vli", kInfo);
    temp.Write("Rec_20261210_120000.wmv", "video");
    temp.Write("LogInfo/Rec_20261210_120100.vli", kInfo);
    temp.Write("Rec_20261210_120100.mp4", "video");
    temp.Write("LogInfo/Rec_20261210_120200.vli", kInfo);  // its video is gone
    temp.Write("Rec_20261210_120300.mp4", "cut off by a crash");
    temp.Write("Rec_20261210_120400.MP4", "not the program's");

    TVideoLogInfoCache cache;
    EXPECT_TRUE(cache.Update(folder));
    EXPECT_EQ(FileNames(cache),
              (std::vector<std::string>{"Rec_20261210_120000.wmv", "Rec_20261210_120100.mp4"}));
    EXPECT_EQ(cache.Records()[1]->FileName, folder + "Rec_20261210_120100.mp4");
    EXPECT_EQ(cache.UnpairedVideos(), 1u);
    EXPECT_FALSE(fs::exists(folder + "LogInfo/Rec_20261210_120200.vli"));
    EXPECT_FALSE(cache.Update(folder)) << "nothing changed";

    // The WMV video is replaced by an MP4 one of the same name: the record plays the new one,
    // its information file is not read again.
    const uint64_t read = cache.FilesRead();
    fs::remove(folder + "Rec_20261210_120000.wmv");
    temp.Write("Rec_20261210_120000.mp4", "video");
    EXPECT_TRUE(cache.Update(folder));
    EXPECT_EQ(FileNames(cache),
              (std::vector<std::string>{"Rec_20261210_120000.mp4", "Rec_20261210_120100.mp4"}));
    EXPECT_EQ(cache.FilesRead(), read);

    // An MP4 recording deleted takes its information file with it.
    fs::remove(folder + "Rec_20261210_120100.mp4");
    EXPECT_TRUE(cache.Update(folder));
    EXPECT_EQ(FileNames(cache), (std::vector<std::string>{"Rec_20261210_120000.mp4"}));
    EXPECT_FALSE(fs::exists(folder + "LogInfo/Rec_20261210_120100.vli"));
}

}  // namespace
