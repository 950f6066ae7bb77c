#include "recording/BuffQueue.h"

#include <stdexcept>

#include "platform/Diagnostics.h"

namespace {
constexpr uint32_t kCountLockTimeoutMs = 1000;
}

TBuffQueue::TBuffQueue(int32_t BuffsCount, int32_t InitBuffSize)
    : FBuffsCount(BuffsCount > 0 ? BuffsCount : 0),
      FBuffInitSize(InitBuffSize),
      FLock("", 1),
      FEmptyCount(FBuffsCount) {
    FBuffs.reserve(static_cast<size_t>(FBuffsCount));
    for (int32_t i = 0; i < FBuffsCount; ++i) {
        FBuffs.push_back(std::make_unique<TBuffer>(InitBuffSize, 0));
    }
    CreateSignals();
}

void TBuffQueue::CreateSignals() {
    FEmptyExitEvent = std::make_unique<TEvent>(false, false);
    FFullExitEvent = std::make_unique<TEvent>(false, false);
    FEmptySemaphore = std::make_unique<TSemaphore>(FBuffsCount, FBuffsCount);
    FFullSemaphore = std::make_unique<TSemaphore>(0, FBuffsCount);
}

TBuffQueue::~TBuffQueue() {
    {
        std::lock_guard lock(FWaitersLock);
        FDestroying = true;
    }
    FEmptyExitEvent->SetEvent();
    FFullExitEvent->SetEvent();
    // A thread inside a Get leaves once it sees an exit event; nothing is freed before.
    std::unique_lock lock(FWaitersLock);
    FWaitersGone.wait(lock, [this] { return FWaiters == 0; });
}

bool TBuffQueue::TakeBuffer(TSemaphore* semaphore, TEvent* exitEvent, int32_t& index,
                            TBuffer*& Buff, uint32_t timeoutMs, const char* failureLine) {
    {
        std::lock_guard lock(FWaitersLock);
        if (FDestroying) {
            return false;
        }
        ++FWaiters;
    }
    bool taken = false;
    try {
        const uint32_t wait = WaitForMultipleObjects({semaphore, exitEvent}, timeoutMs);
        if (wait == WAIT_OBJECT_0) {
            if (FDestroying) {
                // Woken at the same moment as destruction began: give the count back.
                semaphore->Release(1);
            } else {
                Buff = FBuffs[static_cast<size_t>(index)].get();
                index = (index + 1) % FBuffsCount;
                taken = true;
            }
        }
    } catch (...) {
        LogMessage(failureLine);
    }
    std::lock_guard lock(FWaitersLock);
    --FWaiters;
    FWaitersGone.notify_all();
    return taken;
}

bool TBuffQueue::GetEmptyBuffer(TBuffer*& Buff) {
    return TakeBuffer(FEmptySemaphore.get(), FEmptyExitEvent.get(), FWriteIndex, Buff, INFINITE,
                      "gkt: Error in TBuffQueue.GetEmptyBuffer call...");
}

bool TBuffQueue::GetFullBuffer(TBuffer*& Buff) {
    return TakeBuffer(FFullSemaphore.get(), FFullExitEvent.get(), FReadIndex, Buff, INFINITE,
                      "gkt: Error in TBuffQueue.GetFullBuffer call..");
}

void TBuffQueue::UpdateEmptyCount(int32_t delta) {
    // The lock is only ever held for a counter update, so a time-out is not expected; should
    // one happen the update is still made (the counter is atomic) so that no count is lost.
    const bool locked = FLock.Lock(kCountLockTimeoutMs) == WAIT_OBJECT_0;
    FEmptyCount += delta;
    if (locked) {
        FLock.UnLock();
    }
}

bool TBuffQueue::AddBuffer() {
    if (FDestroying) {
        return false;
    }
    try {
        if (!FFullSemaphore->Release(1)) {
            throw std::logic_error("more buffers added than taken");
        }
        UpdateEmptyCount(-1);
        return true;
    } catch (...) {
        LogMessage("gkt: Error in TBuffQueue.AddBuffer call..");
        return false;
    }
}

bool TBuffQueue::ReleaseBuffer() {
    if (FDestroying) {
        return false;
    }
    try {
        if (!FEmptySemaphore->Release(1)) {
            throw std::logic_error("more buffers released than taken");
        }
        UpdateEmptyCount(+1);
        return true;
    } catch (...) {
        LogMessage("gkt: Error in TBuffQueue.ReleaseBuffer call...");
        return false;
    }
}

bool TBuffQueue::ReleaseAllBuffers() {
    if (FDestroying) {
        return false;
    }
    try {
        const bool locked = FLock.Lock(kCountLockTimeoutMs) == WAIT_OBJECT_0;
        const int32_t n = FBuffsCount - FEmptyCount;
        for (int32_t i = 0; i < n; ++i) {
            FEmptySemaphore->Release(1);
        }
        FEmptyCount = FBuffsCount;
        if (locked) {
            FLock.UnLock();
        }
        return true;
    } catch (...) {
        LogMessage("gkt: Error in TBuffQueue.ReleaseAllBuffers call...");
        return false;
    }
}

int32_t TBuffQueue::GetEmptyCount() {
    const bool locked = FLock.Lock(kCountLockTimeoutMs) == WAIT_OBJECT_0;
    const int32_t count = FEmptyCount;
    if (locked) {
        FLock.UnLock();
    }
    return count;
}

int32_t TBuffQueue::GetFullCount() { return FBuffsCount - GetEmptyCount(); }
