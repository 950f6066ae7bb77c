#include "platform/DebugOutput.h"

#include <memory>
#include <mutex>
#include <string>

#include <unistd.h>

namespace {

// Guards only the sink pointer; the sink itself is called outside the lock so a slow sink
// never blocks an installer.
std::mutex gSinkMutex;
std::shared_ptr<TDebugOutputSink> gSink;

void WriteToStandardError(std::string_view line) {
    std::string text;
    text.reserve(line.size() + 1);
    text.append(line);
    text.push_back('\n');
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, p, left);
        if (written <= 0) {
            return;
        }
        p += written;
        left -= static_cast<size_t>(written);
    }
}

}  // namespace

void OutputDebugString(std::string_view line) {
    std::shared_ptr<TDebugOutputSink> sink;
    {
        std::lock_guard lock(gSinkMutex);
        sink = gSink;
    }
    if (sink && *sink) {
        (*sink)(line);
    } else {
        WriteToStandardError(line);
    }
}

TDebugOutputSink SetDebugOutputSink(TDebugOutputSink sink) {
    auto next = sink ? std::make_shared<TDebugOutputSink>(std::move(sink)) : nullptr;
    std::lock_guard lock(gSinkMutex);
    auto previous = std::move(gSink);
    gSink = std::move(next);
    return previous ? *previous : TDebugOutputSink{};
}
