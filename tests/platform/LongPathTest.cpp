#include "platform/win32/LongPath.h"

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

TEST(DriveRoot, OnlyDriveRootsAndTheCurrentDrivesRoot) {
    EXPECT_TRUE(IsDriveRoot(u"C:\\"));
    EXPECT_TRUE(IsDriveRoot(u"\\\\?\\C:\\"));
    EXPECT_TRUE(IsDriveRoot(u"\\"));
    EXPECT_FALSE(IsDriveRoot(u"C:\\Data\\"));
    EXPECT_FALSE(IsDriveRoot(u"C:"));
}

}  // namespace
}  // namespace tarnwick::win32
