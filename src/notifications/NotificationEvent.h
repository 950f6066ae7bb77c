#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/DateTime.h"

class TSnapshotFile;

// One event for the owner (motion began in a zone, a recording was finished, ...): its name, the
// local time it happened and its further values in the order they were added. Every output
// (standard output, MQTT, webhooks, commands) sends the same JSON object, made by Json().
class TNotificationEvent {
public:
    using TValue = std::variant<int64_t, double, std::string>;
    struct TField {
        std::string Key;
        TValue Value;
    };

    TNotificationEvent(std::string Name, TDateTime Time);

    TNotificationEvent& Add(std::string_view Key, int64_t Value);
    TNotificationEvent& Add(std::string_view Key, double Value);
    TNotificationEvent& Add(std::string_view Key, std::string_view Value);
    // Replaces the value of Key, or adds it at the end.
    TNotificationEvent& Set(std::string_view Key, TValue Value);

    const std::string& Name() const { return FName; }
    TDateTime Time() const { return FTime; }
    const std::vector<TField>& Fields() const { return FFields; }
    const TValue* Find(std::string_view Key) const;
    // The value of Key as text (numbers as JSON writes them); empty when missing.
    std::string Text(std::string_view Key) const;
    // The value of Key as a whole number, when it is one.
    std::optional<int64_t> Integer(std::string_view Key) const;

    // The picture taken with the event (motion_start, recording_started), being written on its
    // own thread; its path is the event's "snapshot" value. Null when there is none.
    const std::shared_ptr<TSnapshotFile>& Snapshot() const { return FSnapshot; }
    void SetSnapshot(std::shared_ptr<TSnapshotFile> Snapshot);

    // {"event":"...","time":"...",...}: the name, the time (local, ISO 8601 with milliseconds)
    // and the values in order.
    std::string Json() const;

private:
    std::string FName;
    TDateTime FTime;
    std::vector<TField> FFields;
    std::shared_ptr<TSnapshotFile> FSnapshot;
};
