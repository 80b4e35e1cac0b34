// The program's entry: the main window, then the message loop until it is closed.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "platform/win32/Win32EventPump.h"
#include "window/win32/Win32Form.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    // An empty drive or a dead network drive must never bring up a system dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    // A single-threaded apartment: screen readers' requests reach the result view's
    // accessibility objects on this thread, marshalled by COM.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    auto files = tarnwick::MakeFileSystem();
    tarnwick::win32::Win32EventPump events;
    tarnwick::Win32Form app(*files, events);
    app.Show(showCommand);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (tarnwick::win32::Win32FormWindow::TranslateNavigation(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
