#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "alarms/AlarmSettings.h"
#include "alarms/AlarmsSetupForm.h"
#include "capture/CameraManagerSetupForm.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "controller/CameraManagerTestSupport.h"
#include "controller/CameraPicture.h"
#include "controller/PictureLayout.h"
#include "detection/MotionDetectionListManager.h"
#include "platform/Paths.h"
#include "support/LogCapture.h"
#include "support/MessageRecorder.h"
#include "ui/MessageDialog.h"
#include "zones/SelectorObjectManager.h"

namespace {

// Answers the camera setup dialog with the given indexes.
class SetupAnswer {
public:
    SetupAnswer(int32_t* camera, int32_t* format) {
        FPrevious = SetCameraManagerSetupFormRunHook([camera, format](TCameraManagerSetupForm& f) {
            f.FCameraIndex = *camera;
            f.FFormatIndex = *format;
            return static_cast<int>(QDialog::Accepted);
        });
    }
    ~SetupAnswer() { SetCameraManagerSetupFormRunHook(FPrevious); }

private:
    TCameraManagerSetupFormRunHook FPrevious;
};

QString Caption(TCameraManager& m, int i) {
    return m.SelectorObjectManager()->GetSelectorObject(i)->Caption();
}

// ---------------------------------------------------------------------------------------------
// Settings

using CameraManagerSettingsTest = CameraManagerFixture;

TEST_F(CameraManagerSettingsTest, FirstStartUsesDefaultsAndWritesThemBackAtShutdown) {
    ASSERT_TRUE(Start());
    EXPECT_EQ(FManager->CameraIndex(), 0);
    EXPECT_EQ(FManager->FormatIndex(), 0);
    // New installs watch with the adaptive mode at sensitivity 80.
    EXPECT_EQ(FManager->MotionDetectionMode(), 4);
    EXPECT_EQ(FManager->MotionDetectionSensitivity(), 80);
    EXPECT_TRUE(FManager->AlarmSettings()->UseMotionVideoLogger());
    EXPECT_FALSE(FManager->AlarmSettings()->UseConstantVideoLogger());
    EXPECT_EQ(FManager->SelectorObjectManager()->Count(), 0);
    const QString data = FHome.path() + "/data/";
    EXPECT_EQ(FManager->ConstantLogFolder(), (data + "Vantrelle/Tandrel/AutoRec/").toStdString());
    EXPECT_EQ(FManager->MotionLogFolder(),
              (data + "Vantrelle/Tandrel/MotionDetection/").toStdString());
    EXPECT_TRUE(QDir(data + "Vantrelle/Tandrel/AutoRec").exists());
    EXPECT_TRUE(QDir(data + "Vantrelle/Tandrel/MotionDetection").exists());

    FManager.reset();
    auto stored = Stored();
    EXPECT_EQ(stored->value("CameraIndex").toInt(), 0);
    EXPECT_EQ(stored->value("FormatIndex").toInt(), 0);
    EXPECT_EQ(stored->value("MotionDetectionSensitivity").toInt(), 80);
    EXPECT_EQ(stored->value("MotionDetectionMode").toInt(), 4);
    EXPECT_EQ(stored->value("UseMotionDetectionVideoLogging").toInt(), 1);
    EXPECT_EQ(stored->value("UseContinuallyRunningVideoLogging").toInt(), 0);
    EXPECT_FALSE(stored->contains("Zone 1_Rect_Left"));
}

TEST_F(CameraManagerSettingsTest, StoredValuesRoundTrip) {
    struct Case {
        int format, sensitivity, mode, motionLogger, constantLogger;
        int width, height;
    };
    for (const Case& c : {Case{6, 55, 1, 0, 1, 640, 480}, Case{3, 100, 2, 1, 0, 320, 240},
                          Case{12, 1, 3, 1, 1, 1280, 720}}) {
        SCOPED_TRACE(c.format);
        Store({{"CameraIndex", 0},
               {"FormatIndex", c.format},
               {"MotionDetectionSensitivity", c.sensitivity},
               {"MotionDetectionMode", c.mode},
               {"UseMotionDetectionVideoLogging", c.motionLogger},
               {"UseContinuallyRunningVideoLogging", c.constantLogger}});
        ASSERT_TRUE(Start());
        EXPECT_EQ(FManager->FormatIndex(), c.format);
        EXPECT_EQ(FManager->MotionDetectionSensitivity(), c.sensitivity);
        EXPECT_EQ(FManager->MotionDetectionMode(), c.mode);
        EXPECT_EQ(FManager->AlarmSettings()->UseMotionVideoLogger(), c.motionLogger != 0);
        EXPECT_EQ(FManager->AlarmSettings()->UseConstantVideoLogger(), c.constantLogger != 0);
        EXPECT_EQ(FManager->VideoWidth(), c.width);
        EXPECT_EQ(FManager->VideoHeight(), c.height);
        EXPECT_EQ(FManager->FramePreviewImage()->BitmapWidth(), c.width);
        FManager.reset();
        auto stored = Stored();
        EXPECT_EQ(stored->value("FormatIndex").toInt(), c.format);
        EXPECT_EQ(stored->value("MotionDetectionSensitivity").toInt(), c.sensitivity);
        EXPECT_EQ(stored->value("MotionDetectionMode").toInt(), c.mode);
        EXPECT_EQ(stored->value("UseMotionDetectionVideoLogging").toInt(), c.motionLogger);
        EXPECT_EQ(stored->value("UseContinuallyRunningVideoLogging").toInt(), c.constantLogger);
    }
}

TEST_F(CameraManagerSettingsTest, WithoutTheStoredCameraThePanelStaysEmptyAndTheIndexIsKept) {
    struct Case {
        const char* testPattern;  // "0" hides the only camera
        int storedIndex;
    };
    for (const Case& c : {Case{"0", 0}, Case{"1", 2}, Case{"1", -1}}) {
        SCOPED_TRACE(c.storedIndex);
        qputenv("TANDREL_TEST_PATTERN", c.testPattern);
        Store({{"CameraIndex", c.storedIndex}, {"FormatIndex", 4}});
        StoreZone(1, 10, 20, 110, 120, false, "alarm.wav");
        LogCapture log;
        EXPECT_FALSE(Start());
        EXPECT_NE(FManager->FrameScrollBox(), nullptr);
        EXPECT_EQ(FManager->AddZoneButton(), nullptr);
        EXPECT_EQ(FManager->VideosListButton(), nullptr);
        EXPECT_FALSE(FManager->FrameGrabCaptureGraph()->MainGraphActive());
        // Only the picture area is laid out.
        FWindow->resize(1000, 600);
        EXPECT_TRUE(FManager->Reposition());
        EXPECT_EQ(FManager->FrameScrollBox()->geometry(), QRect(0, 0, 1000, 565));
        FManager->RefreshTexts();
        FManager.reset();
        EXPECT_EQ(Stored()->value("CameraIndex").toInt(), c.storedIndex);
        EXPECT_EQ(Stored()->value("FormatIndex").toInt(), 4);
        // The zones drawn for the missing camera are kept for its return.
        EXPECT_EQ(Stored()->value("Zone 1_Rect_Right").toInt(), 110);
        EXPECT_EQ(Stored()->value("Zone 1_SoundVideoAlarm_FileName").toString(), "alarm.wav");
    }
}

TEST_F(CameraManagerSettingsTest, StoredZonesLoadEachOnItsOwnAtMostTenRenumberedWhenSaved) {
    struct Case {
        const char* name;
        std::vector<int> stored;
        std::vector<int> loaded;  // the stored numbers, in order
    };
    for (const Case& c :
         {Case{"ten and an eleventh", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
               {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
          Case{"gap at zone 3", {1, 2, 4}, {1, 2, 4}}, Case{"no zone 1", {2, 3}, {2, 3}}}) {
        SCOPED_TRACE(c.name);
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Vantrelle Media Solutions",
                  "Tandrel")
            .remove("CameraManager");
        for (int n : c.stored) {
            StoreZone(n, 10 + n, 20, 60 + n, 80, n % 2 == 0, QString("alarm%1.wav").arg(n));
        }
        ASSERT_TRUE(Start());
        const int loaded = static_cast<int>(c.loaded.size());
        ASSERT_EQ(FManager->SelectorObjectManager()->Count(), loaded);
        ASSERT_EQ(FManager->AlarmSettings()->ZoneCount(), loaded);
        for (int i = 0; i < loaded; ++i) {
            const int n = c.loaded[static_cast<size_t>(i)];
            TRect rect;
            ASSERT_TRUE(FManager->SelectorObjectManager()->GetActualRectangle(i, rect, false));
            EXPECT_EQ(rect, (TRect{10 + n, 20, 60 + n, 80})) << i;
            EXPECT_EQ(FManager->AlarmSettings()->Zone(i)->SoundVideoAlarmEnabled, n % 2 == 0);
            EXPECT_EQ(FManager->AlarmSettings()->Zone(i)->SoundVideoAlarmFileName,
                      QString("alarm%1.wav").arg(n).toStdString());
        }
        FManager.reset();
        // Written back numbered from 1 without gaps; nothing else is left.
        auto stored = Stored();
        for (int i = 0; i < loaded; ++i) {
            EXPECT_EQ(stored->value(QString("Zone %1_Rect_Left").arg(i + 1)).toInt(),
                      10 + c.loaded[static_cast<size_t>(i)]);
        }
        EXPECT_FALSE(stored->contains(QString("Zone %1_Rect_Left").arg(loaded + 1)));
    }
}

TEST_F(CameraManagerSettingsTest, AZoneWithoutItsAlarmSwitchKeepsItsRectangleWithTheDefaultAlarm) {
    StoreZone(1, 0, 0, 50, 50, false);
    StoreZone(2, 60, 0, 110, 50, false, "mine.wav");
    StoreZone(3, 120, 0, 170, 50, false);
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Vantrelle Media Solutions", "Tandrel")
        .remove("CameraManager/Zone 2_SoundVideoAlarm_Enabled");
    LogCapture log;
    ASSERT_TRUE(Start());
    EXPECT_TRUE(log.Contains("Error in TCameraManager.LoadRegistrySelectors - cannot read the "
                             "alarm of zone 2; the default alarm is used."));
    ASSERT_EQ(FManager->SelectorObjectManager()->Count(), 3);
    ASSERT_EQ(FManager->AlarmSettings()->ZoneCount(), 3);
    TRect rect;
    ASSERT_TRUE(FManager->SelectorObjectManager()->GetActualRectangle(1, rect, false));
    EXPECT_EQ(rect, (TRect{60, 0, 110, 50}));
    EXPECT_TRUE(FManager->AlarmSettings()->Zone(1)->SoundVideoAlarmEnabled);
    EXPECT_EQ(FManager->AlarmSettings()->Zone(1)->SoundVideoAlarmFileName,
              GetResourceFolder("SoundAlarms") + "Clock Alarm.wav");
    EXPECT_FALSE(FManager->AlarmSettings()->Zone(2)->SoundVideoAlarmEnabled);
}

TEST_F(CameraManagerSettingsTest, RemovingAZoneRenumbersTheStoredZonesWithTheirAlarms) {
    for (int n = 1; n <= 4; ++n) {
        StoreZone(n, 10 * n, 5, 10 * n + 40, 45, true, QString("alarm%1.wav").arg(n));
    }
    ASSERT_TRUE(Start());
    ASSERT_EQ(FManager->SelectorObjectManager()->Count(), 4);
    FManager->SelectorObjectManager()->DeselectAll();
    FManager->SelectorObjectManager()->GetSelectorObject(1)->SetIsSelected(true);
    FManager->RemoveSelectedZone();
    ASSERT_EQ(FManager->SelectorObjectManager()->Count(), 3);
    std::vector<std::string> files;
    for (const auto& zone : FManager->AlarmSettings()->ZoneAlarmsList()) {
        files.push_back(zone->SoundVideoAlarmFileName);
    }
    EXPECT_EQ(files, (std::vector<std::string>{"alarm1.wav", "alarm3.wav", "alarm4.wav"}));
    FManager.reset();

    auto stored = Stored();
    EXPECT_EQ(stored->value("Zone 2_Rect_Left").toInt(), 30);
    EXPECT_EQ(stored->value("Zone 2_SoundVideoAlarm_FileName").toString(), "alarm3.wav");
    EXPECT_EQ(stored->value("Zone 3_SoundVideoAlarm_FileName").toString(), "alarm4.wav");
    EXPECT_FALSE(stored->contains("Zone 4_Rect_Left"));
    EXPECT_FALSE(stored->contains("Zone 4_SoundVideoAlarm_FileName"));

    // And the three load again at the next start.
    ASSERT_TRUE(Start());
    EXPECT_EQ(FManager->SelectorObjectManager()->Count(), 3);
}

// ---------------------------------------------------------------------------------------------
// Layout

using CameraManagerPanelTest = CameraManagerFixture;

TEST_F(CameraManagerPanelTest, RepositionPlacesBoxPictureAndTheSevenButtons) {
    ASSERT_TRUE(Start());
    struct Case {
        int width, height;
    };
    for (const Case& c : {Case{926, 521}, Case{1100, 835}, Case{1400, 400}}) {
        SCOPED_TRACE(c.width);
        FWindow->resize(c.width, c.height);
        ASSERT_TRUE(FManager->Reposition());
        EXPECT_EQ(FManager->FrameScrollBox()->geometry(), QRect(0, 0, c.width, c.height - 35));
        const TPicturePlacement p =
            PlacePicture(4.0 / 3.0, c.width, c.height - 35, c.width, c.height - 35);
        EXPECT_EQ(FManager->FramePreviewImage()->geometry(),
                  QRect(p.Left, p.Top, p.Width, p.Height));
        EXPECT_EQ(FManager->ARVerticalBarWidth(), p.Left);
        EXPECT_EQ(FManager->ARHorizontalBarHeight(), p.Top);
        const QPushButton* buttons[] = {FManager->AddZoneButton(),   FManager->RemoveZoneButton(),
                                        FManager->ActivateButton(),  FManager->SetupButton(),
                                        FManager->AlarmsButton(),    FManager->ResetAlarmsButton(),
                                        FManager->VideosListButton()};
        for (int i = 0; i < 7; ++i) {
            ASSERT_NE(buttons[i], nullptr);
            EXPECT_EQ(buttons[i]->geometry(), QRect(i * 132, c.height - 35 + 2, 130, 30)) << i;
        }
    }
    EXPECT_EQ(FManager->AddZoneButton()->Caption(), "Add Zone");
    EXPECT_EQ(FManager->ActivateButton()->Caption(), "Activate");
    EXPECT_EQ(FManager->VideosListButton()->Caption(), "Show Videos List");
    EXPECT_EQ(FManager->ActivateButton()->property("glyphIndex").toInt(), 24);
    EXPECT_FALSE(FManager->ActivateButton()->icon().isNull());
}

TEST_F(CameraManagerPanelTest, ZonesFollowThePictureWhenTheWindowIsResized) {
    ASSERT_TRUE(Start());
    FManager->OnAddZoneClick();
    const TSelectorObject* zone = FManager->SelectorObjectManager()->GetSelectorObject(0);
    const double before = double(zone->ActualWidth()) / FManager->FramePreviewImage()->width();
    FWindow->resize(1400, 900);
    FManager->Reposition();
    const double after = double(zone->ActualWidth()) / FManager->FramePreviewImage()->width();
    EXPECT_NEAR(after, before, 0.01);
}

// ---------------------------------------------------------------------------------------------
// Commands

using CameraManagerCommandsTest = CameraManagerFixture;

TEST_F(CameraManagerCommandsTest, AddZoneSelectsOnlyTheNewZoneWithTheClockAlarm) {
    ASSERT_TRUE(Start());
    FManager->OnAddZoneClick();
    FManager->OnAddZoneClick();
    ASSERT_EQ(FManager->SelectorObjectManager()->Count(), 2);
    EXPECT_FALSE(FManager->SelectorObjectManager()->GetSelectorObject(0)->IsSelected());
    EXPECT_TRUE(FManager->SelectorObjectManager()->GetSelectorObject(1)->IsSelected());
    EXPECT_EQ(FManager->SelectorObjectManager()->GetSelectorObject(1)->ObjectID(), "Zone 2");
    const TZoneAlarmSettings* alarm = FManager->AlarmSettings()->Zone(1);
    ASSERT_NE(alarm, nullptr);
    EXPECT_TRUE(alarm->SoundVideoAlarmEnabled);
    EXPECT_EQ(alarm->SoundVideoAlarmFileName, GetResourceFolder("SoundAlarms") + "Clock Alarm.wav");
    // A click on the picture deselects.
    FManager->OnImageClick();
    EXPECT_FALSE(FManager->SelectorObjectManager()->GetSelectorObject(1)->IsSelected());
}

TEST_F(CameraManagerCommandsTest, AnEleventhZoneIsRefusedWithAMessage) {
    ASSERT_TRUE(Start());
    MessageRecorder messages;
    for (int i = 0; i < 10; ++i) {
        FManager->OnAddZoneClick();
    }
    EXPECT_TRUE(messages.Texts.isEmpty());
    FManager->OnAddZoneClick();
    EXPECT_EQ(FManager->SelectorObjectManager()->Count(), 10);
    EXPECT_EQ(FManager->AlarmSettings()->ZoneCount(), 10);
    EXPECT_EQ(messages.Texts, QStringList{"Maximum 10 zones can be added!"});
    EXPECT_EQ(messages.Captions, QStringList{"Tandrel"});
}

TEST_F(CameraManagerCommandsTest, ActivatingWithoutZonesShowsAnErrorAndStaysIdle) {
    ASSERT_TRUE(Start());
    MessageRecorder messages;
    FManager->OnActivateClick();
    EXPECT_EQ(messages.Texts, QStringList{"You need to add at least one zone!"});
    EXPECT_EQ(messages.Captions, QStringList{"Error"});
    EXPECT_FALSE(FManager->Activated());
    EXPECT_EQ(FManager->MotionDetectionListManager(), nullptr);
    EXPECT_EQ(FManager->ActivateButton()->Caption(), "Activate");
}

TEST_F(CameraManagerCommandsTest, ActivateAndDeactivateFlipButtonsZonesAndDetector) {
    ASSERT_TRUE(Start());
    FManager->OnAddZoneClick();
    FManager->OnAddZoneClick();
    TSelectorObjectManager& zones = *FManager->SelectorObjectManager();
    QPushButton* toggled[] = {FManager->AddZoneButton(), FManager->RemoveZoneButton(),
                              FManager->SetupButton(), FManager->AlarmsButton()};

    FManager->OnActivateClick();
    EXPECT_TRUE(FManager->Activated());
    ASSERT_NE(FManager->MotionDetectionListManager(), nullptr);
    EXPECT_EQ(FManager->MotionDetectionListManager()->Count(), 2);
    EXPECT_EQ(FManager->ActivateButton()->Caption(), "Deactivate");
    EXPECT_EQ(FManager->ActivateButton()->property("glyphIndex").toInt(), 25);
    for (QPushButton* b : toggled) {
        EXPECT_FALSE(b->isEnabled());
    }
    EXPECT_TRUE(FManager->ResetAlarmsButton()->isEnabled());
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(zones.GetSelectorObject(i)->Locked());
        EXPECT_FALSE(zones.GetSelectorObject(i)->IsSelected());
        // Learning mode (the default) shows its caption until the zone is ready.
        EXPECT_EQ(zones.GetSelectorObject(i)->Caption(), "Learning...");
        EXPECT_TRUE(zones.GetSelectorObject(i)->Flashing());
    }
    // Delete removes nothing while detection runs: nothing is selected.
    FManager->RemoveSelectedZone();
    EXPECT_EQ(zones.Count(), 2);
    // Reset Alarms restarts detection.
    FManager->OnResetAlarmsClick();
    EXPECT_TRUE(FManager->Activated());
    EXPECT_NE(FManager->MotionDetectionListManager(), nullptr);

    FManager->OnActivateClick();
    EXPECT_FALSE(FManager->Activated());
    EXPECT_EQ(FManager->MotionDetectionListManager(), nullptr);
    EXPECT_EQ(FManager->ActivateButton()->Caption(), "Activate");
    EXPECT_EQ(FManager->ActivateButton()->property("glyphIndex").toInt(), 24);
    for (QPushButton* b : toggled) {
        EXPECT_TRUE(b->isEnabled());
    }
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(zones.GetSelectorObject(i)->Locked());
        EXPECT_EQ(zones.GetSelectorObject(i)->Caption(), "");
        EXPECT_FALSE(zones.GetSelectorObject(i)->Flashing());
    }
    // Reset Alarms while idle does nothing.
    FManager->OnResetAlarmsClick();
    EXPECT_FALSE(FManager->Activated());
}

