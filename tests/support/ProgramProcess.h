#pragma once
// Tarnwick.exe and Tarnwick.com as separate processes, and what the window they start shows,
// read from the real window.
#include <windows.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace tarnwick::testing {

// The full path of a module or a process image, at any length.
inline std::wstring ModulePath(HMODULE module = nullptr) {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

// Tarnwick.exe and Tarnwick.com are built beside the folder of the tests.
inline std::wstring ProgramPath(const wchar_t* name = L"Tarnwick.exe") {
    return (std::filesystem::path(ModulePath()).parent_path().parent_path() / name).wstring();
}

inline std::wstring ProcessImage(DWORD process) {
    const HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    std::wstring image(32768, L'\0');
    DWORD n = static_cast<DWORD>(image.size());
    if (!p || !QueryFullProcessImageNameW(p, 0, image.data(), &n)) n = 0;
    if (p) CloseHandle(p);
    image.resize(n);
    return image;
}

// The main window of a Tarnwick.exe process (of this one, when given), once one shows;
// null if none does. Other tests' windows of the same title, in processes of their own,
// are passed over.
inline HWND ProgramWindow(DWORD process = 0) {
    for (int i = 0; i < 3000; ++i) {  // a bound, not a deadline: the window comes or fails
        for (HWND h = nullptr; (h = FindWindowExW(nullptr, h, nullptr, L"Tarnwick"));) {
            DWORD owner = 0;
            GetWindowThreadProcessId(h, &owner);
            if (process && owner != process) continue;
            if (ProcessImage(owner).ends_with(L"\\Tarnwick.exe")) return h;
        }
        Sleep(10);
    }
    return nullptr;
}

// A window's text, read through its messages: GetWindowText reads only captions in
// another process.
inline std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

// What the window's controls hold: the path box among them.
inline std::vector<std::wstring> ChildTexts(HWND window) {
    std::vector<std::wstring> all;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM found) {
            reinterpret_cast<std::vector<std::wstring>*>(found)->push_back(WindowText(child));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

// What a started program showed once it waited for the user: the main window's controls,
// and the titles of the boxes it showed besides (an error box).
struct Shown {
    std::vector<std::wstring> controls, boxes;
    bool operator==(const Shown&) const = default;
    friend void PrintTo(const Shown& shown, std::ostream* os) {
        for (const auto* texts : {&shown.controls, &shown.boxes}) {
            *os << (texts == &shown.boxes ? " boxes:" : "controls:");
            for (const std::wstring& t : *texts) {
                std::string utf8(t.size() * 3, '\0');
                utf8.resize(static_cast<size_t>(WideCharToMultiByte(
                    CP_UTF8, 0, t.data(), static_cast<int>(t.size()), utf8.data(),
                    static_cast<int>(utf8.size()), nullptr, nullptr)));
                *os << " [" << utf8 << "]";
            }
        }
    }
};

inline std::vector<HWND> OtherWindows(DWORD process, HWND main) {
    struct Search {
        DWORD process;
        HWND main;
        std::vector<HWND> found;
    } search{process, main, {}};
    EnumWindows(
        [](HWND h, LPARAM p) {
            auto& s = *reinterpret_cast<Search*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(h, &owner);
            if (owner == s.process && h != s.main && IsWindowVisible(h)) s.found.push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Reads the Tarnwick.exe window that shows next (of `process`, when given), then closes
// it, and its boxes first, and waits for its process to end. Empty when no window shows.
inline Shown ReadAndClose(DWORD process = 0) {
    const HWND window = ProgramWindow(process);
    if (!window) return {};
    GetWindowThreadProcessId(window, &process);
    const HANDLE running = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, process);
    WaitForInputIdle(running, INFINITE);  // made whole and waiting for the user
    Shown shown{ChildTexts(window), {}};
    for (const HWND box : OtherWindows(process, window)) {
        shown.boxes.push_back(WindowText(box));
        PostMessageW(box, WM_CLOSE, 0, 0);
        for (int i = 0; i < 3000 && IsWindow(box); ++i) Sleep(10);
    }
    WaitForInputIdle(running, INFINITE);
    PostMessageW(window, WM_CLOSE, 0, 0);
    WaitForSingleObject(running, INFINITE);
    CloseHandle(running);
    return shown;
}

}  // namespace tarnwick::testing
