#include "alarms/AlarmsSetupForm.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "alarms/RetentionSetupForm.h"
#include "localisation/LanguageFile.h"
#include "notifications/NotificationSettingsStore.h"
#include "localisation/TandrelTexts.h"
#include "platform/MediaFramework.h"
#include "support/LogCapture.h"
#include "support/SettingsHome.h"
#include "ui/MessageDialog.h"

namespace {

template <typename T>
T* Child(QWidget& form, const char* name) {
    T* child = form.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// A short mono 16-bit PCM WAV file (a 440 Hz tone), playable by any media graph.
void WritePcmWav(const QString& fileName) {
    constexpr uint32_t kRate = 8000;
    constexpr uint32_t kSamples = kRate / 5;
    QByteArray data;
    auto put16 = [&data](uint16_t v) { data.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto put32 = [&](uint32_t v) {
        put16(uint16_t(v & 0xFFFF));
        put16(uint16_t(v >> 16));
    };
    data.append("RIFF");
    put32(36 + kSamples * 2);
    data.append("WAVEfmt ");
    put32(16);
    put16(1);  // PCM
    put16(1);  // mono
    put32(kRate);
    put32(kRate * 2);
    put16(2);
    put16(16);
    data.append("data");
    put32(kSamples * 2);
    for (uint32_t i = 0; i < kSamples; ++i) {
        put16(uint16_t(int16_t(8000 * std::sin(2 * std::numbers::pi * 440 * i / kRate))));
    }
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

// Drives ShowAlarmsSetupForm without a user: the dialog is shown, the test's steps run, and the
// dialog's result (set by OK or Cancel, else Rejected) ends the "modal" run. Message boxes, the
// open dialog and the file manager are replaced by recorders.
class AlarmsSetupFormTest : public ::testing::Test {
protected:
    using TSteps = std::function<void(TAlarmsSetupForm&)>;

    void SetUp() override {
        ASSERT_TRUE(InitializeMediaFramework());
        ASSERT_TRUE(FFolder.isValid());
        LoadLanguageFile("");
        FOldFile = FFolder.filePath("old alarm.wav");
        WritePcmWav(FOldFile);

        FPreviousMessageHook = SetMessageDialogHook([this](QMessageBox& box) {
            FMessages.push_back(box.text());
            FMessageCaption = box.windowTitle();
            FMessageIcon = box.icon();
            FMessageButtons.clear();
            for (QAbstractButton* button : box.buttons()) {
                FMessageButtons << button->text();
            }
            return mrOk;
        });
        FPreviousOpenDialogHook = SetAlarmsOpenDialogHook([this](QWidget*, const QString& preset) {
            FOpenDialogPresets << preset;
            return FChosenFile;
        });
        FPreviousOpenFolderHook =
            SetAlarmsOpenFolderHook([this](const QString& folder) { FOpenedFolders << folder; });
        FPreviousRunHook = SetAlarmsSetupFormRunHook([this](TAlarmsSetupForm& form) {
            form.show();
            if (FSteps) {
                FSteps(form);
            }
            return form.result();
        });
    }

    void TearDown() override {
        SetMessageDialogHook(FPreviousMessageHook);
        SetAlarmsOpenDialogHook(FPreviousOpenDialogHook);
        SetAlarmsOpenFolderHook(FPreviousOpenFolderHook);
        SetAlarmsSetupFormRunHook(FPreviousRunHook);
        LoadLanguageFile("");
    }

    // Zone 1 plays the old file, zone 2 has no alarm.
    void AddTwoZones(TAlarmSettings& settings) {
        TZoneAlarmSettings* zone1 = settings.AddZone();
        zone1->SoundVideoAlarmEnabled = true;
        zone1->SoundVideoAlarmFileName = FOldFile.toStdString();
        TZoneAlarmSettings* zone2 = settings.AddZone();
        zone2->SoundVideoAlarmFileName = "zone2.wav";
    }

    bool Run(TAlarmSettings& settings, TSteps steps) {
        FSteps = std::move(steps);
        return ShowAlarmsSetupForm(settings, "/recordings/motion", "/recordings/constant");
    }

    static void ChooseZone(TAlarmsSetupForm& form, int row) {
        auto* list = Child<QListWidget>(form, "lbxZones");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }

    void ChooseFile(TAlarmsSetupForm& form, const QString& fileName) {
        FChosenFile = fileName;
        Child<QPushButton>(form, "btnSelectSoundVideoAlarmFile")->click();
    }

    static void ClickOK(TAlarmsSetupForm& form) { Child<QPushButton>(form, "btnOK")->click(); }
    static void ClickCancel(TAlarmsSetupForm& form) {
        Child<QPushButton>(form, "btnCancel")->click();
    }

    QTemporaryDir FFolder;
    QString FOldFile;
    QString FChosenFile;
    TSteps FSteps;
    QStringList FMessages;
    QString FMessageCaption;
    QMessageBox::Icon FMessageIcon = QMessageBox::NoIcon;
    QStringList FMessageButtons;
    QStringList FOpenDialogPresets;
    QStringList FOpenedFolders;

private:
    TMessageDialogHook FPreviousMessageHook;
    TAlarmsOpenDialogHook FPreviousOpenDialogHook;
    TAlarmsOpenFolderHook FPreviousOpenFolderHook;
    TAlarmsSetupFormRunHook FPreviousRunHook;
};

}  // namespace

TEST_F(AlarmsSetupFormTest, LayoutFollowsTheDesign) {
    struct Component {
        const char* name;
        QRect geometry;
        const char* parent;
    };
    const Component components[] = {
        {"GroupBox1", {8, 7, 560, 99}, "AlarmsSetupForm"},
        {"chkUseMotionVideoLogger", {9, 20, 456, 17}, "GroupBox1"},
        {"chkUseConstantVideoLogger", {9, 43, 456, 17}, "GroupBox1"},
        {"btnOpenMotionDetectionVideoFolder", {471, 19, 75, 20}, "GroupBox1"},
        {"btnOpenContinuallyVideoFolder", {471, 42, 75, 20}, "GroupBox1"},
        {"cbRecordingFormat", {105, 65, 121, 22}, "GroupBox1"},
        {"lbxZones", {8, 130, 97, 172}, "AlarmsSetupForm"},
        {"gbAlarmProperties", {112, 112, 456, 190}, "AlarmsSetupForm"},
        {"gbSoundVideoAlarm", {9, 28, 434, 57}, "gbAlarmProperties"},
        {"lbedSoundVideoAlarmFile", {13, 26, 377, 21}, "gbSoundVideoAlarm"},
        {"btnSelectSoundVideoAlarmFile", {396, 25, 23, 23}, "gbSoundVideoAlarm"},
        {"btnDiskSpace", {8, 308, 97, 25}, "AlarmsSetupForm"},
        {"btnNotifications", {111, 308, 97, 25}, "AlarmsSetupForm"},
        {"btnOK", {414, 308, 75, 25}, "AlarmsSetupForm"},
        {"btnCancel", {494, 308, 75, 25}, "AlarmsSetupForm"},
    };
    TAlarmSettings settings;
    AddTwoZones(settings);
    Run(settings, [&](TAlarmsSetupForm& form) {
        EXPECT_EQ(form.objectName(), "AlarmsSetupForm");
        EXPECT_EQ(form.size(), QSize(576, 349));
        EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "fixed size";
        EXPECT_EQ(form.font().pointSize(), 8);
        EXPECT_EQ(form.windowTitle(), "Alarms");
        for (const Component& c : components) {
            QWidget* widget = Child<QWidget>(form, c.name);
            ASSERT_NE(widget, nullptr);
            EXPECT_EQ(widget->geometry(), c.geometry) << c.name;
            EXPECT_EQ(widget->parentWidget()->objectName(), c.parent) << c.name;
        }
        // The alarm check box is as wide as the design or as its text needs, whichever is more.
        auto* enable = Child<QCheckBox>(form, "cbEnableSoundVideoAlarm");
        EXPECT_EQ(enable->geometry(), QRect(22, 23, std::max(147, enable->sizeHint().width()), 17));
        EXPECT_EQ(enable->parentWidget()->objectName(), "gbAlarmProperties");
        EXPECT_EQ(Child<QLabel>(form, "lbZones")->pos(), QPoint(8, 112));
        // The format's label sits left of its combo box, centred on it.
        auto* formatLabel = Child<QLabel>(form, "lbRecordingFormat");
        auto* format = Child<QComboBox>(form, "cbRecordingFormat");
        EXPECT_EQ(formatLabel->x(), 9);
        EXPECT_LE(formatLabel->geometry().right() + 1 + 6, format->x());
        EXPECT_LE(std::abs(formatLabel->geometry().center().y() - format->geometry().center().y()),
                  1);
        EXPECT_EQ(formatLabel->buddy(), format);
        EXPECT_TRUE(Child<QLineEdit>(form, "lbedSoundVideoAlarmFile")->isReadOnly());
        EXPECT_EQ(Child<QPushButton>(form, "btnSelectSoundVideoAlarmFile")->text(), "...");
        // The labelled edit's label sits just above the edit.
        auto* label = Child<QLabel>(form, "lbedSoundVideoAlarmFileLabel");
        EXPECT_EQ(label->x(), 13);
        EXPECT_EQ(label->geometry().bottom() + 1 + 3, 26);
    });
}

TEST_F(AlarmsSetupFormTest, CaptionsComeFromTheStringTable) {
    const std::vector<std::pair<TTextIndex, std::string>> translated = {
        {txtAlarms, "Alarme"},
        {txtZones, "Zonen"},
        {txtZone, "Zone-"},
        {txtVideoLoggerSettings, "Videoaufzeichnung"},
        {txtUseMotionDetectionVideoLogger, "Bei Bewegung aufzeichnen"},
        {txtUseContinuallyRunningVideoLogger, "Immer aufzeichnen"},
        {txtAlarmProperties, "Alarmeinstellungen"},
        {txtEnableSoundVideoAlarm, "Alarm an"},
        {txtSoundVideoAlarmFile, "Alarmdatei"},
        {txtOK, "Gut"},
        {txtCancel, "Abbrechen"},
        {txtOpenFolder, "Ordner"},
        {txtDiskSpace, "Platz"},
        {txtNotifications, "Meldungen"},
        {txtRecordingFormat, "Format:"},
    };
    for (const auto& [index, text] : translated) {
        CurrentTexts.Texts[index] = text;
    }
    TAlarmSettings settings;
    AddTwoZones(settings);
    Run(settings, [&](TAlarmsSetupForm& form) {
        EXPECT_EQ(form.windowTitle(), "Alarme");
        EXPECT_EQ(Child<QLabel>(form, "lbZones")->text(), "Zonen");
        EXPECT_EQ(Child<QGroupBox>(form, "GroupBox1")->title(), "Videoaufzeichnung");
        EXPECT_EQ(Child<QCheckBox>(form, "chkUseMotionVideoLogger")->text(),
                  "Bei Bewegung aufzeichnen");
        EXPECT_EQ(Child<QCheckBox>(form, "chkUseConstantVideoLogger")->text(), "Immer aufzeichnen");
        EXPECT_EQ(Child<QGroupBox>(form, "gbAlarmProperties")->title(), "Alarmeinstellungen");
        EXPECT_EQ(Child<QCheckBox>(form, "cbEnableSoundVideoAlarm")->text(), "Alarm an");
        EXPECT_EQ(Child<QLabel>(form, "lbedSoundVideoAlarmFileLabel")->text(), "Alarmdatei");
        EXPECT_EQ(Child<QPushButton>(form, "btnOK")->text(), "Gut");
        EXPECT_EQ(Child<QPushButton>(form, "btnCancel")->text(), "Abbrechen");
        EXPECT_EQ(Child<QPushButton>(form, "btnOpenMotionDetectionVideoFolder")->text(), "Ordner");
        EXPECT_EQ(Child<QPushButton>(form, "btnOpenContinuallyVideoFolder")->text(), "Ordner");
        EXPECT_EQ(Child<QPushButton>(form, "btnDiskSpace")->text(), "Platz...");
        EXPECT_EQ(Child<QPushButton>(form, "btnNotifications")->text(), "Meldungen...");
        EXPECT_EQ(Child<QLabel>(form, "lbRecordingFormat")->text(), "Format:");
        auto* list = Child<QListWidget>(form, "lbxZones");
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->item(1)->text(), "Zone-2");
    });
}

TEST_F(AlarmsSetupFormTest, TabOrderRunsFromTheButtonsToTheZonesToTheLoggers) {
    const QStringList expected = {"btnOK",
                                  "btnCancel",
                                  "lbxZones",
                                  "cbEnableSoundVideoAlarm",
                                  "lbedSoundVideoAlarmFile",
                                  "btnSelectSoundVideoAlarmFile",
                                  "chkUseMotionVideoLogger",
                                  "chkUseConstantVideoLogger",
                                  "btnOpenMotionDetectionVideoFolder",
                                  "btnOpenContinuallyVideoFolder",
                                  "cbRecordingFormat",
                                  "btnDiskSpace",
                                  "btnNotifications"};
    TAlarmSettings settings;
    Run(settings, [&](TAlarmsSetupForm& form) {
        // The focus chain also holds widgets that Tab skips (labels, group boxes, viewports).
        QStringList chain;
        QWidget* first = Child<QWidget>(form, "btnOK");
        QWidget* widget = first;
        do {
            if ((widget->focusPolicy() & Qt::TabFocus) != 0) {
                chain << widget->objectName();
            }
            widget = widget->nextInFocusChain();
        } while (widget != first && chain.size() <= expected.size());
        EXPECT_EQ(chain.join(", ").toStdString(), expected.join(", ").toStdString());
    });
}

TEST_F(AlarmsSetupFormTest, ZonesAreListedAndTheFirstIsShown) {
    TAlarmSettings settings;
    AddTwoZones(settings);
    Run(settings, [&](TAlarmsSetupForm& form) {
        auto* list = Child<QListWidget>(form, "lbxZones");
        auto* enable = Child<QCheckBox>(form, "cbEnableSoundVideoAlarm");
        auto* edit = Child<QLineEdit>(form, "lbedSoundVideoAlarmFile");
        auto* select = Child<QPushButton>(form, "btnSelectSoundVideoAlarmFile");
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->item(0)->text(), "Zone1");
        EXPECT_EQ(list->item(1)->text(), "Zone2");
        EXPECT_EQ(list->currentRow(), 0);
        EXPECT_TRUE(enable->isEnabled());
        EXPECT_TRUE(enable->isChecked());
        EXPECT_EQ(edit->text(), FOldFile);
        EXPECT_TRUE(edit->isEnabled());
        EXPECT_TRUE(select->isEnabled());

        // Zone 2 has no alarm: its file is shown but cannot be changed.
        ChooseZone(form, 1);
        EXPECT_EQ(list->currentRow(), 1);
        EXPECT_FALSE(enable->isChecked());
        EXPECT_EQ(edit->text(), "zone2.wav");
        EXPECT_FALSE(edit->isEnabled());
        EXPECT_FALSE(select->isEnabled());

        ChooseZone(form, 0);
        EXPECT_TRUE(edit->isEnabled());
        EXPECT_EQ(edit->text(), FOldFile);
    });
}

TEST_F(AlarmsSetupFormTest, EnablingTheAlarmChangesOnlyTheSelectedZone) {
    TAlarmSettings settings;
    AddTwoZones(settings);
    EXPECT_TRUE(Run(settings, [&](TAlarmsSetupForm& form) {
        ChooseZone(form, 1);
        Child<QCheckBox>(form, "cbEnableSoundVideoAlarm")->click();
        EXPECT_TRUE(Child<QPushButton>(form, "btnSelectSoundVideoAlarmFile")->isEnabled());
        ChooseZone(form, 0);
        Child<QCheckBox>(form, "cbEnableSoundVideoAlarm")->click();
        EXPECT_FALSE(Child<QLineEdit>(form, "lbedSoundVideoAlarmFile")->isEnabled());
        ClickOK(form);
    }));
    EXPECT_FALSE(settings.Zone(0)->SoundVideoAlarmEnabled);
    EXPECT_TRUE(settings.Zone(1)->SoundVideoAlarmEnabled);
    EXPECT_EQ(settings.Zone(1)->SoundVideoAlarmFileName, "zone2.wav");
}

TEST_F(AlarmsSetupFormTest, CameraWithoutZonesStillSwitchesTheLoggers) {
    TAlarmSettings settings;
    settings.SetUseMotionVideoLogger(true);
    settings.SetUseConstantVideoLogger(false);
    LogCapture log;
    EXPECT_TRUE(Run(settings, [&](TAlarmsSetupForm& form) {
        EXPECT_EQ(Child<QListWidget>(form, "lbxZones")->count(), 0);
        EXPECT_FALSE(Child<QCheckBox>(form, "cbEnableSoundVideoAlarm")->isEnabled());
        EXPECT_FALSE(Child<QPushButton>(form, "btnSelectSoundVideoAlarmFile")->isEnabled());
        auto* motion = Child<QCheckBox>(form, "chkUseMotionVideoLogger");
        auto* constant = Child<QCheckBox>(form, "chkUseConstantVideoLogger");
        EXPECT_TRUE(motion->isChecked());
        EXPECT_FALSE(constant->isChecked());
        motion->click();
        constant->click();
        ClickOK(form);
    }));
    EXPECT_FALSE(settings.UseMotionVideoLogger());
    EXPECT_TRUE(settings.UseConstantVideoLogger());
    EXPECT_EQ(settings.ZoneCount(), 0);
    EXPECT_TRUE(log.Lines().empty());
}

// One format for both kinds of recording: the combo box shows the stored one, and OK hands the
// choice back; Cancel keeps the caller's.
TEST_F(AlarmsSetupFormTest, RecordingFormatIsChosenInTheComboBox) {
    struct Case {
        TRecordingFormat Stored;
        int Chosen;  // the row chosen, -1 none
        bool Accept;
        TRecordingFormat Expected;
    };
    const Case cases[] = {
        {TRecordingFormat::Wmv, 1, true, TRecordingFormat::Mp4},
        {TRecordingFormat::Mp4, 0, true, TRecordingFormat::Wmv},
        {TRecordingFormat::Mp4, -1, true, TRecordingFormat::Mp4},
        {TRecordingFormat::Wmv, 1, false, TRecordingFormat::Wmv},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.Stored) << " " << c.Chosen << " "
                                        << c.Accept);
        TAlarmSettings settings;
        AddTwoZones(settings);
        settings.SetRecordingFormat(c.Stored);
        LogCapture log;
        EXPECT_EQ(Run(settings,
                      [&](TAlarmsSetupForm& form) {
                          auto* combo = Child<QComboBox>(form, "cbRecordingFormat");
                          ASSERT_EQ(combo->count(), 2);
                          EXPECT_EQ(combo->itemText(0), "WMV");
                          EXPECT_EQ(combo->itemText(1), "MP4 (H.264)");
                          EXPECT_EQ(combo->currentIndex(),
                                    c.Stored == TRecordingFormat::Mp4 ? 1 : 0);
                          if (c.Chosen >= 0) {
                              combo->setCurrentIndex(c.Chosen);
                          }
                          c.Accept ? ClickOK(form) : ClickCancel(form);
                      }),
                  c.Accept);
        EXPECT_EQ(settings.RecordingFormat(), c.Expected);
        EXPECT_EQ(settings.ZoneCount(), 2);
        EXPECT_TRUE(log.Lines().empty());
    }
    // A new camera records WMV.
    EXPECT_EQ(TAlarmSettings().RecordingFormat(), TRecordingFormat::Wmv);
}

