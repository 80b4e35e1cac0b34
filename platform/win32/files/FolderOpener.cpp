#include "platform/win32/files/FolderOpener.h"

#include <chrono>
#include <utility>

#include "platform/Threads.h"
#include "platform/win32/Wide.h"

namespace tarnwick::win32 {

// One request at a time. The lock guards every member; the worker opens without it.
struct FolderOpener::Shared {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    Hooks hooks;
    std::unique_ptr<Job> job;  // the one asked for, then (answered) the one opened
    bool requested = false;    // `job` waits for the worker
    bool busy = false;         // the worker is opening it
    bool answered = false;     // `job` has opened
    bool quit = false;         // nobody will ask again: the worker closes what it opens, and ends
    bool leftOpening = false;  // given up while opening: counted until the worker ends
};

HANDLE FolderOpener::FindFirst(const Text& pattern, WIN32_FIND_DATAW& data) {
    return FindFirstFileExW(W(pattern), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                            FIND_FIRST_EX_LARGE_FETCH);
}

namespace {

// FindFirstFileExW as a job; what it opened and nobody took goes to the `close` hook.
class FindJob : public FolderOpener::Job {
  public:
    FindJob(Text pattern, FolderOpener::OpenFunction open, std::function<void(HANDLE)> close)
        : pattern_(std::move(pattern)), open_(std::move(open)), close_(std::move(close)) {}
    ~FindJob() override {
        if (handle_ == INVALID_HANDLE_VALUE) return;
        close_ ? close_(handle_) : static_cast<void>(FindClose(handle_));
    }
    void Open() override { handle_ = open_(pattern_, data_); }
    HANDLE Take(WIN32_FIND_DATAW& data) {
        data = data_;
        return std::exchange(handle_, INVALID_HANDLE_VALUE);
    }

  private:
    Text pattern_;
    FolderOpener::OpenFunction open_;
    std::function<void(HANDLE)> close_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data_{};
};

}  // namespace

bool FolderOpener::Start() {
    if (shared_) return true;
    auto shared = std::make_shared<Shared>();
    shared->hooks = hooks_;
    auto* held = new std::shared_ptr<Shared>(shared);  // the worker's own reference
    const HANDLE thread = CreateThread(nullptr, 0, Work, held, 0, nullptr);
    if (!thread) {
        delete held;
        return false;
    }
    CloseHandle(thread);
    shared_ = std::move(shared);
    return true;
}

// With the lock held: the worker ends once it has closed what it may be opening.
void FolderOpener::Quit(Shared& s) {
    s.quit = true;
    WakeAllConditionVariable(&s.changed);
}

void FolderOpener::Retire() {
    if (!shared_) return;
    AcquireSRWLockExclusive(&shared_->lock);
    Quit(*shared_);
    ReleaseSRWLockExclusive(&shared_->lock);
    shared_.reset();
}

DWORD WINAPI FolderOpener::Work(void* param) {
    const std::unique_ptr<std::shared_ptr<Shared>> held(
        static_cast<std::shared_ptr<Shared>*>(param));
    Shared& s = **held;
    AcquireSRWLockExclusive(&s.lock);
    for (;;) {
        while (!s.requested && !s.quit) SleepConditionVariableSRW(&s.changed, &s.lock, INFINITE, 0);
        if (s.quit) break;
        s.requested = false;
        s.busy = true;
        std::unique_ptr<Job> job = std::move(s.job);
        ReleaseSRWLockExclusive(&s.lock);
        job->Open();
        AcquireSRWLockExclusive(&s.lock);
        s.busy = false;
        if (s.quit) {
            job.reset();
        } else {
            s.job = std::move(job);
            s.answered = true;
        }
        WakeAllConditionVariable(&s.changed);
        if (s.hooks.handled) s.hooks.handled();
    }
    s.job.reset();  // nobody will take it now
    s.answered = false;
    const bool leftOpening = s.leftOpening;
    ReleaseSRWLockExclusive(&s.lock);
    if (leftOpening) helpers::LeftOpeningEnded();
    if (s.hooks.ended) s.hooks.ended();
    return 0;
}

// Called with the lock held, and releases it: forgets the folder asked for. One that has
// come is closed here; one not yet begun is withdrawn; one still opening (a hung network
// share, say) is left to its worker, which is retired so the next folder need not wait.
// It is retired before the lock goes: an answer coming just after would be kept for nobody.
void FolderOpener::GiveUp() {
    Shared& s = *shared_;
    s.job.reset();
    s.answered = false;
    s.requested = false;
    const bool stillOpening = s.busy;
    if (stillOpening) {
        Quit(s);
        s.leftOpening = true;
        helpers::LeftOpening();
    }
    ReleaseSRWLockExclusive(&s.lock);
    if (!stillOpening) return;
    if (s.hooks.gaveUp) s.hooks.gaveUp();
    shared_.reset();
}

// With the lock held, waits a slice at a time until `ready`; between slices the caller's
// `waiting` runs without the lock. The slice is judged by the clock, not by how the timed
// wait ended: Windows ends it at a timer tick, and a wake for another folder must not put
// the pump off. False when it gave up; the lock is held on leaving, also when `waiting`
// throws.
template <typename Ready>
bool FolderOpener::WaitFor(const FileSystem::Waiting& waiting, Ready ready) {
    using Clock = std::chrono::steady_clock;
    Shared& s = *shared_;
    const auto slice = std::chrono::milliseconds(sliceMs_);
    auto due = Clock::now() + slice;
    while (!ready()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
        if (left.count() > 0) {
            SleepConditionVariableSRW(&s.changed, &s.lock, static_cast<DWORD>(left.count()), 0);
            continue;
        }
        ReleaseSRWLockExclusive(&s.lock);
        bool giveUp = true;
        try {
            giveUp = waiting();
        } catch (...) {
            AcquireSRWLockExclusive(&s.lock);
            throw;
        }
        AcquireSRWLockExclusive(&s.lock);
        if (giveUp) return false;
        due = Clock::now() + slice;
    }
    return true;
}

std::unique_ptr<FolderOpener::Job> FolderOpener::Run(std::unique_ptr<Job> job,
                                                     const FileSystem::Waiting& waiting) {
    // Openers left opening are bounded: a new one waits for room, as for a slow folder.
    if (waiting && !shared_ && !helpers::WaitForOpenerRoom(waiting, static_cast<int>(sliceMs_)))
        return nullptr;
    if (!waiting || !Start()) {
        job->Open();
        return job;
    }
    const std::shared_ptr<Shared> keep = shared_;  // a retired worker's state outlives it
    Shared& s = *keep;
    AcquireSRWLockExclusive(&s.lock);
    s.job = std::move(job);
    s.requested = true;
    WakeAllConditionVariable(&s.changed);
    bool answered = false;
    try {
        answered = WaitFor(waiting, [&] { return s.answered; });
    } catch (...) {
        GiveUp();
        throw;
    }
    if (!answered) {
        GiveUp();
        return nullptr;
    }
    job = std::move(s.job);
    s.answered = false;
    ReleaseSRWLockExclusive(&s.lock);
    return job;
}

HANDLE FolderOpener::Open(Text pattern, WIN32_FIND_DATAW& data,
                          const FileSystem::Waiting& waiting) {
    auto job = Run(std::make_unique<FindJob>(std::move(pattern), open_, hooks_.close), waiting);
    return job ? job->Take(data) : INVALID_HANDLE_VALUE;
}

}  // namespace tarnwick::win32
