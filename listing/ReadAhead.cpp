#include "listing/ReadAhead.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <system_error>

namespace tarnwick {
namespace {

// 64 folders ahead keep the most workers (16) busy four times over, so that a worker that
// finishes always finds a next folder, while what is read stays close to what the walk
// lists; 16 MB of names bounds the memory when the folders ahead are very large (a folder
// of 10^5 entries holds about 4 MB of them), a few per cent of a large listing.
constexpr int kWindowFolders = 64;
constexpr size_t kWindowBytes = size_t{16} << 20;
// Reading a folder on a network share waits on round trips rather than on the processor:
// while the walk waits for a worker longer than a local folder takes, workers are added up
// to this many.
constexpr size_t kMostThreads = 16;
constexpr auto kLongWait = std::chrono::milliseconds(1);

}  // namespace

class ReadAhead::Folder {
  public:
    Folder(int32_t inLayer, uint32_t number) : layer(inLayer), entry(number) {}

    const int32_t layer;
    const uint32_t entry;  // its number among its parent's names
    State state = State::Unread;
    Text literal;  // ending in the separator; set when it is started
    CollectedNames names;
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

    void Predict() {
        for (size_t i = 0; i < names.Count(); ++i) {
            const auto a = names[i].attributes;
            if (a && (*a & attr::Folder) && !(*a & attr::Link))
                subFolders.push_back(static_cast<uint32_t>(i));
        }
    }
};

ReadAhead::ReadAhead(FileSystem& files, const EnumerationSettings& settings, int32_t levels)
    : files_(files),
      settings_(settings),
      firstReader_(files.NewReader()),
      initialThreads_(std::clamp<size_t>(std::thread::hardware_concurrency(), 2, kMostThreads)),
      levels_(levels) {}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        ending_ = true;
        DropAll();
    }
    work_.notify_all();
    for (std::thread& t : threads_) t.join();
}

std::shared_ptr<ReadAhead::Folder> ReadAhead::Take(size_t entry) {
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
    if (top.started.empty()) return nullptr;
    std::shared_ptr<Folder> folder = top.PopStarted();
    folder->attached = false;  // with what is read below it, which the walk goes on to
    if (folder->state == State::Read) Held(*folder, -1);
    WakeWorkers();  // the window moved on
    if (folder->state == State::Unread || folder->entry != entry) return nullptr;
    return folder;
}

PumpPoint ReadAhead::Next(Folder& folder) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (folder.played < folder.points.size()) return folder.points[folder.played++];
        if (folder.state == State::Read) return PumpPoint::End;
        if (folder.state == State::OutOfMemory) throw std::bad_alloc();
        walkWaiting_ = true;
        const size_t points = folder.points.size();
        if (progress_.wait_for(lock, kLongWait) == std::cv_status::timeout && idle_ == 0 &&
            folder.points.size() == points && folder.state == State::Reading)
            StartWorkers(threads_.size() + 1);
        walkWaiting_ = false;
    }
}

const CollectedNames& ReadAhead::Names(const Folder& folder) {
    return folder.names;
}

const CollectedNames& ReadAhead::Enter(std::shared_ptr<Folder> folder) {
    return Push(std::move(folder));
}

const CollectedNames& ReadAhead::Enter(int32_t layer, TextView literal, CollectedNames names) {
    auto folder = std::make_shared<Folder>(layer, 0);
    folder->literal.assign(literal);
    folder->names = std::move(names);
    folder->state = State::Read;
    folder->attached = false;
    if (firstReader_ || !threads_.empty()) folder->Predict();
    return Push(std::move(folder));
}

const CollectedNames& ReadAhead::Push(std::shared_ptr<Folder> folder) {
    std::lock_guard lock(mutex_);
    stack_.push_back(std::move(folder));
    const Folder& top = *stack_.back();
    if (!cancelled_ && !top.subFolders.empty() && top.layer < levels_)
        StartWorkers(std::max(threads_.size(), initialThreads_));
    WakeWorkers();
    return top.names;
}

void ReadAhead::Leave() {
    std::lock_guard lock(mutex_);
    Folder& top = *stack_.back();
    for (auto& f : top.started) Drop(*f);
    stack_.pop_back();
    WakeWorkers();
}