TEST_F(CameraManagerCommandsTest, LanguageSwitchWhileActiveKeepsTheNextClickDeactivating) {
    ASSERT_TRUE(Start());
    FManager->OnAddZoneClick();
    FManager->OnActivateClick();
    const QString file = FHome.path() + "/german.lng";
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(
        "##LanguageName\r\nDeutsch\r\n\r\n##Activate\r\nAktivieren\r\n\r\n"
        "##Deactivate\r\nDeaktivieren\r\n\r\n##Add Zone\r\nZone hinzuf\xC3\xBCgen\r\n");
    out.close();
    ASSERT_TRUE(LoadLanguageFile(file.toStdString()));
    FManager->RefreshTexts();
    EXPECT_EQ(FManager->ActivateButton()->Caption(), "Deaktivieren");
    EXPECT_EQ(FManager->AddZoneButton()->Caption(), QString::fromUtf8("Zone hinzuf\xC3\xBCgen"));
    FManager->OnActivateClick();
    EXPECT_FALSE(FManager->Activated());
    EXPECT_EQ(FManager->ActivateButton()->Caption(), "Aktivieren");
}

TEST_F(CameraManagerCommandsTest, AFormatThatCannotBeUsedRestoresThePreviousCamera) {
    ASSERT_TRUE(Start());
    int32_t camera = 9;
    int32_t format = 0;
    SetupAnswer answer(&camera, &format);
    MessageRecorder messages;
    FManager->OnSetupClick();
    EXPECT_EQ(messages.Texts, QStringList{"The selected format cannot be used."});
    EXPECT_EQ(FManager->CameraIndex(), 0);
    EXPECT_EQ(FManager->FormatIndex(), 0);
    // Frames flow again from the restored camera.
    const int64_t counted = FManager->FrameCounter();
    EXPECT_TRUE(QTest::qWaitFor([&] { return FManager->FrameCounter() > counted + 2; }, 5000));
}

