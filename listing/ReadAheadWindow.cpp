// The folders read ahead and their window: which folder a worker reads next, in the walk's
// order and within the window; what the walk's enumeration would give, recorded; and what
// is dropped when the walk will not enter it.
#include <new>
#include <system_error>
#include <thread>

#include "listing/HelperThreads.h"
#include "listing/ReadAheadEngine.h"

namespace tarnwick {
namespace {

std::atomic<size_t> peakHeldBytes = 0;

}  // namespace

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

size_t ReadAhead::PeakHeldBytes() {
    return peakHeldBytes;
}

void ReadAhead::ResetPeakHeldBytes() {
    peakHeldBytes = 0;
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

// A worker reads the next folder the walk will enter until there is none, or it ends.
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
        const auto waits = policy_.waits();
        const State state = Read(reader, *folder);
        const auto took = policy_.now() - start;
        const bool fromDevice = FromDevice(took, waits, *folder);
        lock.lock();
        folder->fromDevice = fromDevice;
        Finish(*folder, state);
        if (awaited_ == folder.get()) progress_.notify_all();
        WakeWorkers();
        if (Ends(fromMemory, *folder)) return;
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
    std::unique_lock lock(mutex_, std::defer_lock);
    if (!lock.try_lock()) {  // a wait for the walk, not the disk
        const auto start = policy_.now();
        const auto before = policy_.waits();
        lock.lock();
        folder.lockWaits += WaitsSince(before).value_or(0);
        folder.lockTime += policy_.now() - start;
    }
    folder.points.push_back(point);
    if (awaited_ == &folder) progress_.notify_all();
    if (!folder.attached) return true;
    Count(folder, folder.names.Bytes());
    return heldBytes_ <= kWindowBytes;
}

}  // namespace tarnwick