void ReadAhead::SetLevels(int32_t levels) {
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
void ReadAhead::Prune(Folder& folder) {
    if (folder.layer >= levels_) {
        for (auto& f : folder.started) Drop(*f);
        folder.started.clear();
        return;
    }
    for (auto& f : folder.started) {
        if (f->state == State::Read) Prune(*f);
    }
}

void ReadAhead::Cancel() {
    std::unique_lock lock(mutex_);
    if (cancelled_) return;
    cancelled_ = true;
    DropAll();
    work_.notify_all();
    walkWaiting_ = true;
    progress_.wait(lock, [this] { return reading_ == 0; });
    walkWaiting_ = false;
}

void ReadAhead::DropAll() {
    for (auto& f : stack_) {
        for (auto& s : f->started) Drop(*s);
        f->started.clear();
        f->subFolders.clear();
        f->next = 0;
    }
}

// A folder the walk will not enter leaves the tree with everything read below it; a
// worker still reading one gives it up.
void ReadAhead::Drop(Folder& folder) {
    folder.abandoned = true;
    if (!folder.attached) return;
    folder.attached = false;
    if (folder.state == State::Read) Held(folder, -1);
    for (auto& f : folder.started) Drop(*f);
    folder.started.clear();
}

void ReadAhead::StartWorkers(size_t count) {
    count = std::min(count, kMostThreads);
    while (threads_.size() < count) {
        std::unique_ptr<FileSystem> reader =
            firstReader_ ? std::move(firstReader_) : files_.NewReader();
        if (!reader) return;
        try {
            threads_.emplace_back(&ReadAhead::Work, this, std::move(reader));
        } catch (const std::system_error&) {
            return;  // as many workers as the system gives
        }
        ++idle_;  // until it first looks for work
    }
}

// The first folder not yet read among the next folders the walk will enter: after the
// innermost folder's next sub-folders (each followed by its own sub-folders as far as
// they are known), its parent's, and so on.
std::shared_ptr<ReadAhead::Folder> ReadAhead::FindWork() {
    if (cancelled_) return nullptr;
    int budget = kWindowFolders;
    for (auto it = stack_.rbegin(); it != stack_.rend() && budget > 0; ++it, --budget) {
        if (auto found = Visit(**it, budget)) return found;
    }
    return nullptr;
}

std::shared_ptr<ReadAhead::Folder> ReadAhead::Visit(Folder& parent, int& budget) {
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

void ReadAhead::Work(std::unique_ptr<FileSystem> reader) {
    std::unique_lock lock(mutex_);
    --idle_;
    for (;;) {
        std::shared_ptr<Folder> folder = FindWork();
        if (!folder) {
            if (ending_) return;
            ++idle_;
            work_.wait(lock);
            --idle_;
            continue;
        }
        folder->state = State::Reading;
        ++reading_;
        lock.unlock();
        const State state = Read(*reader, *folder);
        lock.lock();
        --reading_;
        folder->state = state;
        if (folder->state == State::Read && folder->attached) Held(*folder, 1);
        if (walkWaiting_) progress_.notify_all();
        WakeWorkers();
    }
}

// Workers that found the window full are woken only once half of it has been taken, so
// that on a fast disk they read in bursts rather than waking for every folder.
void ReadAhead::WakeWorkers() {
    if (idle_ > 0 && heldFolders_ <= kWindowFolders / 2) work_.notify_all();
}

void ReadAhead::Held(const Folder& folder, int sign) {
    const size_t bytes = folder.names.Bytes();
    heldBytes_ = sign > 0 ? heldBytes_ + bytes : heldBytes_ - bytes;
    heldFolders_ += sign;
}

// Runs without the lock but for the pump points, which the walk may be waiting for.
ReadAhead::State ReadAhead::Read(FileSystem& reader, Folder& folder) {
    const auto givenUp = [&] { return cancelled_ || folder.abandoned; };
    auto state = State::GivenUp;
    try {
        const bool complete =
            EnumerateFolder(reader, folder.literal, settings_, folder.names, [&](PumpPoint p) {
                AddPoint(folder, p);
                return givenUp();
            });
        if (complete && !givenUp()) {
            folder.Predict();
            state = State::Read;
        }
    } catch (const std::bad_alloc&) {
        state = State::OutOfMemory;
    }
    reader.EndFind();
    return state;
}

void ReadAhead::AddPoint(Folder& folder, PumpPoint point) {
    std::lock_guard lock(mutex_);
    folder.points.push_back(point);
    if (walkWaiting_) progress_.notify_all();
}

}  // namespace tarnwick
