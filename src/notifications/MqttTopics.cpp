#include "notifications/MqttTopics.h"

std::string TopicSafeInstance(std::string_view Instance) {
    if (Instance.empty()) {
        return "default";
    }
    std::string safe(Instance);
    for (char& c : safe) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!kept) {
            c = '_';
        }
    }
    return safe;
}

TMqttTopics::TMqttTopics(std::string_view Prefix, std::string_view Instance) {
    while (!Prefix.empty() && Prefix.back() == '/') {
        Prefix.remove_suffix(1);
    }
    FPrefix = Prefix.empty() ? "tandrel/" + TopicSafeInstance(Instance) : std::string(Prefix);
}

std::string TMqttTopics::ZoneMotion(int64_t Zone) const {
    return FPrefix + "/zone/" + std::to_string(Zone) + "/motion";
}
