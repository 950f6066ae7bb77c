#include "notifications/EventOutputs.h"

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "notifications/CommandOutput.h"
#include "notifications/EventStream.h"
#include "notifications/MqttOutput.h"
#include "notifications/WebhookOutput.h"
#include "platform/DateTime.h"
#include "platform/Diagnostics.h"
#include "platform/NamedThread.h"
#include "platform/Sync.h"

namespace {

// The MQTT client keeps its own queue towards the broker; a longer queue in front of it would
// only delay events more while the broker is away.
constexpr size_t kMqttQueueCapacity = 256;

}  // namespace

void AddNotificationOutputs(TEventStream& Stream, const TNotificationSettings& Settings,
                            std::function<void(bool On)> DetectionCommand) {
    if (Settings.Mqtt.Enabled) {
        auto mqtt = std::make_unique<TMqttOutput>(Settings.Mqtt, Stream.Instance());
        mqtt->SetDetectionHandler(std::move(DetectionCommand));
        Stream.AddOutput(std::move(mqtt), kMqttQueueCapacity);
    }
    for (const TWebhookSettings& webhook : Settings.Webhooks) {
        const std::string error = TWebhookOutput::UrlError(webhook.Url);
        if (!error.empty()) {
            LogMessageFmt("A webhook is left out: %s", error.c_str());
            continue;
        }
        Stream.AddOutput(std::make_unique<TWebhookOutput>(webhook));
    }
    if (!Settings.Commands.empty()) {
        Stream.AddOutput(
            std::make_unique<TCommandOutput>(Settings.Commands, Settings.CommandTimeoutSeconds));
    }
}

std::string SendTestEvent(const TNotificationSettings& Settings, const std::string& Instance,
                          uint32_t TimeoutMs) {
    TNotificationEvent event("test", Now());
    event.Add("camera", "").Add("instance", Instance).Add("text", "Test event from Tandrel");
    // Every receiver at once, each on a thread of its own; the answers in the settings' order.
    std::vector<std::string> answers(Settings.Webhooks.size() + 1);
    std::vector<std::unique_ptr<TNamedThread>> senders;
    TEvent stopping(true, false);
    if (Settings.Mqtt.Enabled) {
        senders.push_back(std::make_unique<TNamedThread>());
        senders.back()->Start("TestEvent", [&] {
            const std::string error =
                TMqttOutput::SendTestEvent(Settings.Mqtt, Instance, event, TimeoutMs);
            if (!error.empty()) {
                answers.front() = "MQTT: " + error;
            }
        });
    }
    for (size_t i = 0; i < Settings.Webhooks.size(); ++i) {
        senders.push_back(std::make_unique<TNamedThread>());
        senders.back()->Start("TestEvent", [&, i] {
            TWebhookTiming timing;
            timing.TryTimeoutMs = std::min<uint32_t>(timing.TryTimeoutMs, TimeoutMs / 3 + 1);
            timing.FirstPauseMs = 200;
            TWebhookOutput output(Settings.Webhooks[i], timing);
            const std::string error = output.Deliver(event, stopping);
            if (!error.empty()) {
                answers[i + 1] = output.Name() + ": " + error;
            }
        });
    }
    for (const auto& sender : senders) {
        sender->Join();
    }
    std::string report;
    for (const std::string& answer : answers) {
        if (!answer.empty()) {
            report += (report.empty() ? "" : "\n") + answer;
        }
    }
    return report;
}

std::string EventInstanceName(const std::string& Given) {
    if (!Given.empty()) {
        return Given;
    }
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0 && host[0] != '\0') {
        return host;
    }
    return "default";
}
