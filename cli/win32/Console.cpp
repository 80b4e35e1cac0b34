#include "cli/win32/Console.h"

#include <algorithm>
#include <string>

#include "platform/Ansi.h"
#include "platform/win32/GrowingPath.h"
#include "platform/win32/Wide.h"

namespace tarnwick::win32 {
namespace {

bool Usable(HANDLE h) {
    return h != nullptr && h != INVALID_HANDLE_VALUE;
}

// A console shows characters, whatever its code page; anything else takes bytes.
bool IsConsole(HANDLE h) {
    DWORD mode = 0;
    return Usable(h) && GetConsoleMode(h, &mode);
}

// In pieces a console takes whole, never parting a surrogate pair.
bool WriteCharacters(HANDLE h, TextView text) {
    for (size_t at = 0; at < text.size();) {
        size_t piece = std::min<size_t>(text.size() - at, 8192);
        if (piece > 1 && IsHighSurrogate(text[at + piece - 1])) --piece;
        DWORD written = 0;
        if (!WriteConsoleW(h, reinterpret_cast<const wchar_t*>(text.data() + at),
                           static_cast<DWORD>(piece), &written, nullptr) ||
            written == 0)
            return false;
        at += written;
    }
    return true;
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

// A console, whatever its code page, is given the characters (its byte-order mark aside).
bool Win32Console::OutputUtf8(std::string_view bytes) {
    if (!TakesText()) return WriteBytes(out_, bytes);
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    if (bytes.empty()) return true;
    const int n = static_cast<int>(bytes.size());
    std::wstring text(static_cast<size_t>(n), L'\0');
    text.resize(
        static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), n, text.data(), n)));
    return WriteCharacters(out_, FromW(text.data(), text.size()));
}

bool Win32Console::TakesText() const {
    return IsConsole(out_);
}

bool Win32Console::OutputText(TextView text) {
    Text joined;
    if (!carried_.empty()) {
        joined = carried_ + Text(text);
        text = joined;
        carried_.clear();
    }
    if (!text.empty() && IsHighSurrogate(text.back())) {
        carried_ = text.substr(text.size() - 1);
        text.remove_suffix(1);
    }
    return WriteCharacters(out_, text);
}

// A console shows the characters themselves; a file gets them in the ANSI code page, or
// UTF-8 when that cannot hold them.
void Win32Console::WriteLine(HANDLE h, TextView line) {
    if (!Usable(h)) return;
    const Text text = Text(line) + u"\r\n";
    if (IsConsole(h)) {
        WriteCharacters(h, text);
        return;
    }
    const auto ansi = ToCodePageExactly(text, AnsiCodePage());
    WriteBytes(h, ansi ? *ansi : ToUtf8(text));
}

Text CommandLine() {
    return Text(FromW(GetCommandLineW()));
}

std::wstring WindowProgram() {
    std::wstring path = ModuleFileName();
    const size_t name = path.find_last_of(L"\\/") + 1;  // 0 without a separator
    const size_t dot = path.rfind(L'.');
    if (dot != std::wstring::npos && dot >= name && _wcsicmp(path.c_str() + dot, L".com") == 0)
        path.replace(dot, std::wstring::npos, L".exe");
    return path;
}

}  // namespace tarnwick::win32
