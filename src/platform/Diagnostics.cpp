#include "platform/Diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/DebugOutput.h"

namespace {

std::string FormatV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char stackBuffer[512];
    const int needed = std::vsnprintf(stackBuffer, sizeof stackBuffer, format, copy);
    va_end(copy);
    if (needed < 0) {
        return format;
    }
    if (static_cast<size_t>(needed) < sizeof stackBuffer) {
        return std::string(stackBuffer, static_cast<size_t>(needed));
    }
    std::vector<char> heapBuffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(heapBuffer.data(), heapBuffer.size(), format, args);
    return std::string(heapBuffer.data(), static_cast<size_t>(needed));
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    return text;
}

}  // namespace

void LogMessage(std::string_view message) { OutputDebugString(message); }

void LogMessageFmt(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    LogMessage(text);
}

std::string GetDXErrorText(HRESULT hr) {
    // The framework's texts fit a 160-character buffer; longer ones are cut there.
    std::string text = HResultText(hr);
    if (text.size() > 159) {
        text.resize(159);
    }
    return text;
}

HRESULT CheckDXError(HRESULT hr, std::string_view message) {
    if (SUCCEEDED(hr) && hr != S_FALSE) {
        return hr;
    }
    const std::string msg(message);
    const auto code = static_cast<unsigned>(hr);
    LogMessage(Format("%s. (DX Error: %.8x: \"%s\")", msg.c_str(), code,
                      GetDXErrorText(hr).c_str()));
    throw EDXError(hr, Format("DX Error: %.8x.", code) + "\rMessage: " + msg);
}
