#include "capture/VideoDeviceMonitor.h"

#include <mutex>

#include "platform/Diagnostics.h"

namespace {

// The monitor of the running watch, if any: the one that receives the providers' messages.
std::mutex gWatchingLock;
GstDeviceMonitor* gWatching = nullptr;

TGstHandle<GstDeviceMonitor> NewVideoSourceMonitor() {
    auto monitor = TGstHandle<GstDeviceMonitor>::Adopt(gst_device_monitor_new());
    if (monitor) {
        gst_device_monitor_add_filter(monitor.Get(), "Video/Source", nullptr);
    }
    return monitor;
}

std::string DeviceName(GstDevice* device) {
    gchar* name = device != nullptr ? gst_device_get_display_name(device) : nullptr;
    std::string text = name != nullptr ? name : "";
    g_free(name);
    return text;
}

}  // namespace

TVideoDeviceMonitor::TVideoDeviceMonitor() {
    try {
        FMonitor = NewVideoSourceMonitor();
        if (!FMonitor) {
            return;
        }
        FBus = TGstBusHandle::Adopt(gst_device_monitor_get_bus(FMonitor.Get()));
        FStarted = FBus && gst_device_monitor_start(FMonitor.Get());
        if (!FStarted) {
            LogMessage("TVideoDeviceMonitor - no device provider watches for cameras.");
            return;
        }
        std::lock_guard<std::mutex> guard(gWatchingLock);
        if (gWatching == nullptr) {
            gWatching = FMonitor.Get();
        }
    } catch (...) {
        LogMessage("Error in TVideoDeviceMonitor.Create call...");
    }
}

TVideoDeviceMonitor::~TVideoDeviceMonitor() {
    try {
        {
            std::lock_guard<std::mutex> guard(gWatchingLock);
            if (gWatching == FMonitor.Get()) {
                gWatching = nullptr;
            }
        }
        if (FStarted) {
            gst_device_monitor_stop(FMonitor.Get());
        }
    } catch (...) {
        LogMessage("Error in TVideoDeviceMonitor.Destroy call...");
    }
}

TVideoDeviceMonitor::TChanges TVideoDeviceMonitor::TakeChanges() {
    TChanges changes;
    try {
        if (!FStarted) {
            return changes;
        }
        while (GstMessage* raw = gst_bus_pop_filtered(
                   FBus.Get(), static_cast<GstMessageType>(GST_MESSAGE_DEVICE_ADDED |
                                                           GST_MESSAGE_DEVICE_REMOVED))) {
            TGstMessageHandle message = TGstMessageHandle::Adopt(raw);
            GstDevice* device = nullptr;
            const bool added = GST_MESSAGE_TYPE(raw) == GST_MESSAGE_DEVICE_ADDED;
            if (added) {
                gst_message_parse_device_added(raw, &device);
            } else {
                gst_message_parse_device_removed(raw, &device);
            }
            const std::string name = DeviceName(device);
            if (device != nullptr) {
                gst_object_unref(device);
            }
            LogMessageFmt("TVideoDeviceMonitor - camera %s: %s.", added ? "added" : "removed",
                          name.c_str());
            (added ? changes.Added : changes.Removed).push_back(name);
        }
    } catch (...) {
        LogMessage("Error in TVideoDeviceMonitor.TakeChanges call...");
    }
    return changes;
}

std::vector<TGstHandle<GstDevice>> TVideoDeviceMonitor::VideoSources() {
    std::vector<TGstHandle<GstDevice>> sources;
    TGstHandle<GstDeviceMonitor> monitor;
    {
        std::lock_guard<std::mutex> guard(gWatchingLock);
        monitor = TGstHandle<GstDeviceMonitor>::Ref(gWatching);
    }
    if (!monitor) {
        monitor = NewVideoSourceMonitor();
    }
    if (!monitor) {
        return sources;
    }
    GList* devices = gst_device_monitor_get_devices(monitor.Get());
    for (GList* l = devices; l != nullptr; l = l->next) {
        sources.push_back(TGstHandle<GstDevice>::Ref(GST_DEVICE(l->data)));
    }
    g_list_free_full(devices, gst_object_unref);
    return sources;
}
