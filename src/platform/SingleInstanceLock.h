#pragma once

#include <string>

// A machine-wide named lock that the kernel releases when the owning process dies: an exclusive
// flock() on /tmp/<name>.lock (the name's "\" and "/" become "_"). Held from TryAcquire until
// Release or destruction.
class TSingleInstanceLock {
public:
    TSingleInstanceLock() = default;
    ~TSingleInstanceLock();
    TSingleInstanceLock(const TSingleInstanceLock&) = delete;
    TSingleInstanceLock& operator=(const TSingleInstanceLock&) = delete;

    enum class TResult { Acquired, AlreadyExists, Failed };
    TResult TryAcquire(const std::string& name);
    void Release();
    bool Held() const { return FHandle >= 0; }

    // "Global\" + product name, or $TANDREL_INSTANCE_NAME when set (tests run in parallel).
    static std::string DefaultName(const std::string& productName);

private:
    int FHandle = -1;
};