TEST_F(CameraManagerCommandsTest, ChangingTheFormatResizesThePicture) {
    ASSERT_TRUE(Start());
    int32_t camera = 0;
    int32_t format = 6;
    SetupAnswer answer(&camera, &format);
    FManager->OnSetupClick();
    EXPECT_EQ(FManager->FormatIndex(), 6);
    EXPECT_EQ(FManager->VideoWidth(), 640);
    EXPECT_EQ(FManager->FramePreviewImage()->BitmapHeight(), 480);
    const int64_t counted = FManager->FrameCounter();
    EXPECT_TRUE(QTest::qWaitFor([&] { return FManager->FrameCounter() > counted + 2; }, 5000));
}

TEST_F(CameraManagerCommandsTest, TheAlarmsDialogEditsTheControllersSettingsAndFolders) {
    ASSERT_TRUE(Start());
    FManager->OnAddZoneClick();
    auto previous = SetAlarmsSetupFormRunHook([&](TAlarmsSetupForm& form) {
        form.AlarmSettings().SetUseConstantVideoLogger(true);
        form.AlarmSettings().Zone(0)->SoundVideoAlarmEnabled = false;
        return static_cast<int>(QDialog::Accepted);
    });
    FManager->OnAlarmsClick();
    SetAlarmsSetupFormRunHook(previous);
    EXPECT_TRUE(FManager->AlarmSettings()->UseConstantVideoLogger());
    EXPECT_FALSE(FManager->AlarmSettings()->Zone(0)->SoundVideoAlarmEnabled);
    FManager.reset();
    EXPECT_EQ(Stored()->value("UseContinuallyRunningVideoLogging").toInt(), 1);
    EXPECT_EQ(Stored()->value("Zone 1_SoundVideoAlarm_Enabled").toInt(), 0);
}

