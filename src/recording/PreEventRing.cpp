#include "recording/PreEventRing.h"

#include "recording/I420Conversion.h"

void TPreEventRing::Configure(int32_t Width, int32_t Height, int32_t Capacity) {
    if (Width <= 0 || Height <= 0 || Capacity < 0) {
        Width = 0;
        Height = 0;
        Capacity = 0;
    }
    const size_t frameBytes = I420FrameBytes(Width, Height);
    if (Width != FWidth || Height != FHeight || Capacity != FCapacity) {
        FWidth = Width;
        FHeight = Height;
        FCapacity = Capacity;
        FFrameBytes = frameBytes;
        // A fresh block so that a smaller ring gives its memory back.
        FStorageBytes = frameBytes * static_cast<size_t>(Capacity);
        FStorage.reset();
        if (FStorageBytes > 0) {
            FStorage.reset(new uint8_t[FStorageBytes]);
        }
        std::vector<double>(static_cast<size_t>(Capacity)).swap(FTimes);
    }
    Clear();
}

void TPreEventRing::Clear() {
    FFirst = 0;
    FCount = 0;
}

void TPreEventRing::DropUpTo(double Time) {
    while (FCount > 0 && FTimes[static_cast<size_t>(FFirst)] <= Time) {
        FFirst = (FFirst + 1) % FCapacity;
        --FCount;
    }
}

bool TPreEventRing::Push(const uint8_t* Rgb32, int32_t Size, double Time) {
    if (FCapacity == 0 || Rgb32 == nullptr ||
        static_cast<int64_t>(Size) != static_cast<int64_t>(FWidth) * FHeight * 4) {
        return false;
    }
    int32_t slot = 0;
    if (FCount < FCapacity) {
        slot = SlotOf(FCount);
        ++FCount;
    } else {
        slot = FFirst;
        FFirst = (FFirst + 1) % FCapacity;
    }
    ConvertRgb32BottomUpToI420(Rgb32, FWidth, FHeight,
                               FStorage.get() + static_cast<size_t>(slot) * FFrameBytes);
    FTimes[static_cast<size_t>(slot)] = Time;
    return true;
}

double TPreEventRing::TimeAt(int32_t Index) const {
    if (Index < 0 || Index >= FCount) {
        return 0;
    }
    return FTimes[static_cast<size_t>(SlotOf(Index))];
}

const uint8_t* TPreEventRing::I420At(int32_t Index) const {
    if (Index < 0 || Index >= FCount) {
        return nullptr;
    }
    return FStorage.get() + static_cast<size_t>(SlotOf(Index)) * FFrameBytes;
}

void TPreEventRing::CopyRgb32At(int32_t Index, uint8_t* Dst) const {
    const uint8_t* src = I420At(Index);
    if (src != nullptr && Dst != nullptr) {
        ConvertI420ToRgb32BottomUp(src, FWidth, FHeight, Dst);
    }
}
