// The read-only edit box's context menu, with Find below it, and the keys that open them.
#include <windowsx.h>

#include <algorithm>
#include <new>
#include <optional>

#include "resultview/win32/ResultBoxWindow.h"
#include "resultview/win32/ViewFinder.h"

namespace tarnwick::win32 {
namespace {

// The edit box's own commands are the messages they send; Find and the entry's are ours.
constexpr UINT kSelectAll = EM_SETSEL;
constexpr UINT kFind = 0x100;
constexpr UINT kCopyPath = 0x101;
constexpr UINT kOpenFolder = 0x102;

struct Item {
    const wchar_t* caption;  // null: a separator
    UINT command;
};
constexpr Item kItems[] = {{L"撤消(&U)", WM_UNDO},
                           {nullptr, 0},
                           {L"剪切(&T)", WM_CUT},
                           {L"复制(&C)", WM_COPY},
                           {L"粘贴(&P)", WM_PASTE},
                           {L"删除(&D)", WM_CLEAR},
                           {nullptr, 0},
                           {L"全选(&A)", kSelectAll},
                           {nullptr, 0},
                           {L"查找(&F)...\tCtrl+F", kFind},
                           {nullptr, 0},
                           {L"复制完整路径(&L)", kCopyPath},
                           {L"打开所在文件夹(&O)", kOpenFolder}};

// The entry's items where the lines they act on hold an entry of the listing shown.
bool Enabled(UINT command, const TextStore& text, bool onEntry) {
    switch (command) {
        case kCopyPath:
        case kOpenFolder:
            return onEntry;
        case WM_COPY:
            return text.SelEnd() > text.SelStart();
        case kSelectAll:  // as the edit box: not when all of it is selected already
            return text.SelStart() > 0 || text.SelEnd() < text.Length();
        case kFind:
            return true;
    }
    return false;  // the listing is read-only
}

// Where the menu opens, on the screen: below the caret for the keyboard, else where the
// mouse was; none outside the text (the scroll bars have a menu of their own).
std::optional<POINT> MenuPoint(Win32ResultBox& view, LPARAM lp) {
    const HWND h = view.Handle();
    if (GET_X_LPARAM(lp) == -1 && GET_Y_LPARAM(lp) == -1) {  // from the keyboard
        view.ApplyPendingScroll();
        POINT at = view.PointOf(view.Store().Caret());
        at.y += view.LineHeight();
        ClientToScreen(h, &at);
        return at;
    }
    const POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    POINT client = at;
    ScreenToClient(h, &client);
    RECT r;
    GetClientRect(h, &r);
    if (!PtInRect(&r, client)) return std::nullopt;
    return at;
}

// Shift+F10 and the context-menu key open the menu; Ctrl+F and F3 find.
bool OnMenuOrFindKey(Win32ResultBox& view, UINT msg, WPARAM key) {
    const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
    if ((msg == WM_SYSKEYDOWN && key == VK_F10 && shift) || (msg == WM_KEYUP && key == VK_APPS)) {
        SendMessageW(view.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view.Handle()), -1);
    } else if (msg == WM_KEYDOWN && key == 'F' && ctrl && !shift) {
        view.Finder().OpenDialog();
    } else if (msg == WM_KEYDOWN && key == VK_F3 && !ctrl) {
        view.Finder().FindNext(shift);
    } else {
        return false;
    }
    return true;
}

}  // namespace

ViewFinder& Win32ResultBox::Finder() {
    if (!finder_) finder_ = std::make_unique<ViewFinder>(*this);
    return *finder_;
}

// At `screen`, a point on the screen; the chosen command runs here.
void Win32ResultBox::ShowContextMenu(POINT screen) {
    const HMENU menu = CreatePopupMenu();
    if (!menu) return;
    const bool onEntry = entries_.FirstPathOf(text_, LineEntries::Selected(text_)).has_value();
    for (const Item& item : kItems) {
        if (!item.caption) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuW(menu, MF_STRING | (Enabled(item.command, text_, onEntry) ? 0 : MF_GRAYED),
                        item.command, item.caption);
        }
    }
    const UINT command =
        static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                         screen.x, screen.y, 0, hwnd_, nullptr));
    DestroyMenu(menu);
    switch (command) {
        case WM_COPY:
            return Copy();
        case kSelectAll:
            return Select(0, text_.Length());
        case kFind:
            return Finder().OpenDialog();
        case kCopyPath:
            return CopyPaths();
        case kOpenFolder:
            return OpenFolderOfEntry();
    }
}

// The paths of the lines the selection covers (or the caret's), one a line, put on the
// clipboard as a copy is. Out of memory, nothing is copied and the user hears so.
void Win32ResultBox::CopyPaths() {
    Text paths;
    try {
        paths = entries_.PathsOf(text_, LineEntries::Selected(text_));
    } catch (const std::bad_alloc&) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    if (paths.empty()) return;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (paths.size() + 1) * sizeof(wchar_t));
    if (!memory) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    auto* p = static_cast<char16_t*>(GlobalLock(memory));
    std::copy(paths.begin(), paths.end(), p);
    p[paths.size()] = u'\0';
    GlobalUnlock(memory);
    if (!clipboard_.Put(memory, hwnd_)) GlobalFree(memory);
}

// The first entry among those lines.
void Win32ResultBox::OpenFolderOfEntry() {
    if (const auto path = entries_.FirstPathOf(text_, LineEntries::Selected(text_)))
        showInFolder(*path);
}

// The menu and Find's messages, their keys, and a right click, which moves the caret as
// the edit box does when it lands outside the selection; the menu comes with its release.
bool Win32ResultBox::OnMenuMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (finder_ && finder_->OnMessage(msg, wp, lp, result)) return true;
    result = 0;
    switch (msg) {
        case WM_CONTEXTMENU: {
            const std::optional<POINT> at = MenuPoint(*this, lp);
            if (at) ShowContextMenu(*at);
            return at.has_value();
        }
        case WM_RBUTTONDOWN: {
            SetFocus(hwnd_);
            const size_t pos = CharAt({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
            if (pos < text_.SelStart() || pos > text_.SelEnd()) MoveCaret(pos, false);
            return true;
        }
        case WM_SYSKEYDOWN:
        case WM_KEYUP:
        case WM_KEYDOWN:
            return OnMenuOrFindKey(*this, msg, wp);
    }
    return false;
}

}  // namespace tarnwick::win32
