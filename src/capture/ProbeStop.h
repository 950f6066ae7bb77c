#pragma once

#include <gst/gst.h>

#include <mutex>

#include "platform/GstHandle.h"

// Ends a running look at a network camera from another thread: the look attaches the bus of its
// graph, and Stop() posts a message there that wakes its wait at once. A stop before the look
// attached its bus is kept and ends the look as soon as it attaches.
class TProbeStop {
public:
    TProbeStop() = default;
    TProbeStop(const TProbeStop&) = delete;
    TProbeStop& operator=(const TProbeStop&) = delete;

    void Stop();
    // The look's bus from now on; false when a stop came already.
    bool Attach(GstBus* Bus);
    void Detach();
    // Whether `Message` is the stop's own.
    static bool IsStopMessage(GstMessage* Message);

private:
    std::mutex FMutex;
    TGstBusHandle FBus;
    bool FStopped = false;
};
