// The read-only edit box's context menu, with Find below it, and the keys that open them.
#include <windowsx.h>

#include "resultview/win32/ResultBoxWindow.h"
#include "resultview/win32/ViewFinder.h"

namespace tarnwick::win32 {
namespace {

// The edit box's own commands are the messages they send; Find is ours.
constexpr UINT kSelectAll = EM_SETSEL;
constexpr UINT kFind = 0x100;

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
                           {L"查找(&F)...\tCtrl+F", kFind}};

bool Enabled(UINT command, const TextStore& text) {
    switch (command) {
        case WM_COPY:
            return text.SelEnd() > text.SelStart();
        case kSelectAll:  // as the edit box: not when all of it is selected already
            return text.SelStart() > 0 || text.SelEnd() < text.Length();
        case kFind:
            return true;
    }
    return false;  // the listing is read-only
}

bool KeyboardPoint(LPARAM lp) {
    return lp == -1;
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
    for (const Item& item : kItems) {
        if (!item.caption) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuW(menu, MF_STRING | (Enabled(item.command, text_) ? 0 : MF_GRAYED),
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
    }
}

// The menu's keys, Find's keys, and a right click, which moves the caret as the edit box
// does when it lands outside the selection; the menu comes with the button's release.
bool Win32ResultBox::OnMenuMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (finder_ && finder_->OnMessage(msg, wp, lp, result)) return true;
    const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
    result = 0;
    switch (msg) {
        case WM_CONTEXTMENU: {
            POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            if (KeyboardPoint(lp)) {  // below the caret
                ApplyPendingScroll();
                at = PointOf(text_.Caret());
                at.y += lineHeight_;
                ClientToScreen(hwnd_, &at);
            } else {
                POINT client = at;
                ScreenToClient(hwnd_, &client);
                RECT r;
                GetClientRect(hwnd_, &r);
                if (!PtInRect(&r, client)) return false;  // the scroll bars' own
            }
            ShowContextMenu(at);
            return true;
        }
        case WM_RBUTTONDOWN: {
            SetFocus(hwnd_);
            const size_t pos = CharAt({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
            if (pos < text_.SelStart() || pos > text_.SelEnd()) MoveCaret(pos, false);
            return true;
        }
        case WM_SYSKEYDOWN:  // Shift+F10
        case WM_KEYUP:       // the context-menu key
            if (msg == WM_SYSKEYDOWN ? wp != VK_F10 || !shift : wp != VK_APPS) return false;
            SendMessageW(hwnd_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd_), -1);
            return true;
        case WM_KEYDOWN:
            if (wp == 'F' && ctrl && !shift) {
                Finder().OpenDialog();
            } else if (wp == VK_F3 && !ctrl) {
                Finder().FindNext(shift);
            } else {
                return false;
            }
            return true;
    }
    return false;
}

}  // namespace tarnwick::win32
