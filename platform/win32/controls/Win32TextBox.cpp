#include "platform/win32/controls/Win32TextBox.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <cwchar>

#include "platform/win32/Wide.h"

namespace tarnwick::win32 {
namespace {

// Wine's Uniscribe itemizes a run of digits in time quadratic in its length, and the edit
// box lays out its whole line at every change: a pasted number of 10^5 digits held the
// window for seconds. A password box lays out a run of its one masking character, in
// linear time; so a long text comes in masked and is shown plainly once the change
// handlers have run (the depth box has rewritten it by then).
constexpr size_t kLongText = 1024;

size_t ClipboardTextLength(HWND owner) {
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(owner)) return 0;
    const HANDLE text = GetClipboardData(CF_UNICODETEXT);
    const size_t n = text ? GlobalSize(text) / sizeof(wchar_t) : 0;
    CloseClipboard();
    return n;
}

size_t IncomingLength(HWND box, UINT msg, LPARAM lp) {
    switch (msg) {
        case WM_SETTEXT:
        case EM_REPLACESEL:
            return lp ? std::wcslen(reinterpret_cast<const wchar_t*>(lp)) : 0;
        case WM_PASTE:
            return ClipboardTextLength(box);
        default:
            return 0;
    }
}

LRESULT TakeMasked(HWND box, UINT msg, WPARAM wp, LPARAM lp) {
    SendMessageW(box, EM_SETPASSWORDCHAR, L'*', 0);
    const LRESULT result = DefSubclassProc(box, msg, wp, lp);
    SendMessageW(box, EM_SETPASSWORDCHAR, 0, 0);
    SendMessageW(box, EM_SCROLLCARET, 0, 0);  // the offset was measured in masking characters
    return result;
}

}  // namespace

Win32TextBox::Win32TextBox(HWND parent, TextView text, Rect r, float unit)
    : Win32Control(CreateChild(parent, L"EDIT", text, ES_AUTOHSCROLL | WS_TABSTOP, r, unit,
                               WS_EX_CLIENTEDGE),
                   r, unit) {}

void Win32TextBox::CompleteFolders() {
    SHAutoComplete(hwnd_, SHACF_FILESYS_DIRS);
}

void Win32TextBox::SetText(TextView text) {
    const Text t(text);
    writing_ = true;  // the box's own notification of this write is replaced by ours
    SetWindowTextW(hwnd_, W(t));
    writing_ = false;
    if (onChange) onChange();
}

void Win32TextBox::OnCommand(int code) {
    if (code == EN_CHANGE && !writing_ && onChange) onChange();
}

bool Win32TextBox::OnControlMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_KEYDOWN && onKeyDown) {
        int16_t key = static_cast<int16_t>(wp);
        const int16_t shift = static_cast<int16_t>((GetKeyState(VK_SHIFT) < 0 ? 1 : 0) |
                                                   (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
                                                   (GetKeyState(VK_MENU) < 0 ? 4 : 0));
        onKeyDown(key, shift);
    }
    if (IncomingLength(hwnd_, msg, lp) <= kLongText ||
        (GetWindowLongW(hwnd_, GWL_STYLE) & ES_PASSWORD))
        return false;
    result = TakeMasked(hwnd_, msg, wp, lp);
    return true;
}

}  // namespace tarnwick::win32
