#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/Sync.h"

// A picture file that is being written on another thread: outputs that send the picture wait
// for it on their own threads, never on the frame path. Thread-safe.
class TSnapshotFile {
public:
    explicit TSnapshotFile(std::string Path);

    const std::string& Path() const { return FPath; }
    // Said once by the writer: the file is complete (Written) or could not be written.
    void Finish(bool Written);
    // Waits up to TimeoutMs for the writer, or until Abort is set; true when the file was
    // written.
    bool WaitWritten(uint32_t TimeoutMs, TEvent& Abort);
    bool WaitWritten(uint32_t TimeoutMs);

private:
    const std::string FPath;
    TEvent FDone{true, false};
    std::mutex FMutex;
    bool FWritten = false;  // guarded by FMutex
};
