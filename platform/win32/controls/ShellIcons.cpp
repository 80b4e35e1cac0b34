#include "platform/win32/controls/ShellIcons.h"

#include <algorithm>
#include <map>
#include <utility>

#include "platform/win32/controls/Dpi.h"

namespace tarnwick::win32 {

HICON ShellIcon(SHSTOCKICONID id, int size) {
    static std::map<std::pair<SHSTOCKICONID, int>, HICON> loaded;
    if (const auto it = loaded.find({id, size}); it != loaded.end()) return it->second;
    SHSTOCKICONINFO info{};
    info.cbSize = sizeof info;
    // Where the stock icons are missing (Wine gives no icon, and the plain file's place),
    // the shell's own icon resources, whose numbers are the stock numbers plus one (a
    // negative index asks by number).
    const wchar_t* file = L"shell32.dll";
    int index = -(static_cast<int>(id) + 1);
    constexpr UINT kAsk = SHGSI_ICONLOCATION | SHGSI_ICON | SHGSI_SMALLICON;
    if (SUCCEEDED(SHGetStockIconInfo(id, kAsk, &info)) && info.hIcon) {
        DestroyIcon(info.hIcon);
        file = info.szPath;
        index = info.iIcon;
    }
    HICON icon = nullptr;
    UINT iconId = 0;
    if (PrivateExtractIconsW(file, index, size, size, &icon, &iconId, 1, LR_DEFAULTCOLOR) != 1)
        icon = nullptr;
    return loaded[{id, size}] = icon;
}

void DrawIconItem(const DRAWITEMSTRUCT& item, SHSTOCKICONID icon, int indent, const wchar_t* text,
                  int iconSize, UINT dpi) {
    const bool selected = item.itemState & ODS_SELECTED;
    const HDC dc = item.hDC;
    RECT r = item.rcItem;
    FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    r.left += indent;
    const int size = std::min<int>(iconSize, r.bottom - r.top);
    if (const HICON h = size > 0 ? ShellIcon(icon, size) : nullptr)
        DrawIconEx(dc, r.left + Scaled(2, dpi), r.top + (r.bottom - r.top - size) / 2, h, size,
                   size, 0, nullptr, DI_NORMAL);
    r.left += iconSize + Scaled(6, dpi);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextW(dc, text, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT))
        DrawFocusRect(dc, &item.rcItem);
}

}  // namespace tarnwick::win32
