#include "videolog/VideoLogInfoCache.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <iterator>
#include <memory>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/NamedThread.h"
#include "recording/RecordingFormat.h"

namespace {

constexpr const char* kInfoExtension = ".vli";
constexpr TRecordingFormat kFormats[] = {TRecordingFormat::Wmv, TRecordingFormat::Mp4};

bool EndsWith(const std::string& Text, const char* Suffix) {
    const size_t n = std::char_traits<char>::length(Suffix);
    return Text.size() > n && Text.compare(Text.size() - n, n, Suffix) == 0;
}

int64_t Nanoseconds(const timespec& Time) {
    return static_cast<int64_t>(Time.tv_sec) * 1'000'000'000 + Time.tv_nsec;
}

// Fewer new files than this are read on the calling thread; more (a long history opened) are
// shared out among helper threads, as the time goes into the system calls of each file.
constexpr size_t kFilesPerHelper = 4096;
constexpr unsigned kMaxHelpers = 4;

// One open folder, closed on leaving.
class TFolderReader {
public:
    explicit TFolderReader(const std::string& Path) : FDir(::opendir(Path.c_str())) {}
    ~TFolderReader() {
        if (FDir != nullptr) {
            ::closedir(FDir);
        }
    }
    TFolderReader(const TFolderReader&) = delete;
    TFolderReader& operator=(const TFolderReader&) = delete;
    DIR* Get() const { return FDir; }

private:
    DIR* FDir;
};

// What a video name in the folder is: a regular file, or something else by that name.
enum class TVideoKind { RegularFile, Other };
struct TVideoName {
    TVideoKind Kind = TVideoKind::Other;
    TRecordingFormat Format = TRecordingFormat::Wmv;
};

// Whether video A is chosen over video B of the same base name: a regular file first, then WMV.
bool Preferred(const TVideoName& A, const TVideoName& B) {
    const bool aRegular = A.Kind == TVideoKind::RegularFile;
    const bool bRegular = B.Kind == TVideoKind::RegularFile;
    if (aRegular != bRegular) {
        return aRegular;
    }
    return A.Format == TRecordingFormat::Wmv && B.Format != TRecordingFormat::Wmv;
}

// The folder's names ending in a recording format's extension, by base name. Should one base
// name have videos of both formats, a regular file wins, then the WMV one (as RecordingVideoOf
// chooses).
std::unordered_map<std::string, TVideoName> VideoNames(const std::string& Folder) {
    std::unordered_map<std::string, TVideoName> names;
    TFolderReader folder(Folder);
    if (folder.Get() == nullptr) {
        return names;
    }
    const int fd = ::dirfd(folder.Get());
    while (const dirent* entry = ::readdir(folder.Get())) {
        const std::string name = entry->d_name;
        const auto format = std::find_if(std::begin(kFormats), std::end(kFormats),
                                         [&name](TRecordingFormat f) {
                                             return EndsWith(name, RecordingExtension(f));
                                         });
        if (format == std::end(kFormats)) {
            continue;
        }
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat status {};
            regular = ::fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISREG(status.st_mode);
        }
        const TVideoName video{regular ? TVideoKind::RegularFile : TVideoKind::Other, *format};
        const size_t extension = std::char_traits<char>::length(RecordingExtension(*format));
        const std::string base = name.substr(0, name.size() - extension);
        const auto [it, added] = names.emplace(base, video);
        if (!added && Preferred(video, it->second)) {
            it->second = video;
        }
    }
    return names;
}

}  // namespace

