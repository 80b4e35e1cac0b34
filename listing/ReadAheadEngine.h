#pragma once
// The read-ahead's insides, shared by its two sides: the walk's (ReadAhead.cpp: the hand-over
// and how many workers read) and the window of folders read ahead (ReadAheadWindow.cpp).
#include <algorithm>
#include <atomic>
#include <optional>
#include <vector>

#include "listing/ReadAhead.h"

namespace tarnwick {

// 64 folders ahead keep a local drive's few workers reading in bursts, close to what the
// walk lists. On a share sixteen workers each wait a round trip of their own while the walk
// takes their folders in its order, so the folders read behind the one it waits for fill
// the window: there it is 256. 16 MB of names bounds the memory when the folders ahead are
// very large (a folder of 10^5 entries holds about 4 MB of them). Names are counted as they
// are read, so the most held at once is the window and what each worker reads between two
// pump points.
constexpr int kWindowFolders = 64;
constexpr int kShareWindowFolders = 256;
constexpr size_t kWindowBytes = size_t{16} << 20;

enum class State : uint8_t {
    Unread,
    Reading,
    Read,
    GivenUp,    // nobody wants it any more
    GivenBack,  // the worker could not read it: the walk reads it itself
};

class ReadAhead::Folder {
  public:
    Folder(int32_t inLayer, uint32_t number) : layer(inLayer), entry(number) {}

    const int32_t layer;
    const uint32_t entry;  // its number among its parent's names
    State state = State::Unread;
    Text literal;  // ending in the separator; set when it is started
    CollectedNames names;
    Text failure;        // why it could not be read to its end, once read
    size_t counted = 0;  // bytes of names counted in the window
    std::vector<PumpPoint> points;
    size_t played = 0;     // points the walk has played back
    bool attached = true;  // still a sub-folder in the tree, not taken nor dropped
    ReadAheadPolicy::Clock::duration waited{};  // how long the walk waited for its worker
    bool fromDevice = false;                    // its worker's read waited on the disk
    // What the worker's read spent waiting for the engine's lock: time, and waits counted.
    ReadAheadPolicy::Clock::duration lockTime{};
    uint64_t lockWaits = 0;
    std::atomic<bool> abandoned = false;
    // The numbers of the names the walk will enter, as far as the names tell (a folder,
    // not a link); `started` holds the folders made for sub-folders[next...].
    std::vector<uint32_t> subFolders;
    size_t next = 0;
    std::vector<std::shared_ptr<Folder>> started;  // a window's worth at most

    std::shared_ptr<Folder> PopStarted() {
        std::shared_ptr<Folder> first = std::move(started.front());
        started.erase(started.begin());
        return first;
    }

    // The walk runs this over every folder it reads while reading ahead, so a folder of
    // files alone costs it nothing.
    void Predict() {
        if (names.Folders() == 0) return;
        for (size_t i = 0; i < names.Count(); ++i) {
            const auto a = names.Attributes(i);
            if (a && (*a & attr::Folder) && !(*a & attr::Link))
                subFolders.push_back(static_cast<uint32_t>(i));
        }
    }
};

// A read's entries: its names kept, or 256 for each clock check it passed if more.
inline size_t EntriesSeen(size_t kept, size_t clockChecks) {
    return std::max(kept, clockChecks * kEntriesPerClockCheck);
}

// What the walk and its workers share; the last of them to go takes it along.
class ReadAhead::Engine : public std::enable_shared_from_this<Engine> {
  public:
    using Clock = ReadAheadPolicy::Clock;

    Engine(FileSystem& files, const EnumerationSettings& settings, int32_t levels,
           const ReadAheadPolicy& policy)
        : files_(files),
          settings_(settings),
          policy_(policy),
          firstReader_(files.NewReader()),
          levels_(levels),
          walkLevels_(levels) {}

    bool WalkRead(FileSystem& files, Text& folder, CollectedNames& names,
                  const std::function<bool(PumpPoint)>& at);
    std::shared_ptr<Folder> Take(size_t entry);
    PumpPoint Next(Folder& folder);
    const CollectedNames& Enter(int32_t layer, TextView literal, CollectedNames names);
    const CollectedNames& Push(std::shared_ptr<Folder> folder);
    void Leave();
    void SetLevels(int32_t levels);
    bool Cancel();
    void End();

  private:
    bool Slow(Clock::duration took, size_t entries) const;
    bool Waited(Clock::duration took, size_t entries, std::optional<uint64_t> waitsBefore,
                uint64_t ownWaits) const;
    std::optional<uint64_t> WaitsSince(std::optional<uint64_t> before) const;
    void LearnDrive(TextView literal);
    void WalkGot(TextView literal, bool waited);
    void Got();
    void Grow();
    bool FromDevice(Clock::duration took, std::optional<uint64_t> waitsBefore,
                    const Folder& folder) const;
    bool Ends(int& fromMemory, const Folder& folder);
    std::shared_ptr<Folder> FindWork();
    std::shared_ptr<Folder> Visit(Folder& parent, int& budget);
    static void Work(std::shared_ptr<Engine> engine, std::unique_ptr<FileSystem> reader);
    void ReadFolders(FileSystem& reader);
    State Read(FileSystem& reader, Folder& folder);
    bool AddPoint(Folder& folder, PumpPoint point);
    void Count(Folder& folder, size_t bytes);
    void Finish(Folder& folder, State state);
    void Prune(Folder& folder);
    void Drop(Folder& folder);
    void DropAll();
    void StartWorkers(size_t count);
    void WakeWorkers();
    void CancelLocked();

    FileSystem& files_;
    const EnumerationSettings settings_;
    const ReadAheadPolicy policy_;
    std::unique_ptr<FileSystem> firstReader_;
    std::optional<bool> remote_;  // the drive's kind, learnt from the first folder
    size_t wanted_ = 0;           // workers the reads so far call for
    // On a local drive, a window's worth of folders at a time: one more worker joins after
    // one in which the walk waited on the disk again.
    int windowGot_ = 0;                   // folders the walk got in this window's worth
    bool waitedAgain_ = false;            // and it waited on the disk meanwhile
    int windowFolders_ = kWindowFolders;  // on a share, kShareWindowFolders

    Mutex mutex_;
    Condition work_;                              // workers: something to read, or the end
    Condition progress_;                          // the walk: a pump point, or a folder read
    std::vector<std::shared_ptr<Folder>> stack_;  // the folders the walk is in
    int32_t levels_;
    int32_t walkLevels_;    // the walk's own copy, so that an unchanged depth takes no lock
    size_t heldBytes_ = 0;  // names read ahead, or being read, and not yet taken
    int heldFolders_ = 0;   // folders read ahead and not yet taken
    const Folder* awaited_ = nullptr;  // the folder the walk waits for: only it wakes the walk
    size_t threads_ = 0;               // workers started
    size_t live_ = 0;  // workers whose reader is not yet closed, cancelled ones included
    int idle_ = 0;
    std::atomic<bool> cancelled_ = false;
    bool ending_ = false;
};

}  // namespace tarnwick