// ---------------------------------------------------------------------------------------------
// Frame path on frames fed by the test (the graph is built but never played).

class CameraManagerFramePathTest : public CameraManagerFixture {
protected:
    void StartStill(int mode) {
        BlockDataFolder();
        Store({{"FormatIndex", 0}, {"MotionDetectionMode", mode}});
        LogCapture log;
        ASSERT_TRUE(StartWithFramesFromTheTest());
        ASSERT_TRUE(
            log.Contains("Error in TCameraManager.InitializeCamera - cannot create folder " +
                         FManager->ConstantLogFolder()));
        ASSERT_EQ(FManager->FramePreviewImage()->BitmapWidth(), 320);
        ASSERT_NE(FManager->ActivateButton(), nullptr);
        ASSERT_TRUE(FManager->FirstFrame());
    }
    std::vector<uint8_t> FrameOf(uint8_t level) { return Frame(320, 240, level); }
};

TEST_F(CameraManagerFramePathTest, TheFirstFrameIsShownButNotExamined) {
    StartStill(1);
    FManager->OnAddZoneClick();
    FManager->OnActivateClick();
    auto white = FrameOf(255);
    auto black = FrameOf(0);
    ASSERT_TRUE(Feed(white));  // the picture held black: examined, this would be motion
    EXPECT_FALSE(FManager->FirstFrame());
    FManager->ApplyZoneFeedback();
    EXPECT_EQ(Caption(*FManager, 0), "0 %");
    EXPECT_EQ(FManager->FramePreviewImage()->Snapshot().pixel(0, 0), qRgb(255, 255, 255));
    ASSERT_TRUE(Feed(black));
    FManager->ApplyZoneFeedback();
    EXPECT_EQ(Caption(*FManager, 0), "100 %");
    EXPECT_EQ(FManager->FrameCounter(), 2);
}

