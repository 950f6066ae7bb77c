#include "detection/MotionDetectionListManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "alarms/AlarmSettings.h"
#include "alarms/AlarmTestSupport.h"
#include "alarms/SoundNotificationThread.h"
#include "detection/ZoneFrame.h"
#include "support/LogCapture.h"

namespace {

using AlarmTest::WaitUntil;

constexpr int32_t kWidth = 40;
constexpr int32_t kHeight = 20;

// The calls the detector made, in order: (zone, motion).
using TCallLog = std::vector<std::pair<int32_t, bool>>;

class MotionDetectionListManagerTest : public ::testing::Test {
protected:
    // A detector in simple mode (counts every frame at once) with the given sensitivity, whose
    // callbacks write to FCalls, and alarm settings for `alarmZones` zones.
    void Build(int32_t sensitivity, int alarmZones = 3, bool alarmEnabled = true,
               const std::string& alarmFile = {}) {
        FManager = std::make_unique<TMotionDetectionListManager>(40);
        FManager->AddMotionDetectionCallback([this](int32_t zone) {
            FCalls.emplace_back(zone, true);
            return true;
        });
        FManager->AddNoMotionDetectionCallback([this](int32_t zone) {
            FCalls.emplace_back(zone, false);
            return true;
        });
        TAlarmSettings settings;
        for (int i = 0; i < alarmZones; ++i) {
            TZoneAlarmSettings* zone = settings.AddZone();
            zone->SoundVideoAlarmEnabled = alarmEnabled;
            zone->SoundVideoAlarmFileName = alarmFile;
        }
        EXPECT_TRUE(FManager->SetAlarmSettings(settings));
        FManager->SetMotionDetectionSensitivity(sensitivity);
        FManager->SetMotionDetectionMode(1);
    }

    // The zone of `index`: 10 x 10 pixels side by side.
    static TRect Zone(int index) { return TRect{index * 10, 0, index * 10 + 10, 10}; }

    // Changes `pixels` pixels of zone `index` in the new frame.
    void Change(int index, int pixels) {
        for (int i = 0; i < pixels; ++i) {
            FNew.SetPixel(Zone(index).Left + i % 10, i / 10, 255, 255, 255);
        }
    }
    bool Step() {
        return FManager->MotionDetection_CountDifferentPixelsBlock_RGB32(FNew.Data(), FOld.Data());
    }
    // One frame with motion (a whole zone changed) or without, in zone 0.
    bool MotionFrame(bool motion) {
        FNew = TZoneFrame(kWidth, kHeight);
        if (motion) {
            Change(0, 100);
        }
        return Step();
    }

    std::unique_ptr<TMotionDetectionListManager> FManager;
    TCallLog FCalls;
    TZoneFrame FOld{kWidth, kHeight};
    TZoneFrame FNew{kWidth, kHeight};
};

TEST_F(MotionDetectionListManagerTest, WithoutZonesTheStepSucceedsAndCallsNothing) {
    Build(100);
    Change(0, 100);
    EXPECT_EQ(FManager->Count(), 0);
    EXPECT_TRUE(Step());
    EXPECT_TRUE(FCalls.empty());
}

// Motion needs strictly more than (100 - sensitivity) % of the zone's 100 pixels.
TEST_F(MotionDetectionListManagerTest, SensitivityDecidesMotionPerZone) {
    struct {
        int32_t sensitivity;
        int changed;
        bool motion;
    } const cases[] = {
        {100, 1, true}, {100, 0, false}, {90, 11, true},  {90, 10, false},
        {1, 100, true}, {1, 99, false},  {0, 100, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "sensitivity " << c.sensitivity << ", changed " << c.changed);
        FCalls.clear();
        FNew = TZoneFrame(kWidth, kHeight);
        Build(c.sensitivity);
        ASSERT_TRUE(FManager->AddMotionDetector(kWidth, kHeight, Zone(0)));
        Change(0, c.changed);
        EXPECT_TRUE(Step());
        EXPECT_EQ(FCalls, (TCallLog{{0, c.motion}}));
        EXPECT_EQ(FManager->MotionActivity(0), c.changed);
    }
}

TEST_F(MotionDetectionListManagerTest, EveryZoneGetsOneCallPerFrameInZoneOrder) {
    Build(100);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(FManager->AddMotionDetector(kWidth, kHeight, Zone(i)));
    }
    EXPECT_EQ(FManager->Count(), 3);
    Change(1, 1);
    EXPECT_TRUE(Step());
    EXPECT_TRUE(Step());
    EXPECT_EQ(FCalls,
              (TCallLog{{0, false}, {1, true}, {2, false}, {0, false}, {1, true}, {2, false}}));
}

