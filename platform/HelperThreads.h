#pragma once
// The helper threads that read folders for the walk. A thread stuck in a call that does not
// return (a folder on a hung network share) is left to end by itself when the call comes
// back, which may take minutes; so that starting and stopping again and again never piles
// such threads up, their number is bounded for the whole process.
#include <cstdint>
#include <functional>
#include <optional>

namespace tarnwick::helpers {

// Read-ahead workers alive in the process, those of runs that have ended included: a run
// gets the ones that earlier runs do not still hold. Sixteen keep a slow network share
// busy; more only wait their turn on it.
inline constexpr int kMostReaders = 16;
// Openers left opening a folder that was given up: four cover a user's repeated stops on
// a hung share until the system gives the first call up (about a minute for a dead SMB
// server). Past that a new opener waits for one of them to end, while the window answers.
inline constexpr int kMostLeftOpening = 4;

// A reader may start: false when there are kMostReaders already.
bool StartReader();
void ReaderEnded();
int Readers();

void LeftOpening();       // an opener is left to end by itself
void LeftOpeningEnded();  // and has ended
int LeftOpeningCount();
// Waits until fewer than kMostLeftOpening openers are left opening, running `waiting`
// every `sliceMs`; false when `waiting` gave up.
bool WaitForOpenerRoom(const std::function<bool()>& waiting, int sliceMs);

// Waits until every reader and every opener left opening has ended (tests, before their
// file systems go).
void WaitUntilAllEnded();

// What the readers came to since the last reset, for the benchmarks: the most alive at
// once, how many were alive on average over the time, and the processor time of those
// that have ended.
struct ReaderStatistics {
    int most = 0;
    double mean = 0;
    double cpuSeconds = 0;
};
ReaderStatistics ReadersSinceReset();
void ResetReaderStatistics();
// The processor time the calling thread has used; a reader adds its own as it ends.
double ThreadCpuSeconds();

// The machine's processor time so far, all processors together, and how much of it they
// spent idle; nothing where the system doesn't tell.
struct ProcessorTimes {
    uint64_t idle = 0;
    uint64_t total = 0;
};
std::optional<ProcessorTimes> ReadProcessorTimes();
void AddReaderCpuSeconds(double seconds);

}  // namespace tarnwick::helpers
