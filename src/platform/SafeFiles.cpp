#include "platform/SafeFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

bool NameTaken(const std::string& Path) {
    struct stat status {};
    return ::lstat(Path.c_str(), &status) == 0;
}

TUniqueFd CreateNewFile(const std::string& Path, mode_t Mode) {
    // O_EXCL with O_CREAT fails on any existing name, a symbolic link included, dangling or not.
    return TUniqueFd(
        ::open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, Mode));
}

TUniqueFd OpenRegularFile(const std::string& Path) {
    // Non-blocking, so that a named pipe answers at once instead of waiting for a writer.
    TUniqueFd fd(::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        return fd;
    }
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        errno = EINVAL;
        return TUniqueFd();
    }
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags != -1) {
        ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
    }
    return fd;
}

bool ReadRegularFileStart(const std::string& Path, size_t MaxBytes, std::string& Text) {
    Text.clear();
    TUniqueFd fd = OpenRegularFile(Path);
    if (!fd) {
        return false;
    }
    Text.resize(MaxBytes);
    size_t filled = 0;
    while (filled < MaxBytes) {
        const ssize_t got = ::read(fd.Get(), Text.data() + filled, MaxBytes - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            Text.clear();
            return false;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<size_t>(got);
    }
    Text.resize(filled);
    return true;
}

bool WriteFileWhole(const std::string& Path, const std::string& Content, mode_t Mode) {
    const size_t slash = Path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : Path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? Path : Path.substr(slash + 1);
    // A hidden name beside the target: the same file system, so the rename cannot be a copy.
    std::string temporary = folder + "." + base + ".XXXXXX";
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    TUniqueFd fd(::mkostemp(name.data(), O_CLOEXEC));
    if (!fd) {
        return false;
    }
    temporary.assign(name.data());
    bool written = ::fchmod(fd.Get(), Mode) == 0;
    size_t done = 0;
    while (written && done < Content.size()) {
        const ssize_t put = ::write(fd.Get(), Content.data() + done, Content.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            written = false;
            break;
        }
        done += static_cast<size_t>(put);
    }
    // The content must be on the disk before the name points at it, or a power cut could leave
    // an empty file under the final name.
    written = written && ::fsync(fd.Get()) == 0;
    const int closed = ::close(fd.Release());
    written = written && closed == 0 && ::rename(temporary.c_str(), Path.c_str()) == 0;
    if (!written) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
    }
    return written;
}
