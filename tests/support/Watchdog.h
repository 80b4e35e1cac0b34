#pragma once
// A bound on a step that must not hang: a step that has not come back within a minute ends
// the program, naming it, rather than leave the suite waiting for good.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace tarnwick::testing {

class Watchdog {
  public:
    Watchdog()
        : thread_([this] {
              std::unique_lock lock(mutex_);
              while (!done_) {
                  const long at = step_;
                  if (!changed_.wait_for(lock, std::chrono::seconds(60),
                                         [&] { return done_ || step_ != at; }) &&
                      armed_) {
                      std::fprintf(stderr, "hung at %s\n", what_.c_str());
                      std::abort();
                  }
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    void Arm(std::string what, bool armed = true) {
        {
            std::lock_guard lock(mutex_);
            what_ = std::move(what), armed_ = armed, ++step_;
        }
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string what_;
    bool armed_ = false, done_ = false;
    long step_ = 0;
    std::thread thread_;
};

}  // namespace tarnwick::testing
