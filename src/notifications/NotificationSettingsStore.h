#pragma once

#include <cstdint>

#include "notifications/NotificationSettings.h"

// The notification settings in the program's settings file. The group "Notifications" holds
//
//   MqttEnabled, MqttHost, MqttPort, MqttTls, MqttCaFile, MqttUser, MqttTopicPrefix,
//   MqttDiscovery, Snapshots, CommandTimeoutSeconds,
//   Webhook<n>Url, Webhook<n>Events (event names separated by commas, empty: every event),
//   Webhook<n>AttachSnapshot for n = 1 to kMaxWebhooks,
//   Command_<event>: the command text run for that event (see CommandText.h),
//
// switches as 0 or 1 (true/false, yes/no, on/off are read too). The secrets stand apart in the
// group "NotificationCredentials": MqttPassword and Webhook<n>Authorization.
//
// GUI thread (the settings store is not thread-safe), or a headless run's start.

// At most this many webhooks are stored.
constexpr int kMaxWebhooks = 16;
// The range of CommandTimeoutSeconds.
constexpr int32_t kMinCommandTimeoutSeconds = 1;
constexpr int32_t kMaxCommandTimeoutSeconds = 3600;

// The stored settings; a missing value keeps its default. A value that cannot be used (a port
// out of range, a webhook address that is not http(s), a command with an unclosed quote, an
// unknown event name) is left out with one line in the diagnostics each, naming the value and
// never its secret; the rest is kept.
TNotificationSettings LoadNotificationSettings();

// Replaces the stored notification settings and their secrets (webhooks numbered from 1 in
// their order, beyond kMaxWebhooks left out; one command per event, the last one given wins).
// False when the settings cannot be written.
bool SaveNotificationSettings(const TNotificationSettings& Settings);
