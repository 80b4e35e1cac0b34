#pragma once
// Virus scanners, search indexers and sync clients open a file that was just written or
// changed for a moment, and while they hold it the system refuses to replace or rename it.
// A save tries again for about two seconds before it fails: after 10 ms at first, each wait
// twice the one before, up to a quarter of a second.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

namespace tarnwick {

// How a save waits between its tries: a steady clock in milliseconds, and a wait of about
// so many milliseconds (the window answers its messages meanwhile). Tests give both.
struct HeldFileWaits {
    std::function<int64_t()> now = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    std::function<void(int64_t ms)> wait = [](int64_t ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    };
};

// The tries of one step, from the first.
class HeldFileRetry {
  public:
    static constexpr int64_t kFirstWaitMs = 10;
    static constexpr int64_t kLongestWaitMs = 250;
    static constexpr int64_t kPatienceMs = 2000;

    explicit HeldFileRetry(const HeldFileWaits& waits) : waits_(waits), start_(waits.now()) {}

    // After a refusal that passes once the other program lets go: waits, and gives true for
    // another try; false once the time is up. Judged by the time gone, never by the waits
    // counted: the system rounds a short wait up to its clock's tick, and the window may
    // have kept the wait longer.
    bool WaitForAnotherTry() {
        const int64_t left = kPatienceMs - (waits_.now() - start_);
        if (left <= 0) return false;
        waits_.wait(std::min(next_, left));
        next_ = std::min(next_ * 2, kLongestWaitMs);
        return true;
    }

  private:
    const HeldFileWaits& waits_;
    int64_t start_;
    int64_t next_ = kFirstWaitMs;
};

}  // namespace tarnwick