// Offscreen (tests, headless runs) nobody sees the zones: the feedback of every frame updates
// their state but paints nothing, even while they flash.
TEST_F(CameraManagerFramePathTest, ZoneFeedbackPaintsNothingWhereNobodySeesIt) {
    StartStill(1);
    FManager->OnAddZoneClick();
    FManager->OnActivateClick();
    TSelectorObject* zone = FManager->SelectorObjectManager()->GetSelectorObject(0);
    zone->window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(zone->window()));
    ASSERT_TRUE(zone->isVisible());
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } counter;
    QCoreApplication::processEvents();
    zone->installEventFilter(&counter);
    auto white = FrameOf(255);
    auto black = FrameOf(0);
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(Feed(i % 2 == 0 ? white : black));
        FManager->ApplyZoneFeedback();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(Caption(*FManager, 0), "100 %");
    EXPECT_EQ(counter.paints, 0);
    zone->removeEventFilter(&counter);
}

TEST_F(CameraManagerFramePathTest, InactiveDetectionShowsAndCountsFramesOnly) {
    StartStill(1);
    FManager->OnAddZoneClick();
    TSelectorObject* zone = FManager->SelectorObjectManager()->GetSelectorObject(0);
    zone->SetCaption("mine");
    zone->SetFlashing(true);
    // Bottom half of memory (the lower lines of the picture) dark, top half bright.
    auto frame = FrameOf(200);
    std::fill(frame.begin(), frame.begin() + frame.size() / 2, uint8_t{10});
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(Feed(frame));
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(FManager->FrameCounter(), 3);
    EXPECT_EQ(zone->Caption(), "mine");
    EXPECT_TRUE(zone->Flashing());
    const QImage shown = FManager->FramePreviewImage()->Snapshot();
    EXPECT_EQ(shown.pixel(5, 0), qRgb(200, 200, 200));  // top line, right way up
    EXPECT_EQ(shown.pixel(5, 239), qRgb(10, 10, 10));   // bottom line
}