// A long label moves the combo box right, and the dialog widens when the group box has no room
// left for it.
TEST_F(AlarmsSetupFormTest, TheFormatComboBoxMakesRoomForALongLabel) {
    const std::string shortLabel = "Format:";
    const std::string longLabel =
        "The file format in which the recordings of motion and the continually running "
        "recordings of this camera are written from the next file on:";
    for (const std::string& label : {shortLabel, longLabel}) {
        SCOPED_TRACE(label);
        CurrentTexts.Texts[txtRecordingFormat] = label;
        TAlarmSettings settings;
        Run(settings, [&](TAlarmsSetupForm& form) {
            auto* text = Child<QLabel>(form, "lbRecordingFormat");
            auto* combo = Child<QComboBox>(form, "cbRecordingFormat");
            auto* group = Child<QGroupBox>(form, "GroupBox1");
            EXPECT_GE(text->width(), text->sizeHint().width());
            EXPECT_EQ(combo->x(), std::max(105, text->geometry().right() + 1 + 6));
            EXPECT_GE(combo->width(), combo->sizeHint().width());
            EXPECT_LE(combo->geometry().right() + 1 + 14, group->width());
            EXPECT_EQ(form.width() > 576, label == longLabel);
            const QRect before = combo->geometry();
            form.RefreshTexts();
            EXPECT_EQ(combo->geometry(), before) << "a second refresh changes nothing";
        });
    }
}

