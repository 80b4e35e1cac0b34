#pragma once
// SRWLOCK and CONDITION_VARIABLE with the members of std::mutex and
// std::condition_variable that the program uses, so that std::lock_guard and
// std::unique_lock work with them. Each is one pointer, zero when unlocked and unused,
// which keeps <windows.h> out of the headers that include this one.
#include <chrono>
#include <condition_variable>  // std::cv_status
#include <mutex>

namespace tarnwick::win32 {

class SlimMutex {
  public:
    SlimMutex() = default;
    SlimMutex(const SlimMutex&) = delete;
    SlimMutex& operator=(const SlimMutex&) = delete;
    void lock();
    bool try_lock();
    void unlock();

  private:
    friend class SlimCondition;
    void* lock_ = nullptr;  // SRWLOCK_INIT
};

class SlimCondition {
  public:
    SlimCondition() = default;
    SlimCondition(const SlimCondition&) = delete;
    SlimCondition& operator=(const SlimCondition&) = delete;
    void notify_one();
    void notify_all();
    void wait(std::unique_lock<SlimMutex>& lock) { Sleep(lock, kForever); }
    template <typename Predicate>
    void wait(std::unique_lock<SlimMutex>& lock, Predicate done) {
        while (!done()) wait(lock);
    }
    // Windows ends a short time-out only at its timer's next tick (15.6 ms by default),
    // where Wine ends it when asked: callers judge how long they waited by the clock.
    template <typename Rep, typename Period>
    std::cv_status wait_for(std::unique_lock<SlimMutex>& lock,
                            std::chrono::duration<Rep, Period> time) {
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(time).count();
        const auto bounded = static_cast<unsigned long>(ms <= 0          ? 0
                                                        : ms >= kForever ? kForever - 1
                                                                         : ms);
        return Sleep(lock, bounded) ? std::cv_status::no_timeout : std::cv_status::timeout;
    }

  private:
    static constexpr unsigned long kForever = 0xFFFFFFFF;  // INFINITE
    // False when the time ran out.
    bool Sleep(std::unique_lock<SlimMutex>& lock, unsigned long ms);
    void* condition_ = nullptr;  // CONDITION_VARIABLE_INIT
};

}  // namespace tarnwick::win32
