#include "platform/win32/controls/Win32Label.h"

namespace tarnwick::win32 {

void Win32Label::FitText() {
    const int line = FontLineHeight(hwnd_);
    RECT r;
    GetWindowRect(hwnd_, &r);
    if (r.bottom - r.top < line)
        SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, line,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tarnwick::win32
