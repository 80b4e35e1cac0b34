#include "listing/ReadAhead.h"

#include <algorithm>
#include <utility>

#include "listing/HelperThreads.h"
#include "listing/ReadAheadEngine.h"

namespace tarnwick {
namespace {

// A share's reads wait on round trips, not on the processor: 16 workers from the start.
constexpr size_t kShareReaders = helpers::kMostReaders;
// A local disk serves a few reads better together than in turn (a rotating disk orders the
// seeks it holds, a solid-state disk answers several at once); more only queue.
constexpr size_t kMostLocalReaders = 4;
// A folder read from memory costs a few system calls and its names; one that waited on a
// device costs a device's access at least (about 0.1 ms for a solid-state disk, a seek on a
// rotating one, a round trip to a server). So a read waited when it took longer than a
// device's access plus what its names cost from memory (well under a microsecond each).
constexpr auto kDeviceAccess = std::chrono::microseconds(100);
constexpr auto kNameFromMemory = std::chrono::microseconds(1);

}  // namespace

ReadAhead::ReadAhead(FileSystem& files, const EnumerationSettings& settings, int32_t levels,
                     const ReadAheadPolicy& policy)
    : engine_(std::make_shared<Engine>(files, settings, levels, policy)) {}

// Returns at once: workers still in a call end by themselves when it returns.
ReadAhead::~ReadAhead() {
    engine_->End();
}

bool ReadAhead::Read(FileSystem& files, Text& folder, CollectedNames& names,
                     const std::function<bool(PumpPoint)>& at) {
    return engine_->WalkRead(files, folder, names, at);
}

std::shared_ptr<ReadAhead::Folder> ReadAhead::Take(size_t entry) {
    return engine_->Take(entry);
}

PumpPoint ReadAhead::Next(Folder& folder) {
    return engine_->Next(folder);
}

const CollectedNames& ReadAhead::Names(const Folder& folder) {
    return folder.names;
}

TextView ReadAhead::Failure(const Folder& folder) {
    return folder.failure;
}

const CollectedNames& ReadAhead::Enter(std::shared_ptr<Folder> folder) {
    return engine_->Push(std::move(folder));
}

const CollectedNames& ReadAhead::Enter(int32_t layer, TextView literal, CollectedNames names) {
    return engine_->Enter(layer, literal, std::move(names));
}

void ReadAhead::Leave() {
    engine_->Leave();
}

void ReadAhead::SetLevels(int32_t levels) {
    engine_->SetLevels(levels);
}

bool ReadAhead::Cancel() {
    return engine_->Cancel();
}

bool ReadAhead::Engine::Slow(Clock::duration took, size_t entries) const {
    return policy_.fromStart || took > kDeviceAccess + kNameFromMemory * entries;
}

// A slow read waited on the disk unless its thread never gave up its processor but for
// `ownWaits` (the engine's lock): then other programs held the processors. Where the
// system keeps no count of a thread's waits, the time alone tells.
bool ReadAhead::Engine::Waited(Clock::duration took, size_t entries,
                               std::optional<uint64_t> waitsBefore, uint64_t ownWaits) const {
    if (policy_.fromStart) return true;
    if (!Slow(took, entries)) return false;
    const auto waits = WaitsSince(waitsBefore);
    return !waits || *waits > ownWaits;
}

// The calling thread's waits since it counted `before`; none where the system keeps no count.
std::optional<uint64_t> ReadAhead::Engine::WaitsSince(std::optional<uint64_t> before) const {
    const auto now = policy_.waits();
    if (!before || !now) return std::nullopt;
    return *now - *before;
}

// The walk's own read, timed by the clock without the pumps it ran; a Waiting point means
// that the folder took a slice of the window's time to open.
bool ReadAhead::Engine::WalkRead(FileSystem& files, Text& folder, CollectedNames& names,
                                 const std::function<bool(PumpPoint)>& at) {
    const auto start = policy_.now();
    const auto waits = policy_.waits();
    Clock::duration pumping{};
    size_t checks = 0;
    bool slowOpen = false;
    const bool complete = EnumerateFolder(files, folder, settings_, names, [&](PumpPoint p) {
        slowOpen = slowOpen || p == PumpPoint::Waiting;
        checks += p == PumpPoint::ClockCheck;
        const auto before = policy_.now();
        const bool stop = at(p);
        pumping += policy_.now() - before;
        return stop;
    });
    const auto took = policy_.now() - start - pumping;
    WalkGot(folder, slowOpen || Waited(took, EntriesSeen(names.Count(), checks), waits, 0));
    return complete;
}

// On a local drive a read the walk made itself that waited on the disk starts the first
// worker, or asks for one more.
void ReadAhead::Engine::WalkGot(TextView literal, bool waited) {
    std::lock_guard lock(mutex_);
    if (!remote_) LearnDrive(literal);
    if (*remote_) return;
    if (waited) Grow();
    Got();
}

// With the lock held: the walk waited on a local disk, for a folder it read or a worker's.
// The first worker starts at once; one more joins after each window's worth of folders in
// which the walk waited again, up to 4. None is weighed: the waiting swings from window to
// window with the folders in it more than a worker moves it; where the disk serves reads in
// turn, the workers only queue.
void ReadAhead::Engine::Grow() {
    if (cancelled_) return;
    if (wanted_ != 0) {
        waitedAgain_ = true;
        return;
    }
    wanted_ = 1;
    windowGot_ = 0;  // the next worker is asked for a whole window later
    waitedAgain_ = false;
    if (!stack_.empty()) StartWorkers(wanted_);  // for the folders left in the one it is in
}

// With the lock held, on a local drive: the walk got a folder.
void ReadAhead::Engine::Got() {
    if (++windowGot_ < windowFolders_) return;
    windowGot_ = 0;
    if (waitedAgain_ && wanted_ != 0 && wanted_ < kMostLocalReaders && !cancelled_) {
        ++wanted_;
        if (!stack_.empty()) StartWorkers(wanted_);
    }
    waitedAgain_ = false;
}

// With the lock held, at the walk's first folder.
void ReadAhead::Engine::LearnDrive(TextView literal) {
    remote_ = files_.IsRemote(literal);
    if (*remote_) {
        wanted_ = kShareReaders;
        windowFolders_ = kShareWindowFolders;
    } else if (policy_.fromStart) {
        wanted_ = 1;
    }
}

// A worker's read of the folder waited on the disk, its waits for the engine's lock left
// out. Only the worker writes what it reads here, so it needs no lock.
bool ReadAhead::Engine::FromDevice(Clock::duration took, std::optional<uint64_t> waitsBefore,
                                   const Folder& folder) const {
    const auto checks =
        std::count(folder.points.begin(), folder.points.end(), PumpPoint::ClockCheck);
    return Waited(took - folder.lockTime,
                  EntriesSeen(folder.names.Count(), static_cast<size_t>(checks)), waitsBefore,
                  folder.lockWaits);
}

// With the lock held, after a worker's read: on a local drive a worker whose last window's
// worth of folders all came from memory ends, since the walk reads such folders as fast
// itself, without the hand-over. True when it ends.
bool ReadAhead::Engine::Ends(int& fromMemory, const Folder& folder) {
    fromMemory = folder.fromDevice ? 0 : fromMemory + 1;
    if (*remote_ || fromMemory < windowFolders_) return false;
    wanted_ = --threads_;
    return true;
}

std::shared_ptr<ReadAhead::Folder> ReadAhead::Engine::Take(size_t entry) {
    std::lock_guard lock(mutex_);
    if (stack_.empty() || cancelled_) return nullptr;
    Folder& top = *stack_.back();
    // Folders passed over were not entered: the depth was lowered since they were read.
    while (top.next < top.subFolders.size() && top.subFolders[top.next] < entry) {
        if (!top.started.empty()) Drop(*top.PopStarted());
        ++top.next;
    }
    if (top.next == top.subFolders.size() || top.subFolders[top.next] != entry) return nullptr;
    ++top.next;
    if (top.started.empty()) {
        // The walk got past every folder started: workers asleep on a window they found
        // full (of folders further on) look again from here. Not while the names held fill
        // the window: they would find nothing to read.
        if (idle_ > 0 && heldBytes_ < kWindowBytes) work_.notify_all();
        return nullptr;
    }
    std::shared_ptr<Folder> folder = top.PopStarted();
    folder->attached = false;  // with what is read below it, which the walk goes on to
    Count(*folder, 0);
    if (folder->state == State::Read) --heldFolders_;
    WakeWorkers();  // the window moved on
    if (folder->entry != entry || folder->state == State::Unread ||
        folder->state == State::GivenBack)
        return nullptr;
    return folder;
}

// While a worker reads the folder, the window is given a Waiting point every `stall` by
// the clock (a timed wait may end later than asked, at the system's timer tick). On a local
// drive, a folder that its worker waited on the disk for, and the walk for longer than a
// device's access, brings one more worker.
PumpPoint ReadAhead::Engine::Next(Folder& folder) {
    std::unique_lock lock(mutex_);
    const auto stalled = policy_.now() + policy_.stall;
    for (;;) {
        if (folder.played < folder.points.size()) return folder.points[folder.played++];
        if (folder.state == State::Read) {
            if (!*remote_) {
                if (folder.fromDevice && Slow(folder.waited, 0)) Grow();
                Got();
            }
            return PumpPoint::End;
        }
        if (folder.state == State::GivenBack || folder.state == State::GivenUp)
            return PumpPoint::GivenBack;
        const auto now = policy_.now();
        if (policy_.stall.count() != 0 && now >= stalled) return PumpPoint::Waiting;
        awaited_ = &folder;
        if (policy_.stall.count() == 0) {
            progress_.wait(lock);
        } else {
            policy_.waitFor(lock, progress_, stalled - now);
        }
        awaited_ = nullptr;
        folder.waited += policy_.now() - now;
    }
}

const CollectedNames& ReadAhead::Engine::Enter(int32_t layer, TextView literal,
                                               CollectedNames names) {
    auto folder = std::make_shared<Folder>(layer, 0);
    folder->literal.assign(literal);
    folder->names = std::move(names);
    folder->state = State::Read;
    folder->attached = false;
    bool predict;
    {
        std::lock_guard lock(mutex_);
        predict = !cancelled_ && (firstReader_ || threads_ != 0);
    }
    if (predict) folder->Predict();  // outside the lock: a folder may hold 10^5 names
    return Push(std::move(folder));
}

const CollectedNames& ReadAhead::Engine::Push(std::shared_ptr<Folder> folder) {
    std::lock_guard lock(mutex_);
    stack_.push_back(std::move(folder));
    const Folder& top = *stack_.back();
    if (!remote_) LearnDrive(top.literal);
    if (!cancelled_ && !top.subFolders.empty() && top.layer < levels_) StartWorkers(wanted_);
    WakeWorkers();
    return top.names;
}

void ReadAhead::Engine::Leave() {
    std::lock_guard lock(mutex_);
    Folder& top = *stack_.back();
    for (auto& f : top.started) Drop(*f);
    stack_.pop_back();
    WakeWorkers();
}

void ReadAhead::Engine::SetLevels(int32_t levels) {
    if (levels == walkLevels_) return;  // at every pump: no wait for the lock that a read counts
    walkLevels_ = levels;
    std::lock_guard lock(mutex_);
    const bool lowered = levels < levels_;
    levels_ = levels;
    if (lowered) {
        for (auto& f : stack_) Prune(*f);
    }
    work_.notify_all();
}

// True while a worker may still hold a folder open, also when reading ahead was ended
// before.
bool ReadAhead::Engine::Cancel() {
    std::lock_guard lock(mutex_);
    if (!cancelled_) CancelLocked();
    return live_ != 0;
}

void ReadAhead::Engine::CancelLocked() {
    cancelled_ = true;
    DropAll();
    work_.notify_all();
}

// The walk is over: idle workers end now, busy ones when their call returns. The first
// reader, never handed to a worker, goes with the walk's file system.
void ReadAhead::Engine::End() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        ending_ = true;
        DropAll();
        stack_.clear();
    }
    work_.notify_all();
    firstReader_.reset();
}

}  // namespace tarnwick
