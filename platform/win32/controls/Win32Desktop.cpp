#include "platform/win32/controls/Win32Desktop.h"

#include <cderr.h>
#include <commdlg.h>

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

// The common dialog library is loaded at the first save rather than at start-up: it is
// large (over 5 MB of working set under Wine), and many runs never save.
struct CommonDialogs {
    decltype(&GetSaveFileNameW) getSaveFileName = nullptr;
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
            d.getSaveFileName = Export<decltype(&GetSaveFileNameW)>(m, "GetSaveFileNameW");
            d.extendedError = Export<decltype(&CommDlgExtendedError)>(m, "CommDlgExtendedError");
        }
        return d;
    }();
    return dialogs;
}

}  // namespace

// The request in its wide form, so that any name the file system takes can be chosen. Its
// size is that of the record without the members that later systems appended.
std::optional<Text> Win32Desktop::ShowSaveDialog(const SaveRequest& request) {
    const std::wstring filter(request.filter.begin(), request.filter.end());
    const std::wstring title(request.title.begin(), request.title.end());
    const std::wstring extension(request.defaultExtension.begin(), request.defaultExtension.end());
    // No initial name; the rest is not NUL, so that a path cut off at the buffer's end shows.
    std::wstring file(request.fileBufferSize, L'\x01');
    file[0] = L'\0';
    OPENFILENAMEW ofn{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
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
    if (file.find(L'\0') == std::wstring::npos) {  // never a path cut off at the buffer's end
        ownError_ = FNERR_BUFFERTOOSMALL;
        return std::nullopt;
    }
    return Text(FromW(file.c_str()));
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
