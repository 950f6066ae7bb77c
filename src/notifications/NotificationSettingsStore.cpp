#include "notifications/NotificationSettingsStore.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <string>
#include <vector>

#include "notifications/CommandText.h"
#include "notifications/NotificationEventNames.h"
#include "notifications/WebhookUrl.h"
#include "platform/Diagnostics.h"
#include "platform/SettingsStore.h"

namespace {

const QString kKey = QStringLiteral("Notifications");
const QString kCredentialsKey = QStringLiteral("NotificationCredentials");
const QString kCommandPrefix = QStringLiteral("Command_");

// One line per value left out: its name and why, never the value (it may hold a secret).
void Skip(const QString& Name, const std::string& Why) {
    LogMessageFmt("Error in LoadNotificationSettings - %s %s; it is left out.",
                  Name.toUtf8().constData(), Why.c_str());
}

QString WebhookValue(int Number, const char* What) {
    return QStringLiteral("Webhook") + QString::number(Number) + QString::fromLatin1(What);
}

void ReadText(const TSettingsStore& Store, const QString& Name, std::string& Value) {
    QString text;
    if (Store.ReadString(Name, text)) {
        Value = text.toStdString();
    }
}

// 0 or 1, and the words people type for them.
void ReadSwitch(const TSettingsStore& Store, const QString& Name, bool& Value) {
    if (!Store.ValueExists(Name)) {
        return;
    }
    int number = 0;
    if (Store.ReadInteger(Name, number)) {
        Value = number != 0;
        return;
    }
    QString text;
    Store.ReadString(Name, text);
    text = text.trimmed().toLower();
    if (text == "true" || text == "yes" || text == "on") {
        Value = true;
    } else if (text == "false" || text == "no" || text == "off") {
        Value = false;
    } else {
        Skip(Name, "is neither 0 nor 1");
    }
}

void ReadNumber(const TSettingsStore& Store, const QString& Name, int32_t Min, int32_t Max,
                int32_t& Value) {
    if (!Store.ValueExists(Name)) {
        return;
    }
    int number = 0;
    if (!Store.ReadInteger(Name, number) || number < Min || number > Max) {
        Skip(Name, "is not a whole number from " + std::to_string(Min) + " to " +
                       std::to_string(Max));
        return;
    }
    Value = number;
}

void LoadMqtt(const TSettingsStore& Store, const TSettingsStore& Credentials,
              TMqttSettings& Mqtt) {
    ReadSwitch(Store, "MqttEnabled", Mqtt.Enabled);
    ReadText(Store, "MqttHost", Mqtt.Host);
    ReadNumber(Store, "MqttPort", 1, 65535, Mqtt.Port);
    ReadSwitch(Store, "MqttTls", Mqtt.Tls);
    ReadText(Store, "MqttCaFile", Mqtt.CaFile);
    ReadText(Store, "MqttUser", Mqtt.User);
    std::string prefix;
    ReadText(Store, "MqttTopicPrefix", prefix);
    if (prefix.find_first_of("+#") != std::string::npos) {
        Skip("MqttTopicPrefix", "holds \"+\" or \"#\", which MQTT topics cannot hold");
    } else {
        Mqtt.TopicPrefix = prefix;
    }
    ReadSwitch(Store, "MqttDiscovery", Mqtt.Discovery);
    ReadText(Credentials, "MqttPassword", Mqtt.Password);
}

void LoadWebhooks(const TSettingsStore& Store, const TSettingsStore& Credentials,
                  std::vector<TWebhookSettings>& Webhooks) {
    for (int number = 1; number <= kMaxWebhooks; ++number) {
        const QString urlName = WebhookValue(number, "Url");
        TWebhookSettings webhook;
        ReadText(Store, urlName, webhook.Url);
        if (webhook.Url.empty()) {
            continue;
        }
        std::string error;
        if (!CheckWebhookUrl(webhook.Url, error)) {
            Skip(urlName, "cannot be used: " + error);
            continue;
        }
        // Each name on its own: an unknown one is left out, but a filter left with none would
        // let every event through, so then the webhook is.
        const QString eventsName = WebhookValue(number, "Events");
        std::string events;
        ReadText(Store, eventsName, events);
        bool named = false;
        for (const QString& part : QString::fromStdString(events).split(',')) {
            const std::string name = part.trimmed().toStdString();
            if (name.empty()) {
                continue;
            }
            named = true;
            if (!IsNotificationEventName(name)) {
                Skip(eventsName, "names the unknown event \"" + name.substr(0, 40) + "\"");
            } else if (std::find(webhook.Events.begin(), webhook.Events.end(), name) ==
                       webhook.Events.end()) {
                webhook.Events.push_back(name);
            }
        }
        if (named && webhook.Events.empty()) {
            Skip(urlName, "has no known event to send");
            continue;
        }
        ReadSwitch(Store, WebhookValue(number, "AttachSnapshot"), webhook.AttachSnapshot);
        ReadText(Credentials, WebhookValue(number, "Authorization"), webhook.Authorization);
        Webhooks.push_back(std::move(webhook));
    }
}

void LoadCommands(const TSettingsStore& Store, std::vector<TCommandSettings>& Commands) {
    // In the order of the event names, whatever order the file has.
    std::vector<QString> names;
    for (const QString& name : Store.ValueNames()) {
        if (!name.startsWith(kCommandPrefix)) {
            continue;
        }
        if (!IsNotificationEventName(name.mid(kCommandPrefix.size()).toStdString())) {
            Skip(name, "names no event of the program");
            continue;
        }
        names.push_back(name);
    }
    for (std::string_view event : NotificationEventNames()) {
        const QString name = kCommandPrefix + QString::fromUtf8(event.data(), event.size());
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            continue;
        }
        std::string text;
        ReadText(Store, name, text);
        std::vector<std::string> words;
        std::string error;
        if (!SplitCommandText(text, words, error)) {
            Skip(name, "cannot be read: " + error);
            continue;
        }
        if (words.empty()) {
            continue;  // no command for this event
        }
        if (words.front().empty()) {
            Skip(name, "names no program");
            continue;
        }
        TCommandSettings command;
        command.Event = std::string(event);
        command.Program = words.front();
        command.Arguments.assign(words.begin() + 1, words.end());
        Commands.push_back(std::move(command));
    }
}

}  // namespace

