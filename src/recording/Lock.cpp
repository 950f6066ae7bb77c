#include "recording/Lock.h"

#include <stdexcept>

#include "platform/Diagnostics.h"

TLock::TLock(const std::string& AUniqueName, int32_t AMaximumLocks)
    : FExitEvent(false, false), FMaxLocks(AMaximumLocks), FName(AUniqueName) {
    try {
        if (AMaximumLocks <= 0) {
            throw std::invalid_argument("a semaphore needs a positive maximum");
        }
        HSemaphore = std::make_unique<TSemaphore>(AMaximumLocks, AMaximumLocks);
    } catch (...) {
        LogMessage("gkt: Error in TLock.Create call...");
    }
}

TLock::~TLock() {
    while (UnLock()) {
    }
}

uint32_t TLock::Lock(uint32_t aTimeoutMilliseconds) {
    if (!HSemaphore) {
        return WAIT_FAILED;
    }
    return WaitForMultipleObjects({HSemaphore.get(), &FExitEvent}, aTimeoutMilliseconds);
}

bool TLock::UnLock() { return HSemaphore && HSemaphore->Release(1); }

void TLock::Stop() { FExitEvent.SetEvent(); }
