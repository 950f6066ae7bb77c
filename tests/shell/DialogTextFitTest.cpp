// Every dialog of the program, opened offscreen in English and in each shipped translation with
// the program's own look (Fusion, the style sheet, the dialogs' Tahoma), shows all its texts
// whole: no label, button, check box or group box title is smaller than its text needs, no
// two of them cover each other, and a table's columns hold their header texts and the texts of
// the rows in view, inside the list.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "alarms/AlarmsSetupForm.h"
#include "alarms/RetentionSetupForm.h"
#include "capture/CameraManagerSetupForm.h"
#include "capture/DevicePropertiesDialog.h"
#include "localisation/LanguageFile.h"
#include "localisation/TempFolder.h"
#include "localisation/TandrelTexts.h"
#include "localisation/UiText.h"
#include "notifications/NotificationsSetupForm.h"
#include "platform/DateTime.h"
#include "platform/MediaFramework.h"
#include "shell/AboutForm.h"
#include "ui/MessageDialog.h"
#include "ui/VisualStyle.h"
#include "videolog/VideoLogInfo.h"
#include "videolog/VideoLogPreviewForm.h"
#include "videolog/VideoLoggerFrm.h"

namespace {

struct TLanguage {
    const char* Name;
    const char* File;  // in the shipped language folder; empty for the built-in English
};

const TLanguage kLanguages[] = {
    {"English", ""}, {"German", "German.lng"}, {"French", "French.lng"}};

// Loads the language as the program does.
void Load(const TLanguage& language) {
    const std::string file = *language.File == 0
                                 ? std::string()
                                 : std::string(TANDREL_LANGUAGE_DIR) + "/" + language.File;
    ASSERT_TRUE(LoadLanguageFile(file)) << file;
}

// The text a widget shows, the room it needs for it under the current style and font, and the
// part of the widget that the text (or, for a push button, the button face) takes.
struct TTextNeed {
    QString Text;
    QSize Needed;
    QRect Shown;  // in the widget's coordinates
};

QRect GroupBoxTitleRect(const QGroupBox& box) {
    QStyleOptionGroupBox option;
    option.initFrom(&box);
    option.text = box.title();
    option.textAlignment = box.alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    option.lineWidth = 1;
    return box.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel,
                                       &box);
}

// A push button draws its label in the style's contents rectangle (inside its frame, border and
// padding); the label needs its text's extent there.
QSize PushButtonNeeds(const QPushButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    if (button.isDefault()) {
        option.features |= QStyleOptionButton::DefaultButton;
    }
    if (button.autoDefault()) {
        option.features |= QStyleOptionButton::AutoDefaultButton;
    }
    const QRect contents =
        button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
    const QSize text = button.fontMetrics().size(Qt::TextShowMnemonic, button.text());
    return button.size() + text - contents.size();
}

TTextNeed TextNeed(const QWidget& widget) {
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        if (label->text().isEmpty()) {
            return {};
        }
        // A word-wrapped label needs its longest word across and its lines' height at its width.
        const QSize needed = label->wordWrap() ? QSize(label->minimumSizeHint().width(),
                                                       label->heightForWidth(label->width()))
                                               : label->sizeHint();
        return {label->text(), needed,
                QStyle::alignedRect(label->layoutDirection(), label->alignment(),
                                    needed.boundedTo(label->size()), label->rect())};
    }
    if (const auto* button = qobject_cast<const QPushButton*>(&widget)) {
        if (button->text().isEmpty()) {
            return {};
        }
        return {button->text(), PushButtonNeeds(*button), button->rect()};
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        if (button->text().isEmpty()) {
            return {};
        }
        // Check boxes and radio buttons: indicator, spacing and text, from the left.
        const QSize needed = button->sizeHint();
        return {button->text(), needed, QRect(QPoint(0, 0), needed.boundedTo(button->size()))};
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(&widget)) {
        if (box->title().isEmpty()) {
            return {};
        }
        // The title's text, with as much room after it as the style leaves before it.
        const QRect title = GroupBoxTitleRect(*box);
        const QFontMetrics metrics(box->font());
        const QSize needed(2 * title.x() + metrics.horizontalAdvance(box->title()),
                           title.y() + metrics.height());
        return {box->title(), needed,
                QRect(title.topLeft(), QSize(needed.width() - title.x(), metrics.height()))};
    }
    return {};
}

std::string Name(const QWidget& widget) {
    return (widget.objectName().isEmpty() ? QString(widget.metaObject()->className())
                                          : widget.objectName())
        .toStdString();
}

