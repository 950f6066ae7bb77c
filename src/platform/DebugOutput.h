#pragma once

#include <functional>
#include <string_view>

// The debugger output channel: every call hands one complete line to the current sink.
// The default sink writes the line plus '\n' to standard error with a single write(), so
// lines from different threads never interleave.
using TDebugOutputSink = std::function<void(std::string_view line)>;

void OutputDebugString(std::string_view line);

// Replaces the process-wide sink (tests read the lines this way). An empty function restores
// the standard-error sink. Returns the previous sink.
TDebugOutputSink SetDebugOutputSink(TDebugOutputSink sink);
