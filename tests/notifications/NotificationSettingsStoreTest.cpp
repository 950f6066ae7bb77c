// The notification settings as a user meets them: a settings file written by hand, read by a
// fresh load; values the dialog stores, read back.

#include "notifications/NotificationSettingsStore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <string>
#include <vector>

#include "support/LogCapture.h"
#include "support/SettingsHome.h"

namespace {

class NotificationSettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FHome.isValid());
        UseSettingsHome(FHome.path());
    }

    QString FileName() const { return FHome.path() + "/Vantrelle Media Solutions/Tandrel.conf"; }

    void WriteFile(const char* Text) {
        QDir().mkpath(FHome.path() + "/Vantrelle Media Solutions");
        QFile file(FileName());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Text);
    }

    std::string ReadFile() const {
        QFile file(FileName());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll().toStdString();
    }

    // The lines of one [Group] of the file.
    std::string Section(const std::string& Group) const {
        const std::string text = ReadFile();
        const size_t start = text.find("[" + Group + "]");
        if (start == std::string::npos) {
            return {};
        }
        const size_t end = text.find("\n[", start);
        return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }

    QTemporaryDir FHome;
};

// A settings value; the command's words apart.
TCommandSettings Command(const char* Event, std::vector<std::string> Words) {
    TCommandSettings command;
    command.Event = Event;
    command.Program = Words.front();
    command.Arguments.assign(Words.begin() + 1, Words.end());
    return command;
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

TEST_F(NotificationSettingsStoreTest, NothingStoredGivesTheDefaultsQuietly) {
    LogCapture log;
    ExpectEqual(LoadNotificationSettings(), TNotificationSettings{});
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(NotificationSettingsStoreTest, AFileWrittenByHandIsRead) {
    WriteFile("[General]\n"
              "FileCameras=/videos/door.avi\n"
              "\n"
              "[Notifications]\n"
              "MqttEnabled=1\n"
              "MqttHost=broker.lan\n"
              "MqttPort=8884\n"
              "MqttTls=true\n"
              "MqttCaFile=/etc/ssl/home-ca.pem\n"
              "MqttUser=porch\n"
              "MqttTopicPrefix=home/porch\n"
              "MqttDiscovery=0\n"
              "Snapshots=no\n"
              "CommandTimeoutSeconds=45\n"
              "Webhook1Url=https://hooks.example.org/tandrel?key=1\n"
              "Webhook1Events=motion_start, alarm_on\n"
              "Webhook1AttachSnapshot=1\n"
              "Webhook3Url=http://127.0.0.1:9000/events\n"
              "Command_recording_finished=/usr/local/bin/upload --kind=motion\n"
              "Command_motion_start=/usr/bin/notify-send 'Motion at the porch' now\n"
              "\n"
              "[NotificationCredentials]\n"
              "MqttPassword=s3cret; with a semicolon\n"
              "Webhook1Authorization=Bearer abc,def\n");
    LogCapture log;
    TNotificationSettings expected;
    expected.Mqtt.Enabled = true;
    expected.Mqtt.Host = "broker.lan";
    expected.Mqtt.Port = 8884;
    expected.Mqtt.Tls = true;
    expected.Mqtt.CaFile = "/etc/ssl/home-ca.pem";
    expected.Mqtt.User = "porch";
    expected.Mqtt.Password = "s3cret; with a semicolon";
    expected.Mqtt.TopicPrefix = "home/porch";
    expected.Mqtt.Discovery = false;
    expected.Snapshots = false;
    expected.CommandTimeoutSeconds = 45;
    expected.Webhooks = {{"https://hooks.example.org/tandrel?key=1",
                          {"motion_start", "alarm_on"},
                          "Bearer abc,def",
                          true},
                         {"http://127.0.0.1:9000/events", {}, "", false}};
    // In the order of the events, whatever the file's order.
    expected.Commands = {
        Command("motion_start", {"/usr/bin/notify-send", "Motion at the porch", "now"}),
        Command("recording_finished", {"/usr/local/bin/upload", "--kind=motion"})};
    ExpectEqual(LoadNotificationSettings(), expected);
    EXPECT_TRUE(log.Lines().empty()) << log.Lines().front();
}

TEST_F(NotificationSettingsStoreTest, BadValuesAreLeftOutWithOneLineEachAndTheRestIsKept) {
    WriteFile("[Notifications]\n"
              "MqttEnabled=1\n"
              "MqttHost=broker\n"
              "MqttPort=70000\n"
              "MqttTls=maybe\n"
              "MqttTopicPrefix=home/#\n"
              "MqttUser=porch\n"
              "CommandTimeoutSeconds=0\n"
              "Webhook1Url=ftp://files.example.org/in\n"
              "Webhook2Url=https://ok.example.org/2\n"
              "Webhook2Events=motion_start,motion_started\n"
              "Webhook3Url=https://ok.example.org/3\n"
              "Webhook3Events=everything\n"
              "Webhook4Url=https://ok.example.org/4\n"
              "Command_motion_start=say 'hello\n"
              "Command_alarm_on=/usr/bin/beep -f 440\n"
              "Command_motion_begins=/usr/bin/beep\n"
              "Command_alarm_off=\n"
              "\n"
              "[NotificationCredentials]\n"
              "MqttPassword=Geheim\n"
              "Webhook1Authorization=Bearer Geheim1\n"
              "Webhook3Authorization=Bearer Geheim3\n"
              "Webhook4Authorization=Bearer Geheim4\n");
    LogCapture log;
    const TNotificationSettings read = LoadNotificationSettings();

    TNotificationSettings expected;
    expected.Mqtt.Enabled = true;
    expected.Mqtt.Host = "broker";
    expected.Mqtt.User = "porch";
    expected.Mqtt.Password = "Geheim";
    expected.Webhooks = {{"https://ok.example.org/2", {"motion_start"}, "", false},
                         {"https://ok.example.org/4", {}, "Bearer Geheim4", false}};
    expected.Commands = {Command("alarm_on", {"/usr/bin/beep", "-f", "440"})};
    ExpectEqual(read, expected);

    const std::vector<std::string> lines = log.Lines();
    for (const char* value :
         {"MqttPort", "MqttTls", "MqttTopicPrefix", "CommandTimeoutSeconds", "Webhook1Url",
          "Webhook2Events", "Webhook3Events", "Webhook3Url", "Command_motion_start",
          "Command_motion_begins"}) {
        const std::string start = std::string("Error in LoadNotificationSettings - ") + value + " ";
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [&](const std::string& line) { return line.rfind(start, 0) == 0; }),
                  1)
            << value;
    }
    EXPECT_EQ(lines.size(), 10u);
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find("Geheim"), std::string::npos) << line;
        EXPECT_EQ(line.find("hello"), std::string::npos) << "a command's text is not logged";
    }
}

