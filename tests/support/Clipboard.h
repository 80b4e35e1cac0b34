#pragma once
// What a program pasting now would get as text: empty when the clipboard holds none.
#include <windows.h>

#include <string>

namespace tarnwick::testing {

inline std::wstring ClipboardText() {
    if (!OpenClipboard(nullptr)) return L"(clipboard busy)";
    std::wstring text;
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

}  // namespace tarnwick::testing
