#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "notifications/MqttTopics.h"

// Home Assistant's MQTT discovery: retained config messages under
// "<discovery prefix>/<component>/tandrel_<instance>/<object>/config" that make one device per
// instance with a switch for the detection, an image entity for the snapshot and a motion
// sensor per zone. All of them follow the availability topic.
class THomeAssistantDiscovery {
public:
    THomeAssistantDiscovery(const TMqttTopics& Topics, std::string_view DiscoveryPrefix,
                            std::string_view Instance);

    // The switch and the image, then the motion sensors of zones 1..ZoneCount.
    std::vector<TMqttMessage> Configs(int64_t ZoneCount) const;
    // The config topic of one zone's motion sensor; an empty retained message there removes
    // the sensor.
    std::string ZoneConfigTopic(int64_t Zone) const;

private:
    std::string ConfigTopic(std::string_view Component, std::string_view Object) const;
    // The values every entity shares: availability and the device.
    std::string Common(std::string_view Object) const;

    const TMqttTopics FTopics;
    std::string FDiscoveryPrefix;
    std::string FNode;        // "tandrel_<instance>", topic-safe
    std::string FDeviceName;  // "Tandrel <instance>"
};