// Reads the information file Name of the folder open as FolderFd into Entry: its size and
// modification time, and what it says. Only a regular file is read: a link is not followed and
// a pipe does not block. False when it is not a regular file (Entry is not to be kept).
bool TVideoLogInfoCache::ReadEntry(int FolderFd, const std::string& Name, TEntry& Entry) {
    const int fd = ::openat(FolderFd, Name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    if (regular) {
        Entry.Size = status.st_size;
        Entry.ModifiedNs = Nanoseconds(status.st_mtim);
        std::string text(kVideoLogInfoMaxBytes, '\0');
        size_t filled = 0;
        while (filled < text.size()) {
            const ssize_t got = ::read(fd, text.data() + filled, text.size() - filled);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            filled += static_cast<size_t>(got);
            if (static_cast<off_t>(filled) >= status.st_size) {
                break;  // all there is: a regular file's read does not come up short
            }
        }
        text.resize(filled);
        Entry.Readable = ParseVideoLogInfo(text, Entry.Info);
    }
    ::close(fd);
    return regular;
}

TVideoLogInfoCache::TFolderStamp TVideoLogInfoCache::StampOf(const std::string& Path) {
    TFolderStamp stamp;
    struct stat status {};
    if (::stat(Path.c_str(), &status) == 0) {
        stamp.Exists = true;
        stamp.Device = status.st_dev;
        stamp.Inode = status.st_ino;
        stamp.ChangedNs = Nanoseconds(status.st_mtim);
    }
    return stamp;
}

// File systems stamp changes with a coarse clock, so a second change within the same tick
// leaves the stamp as it was; a stamp that is less than two seconds old is not trusted yet.
bool TVideoLogInfoCache::Recent(const TFolderStamp& Stamp) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return Stamp.Exists && Nanoseconds(now) - Stamp.ChangedNs < 2'000'000'000;
}

bool TVideoLogInfoCache::FolderChanged(bool WatchReports) const {
    return (FUnsettled && !WatchReports) || StampOf(FFolder) != FFolderStamp ||
           StampOf(FFolder + "LogInfo/") != FInfoFolderStamp;
}

