#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// One message for the broker: its topic and its bytes (text or a JPEG).
struct TMqttMessage {
    std::string Topic;
    std::string Payload;
};

// The instance name as it may stand in a topic or an identifier: letters, digits, "_" and "-"
// stay, every other byte becomes "_"; an empty name is "default".
std::string TopicSafeInstance(std::string_view Instance);

// The topics of one instance under its prefix: the settings' prefix (without trailing "/"),
// or "tandrel/<instance>" when that is empty.
class TMqttTopics {
public:
    TMqttTopics(std::string_view Prefix, std::string_view Instance);

    const std::string& Prefix() const { return FPrefix; }
    // "online" / "offline", retained; the broker says "offline" itself when the program is gone.
    std::string Availability() const { return FPrefix + "/availability"; }
    // Every event's JSON, not retained.
    std::string Events() const { return FPrefix + "/events"; }
    // Retained "ON" / "OFF" states.
    std::string ZoneMotion(int64_t Zone) const;
    std::string Recording() const { return FPrefix + "/recording"; }
    std::string Detection() const { return FPrefix + "/detection"; }
    // The last snapshot's JPEG bytes, retained.
    std::string Snapshot() const { return FPrefix + "/snapshot"; }
    // Commands: "ON" / "OFF" switch the detection.
    std::string SetDetection() const { return FPrefix + "/set/detection"; }

private:
    std::string FPrefix;
};
