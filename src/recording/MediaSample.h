#pragma once

#include <gst/gst.h>

#include <cstdint>

// The sample a source pin fills for one frame time. Writing a new picture takes a fresh
// buffer from the pin's pool (NewData); a sample that gets no new picture repeats the previous
// one without copying it (the buffer's memory is shared). Times are in 100-ns units.
class TMediaSample {
public:
    TMediaSample(GstBufferPool* Pool, GstBuffer* Previous);
    ~TMediaSample();
    TMediaSample(const TMediaSample&) = delete;
    TMediaSample& operator=(const TMediaSample&) = delete;

    // Write access to a fresh buffer of GetSize bytes; throws when none can be had.
    uint8_t* NewData();
    bool HasNewData() const { return FFresh != nullptr; }
    bool HasPrevious() const { return FPrevious != nullptr; }
    int32_t GetSize() const;
    void SetActualDataLength(int32_t Length) { FLength = Length; }
    void SetTime(int64_t Start, int64_t End);
    void SetSyncPoint(bool SyncPoint) { FSyncPoint = SyncPoint; }

    // The buffer to deliver, carrying the sample's times (a reference for the caller), or
    // nullptr when there is neither a new nor a previous picture.
    GstBuffer* Deliver();

private:
    GstBufferPool* FPool;
    GstBuffer* FPrevious;  // borrowed
    GstBuffer* FFresh = nullptr;
    GstMapInfo FMap{};
    bool FMapped = false;
    int32_t FLength = -1;
    int64_t FStart = -1;
    int64_t FEnd = -1;
    bool FSyncPoint = false;
};
