#include "platform/win32/Win32ResultView.h"

#include "platform/win32/Wide.h"

namespace tarnwick::win32 {

Win32ResultView::Win32ResultView(HWND parent, Rect r, float unit)
    : Win32Control(CreateChild(parent, L"EDIT", u"",
                               ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_NOHIDESEL |
                                   WS_HSCROLL | WS_VSCROLL | WS_TABSTOP,
                               r, unit, WS_EX_CLIENTEDGE),
                   r, unit) {
    SendMessageW(hwnd_, EM_SETLIMITTEXT, 0, 0);  // as much as memory holds
}

void Win32ResultView::SetText(TextView text) {
    const Text t(text);
    if (!SetWindowTextW(hwnd_, W(t))) throw MakeError(error::OutOfMemory);
}

bool Win32ResultView::SetSelText(TextView text) {
    const Text t(text);
    const LRESULT before = SendMessageW(hwnd_, WM_GETTEXTLENGTH, 0, 0);
    SendMessageW(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(W(t)));
    return SendMessageW(hwnd_, WM_GETTEXTLENGTH, 0, 0) != before || t.empty();
}

}  // namespace tarnwick::win32
