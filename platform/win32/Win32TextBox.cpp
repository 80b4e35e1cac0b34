#include "platform/win32/Win32TextBox.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
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
                   r, unit) {
    SetWindowSubclass(hwnd_, BoxProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

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

LRESULT CALLBACK Win32TextBox::BoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                       DWORD_PTR self) {
    auto* box = reinterpret_cast<Win32TextBox*>(self);
    if (msg == WM_KEYDOWN && box->onKeyDown) {
        int16_t key = static_cast<int16_t>(wp);
        const int16_t shift = static_cast<int16_t>((GetKeyState(VK_SHIFT) < 0 ? 1 : 0) |
                                                   (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
                                                   (GetKeyState(VK_MENU) < 0 ? 4 : 0));
        box->onKeyDown(key, shift);
    }
    if (IncomingLength(hwnd, msg, lp) > kLongText &&
        !(GetWindowLongW(hwnd, GWL_STYLE) & ES_PASSWORD))
        return TakeMasked(hwnd, msg, wp, lp);
    return DefSubclassProc(hwnd, msg, wp, lp);
}

Win32ScrollBar::Win32ScrollBar(HWND parent, Rect r, float unit, int16_t max, int16_t value,
                               int16_t small, int16_t large)
    : Win32Control(CreateChild(parent, L"SCROLLBAR", u"", SBS_VERT, r, unit), r, unit),
      max_(max),
      small_(small),
      large_(large) {
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_POS | SIF_PAGE, 0, max, 0, value, 0};
    SetScrollInfo(hwnd_, SB_CTL, &si, TRUE);
}

int16_t Win32ScrollBar::GetValue() const {
    return static_cast<int16_t>(GetScrollPos(hwnd_, SB_CTL));
}

void Win32ScrollBar::SetValue(int16_t value) {
    if (value == GetValue()) return;
    SetScrollPos(hwnd_, SB_CTL, value, TRUE);
    if (onChange) onChange();
}

// The user's arrows, trough clicks and thumb; the value stays within 0 to max.
// The thumb's position comes with the message: 16 bits are enough for this bar's range.
void Win32ScrollBar::OnScroll(int code, int position) {
    SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, 0, 0};
    GetScrollInfo(hwnd_, SB_CTL, &si);
    auto clamp = [this](int v) { return static_cast<int16_t>(std::clamp(v, 0, int{max_})); };
    switch (code) {
        case SB_LINEUP:
            return SetValue(clamp(si.nPos - small_));
        case SB_LINEDOWN:
            return SetValue(clamp(si.nPos + small_));
        case SB_PAGEUP:
            return SetValue(clamp(si.nPos - large_));
        case SB_PAGEDOWN:
            return SetValue(clamp(si.nPos + large_));
        case SB_TOP:
            return SetValue(0);
        case SB_BOTTOM:
            return SetValue(max_);
        case SB_THUMBTRACK:
            if (!dragging_) dragStart_ = GetValue();
            dragging_ = true;
            SetScrollPos(hwnd_, SB_CTL, clamp(position), TRUE);
            if (onScroll) onScroll();
            return;
        case SB_THUMBPOSITION: {  // the end of a drag: a change only if the value moved
            const int16_t start = dragging_ ? dragStart_ : GetValue();
            dragging_ = false;
            SetScrollPos(hwnd_, SB_CTL, clamp(position), TRUE);
            if (GetValue() != start && onChange) onChange();
            return;
        }
    }
}

}  // namespace tarnwick::win32
