#include "platform/win32/files/LongPath.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace tarnwick::win32 {
namespace {

TEST(LongPath, ShortAbsolutePathsStayAsTyped) {
    EXPECT_EQ(LongPath(u"C:\\Data\\"), u"C:\\Data\\");
    EXPECT_EQ(LongPath(u"\\\\server\\share\\x"), u"\\\\server\\share\\x");
    EXPECT_EQ(LongPath(u"\\\\?\\C:\\x"), u"\\\\?\\C:\\x");
}

TEST(LongPath, LongPathsGetTheLongForm) {
    const Text tail(300, u'a');
    EXPECT_EQ(LongPath(u"C:\\" + tail), u"\\\\?\\C:\\" + tail);
    EXPECT_EQ(LongPath(u"\\\\server\\share\\" + tail), u"\\\\?\\UNC\\server\\share\\" + tail);
    EXPECT_EQ(LongPath(u"C:\\x\\..\\" + tail), u"\\\\?\\C:\\" + tail);  // resolved first
}

TEST(LongPath, ARelativePathIsJudgedByItsFullLength) {
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    const Text relative(250 - wcslen(cwd), u'r');  // short as typed, long in full
    const Text result = LongPath(relative);
    EXPECT_TRUE(result.starts_with(u"\\\\?\\")) << result.size();
    EXPECT_TRUE(result.ends_with(relative));
}

// The walk's starting folder, resolved by the usual rules once, at any length; names
// appended to it later keep their final dots and blanks.
TEST(LiteralPath, TheUsualRulesOnceThenTheLongFormAtAnyLength) {
    struct Case {
        Text typed, literal;
    } const cases[] = {
        {u"C:\\Data\\", u"\\\\?\\C:\\Data\\"},
        {u"C:\\x\\..\\y\\.\\", u"\\\\?\\C:\\y\\"},
        {u"C:/Data/", u"\\\\?\\C:\\Data\\"},
        {u"\\\\server\\share\\x\\", u"\\\\?\\UNC\\server\\share\\x\\"},
        {u"\\\\.\\C:\\x\\", u"\\\\?\\C:\\x\\"},
        {u"\\\\?\\C:\\same.\\", u"\\\\?\\C:\\same.\\"},
    };
    for (const Case& c : cases) EXPECT_EQ(LiteralPath(c.typed), c.literal);
    wchar_t cwd[MAX_PATH];
    const DWORD n = GetCurrentDirectoryW(MAX_PATH, cwd);
    const Text here(reinterpret_cast<const char16_t*>(cwd), n);
    EXPECT_EQ(LiteralPath(u"sub\\"),
              u"\\\\?\\" + here + (here.ends_with(u"\\") ? u"" : u"\\") + u"sub\\");
    EXPECT_EQ(LiteralPath(u"\\"), u"\\\\?\\" + here.substr(0, 3));
}

TEST(DriveRoot, OnlyDriveRootsAndTheCurrentDrivesRoot) {
    EXPECT_TRUE(IsDriveRoot(u"C:\\"));
    EXPECT_TRUE(IsDriveRoot(u"\\\\?\\C:\\"));
    EXPECT_TRUE(IsDriveRoot(u"\\"));
    EXPECT_FALSE(IsDriveRoot(u"C:\\Data\\"));
    EXPECT_FALSE(IsDriveRoot(u"C:"));
}

}  // namespace
}  // namespace tarnwick::win32
