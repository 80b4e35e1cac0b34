#include "platform/win32/Win32EventPump.h"

#include <windows.h>

#include "platform/win32/Win32FormWindow.h"

namespace tarnwick::win32 {
namespace {

BOOL CALLBACK CountOwnWindow(HWND hwnd, LPARAM counter) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
    if (instance == GetModuleHandleW(nullptr)) ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

}  // namespace

int OpenWindowCount() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountOwnWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

int Win32EventPump::DoEvents() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {  // belongs to the outer loop: leave it for that one
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (Win32FormWindow::TranslateNavigation(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return OpenWindowCount();
}

void Win32EventPump::End() {
    ExitProcess(0);
}

}  // namespace tarnwick::win32
