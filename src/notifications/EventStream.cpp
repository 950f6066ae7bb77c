#include "notifications/EventStream.h"

#include <utility>

TEventStream::~TEventStream() { RemoveOutputs(); }

void TEventStream::SetCamera(std::string Camera) {
    std::lock_guard<std::mutex> guard(FMutex);
    FCamera = std::move(Camera);
}

void TEventStream::SetInstance(std::string Instance) {
    std::lock_guard<std::mutex> guard(FMutex);
    FInstance = std::move(Instance);
}

std::string TEventStream::Instance() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FInstance;
}

TEventOutputQueue& TEventStream::AddOutput(std::unique_ptr<TEventOutput> Output,
                                           size_t Capacity) {
    auto queue = std::make_unique<TEventOutputQueue>(std::move(Output), Capacity);
    std::lock_guard<std::mutex> guard(FMutex);
    FQueues.push_back(std::move(queue));
    return *FQueues.back();
}

void TEventStream::RemoveOutputs(uint32_t DrainMs) {
    RemoveOutputsIf([](const TEventOutput&) { return true; }, DrainMs);
}

void TEventStream::StopQueues(std::vector<std::unique_ptr<TEventOutputQueue>>& Queues,
                              uint32_t DrainMs) {
    // All drain at once: the slowest output sets the time the end takes, not their sum.
    std::vector<std::thread> stoppers;
    for (size_t i = 1; i < Queues.size(); ++i) {
        stoppers.emplace_back([&queue = *Queues[i], DrainMs] { queue.Stop(DrainMs); });
    }
    if (!Queues.empty()) {
        Queues.front()->Stop(DrainMs);
    }
    for (std::thread& stopper : stoppers) {
        stopper.join();
    }
    Queues.clear();
}

void TEventStream::Publish(TNotificationEvent Event) {
    std::lock_guard<std::mutex> guard(FMutex);
    if (FQueues.empty()) {
        return;
    }
    // "camera" and "instance" come right after the time, before the event's own values.
    TNotificationEvent named(Event.Name(), Event.Time());
    named.Add("camera", FCamera).Add("instance", FInstance);
    for (const TNotificationEvent::TField& field : Event.Fields()) {
        named.Set(field.Key, field.Value);
    }
    named.SetSnapshot(Event.Snapshot());
    auto shared = std::make_shared<const TNotificationEvent>(std::move(named));
    // Under the lock, so every output gets the events in the same order.
    for (const auto& queue : FQueues) {
        if (queue->Output().Wants(*shared)) {
            queue->Push(shared);
        }
    }
}

size_t TEventStream::OutputCount() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FQueues.size();
}

bool TEventStream::WaitIdle(uint32_t TimeoutMs) {
    std::vector<TEventOutputQueue*> queues;
    {
        std::lock_guard<std::mutex> guard(FMutex);
        for (const auto& queue : FQueues) {
            queues.push_back(queue.get());
        }
    }
    bool idle = true;
    for (TEventOutputQueue* queue : queues) {
        idle = queue->WaitIdle(TimeoutMs) && idle;
    }
    return idle;
}
