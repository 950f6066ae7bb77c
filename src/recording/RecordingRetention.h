#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "recording/RetentionPlanner.h"

// Applies the retention limits to one recording folder: the recordings the plan chooses are
// deleted, each video with its information file (LogInfo/<name>.vli) and the picture of its
// motion start (Snapshots/<name>.jpg), and every deletion is logged. Only files the program named are ever touched.

// The free and total bytes of the file system that holds Path; false when it cannot be asked.
using TDiskSpaceQuery =
    std::function<bool(const std::string& Path, uint64_t& FreeBytes, uint64_t& TotalBytes)>;
// Replaces how the free space is found (tests); an empty query restores the real one. Returns
// the previous query.
TDiskSpaceQuery SetDiskSpaceQuery(TDiskSpaceQuery Query);

struct TRetentionResult {
    int32_t Deleted = 0;
    uint64_t FreeBytes = 0;
    uint64_t RequiredFreeBytes = 0;
    // The free space meets the limit (also when the folder holds no recordings at all).
    bool Room = true;
};

// Folder ends with "/" or not; InUse holds full paths of recordings that are being written or
// finished (never deleted). StartBytes is the room a new file needs besides the free space the
// limits keep (its first second); it counts towards the space made. A folder that does not
// exist yet has nothing to delete. Failures are logged once per call; a file that cannot be
// deleted is logged and skipped.
TRetentionResult ApplyRecordingRetention(const std::string& Folder, const TRetentionLimits& Limits,
                                         const std::set<std::string>& InUse,
                                         uint64_t StartBytes = 0);

// Whether the file system of Folder has the free space the limits ask for, and StartBytes more:
// the cheap question (no listing) asked between full passes. True when it cannot be asked.
bool HasRequiredFreeSpace(const std::string& Folder, const TRetentionLimits& Limits,
                          uint64_t StartBytes = 0);
