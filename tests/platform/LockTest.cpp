// The lock and condition variable the read-ahead hands work over with: exclusion, a wake
// that reaches the waiter, and a timed wait that tells a timeout from a wake.
#include "platform/Lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace tarnwick {
namespace {

TEST(Lock, KeepsThreadsOutOfEachOthersUpdates) {
    Mutex mutex;
    long count = 0;
    std::atomic<int> started = 0;
    volatile int sink = 0;
    const auto add = [&] {
        ++started;
        while (started < 2) {
        }  // both at once, however long a thread takes to start
        for (int i = 0; i < 20000; ++i) {
            std::lock_guard lock(mutex);
            const long seen = count;
            for (int pause = 0; pause < 100; ++pause) sink = pause;  // room for the other thread
            count = seen + 1;
        }
    };
    std::thread other(add);
    add();
    other.join();
    EXPECT_EQ(count, 40000);
}

TEST(Lock, ATimedWaitTellsAWakeFromATimeout) {
    Mutex mutex;
    Condition changed;
    std::unique_lock lock(mutex);
    // Nobody wakes it: the wait ends with a timeout (a spurious wake may come first).
    int wakes = 0;
    while (changed.wait_for(lock, std::chrono::milliseconds(1)) == std::cv_status::no_timeout)
        ASSERT_LT(++wakes, 100);

    bool ready = false;
    std::thread other([&] {
        std::lock_guard held(mutex);
        ready = true;
        changed.notify_all();
    });
    // Woken well before a minute: no timeout, and what the waker wrote is there.
    while (!ready)
        ASSERT_EQ(changed.wait_for(lock, std::chrono::minutes(1)), std::cv_status::no_timeout);
    lock.unlock();
    other.join();
    std::unique_lock again(mutex);
    changed.wait(again, [&] { return ready; });  // a satisfied wait does not block
}

}  // namespace
}  // namespace tarnwick
