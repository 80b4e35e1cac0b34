// The main window at the display's scale: sized for its DPI when made, and laid out
// again when it moves to a monitor of another scale.
#include "platform/win32/controls/Dpi.h"
#include "platform/win32/controls/Win32Control.h"
#include "platform/win32/controls/Win32MainWindow.h"

namespace tarnwick::win32 {

void Win32MainWindow::FitToDpi(int innerWidth, int innerHeight) {
    if (!hwnd_) return;
    const UINT dpi = DpiOfNewWindow(hwnd_);
    SetDpi(hwnd_, dpi);
    RECT r{0, 0, Scaled(innerWidth, dpi), Scaled(innerHeight, dpi)};
    AdjustForDpi(r, static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE)),
                 static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_EXSTYLE)), dpi);
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Fonts and places first, then the size the system suggests, then the layout, which a
// size unchanged in pixels would not start.
LRESULT Win32MainWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
    SetDpi(hwnd_, dpi);
    EnumChildWindows(
        hwnd_,
        [](HWND child, LPARAM) {
            if (NotificationTarget* t = TargetOf(child)) t->OnDpiChanged();
            return TRUE;
        },
        0);
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (onResize) onResize();
    return 0;
}

}  // namespace tarnwick::win32
