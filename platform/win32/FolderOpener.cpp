#include "platform/win32/FolderOpener.h"

#include "platform/win32/Wide.h"

namespace tarnwick::win32 {

// One request at a time. The lock guards every member; the worker opens without it.
struct FolderOpener::Shared {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    OpenFunction open;
    Hooks hooks;
    Text pattern;
    bool requested = false;  // a pattern waits for the worker
    bool busy = false;       // the worker is opening it
    bool answered = false;   // `handle` and `data` hold the answer
    bool quit = false;       // nobody will ask again: the worker closes what it opens, and ends
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data{};
};

HANDLE FolderOpener::FindFirst(const Text& pattern, WIN32_FIND_DATAW& data) {
    return FindFirstFileExW(W(pattern), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                            FIND_FIRST_EX_LARGE_FETCH);
}

namespace {

void Close(const FolderOpener::Hooks& hooks, HANDLE h) {
    if (h == INVALID_HANDLE_VALUE) return;
    if (hooks.close) {
        hooks.close(h);
    } else {
        FindClose(h);
    }
}

}  // namespace

bool FolderOpener::Start() {
    if (shared_) return true;
    auto shared = std::make_shared<Shared>();
    shared->open = open_;
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
        Text pattern;
        pattern.swap(s.pattern);  // nothing under the lock may throw
        ReleaseSRWLockExclusive(&s.lock);
        WIN32_FIND_DATAW data;
        const HANDLE h = s.open(pattern, data);
        AcquireSRWLockExclusive(&s.lock);
        s.busy = false;
        if (s.quit) {
            Close(s.hooks, h);
        } else {
            s.handle = h;
            s.data = data;
            s.answered = true;
        }
        WakeAllConditionVariable(&s.changed);
        if (s.hooks.handled) s.hooks.handled();
    }
    if (s.answered) Close(s.hooks, s.handle);  // nobody will take it now
    s.answered = false;
    ReleaseSRWLockExclusive(&s.lock);
    if (s.hooks.ended) s.hooks.ended();
    return 0;
}

// Called with the lock held, and releases it: forgets the folder asked for. One that has
// come is closed here; one not yet begun is withdrawn; one still opening (a hung network
// share, say) is left to its worker, which is retired so the next folder need not wait.
// It is retired before the lock goes: an answer coming just after would be kept for nobody.
void FolderOpener::GiveUp() {
    Shared& s = *shared_;
    if (s.answered) Close(s.hooks, s.handle);
    s.answered = false;
    s.requested = false;
    const bool stillOpening = s.busy;
    if (stillOpening) Quit(s);
    ReleaseSRWLockExclusive(&s.lock);
    if (!stillOpening) return;
    if (s.hooks.gaveUp) s.hooks.gaveUp();
    shared_.reset();
}

// With the lock held, waits a slice at a time until `ready`; between slices the caller's
// `waiting` runs without the lock. False when it gave up; the lock is held on leaving,
// also when `waiting` throws.
template <typename Ready>
bool FolderOpener::WaitFor(const FileSystem::Waiting& waiting, Ready ready) {
    Shared& s = *shared_;
    while (!ready()) {
        if (SleepConditionVariableSRW(&s.changed, &s.lock, sliceMs_, 0)) continue;
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
    }
    return true;
}

HANDLE FolderOpener::Open(Text pattern, WIN32_FIND_DATAW& data,
                          const FileSystem::Waiting& waiting) {
    if (!waiting || !Start()) return open_(pattern, data);
    const std::shared_ptr<Shared> keep = shared_;  // a retired worker's state outlives it
    Shared& s = *keep;
    AcquireSRWLockExclusive(&s.lock);
    s.pattern.swap(pattern);  // nothing under the lock may throw
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
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE h = s.handle;
    data = s.data;
    s.answered = false;
    ReleaseSRWLockExclusive(&s.lock);
    return h;
}

}  // namespace tarnwick::win32
