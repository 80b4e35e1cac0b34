#pragma once
// Wall-clock seconds for the benchmarks' figures.
#include <chrono>

namespace tarnwick::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point from, Clock::time_point to = Clock::now()) {
    return std::chrono::duration<double>(to - from).count();
}

}  // namespace tarnwick::bench
