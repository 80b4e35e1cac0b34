#include "listing/HelperThreads.h"

#include <algorithm>
#include <chrono>

#include "platform/Lock.h"

namespace tarnwick::helpers {
namespace {

using StatsClock = std::chrono::steady_clock;

struct Counts {
    Mutex mutex;
    Condition ended;
    int readers = 0;
    // Reader statistics since the last reset.
    StatsClock::time_point since = StatsClock::now();
    StatsClock::time_point changed = since;
    double readerSeconds = 0;  // readers alive, integrated over time
    int most = 0;
    double cpuSeconds = 0;

    // With the lock held, before `readers` changes.
    void Tally() {
        const auto now = StatsClock::now();
        readerSeconds += readers * std::chrono::duration<double>(now - changed).count();
        changed = now;
    }
};

// Never destroyed: a thread left behind may end after the program's statics are gone.
Counts& Shared() {
    static Counts* const counts = new Counts;
    return *counts;
}

}  // namespace

bool StartReader() {
    Counts& c = Shared();
    std::lock_guard lock(c.mutex);
    if (c.readers >= kMostReaders) return false;
    c.Tally();
    ++c.readers;
    c.most = std::max(c.most, c.readers);
    return true;
}

void ReaderEnded() {
    Counts& c = Shared();
    {
        std::lock_guard lock(c.mutex);
        c.Tally();
        --c.readers;
    }
    c.ended.notify_all();
}

int Readers() {
    Counts& c = Shared();
    std::lock_guard lock(c.mutex);
    return c.readers;
}

void WaitUntilAllEnded() {
    {
        Counts& c = Shared();
        std::unique_lock lock(c.mutex);
        while (c.readers != 0) c.ended.wait(lock);
    }
    WaitUntilOpenersEnded();
}

ReaderStatistics ReadersSinceReset() {
    Counts& c = Shared();
    std::lock_guard lock(c.mutex);
    c.Tally();
    const double seconds = std::chrono::duration<double>(c.changed - c.since).count();
    return {c.most, seconds > 0 ? c.readerSeconds / seconds : 0.0, c.cpuSeconds};
}

void ResetReaderStatistics() {
    Counts& c = Shared();
    std::lock_guard lock(c.mutex);
    c.since = c.changed = StatsClock::now();
    c.readerSeconds = 0;
    c.most = c.readers;
    c.cpuSeconds = 0;
}

void AddReaderCpuSeconds(double seconds) {
    Counts& c = Shared();
    std::lock_guard lock(c.mutex);
    c.cpuSeconds += seconds;
}

}  // namespace tarnwick::helpers
