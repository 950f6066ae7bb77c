#include "capture/PropertyPages.h"

#include <mutex>
#include <utility>
#include <vector>

#include "capture/V4l2Source.h"
#include "platform/Diagnostics.h"

namespace {

std::mutex gPageMutex;
TPropertyPageHandler gPageHandler;

// A V4L2 source, or a capture filter (bin) around one.
bool IsV4L2Source(GstElement* element) {
    return static_cast<bool>(V4l2Source::Find(element));
}

// At least one user control (brightness, contrast, gain, ...) on the device.
bool DeviceHasControls(GstElement* object) {
    std::vector<TV4l2Control> controls;
    return V4l2Source::ReadControls(object, controls) && !controls.empty();
}


}  // namespace

TPropertyPageHandler SetPropertyPageHandler(TPropertyPageHandler handler) {
    std::lock_guard lock(gPageMutex);
    return std::exchange(gPageHandler, std::move(handler));
}

bool IsPropertyPageAvailable(GstElement* object) {
    if (object == nullptr) {
        return false;
    }
    if (!IsV4L2Source(object)) {
        LogMessage("Property Pages not supported.");
        return false;
    }
    return DeviceHasControls(object);
}

HRESULT ShowSpecifiedPropertyPages(GstElement* object, void* ownerWindow,
                                   const std::string& caption) {
    try {
        if (object == nullptr || !IsV4L2Source(object) || !DeviceHasControls(object)) {
            return E_NOTIMPL;
        }
        TPropertyPageHandler handler;
        {
            std::lock_guard lock(gPageMutex);
            handler = gPageHandler;
        }
        return handler ? handler(object, ownerWindow, caption) : E_NOTIMPL;
    } catch (...) {
        LogMessage("Error in ShowSpecifiedPropertyPages call...");
        return E_FAIL;
    }
}
