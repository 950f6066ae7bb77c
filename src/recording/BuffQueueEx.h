#pragma once

#include <cstdint>

#include "recording/BuffQueue.h"

// TBuffQueue whose two waits end after a time-out, plus a reset.
class TBuffQueueEx : public TBuffQueue {
public:
    using TBuffQueue::TBuffQueue;
    using TBuffQueue::GetEmptyBuffer;
    using TBuffQueue::GetFullBuffer;

    // As in TBuffQueue, but the wait ends after TimeOutMS milliseconds (the low 32 bits are
    // the time-out); a time-out answers false and leaves Buff untouched.
    bool GetEmptyBuffer(TBuffer*& Buff, int64_t TimeOutMS);
    bool GetFullBuffer(TBuffer*& Buff, int64_t TimeOutMS);
    // Every buffer back on the producer side and emptied, the signals as at creation and both
    // ring positions back at the start. Not to be called while another thread uses the queue.
    bool Reset();

    TEvent* EmptyExitEvent() const { return FEmptyExitEvent.get(); }
    TEvent* FullExitEvent() const { return FFullExitEvent.get(); }
};
