#include "capture/NetworkCameraProbes.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "capture/ProbeStop.h"
#include "platform/NamedThread.h"

TNetworkCameraProbes& TNetworkCameraProbes::Instance() {
    static TNetworkCameraProbes probes;
    return probes;
}

TNetworkCameraProbes::~TNetworkCameraProbes() {
    std::vector<std::shared_ptr<TWorker>> workers;
    {
        std::lock_guard lock(FMutex);
        workers = std::move(FWorkers);
    }
    for (const auto& worker : workers) {
        worker->Stop->Stop();
    }
    for (const auto& worker : workers) {
        worker->Thread->Join();
    }
}

std::string TNetworkCameraProbes::KeyOf(const NetworkCamera::TNetworkCamera& Camera) {
    return Camera.Uri + "\n" + Camera.User + "\n" + Camera.Password;
}

std::shared_ptr<TNetworkCameraProbes::TWorker> TNetworkCameraProbes::StartLocked(
    const NetworkCamera::TNetworkCamera&, TEntry& Entry) {
    Entry.Generation = ++FGeneration;
    Entry.Info.reset();
    Entry.Stop = std::make_shared<TProbeStop>();
    auto worker = std::make_shared<TWorker>();
    worker->Thread = std::make_unique<TNamedThread>();
    worker->Stop = Entry.Stop;
    FWorkers.push_back(worker);
    return worker;
}

void TNetworkCameraProbes::Launch(const std::shared_ptr<TWorker>& Worker,
                                  const NetworkCamera::TNetworkCamera& Camera,
                                  uint64_t Generation) {
    TWorker* worker = Worker.get();
    worker->Thread->Start("NetCamProbe", [this, worker, Camera, Generation] {
        const NetworkCamera::TStreamInfo info =
            NetworkCamera::Probe(Camera, kProbeTimeoutMs, worker->Stop.get());
        {
            std::lock_guard lock(FMutex);
            auto it = FEntries.find(KeyOf(Camera));
            // A result for a camera forgotten or asked again meanwhile is not kept.
            if (it != FEntries.end() && it->second.Generation == Generation) {
                it->second.Info = info;
                it->second.Stop.reset();
            }
            worker->Done = true;
            ++FFinished;
        }
        FChanged.notify_all();
    });
}

void TNetworkCameraProbes::JoinFinished() {
    std::vector<std::shared_ptr<TWorker>> finished;
    {
        std::lock_guard lock(FMutex);
        auto done = std::stable_partition(FWorkers.begin(), FWorkers.end(),
                                          [](const auto& worker) { return !worker->Done; });
        finished.assign(std::make_move_iterator(done), std::make_move_iterator(FWorkers.end()));
        FWorkers.erase(done, FWorkers.end());
    }
    for (const auto& worker : finished) {
        worker->Thread->Join();
    }
}

void TNetworkCameraProbes::Request(const NetworkCamera::TNetworkCamera& Camera) {
    std::shared_ptr<TWorker> worker;
    uint64_t generation = 0;
    {
        std::lock_guard lock(FMutex);
        TEntry& entry = FEntries[KeyOf(Camera)];
        if (!entry.Info && !entry.Stop) {
            worker = StartLocked(Camera, entry);
            generation = entry.Generation;
        }
    }
    JoinFinished();
    if (worker) {
        Launch(worker, Camera, generation);
    }
}

std::optional<NetworkCamera::TStreamInfo> TNetworkCameraProbes::Result(
    const NetworkCamera::TNetworkCamera& Camera, int WaitMs) {
    Request(Camera);
    const std::string key = KeyOf(Camera);
    std::unique_lock lock(FMutex);
    auto known = [&] {
        auto it = FEntries.find(key);
        return it == FEntries.end() || it->second.Info.has_value();
    };
    if (WaitMs > 0) {
        FChanged.wait_for(lock, std::chrono::milliseconds(WaitMs), known);
    }
    auto it = FEntries.find(key);
    return it != FEntries.end() ? it->second.Info : std::nullopt;
}

bool TNetworkCameraProbes::Pending(const NetworkCamera::TNetworkCamera& Camera) {
    std::lock_guard lock(FMutex);
    auto it = FEntries.find(KeyOf(Camera));
    return it != FEntries.end() && !it->second.Info && it->second.Stop != nullptr;
}

void TNetworkCameraProbes::ProbeAgain(const NetworkCamera::TNetworkCamera& Camera) {
    std::shared_ptr<TWorker> worker;
    uint64_t generation = 0;
    {
        std::lock_guard lock(FMutex);
        TEntry& entry = FEntries[KeyOf(Camera)];
        if (entry.Stop && !entry.Info) {
            return;  // a look runs already
        }
        worker = StartLocked(Camera, entry);
        generation = entry.Generation;
    }
    JoinFinished();
    Launch(worker, Camera, generation);
}

void TNetworkCameraProbes::Forget() {
    std::vector<std::shared_ptr<TProbeStop>> running;
    {
        std::lock_guard lock(FMutex);
        for (const auto& [key, entry] : FEntries) {
            if (entry.Stop) {
                running.push_back(entry.Stop);
            }
        }
        FEntries.clear();
    }
    for (const auto& stop : running) {
        stop->Stop();
    }
    JoinFinished();
}

uint64_t TNetworkCameraProbes::FinishedCount() const {
    std::lock_guard lock(FMutex);
    return FFinished;
}
