#include "platform/win32/LongPath.h"

#include <windows.h>

#include "platform/win32/Wide.h"

namespace tarnwick::win32 {
namespace {

constexpr size_t kClassicLimit = 240;  // MAX_PATH, less room for "\*" and an 8.3 name
constexpr TextView kLongPrefix = u"\\\\?\\";

}  // namespace

Text LongPath(TextView path) {
    if (path.starts_with(kLongPrefix)) return Text(path);
    const bool absolute =
        (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') || path.starts_with(u"\\\\");
    if (absolute && path.size() < kClassicLimit) return Text(path);
    // A relative path is judged by the length of its full form.
    const Text typed(path);
    const DWORD needed = GetFullPathNameW(W(typed), 0, nullptr, nullptr);
    if (needed == 0) return typed;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(W(typed), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return typed;
    const TextView f = FromW(full.data(), length);
    if (f.size() < kClassicLimit) return typed;
    if (f.starts_with(u"\\\\.\\")) return Text(kLongPrefix).append(f.substr(4));  // a device path
    if (f.starts_with(u"\\\\")) return Text(u"\\\\?\\UNC\\").append(f.substr(2));
    return Text(kLongPrefix).append(f);
}

bool IsDriveRoot(TextView folder) {
    if (folder.starts_with(kLongPrefix)) folder.remove_prefix(kLongPrefix.size());
    if (folder == u"\\" || folder == u"/") return true;
    return folder.size() == 3 && folder[1] == u':' && (folder[2] == u'\\' || folder[2] == u'/');
}

}  // namespace tarnwick::win32
