#pragma once

#include <string>

#include "notifications/NotificationEvent.h"

class TEvent;

// One receiver of the program's events (standard output, an MQTT broker, a webhook, commands).
// Each output runs on a thread of its own (TEventOutputQueue), so Deliver may take its time:
// it never delays a frame, the GUI or another output.
class TEventOutput {
public:
    virtual ~TEventOutput() = default;

    // How the output is named in log lines ("MQTT broker 127.0.0.1:1883"); never holds a
    // password.
    virtual std::string Name() const = 0;
    // Whether the output takes events of this kind at all (a webhook's filter, the commands of
    // one event); called on the publishing thread, so it must be quick and thread-safe.
    virtual bool Wants(const TNotificationEvent& Event) const { return true; }
    // Called once on the output's thread before the first event.
    virtual void Open() {}
    // Sends one event; runs on the output's thread. Stopping is set when the program ends and
    // the output must give up at once (a pause between tries waits on it). Returns the empty
    // text when the event was delivered, otherwise what went wrong in plain words.
    virtual std::string Deliver(const TNotificationEvent& Event, TEvent& Stopping) = 0;
    // Called once on the output's thread after the last event (a last message, a disconnect).
    virtual void Close() {}
};
