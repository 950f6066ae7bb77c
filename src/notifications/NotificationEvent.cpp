#include "notifications/NotificationEvent.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "notifications/EventLine.h"
#include "notifications/SnapshotFile.h"

TNotificationEvent::TNotificationEvent(std::string Name, TDateTime Time)
    : FName(std::move(Name)), FTime(Time) {}

TNotificationEvent& TNotificationEvent::Add(std::string_view Key, int64_t Value) {
    FFields.push_back({std::string(Key), Value});
    return *this;
}

TNotificationEvent& TNotificationEvent::Add(std::string_view Key, double Value) {
    FFields.push_back({std::string(Key), Value});
    return *this;
}

TNotificationEvent& TNotificationEvent::Add(std::string_view Key, std::string_view Value) {
    FFields.push_back({std::string(Key), std::string(Value)});
    return *this;
}

TNotificationEvent& TNotificationEvent::Set(std::string_view Key, TValue Value) {
    for (TField& field : FFields) {
        if (field.Key == Key) {
            field.Value = std::move(Value);
            return *this;
        }
    }
    FFields.push_back({std::string(Key), std::move(Value)});
    return *this;
}

const TNotificationEvent::TValue* TNotificationEvent::Find(std::string_view Key) const {
    for (const TField& field : FFields) {
        if (field.Key == Key) {
            return &field.Value;
        }
    }
    return nullptr;
}

std::string TNotificationEvent::Text(std::string_view Key) const {
    const TValue* value = Find(Key);
    if (value == nullptr) {
        return {};
    }
    if (const auto* text = std::get_if<std::string>(value)) {
        return *text;
    }
    if (const auto* number = std::get_if<int64_t>(value)) {
        return std::to_string(*number);
    }
    return JsonNumber(std::get<double>(*value));
}

std::optional<int64_t> TNotificationEvent::Integer(std::string_view Key) const {
    const TValue* value = Find(Key);
    if (value != nullptr) {
        if (const auto* number = std::get_if<int64_t>(value)) {
            return *number;
        }
    }
    return std::nullopt;
}

void TNotificationEvent::SetSnapshot(std::shared_ptr<TSnapshotFile> Snapshot) {
    FSnapshot = std::move(Snapshot);
}

std::string TNotificationEvent::Json() const {
    TEventLine line(FName, FTime);
    for (const TField& field : FFields) {
        std::visit([&](const auto& value) {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, std::string>) {
                line.Add(field.Key, std::string_view(value));
            } else {
                line.Add(field.Key, value);
            }
        },
                   field.Value);
    }
    return line.Text();
}
