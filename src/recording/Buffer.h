#pragma once

#include <cstdint>

// A growable byte buffer with a window of live data: the bytes from First up to Last of a
// storage of Size bytes. Two time stamps travel with the data and are never interpreted.
// Invariant: 0 <= First <= Last <= Size.
class TBuffer {
public:
    // Allocates Size bytes when Size > 0; Increment is the minimum growth step (0 when
    // negative).
    TBuffer(int32_t Size, int32_t Increment);
    virtual ~TBuffer();
    TBuffer(const TBuffer&) = delete;
    TBuffer& operator=(const TBuffer&) = delete;

    virtual uint8_t* GetHead() const;
    virtual int32_t GetLen() const;
    virtual uint8_t* GetTail() const;
    // Re-allocates to exactly Value bytes (not less than Len), moving the live data to the
    // start of the new storage.
    virtual void SetSize(int32_t Value);
    // Consumes from the front; consuming everything empties the buffer.
    virtual void SetFirst(int32_t Value);
    virtual int32_t GetLeft() const;
    // Moves the live data to the start of the storage.
    virtual void Compact();
    // Appends DataSize bytes, growing by at least the increment when they do not fit.
    virtual void AddData(const void* pData, int32_t DataSize);
    // Appends DataSize bytes of room (grown like AddData) and returns where they start, for data
    // written in place instead of copied in; nullptr for DataSize <= 0.
    uint8_t* AppendRoom(int32_t DataSize);
    // Forgets the live data; storage and capacity stay.
    virtual void Empty();

    uint8_t* Buf() const { return FBuf; }
    int32_t Size() const { return FSize; }
    int32_t Last() const { return FLast; }
    int32_t First() const { return FFirst; }
    uint8_t* Head() const { return GetHead(); }
    uint8_t* Tail() const { return GetTail(); }
    int32_t Len() const { return GetLen(); }
    int32_t Left() const { return GetLeft(); }
    int64_t TimeStart() const { return FTimeStart; }
    void SetTimeStart(int64_t Value) { FTimeStart = Value; }
    int64_t TimeEnd() const { return FTimeEnd; }
    void SetTimeEnd(int64_t Value) { FTimeEnd = Value; }

private:
    uint8_t* FBuf = nullptr;
    int32_t FSize = 0;
    int32_t FLast = 0;
    int32_t FFirst = 0;
    int32_t FIncrement = 0;
    int64_t FTimeStart = 0;
    int64_t FTimeEnd = 0;
};
