#include "recording/RecordingRetention.h"

#include <chrono>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/Diagnostics.h"

namespace fs = std::filesystem;

namespace {

std::mutex gQueryLock;
TDiskSpaceQuery gQuery;

bool RealDiskSpace(const std::string& Path, uint64_t& FreeBytes, uint64_t& TotalBytes) {
    std::error_code ec;
    const fs::space_info info = fs::space(Path, ec);
    if (ec) {
        return false;
    }
    // What this user may still write, not what only the superuser may.
    FreeBytes = info.available;
    TotalBytes = info.capacity;
    return true;
}

bool QueryDiskSpace(const std::string& Path, uint64_t& FreeBytes, uint64_t& TotalBytes) {
    TDiskSpaceQuery query;
    {
        std::lock_guard lock(gQueryLock);
        query = gQuery;
    }
    return query ? query(Path, FreeBytes, TotalBytes) : RealDiskSpace(Path, FreeBytes, TotalBytes);
}

const char* ReasonText(TRetentionReason Reason) {
    switch (Reason) {
        case TRetentionReason::Age:
            return "older than the age limit";
        case TRetentionReason::FolderSize:
            return "the folder is over its size limit";
        case TRetentionReason::FreeSpace:
            return "the disk is short of free space";
    }
    return "";
}

int64_t SecondsOf(fs::file_time_type Time) {
    return std::chrono::duration_cast<std::chrono::seconds>(Time.time_since_epoch()).count();
}

// The folder's recordings; InUse holds lexically normal full paths.
std::vector<TRecordingFileEntry> ListRecordings(const fs::path& Folder,
                                                const std::set<std::string>& InUse) {
    std::vector<TRecordingFileEntry> files;
    std::error_code ec;
    for (fs::directory_iterator it(Folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // Only a plain file of a recording's name; a folder or a link of that name stays.
        if (!IsRecordingFileName(name) || !it->is_regular_file(ec) || it->is_symlink(ec)) {
            continue;
        }
        TRecordingFileEntry entry;
        entry.Name = name;
        entry.Size = it->file_size(ec);
        if (ec) {
            ec.clear();
            continue;
        }
        entry.ModifiedSeconds = SecondsOf(it->last_write_time(ec));
        if (ec) {
            ec.clear();
            continue;
        }
        entry.InUse = InUse.count(it->path().lexically_normal().string()) != 0;
        files.push_back(std::move(entry));
    }
    return files;
}

// The file system is asked where the recordings go; a folder still to be created lies on its
// parent's.
bool QueryFolderSpace(const fs::path& Folder, uint64_t& FreeBytes, uint64_t& TotalBytes) {
    std::error_code ec;
    fs::path probe = Folder;
    while (!probe.empty() && !fs::exists(probe, ec)) {
        probe = probe.has_relative_path() ? probe.parent_path() : fs::path();
    }
    return !probe.empty() && QueryDiskSpace(probe.string(), FreeBytes, TotalBytes);
}

}  // namespace

bool HasRequiredFreeSpace(const std::string& Folder, const TRetentionLimits& Limits,
                          uint64_t StartBytes) {
    try {
        uint64_t free = 0;
        uint64_t total = 0;
        return !QueryFolderSpace(fs::path(Folder), free, total) ||
               free >= RequiredFreeBytes(Limits, total) + StartBytes;
    } catch (...) {
        LogMessage("Error in HasRequiredFreeSpace call...");
        return true;
    }
}

TDiskSpaceQuery SetDiskSpaceQuery(TDiskSpaceQuery Query) {
    std::lock_guard lock(gQueryLock);
    return std::exchange(gQuery, std::move(Query));
}

TRetentionResult ApplyRecordingRetention(const std::string& Folder, const TRetentionLimits& Limits,
                                         const std::set<std::string>& InUse, uint64_t StartBytes) {
    TRetentionResult result;
    try {
        const fs::path folder(Folder);
        std::error_code ec;
        uint64_t free = 0;
        uint64_t total = 0;
        if (!QueryFolderSpace(folder, free, total)) {
            // Nothing is deleted on a guess; the recording is tried and fails where it fails.
            return result;
        }
        result.FreeBytes = free;
        result.RequiredFreeBytes = RequiredFreeBytes(Limits, total) + StartBytes;
        std::set<std::string> inUse;
        for (const std::string& file : InUse) {
            inUse.insert(fs::path(file).lexically_normal().string());
        }
        std::vector<TRecordingFileEntry> files;
        if (fs::is_directory(folder, ec)) {
            files = ListRecordings(folder, inUse);
        }
        const int64_t now = SecondsOf(fs::file_time_type::clock::now());
        const TRetentionPlan plan = PlanRetention(files, free, total, now, Limits, StartBytes);
        uint64_t freed = 0;
        for (const TRetentionDeletion& deletion : plan.Deletions) {
            const fs::path video = folder / deletion.Name;
            const uint64_t size = fs::file_size(video, ec);
            if (!fs::remove(video, ec) || ec) {
                LogMessageFmt("Error in ApplyRecordingRetention - cannot delete %s.",
                              video.string().c_str());
                ec.clear();
                continue;
            }
            freed += size;
            ++result.Deleted;
            fs::path info = folder / "LogInfo" / deletion.Name;
            info.replace_extension(".vli");
            fs::remove(info, ec);
            ec.clear();
            // The picture of its motion start goes with it (Snapshots/<name>.jpg).
            fs::path snapshot = folder / "Snapshots" / deletion.Name;
            snapshot.replace_extension(".jpg");
            const uint64_t snapshotSize = fs::file_size(snapshot, ec);
            if (!ec && fs::remove(snapshot, ec) && !ec) {
                freed += snapshotSize;
            }
            ec.clear();
            LogMessageFmt("Recording retention - deleted %s (%s).", video.string().c_str(),
                          ReasonText(deletion.Reason));
        }
        result.FreeBytes = free + freed;
        result.Room = result.FreeBytes >= result.RequiredFreeBytes;
        return result;
    } catch (...) {
        LogMessage("Error in ApplyRecordingRetention call...");
        result.Room = true;
        return result;
    }
}
