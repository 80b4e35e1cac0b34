#pragma once
// Reads the folders that the walk will enter next on worker threads, in the walk's own
// order, while the walk lists the folder it is in. A worker records what the walk's own
// enumeration of a folder would give: the names it keeps and its pump points. The walk
// plays the recording back where it would have enumerated the folder, so that the lines
// and the pumps are those of a walk that reads every folder itself.
//
// How many workers follows from what the reads cost, timed on a steady clock: on a network
// drive 16 from the start (each waits a round trip of its own); on a local drive none while
// folders come from memory, one once a read has waited on the disk (it took long, and the
// thread waited where the system tells), and, while the walk still waits, one more after
// each window's worth of folders, up to 4; a worker whose window's worth of reads all came
// from memory ends.
//
// Every call is made on the walk's thread. What the workers share with the walk lives as
// long as the last of them: a worker stuck in a call (a hung network share) is left behind
// when the walk stops or ends, and what it read is thrown away when the call returns.
//
// A folder's content is as of the moment a worker read it, earlier than the walk would
// have read it by at most the window. A folder removed or made a file before it is read
// gives no entry and no pump: its line stands (from its parent's names) with nothing
// under it. Whether an entry is entered still follows the attributes its parent's
// enumeration gave. A folder a worker could not read for a reason of its own (no
// descriptor or memory left, the window full) is given back: the walk reads it itself.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "listing/FolderEnumeration.h"
#include "platform/Lock.h"
#include "platform/Threads.h"

namespace tarnwick {

struct ReadAheadPolicy {
    using Clock = std::chrono::steady_clock;
    using WaitFor = std::function<void(std::unique_lock<Mutex>&, Condition&, Clock::duration)>;
    // While a worker reads the folder the walk waits for (on a network drive), the walk is
    // given a Waiting point every `stall` (never when zero, for tests that compare pumps).
    std::chrono::milliseconds stall{20};
    // For tests: every read counts as one that waited on the disk, so that a worker reads
    // ahead from the first folder to the end of the walk.
    bool fromStart = false;
    // The steady clock, and a wait on a condition until notified or `duration` has passed:
    // the system's, but in tests (Windows ends a short timed wait only at its next tick).
    std::function<Clock::time_point()> now = Clock::now;
    // The calling thread's count of waits: a read that took long without waiting was
    // pre-empted by other programs, not held by the disk. None where the system keeps no
    // such count: the time alone then tells.
    std::function<std::optional<uint64_t>()> waits = helpers::ThreadWaits;
    WaitFor waitFor = [](std::unique_lock<Mutex>& lock, Condition& c, Clock::duration d) {
        c.wait_for(lock, d);
    };
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

    // The walk reads `folder` itself, as EnumerateFolder does; the read is timed.
    bool Read(FileSystem& files, Text& folder, CollectedNames& names,
              const std::function<bool(PumpPoint)>& at);
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
