#pragma once
// The shell's small icons for drives and folders, loaded once and kept for the program's
// life.
#include <windows.h>

#include <shellapi.h>

namespace tarnwick::win32 {

HICON SmallShellIcon(SHSTOCKICONID id);

inline constexpr int kSmallIconSize = 16;

// Draws a list item as the shell lists do: highlight, icon (`iconSize` square, and no
// higher than the item), then the text.
void DrawIconItem(const DRAWITEMSTRUCT& item, HICON icon, int indent, const wchar_t* text,
                  int iconSize = kSmallIconSize);

}  // namespace tarnwick::win32
