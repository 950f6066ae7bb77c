#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

#include "alarms/AlarmSettings.h"
#include "notifications/NotificationsSetupForm.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The modal "Alarms" dialog: the two video-logger switches with buttons that open their
// recording folders, the file format of both kinds of recording, a button for the disk space the
// recordings keep free, one for where the events go (the "Notifications" dialog, which stores its
// settings on its own OK), and per zone the alarm file and whether it plays on motion. It edits a
// working copy; ShowAlarmsSetupForm hands the copy back only on OK.
class TAlarmsSetupForm : public QDialog {
    Q_OBJECT
public:
    explicit TAlarmsSetupForm(QWidget* parent = nullptr);
    ~TAlarmsSetupForm() override;

    // The working copy the dialog edits.
    TAlarmSettings& AlarmSettings() { return *FAlarmSettings; }
    // The folders the two "Open Folder" buttons open.
    void SetLogFolders(const QString& MotionLogFolder, const QString& ConstantLogFolder);
    // The sender of the Notifications dialog's "Send Test Event" button.
    void SetNotificationTestSender(TNotificationTestSender Sender);
    // True once the Notifications dialog was closed with OK (its settings are stored then,
    // whatever this dialog's own result): the opener rebuilds the outputs.
    bool NotificationsChanged() const { return FNotificationsChanged; }

    // Event handlers, named after their component and event.
    void FormShow();
    void lbxZonesClick();
    void cbEnableSoundVideoAlarmClick();
    void btnSelectSoundVideoAlarmFileClick();
    void chkUseMotionVideoLoggerClick();
    void chkUseConstantVideoLoggerClick();
    void cbRecordingFormatChange();
    void btnOpenMotionDetectionVideoFolderClick();
    void btnOpenContinuallyVideoFolderClick();
    // Edits how long recordings are kept and how much disk space stays free.
    void btnDiskSpaceClick();
    // Edits and stores where the events go.
    void btnNotificationsClick();
    // Enter clicks btnOK, Escape clicks btnCancel; true when the key was handled.
    bool FormKeyDown(int Key);

    // Takes every caption from the current UI string table; the check box of the alarm and the
    // two "Open Folder" buttons grow with their texts, then whatever is still too small for its
    // text (FitTexts).
    void RefreshTexts();
    // The file edit and its "..." button are usable exactly when the alarm is enabled.
    void GeneralRefresh();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Grows every control that is still too small for its text in the font and style in use, and
    // the dialog with them; with texts that fit, the design layout stays as it is.
    void FitTexts();
    void CreateComponents();
    void SetTabOrder();
    TZoneAlarmSettings* SelectedZone();
    int TextWidth(const QString& text) const;

    QGroupBox* GroupBox1 = nullptr;
    QCheckBox* chkUseMotionVideoLogger = nullptr;
    QCheckBox* chkUseConstantVideoLogger = nullptr;
    QPushButton* btnOpenMotionDetectionVideoFolder = nullptr;
    QPushButton* btnOpenContinuallyVideoFolder = nullptr;
    QLabel* lbRecordingFormat = nullptr;
    QComboBox* cbRecordingFormat = nullptr;
    QLabel* lbZones = nullptr;
    QListWidget* lbxZones = nullptr;
    QGroupBox* gbAlarmProperties = nullptr;
    QGroupBox* gbSoundVideoAlarm = nullptr;
    QCheckBox* cbEnableSoundVideoAlarm = nullptr;
    QLineEdit* lbedSoundVideoAlarmFile = nullptr;
    QLabel* lbedSoundVideoAlarmFileLabel = nullptr;
    QPushButton* btnSelectSoundVideoAlarmFile = nullptr;
    QPushButton* btnDiskSpace = nullptr;
    QPushButton* btnNotifications = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

    std::unique_ptr<TAlarmSettings> FAlarmSettings;
    QString FMotionLogFolder;
    QString FConstantLogFolder;
    // The open dialog's file name, kept between uses like a dialog component on the form.
    QString FOpenDialogFileName;
    bool FShown = false;
    TNotificationTestSender FNotificationTestSender;
    bool FNotificationsChanged = false;
};

// Shows the dialog modally on a copy of AlarmSettings; on OK the copy is assigned back and the
// result is true. Cancel or closing leaves AlarmSettings untouched and gives false. Failures log
// "Error in ShowAlarmsSetupForm call..." and give false. NotificationTestSender serves the
// Notifications dialog's test button; NotificationsChanged (when given) tells whether the
// notification settings were stored anew, also when the Alarms dialog itself was cancelled.
bool ShowAlarmsSetupForm(TAlarmSettings& AlarmSettings, const QString& MotionLogFolder,
                         const QString& ConstantLogFolder, QWidget* parent = nullptr,
                         TNotificationTestSender NotificationTestSender = {},
                         bool* NotificationsChanged = nullptr);

// Replaceable pieces, so tests can drive the dialog without a user. Each setter returns the
// previous hook; an empty hook restores the real behaviour.

// Runs the dialog and returns its QDialog::DialogCode; by default QDialog::exec.
using TAlarmsSetupFormRunHook = std::function<int(TAlarmsSetupForm& form)>;
TAlarmsSetupFormRunHook SetAlarmsSetupFormRunHook(TAlarmsSetupFormRunHook hook);

// The open-file dialog (no file-type filter): returns the chosen file, or an empty string on
// cancel. PresetFileName (possibly empty) is the file it starts on.
using TAlarmsOpenDialogHook =
    std::function<QString(QWidget* parent, const QString& PresetFileName)>;
TAlarmsOpenDialogHook SetAlarmsOpenDialogHook(TAlarmsOpenDialogHook hook);

// Opens a folder in the desktop's file manager; by default QDesktopServices::openUrl.
using TAlarmsOpenFolderHook = std::function<void(const QString& Folder)>;
TAlarmsOpenFolderHook SetAlarmsOpenFolderHook(TAlarmsOpenFolderHook hook);