TEST_F(MotionDetectionListManagerTest, ZoneWithoutPixelsNeverReportsMotion) {
    Build(100);
    ASSERT_TRUE(FManager->AddMotionDetector(kWidth, kHeight, TRect{5, 5, 5, 15}));    // empty
    ASSERT_TRUE(FManager->AddMotionDetector(kWidth, kHeight, TRect{50, 0, 60, 10}));  // outside
    FNew = TZoneFrame(kWidth, kHeight, 255);
    EXPECT_TRUE(Step());
    EXPECT_EQ(FCalls, (TCallLog{{0, false}, {1, false}}));
}

// Sensitivity and mode are handed to a zone when it is added.
TEST_F(MotionDetectionListManagerTest, ZonesKeepTheModeTheyWereAddedWith) {
    Build(100);
    ASSERT_TRUE(FManager->AddMotionDetector(kWidth, kHeight, Zone(0)));
    FManager->SetMotionDetectionMode(3);
    ASSERT_TRUE(FManager->AddMotionDetector(kWidth, kHeight, Zone(1)));
    EXPECT_TRUE(FManager->IsReadyToProcess(0));   // simple mode counts at once
    EXPECT_FALSE(FManager->IsReadyToProcess(1));  // self-learning: still learning
    // A learning zone counts nothing, so it reports no motion while zone 0 does.
    Change(0, 100);
    Change(1, 100);
    EXPECT_TRUE(Step());
    EXPECT_EQ(FCalls, (TCallLog{{0, true}, {1, false}}));
}

TEST_F(MotionDetectionListManagerTest, IndexesOutsideTheZonesAnswerFalseAndZero) {
    Build(100);
    ASSERT_TRUE(FManager->AddMotionDetector(kWidth, kHeight, Zone(0)));
    Change(0, 100);
    for (int i = 0; i < 3; ++i) {
        Step();
    }
    ASSERT_TRUE(FManager->IsAlarmOn(0));
    ASSERT_EQ(FManager->MotionActivity(0), 100);
    for (const int32_t index : {-1, FManager->Count(), 1000}) {
        EXPECT_FALSE(FManager->IsAlarmOn(index)) << index;
        EXPECT_EQ(FManager->MotionActivity(index), 0) << index;
        EXPECT_FALSE(FManager->IsReadyToProcess(index)) << index;
        EXPECT_EQ(FManager->SoundNotificationThread(index), nullptr) << index;
    }
}

// After n motion frames the indicator stays on for n frames without motion.
TEST_F(MotionDetectionListManagerTest, AlarmIndicatorCountsMotionFramesDown) {
    Build(100);
    ASSERT_TRUE(FManager->AddMotionDetector(kWidth, kHeight, Zone(0)));
    const TSoundNotificationThread* thread = FManager->SoundNotificationThread(0);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(thread->RepeatTimeMS(), 50);
    EXPECT_FALSE(FManager->IsAlarmOn(0));
    for (int i = 0; i < 5; ++i) {
        MotionFrame(true);
    }
    EXPECT_TRUE(thread->InstantAlarm());
    for (int i = 0; i < 3; ++i) {
        MotionFrame(false);
    }
    EXPECT_TRUE(FManager->IsAlarmOn(0));
    EXPECT_FALSE(thread->InstantAlarm());
    MotionFrame(false);
    EXPECT_TRUE(FManager->IsAlarmOn(0));
    MotionFrame(false);
    EXPECT_FALSE(FManager->IsAlarmOn(0));
    MotionFrame(false);  // and it does not go below zero
    MotionFrame(true);
    EXPECT_TRUE(FManager->IsAlarmOn(0));
}

