// Tarnwick.com: the command line's own program, of the console subsystem, under the window
// program's name. cmd prefers .com to .exe, so `Tarnwick /list ...` typed there runs this:
// cmd waits for it, shows its output before the next prompt and gets its exit code. Anything
// but a command is the window's: Tarnwick.exe, beside this program, starts with the same
// arguments, and this returns at once.
#include <windows.h>

#include <string>
#include <vector>

#include "cli/ListCommand.h"
#include "cli/win32/Console.h"
#include "platform/win32/GrowingPath.h"
#include "platform/win32/Wide.h"
#include "platform/win32/files/LongPath.h"

namespace {

// The names to start the window program by. A path too long for the classic limit is
// started by its short (8.3) form, as a volume with short names gives one, or else by its
// "\\?\" form, which Windows takes at any length since Windows 10.
std::vector<std::wstring> Launchable(const std::wstring& program) {
    if (program.size() < MAX_PATH) return {program};
    const tarnwick::Text literal =
        tarnwick::win32::LongPath(tarnwick::Text(program.begin(), program.end()));
    const std::wstring prefixed(literal.begin(), literal.end());
    return {tarnwick::win32::ShortPathName(prefixed.c_str()), prefixed};
}

// The arguments go on as they were written, so that the window splits them as it would have
// split them itself; and in the folder this was started in, named, which a relative folder
// is read against.
int StartWindow(tarnwick::TextView line, tarnwick::CommandConsole& console) {
    const std::wstring program = tarnwick::win32::WindowProgram();
    const tarnwick::TextView rest = line.substr(tarnwick::AfterProgramName(line));
    const std::wstring command =
        L"\"" + program + L"\"" +
        std::wstring(reinterpret_cast<const wchar_t*>(rest.data()), rest.size());
    const std::wstring here = tarnwick::win32::CurrentFolder();
    for (const std::wstring& name : Launchable(program)) {
        if (program.empty() || name.empty()) continue;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::wstring writable = command;
        if (!CreateProcessW(name.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            here.empty() ? nullptr : here.c_str(), &si, &pi))
            continue;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return tarnwick::exitcode::Ok;
    }
    console.ErrorLine(u"无法启动 Tarnwick.exe：" +
                      tarnwick::MakeError(tarnwick::error::PathNotFound).description);
    return tarnwick::exitcode::ListingFailed;
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
