#pragma once

#include <gst/gst.h>

#include <string>
#include <vector>

#include "platform/GstHandle.h"

// Watches the machine's video capture devices come and go (GStreamer's device monitor for
// "Video/Source"), so that a camera plugged in again is picked up at once instead of at the
// next reconnect attempt. The monitor's messages are collected from its bus by TakeChanges;
// nothing runs on behalf of this class between calls. Where no device provider can watch
// (no udev, no PipeWire), it simply reports nothing.
//
// A device provider hands its messages to one monitor only (the last one that asked), so while
// a watch runs, the device list is taken from the watching monitor (VideoSources) rather than
// from a monitor of its own. One watch at a time receives the changes.
//
// An instance is used on one thread (the camera controller's); VideoSources on any.
class TVideoDeviceMonitor {
public:
    struct TChanges {
        std::vector<std::string> Added;    // display names of devices that appeared
        std::vector<std::string> Removed;  // and of those that went

        bool Empty() const { return Added.empty() && Removed.empty(); }
    };

    TVideoDeviceMonitor();
    ~TVideoDeviceMonitor();
    TVideoDeviceMonitor(const TVideoDeviceMonitor&) = delete;
    TVideoDeviceMonitor& operator=(const TVideoDeviceMonitor&) = delete;

    // Whether the monitor could be started.
    bool Watching() const { return FStarted; }
    // What changed since the last call; never blocks.
    TChanges TakeChanges();

    // The video capture devices present now (references the caller unrefs), listed through
    // the running watch if there is one.
    static std::vector<TGstHandle<GstDevice>> VideoSources();

private:
    TGstHandle<GstDeviceMonitor> FMonitor;
    TGstBusHandle FBus;
    bool FStarted = false;
};
