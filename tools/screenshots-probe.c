// Tells tools/screenshots what the real windows show, read through WM_GETTEXT:
//   screenshots-probe wait TEXT [SECONDS]   waits until a window or control reads TEXT
//   screenshots-probe gone TEXT [SECONDS]   waits until none does
//   screenshots-probe origin TEXT           prints where the client area starts of the
//                                           window that holds the control reading TEXT
// Exits 0 once the condition holds, 1 when it still does not after SECONDS (default 60).
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

static const wchar_t* wanted;
static HWND shown;
static BOOL found;

static BOOL CALLBACK Check(HWND window, LPARAM children) {
    wchar_t text[512];
    DWORD_PTR length = 0;
    // A hung window must not hang the probe.
    if (SendMessageTimeoutW(window, WM_GETTEXT, 512, (LPARAM)text, SMTO_ABORTIFHUNG, 1000,
                            &length) &&
        wcscmp(text, wanted) == 0) {
        found = TRUE;
        shown = window;
        return FALSE;
    }
    if (children) EnumChildWindows(window, Check, 0);
    return !found;
}

static BOOL Shows(const wchar_t* text) {
    wanted = text;
    found = FALSE;
    EnumWindows(Check, 1);
    return found;
}

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    if (wcscmp(argv[1], L"origin") == 0) {
        POINT corner = {0, 0};
        if (!Shows(argv[2]) || !ClientToScreen(GetAncestor(shown, GA_ROOT), &corner)) return 1;
        wprintf(L"%ld %ld\n", corner.x, corner.y);
        return 0;
    }
    const BOOL want = wcscmp(argv[1], L"wait") == 0;
    const int tenths = (argc > 3 ? _wtoi(argv[3]) : 60) * 10;
    for (int i = 0; i <= tenths; ++i) {
        if (Shows(argv[2]) == want) return 0;
        Sleep(100);
    }
    return 1;
}
