#include "platform/win32/files/LongPath.h"

#include <windows.h>

#include "platform/win32/GrowingPath.h"
#include "platform/win32/Wide.h"

namespace tarnwick::win32 {
namespace {

constexpr size_t kClassicLimit = 240;  // MAX_PATH, less room for "\*" and an 8.3 name
constexpr TextView kLongPrefix = u"\\\\?\\";

bool IsAbsolute(TextView path) {
    return (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') || path.starts_with(u"\\\\");
}

// The full form of `path`, resolved by the usual rules; empty when it can't be.
Text FullPath(TextView path) {
    const std::wstring full = FullPathName(W(Text(path)));
    return Text(FromW(full.data(), full.size()));
}

Text Prefixed(TextView full) {
    if (full.starts_with(u"\\\\.\\")) return Text(kLongPrefix).append(full.substr(4));  // a device
    if (full.starts_with(u"\\\\")) return Text(u"\\\\?\\UNC\\").append(full.substr(2));
    return Text(kLongPrefix).append(full);
}

}  // namespace

Text LongPath(TextView path) {
    if (path.starts_with(kLongPrefix)) return Text(path);
    if (IsAbsolute(path) && path.size() < kClassicLimit) return Text(path);
    // A relative path is judged by the length of its full form.
    const Text full = FullPath(path);
    if (full.empty()) return Text(path);
    if (full.size() < kClassicLimit) return Text(path);
    return Prefixed(full);
}

Text LiteralPath(TextView path) {
    if (path.starts_with(kLongPrefix)) return Text(path);
    const Text full = FullPath(path);
    return full.empty() ? Text(path) : Prefixed(full);
}

Text FullyQualified(TextView path) {
    const auto separator = [](char16_t c) { return c == u'\\' || c == u'/'; };
    const bool onDrive = path.size() >= 3 && path[1] == u':' && separator(path[2]);
    const bool unc = path.size() >= 2 && separator(path[0]) && separator(path[1]);
    if (onDrive || unc) return Text(path);
    const Text full = FullPath(path);
    return full.empty() ? Text(path) : full;  // unresolvable: the folder list will say why
}

bool IsDriveRoot(TextView folder) {
    if (folder.starts_with(kLongPrefix)) folder.remove_prefix(kLongPrefix.size());
    if (folder == u"\\" || folder == u"/") return true;
    return folder.size() == 3 && folder[1] == u':' && (folder[2] == u'\\' || folder[2] == u'/');
}

}  // namespace tarnwick::win32
