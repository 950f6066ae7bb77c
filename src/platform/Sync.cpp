#include "platform/Sync.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

std::mutex& SharedLock() {
    static std::mutex lock;
    return lock;
}

std::condition_variable& SharedCondition() {
    static std::condition_variable condition;
    return condition;
}

}  // namespace

TEvent::TEvent(bool manualReset, bool initialState)
    : FManualReset(manualReset), FSignalled(initialState) {}

void TEvent::SetEvent() {
    {
        std::lock_guard lock(SharedLock());
        FSignalled = true;
    }
    SharedCondition().notify_all();
}

void TEvent::ResetEvent() {
    std::lock_guard lock(SharedLock());
    FSignalled = false;
}

void TEvent::Consume() {
    if (!FManualReset) {
        FSignalled = false;
    }
}

uint32_t TEvent::WaitFor(uint32_t timeoutMs) { return WaitForMultipleObjects({this}, timeoutMs); }

TSemaphore::TSemaphore(int32_t initialCount, int32_t maximumCount)
    : FCount(initialCount), FMaximum(maximumCount) {}

bool TSemaphore::Release(int32_t count) {
    {
        std::lock_guard lock(SharedLock());
        if (count <= 0 || FCount > FMaximum - count) {
            return false;
        }
        FCount += count;
    }
    SharedCondition().notify_all();
    return true;
}

uint32_t TSemaphore::WaitFor(uint32_t timeoutMs) {
    return WaitForMultipleObjects({this}, timeoutMs);
}

int32_t TSemaphore::Count() const {
    std::lock_guard lock(SharedLock());
    return FCount;
}

uint32_t WaitForMultipleObjects(std::initializer_list<TWaitable*> objects, uint32_t timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(SharedLock());
    for (;;) {
        uint32_t index = 0;
        for (TWaitable* object : objects) {
            if (object != nullptr && object->IsSignalled()) {
                object->Consume();
                return WAIT_OBJECT_0 + index;
            }
            ++index;
        }
        if (timeoutMs == INFINITE) {
            SharedCondition().wait(lock);
        } else if (SharedCondition().wait_until(lock, deadline) == std::cv_status::timeout) {
            // One last look: a signal may have raced with the time-out.
            index = 0;
            for (TWaitable* object : objects) {
                if (object != nullptr && object->IsSignalled()) {
                    object->Consume();
                    return WAIT_OBJECT_0 + index;
                }
                ++index;
            }
            return WAIT_TIMEOUT;
        }
    }
}
