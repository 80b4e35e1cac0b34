#include "resultview/win32/ShowInFolder.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <string>

namespace tarnwick::win32 {
namespace {

// A relative listing (a folder typed so) is read against the current folder, as the walk
// read it. A full path is left as it is: the system's rules would drop a name's final dot
// or blank, which the listing keeps.
std::wstring FullPathOf(TextView path) {
    const std::wstring given(path.begin(), path.end());
    const bool onDrive =
        given.size() > 2 && given[1] == L':' && (given[2] == L'\\' || given[2] == L'/');
    if (onDrive || given.starts_with(L"\\\\")) return given;
    const DWORD size = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (size == 0) return given;
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(given.c_str(), size, full.data(), nullptr));
    return full;
}

// Up to its last separator, kept where it ends a drive's root.
std::wstring FolderOf(const std::wstring& path) {
    const size_t cut = path.find_last_of(L"\\/");
    if (cut == std::wstring::npos) return path;
    const bool root = cut == 0 || path[cut - 1] == L':';
    return path.substr(0, root ? cut + 1 : cut);
}

}  // namespace

ShellCalls SystemShell() {
    return {[](const std::wstring& item) {
                PIDLIST_ABSOLUTE id = nullptr;
                if (FAILED(SHParseDisplayName(item.c_str(), nullptr, &id, 0, nullptr)))
                    return false;
                const HRESULT shown = SHOpenFolderAndSelectItems(id, 0, nullptr, 0);
                CoTaskMemFree(id);
                return SUCCEEDED(shown);
            },
            [](const std::wstring& folder) {
                ShellExecuteW(nullptr, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
            }};
}

void ShowInFolder(TextView path, const ShellCalls& shell) {
    const std::wstring full = FullPathOf(path);
    if (!shell.select(full)) shell.open(FolderOf(full));
}

}  // namespace tarnwick::win32
