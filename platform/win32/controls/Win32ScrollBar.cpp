#include "platform/win32/controls/Win32ScrollBar.h"

#include <algorithm>

namespace tarnwick::win32 {

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
