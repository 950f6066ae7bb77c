// The camera controller with stored values a user, a crash or another version may have left:
// nothing stored may crash a start, lose the user's zones or leave the picture black.

#include <gtest/gtest.h>

#include <QFile>
#include <QTest>

#include <algorithm>
#include <cstdint>
#include <string>
#include <limits>

#include "alarms/AlarmSettings.h"
#include "controller/CameraManagerTestSupport.h"
#include "controller/CameraPicture.h"
#include "support/LogCapture.h"
#include "zones/SelectorObjectManager.h"

namespace {

using CameraManagerStoredValuesTest = CameraManagerFixture;

TEST_F(CameraManagerStoredValuesTest, AFormatTheCameraDoesNotOfferFallsBackToTheFirstOne) {
    for (int stored : {999, 200, -5}) {
        SCOPED_TRACE(stored);
        Store({{"CameraIndex", 0}, {"FormatIndex", stored}});
        LogCapture log;
        ASSERT_TRUE(Start());
        const std::string expected = "Error in TCameraManager.InitializeCamera - format " +
                                     std::to_string(stored) + " cannot be used; the first of ";
        const auto lines = log.Lines();
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.rfind(expected, 0) == 0;
        }));
        EXPECT_EQ(FManager->FormatIndex(), 0);
        EXPECT_EQ(FManager->VideoWidth(), 320);
        EXPECT_EQ(FManager->FramePreviewImage()->BitmapHeight(), 240);
        // The picture is live.
        EXPECT_TRUE(QTest::qWaitFor([&] { return FManager->FrameCounter() > 2; }, 10000));
        FManager.reset();
        EXPECT_EQ(Stored()->value("FormatIndex").toInt(), 0);
    }
}

TEST_F(CameraManagerStoredValuesTest, DetectionSettingsOutsideTheirRangeGetTheirDefaults) {
    struct Case {
        int sensitivity, mode;
        int expectedSensitivity, expectedMode;
    };
    // The defaults are those of new installs (mode 4 at 80); stored values within their
    // ranges, the former defaults (mode 3 at 70) among them, stay as they are.
    for (const Case& c : {Case{0, 0, 80, 4}, Case{101, 4, 80, 4}, Case{-7, -1, 80, 4},
                          Case{std::numeric_limits<int>::max(), 2, 80, 2},
                          Case{1, std::numeric_limits<int>::min(), 1, 4}, Case{100, 1, 100, 1},
                          Case{70, 3, 70, 3}, Case{55, 4, 55, 4}, Case{80, 5, 80, 4}}) {
        SCOPED_TRACE(testing::Message() << c.sensitivity << " " << c.mode);
        Store({{"MotionDetectionSensitivity", c.sensitivity}, {"MotionDetectionMode", c.mode}});
        ASSERT_TRUE(Start());
        EXPECT_EQ(FManager->MotionDetectionSensitivity(), c.expectedSensitivity);
        EXPECT_EQ(FManager->MotionDetectionMode(), c.expectedMode);
        FManager.reset();
        EXPECT_EQ(Stored()->value("MotionDetectionSensitivity").toInt(), c.expectedSensitivity);
        EXPECT_EQ(Stored()->value("MotionDetectionMode").toInt(), c.expectedMode);
    }
}

// The recordings' format is stored as "wmv" or "mp4"; nothing stored, or anything else,
// records WMV (the latter said once in the log), and the value is written back as read.
TEST_F(CameraManagerStoredValuesTest, TheRecordingFormatIsReadAndWrittenBack) {
    struct Case {
        QVariant Stored;  // null: nothing stored
        TRecordingFormat Expected;
        const char* Written;
        const char* Logged;  // the value in the log line; null: no line
    };
    const Case cases[] = {
        {QVariant(), TRecordingFormat::Wmv, "wmv", nullptr},
        {"wmv", TRecordingFormat::Wmv, "wmv", nullptr},
        {"mp4", TRecordingFormat::Mp4, "mp4", nullptr},
        {"MP4", TRecordingFormat::Mp4, "mp4", nullptr},
        {"avi", TRecordingFormat::Wmv, "wmv", "avi"},
        {"", TRecordingFormat::Wmv, "wmv", ""},
        {1, TRecordingFormat::Wmv, "wmv", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Stored.toString().toStdString());
        Stored()->remove("RecordingFormat");
        if (!c.Stored.isNull()) {
            Store({{"RecordingFormat", c.Stored}});
        }
        LogCapture log;
        ASSERT_TRUE(Start());
        EXPECT_EQ(FManager->AlarmSettings()->RecordingFormat(), c.Expected);
        const std::string line = std::string("Error in TCameraManager.LoadRegistrySettings - "
                                             "recording format \"") +
                                 (c.Logged != nullptr ? c.Logged : "") +
                                 "\" is unknown; wmv is used.";
        EXPECT_EQ(log.Contains(line), c.Logged != nullptr);
        FManager.reset();
        EXPECT_EQ(Stored()->value("RecordingFormat").toString(), c.Written);
    }
}

