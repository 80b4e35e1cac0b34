#pragma once
// The worker threads that read folders ahead of the walk. A worker stuck in a call that does
// not return (a folder on a hung network share) is left to end by itself when the call comes
// back, which may take minutes; so that starting and stopping again and again never piles
// such threads up, their number is bounded for the whole process.
#include "platform/Threads.h"

namespace tarnwick::helpers {

// Read-ahead workers alive in the process, those of runs that have ended included: a run
// gets the ones that earlier runs do not still hold. Sixteen keep a slow network share
// busy (each waits a round trip of its own); more only wait their turn on it.
inline constexpr int kMostReaders = 16;

// A reader may start: false when there are kMostReaders already.
bool StartReader();
void ReaderEnded();
int Readers();

// Waits until every reader and every opener left opening has ended (tests, before their
// file systems go).
void WaitUntilAllEnded();

// What the readers came to since the last reset, for the benchmarks and tests: the most
// alive at once, how many were alive on average over the time, and the processor time of
// those that have ended.
struct ReaderStatistics {
    int most = 0;
    double mean = 0;
    double cpuSeconds = 0;
};
ReaderStatistics ReadersSinceReset();
void ResetReaderStatistics();
void AddReaderCpuSeconds(double seconds);

}  // namespace tarnwick::helpers