TEST_F(AlarmsSetupFormTest, CancelLeavesTheCallersSettingsAlone) {
    const QString newFile = FFolder.filePath("new alarm.wav");
    WritePcmWav(newFile);
    TAlarmSettings settings;
    AddTwoZones(settings);
    EXPECT_FALSE(Run(settings, [&](TAlarmsSetupForm& form) {
        ChooseFile(form, newFile);
        EXPECT_EQ(Child<QLineEdit>(form, "lbedSoundVideoAlarmFile")->text(), newFile);
        Child<QCheckBox>(form, "chkUseConstantVideoLogger")->click();
        ClickCancel(form);
    }));
    EXPECT_EQ(settings.Zone(0)->SoundVideoAlarmFileName, FOldFile.toStdString());
    EXPECT_FALSE(settings.UseConstantVideoLogger());
    EXPECT_EQ(settings.ZoneCount(), 2);
}

TEST_F(AlarmsSetupFormTest, PlayableFileIsStoredInTheSelectedZone) {
    const QString newFile = FFolder.filePath("new alarm.wav");
    WritePcmWav(newFile);
    TAlarmSettings settings;
    AddTwoZones(settings);
    EXPECT_TRUE(Run(settings, [&](TAlarmsSetupForm& form) {
        ChooseFile(form, newFile);
        EXPECT_EQ(Child<QLineEdit>(form, "lbedSoundVideoAlarmFile")->text(), newFile);
        ClickOK(form);
    }));
    EXPECT_EQ(FOpenDialogPresets, QStringList{FOldFile}) << "the dialog starts on the current file";
    EXPECT_TRUE(FMessages.isEmpty());
    EXPECT_EQ(settings.Zone(0)->SoundVideoAlarmFileName, newFile.toStdString());
    EXPECT_EQ(settings.Zone(1)->SoundVideoAlarmFileName, "zone2.wav");
}