// A run's own format (a headless run's --format) replaces the stored one for that run.
TEST_F(CameraManagerStoredValuesTest, TheRunsOwnFormatReplacesTheStoredOne) {
    Store({{"RecordingFormat", "wmv"}});
    FManager = std::make_unique<TCameraManager>(FWindow.get(), 100);
    TCameraOverrides overrides;
    overrides.RecordingFormat = TRecordingFormat::Mp4;
    FManager->SetOverrides(overrides);
    ASSERT_TRUE(FManager->InitializeCamera());
    EXPECT_EQ(FManager->AlarmSettings()->RecordingFormat(), TRecordingFormat::Mp4);
}

TEST_F(CameraManagerStoredValuesTest, AnyStoredZoneRectangleBecomesAZoneOnThePicture) {
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    struct Case {
        const char* name;
        int left, top, right, bottom;
    };
    for (const Case& c : {Case{"huge", 0, 0, 100000, 100000}, Case{"integer limits", kMin, kMin,
                                                                   kMax, kMax},
                          Case{"near the top limit", kMax - 5, kMax - 5, kMax, kMax},
                          Case{"inverted", 300, 200, 100, 50}, Case{"far outside", -9000, 80000,
                                                                    -8000, 90000}}) {
        SCOPED_TRACE(c.name);
        Stored()->remove("");
        StoreZone(1, c.left, c.top, c.right, c.bottom);
        ASSERT_TRUE(Start());
        ASSERT_EQ(FManager->SelectorObjectManager()->Count(), 1);
        const int pictureWidth = FManager->FramePreviewImage()->width();
        const int pictureHeight = FManager->FramePreviewImage()->height();
        TRect rect;
        ASSERT_TRUE(FManager->SelectorObjectManager()->GetActualRectangle(0, rect, false));
        EXPECT_GE(rect.Left, 0);
        EXPECT_GE(rect.Top, 0);
        EXPECT_LE(rect.Right, pictureWidth);
        EXPECT_LE(rect.Bottom, pictureHeight);
        EXPECT_LE(rect.Left, rect.Right);
        EXPECT_LE(rect.Top, rect.Bottom);
        // Painted (the zone's image is allocated for its size) without trouble.
        FWindow->grab();
        FManager.reset();
        auto stored = Stored();
        EXPECT_EQ(stored->value("Zone 1_Rect_Left").toInt(), rect.Left);
        EXPECT_EQ(stored->value("Zone 1_Rect_Bottom").toInt(), rect.Bottom);
    }
}

