// The view's context menu and Find, used as a user uses them: the real menu read off the
// screen and chosen from by its access keys, the real find dialog filled in and pressed.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <tuple>

#include "platform/win32/controls/Win32MainWindow.h"
#include "resultview/win32/ResultBoxWindow.h"
#include "resultview/win32/ShowInFolder.h"
#include "resultview/win32/ViewFinder.h"
#include "tests/support/Clipboard.h"
#include "tests/support/ModalWindow.h"

namespace tarnwick::win32 {
namespace {

using testing::ShownWindowOf;
using testing::WhenShown;

std::wstring TextOf(HWND h) {
    wchar_t text[512] = L"";
    SendMessageW(h, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

// A key message with another key (Shift, Ctrl) held.
void Press(HWND h, UINT msg, WPARAM key, int held = 0) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[held] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(h, msg, key, msg == WM_KEYUP ? 0xC0000001 : 1);
    keys[held] = 0;
    SetKeyboardState(keys);
}

constexpr int kFindWhat = 0x480, kMatchCase = 0x411, kUp = 0x420, kDown = 0x421;

// Through the program's own loop, which hands the dialog its keys.
void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (Win32MainWindow::TranslateNavigation(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

class MenuAndFind : public ::testing::Test {
  protected:
    void SetUp() override {
        parent_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                                  300, nullptr, nullptr, nullptr, nullptr);
        view_ = std::make_unique<Win32ResultBox>(parent_, Rect{10, 10, 340, 200}, 1);
        SetFocus(h_ = view_->Handle());
    }
    void TearDown() override {
        view_.reset();
        DestroyWindow(parent_);
        Pump();
    }
    HWND OpenDialog() {
        Press(h_, WM_KEYDOWN, 'F', VK_CONTROL);
        return ShownWindowOf(GetCurrentThreadId(), L"#32770");
    }
    // Searches as asked; gives what the box that says there is no match says, if it came.
    std::wstring Search(HWND dialog, TextView needle, bool matchCase, bool up, WPARAM key) {
        std::wstring said;
        bool windowAnswered = false;  // under the box, where a close would run in the search
        WhenShown box(L"#32770", L"Tarnwick", [&](HWND h) {
            said = TextOf(GetDlgItem(h, 0xFFFF));
            windowAnswered = IsWindowEnabled(parent_);
            PostMessageW(h, WM_COMMAND, IDOK, 0);
        });
        if (key == 0) {
            SetDlgItemTextW(dialog, kFindWhat, std::wstring(needle.begin(), needle.end()).c_str());
            CheckDlgButton(dialog, kMatchCase, matchCase ? BST_CHECKED : BST_UNCHECKED);
            CheckRadioButton(dialog, kUp, kDown, up ? kUp : kDown);
            SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        } else {
            Press(h_, WM_KEYDOWN, key, up ? VK_SHIFT : 0);
        }
        box.seen = true;
        EXPECT_FALSE(windowAnswered) << "the window took clicks under the box";
        EXPECT_TRUE(IsWindowEnabled(parent_));
        return said;
    }

    HWND parent_ = nullptr, h_ = nullptr;
    std::unique_ptr<Win32ResultBox> view_;
};

// The edit box's items in its order, the editing ones greyed, Copy only with a selection
// and Select All only when not all is selected; the keyboard opens it below the caret, a
// right click outside the selection moves the caret first.
TEST_F(MenuAndFind, TheContextMenuShowsTheEditBoxItemsAndFindAndDoesWhatIsChosen) {
    const Text text = u"第一行 alpha\r\nsecond line\r\n";
    const size_t all = text.size(), two = text.find(u"second");
    const std::wstring captions =
        L"撤消(&U)||剪切(&T)|复制(&C)|粘贴(&P)|删除(&D)||全选(&A)||查找(&F)...\tCtrl+F||"
        L"复制完整路径(&L)|打开所在文件夹(&O)|";
    enum Opened { ShiftF10, MenuKey, RightClick };
    const struct {
        Text text;
        size_t anchor, caret;
        Opened how;
        size_t clickAt;
        WPARAM key;
        const wchar_t* enabled;
        size_t from, to;
        const wchar_t* clipboard;  // null: as it was
    } cases[] = {
        {u"", 0, 0, ShiftF10, 0, VK_ESCAPE, L"查找", 0, 0, nullptr},
        {text, 3, 3, ShiftF10, 0, 'a', L"全选 查找", 0, all, nullptr},
        {text, 4, 9, MenuKey, 0, 'c', L"复制 全选 查找", 4, 9, L"alpha"},
        {text, 0, all, ShiftF10, 0, 'C', L"复制 查找", 0, all, L"第一行 alpha\r\nsecond line\r\n"},
        {text, 4, 9, RightClick, two, VK_ESCAPE, L"全选 查找", two, two, nullptr},
        {text, 0, 9, RightClick, 6, 'c', L"复制 全选 查找", 0, 9, L"第一行 alpha"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        view_->SetText(c.text);
        view_->Select(c.anchor, c.caret);
        const std::wstring before = testing::ClipboardText();
        POINT caret = view_->PointOf(c.caret), click = view_->PointOf(c.clickAt);
        caret.y += view_->LineHeight();
        ClientToScreen(h_, &caret);
        std::wstring shown, enabled;
        RECT place{};
        WhenShown menu(L"#32768", nullptr, [&](HWND popup) {
            const auto m = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
            for (int i = 0; i < GetMenuItemCount(m); ++i) {
                wchar_t item[64] = L"";
                GetMenuStringW(m, static_cast<UINT>(i), item, 64, MF_BYPOSITION);
                shown += std::wstring(item) + L"|";
                if (*item && !(GetMenuState(m, static_cast<UINT>(i), MF_BYPOSITION) & MF_GRAYED))
                    enabled += (enabled.empty() ? L"" : L" ") + std::wstring(item, 2);
            }
            GetWindowRect(popup, &place);
            PostMessageW(popup, c.key == VK_ESCAPE ? WM_KEYDOWN : WM_CHAR, c.key, 0);
        });
        if (c.how == RightClick) {  // the release brings the menu, through the system
            SendMessageW(h_, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(click.x + 1, click.y + 2));
            SendMessageW(h_, WM_RBUTTONUP, 0, MAKELPARAM(click.x + 1, click.y + 2));
        } else if (c.how == ShiftF10) {
            Press(h_, WM_SYSKEYDOWN, VK_F10, VK_SHIFT);
        } else {
            Press(h_, WM_KEYUP, VK_APPS);
        }
        EXPECT_EQ(shown, captions);
        EXPECT_EQ(enabled, c.enabled);
        if (c.how != RightClick) {
            EXPECT_EQ(std::make_pair(place.left, place.top), std::make_pair(caret.x, caret.y));
        }
        EXPECT_EQ(view_->Store().SelStart(), c.from);
        EXPECT_EQ(view_->Store().SelEnd(), c.to);
        EXPECT_EQ(testing::ClipboardText(), c.clipboard ? c.clipboard : before);
    }
}

// Down (the button, F3) from the selection's end, up (the button's 向上, Shift+F3) from its
// start, with or without case. Neither wraps at the text's ends: the editor's box says
// there is no more, which a search going round a listing would never say.
TEST_F(MenuAndFind, FindSelectsTheNextMatchEitherWayOrSaysThereIsNone) {
    view_->SetText(u"Alpha one\r\nbeta\r\nalpha two\r\nALPHA three\r\n");
    view_->Select(10, 14);  // not one line: Ctrl+F brings no text
    const HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    constexpr size_t kNone = static_cast<size_t>(-1);
    const struct {
        size_t from, to;
        Text needle;  // F3 and Shift+F3 repeat the search of the row above
        bool matchCase, up;
        WPARAM key;    // 0: the dialog's button
        size_t found;  // kNone: the box, and the selection stays
    } cases[] = {
        {0, 0, u"alpha", false, false, 0, 0},        {0, 5, u"alpha", false, false, 0, 17},
        {0, 0, u"alpha", true, false, 0, 17},        {0, 0, u"ALPHA", true, false, 0, 28},
        {28, 33, u"ALPHA", false, true, 0, 17},      {28, 33, u"Alpha", true, true, 0, 0},
        {0, 0, u"gamma", false, false, 0, kNone},    {28, 33, u"alpha", false, false, 0, kNone},
        {28, 33, u"alpha", false, true, VK_F3, 17},  {17, 22, u"alpha", false, true, VK_F3, 0},
        {0, 5, u"alpha", false, true, VK_F3, kNone}, {0, 5, u"alpha", false, false, VK_F3, 17},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        view_->Select(c.from, c.to);
        const std::wstring said = Search(dialog, c.needle, c.matchCase, c.up, c.key);
        const std::wstring needle(c.needle.begin(), c.needle.end());
        EXPECT_EQ(said, c.found == kNone ? L"找不到“" + needle + L"”" : L"");
        EXPECT_EQ(view_->Store().SelStart(), c.found == kNone ? c.from : c.found);
        EXPECT_EQ(view_->Store().SelEnd(), c.found == kNone ? c.to : c.found + needle.size());
    }
    // Esc closes it through the loop; Ctrl+F brings it back with the selection, or else the
    // last search.
    PostMessageW(GetDlgItem(dialog, kFindWhat), WM_KEYDOWN, VK_ESCAPE, 1);
    Pump();
    EXPECT_FALSE(IsWindow(dialog));
    for (const auto& [from, to, shown] : {std::tuple{0, 20, L"alpha"}, {17, 26, L"alpha two"}}) {
        view_->Select(from, to);
        EXPECT_EQ(TextOf(GetDlgItem(OpenDialog(), kFindWhat)), shown);
    }
}

// A long listing is searched between the window's messages. Lines a walk adds meanwhile go
// in at the caret, behind a search down and ahead of one up: neither finds them nor loses
// its place.
TEST_F(MenuAndFind, FindGoesOnWhileLinesAreAddedAtTheCaret) {
    const Text added = u"added needle\r\n";
    Text text;
    for (int i = 0; i < 100000; ++i) text += Text(98, u'x') + u"\r\n";  // 10 M: slices
    const size_t early = 510, late = text.size() - 290;
    text.replace(early, 6, u"needle");
    text.replace(late, 6, u"needle");
    for (const bool up : {false, true}) {
        view_->SetText(text);
        view_->Select(up ? late : early + 6, up ? late : early + 6);
        Search(OpenDialog(), u"needle", true, up, 0);
        size_t lines = 0;
        for (MSG msg; view_->Finder().Searching(); ++lines) {
            SendMessageW(h_, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(added.c_str()));
            if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        }
        EXPECT_GT(lines, 1u) << "in slices";
        EXPECT_EQ(view_->Store().SelStart(), up ? early : late + lines * added.size());
        EXPECT_EQ(view_->Store().Substr(view_->Store().SelStart(), 6), u"needle");
    }
}

// 打开所在文件夹 selects the entry in its folder's window; where the shell can't, the
// folder alone opens (a drive's root with its separator). A path is given as listed (a
// final dot kept); a relative one is read against the current folder.
TEST(ShowInFolder, SelectsTheEntryOrOpensItsFolderWhereSelectingFails) {
    wchar_t current[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, current);
    const std::wstring here = std::wstring(current) + (wcslen(current) == 3 ? L"" : L"\\");
    const struct {
        TextView path;
        bool selects;
        std::wstring opened;  // empty: none
    } cases[] = {
        {u"C:\\资料\\  a.txt", true, L""},
        {u"C:\\资料\\  a.txt", false, L"C:\\资料"},
        {u"C:\\a.", false, L"C:\\"},
        {u"sub\\b", false, here + L"sub"},
    };
    for (const auto& c : cases) {
        std::wstring selected, opened;
        ShowInFolder(c.path, {[&](const std::wstring& item) { return selected = item, c.selects; },
                              [&](const std::wstring& folder) { opened = folder; }});
        const std::wstring path(c.path.begin(), c.path.end());
        EXPECT_EQ(selected, path.starts_with(L"sub") ? here + path : path);
        EXPECT_EQ(opened, c.opened);
    }
}

}  // namespace
}  // namespace tarnwick::win32
