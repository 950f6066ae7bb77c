#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Sync.h"

// A counting semaphore paired with a stop event. Lock waits for a count, the stop event or
// the time-out, whichever comes first: 0 = a count taken, 1 = stopped (nothing taken),
// 258 = timed out.
//
// The name is kept for diagnostics only: the semaphore lives inside this process.
class TLock {
public:
    TLock(const std::string& AUniqueName, int32_t AMaximumLocks);
    // Returns every count (so every waiter can proceed), then closes both objects.
    ~TLock();
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;

    uint32_t Lock(uint32_t aTimeoutMilliseconds);
    // Returns one count; false when the count is already at its maximum.
    bool UnLock();
    // Releases one waiter without a count (the event resets itself).
    void Stop();

    TSemaphore* Handle() const { return HSemaphore.get(); }
    int32_t MaximumLocks() const { return FMaxLocks; }
    const std::string& Name() const { return FName; }

    // The result of a wait that could not be made (no semaphore).
    static constexpr uint32_t WAIT_FAILED = 0xFFFFFFFFu;

private:
    std::unique_ptr<TSemaphore> HSemaphore;
    TEvent FExitEvent;
    int32_t FMaxLocks;
    std::string FName;
};
