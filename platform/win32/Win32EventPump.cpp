#include "platform/win32/Win32EventPump.h"

#include <windows.h>

#include "platform/win32/controls/Win32MainWindow.h"

namespace tarnwick::win32 {
int Win32EventPump::DoEvents() {
    const auto now = now_();
    if (now < nextLook_) return Win32MainWindow::OpenCount();
    nextLook_ = now + interval_;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {  // belongs to the outer loop: leave it for that one
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (Win32MainWindow::TranslateNavigation(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return Win32MainWindow::OpenCount();
}

void Win32EventPump::End() {
    ExitProcess(0);
}

}  // namespace tarnwick::win32
