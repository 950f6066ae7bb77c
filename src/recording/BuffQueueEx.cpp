#include "recording/BuffQueueEx.h"

#include "platform/Diagnostics.h"

bool TBuffQueueEx::GetEmptyBuffer(TBuffer*& Buff, int64_t TimeOutMS) {
    return TakeBuffer(FEmptySemaphore.get(), FEmptyExitEvent.get(), FWriteIndex, Buff,
                      static_cast<uint32_t>(TimeOutMS),
                      "gkt: Error in TBuffQueueEx.GetEmptyBuffer call...");
}

bool TBuffQueueEx::GetFullBuffer(TBuffer*& Buff, int64_t TimeOutMS) {
    return TakeBuffer(FFullSemaphore.get(), FFullExitEvent.get(), FReadIndex, Buff,
                      static_cast<uint32_t>(TimeOutMS),
                      "gkt: Error in TBuffQueueEx.GetFullBuffer call..");
}

bool TBuffQueueEx::Reset() {
    if (FDestroying) {
        return false;
    }
    try {
        for (int32_t n = FBuffsCount - GetEmptyCount(); n > 0; --n) {
            ReleaseBuffer();
        }
        for (auto& buffer : FBuffs) {
            buffer->Empty();
        }
        CreateSignals();
        // Every buffer is on the producer side again, so both sides start at the same place.
        FReadIndex = 0;
        FWriteIndex = 0;
        FEmptyCount = FBuffsCount;
        return true;
    } catch (...) {
        LogMessage("gkt: Error in TBuffQueueEx.Reset call...");
        return false;
    }
}
