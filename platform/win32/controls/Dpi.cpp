#include "platform/win32/controls/Dpi.h"

#include <map>

namespace tarnwick::win32 {
namespace {

constexpr wchar_t kDpiProperty[] = L"TarnwickDpi";

template <class F>
F User32(const char* name) {
    return reinterpret_cast<F>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

UINT SystemDpi() {
    static const UINT dpi = [] {
        if (const auto get = User32<UINT(WINAPI*)()>("GetDpiForSystem")) return get();
        const HDC dc = GetDC(nullptr);
        const int d = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(nullptr, dc);
        return d > 0 ? static_cast<UINT>(d) : kDesignDpi;
    }();
    return dpi;
}

UINT DpiOfNewWindow(HWND topLevel) {
    static const auto get = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    const UINT dpi = get ? get(topLevel) : 0;
    return dpi ? dpi : SystemDpi();
}

UINT DpiOf(HWND hwnd) {
    const HWND root = GetAncestor(hwnd, GA_ROOT);
    const auto dpi = reinterpret_cast<UINT_PTR>(GetPropW(root ? root : hwnd, kDpiProperty));
    return dpi ? static_cast<UINT>(dpi) : SystemDpi();
}

void SetDpi(HWND topLevel, UINT dpi) {
    SetPropW(topLevel, kDpiProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(dpi)));
}

void ForgetDpi(HWND topLevel) {
    RemovePropW(topLevel, kDpiProperty);
}

void AdjustForDpi(RECT& r, DWORD style, DWORD exStyle, UINT dpi) {
    static const auto adjust =
        User32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    if (!adjust || !adjust(&r, style, FALSE, exStyle, dpi))
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
}

// Metrics asked without a DPI come at the system's scale; the font is rescaled from there.
HFONT InterfaceFont(UINT dpi) {
    static std::map<UINT, HFONT> fonts;
    if (const auto it = fonts.find(dpi); it != fonts.end()) return it->second;
    static const auto forDpi =
        User32<BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT)>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof m;
    if (!forDpi || !forDpi(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0, dpi)) {
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);
        m.lfMessageFont.lfHeight =
            MulDiv(m.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    }
    return fonts[dpi] = CreateFontIndirectW(&m.lfMessageFont);
}

}  // namespace tarnwick::win32
