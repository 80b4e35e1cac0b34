#pragma once
#include <chrono>
#include <functional>

#include "platform/EventPump.h"

namespace tarnwick::win32 {

// The message loop run from inside a long operation on the user-interface thread.
// Looking at the queue costs a round trip to the window system, and the walk asks for it
// up to three times per folder; so the queue is looked at again only once `interval` has
// passed since the last look. Input therefore waits at most that long, which no user
// notices, and the open-window count, which changes only when messages are handled, is
// the one the last look left.
class Win32EventPump : public EventPump {
  public:
    using Clock = std::chrono::steady_clock;
    // `now` is the clock's reading; tests give one they move themselves.
    explicit Win32EventPump(std::chrono::milliseconds interval = std::chrono::milliseconds(10),
                            std::function<Clock::time_point()> now = Clock::now)
        : interval_(interval), now_(std::move(now)) {}
    int DoEvents() override;
    [[noreturn]] void End() override;

  private:
    std::chrono::milliseconds interval_;
    std::function<Clock::time_point()> now_;
    Clock::time_point nextLook_{};
};

}  // namespace tarnwick::win32
