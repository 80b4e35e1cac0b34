#include "cli/win32/Console.h"

#include "platform/Ansi.h"
#include "platform/win32/Wide.h"

namespace tarnwick::win32 {
namespace {

bool Usable(HANDLE h) {
    return h != nullptr && h != INVALID_HANDLE_VALUE;
}

// A handle the parent passed (a redirection), else the parent's console, else nowhere.
HANDLE Stream(DWORD which, bool attached) {
    const HANDLE given = GetStdHandle(which);
    if (Usable(given) && GetFileType(given) != FILE_TYPE_UNKNOWN) return given;
    if (!attached) return nullptr;
    return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

}  // namespace

Win32Console::Win32Console() {
    const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
    out_ = Stream(STD_OUTPUT_HANDLE, attached);
    err_ = Stream(STD_ERROR_HANDLE, attached);
}

bool Win32Console::WriteBytes(HANDLE h, std::string_view bytes) {
    if (!Usable(h)) return false;
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1 << 20));
        if (!WriteFile(h, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// A console shows the characters themselves; a file gets them in the ANSI code page, or
// UTF-8 when that cannot hold them.
void Win32Console::WriteLine(HANDLE h, TextView line) {
    if (!Usable(h)) return;
    const Text text = Text(line) + u"\r\n";
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(h, &mode)) {
        WriteConsoleW(h, W(text), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const auto ansi = ToCodePageExactly(text, AnsiCodePage());
    WriteBytes(h, ansi ? *ansi : ToUtf8(text));
}

Text CommandLine() {
    return Text(FromW(GetCommandLineW()));
}

}  // namespace tarnwick::win32