TEST_F(CameraManagerFramePathTest, LearningZonesKeepTheirCaptionUntilReady) {
    StartStill(3);
    FManager->OnAddZoneClick();
    FManager->OnActivateClick();
    auto still = FrameOf(90);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(Feed(still));
    }
    FManager->ApplyZoneFeedback();
    EXPECT_EQ(Caption(*FManager, 0), "Learning...");
    // Still frames until the zone has learned its background, then the activity shows.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            Feed(still);
            FManager->ApplyZoneFeedback();
            return Caption(*FManager, 0) != "Learning...";
        },
        30000));
    EXPECT_TRUE(FManager->MotionDetectionListManager()->GetIsReadyToProcess(0));
    EXPECT_EQ(Caption(*FManager, 0), "0 %");
}

TEST_F(CameraManagerFramePathTest, FlashingFollowsTheAlarmCounterThroughThePostedRepaint) {
    StartStill(1);
    FManager->OnAddZoneClick();  // alarm enabled
    FManager->OnActivateClick();
    TSelectorObject* zone = FManager->SelectorObjectManager()->GetSelectorObject(0);
    auto a = FrameOf(0);
    auto b = FrameOf(255);
    ASSERT_TRUE(Feed(a));
    ASSERT_TRUE(Feed(b));  // motion: counter 1
    EXPECT_TRUE(QTest::qWaitFor([&] { return zone->Flashing(); }, 2000));
    EXPECT_EQ(zone->Caption(), "100 %");
    ASSERT_TRUE(Feed(a));  // motion: counter 2
    ASSERT_TRUE(Feed(a));  // none: counter 1, still on
    QCoreApplication::processEvents();
    EXPECT_TRUE(zone->Flashing());
    EXPECT_EQ(zone->Caption(), "0 %");
    ASSERT_TRUE(Feed(a));  // none: counter 0
    EXPECT_TRUE(QTest::qWaitFor([&] { return !zone->Flashing(); }, 2000));
}

