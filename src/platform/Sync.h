#pragma once

#include <cstdint>
#include <initializer_list>

// Kernel-object stand-ins: events and counting semaphores that can be waited on singly or
// together, with the wait results the program expects.
//
// All waitable objects share one process-wide lock and condition variable. Signalling is rare
// (a few times per frame at most), so one lock keeps multi-object waits simple and exact.

constexpr uint32_t WAIT_OBJECT_0 = 0;
constexpr uint32_t WAIT_TIMEOUT = 258;
constexpr uint32_t INFINITE = 0xFFFFFFFFu;

class TWaitable {
public:
    TWaitable() = default;
    TWaitable(const TWaitable&) = delete;
    TWaitable& operator=(const TWaitable&) = delete;
    virtual ~TWaitable() = default;

protected:
    friend uint32_t WaitForMultipleObjects(std::initializer_list<TWaitable*> objects,
                                           uint32_t timeoutMs);
    // Both called with the shared lock held.
    virtual bool IsSignalled() const = 0;
    virtual void Consume() = 0;
};

class TEvent : public TWaitable {
public:
    // An auto-reset event releases one waiter and resets itself; a manual-reset one stays set.
    explicit TEvent(bool manualReset = false, bool initialState = false);
    void SetEvent();
    void ResetEvent();
    // WAIT_OBJECT_0 when signalled, WAIT_TIMEOUT otherwise.
    uint32_t WaitFor(uint32_t timeoutMs);

protected:
    bool IsSignalled() const override { return FSignalled; }
    void Consume() override;

private:
    bool FManualReset;
    bool FSignalled;
};

class TSemaphore : public TWaitable {
public:
    TSemaphore(int32_t initialCount, int32_t maximumCount);
    // Adds count (not beyond the maximum); false when that would exceed it.
    bool Release(int32_t count = 1);
    uint32_t WaitFor(uint32_t timeoutMs);
    int32_t Count() const;

protected:
    bool IsSignalled() const override { return FCount > 0; }
    void Consume() override { --FCount; }

private:
    int32_t FCount;
    int32_t FMaximum;
};

// Waits until any of the objects is signalled, consuming it: returns WAIT_OBJECT_0 + its index
// in the list (the first signalled one wins), or WAIT_TIMEOUT.
uint32_t WaitForMultipleObjects(std::initializer_list<TWaitable*> objects, uint32_t timeoutMs);
