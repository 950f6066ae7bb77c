#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QVariant>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "controller/CameraManager.h"
#include "localisation/LanguageFile.h"
#include "platform/DateTime.h"
#include "platform/MediaFramework.h"
#include "platform/MonotonicClock.h"
#include "support/SettingsHome.h"

// Each test gets its own settings home, data folder and host window; the Test Pattern is the
// only camera unless a test hides it.
class CameraManagerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FHome.isValid());
        UseSettingsHome(FHome.path());
        Remember("TANDREL_TEST_PATTERN");
        Remember("TANDREL_FILE_CAMERAS");
        Remember("XDG_DATA_HOME");
        qunsetenv("TANDREL_TEST_PATTERN");
        qunsetenv("TANDREL_FILE_CAMERAS");
        SetDataHome(FHome.path() + "/data/");
        LoadLanguageFile("");
        FWindow = std::make_unique<QWidget>();
        FWindow->resize(926, 521);
        FWindow->show();
    }

    void TearDown() override {
        FManager.reset();
        FWindow.reset();
        for (const auto& [name, value] : FEnvironment) {
            if (value.isNull()) {
                qunsetenv(name.c_str());
            } else {
                qputenv(name.c_str(), value);
            }
        }
        LoadLanguageFile("");
    }

    void Remember(const char* name) { FEnvironment[name] = qgetenv(name); }
    void SetDataHome(const QString& folder) { qputenv("XDG_DATA_HOME", folder.toUtf8()); }

    // A data folder that cannot be created (below a plain file): the camera is activated and
    // rendered but never played, so the test feeds the frames itself.
    void BlockDataFolder() {
        QFile file(FHome.path() + "/blocker");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        SetDataHome(FHome.path() + "/blocker/");
    }

    std::unique_ptr<QSettings> Stored() {
        auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                    "Vantrelle Media Solutions", "Tandrel");
        settings->beginGroup("CameraManager");
        return settings;
    }
    void Store(const std::map<QString, QVariant>& values) {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           "Vantrelle Media Solutions", "Tandrel");
        settings.beginGroup("CameraManager");
        for (const auto& [name, value] : values) {
            settings.setValue(name, value);
        }
        settings.sync();
    }
    void StoreZone(int n, int left, int top, int right, int bottom, bool enabled = true,
                   const QString& file = QString()) {
        const QString prefix = QString("Zone %1").arg(n);
        Store({{prefix + "_Rect_Left", left},
               {prefix + "_Rect_Right", right},
               {prefix + "_Rect_Top", top},
               {prefix + "_Rect_Bottom", bottom},
               {prefix + "_SoundVideoAlarm_Enabled", enabled ? 1 : 0},
               {prefix + "_SoundVideoAlarm_FileName", file}});
    }

    bool Start() {
        FManager = std::make_unique<TCameraManager>(FWindow.get(), 100);
        return FManager->InitializeCamera();
    }
    // The camera opened and the zones loaded, but its graph never plays: the test feeds the
    // frames itself.
    bool StartWithFramesFromTheTest() {
        FManager = std::make_unique<TCameraManager>(FWindow.get(), 100);
        TCameraOverrides overrides;
        overrides.FramesFromCaller = true;
        FManager->SetOverrides(overrides);
        return FManager->InitializeCamera();
    }

    // A bottom-up RGB32 frame of one grey level.
    static std::vector<uint8_t> Frame(int32_t width, int32_t height, uint8_t level) {
        return std::vector<uint8_t>(static_cast<size_t>(width) * height * 4, level);
    }
    bool Feed(std::vector<uint8_t>& frame) {
        return FManager->NextFrameDataFunction(frame.data(), static_cast<int32_t>(frame.size()));
    }

    QTemporaryDir FHome;
    std::map<std::string, QByteArray> FEnvironment;
    std::unique_ptr<QWidget> FWindow;
    std::unique_ptr<TCameraManager> FManager;
};

// The controller on clocks of the test's own, for frames the test feeds with times of its own:
// the wall clock (FNow) and the monotonic clock (FMono) move only when the test moves them, and
// recordings are decoded again.
class CameraManagerClockFixture : public CameraManagerFixture {
protected:
    static constexpr double kClockSecond = 1.0 / 86400.0;

    void SetUp() override {
        CameraManagerFixture::SetUp();
        ASSERT_TRUE(InitializeMediaFramework());
        FPreviousClock = SetDateTimeClock([this] { return FNow; });
        FPreviousMonotonicClock = SetMonotonicClock([this] { return FMono; });
    }
    void TearDown() override {
        FManager.reset();  // recordings are finished on the test's clocks
        SetDateTimeClock(FPreviousClock);
        SetMonotonicClock(FPreviousMonotonicClock);
        CameraManagerFixture::TearDown();
    }
    // Time passing, on both clocks alike.
    void Advance(double seconds) {
        FNow += seconds * kClockSecond;
        FMono += seconds;
    }

    TDateTime FNow = EncodeDateTime({2026, 12, 10, 9, 0, 0, 0});
    double FMono = 5000.0;
    TDateTimeClock FPreviousClock;
    TMonotonicClock FPreviousMonotonicClock;
};
