#pragma once
// The handles (natively, the descriptors) this process holds open, as the system counts them.
#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#endif

namespace tarnwick::testing {

inline int ProcessHandles() {
    int count = 0;
#ifdef _WIN32
    // Wine gives no count of its own: every handle value that names a handle is one.
    for (uintptr_t h = 4; h < (1u << 14); h += 4) {  // far above what Wine gives out here
        DWORD flags;
        count += GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags) != 0;
    }
#else
    for ([[maybe_unused]] const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
#endif
    return count;
}

}  // namespace tarnwick::testing
