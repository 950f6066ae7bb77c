#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/HResult.h"

// Every diagnostic line of the program goes through these routines. The failure convention:
// each public operation catches everything itself, writes exactly one line with LogMessage
// ("Error in TClass.Method call...") and returns its failure value; nothing is rethrown.

// Passes the message unchanged to the debugger output (one line).
void LogMessage(std::string_view message);

// printf-style formatting, then LogMessage. Strings are passed as const char* (c_str()).
void LogMessageFmt(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Trace points: they mark a noteworthy non-fatal condition and produce no output.
inline void TraceMessage(std::string_view) {}
template <typename... Args>
inline void TraceMessageFmt(const char*, Args&&...) {}

// The media framework's text for a code.
std::string GetDXErrorText(HRESULT hr);

// The failure CheckDXError raises; its text is "DX Error: xxxxxxxx.\rMessage: <message>".
class EDXError : public std::runtime_error {
public:
    EDXError(HRESULT hr, const std::string& text) : std::runtime_error(text), FCode(hr) {}
    HRESULT Code() const { return FCode; }

private:
    HRESULT FCode;
};

// Returns hr when it is a success other than S_FALSE. Otherwise logs
// "<message>. (DX Error: xxxxxxxx: "<text>")" and throws EDXError.
HRESULT CheckDXError(HRESULT hr, std::string_view message);
