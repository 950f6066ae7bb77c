#include "shell/UpdateRoutines.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <unzip.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/DebugOutput.h"

extern char** environ;

bool ParseVersionText(const void* Buffer, size_t Size, int& Value) {
    if (Buffer == nullptr) {
        return false;
    }
    const auto* bytes = static_cast<const unsigned char*>(Buffer);
    std::u16string text;
    for (size_t i = 0; i < Size; i += 2) {
        const unsigned high = i + 1 < Size ? bytes[i + 1] : 0;
        const char16_t c = static_cast<char16_t>(bytes[i] | (high << 8));
        if (c == 0) {
            break;
        }
        text.push_back(c);
    }
    size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
        negative = text[pos] == u'-';
        ++pos;
    }
    if (pos == text.size()) {
        return false;
    }
    int64_t number = 0;
    for (; pos < text.size(); ++pos) {
        const char16_t c = text[pos];
        if (c < u'0' || c > u'9') {
            return false;
        }
        number = number * 10 + (c - u'0');
        if (number > int64_t(std::numeric_limits<int>::max()) + 1) {
            return false;
        }
    }
    if (negative) {
        number = -number;
    }
    if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max()) {
        return false;
    }
    Value = static_cast<int>(number);
    return true;
}

bool IsSafeArchiveEntry(const std::string& Name, bool SymbolicLink) {
    if (SymbolicLink || Name.empty() || Name.find('\0') != std::string::npos) {
        return false;
    }
    if (Name[0] == '/' || Name[0] == '\\' || (Name.size() >= 2 && Name[1] == ':')) {
        return false;
    }
    size_t start = 0;
    while (start <= Name.size()) {
        size_t end = Name.find_first_of("/\\", start);
        if (end == std::string::npos) {
            end = Name.size();
        }
        if (Name.compare(start, end - start, "..") == 0) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

namespace {

struct TUnzCloser {
    void operator()(void* file) const { unzClose(file); }
};

struct TEntry {
    std::string Name;
    bool Directory = false;
    mode_t Mode = 0755;
    uint64_t Size = 0;  // unpacked, as the archive states it
};

// What one extraction wrote, taken away again when it fails part-way.
struct TWritten {
    std::vector<std::string> Files;
    std::vector<std::string> Folders;  // in the order they were made

    void Remove() const {
        for (const std::string& file : Files) {
            ::unlink(file.c_str());
        }
        for (auto folder = Folders.rbegin(); folder != Folders.rend(); ++folder) {
            ::rmdir(folder->c_str());
        }
    }
};

// Creates every folder of Relative (below Folder) that is missing; a part that exists must be a
// real folder of our own, never a link that could lead elsewhere.
bool MakeFolders(const std::string& Folder, const std::string& Relative, TWritten& Written) {
    std::string path = Folder;
    size_t start = 0;
    for (;;) {
        const size_t end = Relative.find('/', start);
        if (end == std::string::npos) {
            return true;
        }
        const std::string part = Relative.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        // Without a trailing "/", which would make lstat follow a link.
        const std::string folder = path + part;
        if (::mkdir(folder.c_str(), 0755) == 0) {
            Written.Folders.push_back(folder);
        } else if (errno != EEXIST) {
            return false;
        }
        struct stat info {};
        // A folder someone else made in a shared temporary folder could have its files swapped
        // under the updater.
        if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != ::geteuid()) {
            return false;
        }
        path = folder + "/";
    }
}

bool ExtractCurrent(unzFile zip, const std::string& Path, mode_t Mode, uint64_t Size,
                    TWritten& Written) {
    struct stat info {};
    if (::lstat(Path.c_str(), &info) == 0 && ::unlink(Path.c_str()) != 0) {
        return false;
    }
    const int fd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, Mode);
    if (fd < 0) {
        return false;
    }
    Written.Files.push_back(Path);
    bool ok = unzOpenCurrentFile(zip) == UNZ_OK;
    std::vector<char> buffer(65536);
    uint64_t total = 0;
    while (ok) {
        const int read = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (read < 0) {
            ok = false;
        }
        if (read <= 0) {
            break;
        }
        // Never more than the entry states, on which the limits were checked.
        total += static_cast<uint64_t>(read);
        if (total > Size) {
            ok = false;
            break;
        }
        const char* data = buffer.data();
        size_t left = static_cast<size_t>(read);
        while (left > 0) {
            const ssize_t written = ::write(fd, data, left);
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                ok = false;
                break;
            }
            data += written;
            left -= static_cast<size_t>(written);
        }
    }
    // A damaged entry shows up as a CRC error when it is closed.
    if (unzCloseCurrentFile(zip) != UNZ_OK) {
        ok = false;
    }
    if (::close(fd) != 0) {
        ok = false;
    }
    return ok;
}

}  // namespace

