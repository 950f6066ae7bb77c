#include "alarms/AlarmSettings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void Fill(TZoneAlarmSettings& zone, const std::string& tag, bool flags) {
    zone.ZoneName = tag + "-name";
    zone.SoundVideoAlarmEnabled = flags;
    zone.SoundVideoAlarmFileName = tag + "-alarm.wav";
    zone.CaptureStillImagesEnabled = !flags;
    zone.CaptureStillImagesFolder = tag + "-stills";
    zone.CaptureVideoEnabled = flags;
    zone.CaptureVideoFolder = tag + "-videos";
}

void ExpectSame(const TZoneAlarmSettings& a, const TZoneAlarmSettings& b) {
    EXPECT_EQ(a.ZoneName, b.ZoneName);
    EXPECT_EQ(a.SoundVideoAlarmEnabled, b.SoundVideoAlarmEnabled);
    EXPECT_EQ(a.SoundVideoAlarmFileName, b.SoundVideoAlarmFileName);
    EXPECT_EQ(a.CaptureStillImagesEnabled, b.CaptureStillImagesEnabled);
    EXPECT_EQ(a.CaptureStillImagesFolder, b.CaptureStillImagesFolder);
    EXPECT_EQ(a.CaptureVideoEnabled, b.CaptureVideoEnabled);
    EXPECT_EQ(a.CaptureVideoFolder, b.CaptureVideoFolder);
}

// Two zones with distinct contents and both switches in a known state.
class AlarmSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        FSource.SetUseMotionVideoLogger(true);
        FSource.SetUseConstantVideoLogger(false);
        FSource.SetRetentionLimits(TRetentionLimits{7, 900, 4000, 12});
        Fill(*FSource.AddZone(), "zone1", true);
        Fill(*FSource.AddZone(), "zone2", false);
    }
    TAlarmSettings FSource;
};

}  // namespace

TEST(AlarmZoneSettings, AssignCopiesAllSevenFields) {
    // Both flag patterns, so a field copied from the wrong neighbour cannot pass.
    for (const bool flags : {true, false}) {
        TZoneAlarmSettings source;
        Fill(source, flags ? "a" : "b", flags);
        TZoneAlarmSettings copy;
        Fill(copy, "old", !flags);
        copy.Assign(source);
        ExpectSame(copy, source);
    }
}

TEST_F(AlarmSettingsTest, AssignCopiesBothSwitchesAndEveryZone) {
    for (const auto& [motion, constant] : {std::pair{true, false}, std::pair{false, true}}) {
        FSource.SetUseMotionVideoLogger(motion);
        FSource.SetUseConstantVideoLogger(constant);
        TAlarmSettings copy;
        copy.Assign(FSource);
        EXPECT_EQ(copy.UseMotionVideoLogger(), motion);
        EXPECT_EQ(copy.UseConstantVideoLogger(), constant);
        EXPECT_EQ(copy.RetentionLimits(), FSource.RetentionLimits());
        ASSERT_EQ(copy.ZoneCount(), 2);
        ExpectSame(*copy.Zone(0), *FSource.Zone(0));
        ExpectSame(*copy.Zone(1), *FSource.Zone(1));
    }
}

TEST_F(AlarmSettingsTest, AssignMakesADeepCopy) {
    TAlarmSettings copy;
    copy.Assign(FSource);
    ASSERT_NE(copy.Zone(0), FSource.Zone(0));
    copy.Zone(0)->SoundVideoAlarmFileName = "changed.wav";
    copy.Zone(1)->SoundVideoAlarmEnabled = true;
    copy.SetUseConstantVideoLogger(true);
    copy.DeleteZone(0);

    EXPECT_EQ(FSource.ZoneCount(), 2);
    EXPECT_EQ(FSource.Zone(0)->SoundVideoAlarmFileName, "zone1-alarm.wav");
    EXPECT_FALSE(FSource.Zone(1)->SoundVideoAlarmEnabled);
    EXPECT_FALSE(FSource.UseConstantVideoLogger());
}

TEST_F(AlarmSettingsTest, AssignReplacesTheEntriesItHad) {
    TAlarmSettings target;
    for (int i = 0; i < 5; ++i) {
        Fill(*target.AddZone(), "stale" + std::to_string(i), true);
    }
    target.Assign(FSource);
    ASSERT_EQ(target.ZoneCount(), 2);
    EXPECT_EQ(target.Zone(0)->ZoneName, "zone1-name");
    EXPECT_EQ(target.Zone(1)->ZoneName, "zone2-name");

    TAlarmSettings empty;
    target.Assign(empty);
    EXPECT_EQ(target.ZoneCount(), 0);
    EXPECT_TRUE(target.ZoneAlarmsList().empty());
}

TEST_F(AlarmSettingsTest, AssignFromItselfKeepsEverything) {
    FSource.Assign(FSource);
    ASSERT_EQ(FSource.ZoneCount(), 2);
    EXPECT_EQ(FSource.Zone(1)->SoundVideoAlarmFileName, "zone2-alarm.wav");
    EXPECT_TRUE(FSource.UseMotionVideoLogger());
}

TEST_F(AlarmSettingsTest, ZoneOutsideTheListIsNull) {
    const TAlarmSettings& constSource = FSource;
    for (const int index : {-1, 2, 100}) {
        EXPECT_EQ(FSource.Zone(index), nullptr) << index;
        EXPECT_EQ(constSource.Zone(index), nullptr) << index;
        EXPECT_FALSE(FSource.DeleteZone(index)) << index;
    }
    EXPECT_EQ(FSource.ZoneCount(), 2);
}

TEST_F(AlarmSettingsTest, DeleteZoneMovesTheFollowingEntriesUp) {
    ASSERT_TRUE(FSource.DeleteZone(0));
    ASSERT_EQ(FSource.ZoneCount(), 1);
    EXPECT_EQ(FSource.Zone(0)->ZoneName, "zone2-name");
    FSource.ClearZones();
    EXPECT_EQ(FSource.ZoneCount(), 0);
}
