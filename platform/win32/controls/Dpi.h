#pragma once
// The display scale of a window. Places and sizes stay in 96-DPI units everywhere above
// this layer; the wrappers scale them here on the way to the real windows and back.
// The newer DPI functions are looked up at run time, so older systems (and Wine) still
// start and get the system's scale.
#include <windows.h>

namespace tarnwick::win32 {

inline constexpr UINT kDesignDpi = 96;

UINT SystemDpi();
// The scale the main window holding `hwnd` was last laid out for (it follows
// WM_DPICHANGED); the system's for a window outside one.
UINT DpiOf(HWND hwnd);
void SetDpi(HWND topLevel, UINT dpi);
void ForgetDpi(HWND topLevel);  // before the window goes
// The DPI the system gives a new top-level window.
UINT DpiOfNewWindow(HWND topLevel);

inline int Scaled(int v, UINT dpi) {
    return MulDiv(v, static_cast<int>(dpi), kDesignDpi);
}
// The window rectangle around a client area at `dpi`.
void AdjustForDpi(RECT& r, DWORD style, DWORD exStyle, UINT dpi);
// The desktop's message font at `dpi`, made once per scale and kept.
HFONT InterfaceFont(UINT dpi);

}  // namespace tarnwick::win32
