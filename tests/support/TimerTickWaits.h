#pragma once
// Timed waits as Windows makes them: a wait that is not woken ends only at the next tick of
// the system's timer (15.6 ms by default), however short the time asked; a wake ends it at
// once. Under Wine and natively a short wait ends when asked.
#include <chrono>

#include "listing/ReadAhead.h"

namespace tarnwick::testing {

inline ReadAheadPolicy::WaitFor TimerTickWaits(std::chrono::milliseconds tick) {
    return [tick](std::unique_lock<Mutex>& lock, Condition& condition,
                  ReadAheadPolicy::Clock::duration) {
        using Clock = ReadAheadPolicy::Clock;
        const auto now = Clock::now().time_since_epoch();
        condition.wait_for(lock, tick - now % tick);
    };
}

}  // namespace tarnwick::testing
