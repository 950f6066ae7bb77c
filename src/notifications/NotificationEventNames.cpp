#include "notifications/NotificationEventNames.h"

#include <algorithm>

const std::vector<std::string_view>& NotificationEventNames() {
    static const std::vector<std::string_view> names = {
        "camera_started", "camera_lost",       "camera_back",        "detection_on",
        "detection_off",  "learning_done",     "motion_start",       "motion_end",
        "alarm_on",       "alarm_off",         "recording_started",  "recording_finished",
        "error",          "test",
    };
    return names;
}

bool IsNotificationEventName(std::string_view Name) {
    const std::vector<std::string_view>& names = NotificationEventNames();
    return std::find(names.begin(), names.end(), Name) != names.end();
}

bool ParseEventList(std::string_view Text, std::vector<std::string>& Events, std::string& Error) {
    Events.clear();
    std::vector<std::string> events;
    size_t start = 0;
    while (start <= Text.size()) {
        size_t end = Text.find(',', start);
        if (end == std::string_view::npos) {
            end = Text.size();
        }
        std::string_view name = Text.substr(start, end - start);
        while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) {
            name.remove_prefix(1);
        }
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) {
            name.remove_suffix(1);
        }
        if (!name.empty()) {
            if (!IsNotificationEventName(name)) {
                // Only a known name is long; an unknown one is cut so the message stays a line.
                constexpr size_t kShown = 40;
                Error = "unknown event name \"" + std::string(name.substr(0, kShown)) +
                        (name.size() > kShown ? "...\"" : "\"");
                return false;
            }
            if (std::find(events.begin(), events.end(), name) == events.end()) {
                events.emplace_back(name);
            }
        }
        start = end + 1;
    }
    Events = std::move(events);
    return true;
}

std::string JoinEventList(const std::vector<std::string>& Events, std::string_view Separator) {
    std::string text;
    for (const std::string& event : Events) {
        if (!text.empty()) {
            text += Separator;
        }
        text += event;
    }
    return text;
}
