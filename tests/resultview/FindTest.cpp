// Find in the listing, through the real find dialog as a user fills it in and presses its
// button, and through F3 and Shift+F3.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "platform/win32/controls/Win32MainWindow.h"
#include "resultview/win32/ResultBoxWindow.h"
#include "resultview/win32/ViewFinder.h"
#include "tests/support/ShownWindow.h"

namespace tarnwick::win32 {
namespace {

using tarnwick::testing::ShownWindowOf;
using tarnwick::testing::WhenShown;

constexpr int kFindWhat = 0x480, kMatchCase = 0x411, kUp = 0x420, kDown = 0x421;
constexpr size_t kNotFound = static_cast<size_t>(-1);

enum class Press { Button, F3, ShiftF3 };

void Key(HWND h, WPARAM key, std::initializer_list<int> held) {
    BYTE state[256], saved[256];
    GetKeyboardState(state);
    memcpy(saved, state, sizeof state);
    for (int k : held) state[k] = 0x80;
    SetKeyboardState(state);
    SendMessageW(h, WM_KEYDOWN, key, 1);
    SetKeyboardState(saved);
}

// Through the program's own loop, which lets the dialog take its keys.
void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (Win32MainWindow::TranslateNavigation(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

class Find : public ::testing::Test {
  protected:
    void SetUp() override {
        parent_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                                  300, nullptr, nullptr, nullptr, nullptr);
        view_ = std::make_unique<Win32ResultBox>(parent_, Rect{10, 10, 340, 200}, 1);
    }
    void TearDown() override {
        view_.reset();
        DestroyWindow(parent_);
        Pump();
    }
    HWND OpenDialog() {
        Key(view_->Handle(), 'F', {VK_CONTROL});
        return ShownWindowOf(GetCurrentThreadId(), L"#32770");
    }
    // Searches as asked; gives the message of the box that says there is no match, if one came.
    std::wstring Search(HWND dialog, TextView needle, bool matchCase, bool up, Press press) {
        std::wstring message;
        WhenShown box(L"#32770", L"Tarnwick", [&](HWND h) {
            for (const std::wstring& t : tarnwick::testing::StaticTexts(h))
                if (!t.empty()) message = t;
            PostMessageW(h, WM_COMMAND, IDOK, 0);
        });
        if (press == Press::Button) {
            SetDlgItemTextW(dialog, kFindWhat, std::wstring(needle.begin(), needle.end()).c_str());
            CheckDlgButton(dialog, kMatchCase, matchCase ? BST_CHECKED : BST_UNCHECKED);
            CheckRadioButton(dialog, kUp, kDown, up ? kUp : kDown);
            SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        } else {
            Key(view_->Handle(), VK_F3,
                press == Press::ShiftF3 ? std::initializer_list<int>{VK_SHIFT}
                                        : std::initializer_list<int>{});
        }
        box.seen = true;  // ends the wait if none came
        return message;
    }

    HWND parent_ = nullptr;
    std::unique_ptr<Win32ResultBox> view_;
};

// Neither way wraps at the text's ends: the editor's box says so, and the user sees that
// every match has been passed (F3 on a listing in a loop would never say so).
TEST_F(Find, FindsDownAndUpWithAndWithoutCaseAndSaysWhenThereIsNoMore) {
    view_->SetText(u"Alpha one\r\nbeta\r\nalpha two\r\nALPHA three\r\n");
    const HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    struct Case {
        const char* what;
        size_t selFrom, selTo;
        Text needle;  // F3 and Shift+F3 repeat the search of the row above
        bool matchCase, up;
        Press press;
        size_t found;  // kNotFound: the box, and the selection stays
    } cases[] = {
        {"down from the start", 0, 0, u"alpha", false, false, Press::Button, 0},
        {"down from a match's end", 0, 5, u"alpha", false, false, Press::Button, 17},
        {"case", 0, 0, u"alpha", true, false, Press::Button, 17},
        {"case, upper", 0, 0, u"ALPHA", true, false, Press::Button, 28},
        {"up", 28, 33, u"ALPHA", false, true, Press::Button, 17},
        {"up with case", 28, 33, u"Alpha", true, true, Press::Button, 0},
        {"no match", 0, 0, u"gamma", false, false, Press::Button, kNotFound},
        {"down from the last match: no wrap", 28, 33, u"alpha", false, false, Press::Button,
         kNotFound},
        {"Shift+F3 goes up", 28, 33, u"alpha", false, true, Press::ShiftF3, 17},
        {"Shift+F3 again", 17, 22, u"alpha", false, true, Press::ShiftF3, 0},
        {"up from the first: no wrap", 0, 5, u"alpha", false, true, Press::ShiftF3, kNotFound},
        {"F3 goes down whatever the dialog says", 0, 5, u"alpha", false, false, Press::F3, 17},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        view_->Select(c.selFrom, c.selTo);
        const std::wstring message = Search(dialog, c.needle, c.matchCase, c.up, c.press);
        const bool found = c.found != kNotFound;
        EXPECT_EQ(message,
                  found ? L"" : L"找不到“" + std::wstring(c.needle.begin(), c.needle.end()) + L"”");
        EXPECT_EQ(view_->Store().SelStart(), found ? c.found : c.selFrom);
        EXPECT_EQ(view_->Store().SelEnd(), found ? c.found + c.needle.size() : c.selTo);
    }
    // Esc closes it, through the loop; Ctrl+F with no one-line selection brings the last search.
    PostMessageW(GetDlgItem(dialog, kFindWhat), WM_KEYDOWN, VK_ESCAPE, 1);
    Pump();
    EXPECT_FALSE(IsWindow(dialog));
    view_->Select(0, 20);
    const HWND again = OpenDialog();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(tarnwick::testing::TextOf(GetDlgItem(again, kFindWhat)), L"alpha");
}

// A search through a long listing runs between the window's messages; lines a walk adds
// meanwhile go in at the caret, behind a search down and ahead of one up, and neither
// finds them nor loses its place.
TEST_F(Find, FindsWhileLinesAreAddedAtTheCaret) {
    const Text line = Text(98, u'x') + u"\r\n", added = u"added needle\r\n";
    Text text;
    for (int i = 0; i < 100000; ++i) text += line;  // 10 M characters: several slices
    const size_t early = 5 * line.size() + 10, late = text.size() - 3 * line.size() + 10;
    text.replace(early, 6, u"needle");
    text.replace(late, 6, u"needle");
    struct Case {
        bool up;
        size_t from;      // the caret
        size_t expected;  // before any line was added
        bool shifted;     // the match lies after the added lines
    } cases[] = {{false, early + 6, late, true}, {true, late, early, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.up ? "up" : "down");
        view_->SetText(text);
        view_->Select(c.from, c.from);
        const HWND dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        Search(dialog, u"needle", true, c.up, Press::Button);
        size_t lines = 0;
        while (view_->Finder().Searching()) {
            SendMessageW(view_->Handle(), EM_REPLACESEL, FALSE,
                         reinterpret_cast<LPARAM>(reinterpret_cast<const wchar_t*>(added.c_str())));
            ++lines;
            MSG msg;
            if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                WaitMessage();
            else
                DispatchMessageW(&msg);
        }
        EXPECT_GT(lines, 1u) << "the search ran in slices";
        EXPECT_EQ(view_->Store().SelStart(), c.expected + (c.shifted ? lines * added.size() : 0));
        EXPECT_EQ(view_->Store().Substr(view_->Store().SelStart(), 6), u"needle");
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
}

}  // namespace
}  // namespace tarnwick::win32
