#pragma once

#include <string>

// A per-user named lock that the kernel releases when the owning process dies: an exclusive
// flock() on a lock file (the name's "\" and "/" become "_"). The file lives in the user's
// runtime folder, $XDG_RUNTIME_DIR/<name>.lock, when that is set; otherwise in /tmp, with the
// user's id in its name: /tmp/<name>-<uid>.lock. Held from TryAcquire until Release or
// destruction.
//
// Only a regular file owned by the user is taken as the lock file. It is opened without
// following a symbolic link and without waiting (a named pipe put there by someone else can
// neither hang the start nor take the lock's place).
class TSingleInstanceLock {
public:
    TSingleInstanceLock() = default;
    ~TSingleInstanceLock();
    TSingleInstanceLock(const TSingleInstanceLock&) = delete;
    TSingleInstanceLock& operator=(const TSingleInstanceLock&) = delete;

    // Acquired: this object holds the lock. AlreadyExists: another process holds it. Failed:
    // the lock could not be taken (the lock file cannot be created or opened, is not a regular
    // file of this user, or cannot be locked); one line naming the file has been logged.
    // Only Acquired lets a program go on as the single instance: Failed must refuse the start
    // just as AlreadyExists does, since another instance may be running unseen.
    enum class TResult { Acquired, AlreadyExists, Failed };
    TResult TryAcquire(const std::string& name);
    void Release();
    bool Held() const { return FHandle >= 0; }

    // "Global\" + product name, or $TANDREL_INSTANCE_NAME when set (tests run in parallel).
    static std::string DefaultName(const std::string& productName);

    // The lock file that TryAcquire(name) uses.
    static std::string LockFilePath(const std::string& name);

private:
    int FHandle = -1;
};