// ---------------------------------------------------------------------------------------------
// With the Test Pattern streaming.

using CameraManagerStreamingTest = CameraManagerFixture;

TEST_F(CameraManagerStreamingTest, TogglingDetectionAndChangingTheFormatWhileFramesFlow) {
    ASSERT_TRUE(Start());
    FManager->OnAddZoneClick();
    FManager->OnAddZoneClick();
    int32_t camera = 0;
    int32_t format = 0;
    SetupAnswer answer(&camera, &format);
    const int32_t formats[] = {6, 0, 3, 12};
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(round);
        FManager->OnActivateClick();
        ASSERT_TRUE(FManager->Activated());
        const int64_t counted = FManager->FrameCounter();
        ASSERT_TRUE(QTest::qWaitFor([&] { return FManager->FrameCounter() > counted; }, 5000));
        FManager->OnResetAlarmsClick();
        FManager->OnActivateClick();
        ASSERT_FALSE(FManager->Activated());
        if (round % 2 == 0) {
            format = formats[(round / 2) % 4];
            FManager->OnSetupClick();
            ASSERT_EQ(FManager->FormatIndex(), format);
        }
    }
    const int64_t counted = FManager->FrameCounter();
    EXPECT_TRUE(QTest::qWaitFor([&] { return FManager->FrameCounter() > counted + 2; }, 5000));
}

