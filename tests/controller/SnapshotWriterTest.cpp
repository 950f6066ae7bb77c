#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <cstdio>

#include <cstdint>
#include <memory>
#include <vector>

#include "controller/SnapshotWriter.h"
#include "notifications/SnapshotFile.h"

TEST(SnapshotWriter, WritesTheFrameUprightAsAJpegInAFolderItMakes) {
    QTemporaryDir home;
    const std::string recording = home.path().toStdString() + "/MotionDetection/Rec_1.wmv";
    EXPECT_EQ(TSnapshotWriter::PathFor(recording),
              home.path().toStdString() + "/MotionDetection/Snapshots/Rec_1.jpg");
    // An MP4 recording's picture has the same name as a WMV one's would.
    EXPECT_EQ(TSnapshotWriter::PathFor(home.path().toStdString() + "/MotionDetection/Rec_1.mp4"),
              home.path().toStdString() + "/MotionDetection/Snapshots/Rec_1.jpg");
    // A frame stored bottom line first: the bottom half red, the top half blue.
    const int32_t width = 64;
    const int32_t height = 48;
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 4);
    for (int32_t row = 0; row < height; ++row) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* pixel = &frame[(static_cast<size_t>(row) * width + x) * 4];
            const bool bottom = row < height / 2;  // the first rows in memory
            pixel[0] = bottom ? 0 : 255;           // B
            pixel[1] = 0;                          // G
            pixel[2] = bottom ? 255 : 0;           // R
            pixel[3] = 255;
        }
    }
    auto file = std::make_shared<TSnapshotFile>(TSnapshotWriter::PathFor(recording));
    {
        TSnapshotWriter writer;
        writer.Write(file, frame.data(), width, height);
        ASSERT_TRUE(file->WaitWritten(10000));
    }
    const QImage picture(QString::fromStdString(file->Path()), "JPEG");
    ASSERT_EQ(picture.size(), QSize(width, height));
    EXPECT_GT(qBlue(picture.pixel(width / 2, 2)), 200);
    EXPECT_GT(qRed(picture.pixel(width / 2, height - 3)), 200);
}

TEST(SnapshotWriter, AFolderThatCannotBeMadeFailsTheSnapshotAndNothingWaitsForIt) {
    QTemporaryDir home;
    // A file where the recording folder should be.
    const std::string blocker = home.path().toStdString() + "/file";
    FILE* f = std::fopen(blocker.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    auto file = std::make_shared<TSnapshotFile>(TSnapshotWriter::PathFor(blocker + "/Rec_1.wmv"));
    std::vector<uint8_t> frame(16 * 16 * 4, 128);
    TSnapshotWriter writer;
    writer.Write(file, frame.data(), 16, 16);
    EXPECT_FALSE(file->WaitWritten(10000));
    auto empty = std::make_shared<TSnapshotFile>(home.path().toStdString() + "/x.jpg");
    writer.Write(empty, nullptr, 16, 16);
    EXPECT_FALSE(empty->WaitWritten(0));
}
