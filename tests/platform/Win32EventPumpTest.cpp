#include "platform/win32/Win32EventPump.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace tarnwick::win32 {
namespace {

HWND MakeWindow() {
    static const ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TarnwickPumpTest";
        return RegisterClassW(&wc);
    }();
    return CreateWindowW(MAKEINTATOM(atom), L"t", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

TEST(Win32EventPump, CountsTheProgramsOpenWindows) {
    Win32EventPump pump;
    const int before = pump.DoEvents();
    HWND w = MakeWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(pump.DoEvents(), before + 1);
    DestroyWindow(w);
    EXPECT_EQ(pump.DoEvents(), before);
}

TEST(Win32EventPump, AClosedWindowIsNoLongerCounted) {
    Win32EventPump pump;
    HWND w = MakeWindow();
    const int open = pump.DoEvents();
    PostMessageW(w, WM_CLOSE, 0, 0);  // the default handling destroys the window
    EXPECT_EQ(pump.DoEvents(), open - 1);
    EXPECT_FALSE(IsWindow(w));
}

TEST(Win32EventPump, LeavesTheQuitMessageForTheMainLoop) {
    Win32EventPump pump;
    PostQuitMessage(7);
    pump.DoEvents();
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
}  // namespace tarnwick::win32
