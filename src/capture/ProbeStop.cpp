#include "capture/ProbeStop.h"

#include <cstring>

namespace {

constexpr const char* kStopName = "TandrelProbeStop";

}  // namespace

void TProbeStop::Stop() {
    TGstBusHandle bus;
    {
        std::lock_guard lock(FMutex);
        FStopped = true;
        bus = TGstBusHandle::Ref(FBus.Get());
    }
    if (bus) {
        gst_bus_post(bus.Get(), gst_message_new_application(
                                    nullptr, gst_structure_new_empty(kStopName)));
    }
}

bool TProbeStop::Attach(GstBus* Bus) {
    std::lock_guard lock(FMutex);
    FBus = TGstBusHandle::Ref(Bus);
    return !FStopped;
}

void TProbeStop::Detach() {
    TGstBusHandle bus;
    std::lock_guard lock(FMutex);
    bus = std::move(FBus);
}

bool TProbeStop::IsStopMessage(GstMessage* Message) {
    const GstStructure* s =
        GST_MESSAGE_TYPE(Message) == GST_MESSAGE_APPLICATION ? gst_message_get_structure(Message)
                                                              : nullptr;
    return s != nullptr && std::strcmp(gst_structure_get_name(s), kStopName) == 0;
}
