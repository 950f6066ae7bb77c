#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "notifications/NotificationSettings.h"

class TEventStream;

// Adds the outputs Settings ask for to Stream: the MQTT broker when it is on, each webhook, the
// commands. A detection command from the broker calls DetectionCommand on the MQTT thread.
// Values that cannot work (no host, a bad address) are logged and that output is left out.
void AddNotificationOutputs(TEventStream& Stream, const TNotificationSettings& Settings,
                            std::function<void(bool On)> DetectionCommand);

// Sends a "test" event to every receiver of Settings (not to commands), each at once and waited
// for at most TimeoutMs. The empty text when every receiver took it; otherwise one line per
// receiver that did not, in plain words.
std::string SendTestEvent(const TNotificationSettings& Settings, const std::string& Instance,
                          uint32_t TimeoutMs = 10000);

// The instance name events carry: Given when not empty, else the machine's host name.
std::string EventInstanceName(const std::string& Given);
