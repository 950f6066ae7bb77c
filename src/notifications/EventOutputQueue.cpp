#include "notifications/EventOutputQueue.h"

#include <utility>

#include "notifications/SnapshotFile.h"
#include "platform/Diagnostics.h"

TEventOutputQueue::TEventOutputQueue(std::unique_ptr<TEventOutput> Output, size_t Capacity)
    : FOutput(std::move(Output)), FCapacity(Capacity > 0 ? Capacity : 1) {
    FThread.Start("EventOutput", [this] { Run(); });
}

TEventOutputQueue::~TEventOutputQueue() { Stop(); }

void TEventOutputQueue::Push(std::shared_ptr<const TNotificationEvent> Event) {
    {
        std::lock_guard<std::mutex> guard(FMutex);
        if (FClosing) {
            return;
        }
        if (FEvents.size() >= FCapacity) {
            FEvents.pop_front();
            ++FDropped;
            ++FDroppedInBurst;
        }
        FEvents.push_back(std::move(Event));
    }
    FChanged.notify_all();
}

void TEventOutputQueue::Run() {
    FOutput->Open();
    for (;;) {
        std::shared_ptr<const TNotificationEvent> event;
        uint64_t droppedInBurst = 0;
        {
            std::unique_lock<std::mutex> lock(FMutex);
            FBusy = false;
            FChanged.notify_all();
            FChanged.wait(lock, [this] { return FClosing || !FEvents.empty(); });
            if (FEvents.empty()) {
                break;  // closing, and everything queued is delivered
            }
            event = std::move(FEvents.front());
            FEvents.pop_front();
            FBusy = true;
            // The end of a burst of drops is said once, when the output has caught up.
            if (FEvents.empty() && FDroppedInBurst > 0) {
                droppedInBurst = std::exchange(FDroppedInBurst, 0);
            }
        }
        if (droppedInBurst > 0) {
            LogMessageFmt("Events for %s came faster than it took them: %llu were dropped.",
                          FOutput->Name().c_str(), static_cast<unsigned long long>(droppedInBurst));
        }
        if (event->Snapshot()) {
            // The picture is written on its own thread; the event goes without it after a while
            // (or at once when the program ends).
            event->Snapshot()->WaitWritten(kSnapshotWaitMs, FStopping);
        }
        const std::string error = FOutput->Deliver(*event, FStopping);
        std::lock_guard<std::mutex> guard(FMutex);
        if (error.empty()) {
            ++FDelivered;
        } else {
            ++FFailed;
        }
    }
    FOutput->Close();
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FBusy = false;
    }
    FChanged.notify_all();
    FFinished.SetEvent();
}

void TEventOutputQueue::Stop(uint32_t DrainMs) {
    if (FStopped) {
        return;
    }
    FStopped = true;
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FClosing = true;
    }
    FChanged.notify_all();
    if (FFinished.WaitFor(DrainMs) != WAIT_OBJECT_0) {
        // What is still queued is given up; the output breaks off what it is doing.
        uint64_t left = 0;
        {
            std::lock_guard<std::mutex> guard(FMutex);
            left = FEvents.size();
            FDropped += left;
            FEvents.clear();
        }
        FStopping.SetEvent();
        if (left > 0) {
            LogMessageFmt("%llu events for %s were not delivered before the end.",
                          static_cast<unsigned long long>(left), FOutput->Name().c_str());
        }
    }
    FThread.Join();
}

uint64_t TEventOutputQueue::Dropped() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FDropped;
}

uint64_t TEventOutputQueue::Failed() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FFailed;
}

uint64_t TEventOutputQueue::Delivered() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FDelivered;
}

bool TEventOutputQueue::WaitIdle(uint32_t TimeoutMs) {
    std::unique_lock<std::mutex> lock(FMutex);
    return FChanged.wait_for(lock, std::chrono::milliseconds(TimeoutMs),
                             [this] { return FEvents.empty() && !FBusy; });
}
