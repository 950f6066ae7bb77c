#include "shell/UpdateRoutines.h"

#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>

#include <cstdint>
#include <limits>
#include <memory>
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
};

// Creates every folder of Relative (below Folder) that is missing; a part that exists must be a
// real folder of our own, never a link that could lead elsewhere.
bool MakeFolders(const std::string& Folder, const std::string& Relative) {
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
        if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
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

bool ExtractCurrent(unzFile zip, const std::string& Path, mode_t Mode) {
    struct stat info {};
    if (::lstat(Path.c_str(), &info) == 0 && ::unlink(Path.c_str()) != 0) {
        return false;
    }
    const int fd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, Mode);
    if (fd < 0) {
        return false;
    }
    bool ok = unzOpenCurrentFile(zip) == UNZ_OK;
    std::vector<char> buffer(65536);
    while (ok) {
        const int read = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (read < 0) {
            ok = false;
        }
        if (read <= 0) {
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

bool ExtractZipArchive(const std::string& ZipFile, const std::string& Folder) {
    std::unique_ptr<void, TUnzCloser> zip(unzOpen64(ZipFile.c_str()));
    if (!zip || Folder.empty()) {
        return false;
    }
    // Every entry is looked at before anything is written.
    std::vector<TEntry> entries;
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
        entries.push_back(entry);
        step = unzGoToNextFile(zip.get());
    }
    if (step != UNZ_END_OF_LIST_OF_FILE) {
        return false;
    }
    step = unzGoToFirstFile(zip.get());
    for (const TEntry& entry : entries) {
        if (step != UNZ_OK) {
            return false;
        }
        const std::string relative = entry.Directory && entry.Name.back() != '/'
                                         ? entry.Name + "/"
                                         : entry.Name;
        if (!MakeFolders(Folder, relative)) {
            return false;
        }
        if (!entry.Directory && !ExtractCurrent(zip.get(), Folder + entry.Name, entry.Mode)) {
            return false;
        }
        step = unzGoToNextFile(zip.get());
    }
    return true;
}

bool RunAsAdministrator(void* Window, const std::string& FileName, const std::string& Parameters) {
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
        pid_t child = 0;
        return posix_spawnp(&child, "pkexec", nullptr, nullptr, argv.data(), environ) == 0;
    } catch (...) {
        OutputDebugString("Error in RunAsAdministrator call...");
        return false;
    }
}
