#include "notifications/StdoutEventOutput.h"

#include "notifications/EventLine.h"

std::string TStdoutEventOutput::Deliver(const TNotificationEvent& Event, TEvent& Stopping) {
    return WriteJsonLine(Event.Json()) ? std::string() : std::string("standard output is closed");
}
