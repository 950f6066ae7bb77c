#include "platform/SingleInstanceLock.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Diagnostics.h"

namespace {

// $XDG_RUNTIME_DIR when it is set to an absolute path (anything else is ignored, as the base
// directory rules say).
std::string RuntimeFolder() {
    const char* folder = std::getenv("XDG_RUNTIME_DIR");
    if (folder == nullptr || folder[0] != '/') {
        return {};
    }
    return folder;
}

}  // namespace

TSingleInstanceLock::~TSingleInstanceLock() { Release(); }

std::string TSingleInstanceLock::DefaultName(const std::string& productName) {
    const char* overrideName = std::getenv("TANDREL_INSTANCE_NAME");
    if (overrideName != nullptr && *overrideName != '\0') {
        return overrideName;
    }
    return "Global\\" + productName;
}

std::string TSingleInstanceLock::LockFilePath(const std::string& name) {
    std::string fileName = name;
    for (char& c : fileName) {
        if (c == '\\' || c == '/') {
            c = '_';
        }
    }
    std::string folder = RuntimeFolder();
    if (!folder.empty()) {
        if (folder.back() != '/') {
            folder += '/';
        }
        return folder + fileName + ".lock";
    }
    // /tmp is shared by every user, whatever TMPDIR says: the user id keeps the lock per user
    // and out of the way of another user's file of the same name.
    return "/tmp/" + fileName + "-" + std::to_string(::geteuid()) + ".lock";
}

TSingleInstanceLock::TResult TSingleInstanceLock::TryAcquire(const std::string& name) {
    Release();
    std::string path;
    try {
        path = LockFilePath(name);
        // Non-blocking: opening a named pipe would otherwise wait for a writer for ever.
        const int handle =
            ::open(path.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (handle < 0) {
            LogMessageFmt("Error in TSingleInstanceLock.TryAcquire - cannot open the lock file %s.",
                          path.c_str());
            return TResult::Failed;
        }
        struct stat status {};
        if (::fstat(handle, &status) != 0 || !S_ISREG(status.st_mode) ||
            status.st_uid != ::geteuid()) {
            ::close(handle);
            LogMessageFmt(
                "Error in TSingleInstanceLock.TryAcquire - the lock file %s is not a regular file "
                "of this user.",
                path.c_str());
            return TResult::Failed;
        }
        if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(handle);
            if (error == EWOULDBLOCK) {
                return TResult::AlreadyExists;
            }
            LogMessageFmt("Error in TSingleInstanceLock.TryAcquire - cannot lock the lock file %s.",
                          path.c_str());
            return TResult::Failed;
        }
        FHandle = handle;
        return TResult::Acquired;
    } catch (...) {
        LogMessage("Error in TSingleInstanceLock.TryAcquire call...");
        return TResult::Failed;
    }
}

void TSingleInstanceLock::Release() {
    if (FHandle >= 0) {
        ::flock(FHandle, LOCK_UN);
        ::close(FHandle);
        FHandle = -1;
    }
}