TEST_F(AlarmsSetupFormTest, UnplayableFileIsRefusedWithOneMessage) {
    const QString textFile = FFolder.filePath("not sound.wav");
    {
        QFile file(textFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("This is a text file, not a sound.\n");
    }
    TAlarmSettings settings;
    AddTwoZones(settings);
    EXPECT_TRUE(Run(settings, [&](TAlarmsSetupForm& form) {
        ChooseFile(form, textFile);
        EXPECT_EQ(Child<QLineEdit>(form, "lbedSoundVideoAlarmFile")->text(), FOldFile);
        ClickOK(form);
    }));
    EXPECT_EQ(FMessages, QStringList{"File cannot be played!"});
    EXPECT_EQ(FMessageCaption, "Tandrel");
    EXPECT_EQ(FMessageIcon, QMessageBox::Information);
    EXPECT_EQ(FMessageButtons, QStringList{"OK"});
    EXPECT_EQ(settings.Zone(0)->SoundVideoAlarmFileName, FOldFile.toStdString());
}

TEST_F(AlarmsSetupFormTest, MissingFileOrCancelledChoiceChangesNothingSilently) {
    const QString choices[] = {FFolder.filePath("missing.wav"), QString(), FFolder.path()};
    for (const QString& choice : choices) {
        TAlarmSettings settings;
        AddTwoZones(settings);
        LogCapture log;
        EXPECT_TRUE(Run(settings, [&](TAlarmsSetupForm& form) {
            ChooseFile(form, choice);
            EXPECT_EQ(Child<QLineEdit>(form, "lbedSoundVideoAlarmFile")->text(), FOldFile);
            ClickOK(form);
        }));
        EXPECT_TRUE(FMessages.isEmpty()) << choice.toStdString();
        EXPECT_TRUE(log.Lines().empty()) << choice.toStdString();
        EXPECT_EQ(settings.Zone(0)->SoundVideoAlarmFileName, FOldFile.toStdString());
    }
}

TEST_F(AlarmsSetupFormTest, OpenFolderButtonsOpenTheirFolders) {
    TAlarmSettings settings;
    Run(settings, [&](TAlarmsSetupForm& form) {
        Child<QPushButton>(form, "btnOpenMotionDetectionVideoFolder")->click();
        Child<QPushButton>(form, "btnOpenContinuallyVideoFolder")->click();
    });
    EXPECT_EQ(FOpenedFolders, (QStringList{"/recordings/motion", "/recordings/constant"}));
}

TEST_F(AlarmsSetupFormTest, GrowingCaptionsResizeTheirControls) {
    struct Case {
        const char* openFolder;
        const char* enableAlarm;
        bool wider;
    };
    const Case cases[] = {
        {"Open Folder in the File Manager", "Enable the Sound or Video Alarm of this Zone", true},
        {"Open", "Alarm", false},  // shorter: the buttons stay, the check box shrinks
    };
    for (const Case& c : cases) {
        CurrentTexts.Texts[txtOpenFolder] = c.openFolder;
        CurrentTexts.Texts[txtEnableSoundVideoAlarm] = c.enableAlarm;
        TAlarmSettings settings;
        AddTwoZones(settings);
        Run(settings, [&](TAlarmsSetupForm& form) {
            const QFontMetrics metrics(form.font());
            const int growth = std::max(0, metrics.horizontalAdvance(c.openFolder) -
                                               metrics.horizontalAdvance("Open Folder"));
            ASSERT_EQ(growth > 0, c.wider) << "the dialog's font measures text";
            for (const char* name :
                 {"btnOpenMotionDetectionVideoFolder", "btnOpenContinuallyVideoFolder"}) {
                auto* button = Child<QPushButton>(form, name);
                EXPECT_EQ(button->x(), 471 - growth) << name << " / " << c.openFolder;
                EXPECT_EQ(button->x() + button->width(), 471 + 75) << "right edge kept";
                EXPECT_EQ(button->text(), c.openFolder);
            }
            // The check box changes by the change of its text's width, and is at least as wide as
            // its text needs.
            auto* enable = Child<QCheckBox>(form, "cbEnableSoundVideoAlarm");
            EXPECT_EQ(enable->width(),
                      std::max(147 + metrics.horizontalAdvance(c.enableAlarm) -
                                   metrics.horizontalAdvance("Enable Sound/Video Alarm"),
                               enable->sizeHint().width()));
            EXPECT_EQ(enable->pos(), QPoint(22, 23));

            // A second refresh with the same texts changes nothing.
            form.RefreshTexts();
            EXPECT_EQ(Child<QPushButton>(form, "btnOpenContinuallyVideoFolder")->x(), 471 - growth);
        });
    }
}

TEST_F(AlarmsSetupFormTest, EnterAcceptsAndEscapeCancelsWhereverTheFocusIs) {
    struct Case {
        Qt::Key key;
        const char* focus;
        bool accepted;
    };
    const Case cases[] = {
        {Qt::Key_Return, "lbxZones", true},  {Qt::Key_Enter, "chkUseMotionVideoLogger", true},
        {Qt::Key_Return, "btnCancel", true},  // the dialog sees the key before the button
        {Qt::Key_Escape, "lbxZones", false}, {Qt::Key_Escape, "btnOK", false},
    };
    for (const Case& c : cases) {
        TAlarmSettings settings;
        AddTwoZones(settings);
        settings.SetUseMotionVideoLogger(false);
        const bool result = Run(settings, [&](TAlarmsSetupForm& form) {
            Child<QCheckBox>(form, "chkUseMotionVideoLogger")->click();
            QWidget* target = Child<QWidget>(form, c.focus);
            target->setFocus();
            QTest::keyClick(target, c.key);
            EXPECT_FALSE(form.isVisible());
        });
        EXPECT_EQ(result, c.accepted) << c.focus;
        EXPECT_EQ(settings.UseMotionVideoLogger(), c.accepted) << c.focus;
    }
}

// The Notifications dialog stores its settings on its own OK; the opener learns of it even when
// the Alarms dialog is then cancelled, and the test button uses the opener's sender.
TEST_F(AlarmsSetupFormTest, NotificationsButtonOpensTheNotificationsDialog) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    UseSettingsHome(home.path());
    struct Case {
        bool acceptNotifications;
        bool acceptAlarms;
    };
    for (const Case c : {Case{true, false}, Case{false, true}, Case{true, true}}) {
        SCOPED_TRACE(testing::Message() << c.acceptNotifications << " " << c.acceptAlarms);
        QString testResult;
        const TNotificationsSetupFormRunHook previous =
            SetNotificationsSetupFormRunHook([&](TNotificationsSetupForm& form) {
                form.show();
                form.findChild<QPushButton*>("btnSendTestEvent")->click();
                auto* result = form.findChild<QLabel*>("lbTestResult");
                EXPECT_TRUE(QTest::qWaitFor([&] { return result->text() != "Sending..."; }));
                testResult = result->text();
                form.findChild<QCheckBox*>("chkSnapshots")->setChecked(false);
                form.findChild<QPushButton*>(c.acceptNotifications ? "btnOK" : "btnCancel")
                    ->click();
                return form.result();
            });
        TNotificationSettings stored;
        stored.Snapshots = true;
        ASSERT_TRUE(SaveNotificationSettings(stored));
        TAlarmSettings settings;
        bool changed = !c.acceptNotifications;
        FSteps = [&](TAlarmsSetupForm& form) {
            Child<QPushButton>(form, "btnNotifications")->click();
            EXPECT_EQ(form.NotificationsChanged(), c.acceptNotifications);
            c.acceptAlarms ? ClickOK(form) : ClickCancel(form);
        };
        const bool accepted = ShowAlarmsSetupForm(
            settings, "", "", nullptr,
            [](const TNotificationSettings&) { return std::string("No receiver answered."); },
            &changed);
        SetNotificationsSetupFormRunHook(previous);
        EXPECT_EQ(accepted, c.acceptAlarms);
        EXPECT_EQ(changed, c.acceptNotifications);
        EXPECT_EQ(testResult, "No receiver answered.");
        EXPECT_EQ(LoadNotificationSettings().Snapshots, !c.acceptNotifications);
    }
}

