#include "platform/win32/controls/Win32Control.h"

#include "platform/win32/Wide.h"

namespace tarnwick::win32 {

// The desktop's message font: the user interface font of the system, Chinese included.
HFONT InterfaceFont() {
    return InterfaceFont(SystemDpi());
}

HWND CreateChild(HWND parent, const wchar_t* windowClass, TextView text, DWORD style, Rect r,
                 float unit, DWORD exStyle, void* object) {
    const UINT dpi = DpiOf(parent);
    auto px = [unit, dpi](float v) { return ToPixels(v, unit, dpi); };
    const Text caption(text);
    HWND hwnd = CreateWindowExW(exStyle, windowClass, W(caption),
                                style | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, px(r.left),
                                px(r.top), px(r.width), px(r.height), parent, nullptr,
                                GetModuleHandleW(nullptr), object);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(InterfaceFont(dpi)), FALSE);
    // A new child goes to the top of its siblings; ours go below the ones made before, so
    // that where two overlap, the earlier one lies on top.
    SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return hwnd;
}

int FontLineHeight(HWND hwnd) {
    const HDC dc = GetDC(hwnd);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return tm.tmHeight;
}

Text WindowText(HWND hwnd) {
    const int n = GetWindowTextLengthW(hwnd);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, s.data(), n + 1);
    return Text(FromW(s.data(), static_cast<size_t>(got)));
}

}  // namespace tarnwick::win32
