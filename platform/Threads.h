#pragma once
// What the program's helper threads need of the system: the bound on folder openers left
// in an open that does not return (a hung network share), and a thread's processor time and
// waits.
#include <cstdint>
#include <functional>
#include <optional>

namespace tarnwick::helpers {

// Openers left opening a folder that was given up: four cover a user's repeated stops on
// a hung share until the system gives the first call up (about a minute for a dead SMB
// server). Past that a new opener waits for one of them to end, while the window answers.
inline constexpr int kMostLeftOpening = 4;

void LeftOpening();       // an opener is left to end by itself
void LeftOpeningEnded();  // and has ended
int LeftOpeningCount();
// Waits until fewer than kMostLeftOpening openers are left opening, running `waiting`
// every `sliceMs`; false when `waiting` gave up.
bool WaitForOpenerRoom(const std::function<bool()>& waiting, int sliceMs);
// Waits until every opener left opening has ended (tests, before their file systems go).
void WaitUntilOpenersEnded();

// The processor time the calling thread has used.
double ThreadCpuSeconds();
// How many times the calling thread has given up its processor to wait (on a disk, say),
// as against being pre-empted by another thread; none where the system does not count it
// for a thread (Windows).
std::optional<uint64_t> ThreadWaits();

}  // namespace tarnwick::helpers