TEST_F(AlarmsSetupFormTest, RunsModallyForReal) {
    SetAlarmsSetupFormRunHook(nullptr);
    TAlarmSettings settings;
    AddTwoZones(settings);
    // Once the modal loop runs, switch the constant logger on and press Enter.
    QTimer::singleShot(0, [] {
        TAlarmsSetupForm* form = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* candidate = qobject_cast<TAlarmsSetupForm*>(widget)) {
                form = candidate;
            }
        }
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(QApplication::activeModalWidget(), form);
        Child<QCheckBox>(*form, "chkUseConstantVideoLogger")->click();
        QTest::keyClick(form, Qt::Key_Return);
    });
    EXPECT_TRUE(ShowAlarmsSetupForm(settings, "", ""));
    EXPECT_TRUE(settings.UseConstantVideoLogger());
    EXPECT_EQ(settings.ZoneCount(), 2);
}

TEST_F(AlarmsSetupFormTest, DialogIsCentredOnTheMainWindow) {
    QWidget mainWindow;
    mainWindow.setGeometry(300, 200, 926, 521);
    TAlarmsSetupForm form(&mainWindow);
    const QPoint offset = form.geometry().center() - mainWindow.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2);
}

// The disk space button edits the retention limits of the working copy: OK in the small dialog
// and in the alarms dialog hands them back; Cancel in either keeps the caller's.
TEST_F(AlarmsSetupFormTest, DiskSpaceLimitsAreEditedInTheirOwnDialog) {
    const TRetentionLimits edited{3, 500, 20000, 7};
    struct Case {
        bool AcceptSmall;
        bool AcceptAlarms;
        bool Changed;
    };
    for (const Case c : {Case{true, true, true}, Case{false, true, false},
                         Case{true, false, false}}) {
        TRetentionLimits shown;
        const TRetentionSetupFormRunHook previous =
            SetRetentionSetupFormRunHook([&](TRetentionSetupForm& form) {
                shown = form.Limits();
                form.SetLimits(edited);
                return c.AcceptSmall ? QDialog::Accepted : QDialog::Rejected;
            });
        TAlarmSettings settings;
        Run(settings, [&](TAlarmsSetupForm& form) {
            Child<QPushButton>(form, "btnDiskSpace")->click();
            c.AcceptAlarms ? ClickOK(form) : ClickCancel(form);
        });
        SetRetentionSetupFormRunHook(previous);
        EXPECT_EQ(shown, TRetentionLimits{}) << "the defaults are shown first";
        EXPECT_EQ(settings.RetentionLimits(), c.Changed ? edited : TRetentionLimits{});
    }
}