// Zones are stored in the pixels of the picture they were drawn on, with its size: a picture of
// another size (another window, a run without a window) shows them at the same place, and they
// are stored back unchanged whatever size the picture has at the time. Values stored without the
// size are pixels of the picture as it is.
TEST_F(CameraManagerStoredValuesTest, StoredZonesKeepTheirPlaceOnPicturesOfAnySize) {
    Stored()->remove("");
    ASSERT_TRUE(Start());
    const int width = FManager->FramePreviewImage()->width();
    const int height = FManager->FramePreviewImage()->height();
    FManager.reset();
    struct Case {
        const char* What;
        int StoredWidth, StoredHeight;  // 0: not stored
        TRect Expected;                 // on the picture as it is
    };
    const Case cases[] = {
        {"drawn on this picture", width, height, {40, 30, 200, 150}},
        {"drawn on a picture twice as large", 2 * width, 2 * height, {20, 15, 100, 75}},
        {"drawn on a picture half as large", width / 2, height / 2, {80, 60, 400, 300}},
        {"stored without the picture's size", 0, 0, {40, 30, 200, 150}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        Stored()->remove("");
        StoreZone(1, 40, 30, 200, 150);
        if (c.StoredWidth > 0) {
            Store({{"ZonePictureWidth", c.StoredWidth}, {"ZonePictureHeight", c.StoredHeight}});
        }
        for (int run = 0; run < 3; ++run) {
            ASSERT_TRUE(Start());
            ASSERT_EQ(FManager->SelectorObjectManager()->Count(), 1);
            TRect rect;
            ASSERT_TRUE(FManager->SelectorObjectManager()->GetActualRectangle(0, rect, false));
            const TRect expected{std::min(c.Expected.Left, width), std::min(c.Expected.Top, height),
                                 std::min(c.Expected.Right, width),
                                 std::min(c.Expected.Bottom, height)};
            EXPECT_NEAR(rect.Left, expected.Left, 1) << "run " << run;
            EXPECT_NEAR(rect.Top, expected.Top, 1) << "run " << run;
            EXPECT_NEAR(rect.Right, expected.Right, 1) << "run " << run;
            EXPECT_NEAR(rect.Bottom, expected.Bottom, 1) << "run " << run;
            FManager.reset();
            EXPECT_EQ(Stored()->value("ZonePictureWidth").toInt(), width);
            EXPECT_EQ(Stored()->value("ZonePictureHeight").toInt(), height);
        }
    }
}

TEST_F(CameraManagerStoredValuesTest, AnUnreadableZoneIsLeftOutAndTheOthersAreKept) {
    struct Case {
        const char* name;
        QString value;  // stored for "Zone 2_Rect_Top"; null removes it
    };
    for (const Case& c : {Case{"not an integer", "10.0"}, Case{"cut short", ""},
                          Case{"text", "top"}, Case{"missing", QString()}}) {
        SCOPED_TRACE(c.name);
        Stored()->remove("");
        StoreZone(1, 0, 0, 50, 50, true, "one.wav");
        StoreZone(2, 60, 0, 110, 50, true, "two.wav");
        StoreZone(3, 120, 0, 170, 50, false, "three.wav");
        if (c.value.isNull()) {
            Stored()->remove("Zone 2_Rect_Top");
        } else {
            Store({{"Zone 2_Rect_Top", c.value}});
        }
        LogCapture log;
        ASSERT_TRUE(Start());
        ASSERT_EQ(FManager->SelectorObjectManager()->Count(), 2);
        EXPECT_TRUE(log.Contains("Error in TCameraManager.LoadRegistrySelectors - cannot read the "
                                 "rectangle of zone 2; the zone is left out."));
        EXPECT_EQ(FManager->AlarmSettings()->Zone(1)->SoundVideoAlarmFileName, "three.wav");
        FManager.reset();
        auto stored = Stored();
        EXPECT_EQ(stored->value("Zone 1_SoundVideoAlarm_FileName").toString(), "one.wav");
        EXPECT_EQ(stored->value("Zone 2_Rect_Left").toInt(), 120);
        EXPECT_EQ(stored->value("Zone 2_SoundVideoAlarm_FileName").toString(), "three.wav");
        EXPECT_FALSE(stored->contains("Zone 3_Rect_Left"));
    }
}

TEST_F(CameraManagerStoredValuesTest, SettingsThatCannotBeWrittenAreReported) {
    StoreZone(1, 0, 0, 50, 50);
    ASSERT_TRUE(Start());
    // The settings folder becomes a plain file: nothing can be written there any more.
    QFile blocker(FHome.path() + "/unwritable");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    UseSettingsHome(FHome.path() + "/unwritable");
    LogCapture log;
    FManager.reset();
    EXPECT_TRUE(log.Contains("Error in TCameraManager.SaveRegistrySettings call..."));
    EXPECT_TRUE(log.Contains("Error in TCameraManager.SaveRegistrySelectors call..."));
}

}  // namespace
