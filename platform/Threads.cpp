#include "platform/Threads.h"

#include <chrono>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <time.h>
#if defined(__linux__) && !defined(RUSAGE_THREAD)
#error "RUSAGE_THREAD is needed to tell a disk wait from a pre-emption (_GNU_SOURCE)"
#endif
#endif

#include "platform/Lock.h"

namespace tarnwick::helpers {
namespace {

struct Openers {
    Mutex mutex;
    Condition ended;
    int leftOpening = 0;
};

// Never destroyed: an opener left behind may end after the program's statics are gone.
Openers& Shared() {
    static Openers* const openers = new Openers;
    return *openers;
}

}  // namespace

void LeftOpening() {
    Openers& o = Shared();
    std::lock_guard lock(o.mutex);
    ++o.leftOpening;
}

void LeftOpeningEnded() {
    Openers& o = Shared();
    {
        std::lock_guard lock(o.mutex);
        --o.leftOpening;
    }
    o.ended.notify_all();
}

int LeftOpeningCount() {
    Openers& o = Shared();
    std::lock_guard lock(o.mutex);
    return o.leftOpening;
}

// `waiting` runs once a slice has passed by the clock, not when a timed wait says it timed
// out: Windows ends a short timed wait only at its next timer tick.
bool WaitForOpenerRoom(const std::function<bool()>& waiting, int sliceMs) {
    using Clock = std::chrono::steady_clock;
    const auto slice = std::chrono::milliseconds(sliceMs);
    Openers& o = Shared();
    std::unique_lock lock(o.mutex);
    for (auto due = Clock::now() + slice; o.leftOpening >= kMostLeftOpening;) {
        const auto now = Clock::now();
        if (now < due) {
            o.ended.wait_for(lock, due - now);
            continue;
        }
        lock.unlock();
        const bool giveUp = waiting();
        lock.lock();
        if (giveUp) return false;
        due = Clock::now() + slice;
    }
    return true;
}

void WaitUntilOpenersEnded() {
    Openers& o = Shared();
    std::unique_lock lock(o.mutex);
    while (o.leftOpening != 0) o.ended.wait(lock);
}

double ThreadCpuSeconds() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
    const auto ticks = [](FILETIME t) {
        return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
#else
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
#endif
}

std::optional<uint64_t> ThreadWaits() {
#ifdef RUSAGE_THREAD
    rusage usage{};
    if (getrusage(RUSAGE_THREAD, &usage) != 0) return std::nullopt;
    return static_cast<uint64_t>(usage.ru_nvcsw);
#else
    return std::nullopt;
#endif
}

}  // namespace tarnwick::helpers
