// The view's context menu, opened as a user opens it, read from the real menu on the
// screen and used by its access keys.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "resultview/win32/ResultBoxWindow.h"
#include "resultview/win32/ViewFinder.h"
#include "tests/support/ShownWindow.h"

namespace tarnwick::win32 {
namespace {

using tarnwick::testing::WhenShown;

constexpr wchar_t kMenuClass[] = L"#32768";
const std::vector<std::wstring> kCaptions = {
    L"撤消(&U)", L"-", L"剪切(&T)", L"复制(&C)", L"粘贴(&P)",
    L"删除(&D)", L"-", L"全选(&A)", L"-",        L"查找(&F)...\tCtrl+F"};

enum class Opened { RightClick, ShiftF10, MenuKey };

struct Shown {
    std::vector<std::wstring> captions, enabled;
    RECT place{};
};

Shown Read(HWND popup) {
    Shown shown;
    const auto menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = L"";
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING | MIIM_STATE | MIIM_FTYPE;
        info.dwTypeData = text;
        info.cch = 64;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        const std::wstring caption = (info.fType & MFT_SEPARATOR) ? L"-" : text;
        shown.captions.push_back(caption);
        if (caption != L"-" && !(info.fState & MFS_GRAYED)) shown.enabled.push_back(caption);
    }
    GetWindowRect(popup, &shown.place);
    return shown;
}

std::wstring Clipboard() {
    std::wstring text = L"(none)";
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

void PutOnClipboard(const wchar_t* text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(memory), text, bytes);
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

void WithKeys(std::initializer_list<int> keys, const std::function<void()>& act) {
    BYTE state[256], saved[256];
    GetKeyboardState(state);
    memcpy(saved, state, sizeof state);
    for (int k : keys) state[k] = 0x80;
    SetKeyboardState(state);
    act();
    SetKeyboardState(saved);
}

class ContextMenu : public ::testing::Test {
  protected:
    void SetUp() override {
        parent_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                                  300, nullptr, nullptr, nullptr, nullptr);
        view_ = std::make_unique<Win32ResultBox>(parent_, Rect{10, 10, 340, 200}, 1);
        SetForegroundWindow(parent_);
        SetFocus(view_->Handle());
    }
    void TearDown() override {
        view_.reset();
        DestroyWindow(parent_);
    }
    // Opens the menu, reads it, then presses `key` in it (Esc for none).
    Shown Open(Opened how, POINT click, WPARAM key) {
        Shown shown;
        WhenShown menu(kMenuClass, nullptr, [&](HWND popup) {
            shown = Read(popup);
            if (key == VK_ESCAPE) {
                PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
            } else {
                PostMessageW(popup, WM_CHAR, key, 0);
            }
        });
        const HWND h = view_->Handle();
        switch (how) {
            case Opened::RightClick:
                SendMessageW(h, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(click.x, click.y));
                ClientToScreen(h, &click);
                SendMessageW(h, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(h),
                             MAKELPARAM(click.x, click.y));
                break;
            case Opened::ShiftF10:
                WithKeys({VK_SHIFT}, [&] { SendMessageW(h, WM_SYSKEYDOWN, VK_F10, 1); });
                break;
            case Opened::MenuKey:
                SendMessageW(h, WM_KEYDOWN, VK_APPS, 1);
                SendMessageW(h, WM_KEYUP, VK_APPS, 0xC0000001);
                break;
        }
        EXPECT_TRUE(menu.seen);
        return shown;
    }
    // Where the keyboard opens the menu: at the caret, below its line.
    POINT BelowCaret() {
        POINT p = view_->PointOf(view_->Store().Caret());
        p.y += view_->LineHeight();
        ClientToScreen(view_->Handle(), &p);
        return p;
    }

    HWND parent_ = nullptr;
    std::unique_ptr<Win32ResultBox> view_;
};

TEST_F(ContextMenu, ShowsTheEditBoxItemsAndFindWithTheirStatesAndDoesWhatIsChosen) {
    const Text text = u"第一行 alpha\r\nsecond line\r\n";
    const size_t all = text.size(), lineTwo = text.find(u"second");
    struct Case {
        const char* what;
        Text text;
        size_t anchor, caret;
        Opened how;
        size_t clickAt;  // the character a right click lands on
        WPARAM key;
        bool copyEnabled, selectAllEnabled;
        size_t selFrom, selTo;  // after the key
        const wchar_t* clipboard;
    } cases[] = {
        {"empty listing", u"", 0, 0, Opened::ShiftF10, 0, VK_ESCAPE, false, false, 0, 0, L"before"},
        {"no selection: select all", text, 3, 3, Opened::ShiftF10, 0, 'a', false, true, 0, all,
         L"before"},
        {"a selection: copy", text, 4, 9, Opened::MenuKey, 0, 'c', true, true, 4, 9, L"alpha"},
        {"all selected: copy", text, 0, all, Opened::ShiftF10, 0, 'C', true, false, 0, all,
         L"第一行 alpha\r\nsecond line\r\n"},
        {"right click outside the selection moves the caret", text, 4, 9, Opened::RightClick,
         lineTwo, VK_ESCAPE, false, true, lineTwo, lineTwo, L"before"},
        {"right click inside it keeps it", text, 0, 9, Opened::RightClick, 6, 'c', true, true, 0, 9,
         L"第一行 alpha"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        view_->SetText(c.text);
        view_->Select(c.anchor, c.caret);
        PutOnClipboard(L"before");
        const POINT caretPoint = BelowCaret();
        POINT click = view_->PointOf(c.clickAt);
        click.x += 1;
        click.y += view_->LineHeight() / 2;
        const Shown shown = Open(c.how, click, c.key);
        EXPECT_EQ(shown.captions, kCaptions);
        std::vector<std::wstring> enabled;
        if (c.copyEnabled) enabled.push_back(L"复制(&C)");
        if (c.selectAllEnabled) enabled.push_back(L"全选(&A)");
        enabled.push_back(L"查找(&F)...\tCtrl+F");
        EXPECT_EQ(shown.enabled, enabled);
        if (c.how != Opened::RightClick) {
            EXPECT_EQ(shown.place.left, caretPoint.x);
            EXPECT_EQ(shown.place.top, caretPoint.y);
        }
        EXPECT_EQ(view_->Store().SelStart(), c.selFrom);
        EXPECT_EQ(view_->Store().SelEnd(), c.selTo);
        EXPECT_EQ(Clipboard(), c.clipboard);
    }
}

// Find, the last item, opens the find dialog with the selected text.
TEST_F(ContextMenu, FindOpensTheFindDialogWithTheSelection) {
    view_->SetText(u"one two three\r\n");
    view_->Select(4, 7);
    Open(Opened::ShiftF10, {}, 'f');
    const HWND dialog = tarnwick::testing::ShownWindowOf(GetCurrentThreadId(), L"#32770");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(tarnwick::testing::TextOf(GetDlgItem(dialog, 0x480)), L"two");
    DestroyWindow(dialog);
}

}  // namespace
}  // namespace tarnwick::win32
