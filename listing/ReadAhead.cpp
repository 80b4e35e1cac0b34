#include "listing/ReadAhead.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/HelperThreads.h"
#include "platform/Lock.h"

namespace tarnwick {
namespace {

// 64 folders ahead keep a local drive's few workers reading in bursts, close to what the
// walk lists. On a share sixteen workers each wait a round trip of their own while the walk
// takes their folders in its order, so the folders read behind the one it waits for fill
// the window: there it is 256 (a walk 11 times faster than without read-ahead at 64, 14 at
// 256, against 16 for reading the same folders in no order). 16 MB of names bounds the
// memory when the folders ahead are very large (a folder of 10^5 entries holds about 4 MB
// of them), a few per cent of a large listing. Names are counted as they are read, so the
// most held at once is the window and what each worker reads between two pump points.
constexpr int kWindowFolders = 64;
constexpr int kShareWindowFolders = 256;
constexpr size_t kWindowBytes = size_t{16} << 20;
// Reading a folder on a network share waits on round trips rather than on the processor:
// while the walk waits for a worker longer than a local folder takes, workers are added up
// to this many.
constexpr size_t kMostThreads = helpers::kMostReaders;
constexpr auto kLongWait = std::chrono::milliseconds(1);
// A folder read in less time costs too little for another thread to gain by reading it: a
// hand-over costs a few microseconds, and a warm local folder takes 20 to 120 here (on a
// busy machine too), where a disk that seeks, a share, or Wine's server take 230 and more.
constexpr auto kSlowRead = std::chrono::microseconds(150);
// A worker idle this long ends, while others remain.
constexpr auto kIdleEnd = std::chrono::milliseconds(500);

std::atomic<size_t> peakHeldBytes = 0;

// How many processors were idle between two readings of the machine's times.
double IdleProcessors(const helpers::ProcessorTimes& before, const helpers::ProcessorTimes& after,
                      unsigned processors) {
    const double idle = static_cast<double>(after.idle - before.idle) /
                        static_cast<double>(after.total - before.total);
    return idle * processors;
}

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
    size_t played = 0;       // points the walk has played back
    bool attached = true;    // still a sub-folder in the tree, not taken nor dropped
    bool waitedFor = false;  // the walk had to wait for its worker
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

    std::shared_ptr<Folder> Take(size_t entry);
    PumpPoint Next(Folder& folder);
    const CollectedNames& Enter(int32_t layer, TextView literal, CollectedNames names);
    const CollectedNames& Push(std::shared_ptr<Folder> folder);
    void Leave();
    void SetLevels(int32_t levels);
    bool Cancel();
    void End();

  private:
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
    void LearnDrive(const Folder& top);
    size_t WorkersWanted();
    void Grow();
    bool ProcessorIdle();
    struct Look {
        helpers::ProcessorTimes times;
        std::chrono::steady_clock::time_point at;
    };
    std::optional<double> IdleSince(std::optional<Look>& since);
    void Weigh();
    void CancelLocked();