// One line for every column of `table` whose header text or cell texts (of the rows in view)
// are wider than the column, or that the list's edge cuts off.
void CheckTable(const QTableView& table, std::vector<std::string>& problems) {
    const QHeaderView* header = table.horizontalHeader();
    const QAbstractItemModel* model = table.model();
    if (model == nullptr) {
        return;
    }
    const int firstRow = std::max(0, table.rowAt(0));
    const int bottomRow = table.rowAt(table.viewport()->height() - 1);
    const int lastRow = bottomRow < 0 ? model->rowCount() - 1 : bottomRow;
    for (int column = 0; column < model->columnCount(); ++column) {
        if (header->isSectionHidden(column)) {
            continue;
        }
        const std::string what =
            Name(table) + " column \"" +
            model->headerData(column, Qt::Horizontal).toString().toStdString() + "\"";
        const int width = header->sectionSize(column);
        if (header->sectionSizeHint(column) > width) {
            problems.push_back(what + " header needs " +
                               std::to_string(header->sectionSizeHint(column)) + ", has " +
                               std::to_string(width));
        }
        // A cell draws inside the grid line at its right.
        const int grid = table.showGrid() ? 1 : 0;
        for (int row = firstRow; row <= lastRow; ++row) {
            const QModelIndex index = model->index(row, column);
            const int needed = table.sizeHintForIndex(index).width() + grid;
            if (needed > width) {
                problems.push_back(what + " cell \"" + index.data().toString().toStdString() +
                                   "\" needs " + std::to_string(needed) + ", has " +
                                   std::to_string(width));
            }
        }
        if (header->sectionViewportPosition(column) + width > table.viewport()->width()) {
            problems.push_back(what + " is cut off by the edge of the list (" +
                               std::to_string(table.viewport()->width()) + " wide)");
        }
    }
}

// One line for every text of `window` that is shown clipped or covered.
std::vector<std::string> ClippedTexts(QWidget& window) {
    struct TShown {
        std::string What;
        QRect InWindow;
    };
    std::vector<TShown> shown;
    std::vector<std::string> problems;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window)) {
            continue;
        }
        if (const auto* table = qobject_cast<const QTableView*>(widget)) {
            CheckTable(*table, problems);
        }
        const TTextNeed need = TextNeed(*widget);
        if (need.Text.isEmpty()) {
            continue;
        }
        const std::string what = Name(*widget) + " \"" + need.Text.toStdString() + "\"";
        if (need.Needed.width() > widget->width() || need.Needed.height() > widget->height()) {
            problems.push_back(what + " needs " + std::to_string(need.Needed.width()) + " x " +
                               std::to_string(need.Needed.height()) + ", has " +
                               std::to_string(widget->width()) + " x " +
                               std::to_string(widget->height()));
        }
        // Whatever of the widget lies outside its parent is cut off.
        const QWidget* parent = widget->parentWidget();
        if (parent != nullptr && !parent->rect().contains(widget->geometry())) {
            problems.push_back(what + " reaches out of " + Name(*parent));
        }
        shown.push_back(
            {what, QRect(widget->mapTo(&window, need.Shown.topLeft()), need.Shown.size())});
    }
    for (size_t i = 0; i < shown.size(); ++i) {
        for (size_t j = i + 1; j < shown.size(); ++j) {
            if (shown[i].InWindow.intersects(shown[j].InWindow)) {
                problems.push_back(shown[i].What + " overlaps " + shown[j].What);
            }
        }
    }
    return problems;
}

std::vector<TV4l2Control> SomeDeviceControls() {
    TV4l2Control brightness;
    brightness.Id = 0x00980900;
    brightness.Name = "Brightness";
    brightness.Type = TV4l2ControlType::Integer;
    brightness.Maximum = 255;
    brightness.Step = 1;
    TV4l2Control whiteBalance;
    whiteBalance.Id = 0x0098090c;
    whiteBalance.Name = "White Balance, Automatic";
    whiteBalance.Type = TV4l2ControlType::Boolean;
    whiteBalance.Maximum = 1;
    TV4l2Control powerLine;
    powerLine.Id = 0x00980918;
    powerLine.Name = "Power Line Frequency";
    powerLine.Type = TV4l2ControlType::Menu;
    powerLine.Maximum = 2;
    powerLine.MenuItems = {{0, "Disabled"}, {1, "50 Hz"}, {2, "60 Hz"}};
    TV4l2Control reset;
    reset.Id = 0x00980915;
    reset.Name = "Restore Factory Settings";
    reset.Type = TV4l2ControlType::Button;
    return {brightness, whiteBalance, powerLine, reset};
}

