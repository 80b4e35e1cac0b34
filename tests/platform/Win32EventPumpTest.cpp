#include "platform/win32/Win32EventPump.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/controls/Win32MainWindow.h"

namespace tarnwick::win32 {
namespace {

TEST(Win32EventPump, CountsTheProgramsOpenWindows) {
    Win32EventPump pump{std::chrono::milliseconds(0)};
    const int before = pump.DoEvents();
    {
        Win32MainWindow w(u"t", 100, 100);
        EXPECT_EQ(pump.DoEvents(), before + 1);
    }
    EXPECT_EQ(pump.DoEvents(), before);
}

TEST(Win32EventPump, AClosedWindowIsNoLongerCounted) {
    Win32EventPump pump{std::chrono::milliseconds(0)};
    Win32MainWindow w(u"t", 100, 100);
    const int open = pump.DoEvents();
    const HWND hwnd = w.Handle();
    PostMessageW(hwnd, WM_CLOSE, 0, 0);  // the default handling destroys the window
    EXPECT_EQ(pump.DoEvents(), open - 1);
    EXPECT_FALSE(IsWindow(hwnd));
    MSG quit;  // and asks the program to end
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST(Win32EventPump, LeavesTheQuitMessageForTheMainLoop) {
    Win32EventPump pump{std::chrono::milliseconds(0)};
    PostQuitMessage(7);
    pump.DoEvents();
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST(Win32EventPump, LooksAtTheQueueAgainOnlyOnceTheIntervalHasPassed) {
    Win32EventPump::Clock::time_point now{};
    Win32EventPump pump{std::chrono::milliseconds(200), [&now] { return now; }};
    Win32MainWindow w(u"t", 100, 100);
    const int open = pump.DoEvents();
    const HWND hwnd = w.Handle();
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    now += std::chrono::milliseconds(199);
    EXPECT_EQ(pump.DoEvents(), open);  // within the interval: the close waits
    EXPECT_TRUE(IsWindow(hwnd));
    now += std::chrono::milliseconds(1);
    EXPECT_EQ(pump.DoEvents(), open - 1);
    EXPECT_FALSE(IsWindow(hwnd));
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

}  // namespace
}  // namespace tarnwick::win32
