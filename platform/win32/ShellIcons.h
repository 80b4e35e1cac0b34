#pragma once
// The shell's small icons for drives and folders, loaded once and kept for the program's
// life.
#include <windows.h>

#include <shellapi.h>

namespace tarnwick::win32 {

HICON SmallShellIcon(SHSTOCKICONID id);

// Draws a list item as the shell lists do: highlight, icon, then the text.
void DrawIconItem(const DRAWITEMSTRUCT& item, HICON icon, int indent, const wchar_t* text);

}  // namespace tarnwick::win32
