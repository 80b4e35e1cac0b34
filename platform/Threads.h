#pragma once
// What the program's helper threads need of the system: the bound on folder openers left
// in an open that does not return (a hung network share), and a thread's processor time.
#include <functional>

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

}  // namespace tarnwick::helpers
