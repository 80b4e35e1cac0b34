#pragma once
// The shell's icons for drives and folders, loaded once per size and kept for the
// program's life.
#include <windows.h>

#include <shellapi.h>

namespace tarnwick::win32 {

// The icon drawn at `size` pixels from the shell's own images, not a small one stretched.
HICON ShellIcon(SHSTOCKICONID id, int size);

inline constexpr int kSmallIconSize = 16;  // at 96 DPI

// Draws a list item as the shell lists do: highlight, icon (`iconSize` square, and no
// higher than the item), then the text; the gaps follow `dpi`.
void DrawIconItem(const DRAWITEMSTRUCT& item, SHSTOCKICONID icon, int indent, const wchar_t* text,
                  int iconSize, UINT dpi);

}  // namespace tarnwick::win32
