#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/NamedThread.h"

class TSnapshotFile;

// Writes the picture of a motion start as a JPEG (full size, quality 85) on a thread of its own,
// so the frame path only copies the frame. The file is written whole under a temporary name and
// then renamed, so a reader never sees half a picture; its folder is made when missing.
//
// Threads: Write from the frame path (any thread); the encoding on the writer's thread. FMutex
// guards FJobs and FClosing.
class TSnapshotWriter {
public:
    static constexpr int kQuality = 85;
    // Pictures waiting beyond this are not written (their files say so at once).
    static constexpr size_t kMaxPending = 4;

    TSnapshotWriter();
    // Writes what is queued, then stops.
    ~TSnapshotWriter();
    TSnapshotWriter(const TSnapshotWriter&) = delete;
    TSnapshotWriter& operator=(const TSnapshotWriter&) = delete;

    // Queues a frame (32-bit RGB, bottom line first, Width * 4 bytes a line) for File.
    void Write(std::shared_ptr<TSnapshotFile> File, const uint8_t* BottomUp, int32_t Width,
               int32_t Height);

    // The snapshot path of a recording: "Snapshots/<its name>.jpg" in the recording's folder.
    static std::string PathFor(const std::string& RecordingFile);

private:
    struct TJob {
        std::shared_ptr<TSnapshotFile> File;
        std::vector<uint8_t> Pixels;
        int32_t Width = 0;
        int32_t Height = 0;
    };
    void Run();
    static bool Encode(const TJob& Job);

    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<TJob> FJobs;
    bool FClosing = false;
    TNamedThread FThread;
};
