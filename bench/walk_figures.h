#pragma once
// What a timed walk came to beside its time, and the figures of several walks of a kind:
// the read-ahead's readers (the most alive at once, how many on average), the process's
// threads, the processor time of the walk's thread, of its readers and, under Wine, of
// the Wine server (whose process bench/run names in TARNWICK_WINESERVER_PID).
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "bench/Timing.h"

namespace tarnwick::bench {

struct RunFigures {
    double seconds = 0;
    int readersMost = 0;
    double readersMean = 0;
    int threadsPeak = 0;  // 0 when they cannot be counted here
    double walkCpu = 0, readersCpu = 0;
    double childrenCpu = 0;  // of child processes that ended meanwhile (find)
    double serverCpu = -1;   // below 0 when no Wine server is known
};

// Measures one walk run on the thread that makes the probe, from then until End.
class RunProbe {
  public:
    RunProbe();
    ~RunProbe();
    RunProbe(const RunProbe&) = delete;
    RunProbe& operator=(const RunProbe&) = delete;
    // Right after the walk; waits for its readers to end, which they do at once unless stuck.
    RunFigures End();

  private:
    void Sample();

    Clock::time_point start_;
    double walkCpu_, childrenCpu_, serverCpu_;
    std::atomic<bool> sampling_ = true;
    std::atomic<int> threadsPeak_ = 0;
    std::thread sampler_;
};

template <typename Walk>
RunFigures Measure(Walk&& walk) {
    RunProbe probe;
    walk();
    return probe.End();
}

// The runs of one kind within one set, and their time's least and median.
class Series {
  public:
    explicit Series(std::string name) : name_(std::move(name)) {}
    void Add(const RunFigures& run) { runs_.push_back(run); }
    double Min() const;
    double Median() const;
    bool AnyReaders() const;  // a run had a reader of its own
    // One line per run, then the least and the median.
    void Print() const;
    const std::string& Name() const { return name_; }

  private:
    std::string name_;
    std::vector<RunFigures> runs_;
};

// `a` / `b` at their least and their median times, beside the target (none when
// `target` is empty): ratio <= bound, or >= bound when `atLeast`.
void PrintRatio(const Series& a, const Series& b, const char* target = "", double bound = 0,
                bool atLeast = false);
// A time in milliseconds against a target of at most `boundMs`.
void PrintAgainst(const char* what, double ms, double boundMs);

}  // namespace tarnwick::bench
