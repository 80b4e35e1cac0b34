// Tarnwick.com: the command line's own program, of the console subsystem, under the window
// program's name. cmd prefers .com to .exe, so `Tarnwick /list ...` typed there runs this:
// cmd waits for it, shows its output before the next prompt and gets its exit code. Anything
// but a command is the window's: Tarnwick.exe, beside this program, starts with the same
// arguments, and this returns at once.
#include <windows.h>

#include <string>

#include "cli/ListCommand.h"
#include "cli/win32/Console.h"

namespace {

int StartWindow(tarnwick::TextView line, tarnwick::CommandConsole& console) {
    wchar_t self[MAX_PATH];
    std::wstring program(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    program.replace(program.rfind(L'.'), std::wstring::npos, L".exe");  // this is X.com
    const tarnwick::TextView rest = line.substr(tarnwick::AfterProgramName(line));
    std::wstring command = L"\"" + program + L"\"" +
                           std::wstring(reinterpret_cast<const wchar_t*>(rest.data()), rest.size());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, &pi)) {
        console.ErrorLine(u"无法启动 Tarnwick.exe：" +
                          tarnwick::MakeError(tarnwick::error::PathNotFound).description);
        return tarnwick::exitcode::ListingFailed;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return tarnwick::exitcode::Ok;
}

}  // namespace

int wmain() {
    // An empty drive or a dead network drive must never bring up a system dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const tarnwick::Text line = tarnwick::win32::CommandLine();
    const auto args = tarnwick::SplitCommandLine(line);
    tarnwick::win32::Win32Console console;
    if (!tarnwick::IsCommand(args)) return StartWindow(line, console);
    return tarnwick::RunCommand(args, *tarnwick::MakeFileSystem(), console);
}
