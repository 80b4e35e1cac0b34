#include "platform/win32/GrowingPath.h"

namespace tarnwick::win32 {
namespace {

std::wstring OrEmpty(std::optional<std::wstring> path) {
    return path ? std::move(*path) : std::wstring();
}

// A call that only says it failed: a failure for want of room asks for more.
size_t LengthOrRoom(BOOL ok, const wchar_t* buffer, DWORD size) {
    if (ok) return wcslen(buffer);
    const DWORD code = GetLastError();
    const bool cut = code == ERROR_INSUFFICIENT_BUFFER || code == ERROR_MORE_DATA ||
                     code == ERROR_FILENAME_EXCED_RANGE;
    return cut ? size : 0;
}

}  // namespace

// Cut short, it gives `size` (and ERROR_INSUFFICIENT_BUFFER), never what it needs.
std::wstring ModuleFileName(HMODULE module) {
    return OrEmpty(GrowingPath(
        [module](wchar_t* b, DWORD size) { return GetModuleFileNameW(module, b, size); }));
}

std::wstring CurrentFolder() {
    return OrEmpty(
        GrowingPath([](wchar_t* b, DWORD size) { return GetCurrentDirectoryW(size, b); }));
}

std::wstring SystemFolder() {
    return OrEmpty(
        GrowingPath([](wchar_t* b, DWORD size) { return GetSystemDirectoryW(b, size); }));
}

std::wstring FullPathName(const wchar_t* path) {
    return OrEmpty(GrowingPath(
        [path](wchar_t* b, DWORD size) { return GetFullPathNameW(path, size, b, nullptr); }));
}

std::wstring ShortPathName(const wchar_t* path) {
    return OrEmpty(
        GrowingPath([path](wchar_t* b, DWORD size) { return GetShortPathNameW(path, b, size); }));
}

std::wstring FinalPathName(HANDLE file, DWORD flags) {
    return OrEmpty(GrowingPath([file, flags](wchar_t* b, DWORD size) {
        return GetFinalPathNameByHandleW(file, b, size, flags);
    }));
}

// The mount point is a prefix of the path, with a separator at most added ("C:" gives "C:\").
std::wstring VolumePathName(const std::wstring& path) {
    return OrEmpty(GrowingPath(
        [&path](wchar_t* b, DWORD size) {
            return LengthOrRoom(GetVolumePathNameW(path.c_str(), b, size), b, size);
        },
        path.size() + 2));
}

}  // namespace tarnwick::win32
