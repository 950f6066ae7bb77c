#include "notifications/EventLine.h"

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
    FText += JsonNumber(Value);
    return *this;
}

std::string JsonNumber(double Value) {
    if (!std::isfinite(Value)) {
        return "null";  // JSON has no infinity
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", Value);
    // The C locale's point, whatever the user's locale says.
    for (char* c = text; *c != '\0'; ++c) {
        if (*c == ',') {
            *c = '.';
        }
    }
    return text;
}

TEventLine& TEventLine::Add(std::string_view Key, std::string_view Value) {
    AddKey(Key);
    FText += JsonString(Value);
    return *this;
}

void TEventLine::Write() const { WriteJsonLine(Text()); }

bool WriteJsonLine(std::string_view Json) {
    // Once standard output is gone (its reader closed the pipe), there is nobody to tell: the
    // lines stop, said once in the log, and watching and recording go on.
    static std::atomic<bool> closed{false};
    if (closed) {
        return false;
    }
    std::string line(Json);
    line += "\n";
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
            return false;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

std::string IsoLocalTime(TDateTime Time) {
    const TDateTimeParts p = DecodeDateTime(Time);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", p.Year, p.Month, p.Day,
                  p.Hour, p.Minute, p.Second, p.Millisecond);
    return text;
}

namespace {

// The length of the well-formed UTF-8 sequence at the start of Text (1 to 4), or 0 when the
// bytes there are none: a stray continuation byte, a cut-off sequence, an overlong form, a
// surrogate or a code point above U+10FFFF.
size_t Utf8SequenceLength(std::string_view Text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(Text[i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80;  // the range the second byte must lie in
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;   // no overlong forms
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (Text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

void AppendUnicodeEscape(std::string& out, unsigned value) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", value);
    out += escape;
}

}  // namespace

std::string JsonString(std::string_view Text) {
    std::string out = "\"";
    size_t i = 0;
    while (i < Text.size()) {
        const char c = Text[i];
        const size_t length = Utf8SequenceLength(Text.substr(i));
        if (length == 0) {
            // A byte that is not part of UTF-8 text (a file name in another encoding) is read
            // as Latin-1, so the line stays valid JSON and the byte can still be told.
            AppendUnicodeEscape(out, static_cast<unsigned char>(c));
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(Text.substr(i, length));
            i += length;
            continue;
        }
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
                    AppendUnicodeEscape(out, static_cast<unsigned char>(c));
                } else {
                    out += c;
                }
        }
        ++i;
    }
    out += "\"";
    return out;
}
