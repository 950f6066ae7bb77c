#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "videolog/VideoLogInfo.h"

// The records of one recording folder, kept between looks at it, so that looking again costs
// a listing of the folder and not a reading of its whole history: an information file is read
// when it first appears and again only when its size or modification time changed; one that
// went is dropped. What is listed follows LoadVideoLogInfoList's rules (name order, only
// records whose video is a regular file, an information file whose video is gone is deleted,
// an unreadable one is passed over and left alone).
class TVideoLogInfoCache {
public:
    // Brings the records up to date with Folder (with its trailing "/"); another folder than
    // the last one starts afresh. True when the listed records changed.
    bool Update(const std::string& Folder);
    // Whether the entries of the folder or of its information folder may have changed since
    // the last Update: two status reads, whatever the length of the history. A look made while
    // a folder's time stamp was still current counts as unsettled and asks for one more, unless
    // a watch reports the folders' changes anyway (WatchReports).
    bool FolderChanged(bool WatchReports = false) const;
    // The listed records, in list order.
    TVideoLogInfoList Records() const;
    size_t Count() const { return FListed; }
    // Video files of the folder without an information file (recordings being made, or cut
    // off by a crash), as the last Update found them.
    size_t UnpairedVideos() const { return FUnpaired; }
    void Clear();

    // Information files read since the cache was made.
    uint64_t FilesRead() const { return FFilesRead; }

private:
    struct TFolderStamp {
        bool Exists = false;
        uint64_t Device = 0;
        uint64_t Inode = 0;
        int64_t ChangedNs = 0;  // the folder's modification time
        friend bool operator==(const TFolderStamp&, const TFolderStamp&) = default;
    };
    struct TEntry {
        int64_t Size = -1;
        int64_t ModifiedNs = 0;
        bool Readable = false;  // the file holds a recording's start and length
        bool Listed = false;    // ... and its video is a regular file
        TVideoLogInfo Info;
    };
    static TFolderStamp StampOf(const std::string& Path);
    static bool ReadEntry(int FolderFd, const std::string& Name, TEntry& Entry);
    static bool Recent(const TFolderStamp& Stamp);

    std::string FFolder;
    // By the information file's name, which is also the list order.
    std::map<std::string, TEntry> FEntries;
    size_t FListed = 0;
    size_t FUnpaired = 0;
    TFolderStamp FFolderStamp;
    TFolderStamp FInfoFolderStamp;
    bool FUnsettled = false;
    uint64_t FFilesRead = 0;
};