// The small dialog's spin boxes hold each value within the range the settings store accepts.
TEST(RetentionSetupForm, ShowsTheDefaultsAndKeepsValuesInRange) {
    TRetentionSetupForm form;
    EXPECT_EQ(form.windowTitle(), "Disk Space");
    EXPECT_EQ(form.Limits(), TRetentionLimits{});
    EXPECT_EQ(TRetentionLimits{}, (TRetentionLimits{5, 2048, 0, 30}));
    form.SetLimits(TRetentionLimits{90, -4, 2000000000, 99999});
    EXPECT_EQ(form.Limits(), (TRetentionLimits{50, 0, 1073741824, 3650}));
    auto* label = form.findChild<QLabel*>("lbRecordingAgeDays");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Delete recordings older than (days, 0 = never)");
}

// The seconds before and after the motion sit in the same dialog: 2 s before and 5 s after by
// default, each kept within its range.
TEST(RetentionSetupForm, SecondsAroundTheMotionAreShownAndKeptInRange) {
    const struct {
        const char* Label;
        const char* Text;
        int32_t TRetentionLimits::*Field;
        int32_t Default;
        int32_t Max;
    } fields[] = {
        {"lbPreEventSeconds", "Pre-event recording (seconds before the motion, 0 = off)",
         &TRetentionLimits::PreEventSeconds, 2, 10},
        {"lbPostEventSeconds", "Recording goes on after the motion (seconds, 0 = stop at once)",
         &TRetentionLimits::PostEventSeconds, 5, 60},
    };
    for (const auto& field : fields) {
        SCOPED_TRACE(field.Label);
        TRetentionSetupForm form;
        EXPECT_EQ(form.Limits().*field.Field, field.Default);
        auto* label = form.findChild<QLabel*>(field.Label);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), field.Text);
        const struct {
            int32_t Given;
            int32_t Kept;
        } cases[] = {{0, 0}, {5, 5}, {field.Max, field.Max}, {field.Max + 1, field.Max}, {-1, 0}};
        for (const auto& c : cases) {
            TRetentionLimits limits;
            limits.*field.Field = c.Given;
            form.SetLimits(limits);
            EXPECT_EQ(form.Limits().*field.Field, c.Kept) << c.Given;
        }
    }
}