TEST_F(CameraManagerStreamingTest, TheBallIsSeenInItsPathButNeverInTheCorner) {
    Store({{"FormatIndex", 0}, {"MotionDetectionMode", 1}, {"MotionDetectionSensitivity", 100}});
    ASSERT_TRUE(Start());
    FManager->OnAddZoneClick();
    FManager->OnAddZoneClick();
    TSelectorObjectManager& zones = *FManager->SelectorObjectManager();
    const QRect picture = FManager->FramePreviewImage()->geometry();
    // Zone 1 is the middle third of the picture's height, which the ball crosses twice in each
    // of its up-and-down sweeps; zone 2 a few pixels of the top-left corner, which the ball's
    // figure-of-eight path never reaches.
    const int third = picture.height() / 3;
    zones.SetRectangle(0, TRect{picture.left(), picture.top() + third, picture.right() + 1,
                                picture.top() + 2 * third});
    zones.SetRectangle(1,
                       TRect{picture.left(), picture.top(), picture.left() + 8, picture.top() + 8});
    FManager->OnActivateClick();
    ASSERT_TRUE(FManager->Activated());
    TSelectorObject* path = zones.GetSelectorObject(0);
    TSelectorObject* corner = zones.GetSelectorObject(1);
    bool cornerMoved = false;
    const bool seen = QTest::qWaitFor(
        [&] {
            cornerMoved = cornerMoved || corner->Flashing() ||
                          (!corner->Caption().isEmpty() && corner->Caption() != "0 %");
            return path->Flashing();
        },
        10000);
    EXPECT_TRUE(seen);
    // Ten more frames of watching: the corner stays quiet.
    const int64_t until = FManager->FrameCounter() + 10;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            cornerMoved = cornerMoved || corner->Flashing() ||
                          (!corner->Caption().isEmpty() && corner->Caption() != "0 %");
            return FManager->FrameCounter() >= until;
        },
        5000));
    EXPECT_FALSE(cornerMoved);
    EXPECT_EQ(corner->Caption(), "0 %");
}

}  // namespace
