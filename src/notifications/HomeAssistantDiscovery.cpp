#include "notifications/HomeAssistantDiscovery.h"

#include "notifications/EventLine.h"

THomeAssistantDiscovery::THomeAssistantDiscovery(const TMqttTopics& Topics,
                                                 std::string_view DiscoveryPrefix,
                                                 std::string_view Instance)
    : FTopics(Topics),
      FDiscoveryPrefix(DiscoveryPrefix.empty() ? std::string_view("homeassistant")
                                               : DiscoveryPrefix),
      FNode("tandrel_" + TopicSafeInstance(Instance)),
      FDeviceName("Tandrel " +
                  (Instance.empty() ? std::string("default") : std::string(Instance))) {
    while (FDiscoveryPrefix.size() > 1 && FDiscoveryPrefix.back() == '/') {
        FDiscoveryPrefix.pop_back();
    }
}

std::string THomeAssistantDiscovery::ConfigTopic(std::string_view Component,
                                                 std::string_view Object) const {
    return FDiscoveryPrefix + "/" + std::string(Component) + "/" + FNode + "/" +
           std::string(Object) + "/config";
}

std::string THomeAssistantDiscovery::ZoneConfigTopic(int64_t Zone) const {
    return ConfigTopic("binary_sensor", "zone" + std::to_string(Zone));
}

std::string THomeAssistantDiscovery::Common(std::string_view Object) const {
    return ",\"unique_id\":" + JsonString(FNode + "_" + std::string(Object)) +
           ",\"availability_topic\":" + JsonString(FTopics.Availability()) +
           ",\"payload_available\":\"online\",\"payload_not_available\":\"offline\"" +
           ",\"device\":{\"identifiers\":[" + JsonString(FNode) +
           "],\"name\":" + JsonString(FDeviceName) +
           ",\"manufacturer\":\"Vantrelle Media Solutions\",\"model\":\"Tandrel\"}}";
}

std::vector<TMqttMessage> THomeAssistantDiscovery::Configs(int64_t ZoneCount) const {
    std::vector<TMqttMessage> configs;
    configs.push_back(
        {ConfigTopic("switch", "detection"),
         "{\"name\":\"Detection\",\"command_topic\":" + JsonString(FTopics.SetDetection()) +
             ",\"state_topic\":" + JsonString(FTopics.Detection()) +
             ",\"payload_on\":\"ON\",\"payload_off\":\"OFF\","
             "\"state_on\":\"ON\",\"state_off\":\"OFF\",\"icon\":\"mdi:motion-sensor\"" +
             Common("detection")});
    configs.push_back({ConfigTopic("image", "snapshot"),
                       "{\"name\":\"Snapshot\",\"image_topic\":" + JsonString(FTopics.Snapshot()) +
                           ",\"content_type\":\"image/jpeg\"" + Common("snapshot")});
    for (int64_t zone = 1; zone <= ZoneCount; ++zone) {
        const std::string object = "zone" + std::to_string(zone);
        configs.push_back({ZoneConfigTopic(zone),
                           "{\"name\":" + JsonString("Zone " + std::to_string(zone) + " motion") +
                               ",\"device_class\":\"motion\",\"state_topic\":" +
                               JsonString(FTopics.ZoneMotion(zone)) +
                               ",\"payload_on\":\"ON\",\"payload_off\":\"OFF\"" + Common(object)});
    }
    return configs;
}
