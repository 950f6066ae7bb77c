#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/Sync.h"
#include "recording/Buffer.h"
#include "recording/Lock.h"

// A ring of pre-allocated buffers handed from one producer thread to one consumer thread
// without copying: the producer takes an empty buffer (GetEmptyBuffer), fills it and hands it
// on (AddBuffer); the consumer takes the next full one (GetFullBuffer), reads it and gives it
// back (ReleaseBuffer). Two counting semaphores carry the ownership; only the Get operations
// move the ring positions, so each side hands buffers on in the order it took them.
//
// EmptyCount counts the buffers not on the full side: it falls with AddBuffer and rises with
// ReleaseBuffer, so FullCount includes a buffer the consumer holds but has not released.
//
// A Get that neither obtains a buffer nor times out (stop or failure) answers false and leaves
// Buff untouched. Destruction wakes a thread waiting in a Get (it answers false) and waits for
// it to leave before anything is freed.
class TBuffQueue {
public:
    TBuffQueue(int32_t BuffsCount, int32_t InitBuffSize);
    virtual ~TBuffQueue();
    TBuffQueue(const TBuffQueue&) = delete;
    TBuffQueue& operator=(const TBuffQueue&) = delete;

    // Producer side; waits without time-out.
    virtual bool GetEmptyBuffer(TBuffer*& Buff);
    bool AddBuffer();
    // Consumer side; waits without time-out.
    virtual bool GetFullBuffer(TBuffer*& Buff);
    bool ReleaseBuffer();
    // Returns every buffer counted on the full side to the producer side.
    bool ReleaseAllBuffers();

    int32_t GetEmptyCount();
    int32_t GetFullCount();
    int32_t BuffersCount() const { return FBuffsCount; }
    // Threads inside a Get wait at this moment.
    int32_t WaitingThreads() {
        std::lock_guard lock(FWaitersLock);
        return FWaiters;
    }
    int32_t EmptyCount() { return GetEmptyCount(); }
    int32_t FullCount() { return GetFullCount(); }

protected:
    // Waits for `semaphore` or `exitEvent` (at most timeoutMs) and, on the semaphore, hands
    // out the ring entry at `index` and advances it.
    bool TakeBuffer(TSemaphore* semaphore, TEvent* exitEvent, int32_t& index, TBuffer*& Buff,
                    uint32_t timeoutMs, const char* failureLine);
    // Runs the counter update under FLock (bounded wait); see the source for a time-out.
    void UpdateEmptyCount(int32_t delta);
    void CreateSignals();

    std::unique_ptr<TEvent> FEmptyExitEvent;
    std::unique_ptr<TEvent> FFullExitEvent;
    int32_t FBuffsCount;
    int32_t FBuffInitSize;
    std::vector<std::unique_ptr<TBuffer>> FBuffs;
    TLock FLock;
    int32_t FReadIndex = 0;
    int32_t FWriteIndex = 0;
    std::unique_ptr<TSemaphore> FEmptySemaphore;
    std::unique_ptr<TSemaphore> FFullSemaphore;
    std::atomic<int32_t> FEmptyCount;
    std::atomic<bool> FDestroying{false};

private:
    // Threads inside a Get wait; destruction waits until none is left.
    std::mutex FWaitersLock;
    std::condition_variable FWaitersGone;
    int32_t FWaiters = 0;
};
