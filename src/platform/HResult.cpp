#include "platform/HResult.h"

#include <cstdio>

std::string HResultText(HRESULT hr) {
    switch (hr) {
        case S_OK:
            return "No error.";
        case S_FALSE:
            return "The operation completed but did not do everything it was asked to.";
        case E_FAIL:
            return "Unspecified error.";
        case E_POINTER:
            return "Invalid pointer.";
        case E_INVALIDARG:
            return "The parameter is incorrect.";
        case E_UNEXPECTED:
            return "Catastrophic failure.";
        case E_NOTIMPL:
            return "Not implemented.";
        case E_OUTOFMEMORY:
            return "Not enough memory to complete the operation.";
        case E_NOINTERFACE:
            return "No such interface supported.";
        case VFW_S_NO_MORE_ITEMS:
            return "The end of the list has been reached.";
        case VFW_S_STATE_INTERMEDIATE:
            return "The state transition has not completed.";
        case VFW_E_NOT_CONNECTED:
            return "The operation cannot be performed because the pins are not connected.";
        case VFW_E_ALREADY_CONNECTED:
            return "The pin is already connected.";
        case VFW_E_CANNOT_CONNECT:
            return "No combination of intermediate filters could be found to make the "
                   "connection.";
        case VFW_E_CANNOT_RENDER:
            return "No combination of filters could be found to render the stream.";
        case VFW_E_TYPE_NOT_ACCEPTED:
            return "This media type is not accepted.";
        case VFW_E_NOT_FOUND:
            return "An object or name was not found.";
        case VFW_E_WRONG_STATE:
            return "The operation could not be performed because the filter is in the wrong "
                   "state.";
        case VFW_E_TIMEOUT:
            return "A time-out has expired.";
        default: {
            char text[64];
            std::snprintf(text, sizeof text, "Unknown error 0x%.8X.", static_cast<unsigned>(hr));
            return text;
        }
    }
}
