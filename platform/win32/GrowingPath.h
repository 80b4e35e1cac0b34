#pragma once
// A path the system writes into the caller's buffer, asked for again with a larger buffer
// until it fits: a path has no fixed limit (a long folder, the "\\?\" form), so no buffer
// of a fixed size holds every answer.
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>

namespace tarnwick::win32 {

// The longest path the system takes, its terminator included.
inline constexpr size_t kLongestPath = 32768;

// `call(buffer, size)` gives the length it wrote when the path fit (less than `size`); when
// it did not, `size` or more: what the buffer needs (GetFullPathNameW and most others), or
// just `size` where the call only cuts the path short (GetModuleFileNameW). 0 is a failure.
template <class Call>
std::optional<std::wstring> GrowingPath(Call call, size_t first = MAX_PATH) {
    std::wstring buffer(std::max<size_t>(first, 1), L'\0');
    for (;;) {
        const size_t n = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::nullopt;
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        if (buffer.size() >= kLongestPath) return std::nullopt;
        buffer.resize(std::min(std::max(n + 1, buffer.size() * 2), kLongestPath));
    }
}

// The calls that give a path, each at any length; empty where the call fails.
std::wstring ModuleFileName(HMODULE module = nullptr);
std::wstring CurrentFolder();
std::wstring SystemFolder();
std::wstring FullPathName(const wchar_t* path);
std::wstring ShortPathName(const wchar_t* path);
std::wstring FinalPathName(HANDLE file, DWORD flags);
// The mount point `path` lies under; its buffer is as long as the path (and a separator).
std::wstring VolumePathName(const std::wstring& path);

}  // namespace tarnwick::win32
