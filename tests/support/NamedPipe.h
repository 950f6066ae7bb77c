#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <utility>

// Named pipes without a writer: opening one for reading without O_NONBLOCK waits for ever.
// Tests put one where the program opens a file, to show that nothing waits on it unbounded.
namespace NamedPipe {

// Opens and closes a writer on the pipe at `path`, which sets free a reader waiting in open();
// false when the pipe has no reader or is gone.
inline bool OpenWriter(const std::string& path) {
    const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writer < 0) {
        return false;
    }
    ::close(writer);
    return true;
}

// Runs `call` on another thread and gives it `bound` (generous: only a hang comes near it).
// A call still running then waits on the pipe at `path`: writers set it free, the test fails
// instead of hanging, and the call's own result is returned.
template <typename Call>
auto CallWithoutHanging(const std::string& path, Call call,
                        std::chrono::seconds bound = std::chrono::seconds(30)) {
    auto result = std::async(std::launch::async, std::move(call));
    if (result.wait_for(bound) != std::future_status::ready) {
        ADD_FAILURE() << "blocked on the named pipe " << path;
        while (result.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
            OpenWriter(path);
        }
    }
    return result.get();
}

// Lets every reader that waits in open(), or reads, see the end of the pipe, and waits
// (bounded) until all of them have closed it.
inline void SetReadersFree(const std::string& path) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (OpenWriter(path) && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace NamedPipe

// A named pipe at `path` for the life of the object; readers left waiting on it are set free
// before it goes.
class TNamedPipe {
public:
    explicit TNamedPipe(std::string path) : FPath(std::move(path)) {
        EXPECT_EQ(::mkfifo(FPath.c_str(), 0600), 0) << FPath;
    }
    ~TNamedPipe() {
        NamedPipe::SetReadersFree(FPath);
        ::unlink(FPath.c_str());
    }
    TNamedPipe(const TNamedPipe&) = delete;
    TNamedPipe& operator=(const TNamedPipe&) = delete;

    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};
