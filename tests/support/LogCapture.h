#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DebugOutput.h"

// Collects every debug-output line while it lives (any thread), then restores the previous sink.
class LogCapture {
public:
    LogCapture() {
        FPrevious = SetDebugOutputSink([this](std::string_view line) {
            std::lock_guard lock(FMutex);
            FLines.emplace_back(line);
        });
    }
    ~LogCapture() { SetDebugOutputSink(FPrevious); }

    std::vector<std::string> Lines() const {
        std::lock_guard lock(FMutex);
        return FLines;
    }
    bool Contains(const std::string& line) const {
        std::lock_guard lock(FMutex);
        return std::find(FLines.begin(), FLines.end(), line) != FLines.end();
    }
    void Clear() {
        std::lock_guard lock(FMutex);
        FLines.clear();
    }

private:
    mutable std::mutex FMutex;
    std::vector<std::string> FLines;
    TDebugOutputSink FPrevious;
};
