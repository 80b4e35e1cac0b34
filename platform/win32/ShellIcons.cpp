#include "platform/win32/ShellIcons.h"

#include <algorithm>
#include <map>

namespace tarnwick::win32 {

HICON SmallShellIcon(SHSTOCKICONID id) {
    static std::map<SHSTOCKICONID, HICON> loaded;
    if (const auto it = loaded.find(id); it != loaded.end()) return it->second;
    SHSTOCKICONINFO info{};
    info.cbSize = sizeof info;
    HICON icon = nullptr;
    if (SUCCEEDED(SHGetStockIconInfo(id, SHGSI_ICON | SHGSI_SMALLICON, &info))) icon = info.hIcon;
    // Where the stock icons are missing (Wine), the shell's own icon resources, whose
    // numbers are the stock numbers plus one (a negative index asks by number).
    if (!icon) ExtractIconExW(L"shell32.dll", -(static_cast<int>(id) + 1), nullptr, &icon, 1);
    return loaded[id] = icon;
}

void DrawIconItem(const DRAWITEMSTRUCT& item, HICON icon, int indent, const wchar_t* text,
                  int iconSize) {
    const bool selected = item.itemState & ODS_SELECTED;
    const HDC dc = item.hDC;
    RECT r = item.rcItem;
    FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    r.left += indent;
    const int size = std::min<int>(iconSize, r.bottom - r.top);
    if (icon)
        DrawIconEx(dc, r.left + 2, r.top + (r.bottom - r.top - size) / 2, icon, size, size, 0,
                   nullptr, DI_NORMAL);
    r.left += iconSize + 6;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextW(dc, text, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT))
        DrawFocusRect(dc, &item.rcItem);
}

}  // namespace tarnwick::win32
