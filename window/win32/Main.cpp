// The program's entry: a command (/list, /?) runs without a window; otherwise the main
// window, with the folder the command line names, then the message loop until it is closed.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "cli/ListCommand.h"
#include "cli/win32/Console.h"
#include "platform/win32/Win32EventPump.h"
#include "window/win32/Win32Form.h"

namespace {

int RunWindow(tarnwick::FileSystem& files, const std::vector<tarnwick::Text>& args,
              int showCommand) {
    tarnwick::win32::Win32EventPump events;
    tarnwick::Win32Form app(files, events);
    app.Show(showCommand, args.empty() ? tarnwick::TextView{} : tarnwick::TextView(args[0]));

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (tarnwick::win32::Win32MainWindow::TranslateNavigation(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    // An empty drive or a dead network drive must never bring up a system dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    // A single-threaded apartment: screen readers' requests reach the result box's
    // accessibility objects on this thread, marshalled by COM.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    auto files = tarnwick::MakeFileSystem();
    const auto args = tarnwick::SplitCommandLine(tarnwick::win32::CommandLine());
    if (tarnwick::IsCommand(args)) {
        tarnwick::win32::Win32Console console;
        return tarnwick::RunCommand(args, *files, console);
    }
    return RunWindow(*files, args, showCommand);
}
