#include "recording/RetentionPlanner.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "recording/RecordingFormat.h"

namespace {

constexpr uint64_t kMegabyte = 1024ULL * 1024ULL;
constexpr int64_t kSecondsPerDay = 86400;

bool AllDigits(const std::string& Text, size_t From, size_t Count) {
    if (From + Count > Text.size() || Count == 0) {
        return false;
    }
    return std::all_of(Text.begin() + static_cast<std::ptrdiff_t>(From),
                       Text.begin() + static_cast<std::ptrdiff_t>(From + Count),
                       [](unsigned char c) { return std::isdigit(c) != 0; });
}

// The length of the recording extension Name ends in exactly (the program writes them in lower
// case; "clip.WMV" is somebody else's), 0 for none.
size_t RecordingExtensionLength(const std::string& Name) {
    for (TRecordingFormat format : {TRecordingFormat::Wmv, TRecordingFormat::Mp4}) {
        const std::string_view extension = RecordingExtension(format);
        if (Name.size() > extension.size() &&
            Name.compare(Name.size() - extension.size(), extension.size(), extension) == 0) {
            return extension.size();
        }
    }
    return 0;
}

}  // namespace

uint64_t RequiredFreeBytes(const TRetentionLimits& Limits, uint64_t TotalBytes) {
    if (Limits.MinFreePercent <= 0 || Limits.MinFreeMegabytes <= 0) {
        return 0;
    }
    const uint64_t share = TotalBytes / 100 * static_cast<uint64_t>(Limits.MinFreePercent) +
                           TotalBytes % 100 * static_cast<uint64_t>(Limits.MinFreePercent) / 100;
    return std::min(share, static_cast<uint64_t>(Limits.MinFreeMegabytes) * kMegabyte);
}

bool IsRecordingFileName(const std::string& Name) {
    // Rec_yyyymmdd_hhnnss[_n].wmv or .mp4
    constexpr size_t kStampEnd = 4 + 8 + 1 + 6;
    const size_t extensionLength = RecordingExtensionLength(Name);
    if (extensionLength == 0 || Name.size() < kStampEnd + extensionLength ||
        Name.compare(0, 4, "Rec_") != 0 || Name[12] != '_' || !AllDigits(Name, 4, 8) ||
        !AllDigits(Name, 13, 6)) {
        return false;
    }
    const size_t suffixLength = Name.size() - extensionLength - kStampEnd;
    if (suffixLength == 0) {
        return true;
    }
    return Name[kStampEnd] == '_' && AllDigits(Name, kStampEnd + 1, suffixLength - 1);
}

TRetentionPlan PlanRetention(const std::vector<TRecordingFileEntry>& Files, uint64_t FreeBytes,
                             uint64_t TotalBytes, int64_t NowSeconds,
                             const TRetentionLimits& Limits, uint64_t StartBytes) {
    std::vector<const TRecordingFileEntry*> recordings;
    uint64_t folderBytes = 0;
    for (const TRecordingFileEntry& file : Files) {
        if (IsRecordingFileName(file.Name)) {
            recordings.push_back(&file);
            folderBytes += file.Size;
        }
    }
    std::sort(recordings.begin(), recordings.end(),
              [](const TRecordingFileEntry* a, const TRecordingFileEntry* b) {
                  if (a->ModifiedSeconds != b->ModifiedSeconds) {
                      return a->ModifiedSeconds < b->ModifiedSeconds;
                  }
                  return a->Name < b->Name;
              });

    const uint64_t requiredFree = RequiredFreeBytes(Limits, TotalBytes) + StartBytes;
    // The newest finished recording (those in use are never chosen anyway).
    const TRecordingFileEntry* newest = nullptr;
    for (auto it = recordings.rbegin(); it != recordings.rend() && newest == nullptr; ++it) {
        if (!(*it)->InUse) {
            newest = *it;
        }
    }
    const uint64_t maxFolderBytes =
        Limits.MaxFolderMegabytes > 0 ? static_cast<uint64_t>(Limits.MaxFolderMegabytes) * kMegabyte
                                      : 0;
    const int64_t maxAgeSeconds =
        Limits.MaxAgeDays > 0 ? static_cast<int64_t>(Limits.MaxAgeDays) * kSecondsPerDay : 0;

    TRetentionPlan plan;
    uint64_t free = FreeBytes;
    for (const TRecordingFileEntry* file : recordings) {
        if (file->InUse) {
            continue;
        }
        TRetentionDeletion deletion{file->Name, TRetentionReason::Age};
        if (maxAgeSeconds > 0 && NowSeconds - file->ModifiedSeconds > maxAgeSeconds) {
            deletion.Reason = TRetentionReason::Age;
        } else if (file == newest) {
            // The last recording made is kept: making room for the next one must not cost it.
            break;
        } else if (maxFolderBytes > 0 && folderBytes > maxFolderBytes) {
            deletion.Reason = TRetentionReason::FolderSize;
        } else if (free < requiredFree) {
            deletion.Reason = TRetentionReason::FreeSpace;
        } else {
            // Newer recordings are younger still, and the other two limits already hold.
            break;
        }
        plan.Deletions.push_back(deletion);
        folderBytes -= file->Size;
        free += file->Size;
    }
    plan.FreeBytesAfter = free;
    plan.RoomAfter = free >= requiredFree;
    return plan;
}
