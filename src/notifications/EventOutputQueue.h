#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "notifications/EventOutput.h"
#include "platform/NamedThread.h"
#include "platform/Sync.h"

// Runs one output on a thread of its own behind a bounded queue. Push never waits: when the
// queue is full the oldest event is dropped and counted, and the output's thread says once per
// burst how many were lost. An event with a snapshot is delivered once its picture is written
// (or after kSnapshotWaitMs).
//
// Threads: Push from any thread; the output's Open, Deliver and Close on the queue's thread.
// FMutex guards FEvents, FClosing and the counts; it is never held while the output runs.
class TEventOutputQueue {
public:
    static constexpr size_t kDefaultCapacity = 256;
    static constexpr uint32_t kSnapshotWaitMs = 5000;

    TEventOutputQueue(std::unique_ptr<TEventOutput> Output, size_t Capacity = kDefaultCapacity);
    // Stops with the default drain time.
    ~TEventOutputQueue();
    TEventOutputQueue(const TEventOutputQueue&) = delete;
    TEventOutputQueue& operator=(const TEventOutputQueue&) = delete;

    // Hands an event to the output (any thread, never blocks on the output).
    void Push(std::shared_ptr<const TNotificationEvent> Event);
    // Delivers what is queued for at most DrainMs, then tells the output to give up, closes it
    // and joins its thread. Idempotent.
    void Stop(uint32_t DrainMs = 3000);

    TEventOutput& Output() const { return *FOutput; }
    // Events dropped because the queue was full, and events the output could not deliver.
    uint64_t Dropped() const;
    uint64_t Failed() const;
    uint64_t Delivered() const;
    // Waits until everything pushed so far has been handled (tests, the "Send test event"
    // button); false on time-out.
    bool WaitIdle(uint32_t TimeoutMs);

private:
    void Run();

    std::unique_ptr<TEventOutput> FOutput;
    const size_t FCapacity;
    mutable std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<std::shared_ptr<const TNotificationEvent>> FEvents;
    bool FClosing = false;
    bool FBusy = false;          // the thread is delivering one it took from FEvents
    uint64_t FDropped = 0;
    uint64_t FDroppedInBurst = 0;
    uint64_t FFailed = 0;
    uint64_t FDelivered = 0;
    TEvent FStopping{true, false};  // the output must give up now
    TEvent FFinished{true, false};  // the thread's body has returned
    TNamedThread FThread;
    bool FStopped = false;  // Stop has run (owner's thread only)
};
