#pragma once
// Reads the folders that the walk will enter next on worker threads, in the walk's own
// order, while the walk lists the folder it is in. A worker records what the walk's own
// enumeration of a folder would give: the names it keeps and its pump points. The walk
// plays the recording back where it would have enumerated the folder, so that the lines
// and the pumps are those of a walk that reads every folder itself.
//
// Every call is made on the walk's thread and returns without waiting on a worker for
// longer than the stall time. What the workers share with the walk lives as long as the
// last of them: a worker stuck in a call (a hung network share) is left behind when the
// walk stops or ends, and what it read is thrown away when the call returns.
//
// A folder's content is as of the moment a worker read it, earlier than the walk would
// have read it by at most the window. A folder removed or made a file before it is read
// gives no entry and no pump: its line stands (from its parent's names) with nothing
// under it, as when that happens today between a parent's reading and the folder's own.
// A folder changed after it was read is listed as read, as a name is listed today even
// when its entry has gone by the time its line is written. Whether an entry is entered
// still follows the attributes its parent's enumeration gave. A folder a worker could not
// read for a reason of its own (no descriptor or memory left, the window full) is given
// back: the walk reads it itself.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "listing/FolderEnumeration.h"
#include "platform/HelperThreads.h"

namespace tarnwick {

// How many workers read ahead. On a network drive reading waits on round trips, and up to
// 16 workers are added while the walk waits for them. On a local drive one worker reads
// once a processor has been seen idle, another is added (up to one per processor) only
// while the walk waits for it and a processor is left idle (a worker waiting for a
// processor is not helped by another), and reading ahead ends once the walk hardly ever
// waits for it while folders come from the cache (the hand-over is then all it adds), or
// once every processor is busy.
struct ReadAheadPolicy {
    // While a worker reads the folder the walk waits for, the walk is given a Waiting point
    // every `stall` (never when zero, for tests that compare pumps).
    std::chrono::milliseconds stall{20};
    // How often a local drive's reading ahead is weighed, after a first look at a tenth of
    // that (never when zero, for tests that follow every folder read ahead: a worker then
    // reads from the start). Idle processors are judged over half of it at least.
    std::chrono::milliseconds weighEvery{100};
    unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    // The machine's processor times, the system's but in tests.
    std::function<std::optional<helpers::ProcessorTimes>()> processorTimes =
        helpers::ReadProcessorTimes;
};

class ReadAhead {
  public:
    class Folder;

    // No reading ahead when `files` gives no reader of its own.
    ReadAhead(FileSystem& files, const EnumerationSettings& settings, int32_t levels,
              const ReadAheadPolicy& policy);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The innermost folder entered enters its entry number `entry`: the folder read (or
    // being read) for it, or null when the walk must read it itself.
    std::shared_ptr<Folder> Take(size_t entry);
    // The next pump point of a folder taken: End once its names are complete, GivenBack
    // when the walk must read it itself after all.
    PumpPoint Next(Folder& folder);
    static const CollectedNames& Names(const Folder& folder);
    // Why a folder read could not be read to its end; empty when it was.
    static TextView Failure(const Folder& folder);
    // The walk enters a folder, taken or read by itself, that has names to list.
    const CollectedNames& Enter(std::shared_ptr<Folder> folder);
    const CollectedNames& Enter(int32_t layer, TextView literal, CollectedNames names);
    void Leave();  // the innermost folder is done

    void SetLevels(int32_t levels);
    // Drops everything read ahead; from then on the walk reads every folder itself. True
    // while a worker may still hold a folder open.
    bool Cancel();

    // The most bytes of names held ahead of the walk at once, being read included, since
    // the last reset (for the benchmarks).
    static size_t PeakHeldBytes();
    static void ResetPeakHeldBytes();

  private:
    class Engine;
    std::shared_ptr<Engine> engine_;
};

}  // namespace tarnwick
