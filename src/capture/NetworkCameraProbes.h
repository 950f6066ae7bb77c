#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "capture/NetworkCamera.h"

class TNamedThread;
class TProbeStop;

// The looks at network cameras (connect, decode the first picture, disconnect), each on a
// thread of its own, all cameras at once, so that no caller waits for a camera that does not
// answer. A result (the stream's size or why it cannot be opened) is kept until the camera is
// looked at again on purpose (ProbeAgain: the camera was selected, a reconnection attempt) or
// the list of cameras changes (Forget). One set per process; a camera is known by its address
// and credentials.
class TNetworkCameraProbes {
public:
    static TNetworkCameraProbes& Instance();

    TNetworkCameraProbes() = default;
    // Stops the looks still running and waits for their threads.
    ~TNetworkCameraProbes();
    TNetworkCameraProbes(const TNetworkCameraProbes&) = delete;
    TNetworkCameraProbes& operator=(const TNetworkCameraProbes&) = delete;

    // Starts a look at the camera unless it has a result or a look runs.
    void Request(const NetworkCamera::TNetworkCamera& Camera);
    // The camera's result; a look is started when there is none, and waited for at most
    // `WaitMs`. Nothing while the look runs.
    std::optional<NetworkCamera::TStreamInfo> Result(const NetworkCamera::TNetworkCamera& Camera,
                                                     int WaitMs);
    // Whether a look at the camera runs now.
    bool Pending(const NetworkCamera::TNetworkCamera& Camera);
    // Drops the camera's result and looks again (unless a look runs).
    void ProbeAgain(const NetworkCamera::TNetworkCamera& Camera);
    // Drops every result and stops the looks that run (the list of cameras changed).
    void Forget();
    // How many looks have ended so far: a change tells a watcher that a result came.
    uint64_t FinishedCount() const;

    // How long one look may take.
    static constexpr int kProbeTimeoutMs = 8000;

private:
    struct TEntry {
        std::optional<NetworkCamera::TStreamInfo> Info;
        std::shared_ptr<TProbeStop> Stop;  // while a look runs
        uint64_t Generation = 0;
    };
    struct TWorker {
        std::unique_ptr<TNamedThread> Thread;
        std::shared_ptr<TProbeStop> Stop;
        bool Done = false;
    };

    // Starts a look for the entry (lock held); the thread is started by the caller.
    std::shared_ptr<TWorker> StartLocked(const NetworkCamera::TNetworkCamera& Camera,
                                         TEntry& Entry);
    void Launch(const std::shared_ptr<TWorker>& Worker, const NetworkCamera::TNetworkCamera& Camera,
                uint64_t Generation);
    // Joins the threads whose looks have ended.
    void JoinFinished();
    static std::string KeyOf(const NetworkCamera::TNetworkCamera& Camera);

    mutable std::mutex FMutex;
    std::condition_variable FChanged;
    std::map<std::string, TEntry> FEntries;
    std::vector<std::shared_ptr<TWorker>> FWorkers;
    uint64_t FGeneration = 0;
    uint64_t FFinished = 0;
};