TEST_F(MotionDetectionListManagerTest, DisabledAlarmFiresCallbacksButNeverAlarms) {
    AlarmTest::TMediaFolder media("list-disabled");
    Build(100, 1, /*alarmEnabled*/ false, media.Wav("alarm.wav", 2));
    ASSERT_TRUE(FManager->AddMotionDetector(kWidth, kHeight, Zone(0)));
    const TSoundNotificationThread* thread = FManager->SoundNotificationThread(0);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(MotionFrame(true));
        EXPECT_FALSE(FManager->IsAlarmOn(0));
        // The sound thread only plays while its flag is up, and it never goes up.
        EXPECT_FALSE(thread->InstantAlarm());
    }
    EXPECT_EQ(FCalls.size(), 5u);
    EXPECT_EQ(thread->AlarmOn(), 0);
    EXPECT_EQ(thread->AlarmStartCount(), 0);
}

TEST_F(MotionDetectionListManagerTest, MotionInAnEnabledZonePlaysItsAlarmFile) {
    AlarmTest::TMediaFolder media("list-enabled");
    Build(100, 1, true, media.Wav("alarm.wav", 2));
    ASSERT_TRUE(FManager->AddMotionDetector(kWidth, kHeight, Zone(0)));
    const TSoundNotificationThread* thread = FManager->SoundNotificationThread(0);
    // The thread has the zone's file: its graph opens before any motion.
    ASSERT_TRUE(WaitUntil([&] { return static_cast<bool>(thread->PlaybackPipeline()); }));
    MotionFrame(true);
    ASSERT_TRUE(WaitUntil([&] { return thread->AlarmStartCount() == 1; }));
}

// Zone 1 has no alarm entry: it is added all the same, and every frame stops at it.
TEST_F(MotionDetectionListManagerTest, ZoneWithoutAlarmEntryFailsAtThatZone) {
    Build(100, /*alarmZones*/ 1);
    LogCapture log;
    EXPECT_TRUE(FManager->AddMotionDetector(kWidth, kHeight, Zone(0)));
    EXPECT_FALSE(FManager->AddMotionDetector(kWidth, kHeight, Zone(1)));
    EXPECT_FALSE(FManager->AddMotionDetector(kWidth, kHeight, Zone(2)));
    EXPECT_EQ(FManager->Count(), 3);
    ASSERT_NE(FManager->SoundNotificationThread(2), nullptr);
    EXPECT_EQ(log.Lines(), std::vector<std::string>(
                               2, "Error in TMotionDetectionListManager.AddMotionDetector call.."));

    log.Clear();
    Change(0, 100);
    for (int frame = 0; frame < 2; ++frame) {
        FCalls.clear();
        EXPECT_FALSE(Step());
        // Zone 0 is processed in full, zone 2 not at all.
        ASSERT_FALSE(FCalls.empty());
        EXPECT_EQ(FCalls.front(), std::make_pair(0, true));
        EXPECT_TRUE(std::none_of(FCalls.begin(), FCalls.end(),
                                 [](const auto& call) { return call.first == 2; }));
    }
    EXPECT_TRUE(FManager->IsAlarmOn(0));
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>(
                  2,
                  "Error in "
                  "TMotionDetectionListManager.MotionDecetction_CountDifferentPixelsBlock_RGB32 "
                  "call.."));
}

}  // namespace
