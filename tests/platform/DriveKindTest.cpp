// Whether a folder is on a network drive, for every form of path, against what Windows
// answers: Wine has no shares, subst drives nor mapped drives to show.
#include "platform/win32/files/DriveKind.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace tarnwick::win32 {
namespace {

Text Lower(TextView s) {
    Text lower(s);
    for (char16_t& c : lower)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    return lower;
}

bool IsShare(TextView p) {
    return p.starts_with(u"\\\\") && p.size() > 2 && p[2] != u'?' && p[2] != u'.';
}

// A machine as Windows shows it: C: a disk, with a removable volume mounted at C:\mnt\usb
// and a folder link to a share at C:\links\share; Z: mapped to \\server\share, Y: to a
// server that is gone; S: a subst drive of C:\work, N: of \\server\share\dir, M: of Z:\sub,
// T: of S:\deeper. A share's path is the redirector's to resolve: asked of one, the test
// fails, as the call may wait on a server that doesn't answer.
class WindowsMachine : public DriveQueries {
  public:
    // GetVolumePathNameW: the longest mount point before the path, in the path's own form
    // ("\\?\Q:\Windows" gives "\\?\Q:\"); a path through a mapped drive whose server is
    // gone, or through the link, as Windows answers them.
    Text VolumePath(TextView path) override {
        Text plain(path);
        const bool prefixed = plain.starts_with(u"\\\\?\\");
        if (prefixed) plain.erase(0, 4);
        if (prefixed && Lower(plain).starts_with(u"unc\\")) plain = u"\\\\" + plain.substr(4);
        EXPECT_FALSE(IsShare(plain)) << "asked of a share";
        const Text key = Lower(plain) + u"\\";
        if (key.starts_with(u"y:")) return {};  // the remote path is invalid
        if (key.starts_with(u"c:\\links\\share\\")) return u"\\\\server\\share\\";  // followed
        Text best;
        for (const Text& mount : kMounts)
            if (key.starts_with(Lower(mount)) && mount.size() > best.size()) best = mount;
        if (best.empty() || !prefixed) return best;
        return IsShare(best) ? u"\\\\?\\UNC\\" + best.substr(2) : u"\\\\?\\" + best;
    }
    // GetDriveTypeW: what a root is. Roots in the "\\?\" form, and a subst drive of a network
    // folder, whose answer the documentation doesn't give, answer "no such root".
    UINT DriveType(TextView root) override {
        EXPECT_FALSE(IsShare(root)) << "asked of a share";
        static const std::map<Text, UINT> types{
            {u"c:\\", DRIVE_FIXED},  {u"c:\\mnt\\usb\\", DRIVE_REMOVABLE},
            {u"z:\\", DRIVE_REMOTE}, {u"y:\\", DRIVE_REMOTE},
            {u"s:\\", DRIVE_FIXED},  {u"m:\\", DRIVE_NO_ROOT_DIR},
            {u"t:\\", DRIVE_FIXED},  {u"n:\\", DRIVE_NO_ROOT_DIR}};
        const auto it = types.find(Lower(root));
        return it == types.end() ? DRIVE_NO_ROOT_DIR : it->second;
    }
    // QueryDosDeviceW: a disk's volume, the redirector's connection for a mapped drive, the
    // folder for a subst drive.
    Text DosDevice(TextView drive) override {
        static const std::map<Text, Text> devices{
            {u"c:", u"\\Device\\HarddiskVolume3"},
            {u"z:", u"\\Device\\LanmanRedirector\\;Z:00000000000a1b2c\\server\\share"},
            {u"y:", u"\\Device\\LanmanRedirector\\;Y:00000000000a1b2c\\gone\\share"},
            {u"s:", u"\\??\\C:\\work"},
            {u"n:", u"\\??\\UNC\\server\\share\\dir"},
            {u"m:", u"\\??\\Z:\\sub"},
            {u"t:", u"\\??\\S:\\deeper"}};
        const auto it = devices.find(Lower(drive));
        return it == devices.end() ? Text() : it->second;
    }

  private:
    const std::vector<Text> kMounts{u"C:\\", u"C:\\mnt\\usb\\", u"Z:\\", u"S:\\",
                                    u"N:\\", u"M:\\",           u"T:\\"};
};

TEST(DriveKind, EveryFormOfAPathOnAShareIsRemoteAndNoOtherIs) {
    const Text deep(300, u'd');
    const struct {
        Text path;
        bool remote;
    } cases[] = {
        {u"\\\\server\\share\\dir", true},
        {u"\\\\server\\share", true},
        {u"\\\\?\\UNC\\server\\share\\dir", true},
        {u"\\\\?\\unc\\gone\\share\\dir", true},  // a server that is gone
        {u"\\\\?\\UNC\\server\\share\\" + deep, true},
        {u"C:\\work", false},
        {u"\\\\?\\C:\\work\\" + deep, false},
        {u"C:\\mnt\\usb\\photos", false},  // a volume mounted in a folder
        {u"\\\\?\\C:\\mnt\\usb\\photos", false},
        {u"C:\\links\\share\\x", true},  // a folder link to a share
        {u"Z:\\dir", true},              // mapped
        {u"\\\\?\\Z:\\dir", true},
        {u"\\\\?\\Z:\\" + deep, true},
        {u"Y:\\dir", true},   // mapped, its server gone
        {u"S:\\dir", false},  // subst of a local folder
        {u"\\\\?\\S:\\dir", false},
        {u"N:\\", true},  // subst of a network folder
        {u"\\\\?\\N:\\dir\\" + deep, true},
        {u"M:\\x", true},   // subst of a folder on a mapped drive
        {u"T:\\x", false},  // subst of a folder on a subst drive
    };
    WindowsMachine windows;
    for (const auto& c : cases) {
        SCOPED_TRACE(
            std::string(c.path.begin(), c.path.begin() + std::min<size_t>(c.path.size(), 40)));
        EXPECT_EQ(IsOnNetwork(c.path, windows), c.remote);
    }
    // The real system, without asking a server: under Wine no share answers.
    EXPECT_TRUE(IsOnNetwork(u"\\\\?\\UNC\\no-such-server\\share\\dir"));
    EXPECT_FALSE(IsOnNetwork(u"C:\\windows"));
    EXPECT_FALSE(IsOnNetwork(u"\\\\?\\C:\\windows\\system32"));
}

}  // namespace
}  // namespace tarnwick::win32
