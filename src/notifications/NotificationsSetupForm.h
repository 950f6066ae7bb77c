#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <string>

#include "notifications/NotificationSettings.h"
#include "platform/NamedThread.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

// Sends one "test" event to the receivers the settings name and says how it went: the empty
// text when every receiver took it, otherwise what went wrong in plain words. Called on a worker
// thread of its own, so it must not touch widgets; it may take its time.
using TNotificationTestSender = std::function<std::string(const TNotificationSettings&)>;

// The modal "Notifications" dialog: the MQTT broker, the webhooks (a table: address, events,
// Authorization header, snapshot attached), the commands run for events (a table: event, command
// text), snapshots on or off and the commands' time-out. The rows of the tables are laid out by
// layouts, so they take what their texts need in every language; the dialog can be resized.
//
// OK checks the values (a message naming the field, the dialog stays open), then stores them
// with SaveNotificationSettings and closes. "Send Test Event" checks them the same way and hands
// them to the test sender on a worker thread; the button is disabled and "Sending..." shown until
// the answer comes back (a queued call to the GUI thread) and is shown in plain words.
//
// Threads: every member runs on the GUI thread except the test sender, which runs on
// FSendThread with its own copy of the settings. Destroying the dialog waits for a test still
// being sent.
class TNotificationsSetupForm : public QDialog {
    Q_OBJECT
public:
    explicit TNotificationsSetupForm(QWidget* parent = nullptr);
    ~TNotificationsSetupForm() override;

    // Shows Settings in the controls.
    void SetSettings(const TNotificationSettings& Settings);
    // The settings as the controls hold them; Problem is empty when they can be stored, else the
    // message the user sees (naming the field), with the control to look at in Field. Rows of
    // the tables that are wholly empty are left out.
    TNotificationSettings ReadSettings(QString& Problem, QWidget*& Field) const;
    // The settings given to SetSettings, after an OK those stored.
    const TNotificationSettings& SavedSettings() const { return FSaved; }

    // The sender the "Send Test Event" button uses; without one the button is disabled.
    void SetTestSender(TNotificationTestSender Sender);

    // Event handlers, named after their component and event.
    void btnOKClick();
    void btnSendTestEventClick();
    void btnMqttCaFileClick();
    void btnAddWebhookClick();
    void btnRemoveWebhookClick();
    void btnAddCommandClick();
    void btnRemoveCommandClick();

private:
    void CreateComponents();
    // The MQTT fields are usable when MQTT is on, the CA file when TLS is on too.
    void GeneralRefresh();
    // The columns as wide as their headers and texts, the address and command columns taking
    // the rest; the tables at least as wide as that.
    void FitColumns();
    // Checks the values; on a problem shows it and puts the focus on the field. True when they
    // can be used.
    bool CheckedSettings(TNotificationSettings& Settings);
    // The answer of the test sender, on the GUI thread.
    void TestSent(const std::string& Result);

    QGroupBox* gbMqtt = nullptr;
    QCheckBox* chkMqttEnabled = nullptr;
    QLabel* lbMqttHost = nullptr;
    QLineEdit* edMqttHost = nullptr;
    QLabel* lbMqttPort = nullptr;
    QLineEdit* edMqttPort = nullptr;
    QCheckBox* chkMqttTls = nullptr;
    QLabel* lbMqttCaFile = nullptr;
    QLineEdit* edMqttCaFile = nullptr;
    QPushButton* btnMqttCaFile = nullptr;
    QLabel* lbMqttUser = nullptr;
    QLineEdit* edMqttUser = nullptr;
    QLabel* lbMqttPassword = nullptr;
    QLineEdit* edMqttPassword = nullptr;
    QLabel* lbMqttTopicPrefix = nullptr;
    QLineEdit* edMqttTopicPrefix = nullptr;
    QCheckBox* chkMqttDiscovery = nullptr;
    QGroupBox* gbWebhooks = nullptr;
    QTableWidget* tblWebhooks = nullptr;
    QPushButton* btnAddWebhook = nullptr;
    QPushButton* btnRemoveWebhook = nullptr;
    QGroupBox* gbCommands = nullptr;
    QTableWidget* tblCommands = nullptr;
    QPushButton* btnAddCommand = nullptr;
    QPushButton* btnRemoveCommand = nullptr;
    QLabel* lbCommandTimeout = nullptr;
    QSpinBox* seCommandTimeout = nullptr;
    QCheckBox* chkSnapshots = nullptr;
    QPushButton* btnSendTestEvent = nullptr;
    QLabel* lbTestResult = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

    TNotificationTestSender FTestSender;
    bool FSending = false;
    TNotificationSettings FSaved;
    // Runs the test sender; joined before the next test and when the dialog goes.
    TNamedThread FSendThread;
};

// Shows the dialog on the stored notification settings; on OK they are stored and the result is
// true. TestSender (may be empty) serves "Send Test Event". Failures log "Error in
// ShowNotificationsSetupForm call..." and give false.
bool ShowNotificationsSetupForm(const TNotificationTestSender& TestSender,
                                QWidget* parent = nullptr);

// Replaceable pieces, so tests can drive the dialog without a user. Each setter returns the
// previous hook; an empty hook restores the real behaviour.

// Runs the dialog and returns its QDialog::DialogCode; by default QDialog::exec.
using TNotificationsSetupFormRunHook = std::function<int(TNotificationsSetupForm& form)>;
TNotificationsSetupFormRunHook SetNotificationsSetupFormRunHook(
    TNotificationsSetupFormRunHook hook);

// The open-file dialog of the CA file: returns the chosen file, or an empty string on cancel.
using TNotificationsOpenDialogHook =
    std::function<QString(QWidget* parent, const QString& PresetFileName)>;
TNotificationsOpenDialogHook SetNotificationsOpenDialogHook(TNotificationsOpenDialogHook hook);