bool ExtractZipArchive(const std::string& ZipFile, const std::string& Folder,
                       const TUnpackLimits& Limits, std::vector<std::string>* Files) {
    std::unique_ptr<void, TUnzCloser> zip(unzOpen64(ZipFile.c_str()));
    if (!zip || Folder.empty()) {
        return false;
    }
    // Every entry is looked at before anything is written.
    std::vector<TEntry> entries;
    uint64_t total = 0;
    int step = unzGoToFirstFile(zip.get());
    while (step == UNZ_OK) {
        unz_file_info64 info{};
        char name[4096];
        if (unzGetCurrentFileInfo64(zip.get(), &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
            UNZ_OK) {
            return false;
        }
        if (info.size_filename >= sizeof name) {
            return false;
        }
        TEntry entry;
        entry.Name = std::string(name, info.size_filename);
        const bool madeOnUnix = (info.version >> 8) == 3;
        const mode_t unixMode = static_cast<mode_t>(info.external_fa >> 16);
        const bool link = madeOnUnix && S_ISLNK(unixMode);
        if (!IsSafeArchiveEntry(entry.Name, link)) {
            return false;
        }
        for (char& c : entry.Name) {
            if (c == '\\') {
                c = '/';
            }
        }
        entry.Directory = entry.Name.back() == '/' || (madeOnUnix && S_ISDIR(unixMode));
        if (madeOnUnix && (unixMode & 0777) != 0) {
            entry.Mode = unixMode & 0755;
        }
        entry.Size = info.uncompressed_size;
        total += entry.Size;
        const bool tooDense =
            entry.Size > Limits.RatioFreeBytes &&
            entry.Size > Limits.MaxRatio * std::max<uint64_t>(info.compressed_size, 1);
        if (total > Limits.MaxTotalBytes || tooDense) {
            return false;
        }
        entries.push_back(entry);
        step = unzGoToNextFile(zip.get());
    }
    if (step != UNZ_END_OF_LIST_OF_FILE) {
        return false;
    }
    TWritten written;
    auto fail = [&written] {
        written.Remove();
        return false;
    };
    step = unzGoToFirstFile(zip.get());
    for (const TEntry& entry : entries) {
        if (step != UNZ_OK) {
            return fail();
        }
        const std::string relative = entry.Directory && entry.Name.back() != '/'
                                         ? entry.Name + "/"
                                         : entry.Name;
        if (!MakeFolders(Folder, relative, written)) {
            return fail();
        }
        if (!entry.Directory &&
            !ExtractCurrent(zip.get(), Folder + entry.Name, entry.Mode, entry.Size, written)) {
            return fail();
        }
        step = unzGoToNextFile(zip.get());
    }
    if (Files != nullptr) {
        Files->clear();
        for (const std::string& file : written.Files) {
            Files->push_back(file.substr(Folder.size()));
        }
    }
    return true;
}

std::string MakePrivateFolder(const std::string& Prefix) {
    std::string pattern = Prefix + "XXXXXX";
    // mkdtemp makes the folder with mode 0700 and never reuses an existing name.
    if (::mkdtemp(pattern.data()) == nullptr) {
        return std::string();
    }
    return pattern + "/";
}

void RemoveFolder(const std::string& Folder) {
    std::error_code ignored;
    std::filesystem::remove_all(Folder, ignored);
}

namespace {

// pkexec's own statuses: the user dismissed the dialog or was not authorised (126), or pkexec
// could not do it (127).
bool IsPkexecRefusal(int status) {
    return !WIFEXITED(status) || WEXITSTATUS(status) == 126 || WEXITSTATUS(status) == 127;
}

// Waits for Child's end up to Wait, the pump running; true with its status when it ended.
bool WaitForEnd(pid_t Child, std::chrono::milliseconds Wait, const std::function<void()>& Pump,
                int& Status) {
    const auto deadline = std::chrono::steady_clock::now() + Wait;
    for (;;) {
        const pid_t done = ::waitpid(Child, &Status, WNOHANG);
        if (done == Child) {
            return true;
        }
        if (done < 0 && errno != EINTR) {
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        if (Pump) {
            Pump();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

bool RunAsAdministrator(void* Window, const std::string& FileName, const std::string& Parameters,
                        const std::function<void()>& Pump, std::chrono::milliseconds Wait) {
    (void)Window;
    int channel[2] = {-1, -1};
    try {
        std::vector<std::string> arguments{"pkexec", FileName};
        if (!Parameters.empty()) {
            arguments.push_back(Parameters);
        }
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        // pkexec gets the write end of a pipe. It marks every descriptor above standard error
        // close-on-exec once it has authorised the user, so the pipe reports the moment it
        // starts the program, or its own end.
        if (::pipe2(channel, O_CLOEXEC) != 0) {
            OutputDebugString("Error in RunAsAdministrator call...");
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // A dup2 onto itself keeps the descriptor open across the exec of pkexec.
        posix_spawn_file_actions_adddup2(&actions, channel[1], channel[1]);
        pid_t child = 0;
        const int spawned = posix_spawnp(&child, "pkexec", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(channel[1]);
        channel[1] = -1;
        if (spawned != 0) {
            ::close(channel[0]);
            OutputDebugString("Error in RunAsAdministrator - pkexec cannot be started.");
            return false;
        }
        // pkexec asks for the password meanwhile and needs this process alive to do so.
        const auto deadline = std::chrono::steady_clock::now() + Wait;
        bool handedOver = false;
        for (;;) {
            if (Pump) {
                Pump();
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd wait{channel[0], POLLIN, 0};
            const int ready =
                ::poll(&wait, 1, static_cast<int>(std::min<int64_t>(left.count(), 50)));
            if (ready > 0) {
                char data[64];
                const ssize_t read = ::read(channel[0], data, sizeof data);
                if (read == 0 || (read < 0 && errno != EINTR && errno != EAGAIN)) {
                    handedOver = true;
                    break;
                }
            } else if (ready < 0 && errno != EINTR) {
                break;
            }
        }
        ::close(channel[0]);
        channel[0] = -1;
        int status = 0;
        if (!handedOver) {
            // No answer in time: the dialog is taken away, and the program does not start later.
            ::kill(child, SIGTERM);
            WaitForEnd(child, std::chrono::seconds(2), Pump, status);
            OutputDebugString("Error in RunAsAdministrator - pkexec had no answer in time.");
            return false;
        }
        // The pipe also closes when pkexec ends; its end follows within moments.
        if (WaitForEnd(child, std::chrono::milliseconds(300), Pump, status) &&
            IsPkexecRefusal(status)) {
            char line[96];
            std::snprintf(line, sizeof line,
                          "Error in RunAsAdministrator - pkexec ended with status %d.",
                          WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
            OutputDebugString(line);
            return false;
        }
        return true;
    } catch (...) {
        for (const int fd : channel) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        OutputDebugString("Error in RunAsAdministrator call...");
        return false;
    }
}
