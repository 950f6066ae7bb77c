#include "videolog/RecordingRepair.h"

#include <fcntl.h>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "localisation/TempFolder.h"
#include "platform/DateTime.h"
#include "platform/GstHandle.h"
#include "platform/SafeFiles.h"
#include "support/LogCapture.h"
#include "videolog/VideoLogInfo.h"

namespace {

namespace fs = std::filesystem;

// Two seconds of a closed recording, as the recorder writes one: WMV, or H.264 in MP4 for a
// name ending in ".mp4".
void WriteRecording(const std::string& file) {
    const char* const encoder =
        file.ends_with(".mp4") ? "x264enc ! mp4mux" : "avenc_wmv2 ! asfmux";
    const std::string launch =
        "videotestsrc num-buffers=20 ! video/x-raw,width=64,height=48,framerate=10/1 ! " +
        std::string(encoder) + " ! filesink location=\"" + file + "\"";
    TGstElementHandle pipeline =
        TGstElementHandle::Adopt(gst_parse_launch(launch.c_str(), nullptr));
    ASSERT_TRUE(pipeline);
    gst_element_set_state(pipeline.Get(), GST_STATE_PLAYING);
    TGstBusHandle bus = TGstBusHandle::Adopt(gst_element_get_bus(pipeline.Get()));
    TGstMessageHandle msg = TGstMessageHandle::Adopt(gst_bus_timed_pop_filtered(
        bus.Get(), 20 * GST_SECOND,
        static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    gst_element_set_state(pipeline.Get(), GST_STATE_NULL);
    ASSERT_TRUE(msg && GST_MESSAGE_TYPE(msg.Get()) == GST_MESSAGE_EOS);
}

TEST(RecordingRepair, StartTimesComeFromTheProgramsOwnNames) {
    struct Case {
        const char* Name;
        bool Valid;
        TDateTimeParts Start;
    };
    const Case cases[] = {
        {"Rec_20170522_072955.wmv", true, {2017, 5, 22, 7, 29, 55, 0}},
        {"Rec_20261231_235959_12.wmv", true, {2026, 12, 31, 23, 59, 59, 0}},
        {"Rec_20170431_072955.wmv", false, {}},  // no 31 April
        {"Rec_20171322_072955.wmv", false, {}},
        {"Rec_20170522_246000.wmv", false, {}},
        {"Rec_20170522_072955.mp3", false, {}},
        {"holiday.wmv", false, {}},
        {"Rec_20170522_072955.mp4", true, {2017, 5, 22, 7, 29, 55, 0}},
        {"Rec_20261231_235959_3.mp4", true, {2026, 12, 31, 23, 59, 59, 0}},
        {"Rec_20170431_072955.mp4", false, {}},
        {"Rec_20170522_072955.MP4", false, {}},
        {"holiday.mp4", false, {}},
    };
    for (const Case& c : cases) {
        double start = -1;
        EXPECT_EQ(StartTimeFromRecordingName(c.Name, start), c.Valid) << c.Name;
        if (c.Valid) {
            EXPECT_EQ(start, EncodeDateTime(c.Start)) << c.Name;
        }
    }
}

// Only videos of the program's naming without an information file are repaired; one still
// being written (locked), a pipe, a file that holds no picture and one that has its
// information file are left alone.
TEST(RecordingRepair, OnlyFinishedVideosWithoutInformationGetOne) {
    TempFolder temp;
    const std::string folder = temp.Path() + "/";
    WriteRecording(folder + "Rec_20261201_101500.wmv");
    WriteRecording(folder + "Rec_20261201_101600.wmv");
    WriteRecording(folder + "Rec_20261201_101700.wmv");
    WriteRecording(folder + "holiday.wmv");
    WriteRecording(folder + "Rec_20261201_102000.mp4");
    WriteRecording(folder + "holiday.mp4");
    temp.MakeFolder("LogInfo");
    temp.Write("LogInfo/Rec_20261201_101700.vli", "46000.5\r\n2\r\n");
    temp.Write("Rec_20261201_101800.wmv", std::string(5000, 'x'));
    ASSERT_EQ(::mkfifo((folder + "Rec_20261201_101900.wmv").c_str(), 0600), 0);
    TUniqueFd writing = OpenRegularFile(folder + "Rec_20261201_101600.wmv");
    ASSERT_EQ(::flock(writing.Get(), LOCK_EX | LOCK_NB), 0);

    LogCapture log;
    EXPECT_EQ(RepairRecordingInfo(folder), 2);
    TVideoLogInfoList list;
    ASSERT_TRUE(LoadVideoLogInfoList(folder, &list));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->FileName, folder + "Rec_20261201_101500.wmv");
    EXPECT_NEAR(list[0]->StartTime, EncodeDateTime({2026, 12, 1, 10, 15, 0, 0}), 1e-9);
    EXPECT_NEAR(list[0]->Duration, 2.0, 0.15);
    EXPECT_EQ(list[1]->Duration, 2.0) << "an existing information file is kept";
    EXPECT_EQ(list[2]->FileName, folder + "Rec_20261201_102000.mp4");
    EXPECT_NEAR(list[2]->StartTime, EncodeDateTime({2026, 12, 1, 10, 20, 0, 0}), 1e-9);
    EXPECT_NEAR(list[2]->Duration, 2.0, 0.15);
    EXPECT_FALSE(fs::exists(folder + "LogInfo/Rec_20261201_101600.vli")) << "being written";
    EXPECT_FALSE(fs::exists(folder + "LogInfo/Rec_20261201_101800.vli")) << "no picture";
    EXPECT_FALSE(fs::exists(folder + "LogInfo/holiday.vli"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder + "LogInfo/"), {}), 3)
        << "nothing for the foreign videos";
    EXPECT_TRUE(log.Contains("Recording " + folder +
                             "Rec_20261201_101500.wmv had no information file; one was made (" +
                             FormatVideoLogNumber(list[0]->Duration) + " s)."));

    // Once the writer lets go (it ended, or was killed), the recording is repaired too.
    writing.Reset();
    EXPECT_EQ(RepairRecordingInfo(folder), 1);
    EXPECT_TRUE(fs::exists(folder + "LogInfo/Rec_20261201_101600.vli"));
    EXPECT_EQ(RepairRecordingInfo(folder), 0) << "nothing left to repair";
}

}  // namespace
