#pragma once
// The threads of this process, as the system counts them.
#ifdef _WIN32
#include <windows.h>
// windows.h first
#include <tlhelp32.h>
#else
#include <filesystem>
#endif

namespace tarnwick::testing {

inline int ProcessThreads() {
    int count = 0;
#ifdef _WIN32
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
#else
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
#endif
    return count;
}

}  // namespace tarnwick::testing
