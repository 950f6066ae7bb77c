#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/MediaType.h"

// The element factory that stands for a filter class id of the media framework (decoders and
// demultiplexers the program knows by class id); empty for any other id.
std::string PlaybackFactoryForClassId(const TGUID& ClassId);

// The preferred filters handed to the playback filter. Every pair is kept; the ones whose
// class id names an installed element factory are put first whenever decodebin picks among
// factories for a stream (its "autoplug-sort" signal).
class TPlaybackPreferredFilters {
public:
    struct TEntry {
        int32_t FilterType = 0;
        TGUID ClassId = GUID_NULL;
    };

    void Add(int32_t FilterType, const TGUID& ClassId);
    std::vector<TEntry> Entries() const;
    // Factory names in the order they were added, each once.
    std::vector<std::string> Factories() const;

    // Connects the reordering to a uridecodebin or decodebin; the object must outlive `bin`'s
    // streaming (autoplug-sort runs on streaming threads).
    void ConnectTo(GstElement* bin);

private:
    static GValueArray* OnAutoplugSort(GstElement* bin, GstPad* pad, GstCaps* caps,
                                       GValueArray* factories, gpointer self);

    // Guards both lists: Add runs on the caller's thread, the sort on streaming threads.
    mutable std::mutex FLock;
    std::vector<TEntry> FEntries;
    std::vector<std::string> FFactories;
};
