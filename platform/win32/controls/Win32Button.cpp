#include "platform/win32/controls/Win32Button.h"

#include "platform/win32/Wide.h"

namespace tarnwick::win32 {

void Win32Button::SetCaption(TextView caption) {
    const Text c(caption);
    SetWindowTextW(hwnd_, W(c));
}

}  // namespace tarnwick::win32
