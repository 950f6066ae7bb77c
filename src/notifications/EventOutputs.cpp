#include "notifications/EventOutputs.h"

#include <unistd.h>

#include "notifications/EventStream.h"

void AddNotificationOutputs(TEventStream& Stream, const TNotificationSettings& Settings,
                            std::function<void(bool On)> DetectionCommand) {}

std::string SendTestEvent(const TNotificationSettings& Settings, const std::string& Instance,
                          uint32_t TimeoutMs) {
    return {};
}

std::string EventInstanceName(const std::string& Given) {
    if (!Given.empty()) {
        return Given;
    }
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0 && host[0] != '\0') {
        return host;
    }
    return "default";
}