bool TVideoLogInfoCache::Update(const std::string& Folder) {
    bool changed = false;
    if (Folder != FFolder) {
        changed = !FEntries.empty();
        Clear();
        FFolder = Folder;
    }
    const std::string infoFolder = Folder + "LogInfo/";
    // Stamps first: whatever changes from here on is seen by the next look.
    FFolderStamp = StampOf(Folder);
    FInfoFolderStamp = StampOf(infoFolder);
    FUnsettled = Recent(FFolderStamp) || Recent(FInfoFolderStamp);

    // The information files first, then the videos: a recording that starts in between has
    // its video listed and no information file yet, never the other way round.
    TFolderReader folder(infoFolder);
    const int folderFd = folder.Get() != nullptr ? ::dirfd(folder.Get()) : -1;
    std::vector<std::string> names;
    while (folder.Get() != nullptr) {
        const dirent* entry = ::readdir(folder.Get());
        if (entry == nullptr) {
            break;
        }
        // Folders, links and devices are never read.
        if ((entry->d_type == DT_REG || entry->d_type == DT_UNKNOWN) &&
            EndsWith(entry->d_name, kInfoExtension)) {
            names.emplace_back(entry->d_name);
        }
    }
    const std::unordered_map<std::string, TVideoName> videos = VideoNames(Folder);

    // What is known and unchanged is kept; the rest is read.
    std::vector<TEntry> found(names.size());
    std::vector<size_t> toRead;
    std::vector<char> present(names.size(), 1);
    for (size_t i = 0; i < names.size(); ++i) {
        const auto known = FEntries.find(names[i]);
        if (known == FEntries.end()) {
            toRead.push_back(i);
            continue;
        }
        struct stat status {};
        if (::fstatat(folderFd, names[i].c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(status.st_mode)) {
            present[i] = 0;
        } else if (known->second.Size == status.st_size &&
                   known->second.ModifiedNs == Nanoseconds(status.st_mtim)) {
            found[i] = std::move(known->second);  // only its times and listing are looked at later
        } else {
            toRead.push_back(i);
        }
    }
    const auto readRange = [&](size_t from, size_t to) {
        for (size_t k = from; k < to; ++k) {
            const size_t i = toRead[k];
            const std::string& name = names[i];
            const std::string base = name.substr(0, name.size() - 4);
            const auto video = videos.find(base);
            found[i].Info.FileName =
                Folder + base +
                RecordingExtension(video != videos.end() ? video->second.Format
                                                         : TRecordingFormat::Wmv);
            present[i] = ReadEntry(folderFd, name, found[i]) ? 1 : 0;
        }
    };
    const unsigned helpers = static_cast<unsigned>(std::min<size_t>(
        {toRead.size() / kFilesPerHelper, kMaxHelpers,
         std::max(1u, std::thread::hardware_concurrency()) - 1u}));
    {
        std::vector<std::unique_ptr<TNamedThread>> threads;
        const size_t share = toRead.size() / (helpers + 1);
        for (unsigned h = 0; h < helpers; ++h) {
            threads.push_back(std::make_unique<TNamedThread>());
            threads.back()->Start("VideoLogRead", [&readRange, h, share] {
                readRange((h + 1) * share, (h + 2) * share);
            });
        }
        // The calling thread takes the first share and whatever the division left over.
        readRange(0, share);
        readRange((helpers + 1) * share, toRead.size());
        for (auto& thread : threads) {
            thread->Join();
        }
    }
    FFilesRead += toRead.size();

    std::map<std::string, TEntry> entries;
    size_t listed = 0;
    size_t paired = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        if (!present[i]) {
            continue;
        }
        const std::string& name = names[i];
        const std::string base = name.substr(0, name.size() - 4);
        const auto known = FEntries.find(name);
        const TEntry* before = known != FEntries.end() ? &known->second : nullptr;
        TEntry& entry = found[i];
        const bool wasListed = before != nullptr && before->Listed;
        const auto video = videos.find(base);
        if (entry.Readable && video == videos.end()) {
            // The recording was deleted: its information file goes too.
            ::unlinkat(folderFd, name.c_str(), 0);
            changed = changed || wasListed;
            continue;
        }
        // A video replaced by one of the other format under the same base name is played from
        // its new name.
        bool renamed = false;
        if (video != videos.end()) {
            const char* extension = RecordingExtension(video->second.Format);
            if (!EndsWith(entry.Info.FileName, extension)) {
                entry.Info.FileName = Folder + base + extension;
                renamed = true;
            }
        }
        paired += video != videos.end() && video->second.Kind == TVideoKind::RegularFile ? 1 : 0;
        entry.Listed = entry.Readable && video->second.Kind == TVideoKind::RegularFile;
        changed = changed || wasListed != entry.Listed ||
                  (entry.Listed && (renamed || entry.Info.StartTime != before->Info.StartTime ||
                                    entry.Info.Duration != before->Info.Duration));
        listed += entry.Listed ? 1 : 0;
        entries.emplace(name, std::move(entry));
    }
    // Whatever the old set listed and the new one does not have any more.
    for (const auto& [name, entry] : FEntries) {
        if (entry.Listed && entries.find(name) == entries.end()) {
            changed = true;
            break;
        }
    }
    FEntries = std::move(entries);
    FListed = listed;
    FUnpaired = static_cast<size_t>(
                    std::count_if(videos.begin(), videos.end(),
                                  [](const auto& v) {
                                      return v.second.Kind == TVideoKind::RegularFile;
                                  })) -
                paired;
    return changed;
}

TVideoLogInfoList TVideoLogInfoCache::Records() const {
    TVideoLogInfoList records;
    records.reserve(FListed);
    for (const auto& [name, entry] : FEntries) {
        if (entry.Listed) {
            records.push_back(std::make_unique<TVideoLogInfo>(entry.Info));
        }
    }
    return records;
}

void TVideoLogInfoCache::Clear() {
    FFolder.clear();
    FEntries.clear();
    FListed = 0;
    FUnpaired = 0;
    FFolderStamp = {};
    FInfoFolderStamp = {};
    FUnsettled = false;
}
