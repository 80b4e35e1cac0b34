#include "platform/HelperThreads.h"

#include <chrono>

#include "platform/Lock.h"

namespace tarnwick::helpers {
namespace {

struct Counts {
    Mutex mutex;
    Condition ended;
    int readers = 0;
    int leftOpening = 0;
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
    ++c.readers;
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

}  // namespace tarnwick::helpers