// Runs under the program's look and puts the test program's own look back afterwards.
class DialogTextFitTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(InitializeMediaFramework());
        FStyleName = QApplication::style()->name();
        FPalette = QApplication::palette();
        ApplyWindows10BlueStyle(*qApp);
    }

    void TearDown() override {
        qApp->setStyleSheet(QString());
        QApplication::setStyle(QStyleFactory::create(FStyleName));
        QApplication::setPalette(FPalette);
        LoadLanguageFile("");
    }

    // In every language, `open` shows its dialog and hands it to the check, which reports each
    // text shown clipped or covered.
    using TCheck = std::function<void(QWidget& window)>;
    void CheckEveryLanguage(const char* dialog, const std::function<void(const TCheck&)>& open) {
        for (const TLanguage& language : kLanguages) {
            Load(language);
            bool checked = false;
            open([&](QWidget& window) {
                checked = true;
                for (const std::string& problem : ClippedTexts(window)) {
                    ADD_FAILURE() << dialog << " in " << language.Name << ": " << problem;
                }
            });
            EXPECT_TRUE(checked) << dialog << " in " << language.Name << " was not shown";
        }
    }

private:
    QString FStyleName;
    QPalette FPalette;
};

TEST_F(DialogTextFitTest, AlarmsDialog) {
    CheckEveryLanguage("Alarms dialog", [](const auto& check) {
        TAlarmsSetupForm form;
        form.AlarmSettings().AddZone()->SoundVideoAlarmEnabled = true;
        form.AlarmSettings().AddZone();
        form.show();
        check(form);
    });
}

TEST_F(DialogTextFitTest, DiskSpaceDialog) {
    CheckEveryLanguage("Disk space dialog", [](const auto& check) {
        TRetentionSetupForm form;
        form.show();
        check(form);
    });
}

TEST_F(DialogTextFitTest, NotificationsDialog) {
    TNotificationSettings settings;
    settings.Mqtt.Enabled = true;
    settings.Mqtt.Host = "broker.lan";
    settings.Mqtt.Password = "secret";
    settings.Webhooks = {{"https://hooks.example.org/a", {"motion_start"}, "Bearer x", true}};
    TCommandSettings command;
    command.Event = "recording_finished";
    command.Program = "/usr/local/bin/upload";
    settings.Commands = {command};
    CheckEveryLanguage("Notifications dialog", [&](const auto& check) {
        TNotificationsSetupForm form;
        form.SetSettings(settings);
        form.SetTestSender([](const TNotificationSettings&) { return std::string(); });
        form.show();
        check(form);
        // With the answer of a test.
        auto* result = form.findChild<QLabel*>("lbTestResult");
        form.findChild<QPushButton*>("btnSendTestEvent")->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return result->text() == UiText(txtTestEventTaken); }));
        check(form);
    });
}

TEST_F(DialogTextFitTest, CameraSetupDialog) {
    CheckEveryLanguage("Camera setup dialog", [](const auto& check) {
        TCameraManagerSetupForm form;
        form.show();
        check(form);
        form.reject();
    });
}

TEST_F(DialogTextFitTest, AboutDialog) {
    CheckEveryLanguage("About dialog", [](const auto& check) {
        TTDRAboutForm form(nullptr, UiText(txtProductName), QString(), "2017", BuildVersionText());
        form.show();
        check(form);
    });
}

TEST_F(DialogTextFitTest, DeviceControlsDialog) {
    CheckEveryLanguage("Device controls dialog", [](const auto& check) {
        TDevicePropertiesDialog dialog(SomeDeviceControls(), nullptr, "Settings");
        dialog.show();
        check(dialog);
    });
}

TEST_F(DialogTextFitTest, VideoLogWindow) {
    // Recordings up to the longest a day of continuous recording makes.
    TempFolder temp;
    const std::string folder = temp.Path() + "/";
    for (int i = 0; i < 12; ++i) {
        const TDateTime start = EncodeDateTime({2026, 12, 28, 10 + i, 0, 0, 0});
        const std::string video =
            folder + "Rec_" + FormatDateTime("yyyymmdd_hhnnss", start) + ".wmv";
        std::ofstream(video) << "video";
        ASSERT_TRUE(SaveVideoLogInfo(folder, {start, i == 3 ? 86399.9 : 5.5 * i, video}, true));
    }
    CheckEveryLanguage("Video log window", [&](const auto& check) {
        TVideoLoggerFrm form;
        form.SetFolder(folder);
        form.SetConstantFolder("/nonexistent-continuous/");
        form.show();
        check(form);
    });
}

