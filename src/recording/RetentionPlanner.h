#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How long recordings are kept in a recording folder, and how much of the disk they may leave
// used. A zero turns its rule off.
struct TRetentionLimits {
    // The free space kept on the recordings' file system: this share of the disk, but never
    // more than MinFreeMegabytes. Below it the oldest recordings make room, and no new
    // recording starts while there is still too little.
    int32_t MinFreePercent = 5;
    int32_t MinFreeMegabytes = 2048;
    // The most the recordings of one folder may take together.
    int32_t MaxFolderMegabytes = 0;
    // Recordings older than this are deleted.
    int32_t MaxAgeDays = 30;
    // Stored with the limits (the same dialog and settings group), though not a limit: the
    // seconds of frames before a motion report that a motion recording starts with (0 = off).
    int32_t PreEventSeconds = 2;
    // Likewise: the seconds a motion recording goes on after the last motion, so that one
    // activity with short pauses is one recording (0 = it ends at the first frame without
    // motion once it is 5 seconds long).
    int32_t PostEventSeconds = 5;

    bool operator==(const TRetentionLimits&) const = default;
};

// The free space the limits ask for on a file system of TotalBytes.
uint64_t RequiredFreeBytes(const TRetentionLimits& Limits, uint64_t TotalBytes);

// One recording video of a folder: its file name (without folder), size and last change
// (seconds on any clock, the same as the planner's Now).
struct TRecordingFileEntry {
    std::string Name;
    uint64_t Size = 0;
    int64_t ModifiedSeconds = 0;
    // Still being written or finished: never deleted.
    bool InUse = false;
};

enum class TRetentionReason { Age, FolderSize, FreeSpace };

struct TRetentionDeletion {
    std::string Name;
    TRetentionReason Reason = TRetentionReason::Age;
};

struct TRetentionPlan {
    // Oldest first.
    std::vector<TRetentionDeletion> Deletions;
    // The free space after the deletions, and whether it meets the limit.
    uint64_t FreeBytesAfter = 0;
    bool RoomAfter = true;
};

// Whether Name is a recording the program named: "Rec_" + yyyymmdd_hhnnss, an optional "_<n>"
// for a second recording within the same second, and the extension of a recording format
// (".wmv" or ".mp4", in lower case as the program writes it). Nothing else is ever deleted.
bool IsRecordingFileName(const std::string& Name);

// Decides which recordings go, oldest first (by last change, then by name): every one older than
// the age limit, then the oldest ones while the folder is over its size limit or the disk has
// less free space than the limits ask for (and StartBytes more, the room a new file needs).
// Entries that are not recording names or are in use are never chosen, and the newest
// recording not in use never goes for room (only for its age): a new recording does not
// replace the one just finished.
TRetentionPlan PlanRetention(const std::vector<TRecordingFileEntry>& Files, uint64_t FreeBytes,
                             uint64_t TotalBytes, int64_t NowSeconds,
                             const TRetentionLimits& Limits, uint64_t StartBytes = 0);
