#include "notifications/SnapshotFile.h"

#include <utility>

TSnapshotFile::TSnapshotFile(std::string Path) : FPath(std::move(Path)) {}

void TSnapshotFile::Finish(bool Written) {
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FWritten = Written;
    }
    FDone.SetEvent();
}

bool TSnapshotFile::WaitWritten(uint32_t TimeoutMs, TEvent& Abort) {
    if (WaitForMultipleObjects({&FDone, &Abort}, TimeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    std::lock_guard<std::mutex> guard(FMutex);
    return FWritten;
}

bool TSnapshotFile::WaitWritten(uint32_t TimeoutMs) {
    if (FDone.WaitFor(TimeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    std::lock_guard<std::mutex> guard(FMutex);
    return FWritten;
}
