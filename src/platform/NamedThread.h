#pragma once

#include <functional>
#include <string>
#include <thread>

// A worker thread that carries a name (visible in debuggers and `top -H`). The owner stops it
// by signalling an event the body waits on, then calls Join(); nothing polls a plain bool.
class TNamedThread {
public:
    TNamedThread() = default;
    TNamedThread(const TNamedThread&) = delete;
    TNamedThread& operator=(const TNamedThread&) = delete;
    ~TNamedThread();

    // Starts body on a new thread named name (cut to the platform's 15 characters).
    void Start(std::string name, std::function<void()> body);
    bool Running() const { return FThread.joinable(); }
    // Waits for the body to return; a no-op when not started or already joined.
    void Join();
    // Lets the thread run on without an owner (a worker that frees its own object does this
    // from its body, last of all).
    void Detach();

private:
    std::thread FThread;
};
