#include "platform/win32/controls/Win32DirList.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/win32/GrowingPath.h"
#include "platform/win32/Wide.h"
#include "platform/win32/controls/ShellIcons.h"
#include "platform/win32/files/LongPath.h"

namespace tarnwick::win32 {
namespace {

Text CurrentFolderText() {
    const std::wstring folder = CurrentFolder();
    return Text(FromW(folder.data(), folder.size()));
}

// A drive list's entry: the letter and colon, maybe followed by " [label]".
bool IsDriveText(TextView text) {
    return text.size() >= 2 && text[1] == u':' && (text.size() == 2 || text.substr(2, 2) == u" [");
}

// The full form of a folder's path, without a final separator except at a root. A drive's
// text gives that drive's current folder.
Text FullPath(TextView path) {
    const Text typed(IsDriveText(path) ? path.substr(0, 2) : path);
    const std::wstring resolved = FullPathName(W(typed));
    Text full = resolved.empty() ? typed : Text(FromW(resolved.data(), resolved.size()));
    if (full.size() > 3 && full.back() == u'\\') full.pop_back();
    return full;
}

// The run-time error for a folder that can't be opened: an empty drive is not ready; a
// drive whose root can't be reached at all (a dead network drive, a vanished device) is
// unavailable; anything else is a path not found.
RunTimeError OpenError(const Text& full, DWORD code) {
    if (code == ERROR_NOT_READY) return MakeError(error::DiskNotReady);
    if (code == ERROR_ACCESS_DENIED) return MakeError(error::PermissionDenied);
    const bool onDrive = full.size() >= 3 && full[1] == u':';
    if (onDrive && GetFileAttributesW(W(full.substr(0, 3))) == INVALID_FILE_ATTRIBUTES)
        return MakeError(error::DeviceUnavailable);
    return MakeError(error::PathNotFound);
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

Win32DirList::Win32DirList(HWND parent, Rect r)
    : Win32Control(CreateChild(parent, L"LISTBOX", u"",
                               LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_OWNERDRAWFIXED |
                                   LBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP,
                               r, 1, WS_EX_CLIENTEDGE),
                   r, 1),
      path_(FullPath(CurrentFolderText())) {
    FitItemHeight();
    Fill();
}

// Items as high as the font's, and never lower than the icons with a pixel's room.
void Win32DirList::FitItemHeight() {
    const HDC dc = GetDC(hwnd_);
    const HGDIOBJ old = SelectObject(dc, InterfaceFont(DpiOf(hwnd_)));
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    const int icons = Scaled(kSmallIconSize + 2, DpiOf(hwnd_));
    SendMessageW(hwnd_, LB_SETITEMHEIGHT, 0, std::max<LONG>(tm.tmHeight, icons));
}

void Win32DirList::OnDpiChanged() {
    Win32Control::OnDpiChanged();
    FitItemHeight();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32DirList::SetPath(TextView path) {
    Text full = FullPath(path);  // a drive's text gives that drive's current folder
    const DWORD a = GetFileAttributesW(W(LongPath(full)));
    if (a == INVALID_FILE_ATTRIBUTES) throw OpenError(full, GetLastError());
    if (!(a & FILE_ATTRIBUTE_DIRECTORY)) throw MakeError(error::PathNotFound);
    path_ = std::move(full);
    Fill();
    if (onChange) onChange();
}

// The path from the root down, one item per folder, then the sub-folders one level in.
void Win32DirList::Fill() {
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
    items_.clear();
    auto add = [this](const Text& name, const Text& full, int depth, bool onPath) {
        SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(name)));
        items_.push_back({full, depth, onPath});
    };
    int depth = 0;
    size_t start = 0;
    while (start < path_.size()) {
        size_t end = path_.find(u'\\', start);
        if (end == Text::npos) end = path_.size();
        const bool root = start == 0;
        const Text name = path_.substr(start, end - start + (root ? 1 : 0));
        const Text full = path_.substr(0, root ? end + 1 : end);
        add(name, full, depth, true);
        ++depth;
        start = end + 1;
    }
    const int opened = static_cast<int>(items_.size()) - 1;
    const Text base = path_.back() == u'\\' ? path_ : path_ + u"\\";
    for (const Text& sub : SubFolders(path_)) add(sub, base + sub, depth, false);
    SendMessageW(hwnd_, LB_SETCURSEL, opened, 0);
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32DirList::OpenSelected() {
    const auto i = SendMessageW(hwnd_, LB_GETCURSEL, 0, 0);
    if (i < 0 || static_cast<size_t>(i) >= items_.size()) return;
    try {
        SetPath(items_[static_cast<size_t>(i)].path);
    } catch (const RunTimeError&) {
        Fill();  // the folder has gone: show what there is now
    }
}

void Win32DirList::OnCommand(int code) {
    if (code == LBN_DBLCLK) OpenSelected();
}

// The folders on the path show open, the sub-folders closed, each level indented.
void Win32DirList::OnDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.itemID >= items_.size()) return;
    const Item& it = items_[item.itemID];
    const auto length = SendMessageW(hwnd_, LB_GETTEXTLEN, item.itemID, 0);
    std::wstring name(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
    SendMessageW(hwnd_, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(name.data()));
    const UINT dpi = DpiOf(hwnd_);
    DrawIconItem(item, it.onPath ? SIID_FOLDEROPEN : SIID_FOLDER, it.depth * Scaled(10, dpi),
                 name.c_str(), Scaled(kSmallIconSize, dpi), dpi);
}

// Enter opens the selected folder, as a double-click does.
bool Win32DirList::OnControlMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    if (msg == WM_GETDLGCODE && wp == VK_RETURN) {
        result = DLGC_WANTALLKEYS;
        return true;
    }
    if (msg == WM_KEYDOWN && wp == VK_RETURN) {
        OpenSelected();
        result = 0;
        return true;
    }
    return false;
}

}  // namespace tarnwick::win32
