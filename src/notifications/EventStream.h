#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "notifications/EventOutputQueue.h"

// The one stream of events inside the program: the camera controller (and the program's start)
// publish, every output receives the same events in the same order, each on its own thread.
// Every event gets the camera's name and the instance name after its time.
//
// Thread-safe: Publish from any thread (the frame path, recorder threads, the GUI thread);
// outputs are added and removed on one thread while nothing else changes them.
class TEventStream {
public:
    TEventStream() = default;
    ~TEventStream();
    TEventStream(const TEventStream&) = delete;
    TEventStream& operator=(const TEventStream&) = delete;

    // The names added to every event from now on.
    void SetCamera(std::string Camera);
    void SetInstance(std::string Instance);
    std::string Instance() const;

    // Starts an output on its own thread; returns its queue (owned by the stream).
    TEventOutputQueue& AddOutput(std::unique_ptr<TEventOutput> Output,
                                 size_t Capacity = TEventOutputQueue::kDefaultCapacity);
    // Stops and removes every output (each delivers what it has for at most DrainMs, all at
    // once).
    void RemoveOutputs(uint32_t DrainMs = 3000);
    // Stops and removes the outputs Remove says yes to (the others go on).
    template <typename Predicate>
    void RemoveOutputsIf(Predicate Remove, uint32_t DrainMs = 3000);

    // Adds "camera" and "instance" and hands the event to every output that wants it. Never
    // waits for an output.
    void Publish(TNotificationEvent Event);

    size_t OutputCount() const;
    // Waits until every output has handled what was published so far; false on time-out.
    bool WaitIdle(uint32_t TimeoutMs);

private:
    void StopQueues(std::vector<std::unique_ptr<TEventOutputQueue>>& Queues, uint32_t DrainMs);

    mutable std::mutex FMutex;  // guards everything below
    std::string FCamera;
    std::string FInstance;
    std::vector<std::unique_ptr<TEventOutputQueue>> FQueues;
};

template <typename Predicate>
void TEventStream::RemoveOutputsIf(Predicate Remove, uint32_t DrainMs) {
    std::vector<std::unique_ptr<TEventOutputQueue>> removed;
    {
        std::lock_guard<std::mutex> guard(FMutex);
        for (auto it = FQueues.begin(); it != FQueues.end();) {
            if (Remove((*it)->Output())) {
                removed.push_back(std::move(*it));
                it = FQueues.erase(it);
            } else {
                ++it;
            }
        }
    }
    StopQueues(removed, DrainMs);
}
