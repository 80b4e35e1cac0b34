#include "platform/HelperThreads.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>

#include <cstdio>
#endif

#include "platform/Lock.h"

namespace tarnwick::helpers {
namespace {

using StatsClock = std::chrono::steady_clock;

struct Counts {
    Mutex mutex;
    Condition ended;
    int readers = 0;
    int leftOpening = 0;
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

void Ended(int Counts::*count) {
    Counts& c = Shared();
    {
        std::lock_guard lock(c.mutex);
        c.Tally();
        --(c.*count);
    }
    c.ended.notify_all();
}

int Read(int Counts::*count) {
    Counts& c = Shared();
    std::lock_guard lock(c.mutex);
    return c.*count;
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
    Ended(&Counts::readers);
}

int Readers() {
    return Read(&Counts::readers);
}

void LeftOpening() {
    Counts& c = Shared();
    std::lock_guard lock(c.mutex);
    ++c.leftOpening;
}

void LeftOpeningEnded() {
    Ended(&Counts::leftOpening);
}

int LeftOpeningCount() {
    return Read(&Counts::leftOpening);
}

bool WaitForOpenerRoom(const std::function<bool()>& waiting, int sliceMs) {
    Counts& c = Shared();
    std::unique_lock lock(c.mutex);
    while (c.leftOpening >= kMostLeftOpening) {
        if (c.ended.wait_for(lock, std::chrono::milliseconds(sliceMs)) ==
            std::cv_status::no_timeout)
            continue;
        lock.unlock();
        const bool giveUp = waiting();
        lock.lock();
        if (giveUp) return false;
    }
    return true;
}

void WaitUntilAllEnded() {
    Counts& c = Shared();
    std::unique_lock lock(c.mutex);
    while (c.readers != 0 || c.leftOpening != 0) c.ended.wait(lock);
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

std::optional<ProcessorTimes> ReadProcessorTimes() {
#ifdef _WIN32
    FILETIME idle, kernel, user;  // kernel time includes the idle time
    if (!GetSystemTimes(&idle, &kernel, &user)) return std::nullopt;
    const auto ticks = [](FILETIME t) {
        return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return ProcessorTimes{ticks(idle), ticks(kernel) + ticks(user)};
#else
    // "cpu  user nice system idle iowait irq softirq steal ..." in clock ticks.
    std::FILE* stat = std::fopen("/proc/stat", "r");
    if (!stat) return std::nullopt;
    unsigned long long t[8] = {};
    const int got = std::fscanf(stat, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &t[0], &t[1],
                                &t[2], &t[3], &t[4], &t[5], &t[6], &t[7]);
    std::fclose(stat);
    if (got < 5) return std::nullopt;
    ProcessorTimes times{t[3] + t[4], 0};
    for (unsigned long long v : t) times.total += v;
    return times;
#endif
}

void AddReaderCpuSeconds(double seconds) {
    Counts& c = Shared();
    std::lock_guard lock(c.mutex);
    c.cpuSeconds += seconds;
}

}  // namespace tarnwick::helpers
