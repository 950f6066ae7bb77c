#pragma once

#include "notifications/EventOutput.h"

// Headless runs: every event as one line of JSON on standard output, written in one piece and
// at once. Once the reader has gone, the lines stop (said once in the log).
class TStdoutEventOutput : public TEventOutput {
public:
    std::string Name() const override { return "standard output"; }
    std::string Deliver(const TNotificationEvent& Event, TEvent& Stopping) override;
};
