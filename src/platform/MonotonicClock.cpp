#include "platform/MonotonicClock.h"

#include <chrono>
#include <memory>
#include <mutex>

namespace {

std::mutex gClockMutex;
std::shared_ptr<TMonotonicClock> gClock;

}  // namespace

double MonotonicSeconds() {
    std::shared_ptr<TMonotonicClock> clock;
    {
        std::lock_guard lock(gClockMutex);
        clock = gClock;
    }
    if (clock) {
        return (*clock)();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TMonotonicClock SetMonotonicClock(TMonotonicClock Clock) {
    auto next = Clock ? std::make_shared<TMonotonicClock>(std::move(Clock)) : nullptr;
    std::lock_guard lock(gClockMutex);
    auto previous = std::move(gClock);
    gClock = std::move(next);
    return previous ? *previous : TMonotonicClock{};
}
