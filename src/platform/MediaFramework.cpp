#include "platform/MediaFramework.h"

#include <gst/gst.h>

#include <mutex>

#include "platform/Diagnostics.h"

bool InitializeMediaFramework() {
    static std::once_flag once;
    static bool initialized = false;
    std::call_once(once, [] {
        GError* error = nullptr;
        initialized = gst_init_check(nullptr, nullptr, &error) != FALSE;
        if (!initialized) {
            LogMessageFmt("Error in InitializeMediaFramework - %s.",
                          error != nullptr ? error->message : "gst_init failed");
            g_clear_error(&error);
        }
    });
    return initialized;
}
