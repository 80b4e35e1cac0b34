#include "platform/win32/Win32Lists.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/win32/LongPath.h"
#include "platform/win32/Wide.h"

namespace tarnwick::win32 {
namespace {

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

Text CurrentFolder() {
    std::wstring buffer(GetCurrentDirectoryW(0, nullptr), L'\0');
    const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    return n < buffer.size() ? Text(FromW(buffer.data(), n)) : Text();
}

// The full form of a folder's path, without a final separator except at a root.
Text FullPath(TextView path) {
    const Text typed(path);
    std::wstring buffer(GetFullPathNameW(W(typed), 0, nullptr, nullptr), L'\0');
    const DWORD n =
        GetFullPathNameW(W(typed), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    Text full = n < buffer.size() ? Text(FromW(buffer.data(), n)) : typed;
    if (full.size() > 3 && full.back() == u'\\') full.pop_back();
    return full;
}

// The run-time error for a folder that can't be opened.
RunTimeError OpenError(DWORD code) {
    switch (code) {
        case ERROR_NOT_READY:
            return MakeError(error::DiskNotReady);
        case ERROR_ACCESS_DENIED:
            return MakeError(error::PermissionDenied);
        default:
            return MakeError(error::PathNotFound);
    }
}

std::vector<Text> SubFolders(const Text& folder) {
    std::vector<Text> names;
    WIN32_FIND_DATAW d;
    const Text pattern = LongPath(folder.back() == u'\\' ? folder : folder + u"\\") + u"*";
    const HANDLE h = FindFirstFileExW(W(pattern), FindExInfoBasic, &d,
                                      FindExSearchLimitToDirectories, nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const Text name(FromW(d.cFileName));
        const bool folderEntry = d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        const bool hidden = d.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if (folderEntry && !hidden && name != u"." && name != u"..") names.push_back(name);
    } while (FindNextFileW(h, &d));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

Win32DriveList::Win32DriveList(HWND parent, Rect r)
    : Win32Control(CreateChild(parent, L"COMBOBOX", u"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                               {r.left, r.top, r.width, 200}, 1),
                   r, 1) {
    const DWORD mask = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(mask & (1u << i))) continue;
        const char16_t letter = static_cast<char16_t>(u'a' + i);
        letters_.push_back(letter);
        const Text item{letter, u':'};
        SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item)));
    }
    const Text current = CurrentFolder();
    if (!current.empty()) SendMessageW(hwnd_, CB_SETCURSEL, IndexOf(Lower(current[0])), 0);
}

int Win32DriveList::IndexOf(char16_t letter) const {
    const auto it = std::find(letters_.begin(), letters_.end(), letter);
    return it == letters_.end() ? -1 : static_cast<int>(it - letters_.begin());
}

Text Win32DriveList::GetDrive() const {
    const auto i = SendMessageW(hwnd_, CB_GETCURSEL, 0, 0);
    if (i < 0) return {};
    return Text{letters_[static_cast<size_t>(i)], u':'};
}

void Win32DriveList::SetDrive(TextView drive) {
    const int i = drive.empty() ? -1 : IndexOf(Lower(drive[0]));
    if (i < 0) throw MakeError(error::DeviceUnavailable);
    if (i == SendMessageW(hwnd_, CB_GETCURSEL, 0, 0)) return;
    SendMessageW(hwnd_, CB_SETCURSEL, i, 0);
    if (onChange) onChange();
}

void Win32DriveList::OnCommand(int code) {
    if (code == CBN_SELCHANGE && onChange) onChange();
}

Win32DirList::Win32DirList(HWND parent, Rect r)
    : Win32Control(CreateChild(parent, L"LISTBOX", u"",
                               LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, r, 1,
                               WS_EX_CLIENTEDGE),
                   r, 1),
      path_(FullPath(CurrentFolder())) {
    SetWindowSubclass(hwnd_, KeyProc, 0, reinterpret_cast<DWORD_PTR>(this));
    Fill();
}

void Win32DirList::SetPath(TextView path) {
    Text full = FullPath(path);  // a drive's text gives that drive's current folder
    const DWORD a = GetFileAttributesW(W(LongPath(full)));
    if (a == INVALID_FILE_ATTRIBUTES) throw OpenError(GetLastError());
    if (!(a & FILE_ATTRIBUTE_DIRECTORY)) throw MakeError(error::PathNotFound);
    path_ = std::move(full);
    Fill();
    if (onChange) onChange();
}

// The path from the root down, one item per folder, then the sub-folders one level in.
void Win32DirList::Fill() {
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
    itemPaths_.clear();
    auto add = [this](const Text& label, const Text& full) {
        SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(label)));
        itemPaths_.push_back(full);
    };
    size_t depth = 0, start = 0;
    while (start < path_.size()) {
        size_t end = path_.find(u'\\', start);
        if (end == Text::npos) end = path_.size();
        const bool root = start == 0;
        const Text name = path_.substr(start, end - start + (root ? 1 : 0));
        const Text full = path_.substr(0, root ? end + 1 : end);
        add(Text(depth * 2, u' ') + name, full);
        ++depth;
        start = end + 1;
    }
    const int opened = static_cast<int>(itemPaths_.size()) - 1;
    const Text base = path_.back() == u'\\' ? path_ : path_ + u"\\";
    for (const Text& sub : SubFolders(path_)) add(Text(depth * 2, u' ') + sub, base + sub);
    SendMessageW(hwnd_, LB_SETCURSEL, opened, 0);
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32DirList::OpenSelected() {
    const auto i = SendMessageW(hwnd_, LB_GETCURSEL, 0, 0);
    if (i < 0 || static_cast<size_t>(i) >= itemPaths_.size()) return;
    try {
        SetPath(itemPaths_[static_cast<size_t>(i)]);
    } catch (const RunTimeError&) {
        Fill();  // the folder has gone: show what there is now
    }
}

void Win32DirList::OnCommand(int code) {
    if (code == LBN_DBLCLK) OpenSelected();
}

LRESULT CALLBACK Win32DirList::KeyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                       DWORD_PTR self) {
    if (msg == WM_GETDLGCODE && wp == VK_RETURN) return DLGC_WANTALLKEYS;
    if (msg == WM_KEYDOWN && wp == VK_RETURN) {
        reinterpret_cast<Win32DirList*>(self)->OpenSelected();
        return 0;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace tarnwick::win32
