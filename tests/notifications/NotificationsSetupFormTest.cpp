#include "notifications/NotificationsSetupForm.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "localisation/LanguageFile.h"
#include "notifications/NotificationSettingsStore.h"
#include "platform/Sync.h"
#include "support/SettingsHome.h"
#include "ui/MessageDialog.h"

namespace {

template <typename T>
T* Child(QWidget& form, const char* name) {
    T* child = form.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

TNotificationSettings SomeSettings(const QString& CaFile) {
    TNotificationSettings settings;
    settings.Mqtt.Enabled = true;
    settings.Mqtt.Host = "broker.lan";
    settings.Mqtt.Port = 8884;
    settings.Mqtt.Tls = true;
    settings.Mqtt.CaFile = CaFile.toStdString();
    settings.Mqtt.User = "porch";
    settings.Mqtt.Password = "s3cret pass";
    settings.Mqtt.TopicPrefix = "home/porch";
    settings.Mqtt.Discovery = false;
    settings.Webhooks = {{"https://hooks.example.org/a", {"motion_start", "alarm_on"}, "Bearer x",
                          true},
                         {"http://127.0.0.1:9000/b", {}, "", false}};
    TCommandSettings command;
    command.Event = "recording_finished";
    command.Program = "/usr/local/bin/upload";
    command.Arguments = {"--note", "it's done", ""};
    settings.Commands = {command};
    command.Event = "error";
    command.Program = "/usr/bin/logger";
    command.Arguments = {};
    settings.Commands.push_back(command);
    settings.CommandTimeoutSeconds = 90;
    settings.Snapshots = false;
    return settings;
}

void ExpectEqual(const TNotificationSettings& Read, const TNotificationSettings& Expected) {
    EXPECT_EQ(Read.Mqtt.Enabled, Expected.Mqtt.Enabled);
    EXPECT_EQ(Read.Mqtt.Host, Expected.Mqtt.Host);
    EXPECT_EQ(Read.Mqtt.Port, Expected.Mqtt.Port);
    EXPECT_EQ(Read.Mqtt.Tls, Expected.Mqtt.Tls);
    EXPECT_EQ(Read.Mqtt.CaFile, Expected.Mqtt.CaFile);
    EXPECT_EQ(Read.Mqtt.User, Expected.Mqtt.User);
    EXPECT_EQ(Read.Mqtt.Password, Expected.Mqtt.Password);
    EXPECT_EQ(Read.Mqtt.TopicPrefix, Expected.Mqtt.TopicPrefix);
    EXPECT_EQ(Read.Mqtt.Discovery, Expected.Mqtt.Discovery);
    ASSERT_EQ(Read.Webhooks.size(), Expected.Webhooks.size());
    for (size_t i = 0; i < Read.Webhooks.size(); ++i) {
        EXPECT_EQ(Read.Webhooks[i].Url, Expected.Webhooks[i].Url) << i;
        EXPECT_EQ(Read.Webhooks[i].Events, Expected.Webhooks[i].Events) << i;
        EXPECT_EQ(Read.Webhooks[i].Authorization, Expected.Webhooks[i].Authorization) << i;
        EXPECT_EQ(Read.Webhooks[i].AttachSnapshot, Expected.Webhooks[i].AttachSnapshot) << i;
    }
    ASSERT_EQ(Read.Commands.size(), Expected.Commands.size());
    for (size_t i = 0; i < Read.Commands.size(); ++i) {
        EXPECT_EQ(Read.Commands[i].Event, Expected.Commands[i].Event) << i;
        EXPECT_EQ(Read.Commands[i].Program, Expected.Commands[i].Program) << i;
        EXPECT_EQ(Read.Commands[i].Arguments, Expected.Commands[i].Arguments) << i;
    }
    EXPECT_EQ(Read.CommandTimeoutSeconds, Expected.CommandTimeoutSeconds);
    EXPECT_EQ(Read.Snapshots, Expected.Snapshots);
}

// Each test has its own settings home; message boxes are recorded, and the dialog run by
// ShowNotificationsSetupForm is shown and handed to the test's steps instead of a user.
class NotificationsSetupFormTest : public ::testing::Test {
protected:
    using TSteps = std::function<void(TNotificationsSetupForm&)>;

    void SetUp() override {
        ASSERT_TRUE(FHome.isValid());
        UseSettingsHome(FHome.path());
        LoadLanguageFile("");
        FCaFile = FHome.filePath("ca.pem");
        QFile file(FCaFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("-----BEGIN CERTIFICATE-----\n");
        FPreviousMessageHook = SetMessageDialogHook([this](QMessageBox& box) {
            FMessages << box.text();
            return mrOk;
        });
        FPreviousRunHook = SetNotificationsSetupFormRunHook([this](TNotificationsSetupForm& form) {
            form.show();
            if (FSteps) {
                FSteps(form);
            }
            return form.result();
        });
    }

    void TearDown() override {
        SetMessageDialogHook(FPreviousMessageHook);
        SetNotificationsSetupFormRunHook(FPreviousRunHook);
    }

    bool Run(TSteps Steps, const TNotificationTestSender& Sender = {}) {
        FSteps = std::move(Steps);
        return ShowNotificationsSetupForm(Sender);
    }

    static QTableWidget& Webhooks(TNotificationsSetupForm& form) {
        return *Child<QTableWidget>(form, "tblWebhooks");
    }
    static QTableWidget& Commands(TNotificationsSetupForm& form) {
        return *Child<QTableWidget>(form, "tblCommands");
    }
    static void SetCell(QTableWidget& table, int row, int column, const QString& text) {
        table.item(row, column)->setText(text);
    }
    static void Click(TNotificationsSetupForm& form, const char* button) {
        Child<QPushButton>(form, button)->click();
    }

    QTemporaryDir FHome;
    QString FCaFile;
    TSteps FSteps;
    QStringList FMessages;

private:
    TMessageDialogHook FPreviousMessageHook;
    TNotificationsSetupFormRunHook FPreviousRunHook;
};

}  // namespace

TEST_F(NotificationsSetupFormTest, ValuesRoundTripThroughTheDialog) {
    const TNotificationSettings settings = SomeSettings(FCaFile);
    TNotificationsSetupForm form;
    form.SetSettings(settings);
    form.show();

    // What the controls show.
    EXPECT_EQ(Child<QLineEdit>(form, "edMqttHost")->text(), "broker.lan");
    EXPECT_EQ(Child<QLineEdit>(form, "edMqttPort")->text(), "8884");
    EXPECT_EQ(Child<QLineEdit>(form, "edMqttPassword")->echoMode(), QLineEdit::Password);
    QTableWidget& webhooks = Webhooks(form);
    ASSERT_EQ(webhooks.rowCount(), 2);
    EXPECT_EQ(webhooks.item(0, 1)->text(), "motion_start, alarm_on");
    EXPECT_EQ(webhooks.item(0, 3)->checkState(), Qt::Checked);
    // The Authorization header is shown as being there, not as what it is.
    auto* secret = qobject_cast<QStyledItemDelegate*>(webhooks.itemDelegateForColumn(2));
    ASSERT_NE(secret, nullptr);
    const QString shown = secret->displayText(webhooks.item(0, 2)->data(Qt::DisplayRole), {});
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_FALSE(shown.contains("Bearer"));
    QTableWidget& commands = Commands(form);
    ASSERT_EQ(commands.rowCount(), 2);
    EXPECT_EQ(commands.item(0, 0)->text(), "recording_finished");
    EXPECT_EQ(commands.item(0, 1)->text(), "/usr/local/bin/upload --note 'it'\\''s done' ''");
    EXPECT_EQ(Child<QSpinBox>(form, "seCommandTimeout")->value(), 90);

    QString problem;
    QWidget* field = nullptr;
    ExpectEqual(form.ReadSettings(problem, field), settings);
    EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
}

TEST_F(NotificationsSetupFormTest, OkStoresWhatWasTypedAndCancelStoresNothing) {
    EXPECT_FALSE(Run([&](TNotificationsSetupForm& form) {
        Child<QLineEdit>(form, "edMqttHost")->setText("never.stored");
        Click(form, "btnCancel");
    }));
    EXPECT_EQ(LoadNotificationSettings().Mqtt.Host, "");

    EXPECT_TRUE(Run([&](TNotificationsSetupForm& form) {
        // MQTT off: its fields wait, disabled.
        EXPECT_FALSE(Child<QLineEdit>(form, "edMqttHost")->isEnabled());
        Child<QCheckBox>(form, "chkMqttEnabled")->click();
        EXPECT_TRUE(Child<QLineEdit>(form, "edMqttHost")->isEnabled());
        EXPECT_FALSE(Child<QLineEdit>(form, "edMqttCaFile")->isEnabled()) << "TLS is off";
        QTest::keyClicks(Child<QLineEdit>(form, "edMqttHost"), " 192.168.1.5 ");
        Child<QLineEdit>(form, "edMqttPort")->clear();  // the usual port of the connection
        Child<QCheckBox>(form, "chkMqttTls")->click();
        QTest::keyClicks(Child<QLineEdit>(form, "edMqttTopicPrefix"), "/cams/porch/");
        Click(form, "btnAddWebhook");
        SetCell(Webhooks(form), 0, 0, "https://hooks.example.org/x");
        SetCell(Webhooks(form), 0, 1, "alarm_on ,alarm_off");
        Click(form, "btnAddWebhook");  // left empty: left out
        Click(form, "btnAddCommand");
        SetCell(Commands(form), 0, 0, "motion_start");
        SetCell(Commands(form), 0, 1, "notify-send \"Motion\" 'at the porch'");
        Child<QSpinBox>(form, "seCommandTimeout")->setValue(5);
        Click(form, "btnOK");
        EXPECT_FALSE(form.isVisible());
    }));
    EXPECT_TRUE(FMessages.isEmpty()) << FMessages.join("; ").toStdString();
    const TNotificationSettings stored = LoadNotificationSettings();
    EXPECT_TRUE(stored.Mqtt.Enabled);
    EXPECT_EQ(stored.Mqtt.Host, "192.168.1.5");
    EXPECT_EQ(stored.Mqtt.Port, 8883);
    EXPECT_TRUE(stored.Mqtt.Tls);
    EXPECT_EQ(stored.Mqtt.TopicPrefix, "cams/porch");
    ASSERT_EQ(stored.Webhooks.size(), 1u);
    EXPECT_EQ(stored.Webhooks[0].Events, (std::vector<std::string>{"alarm_on", "alarm_off"}));
    ASSERT_EQ(stored.Commands.size(), 1u);
    EXPECT_EQ(stored.Commands[0].Program, "notify-send");
    EXPECT_EQ(stored.Commands[0].Arguments,
              (std::vector<std::string>{"Motion", "at the porch"}));
    EXPECT_EQ(stored.CommandTimeoutSeconds, 5);

    // The next opening shows what was stored; removing rows removes them.
    EXPECT_TRUE(Run([&](TNotificationsSetupForm& form) {
        EXPECT_EQ(Child<QLineEdit>(form, "edMqttHost")->text(), "192.168.1.5");
        ASSERT_EQ(Webhooks(form).rowCount(), 1);
        Webhooks(form).setCurrentCell(0, 0);
        Click(form, "btnRemoveWebhook");
        Commands(form).setCurrentCell(0, 1);
        Click(form, "btnRemoveCommand");
        Click(form, "btnOK");
    }));
    EXPECT_TRUE(LoadNotificationSettings().Webhooks.empty());
    EXPECT_TRUE(LoadNotificationSettings().Commands.empty());
}

TEST_F(NotificationsSetupFormTest, BadValuesKeepTheDialogOpenWithAMessageNamingTheField) {
    struct Case {
        const char* what;
        std::function<void(TNotificationsSetupForm&)> spoil;
        const char* message;
        const char* field;
    };
    auto edit = [](const char* name, const char* text) {
        return [=](TNotificationsSetupForm& form) { Child<QLineEdit>(form, name)->setText(text); };
    };
    const Case cases[] = {
        {"port 0", edit("edMqttPort", "0"),
         "The MQTT port must be a whole number from 1 to 65535.", "edMqttPort"},
        {"port text", edit("edMqttPort", "eighty"),
         "The MQTT port must be a whole number from 1 to 65535.", "edMqttPort"},
        {"no host", edit("edMqttHost", ""),
         "Please enter the host of the MQTT broker (a name or an address, without mqtt://).",
         "edMqttHost"},
        {"a URL as host", edit("edMqttHost", "mqtt://broker"),
         "Please enter the host of the MQTT broker (a name or an address, without mqtt://).",
         "edMqttHost"},
        {"missing CA file", edit("edMqttCaFile", "/nonexistent/ca.pem"),
         "The CA certificate file does not exist.", "edMqttCaFile"},
        {"wildcard in prefix", edit("edMqttTopicPrefix", "home/+/x"),
         "The MQTT topic prefix may not hold \"+\" or \"#\".", "edMqttTopicPrefix"},
        {"webhook scheme",
         [](TNotificationsSetupForm& form) { SetCell(Webhooks(form), 1, 0, "ftp://h/x"); },
         "Webhook 2: this is no valid http:// or https:// address.", "tblWebhooks"},
        {"webhook without address",
         [](TNotificationsSetupForm& form) { SetCell(Webhooks(form), 0, 0, ""); },
         "Webhook 1: this is no valid http:// or https:// address.", "tblWebhooks"},
        {"webhook event",
         [](TNotificationsSetupForm& form) { SetCell(Webhooks(form), 0, 1, "motion, alarm_on"); },
         "Webhook 1: \"motion\" is no event name.", "tblWebhooks"},
        {"unclosed quote",
         [](TNotificationsSetupForm& form) { SetCell(Commands(form), 1, 1, "logger 'oops"); },
         "Command 2: a quote is not closed, or the text ends with a backslash.", "tblCommands"},
        {"no program",
         [](TNotificationsSetupForm& form) { SetCell(Commands(form), 0, 1, "   "); },
         "Command 1: enter the program to run.", "tblCommands"},
        {"no event",
         [](TNotificationsSetupForm& form) { SetCell(Commands(form), 0, 0, ""); },
         "Command 1: choose the event it runs for.", "tblCommands"},
        {"event twice",
         [](TNotificationsSetupForm& form) { SetCell(Commands(form), 1, 0, "recording_finished"); },
         "Command 2: this event already has a command.", "tblCommands"},
    };
    const TNotificationSettings settings = SomeSettings(FCaFile);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FMessages.clear();
        ASSERT_TRUE(SaveNotificationSettings(settings));
        TNotificationsSetupForm form;
        form.SetSettings(settings);
        form.show();
        c.spoil(form);
        Click(form, "btnOK");
        EXPECT_TRUE(form.isVisible());
        EXPECT_NE(form.result(), QDialog::Accepted);
        EXPECT_EQ(FMessages.join("|").toStdString(), c.message);
        ASSERT_NE(form.focusWidget(), nullptr);
        EXPECT_EQ(form.focusWidget()->objectName().toStdString(), c.field);
        // Nothing was stored.
        EXPECT_EQ(LoadNotificationSettings().Mqtt.Port, 8884);
    }
}

TEST_F(NotificationsSetupFormTest, AllowedValuesThatLookOddAreTaken) {
    TNotificationsSetupForm form;
    TNotificationSettings settings = SomeSettings("/nonexistent/ca.pem");
    settings.Mqtt.Enabled = false;  // a switched-off broker is not checked beyond its port
    settings.Mqtt.Host = "";
    form.SetSettings(settings);
    QString problem;
    QWidget* field = nullptr;
    form.ReadSettings(problem, field);
    EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();

    settings = SomeSettings(FCaFile);
    settings.Mqtt.Host = "fe80::1";
    settings.Mqtt.CaFile.clear();  // the system's authorities
    form.SetSettings(settings);
    form.ReadSettings(problem, field);
    EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
}

TEST_F(NotificationsSetupFormTest, TheTestButtonShowsTheSendersAnswer) {
    struct Case {
        std::string answer;
        QString shown;
    };
    const Case cases[] = {
        {"", "Every receiver took the test event."},
        {"The MQTT broker 127.0.0.1:1 refused the connection.",
         "The MQTT broker 127.0.0.1:1 refused the connection."},
    };
    ASSERT_TRUE(SaveNotificationSettings(SomeSettings(FCaFile)));
    for (const Case& c : cases) {
        TEvent release(true, false);
        std::mutex mutex;
        std::string hostSent;
        std::thread::id senderThread;
        const TNotificationTestSender sender = [&](const TNotificationSettings& settings) {
            {
                std::lock_guard lock(mutex);
                hostSent = settings.Mqtt.Host;
                senderThread = std::this_thread::get_id();
            }
            release.WaitFor(INFINITE);
            return c.answer;
        };
        Run(
            [&](TNotificationsSetupForm& form) {
                auto* button = Child<QPushButton>(form, "btnSendTestEvent");
                auto* result = Child<QLabel>(form, "lbTestResult");
                ASSERT_TRUE(button->isEnabled());
                Child<QLineEdit>(form, "edMqttHost")->setText("typed.but.not.stored");
                button->click();
                // The dialog goes on while the sender works.
                EXPECT_FALSE(button->isEnabled());
                EXPECT_EQ(result->text(), "Sending...");
                QTest::qWait(50);
                EXPECT_EQ(result->text(), "Sending...");
                release.SetEvent();
                EXPECT_TRUE(QTest::qWaitFor([&] { return result->text() != "Sending..."; }, 10000));
                EXPECT_EQ(result->text(), c.shown);
                EXPECT_TRUE(button->isEnabled());
                Click(form, "btnCancel");
            },
            sender);
        std::lock_guard lock(mutex);
        EXPECT_EQ(hostSent, "typed.but.not.stored") << "the values as the dialog holds them";
        EXPECT_NE(senderThread, std::this_thread::get_id());
    }
    EXPECT_EQ(LoadNotificationSettings().Mqtt.Host, "broker.lan");
}

TEST_F(NotificationsSetupFormTest, TheTestButtonNeedsASenderAndValuesItCanSend) {
    Run([&](TNotificationsSetupForm& form) {
        EXPECT_FALSE(Child<QPushButton>(form, "btnSendTestEvent")->isEnabled());
    });
    std::atomic<int> calls{0};
    Run(
        [&](TNotificationsSetupForm& form) {
            Child<QCheckBox>(form, "chkMqttEnabled")->setChecked(true);
            Child<QLineEdit>(form, "edMqttHost")->setText("broker");
            Child<QLineEdit>(form, "edMqttPort")->setText("70000");
            Click(form, "btnSendTestEvent");
            EXPECT_EQ(FMessages.join("|").toStdString(),
                      "The MQTT port must be a whole number from 1 to 65535.");
            EXPECT_TRUE(Child<QLabel>(form, "lbTestResult")->text().isEmpty());
        },
        [&](const TNotificationSettings&) {
            ++calls;
            return std::string();
        });
    EXPECT_EQ(calls, 0);
}

TEST_F(NotificationsSetupFormTest, ClosingWhileATestIsSentWaitsForIt) {
    std::atomic<bool> finished{false};
    Run(
        [&](TNotificationsSetupForm& form) {
            Click(form, "btnSendTestEvent");
            Click(form, "btnCancel");
        },
        [&](const TNotificationSettings&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            finished = true;
            return std::string("late");
        });
    // The dialog is gone, and so is its sender thread; the late answer went nowhere.
    EXPECT_TRUE(finished);
    QApplication::processEvents();
}

TEST_F(NotificationsSetupFormTest, TheCaFileIsChosenInAnOpenDialog) {
    QStringList presets;
    const TNotificationsOpenDialogHook previous =
        SetNotificationsOpenDialogHook([&](QWidget*, const QString& preset) {
            presets << preset;
            return presets.size() == 1 ? FCaFile : QString();
        });
    Run([&](TNotificationsSetupForm& form) {
        Child<QCheckBox>(form, "chkMqttEnabled")->setChecked(true);
        Child<QCheckBox>(form, "chkMqttTls")->setChecked(true);
        Child<QLineEdit>(form, "edMqttCaFile")->setText("/etc/old.pem");
        Click(form, "btnMqttCaFile");
        EXPECT_EQ(Child<QLineEdit>(form, "edMqttCaFile")->text(), FCaFile);
        Click(form, "btnMqttCaFile");  // cancelled: the file stays
        EXPECT_EQ(Child<QLineEdit>(form, "edMqttCaFile")->text(), FCaFile);
    });
    SetNotificationsOpenDialogHook(previous);
    EXPECT_EQ(presets, (QStringList{"/etc/old.pem", FCaFile}));
}
