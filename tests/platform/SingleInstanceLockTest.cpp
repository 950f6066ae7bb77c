#include "platform/SingleInstanceLock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "localisation/TempFolder.h"
#include "support/LogCapture.h"
#include "support/NamedPipe.h"
#include "support/ScopedEnvironment.h"

namespace {

using TResult = TSingleInstanceLock::TResult;
namespace fs = std::filesystem;

TResult AcquireWithoutHanging(TSingleInstanceLock& lock, const std::string& name) {
    // A lock that waits in open() waits on the named pipe at the lock path.
    return NamedPipe::CallWithoutHanging(TSingleInstanceLock::LockFilePath(name),
                                         [&] { return lock.TryAcquire(name); });
}

class SingleInstanceLock : public ::testing::Test {
protected:
    TempFolder FRuntime;
    TScopedEnvironment FRuntimeEnvironment{"XDG_RUNTIME_DIR", FRuntime.Path().c_str()};
};

TEST_F(SingleInstanceLock, LivesInTheRuntimeFolderAndRefusesASecondHolder) {
    const std::string path = FRuntime.Path() + "/Global_Tandrel.lock";
    EXPECT_EQ(TSingleInstanceLock::LockFilePath("Global\\Tandrel"), path);
    LogCapture log;

    TSingleInstanceLock first;
    ASSERT_EQ(first.TryAcquire("Global\\Tandrel"), TResult::Acquired);
    EXPECT_TRUE(first.Held());
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0600u) << "a lock file of one user only";

    TSingleInstanceLock second;
    EXPECT_EQ(second.TryAcquire("Global\\Tandrel"), TResult::AlreadyExists);
    EXPECT_FALSE(second.Held());
    first.Release();
    EXPECT_EQ(second.TryAcquire("Global\\Tandrel"), TResult::Acquired);
    EXPECT_TRUE(log.Lines().empty());
}

// Without a runtime folder the lock is in /tmp, with the user's id in its name so that users do
// not share (or block) one lock.
TEST(SingleInstanceLockInTmp, IsPerUser) {
    const std::string name = "tandrel-lock-test-" + std::to_string(::getpid());
    const std::string path = "/tmp/" + name + "-" + std::to_string(::geteuid()) + ".lock";
    for (const char* runtime : {static_cast<const char*>(nullptr), "", "relative/run"}) {
        SCOPED_TRACE(runtime == nullptr ? "unset" : runtime);
        TScopedEnvironment environment("XDG_RUNTIME_DIR", runtime);
        EXPECT_EQ(TSingleInstanceLock::LockFilePath(name), path);
    }
    TScopedEnvironment environment("XDG_RUNTIME_DIR", nullptr);
    {
        TSingleInstanceLock lock;
        EXPECT_EQ(lock.TryAcquire(name), TResult::Acquired);
        EXPECT_TRUE(fs::is_regular_file(path));
    }
    // A named pipe there (another user's trap) is refused without waiting.
    fs::remove(path);
    TNamedPipe pipe(path);
    LogCapture log;
    TSingleInstanceLock lock;
    EXPECT_EQ(AcquireWithoutHanging(lock, name), TResult::Failed);
    EXPECT_FALSE(lock.Held());
    EXPECT_EQ(log.Lines().size(), 1u);
}

struct TRefusedCase {
    const char* Name;
    // Puts something at the lock path (or breaks the runtime folder); false to skip the case.
    std::function<bool(const std::string& Folder, const std::string& Path)> Prepare;
    const char* Line;  // logged with the lock file's path for %s
};

TEST_F(SingleInstanceLock, AnythingButAUsableRegularFileIsAFailure) {
    const char* const notRegular =
        "Error in TSingleInstanceLock.TryAcquire - the lock file %s is not a regular file of "
        "this user.";
    const char* const cannotOpen =
        "Error in TSingleInstanceLock.TryAcquire - cannot open the lock file %s.";
    const bool root = ::geteuid() == 0;
    const TRefusedCase cases[] = {
        {"named pipe",
         [](const std::string&, const std::string& path) {
             return ::mkfifo(path.c_str(), 0600) == 0;
         },
         notRegular},
        {"folder",
         [](const std::string&, const std::string& path) { return fs::create_directory(path); },
         cannotOpen},
        {"symbolic link to a regular file",
         [](const std::string& folder, const std::string& path) {
             const std::string target = folder + "/target";
             ::close(::open(target.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
             fs::create_symlink(target, path);
             return true;
         },
         cannotOpen},
        {"regular file of another user",
         [root](const std::string&, const std::string& path) {
             if (!root) {
                 return false;  // only root can give a file away
             }
             const int file = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
             const bool given = file >= 0 && ::fchown(file, 65534, 65534) == 0;
             ::close(file);
             return given;
         },
         notRegular},
        {"runtime folder missing",
         [](const std::string& folder, const std::string&) { return fs::remove(folder); },
         cannotOpen},
        {"runtime folder is a file",
         [](const std::string& folder, const std::string&) {
             fs::remove(folder);
             ::close(::open(folder.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
             return true;
         },
         cannotOpen},
        {"runtime folder not writable",
         [root](const std::string& folder, const std::string&) {
             if (root) {
                 return false;  // root writes anywhere
             }
             fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
             return true;
         },
         cannotOpen},
    };
    for (const TRefusedCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string folder = FRuntime.Path() + "/run";
        TScopedEnvironment environment("XDG_RUNTIME_DIR", folder.c_str());
        const std::string path = TSingleInstanceLock::LockFilePath("Global\\Tandrel");
        ASSERT_EQ(path, folder + "/Global_Tandrel.lock");
        fs::create_directory(folder);
        if (!c.Prepare(folder, path)) {
            continue;
        }
        LogCapture log;
        TSingleInstanceLock lock;

        EXPECT_EQ(AcquireWithoutHanging(lock, "Global\\Tandrel"), TResult::Failed);
        EXPECT_FALSE(lock.Held());
        std::string line = c.Line;
        line.replace(line.find("%s"), 2, path);
        EXPECT_EQ(log.Lines(), std::vector<std::string>{line});

        std::error_code ignored;
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder, ignored);
    }
}

}  // namespace
