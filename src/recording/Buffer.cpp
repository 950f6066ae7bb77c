#include "recording/Buffer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

TBuffer::TBuffer(int32_t Size, int32_t Increment) {
    if (Size > 0) {
        FBuf = new uint8_t[static_cast<size_t>(Size)];
        FSize = Size;
    }
    FIncrement = std::max<int32_t>(Increment, 0);
}

TBuffer::~TBuffer() {
    delete[] FBuf;
}

uint8_t* TBuffer::GetHead() const {
    return FBuf + FFirst;
}

int32_t TBuffer::GetLen() const {
    return FLast - FFirst;
}

uint8_t* TBuffer::GetTail() const {
    return FBuf + FLast;
}

int32_t TBuffer::GetLeft() const {
    return FSize - FLast;
}

void TBuffer::SetSize(int32_t Value) {
    const int32_t len = GetLen();
    if (Value < len) {
        throw std::length_error("buffer smaller than its live data");
    }
    uint8_t* storage = Value > 0 ? new uint8_t[static_cast<size_t>(Value)] : nullptr;
    if (FBuf != nullptr) {
        if (len > 0) {
            std::memcpy(storage, GetHead(), static_cast<size_t>(len));
        }
        delete[] FBuf;
    }
    FFirst = 0;
    FLast = len;
    FSize = Value;
    FBuf = storage;
}

void TBuffer::SetFirst(int32_t Value) {
    if (Value < FLast) {
        FFirst = std::max<int32_t>(Value, 0);
    } else {
        FFirst = 0;
        FLast = 0;
    }
}

void TBuffer::Compact() {
    if (FFirst > 0) {
        const int32_t len = GetLen();
        std::memmove(FBuf, GetHead(), static_cast<size_t>(len));
        FFirst = 0;
        FLast = len;
    }
}

void TBuffer::AddData(const void* pData, int32_t DataSize) {
    if (uint8_t* room = AppendRoom(DataSize)) {
        std::memcpy(room, pData, static_cast<size_t>(DataSize));
    }
}

uint8_t* TBuffer::AppendRoom(int32_t DataSize) {
    if (DataSize <= 0) {
        return nullptr;
    }
    if (static_cast<int64_t>(FLast) + DataSize > FSize) {
        const int64_t wanted = static_cast<int64_t>(FLast) + std::max(FIncrement, DataSize);
        if (wanted > INT32_MAX) {
            throw std::length_error("buffer beyond 2 GiB");
        }
        SetSize(static_cast<int32_t>(wanted));
    }
    uint8_t* room = GetTail();
    FLast += DataSize;
    return room;
}

void TBuffer::Empty() {
    FFirst = 0;
    FLast = 0;
}
