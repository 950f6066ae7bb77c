#include "platform/SingleInstanceLock.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TSingleInstanceLock::~TSingleInstanceLock() { Release(); }

std::string TSingleInstanceLock::DefaultName(const std::string& productName) {
    const char* overrideName = std::getenv("TANDREL_INSTANCE_NAME");
    if (overrideName != nullptr && *overrideName != '\0') {
        return overrideName;
    }
    return "Global\\" + productName;
}

TSingleInstanceLock::TResult TSingleInstanceLock::TryAcquire(const std::string& name) {
    Release();
    std::string fileName = name;
    for (char& c : fileName) {
        if (c == '\\' || c == '/') {
            c = '_';
        }
    }
    // Always /tmp: the lock must be machine-wide, whatever TMPDIR a user has set.
    const std::string path = "/tmp/" + fileName + ".lock";
    const int handle = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (handle < 0) {
        return TResult::Failed;
    }
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(handle);
        return error == EWOULDBLOCK ? TResult::AlreadyExists : TResult::Failed;
    }
    FHandle = handle;
    return TResult::Acquired;
}

void TSingleInstanceLock::Release() {
    if (FHandle >= 0) {
        ::flock(FHandle, LOCK_UN);
        ::close(FHandle);
        FHandle = -1;
    }
}
