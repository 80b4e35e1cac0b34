#include "platform/win32/SlimLock.h"

#include <windows.h>

namespace tarnwick::win32 {
namespace {

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*));

SRWLOCK* Srw(void*& p) {
    return reinterpret_cast<SRWLOCK*>(&p);
}
CONDITION_VARIABLE* Cv(void*& p) {
    return reinterpret_cast<CONDITION_VARIABLE*>(&p);
}

}  // namespace

void SlimMutex::lock() {
    AcquireSRWLockExclusive(Srw(lock_));
}
bool SlimMutex::try_lock() {
    return TryAcquireSRWLockExclusive(Srw(lock_)) != 0;
}
void SlimMutex::unlock() {
    ReleaseSRWLockExclusive(Srw(lock_));
}

void SlimCondition::notify_one() {
    WakeConditionVariable(Cv(condition_));
}
void SlimCondition::notify_all() {
    WakeAllConditionVariable(Cv(condition_));
}

bool SlimCondition::Sleep(std::unique_lock<SlimMutex>& lock, unsigned long ms) {
    return SleepConditionVariableSRW(Cv(condition_), Srw(lock.mutex()->lock_), ms, 0) != 0;
}

}  // namespace tarnwick::win32
