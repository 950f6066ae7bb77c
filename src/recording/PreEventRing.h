#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>


// The last frames before a motion recording starts, kept so that the recording can begin with
// what led up to the motion. Frames are held as I420 (12 bits per pixel) in one block that is
// sized by Configure and reused: pushing a frame allocates nothing. When the ring is full the
// oldest frame is overwritten.
//
// Not thread-safe: the camera's frame step owns it under its lock.
class TPreEventRing {
public:
    // Sizes the ring for Capacity frames of Width x Height. The memory is only reallocated
    // when the size or capacity changes; any call empties the ring. Capacity 0 switches the
    // ring off (Push then keeps nothing).
    void Configure(int32_t Width, int32_t Height, int32_t Capacity);
    // Empties the ring without giving its memory back.
    void Clear();
    // Forgets the oldest frames up to and including Time (what a recording already has).
    void DropUpTo(double Time);

    // Keeps one bottom-up RGB32 frame of the configured size (Size must be Width*Height*4)
    // with its time in seconds on the monotonic clock (MonotonicSeconds); false (nothing kept)
    // for a frame of another size or a ring that is off.
    bool Push(const uint8_t* Rgb32, int32_t Size, double Time);

    int32_t Count() const { return FCount; }
    int32_t Capacity() const { return FCapacity; }
    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }
    size_t AllocatedBytes() const { return FStorageBytes; }

    // The newest kept frame (I420), null when the ring is empty.
    const uint8_t* NewestI420() const { return FCount > 0 ? I420At(FCount - 1) : nullptr; }
    // The Index-th kept frame, oldest first (Index < Count); its time as pushed.
    double TimeAt(int32_t Index) const;
    const uint8_t* I420At(int32_t Index) const;
    // Writes the Index-th kept frame as bottom-up RGB32 into Dst (Width*Height*4 bytes).
    void CopyRgb32At(int32_t Index, uint8_t* Dst) const;

private:
    int32_t SlotOf(int32_t Index) const { return (FFirst + Index) % FCapacity; }

    int32_t FWidth = 0;
    int32_t FHeight = 0;
    int32_t FCapacity = 0;
    size_t FFrameBytes = 0;
    int32_t FFirst = 0;
    int32_t FCount = 0;
    // Left uninitialised: the system lends the pages as frames are written into them, so a
    // fresh ring costs memory as it fills, not all at once when it is made.
    std::unique_ptr<uint8_t[]> FStorage;
    size_t FStorageBytes = 0;
    std::vector<double> FTimes;
};
