#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Where the program's events go besides standard output. Plain values: the settings store reads
// and writes them (passwords apart from the rest), the headless command line replaces some for
// one run, and the outputs are built from them.

struct TMqttSettings {
    bool Enabled = false;
    std::string Host;
    int32_t Port = 1883;  // 8883 is the usual port with TLS
    bool Tls = false;     // mqtts: the broker's certificate is verified
    std::string CaFile;   // empty: the system's certificate authorities
    std::string User;
    std::string Password;  // stored apart from the other values, never logged
    // Empty: "tandrel/<instance>".
    std::string TopicPrefix;
    bool Discovery = true;  // Home Assistant discovery messages
    std::string DiscoveryPrefix = "homeassistant";
};

struct TWebhookSettings {
    std::string Url;
    // The event names sent; empty: every event.
    std::vector<std::string> Events;
    // Sent as the Authorization header when not empty; stored like a password.
    std::string Authorization;
    // The snapshot goes with the events that have one, as multipart/form-data.
    bool AttachSnapshot = false;
};

struct TCommandSettings {
    std::string Event;  // the event name the command runs for
    std::string Program;
    std::vector<std::string> Arguments;
};

struct TNotificationSettings {
    TMqttSettings Mqtt;
    std::vector<TWebhookSettings> Webhooks;
    std::vector<TCommandSettings> Commands;
    // A command still running after this is ended.
    int32_t CommandTimeoutSeconds = 30;
    // A JPEG of the frame at each motion start, beside the recording.
    bool Snapshots = true;
};
