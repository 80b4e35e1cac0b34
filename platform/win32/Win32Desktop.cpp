#include "platform/win32/Win32Desktop.h"

#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
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

namespace {

std::string Ansi(TextView text) {
    if (text.empty()) return {};
    const auto* w = reinterpret_cast<const wchar_t*>(text.data());
    const int n = static_cast<int>(text.size());
    std::string out(
        static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, w, n, nullptr, 0, nullptr, nullptr)),
        '\0');
    WideCharToMultiByte(CP_ACP, 0, w, n, out.data(), static_cast<int>(out.size()), nullptr,
                        nullptr);
    return out;
}

// The common dialog library is loaded at the first save rather than at start-up: it is
// large (over 5 MB of working set under Wine), and many runs never save.
struct CommonDialogs {
    decltype(&GetSaveFileNameA) getSaveFileName = nullptr;
    decltype(&CommDlgExtendedError) extendedError = nullptr;
};

template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

const CommonDialogs& Comdlg32() {
    static const CommonDialogs dialogs = [] {
        CommonDialogs d;
        const HMODULE m = LoadLibraryExW(L"comdlg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (m) {
            d.getSaveFileName = Export<decltype(&GetSaveFileNameA)>(m, "GetSaveFileNameA");
            d.extendedError = Export<decltype(&CommDlgExtendedError)>(m, "CommDlgExtendedError");
        }
        return d;
    }();
    return dialogs;
}

Text FromAnsi(const char* s) {
    const int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(std::max(n, 1)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s, -1, w.data(), n);
    return Text(FromW(w.c_str()));
}

}  // namespace

// The request in its ANSI form. Its size is that of the record without the members that
// later systems appended: 76 bytes on 32-bit Windows, and the same layout's size here.
std::optional<Text> Win32Desktop::ShowSaveDialog(const SaveRequest& request) {
    const std::string filter = Ansi(request.filter);
    const std::string title = Ansi(request.title);
    const std::string extension = Ansi(request.defaultExtension);
    // No initial name; the rest is not NUL, so that a path cut off at the buffer's end shows.
    std::string file(request.fileBufferSize, '\x01');
    file[0] = '\0';
    OPENFILENAMEA ofn{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner_;
    ofn.hInstance = GetModuleHandleW(nullptr);
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = request.fileBufferSize;
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = request.flags;
    ofn.lpstrDefExt = extension.c_str();
    ownError_ = 0;
    const CommonDialogs& dialogs = Comdlg32();
    if (!dialogs.getSaveFileName || !dialogs.extendedError) {
        ownError_ = CDERR_INITIALIZATION;
        return std::nullopt;
    }
    if (!dialogs.getSaveFileName(&ofn)) return std::nullopt;
    // Wine's ANSI dialog reports success for a path that fits the buffer in characters but
    // not in bytes, and leaves it cut off with no error of its own.
    if (file.find('\0') == std::string::npos) {
        ownError_ = FNERR_BUFFERTOOSMALL;
        return std::nullopt;
    }
    return FromAnsi(file.c_str());
}

uint32_t Win32Desktop::SaveDialogError() {
    if (ownError_) return ownError_;
    const auto extendedError = Comdlg32().extendedError;
    return extendedError ? extendedError() : CDERR_INITIALIZATION;
}

void Win32Desktop::Beep() {
    MessageBeep(MB_OK);
}

}  // namespace tarnwick::win32
