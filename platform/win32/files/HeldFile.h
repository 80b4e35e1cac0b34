#pragma once
// Which of the system's refusals come from another program holding a file for a moment,
// and the tries of a step until it is no longer refused so (platform/HeldFile.h's rule).
#include <windows.h>

#include "platform/HeldFile.h"

namespace tarnwick::win32 {

// Why a call on a file failed, read at once after it: the system's code, and whether the
// refusal passes once the other program lets go.
struct Refusal {
    DWORD code = 0;  // 0: not refused
    bool passes = false;
};

// The refusal of the call that just failed.
Refusal LastRefusal();

// `attempt` (giving a Refusal) until it is not refused, or refused for good, or the time
// is up: its last answer.
template <class Attempt>
Refusal UntilNotHeld(const HeldFileWaits& waits, Attempt attempt) {
    HeldFileRetry retry(waits);
    for (;;) {
        const Refusal r = attempt();
        if (r.code == 0 || !r.passes || !retry.WaitForAnotherTry()) return r;
    }
}

}  // namespace tarnwick::win32
