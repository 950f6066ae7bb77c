#pragma once

#include <gst/gst.h>

#include <functional>
#include <string>

#include "platform/HResult.h"

// Property pages. A device offers pages when it is a V4L2 source whose device has at least
// one control; everything else is "not supported". The pages themselves are a dialog of the
// application layer, which installs it here; without one nothing is shown.
using TPropertyPageHandler =
    std::function<HRESULT(GstElement* object, void* ownerWindow, const std::string& caption)>;
// Returns the previous handler.
TPropertyPageHandler SetPropertyPageHandler(TPropertyPageHandler handler);
// E_NOTIMPL (nothing shown) unless the object offers pages and a handler is installed.
HRESULT ShowSpecifiedPropertyPages(GstElement* object, void* ownerWindow,
                                   const std::string& caption);
bool IsPropertyPageAvailable(GstElement* object);
