#include "shell/EventLine.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdio>

#include <unistd.h>

#include "platform/Diagnostics.h"

TEventLine::TEventLine(std::string_view Event, TDateTime Time) {
    FText = "{\"event\":" + JsonString(Event) + ",\"time\":" + JsonString(IsoLocalTime(Time));
}

void TEventLine::AddKey(std::string_view Key) {
    FText += ",";
    FText += JsonString(Key);
    FText += ":";
}

TEventLine& TEventLine::Add(std::string_view Key, int64_t Value) {
    AddKey(Key);
    FText += std::to_string(Value);
    return *this;
}

TEventLine& TEventLine::Add(std::string_view Key, double Value) {
    AddKey(Key);
    if (!std::isfinite(Value)) {
        FText += "null";  // JSON has no infinity
        return *this;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", Value);
    // The C locale's point, whatever the user's locale says.
    for (char* c = text; *c != '\0'; ++c) {
        if (*c == ',') {
            *c = '.';
        }
    }
    FText += text;
    return *this;
}

TEventLine& TEventLine::Add(std::string_view Key, std::string_view Value) {
    AddKey(Key);
    FText += JsonString(Value);
    return *this;
}

void TEventLine::Write() const {
    // Once standard output is gone (its reader closed the pipe), there is nobody to tell: the
    // lines stop, said once in the log, and watching and recording go on.
    static std::atomic<bool> closed{false};
    if (closed) {
        return;
    }
    const std::string line = Text() + "\n";
    const char* data = line.data();
    size_t left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (!closed.exchange(true)) {
                LogMessage("Standard output cannot be written (" +
                           std::string(std::strerror(written < 0 ? errno : EIO)) +
                           "); no more event lines are written.");
            }
            return;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
}

std::string IsoLocalTime(TDateTime Time) {
    const TDateTimeParts p = DecodeDateTime(Time);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", p.Year, p.Month, p.Day,
                  p.Hour, p.Minute, p.Second, p.Millisecond);
    return text;
}

std::string JsonString(std::string_view Text) {
    std::string out = "\"";
    for (const char c : Text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                } else {
                    out += c;
                }
        }
    }
    out += "\"";
    return out;
}
