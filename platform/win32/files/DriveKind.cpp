#include "platform/win32/files/DriveKind.h"

#include <string>

#include "platform/win32/GrowingPath.h"
#include "platform/win32/Wide.h"
#include "platform/win32/files/LongPath.h"

namespace tarnwick::win32 {
namespace {

constexpr TextView kLongPrefix = u"\\\\?\\", kNtPrefix = u"\\??\\", kDevicePrefix = u"\\\\.\\";
constexpr int kMostSubsts = 8;  // a subst drive's folder may lie on another subst drive

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

bool OnDrive(TextView path) {
    const char16_t c = path.empty() ? u'\0' : static_cast<char16_t>(path[0] | 0x20);
    return path.size() >= 2 && c >= u'a' && c <= u'z' && path[1] == u':';
}

bool IsUncMark(TextView rest) {
    return rest.size() >= 4 && (rest[0] | 0x20) == u'u' && (rest[1] | 0x20) == u'n' &&
           (rest[2] | 0x20) == u'c' && IsSeparator(rest[3]);
}

// "\\?\X:\...", "\??\X:\..." and "\\.\X:\..." as "X:\..."; "\\?\UNC\server\..." and
// "\??\UNC\server\..." as "\\server\...". Any other form as it is.
Text Plain(TextView path) {
    for (const TextView prefix : {kLongPrefix, kNtPrefix, kDevicePrefix}) {
        if (!path.starts_with(prefix)) continue;
        const TextView rest = path.substr(prefix.size());
        if (OnDrive(rest)) return Text(rest);
        if (IsUncMark(rest) && prefix != kDevicePrefix) return u"\\\\" + Text(rest.substr(4));
        break;
    }
    return Text(path);
}

// "\\server\share\...", not a device's "\\.\" nor a volume's "\\?\".
bool IsShare(TextView path) {
    return path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] != u'?' &&
           path[2] != u'.';
}

// The path with a subst drive's letter replaced by the folder it stands for; empty for any
// other drive (a disk's volume, a network redirector's connection).
Text Substituted(TextView path, DriveQueries& system) {
    const Text target = system.DosDevice(path.substr(0, 2));
    if (!target.starts_with(kNtPrefix)) return {};
    const Text folder = Plain(target);
    TextView rest = path.substr(2);
    if (!folder.empty() && IsSeparator(folder.back()) && !rest.empty() && IsSeparator(rest[0]))
        rest.remove_prefix(1);
    return folder + Text(rest);
}

class SystemQueries : public DriveQueries {
  public:
    Text VolumePath(TextView path) override {
        const std::wstring root = VolumePathName(std::wstring(path.begin(), path.end()));
        return Text(FromW(root.data(), root.size()));
    }
    UINT DriveType(TextView root) override { return GetDriveTypeW(W(Text(root))); }
    Text DosDevice(TextView drive) override {
        const Text name(drive);
        const auto target = GrowingPath([&name](wchar_t* b, DWORD size) -> size_t {
            if (QueryDosDeviceW(W(name), b, size) == 0)
                return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? size : 0;
            return wcslen(b);  // the first of its names, the one in use
        });
        return target ? Text(FromW(target->data(), target->size())) : Text();
    }
};

}  // namespace

DriveQueries& SystemDriveQueries() {
    static SystemQueries system;
    return system;
}

bool IsOnNetwork(TextView path, DriveQueries& system) {
    Text plain = Plain(path);
    for (int i = 0; i < kMostSubsts && OnDrive(plain); ++i) {
        Text folder = Substituted(plain, system);
        if (folder.empty()) break;
        plain = std::move(folder);
    }
    if (IsShare(plain)) return true;
    Text root = Plain(system.VolumePath(LongPath(plain)));
    if (IsShare(root)) return true;  // through a link that leads to a share
    // A mapped drive whose share doesn't answer has no mount point, but a type all the same.
    if (root.empty() && OnDrive(plain)) root = plain.substr(0, 2) + u"\\";
    return !root.empty() && system.DriveType(root) == DRIVE_REMOTE;
}

}  // namespace tarnwick::win32