    FileSystem& files_;
    const EnumerationSettings settings_;
    const ReadAheadPolicy policy_;
    std::unique_ptr<FileSystem> firstReader_;
    std::optional<bool> remote_;    // the drive's kind, learnt from the first folder
    size_t shareFirstThreads_ = 0;  // a network drive's workers from its first folder on
    size_t mostThreads_ = 1;
    int windowFolders_ = kWindowFolders;
    // The folders taken from workers and those the walk waited for, in all and when last
    // weighed, and when that was.
    uint64_t taken_ = 0;
    uint64_t walkWaits_ = 0;
    uint64_t takenWeighed_ = 0;
    uint64_t walkWaitsWeighed_ = 0;
    // The folders workers have read, and the time they took, in all and when last weighed.
    uint64_t read_ = 0;
    std::chrono::steady_clock::duration readTime_{};
    uint64_t readWeighed_ = 0;
    std::chrono::steady_clock::duration readTimeWeighed_{};
    std::chrono::steady_clock::time_point weighed_ =
        std::chrono::steady_clock::now() - policy_.weighEvery * 9 / 10;
    // The machine's processor times when idleness was last judged, to add a worker and to
    // weigh reading ahead; and the last judgement to add one.
    std::optional<Look> growLook_, weighLook_;
    bool idleProcessor_ = true;

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
    Weigh();
    if (cancelled_) return nullptr;
    if (threads_ == 0 && !*remote_) StartWorkers(WorkersWanted());  // once a processor is idle
    if (top.started.empty()) {
        // The walk got past every folder started: workers asleep on a window they found
        // full (of folders further on) look again from here, or the walk would go on
        // reading every folder itself until it took half of those. Not while the names
        // held fill the window: they would find nothing to read.
        if (idle_ > 0 && heldBytes_ < kWindowBytes) work_.notify_all();
        return nullptr;
    }
    std::shared_ptr<Folder> folder = top.PopStarted();
    folder->attached = false;  // with what is read below it, which the walk goes on to
    Count(*folder, 0);
    if (folder->state == State::Read) --heldFolders_;
    WakeWorkers();  // the window moved on
    if (folder->state == State::Unread || folder->state == State::GivenBack ||
        folder->entry != entry)
        return nullptr;
    ++taken_;
    return folder;
}

PumpPoint ReadAhead::Engine::Next(Folder& folder) {
    std::unique_lock lock(mutex_);
    const auto stalled = std::chrono::steady_clock::now() + policy_.stall;
    for (;;) {
        if (folder.played < folder.points.size()) return folder.points[folder.played++];
        if (folder.state == State::Read) return PumpPoint::End;
        if (folder.state == State::GivenBack || folder.state == State::GivenUp)
            return PumpPoint::GivenBack;
        if (policy_.stall.count() != 0 && std::chrono::steady_clock::now() >= stalled)
            return PumpPoint::Waiting;  // the window answers while a worker is held up
        awaited_ = &folder;
        const size_t points = folder.points.size();
        const bool timedOut = progress_.wait_for(lock, kLongWait) == std::cv_status::timeout;
        awaited_ = nullptr;  // before Grow, which may throw
        if (timedOut && idle_ == 0 && folder.points.size() == points &&
            folder.state == State::Reading) {
            if (!std::exchange(folder.waitedFor, true)) ++walkWaits_;
            Grow();
        }
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
    if (!remote_) LearnDrive(top);
    if (!cancelled_ && !top.subFolders.empty() && top.layer < levels_)
        StartWorkers(WorkersWanted());
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
// before: a weighing may have ended it a moment before the walk ran short of descriptors.
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

// With the lock held, at the walk's first folder.
void ReadAhead::Engine::LearnDrive(const Folder& top) {
    remote_ = files_.IsRemote(top.literal);
    const size_t processors = std::max(1u, policy_.processors);
    mostThreads_ = *remote_ ? kMostThreads : std::min(processors, kMostThreads);
    if (*remote_) {
        shareFirstThreads_ = std::clamp<size_t>(processors, 2, kMostThreads);
        windowFolders_ = kShareWindowFolders;
        return;
    }
    // Idle time counts from now. A worker is added once an idle processor has shown, but as
    // without the rule where the system doesn't tell.
    const auto times = policy_.processorTimes();
    idleProcessor_ = !times;
    if (times) growLook_ = weighLook_ = Look{*times, std::chrono::steady_clock::now()};
}

// With the lock held, as the walk enters a folder with sub-folders or takes one. On a
// local drive the first worker waits for a processor seen idle: on a busy machine it only
// takes the processor from the walk (under Wine beside busy loops, walks that started one
// ran at half speed about twice as often). Not where reading ahead is never weighed: there
// it reads from the start.
size_t ReadAhead::Engine::WorkersWanted() {
    if (*remote_) return std::max(threads_, shareFirstThreads_);
    if (threads_ != 0) return threads_;
    if (policy_.weighEvery.count() == 0) return 1;
    if (!ProcessorIdle()) return 0;
    // Weighed a moment after it starts, as it would be from the walk's start; another is
    // added only once a processor shows idle beside it, where the system tells.
    weighed_ = std::chrono::steady_clock::now() - policy_.weighEvery * 9 / 10;
    if (growLook_) idleProcessor_ = false;
    return 1;
}

// With the lock held: the walk waited for a worker while none was idle. On a share the
// waits are round trips, so the workers double, to the sixteen that keep it busy within a
// few waits; on a local drive one is added, and only while a processor is idle.
void ReadAhead::Engine::Grow() {
    if (threads_ >= mostThreads_) return;
    if (*remote_) return StartWorkers(std::max<size_t>(threads_ * 2, 1));
    if (!ProcessorIdle()) return;
    StartWorkers(threads_ + 1);
}

// Whether half a processor or more was idle when last judged: a worker added must find one.
bool ReadAhead::Engine::ProcessorIdle() {
    if (const auto idle = IdleSince(growLook_)) idleProcessor_ = *idle >= 0.5;
    return idleProcessor_;
}

// How many processors were idle since `since`, which moves on to now. The counters move a
// clock tick (10 to 16 ms) at a time, and over a few ticks the share of idle time is mostly
// their rounding: so nothing is told over less than half a weighing, nor where the system
// doesn't tell.
std::optional<double> ReadAhead::Engine::IdleSince(std::optional<Look>& since) {
    const auto now = std::chrono::steady_clock::now();
    if (since && now - since->at < policy_.weighEvery / 2) return std::nullopt;
    const auto times = policy_.processorTimes();
    if (!times) return std::nullopt;
    const auto before = std::exchange(since, Look{*times, now});
    if (!before || times->total <= before->times.total) return std::nullopt;
    return IdleProcessors(before->times, *times, policy_.processors);
}

// With the lock held, as the walk enters a folder: on a local drive, reading ahead ends
// when the processors were busy since the last weighing (less than a quarter of one idle):
// a worker then only takes the processor from the walk, and the walk's waits for it are
// the processor's rather than the disk's. It also ends when the walk has hardly waited
// long for it (for fewer than one folder in ten) while a folder took little to read:
// reading them on another thread then only costs the hand-over. Folders slow to read keep
// the workers, also when each wait is short: the walk then spends its time waiting for
// them, a little at a time.
void ReadAhead::Engine::Weigh() {
    if (!remote_ || *remote_ || cancelled_ || policy_.weighEvery.count() == 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - weighed_ < policy_.weighEvery) return;
    weighed_ = now;
    const uint64_t taken = taken_ - std::exchange(takenWeighed_, taken_);
    const uint64_t waited = walkWaits_ - std::exchange(walkWaitsWeighed_, walkWaits_);
    const uint64_t read = read_ - std::exchange(readWeighed_, read_);
    const auto readTime = readTime_ - std::exchange(readTimeWeighed_, readTime_);
    const std::optional<double> idle = IdleSince(weighLook_);
    const bool busy = idle && *idle < 0.25;
    const bool slowFolders = readTime >= read * kSlowRead;
    if (busy || (waited * 10 < taken && !slowFolders)) CancelLocked();
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
    count = std::min(count, kMostThreads);
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

void ReadAhead::Engine::ReadFolders(FileSystem& reader) {
    std::unique_lock lock(mutex_);
    --idle_;
    for (;;) {
        std::shared_ptr<Folder> folder = FindWork();
        if (!folder) {
            if (ending_ || cancelled_) return;  // the walk reads the rest itself
            ++idle_;
            const bool woken = work_.wait_for(lock, kIdleEnd) == std::cv_status::no_timeout;
            --idle_;
            if (!woken && threads_ > 1 && !awaited_) {
                --threads_;  // more workers than the walk needs
                return;
            }
            continue;
        }
        folder->state = State::Reading;
        lock.unlock();
        const auto start = std::chrono::steady_clock::now();
        const State state = Read(reader, *folder);
        const auto took = std::chrono::steady_clock::now() - start;
        lock.lock();
        readTime_ += took;
        ++read_;
        Finish(*folder, state);
        if (awaited_ == folder.get()) progress_.notify_all();
        WakeWorkers();
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
