#include "platform/win32/FolderOpener.h"

#include "platform/win32/Wide.h"

namespace tarnwick::win32 {

// One request at a time. The lock guards every member; the worker opens without it.
struct FolderOpener::Shared {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    Text pattern;
    bool requested = false;  // a pattern waits for the worker
    bool busy = false;       // the worker is opening it
    bool answered = false;   // `handle` and `data` hold the answer
    bool givenUp = false;    // nobody waits for the answer: the worker closes it
    bool quit = false;
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data{};
};

namespace {

HANDLE FindFirst(const Text& pattern, WIN32_FIND_DATAW& data) {
    return FindFirstFileExW(W(pattern), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                            FIND_FIRST_EX_LARGE_FETCH);
}

}  // namespace

FolderOpener::~FolderOpener() {
    if (!shared_) return;
    AcquireSRWLockExclusive(&shared_->lock);
    shared_->quit = true;
    WakeAllConditionVariable(&shared_->changed);
    ReleaseSRWLockExclusive(&shared_->lock);
}

bool FolderOpener::Start() {
    if (shared_) return true;
    auto shared = std::make_shared<Shared>();
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
        const Text pattern = s.pattern;
        ReleaseSRWLockExclusive(&s.lock);
        WIN32_FIND_DATAW data;
        const HANDLE h = FindFirst(pattern, data);
        AcquireSRWLockExclusive(&s.lock);
        s.busy = false;
        if (s.givenUp) {
            if (h != INVALID_HANDLE_VALUE) FindClose(h);
        } else {
            s.handle = h;
            s.data = data;
            s.answered = true;
        }
        WakeAllConditionVariable(&s.changed);
    }
    ReleaseSRWLockExclusive(&s.lock);
    return 0;
}

HANDLE FolderOpener::Open(const Text& pattern, WIN32_FIND_DATAW& data,
                          const FileSystem::Waiting& waiting) {
    if (!waiting || !Start()) return FindFirst(pattern, data);
    Shared& s = *shared_;
    AcquireSRWLockExclusive(&s.lock);
    // Waits a slice for `ready`; between slices the caller's `waiting` runs unlocked.
    auto waitFor = [&](auto ready) {
        while (!ready()) {
            if (SleepConditionVariableSRW(&s.changed, &s.lock, sliceMs_, 0)) continue;
            ReleaseSRWLockExclusive(&s.lock);
            const bool giveUp = waiting();
            AcquireSRWLockExclusive(&s.lock);
            if (giveUp) return false;
        }
        return true;
    };
    // A folder given up earlier may still be opening.
    if (!waitFor([&] { return !s.busy && !s.requested; })) {
        ReleaseSRWLockExclusive(&s.lock);
        return INVALID_HANDLE_VALUE;
    }
    s.pattern = pattern;
    s.requested = true;
    s.answered = false;
    s.givenUp = false;
    WakeAllConditionVariable(&s.changed);
    const bool answered = waitFor([&] { return s.answered; });
    HANDLE h = INVALID_HANDLE_VALUE;
    if (answered) {
        h = s.handle;
        data = s.data;
        s.answered = false;
    } else {
        s.givenUp = true;
        if (s.answered) {  // it came while `waiting` ran: closed here, not by the worker
            if (s.handle != INVALID_HANDLE_VALUE) FindClose(s.handle);
            s.answered = false;
        }
    }
    ReleaseSRWLockExclusive(&s.lock);
    return h;
}

}  // namespace tarnwick::win32
