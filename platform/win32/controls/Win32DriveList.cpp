#include "platform/win32/controls/Win32DriveList.h"

#include <winnetwk.h>

#include <algorithm>
#include <string>

#include "platform/win32/GrowingPath.h"
#include "platform/win32/Wide.h"
#include "platform/win32/controls/ShellIcons.h"

namespace tarnwick::win32 {
namespace {

constexpr float kDroppedHeight = 200;

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

char16_t CurrentDriveLetter() {
    const std::wstring folder = CurrentFolder();
    return folder.size() > 1 && folder[1] == L':' ? Lower(static_cast<char16_t>(folder[0])) : 0;
}

// What Explorer shows after the letter: the volume label, or a network drive's share.
// A network drive's share comes from the local table of connections, so a dead server
// costs no wait; the other drives are asked for their label, which an empty drive
// refuses at once (the program turns off the system's "insert a disk" dialog).
Text Description(const wchar_t* root, UINT type) {
    if (type == DRIVE_REMOTE) {
        const wchar_t device[] = {root[0], L':', 0};
        const auto share = GrowingPath([&device](wchar_t* b, DWORD size) -> size_t {
            DWORD needed = size;
            const DWORD status = WNetGetConnectionW(device, b, &needed);
            if (status == ERROR_MORE_DATA) return std::max(needed, size);
            return status == NO_ERROR ? wcslen(b) : 0;
        });
        return share ? Text(FromW(share->data(), share->size())) : Text();
    }
    wchar_t name[MAX_PATH + 1] = {};  // a label, of 32 characters at most
    if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN ||
        !GetVolumeInformationW(root, name, MAX_PATH, nullptr, nullptr, nullptr, nullptr, 0))
        return {};
    return Text(FromW(name));
}

int WindowHeight(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    return r.bottom - r.top;
}

SHSTOCKICONID DriveIcon(char16_t letter, UINT type) {
    SHSTOCKICONID id = SIID_DRIVEFIXED;
    switch (type) {
        case DRIVE_REMOVABLE:
            id = letter == u'a' || letter == u'b' ? SIID_DRIVE35 : SIID_DRIVEREMOVE;
            break;
        case DRIVE_REMOTE:
            id = SIID_DRIVENET;
            break;
        case DRIVE_CDROM:
            id = SIID_DRIVECD;
            break;
        case DRIVE_RAMDISK:
            id = SIID_DRIVERAM;
            break;
        case DRIVE_NO_ROOT_DIR:
        case DRIVE_UNKNOWN:
            id = SIID_DRIVENETDISABLED;
            break;
    }
    return id;
}

}  // namespace

Win32DriveList::Win32DriveList(HWND parent, Rect r)
    : Win32Control(CreateChild(parent, L"COMBOBOX", u"",
                               CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL |
                                   WS_TABSTOP,
                               {r.left, r.top, r.width, kDroppedHeight}, 1),
                   r, 1) {
    FitHeight(Px(r.height));
    Fill(CurrentDriveLetter());
}

// The box is made as high as its dropped list; its field is then fitted to the height.
void Win32DriveList::OnDpiChanged() {
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(InterfaceFont(DpiOf(hwnd_))), TRUE);
    const Rect r = GetRect();
    MoveWindow(hwnd_, Px(r.left), Px(r.top), Px(r.width), Px(kDroppedHeight), TRUE);
    FitHeight(Px(r.height));
}

// The closed box at `height`; the icons are drawn to fit each item's height. What the field's
// height counts differs (Wine adds two pixels), so the border around it is measured by setting the
// field's present height once.
void Win32DriveList::FitHeight(int height) {
    constexpr auto kField = static_cast<WPARAM>(-1);
    const auto field = SendMessageW(hwnd_, CB_GETITEMHEIGHT, kField, 0);
    SendMessageW(hwnd_, CB_SETITEMHEIGHT, kField, field);
    const int border = WindowHeight(hwnd_) - static_cast<int>(field);
    SendMessageW(hwnd_, CB_SETITEMHEIGHT, kField, std::max(height - border, 1));
    // The dropped list's rows hold a small icon and a line of text whole.
    const int row = std::max({static_cast<int>(SendMessageW(hwnd_, CB_GETITEMHEIGHT, kField, 0)),
                              Scaled(18, DpiOf(hwnd_)), FontLineHeight(hwnd_) + 2});
    SendMessageW(hwnd_, CB_SETITEMHEIGHT, 0, row);
}

// The system's drives, asked afresh, with `selected` selected when it is still there.
void Win32DriveList::Fill(char16_t selected) {
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
    drives_.clear();
    const DWORD mask = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(mask & (1u << i))) continue;
        const char16_t letter = static_cast<char16_t>(u'a' + i);
        const wchar_t root[] = {static_cast<wchar_t>(L'A' + i), L':', L'\\', 0};
        const UINT type = GetDriveTypeW(root);
        Text text{letter, u':'};
        const Text description = Description(root, type);
        if (!description.empty()) text += u" [" + description + u"]";
        drives_.push_back({letter, text, DriveIcon(letter, type)});
        SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(text)));
    }
    SendMessageW(hwnd_, CB_SETCURSEL, IndexOf(selected), 0);
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

int Win32DriveList::IndexOf(char16_t letter) const {
    const auto it = std::find_if(drives_.begin(), drives_.end(),
                                 [letter](const Drive& d) { return d.letter == letter; });
    return it == drives_.end() ? -1 : static_cast<int>(it - drives_.begin());
}

char16_t Win32DriveList::SelectedLetter() const {
    const auto i = SendMessageW(hwnd_, CB_GETCURSEL, 0, 0);
    return i < 0 ? 0 : drives_[static_cast<size_t>(i)].letter;
}

Text Win32DriveList::GetDrive() const {
    const auto i = SendMessageW(hwnd_, CB_GETCURSEL, 0, 0);
    return i < 0 ? Text() : drives_[static_cast<size_t>(i)].text;
}

// A letter the list doesn't hold may name a drive mapped or plugged in since it was read:
// the drives are read again for a text that names one ("X:"), not for every keystroke.
void Win32DriveList::SetDrive(TextView drive) {
    const char16_t letter = drive.empty() ? 0 : Lower(drive[0]);
    int i = IndexOf(letter);
    if (i < 0 && letter >= u'a' && letter <= u'z' && drive.size() >= 2 && drive[1] == u':') {
        Fill(SelectedLetter());
        i = IndexOf(letter);
    }
    if (i < 0) throw MakeError(error::DeviceUnavailable);
    if (i == SendMessageW(hwnd_, CB_GETCURSEL, 0, 0)) return;
    SendMessageW(hwnd_, CB_SETCURSEL, i, 0);
    if (onChange) onChange();
}

void Win32DriveList::OnCommand(int code) {
    if (code == CBN_DROPDOWN) {
        Fill(SelectedLetter());  // a drive plugged in or a disc inserted since shows
    } else if (code == CBN_SELCHANGE && onChange) {
        onChange();
    }
}

void Win32DriveList::OnDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.itemID >= drives_.size()) return;  // also the empty selection field (-1)
    const Drive& d = drives_[item.itemID];
    // A small icon, shrunk where the closed field is lower than one.
    const UINT dpi = DpiOf(hwnd_);
    DrawIconItem(item, d.icon, 0, W(d.text), Scaled(16, dpi), dpi);
}

}  // namespace tarnwick::win32