TEST_F(DialogTextFitTest, PreviewWindowWithAFileThatCannotBePlayed) {
    CheckEveryLanguage("Preview window", [](const auto& check) {
        TVideoLogPreviewFrm form;
        form.SetFileName("/nonexistent-folder/Rec_20261210_120000.wmv");
        form.show();
        form.FormShow();
        check(form);
    });
}

TEST_F(DialogTextFitTest, MessageDialogs) {
    const TTextIndex messages[] = {
        txtOnlyOneInstance,       txtNoInternet,          txtCannotRetrieveVersion,
        txtCannotRetrieveUpdater, txtCannotUnpackUpdater, txtRestartForChanges,
        txtMaximumZones,          txtFormatCannotBeUsed,  txtAddAtLeastOneZone,
        txtFileCannotBePlayed,    txtMqttHostMissing,     txtMqttPortInvalid,
        txtMqttTopicPrefixInvalid, txtCaFileMissing,      txtWebhookAddressInvalid,
        txtWebhookEventUnknown,   txtCommandEventMissing, txtCommandEventTwice,
        txtCommandTextInvalid,    txtCommandProgramMissing, txtNotificationsNotSaved,
    };
    CheckEveryLanguage("Message dialog", [&](const auto& check) {
        const TMessageDialogHook previous = SetMessageDialogHook([&](QMessageBox& box) {
            box.show();
            check(box);
            return mrOk;
        });
        for (TTextIndex message : messages) {
            ShowMessageDialog(UiText(message), TMsgDlgType::mtInformation,
                              {TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel, TMsgDlgBtn::mbClose},
                              UiText(txtProductName),
                              {UiText(txtOK), UiText(txtCancel), UiText(txtClose)});
        }
        SetMessageDialogHook(previous);
    });
}

// The dialogs laid out at fixed positions keep their design as the least: whatever grows, no
// control ends up smaller than it was built (labels and check boxes aside, whose widths follow
// their captions), and the controls on the right keep their design distance to the right edge
// of their dialog or group box.
TEST_F(DialogTextFitTest, FixedLayoutsKeepTheirDesignAsTheLeast) {
    struct TRightMargin {
        const char* Control;
        int Margin;
    };
    auto check = [](QDialog& dialog, const std::string& what,
                    std::initializer_list<TRightMargin> margins) {
        std::vector<std::pair<QWidget*, QSize>> built{{&dialog, dialog.size()}};
        for (QWidget* control : dialog.findChildren<QWidget*>()) {
            if (!control->objectName().isEmpty() && !control->objectName().startsWith("qt_") &&
                qobject_cast<QLabel*>(control) == nullptr &&
                qobject_cast<QCheckBox*>(control) == nullptr) {
                built.emplace_back(control, control->size());
            }
        }
        dialog.show();
        for (const auto& [control, size] : built) {
            EXPECT_GE(control->width(), size.width()) << what << ": " << Name(*control);
            EXPECT_GE(control->height(), size.height()) << what << ": " << Name(*control);
        }
        for (const TRightMargin& margin : margins) {
            auto* control = dialog.findChild<QWidget*>(margin.Control);
            ASSERT_NE(control, nullptr) << margin.Control;
            EXPECT_EQ(control->parentWidget()->width() - (control->x() + control->width()),
                      margin.Margin)
                << what << ": " << margin.Control;
        }
    };
    for (const TLanguage& language : kLanguages) {
        Load(language);
        {
            TAlarmsSetupForm form;
            form.AlarmSettings().AddZone();
            check(form, std::string("Alarms dialog in ") + language.Name,
                  {{"GroupBox1", 8},
                   {"gbAlarmProperties", 8},
                   {"btnCancel", 7},
                   {"btnOpenMotionDetectionVideoFolder", 14},
                   {"btnOpenContinuallyVideoFolder", 14},
                   {"gbSoundVideoAlarm", 13},
                   {"btnSelectSoundVideoAlarmFile", 15}});
        }
        {
            TCameraManagerSetupForm form;
            check(form, std::string("Camera setup dialog in ") + language.Name,
                  {{"btnCameraSettings", 11},
                   {"GroupBox1", 11},
                   {"gbMotionDetectionMode", 11},
                   {"btnCancel", 11},
                   {"edMotionDetectionSensitivity", 18}});
            form.reject();
        }
    }
}

}  // namespace
