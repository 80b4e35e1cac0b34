#include "listing/ReadAhead.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "listing/HelperThreads.h"

namespace tarnwick {
namespace {

using Clock = ReadAheadPolicy::Clock;

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

std::atomic<size_t> peakHeldBytes = 0;

}  // namespace

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
size_t EntriesSeen(size_t kept, size_t clockChecks) {
    return std::max(kept, clockChecks * kEntriesPerClockCheck);
}

// What the walk and its workers share; the last of them to go takes it along.
class ReadAhead::Engine : public std::enable_shared_from_this<Engine> {
  public:
    Engine(FileSystem& files, const EnumerationSettings& settings, int32_t levels,
           const ReadAheadPolicy& policy)
        : files_(files),
          settings_(settings),
          policy_(policy),
          firstReader_(files.NewReader()),
          levels_(levels) {}

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
    bool Waited(Clock::duration took, size_t entries) const;
    void LearnDrive(TextView literal);
    void WalkWaited(TextView literal);
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
    int windowFolders_ = kWindowFolders;

    Mutex mutex_;
    Condition work_;                              // workers: something to read, or the end
    Condition progress_;                          // the walk: a pump point, or a folder read
    std::vector<std::shared_ptr<Folder>> stack_;  // the folders the walk is in
    int32_t levels_;
    size_t heldBytes_ = 0;             // names read ahead, or being read, and not yet taken
    int heldFolders_ = 0;              // folders read ahead and not yet taken
    const Folder* awaited_ = nullptr;  // the folder the walk waits for: only it wakes the walk
    size_t threads_ = 0;               // workers started
    size_t live_ = 0;  // workers whose reader is not yet closed, cancelled ones included
    int idle_ = 0;
    std::atomic<bool> cancelled_ = false;
    bool ending_ = false;
};

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

size_t ReadAhead::PeakHeldBytes() {
    return peakHeldBytes;
}

void ReadAhead::ResetPeakHeldBytes() {
    peakHeldBytes = 0;
}

bool ReadAhead::Engine::Waited(Clock::duration took, size_t entries) const {
    return policy_.fromStart || took > kDeviceAccess + kNameFromMemory * entries;
}

// The walk's own read, timed by the clock without the pumps it ran; a Waiting point means
// that the folder took a slice of the window's time to open.
bool ReadAhead::Engine::WalkRead(FileSystem& files, Text& folder, CollectedNames& names,
                                 const std::function<bool(PumpPoint)>& at) {
    const auto start = policy_.now();
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
    if (slowOpen || Waited(took, EntriesSeen(names.Count(), checks))) WalkWaited(folder);
    return complete;
}

// On a local drive a read the walk made itself waited on the disk: the first worker starts,
// or the workers were behind the walk and one more joins them.
void ReadAhead::Engine::WalkWaited(TextView literal) {
    std::lock_guard lock(mutex_);
    if (!remote_) LearnDrive(literal);
    if (*remote_ || cancelled_) return;
    wanted_ = std::min(kMostLocalReaders, std::max(wanted_, threads_) + 1);
    if (!stack_.empty()) StartWorkers(wanted_);  // for the folders left in the one it is in
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
    if (folder->entry != entry) return nullptr;
    // On a local drive the walk reads a folder not yet read in full itself rather than wait:
    // the wait would cost a thread switch, on a busy machine a wait for a processor.
    if (folder->state == State::Read || (*remote_ && folder->state == State::Reading))
        return folder;
    folder->abandoned = true;
    return nullptr;
}

// While a worker reads the folder, the window is given a Waiting point every `stall` by
// the clock (a timed wait may end later than asked, at the system's timer tick).
PumpPoint ReadAhead::Engine::Next(Folder& folder) {
    std::unique_lock lock(mutex_);
    const auto stalled = policy_.now() + policy_.stall;
    for (;;) {
        if (folder.played < folder.points.size()) return folder.points[folder.played++];
        if (folder.state == State::Read) return PumpPoint::End;
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
    std::lock_guard lock(mutex_);
    if (levels == levels_) return;
    const bool lowered = levels < levels_;
    levels_ = levels;
    if (lowered) {
        for (auto& f : stack_) Prune(*f);
    }
    work_.notify_all();
}

// Below the depth, nothing will be entered: what was read there is dropped.
void ReadAhead::Engine::Prune(Folder& folder) {
    if (folder.layer >= levels_) {
        for (auto& f : folder.started) Drop(*f);
        folder.started.clear();
        return;
    }
    for (auto& f : folder.started) {
        if (f->state == State::Read) Prune(*f);
    }
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

void ReadAhead::Engine::DropAll() {
    for (auto& f : stack_) {
        for (auto& s : f->started) Drop(*s);
        f->started.clear();
        f->subFolders.clear();
        f->next = 0;
    }
}

// A folder the walk will not enter leaves the tree with everything read below it; a
// worker still reading one gives it up.
void ReadAhead::Engine::Drop(Folder& folder) {
    folder.abandoned = true;
    if (!folder.attached) return;
    folder.attached = false;
    Count(folder, 0);
    if (folder.state == State::Read) --heldFolders_;
    for (auto& f : folder.started) Drop(*f);
    folder.started.clear();
}

// With the lock held: `bytes` of the folder's names are now held ahead of the walk.
void ReadAhead::Engine::Count(Folder& folder, size_t bytes) {
    heldBytes_ = heldBytes_ - folder.counted + bytes;
    folder.counted = bytes;
    size_t peak = peakHeldBytes;
    while (heldBytes_ > peak && !peakHeldBytes.compare_exchange_weak(peak, heldBytes_)) {
    }
}

// Workers are bounded for the whole process, the workers of earlier walks still in a call
// included.
void ReadAhead::Engine::StartWorkers(size_t count) {
    count = std::min(count, static_cast<size_t>(helpers::kMostReaders));
    while (threads_ < count) {
        if (!helpers::StartReader()) return;  // checked first: a reader made would go unused
        // Counted for good unless given back here: the process's bound would shrink.
        struct Slot {
            bool kept = false;
            ~Slot() {
                if (!kept) helpers::ReaderEnded();
            }
        } slot;
        try {
            std::unique_ptr<FileSystem> reader =
                firstReader_ ? std::move(firstReader_) : files_.NewReader();
            if (!reader) return;
            std::thread(&Engine::Work, shared_from_this(), std::move(reader)).detach();
        } catch (const std::system_error&) {
            return;  // as many workers as the system gives
        } catch (const std::bad_alloc&) {
            return;  // the walk reads what this one would have
        }
        slot.kept = true;
        ++threads_;
        ++live_;
        ++idle_;  // until it first looks for work
    }
}

// The first folder not yet read among the next folders the walk will enter: after the
// innermost folder's next sub-folders (each followed by its own sub-folders as far as
// they are known), its parent's, and so on.
std::shared_ptr<ReadAhead::Folder> ReadAhead::Engine::FindWork() {
    if (cancelled_) return nullptr;
    int budget = windowFolders_;
    for (auto it = stack_.rbegin(); it != stack_.rend() && budget > 0; ++it, --budget) {
        if (auto found = Visit(**it, budget)) return found;
    }
    return nullptr;
}

std::shared_ptr<ReadAhead::Folder> ReadAhead::Engine::Visit(Folder& parent, int& budget) {
    if (parent.layer >= levels_) return nullptr;  // its sub-folders won't be entered
    for (size_t k = 0; parent.next + k < parent.subFolders.size(); ++k) {
        if (--budget < 0) return nullptr;
        if (k == parent.started.size())
            parent.started.push_back(
                std::make_shared<Folder>(parent.layer + 1, parent.subFolders[parent.next + k]));
        const std::shared_ptr<Folder>& child = parent.started[k];
        if (child->state == State::Unread) {
            if (heldBytes_ >= kWindowBytes) {
                budget = 0;
                return nullptr;
            }
            child->literal = parent.literal;
            child->literal += parent.names[child->entry].name;
            child->literal += kSeparator;
            return child;
        }
        if (child->state == State::Read) {
            if (auto found = Visit(*child, budget)) return found;
        }
    }
    return nullptr;
}

// A worker's thread. Its reader is closed before the worker counts as ended, so that
// once every worker has ended no folder is held open.
void ReadAhead::Engine::Work(std::shared_ptr<Engine> engine, std::unique_ptr<FileSystem> reader) {
    try {
        engine->ReadFolders(*reader);
    } catch (const std::bad_alloc&) {
        std::lock_guard lock(engine->mutex_);
        --engine->threads_;  // the walk reads the rest itself, or starts another
    }
    reader.reset();
    {
        std::lock_guard lock(engine->mutex_);
        --engine->live_;
    }
    helpers::AddReaderCpuSeconds(helpers::ThreadCpuSeconds());
    helpers::ReaderEnded();
}

// On a local drive a worker whose last window's worth of folders all came from memory
// ends: the walk reads such folders as fast itself, without the hand-over.
void ReadAhead::Engine::ReadFolders(FileSystem& reader) {
    std::unique_lock lock(mutex_);
    --idle_;
    for (int fromMemory = 0;;) {
        std::shared_ptr<Folder> folder = FindWork();
        if (!folder) {
            if (ending_ || cancelled_) return;  // the walk reads the rest itself
            ++idle_;
            work_.wait(lock);
            --idle_;
            continue;
        }
        folder->state = State::Reading;
        lock.unlock();
        const auto start = policy_.now();
        const State state = Read(reader, *folder);
        const auto took = policy_.now() - start;
        lock.lock();
        Finish(*folder, state);
        if (awaited_ == folder.get()) progress_.notify_all();
        WakeWorkers();
        const auto checks =
            std::count(folder->points.begin(), folder->points.end(), PumpPoint::ClockCheck);
        const size_t entries = EntriesSeen(folder->names.Count(), static_cast<size_t>(checks));
        fromMemory = Waited(took, entries) ? 0 : fromMemory + 1;
        if (!*remote_ && fromMemory >= windowFolders_) {
            wanted_ = --threads_;
            return;
        }
    }
}

// With the lock held: what a worker's reading of a folder came to.
void ReadAhead::Engine::Finish(Folder& folder, State state) {
    folder.state = state;
    if (!folder.attached) return;
    if (state == State::Read) {
        Count(folder, folder.names.Bytes());
        ++heldFolders_;
    } else {
        Count(folder, 0);
    }
}

// Workers that found the window full are woken only once half of it has been taken, so
// that on a fast disk they read in bursts rather than waking for every folder.
void ReadAhead::Engine::WakeWorkers() {
    if (idle_ > 0 && !cancelled_ && heldFolders_ <= windowFolders_ / 2) work_.notify_all();
}

// Runs without the lock but for the pump points, which the walk may be waiting for. A
// folder given up or given back keeps no names.
State ReadAhead::Engine::Read(FileSystem& reader, Folder& folder) {
    bool givenBack = false;
    const auto givenUp = [&] { return cancelled_ || folder.abandoned || givenBack; };
    auto state = State::GivenUp;
    try {
        const bool complete =
            EnumerateFolder(reader, folder.literal, settings_, folder.names, [&](PumpPoint p) {
                givenBack = !AddPoint(folder, p);
                return givenUp();
            });
        if (!complete || givenUp()) {
            state = givenBack ? State::GivenBack : State::GivenUp;
        } else if (reader.OwnFailure()) {
            state = State::GivenBack;  // no descriptor or memory left here, say
        } else {
            folder.failure = reader.FolderFailure();
            folder.Predict();
            state = State::Read;
        }
    } catch (const std::bad_alloc&) {
        state = State::GivenBack;
    }
    reader.EndFind();
    if (state != State::Read) folder.names = CollectedNames();
    return state;
}

// False when the names read so far overflow the window and the walk has not taken the
// folder yet: the worker gives it back rather than hold more.
bool ReadAhead::Engine::AddPoint(Folder& folder, PumpPoint point) {
    std::lock_guard lock(mutex_);
    folder.points.push_back(point);
    if (awaited_ == &folder) progress_.notify_all();
    if (!folder.attached) return true;
    Count(folder, folder.names.Bytes());
    return heldBytes_ <= kWindowBytes;
}

}  // namespace tarnwick