TEST_F(NotificationSettingsStoreTest, StoredValuesReadBackAndSecretsStandApart) {
    TNotificationSettings settings;
    settings.Mqtt.Enabled = true;
    settings.Mqtt.Host = "::1";
    settings.Mqtt.Port = 8883;
    settings.Mqtt.Tls = true;
    settings.Mqtt.CaFile = "/home/me/ca, mine.pem";
    settings.Mqtt.User = "cam";
    settings.Mqtt.Password = "pass;word \"quoted\" \\ =";
    settings.Mqtt.TopicPrefix = "home/porch cam";
    settings.Mqtt.Discovery = false;
    settings.Snapshots = false;
    settings.CommandTimeoutSeconds = 3600;
    for (int i = 1; i <= 3; ++i) {
        settings.Webhooks.push_back({"https://h/" + std::to_string(i),
                                     i == 2 ? std::vector<std::string>{"error", "test"}
                                            : std::vector<std::string>{},
                                     i == 1 ? "" : "Token t" + std::to_string(i), i == 3});
    }
    settings.Commands = {
        Command("camera_lost", {"/usr/bin/say", "camera's gone", "", "a\"b\\c", "$HOME"}),
        Command("test", {"/bin/echo", "line\nbreak", "tab\there", "caf\xc3\xa9"})};
    ASSERT_TRUE(SaveNotificationSettings(settings));
    ExpectEqual(LoadNotificationSettings(), settings);

    // The secrets are in their own group only.
    const std::string notifications = Section("Notifications");
    const std::string credentials = Section("NotificationCredentials");
    ASSERT_FALSE(notifications.empty());
    for (const char* secret : {"pass;word", "Token t2", "Token t3"}) {
        EXPECT_EQ(notifications.find(secret), std::string::npos) << secret;
        EXPECT_NE(credentials.find(secret), std::string::npos) << secret;
    }
    EXPECT_EQ(credentials.find("Webhook1Authorization"), std::string::npos);

    // Fewer webhooks and commands later: nothing of the earlier ones stays behind.
    settings.Webhooks.resize(1);
    settings.Commands.resize(1);
    settings.Mqtt.Password.clear();
    ASSERT_TRUE(SaveNotificationSettings(settings));
    ExpectEqual(LoadNotificationSettings(), settings);
    const std::string text = ReadFile();
    for (const char* gone : {"Webhook2", "Webhook3", "Command_test", "Token", "pass;word"}) {
        EXPECT_EQ(text.find(gone), std::string::npos) << gone;
    }
}

TEST_F(NotificationSettingsStoreTest, OnlySixteenWebhooksAreStored) {
    TNotificationSettings settings;
    for (int i = 1; i <= kMaxWebhooks + 2; ++i) {
        settings.Webhooks.push_back({"https://h/" + std::to_string(i), {}, "", false});
    }
    LogCapture log;
    ASSERT_TRUE(SaveNotificationSettings(settings));
    EXPECT_EQ(log.Lines().size(), 1u);
    const TNotificationSettings read = LoadNotificationSettings();
    ASSERT_EQ(read.Webhooks.size(), static_cast<size_t>(kMaxWebhooks));
    EXPECT_EQ(read.Webhooks.back().Url, "https://h/16");
}

}  // namespace
