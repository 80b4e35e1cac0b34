#include "platform/win32/controls/Win32Frame.h"

namespace tarnwick::win32 {
namespace {

constexpr wchar_t kFrameClass[] = L"TarnwickFrame";

void RegisterFrameClass() {
    static const ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = OwnWindowProc<Win32Frame>;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kFrameClass;
        return RegisterClassW(&wc);
    }();
    (void)atom;
}

}  // namespace

Win32Frame::Win32Frame(HWND parent, TextView caption, Rect r) : Win32Control(r, 1) {
    RegisterFrameClass();
    CreateChild(parent, kFrameClass, u"", WS_CLIPSIBLINGS, r, 1, WS_EX_CONTROLPARENT, this);
    box_ = CreateChild(hwnd_, L"BUTTON", caption, BS_GROUPBOX, {0, 0, r.width, r.height}, 1);
}

// The children's notifications and colour questions are the main window's to answer.
LRESULT Win32Frame::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
        case WM_VSCROLL:
        case WM_DRAWITEM:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSCROLLBAR:
            return SendMessageW(GetParent(hwnd_), msg, wp, lp);
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

void Win32Frame::Move(Rect r) {
    Win32Control::Move(r);
    MoveWindow(box_, 0, 0, Px(r.width), Px(r.height), TRUE);
}

void Win32Frame::OnDpiChanged() {
    SendMessageW(box_, WM_SETFONT, reinterpret_cast<WPARAM>(InterfaceFont(DpiOf(hwnd_))), TRUE);
    Win32Control::OnDpiChanged();
}

}  // namespace tarnwick::win32
