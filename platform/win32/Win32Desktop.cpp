#include "platform/win32/Win32Desktop.h"

#include <string>

#include "platform/win32/Wide.h"

namespace tarnwick::win32 {

void Win32Desktop::ShowErrorBox(const RunTimeError& e) {
    const std::string number = std::to_string(e.number);
    const Text title = u"VB运行时错误：" + Text(number.begin(), number.end());
    MessageBoxW(owner_, W(e.description), W(title), MB_OK | MB_ICONWARNING);
}

void Win32Desktop::Launch(TextView commandLine, int showState) {
    std::wstring line(commandLine.begin(), commandLine.end());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(showState);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        throw MakeError(error::FileNotFound);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);  // not waited for
}

}  // namespace tarnwick::win32
