#include "platform/win32/files/HeldFile.h"

namespace tarnwick::win32 {
namespace {

constexpr LONG kStatusDeletePending = static_cast<LONG>(0xC0000056);

// The status behind the last error: ntdll keeps it beside the code. Looked up at run time,
// ntdll's exports being no documented API, and at start-up, so that the look-up itself
// can't change it.
using GetStatus = LONG(WINAPI*)();
const GetStatus getLastStatus = reinterpret_cast<GetStatus>(
    reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetLastNtStatus")));

LONG LastStatus() {
    return getLastStatus ? getLastStatus() : 0;
}

}  // namespace

// A holder without delete sharing makes the system refuse to replace, rename or delete the
// file; a file being deleted, until its last holder lets go, refuses as a denied access does
// (only its status tells them apart: a read-only file or a folder without our rights is
// refused for good, and is not waited for).
Refusal LastRefusal() {
    const DWORD code = GetLastError();
    switch (code) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_UNABLE_TO_REMOVE_REPLACED:
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
            return {code, true};
        case ERROR_ACCESS_DENIED:
            return {code, LastStatus() == kStatusDeletePending};
        default:
            return {code, false};
    }
}

}  // namespace tarnwick::win32