TNotificationSettings LoadNotificationSettings() {
    TNotificationSettings settings;
    try {
        TSettingsStore store;
        if (!store.OpenKey(kKey, false)) {
            return settings;
        }
        TSettingsStore credentials;
        // Without the group nothing is read from it.
        credentials.OpenKey(kCredentialsKey, false);
        LoadMqtt(store, credentials, settings.Mqtt);
        LoadWebhooks(store, credentials, settings.Webhooks);
        LoadCommands(store, settings.Commands);
        ReadSwitch(store, "Snapshots", settings.Snapshots);
        ReadNumber(store, "CommandTimeoutSeconds", kMinCommandTimeoutSeconds,
                   kMaxCommandTimeoutSeconds, settings.CommandTimeoutSeconds);
    } catch (...) {
        LogMessage("Error in LoadNotificationSettings call...");
    }
    return settings;
}

bool SaveNotificationSettings(const TNotificationSettings& Settings) {
    try {
        TSettingsStore store;
        bool written = true;
        // Whole groups are replaced, so no webhook or command of before stays behind.
        for (const QString& key : {kKey, kCredentialsKey}) {
            if (store.KeyExists(key)) {
                written = store.DeleteKey(key) && written;
            }
        }
        if (!store.OpenKey(kKey, true)) {
            return false;
        }
        auto text = [&](const QString& Name, const std::string& Value) {
            written = store.WriteString(Name, QString::fromStdString(Value)) && written;
        };
        auto number = [&](const QString& Name, int Value) {
            written = store.WriteInteger(Name, Value) && written;
        };
        const TMqttSettings& mqtt = Settings.Mqtt;
        number("MqttEnabled", mqtt.Enabled ? 1 : 0);
        text("MqttHost", mqtt.Host);
        number("MqttPort", mqtt.Port);
        number("MqttTls", mqtt.Tls ? 1 : 0);
        text("MqttCaFile", mqtt.CaFile);
        text("MqttUser", mqtt.User);
        text("MqttTopicPrefix", mqtt.TopicPrefix);
        number("MqttDiscovery", mqtt.Discovery ? 1 : 0);
        number("Snapshots", Settings.Snapshots ? 1 : 0);
        number("CommandTimeoutSeconds", Settings.CommandTimeoutSeconds);
        const int webhooks =
            std::min<int>(kMaxWebhooks, static_cast<int>(Settings.Webhooks.size()));
        if (static_cast<int>(Settings.Webhooks.size()) > kMaxWebhooks) {
            LogMessageFmt("Error in SaveNotificationSettings - only the first %d webhooks are "
                          "stored.",
                          kMaxWebhooks);
        }
        for (int i = 0; i < webhooks; ++i) {
            const TWebhookSettings& webhook = Settings.Webhooks[i];
            text(WebhookValue(i + 1, "Url"), webhook.Url);
            text(WebhookValue(i + 1, "Events"), JoinEventList(webhook.Events, ","));
            number(WebhookValue(i + 1, "AttachSnapshot"), webhook.AttachSnapshot ? 1 : 0);
        }
        for (const TCommandSettings& command : Settings.Commands) {
            if (command.Program.empty()) {
                continue;
            }
            std::vector<std::string> words{command.Program};
            words.insert(words.end(), command.Arguments.begin(), command.Arguments.end());
            text(kCommandPrefix + QString::fromStdString(command.Event), JoinCommandText(words));
        }

        bool secrets = !mqtt.Password.empty();
        for (int i = 0; i < webhooks; ++i) {
            secrets = secrets || !Settings.Webhooks[i].Authorization.empty();
        }
        if (secrets) {
            if (!store.OpenKey(kCredentialsKey, true)) {
                return false;
            }
            if (!mqtt.Password.empty()) {
                text("MqttPassword", mqtt.Password);
            }
            for (int i = 0; i < webhooks; ++i) {
                if (!Settings.Webhooks[i].Authorization.empty()) {
                    text(WebhookValue(i + 1, "Authorization"), Settings.Webhooks[i].Authorization);
                }
            }
        }
        return store.Flush() && written;
    } catch (...) {
        LogMessage("Error in SaveNotificationSettings call...");
        return false;
    }
}
