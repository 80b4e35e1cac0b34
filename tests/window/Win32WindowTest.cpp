// What only the real window shows: focus, keyboard navigation and access keys, the
// result box's messages and clipboard, the error box.
#include <windows.h>

#include <algorithm>
#include <functional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "listing/NumberText.h"
#include "platform/memory/MemoryControls.h"
#include "platform/win32/Win32EventPump.h"
#include "platform/win32/controls/Win32Desktop.h"
#include "tests/support/TempTree.h"
#include "window/Design.h"
#include "window/win32/Win32Form.h"

namespace tarnwick::testing {
namespace {

class RealWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app.Show(SW_SHOWNORMAL);
        SetForegroundWindow(app.Me.Handle());
        SetFocus(app.drDrive.Handle());
        events.DoEvents();
    }
    // A key as the keyboard delivers it to the focused control, then the pump.
    void Key(WPARAM key, bool alt = false) {
        const HWND target = GetFocus();
        const LPARAM altBit = alt ? (1 << 29) : 0;
        PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, 1 | altBit);
        PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, key, 1 | altBit | (3u << 30));
        events.DoEvents();
    }
    void SetPath(TextView path) {
        app.form.SkipChange = True;  // the path box alone
        app.txtPath.SetText(path);
    }

    std::unique_ptr<FileSystem> files = MakeFileSystem();
    win32::Win32EventPump events{std::chrono::milliseconds(0)};  // input is handled at once
    MemoryDesktop desktop;
    Win32Form app{*files, events, &desktop};
};

TEST_F(RealWindowTest, FocusStartsOnTheDriveListAndTabWalksTheTabOrder) {
    EXPECT_EQ(GetFocus(), app.drDrive.Handle());
    // The spin bar is no tab stop of its own: the depth box's arrow keys step it.
    const HWND order[] = {app.drDir.Handle(),    app.ChFiles.Handle(),  app.ChHidden.Handle(),
                          app.ChNoPath.Handle(), app.txtLevel.Handle(), app.txtResult.Handle(),
                          app.cmdDoIt.Handle(),  app.cmdSave.Handle(),  app.txtPath.Handle(),
                          app.Command1.Handle(), app.drDrive.Handle()};
    for (size_t step = 0; step < std::size(order); ++step) {
        Key(VK_TAB);
        EXPECT_EQ(GetFocus(), order[step]) << "after Tab " << step + 1;
    }
    Key(VK_TAB);  // and Shift+Tab goes back
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    Key(VK_TAB);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(GetFocus(), app.drDrive.Handle());
}

TEST_F(RealWindowTest, AltBStartsARunFromAnyControl) {
    TempTree tree;
    tree.Folder(u"a");
    SetPath(tree.Root());
    SetFocus(app.txtLevel.Handle());
    Key('B', true);
    EXPECT_EQ(app.cmdDoIt.GetCaption(), u"开始列举(&B)");
    EXPECT_EQ(app.txtResult.GetText(), u"a\r\n");
}

TEST_F(RealWindowTest, AltXStopsARunningListing) {
    TempTree tree;
    for (TextView f : {u"a/x", u"b/x", u"c/x"}) tree.Folder(f);
    SetPath(tree.Root());
    app.txtLevel.SetText(u"5");
    app.ChNoPath.SetValue(0);
    // Alt+X waits in the queue: the first pump of the walk handles it.
    PostMessageW(app.cmdDoIt.Handle(), WM_SYSKEYDOWN, 'X', 1 | (1 << 29));
    SendMessageW(app.cmdDoIt.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(app.form.StopRequested, True);
    EXPECT_EQ(app.cmdDoIt.GetCaption(), u"开始列举(&B)");
    EXPECT_EQ(app.txtResult.GetText(), u"");  // stopped at the root's first pump
}

TEST_F(RealWindowTest, ResultBoxAnswersTheEditBoxMessages) {
    const HWND view = app.txtResult.Handle();
    SendMessageW(view, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"one\r\ntwo\r\n"));
    EXPECT_EQ(SendMessageW(view, WM_GETTEXTLENGTH, 0, 0), 10);
    EXPECT_EQ(SendMessageW(view, EM_GETLINECOUNT, 0, 0), 3);
    SendMessageW(view, EM_SETSEL, 5, 8);
    DWORD from = 0, to = 0;
    SendMessageW(view, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 5u);
    EXPECT_EQ(to, 8u);
    SendMessageW(view, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"2"));
    wchar_t buffer[32];
    EXPECT_EQ(SendMessageW(view, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(buffer)), 8);
    EXPECT_STREQ(buffer, L"one\r\n2\r\n");
    EXPECT_EQ(SendMessageW(view, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(buffer)), 3);
    EXPECT_STREQ(buffer, L"one");
}

// Screen readers and automation tools read the listing through the edit box messages,
// however long it is.
TEST_F(RealWindowTest, AMillionLinesReadBackWholeThroughTheMessages) {
    constexpr size_t kLines = 1000000;
    std::wstring expected;
    expected.reserve(kLines * 24);
    for (size_t i = 0; i < kLines; ++i) {
        std::wstring line = L"D:\\资料\\" + std::to_wstring(i) + L".txt\r\n";
        app.txtResult.SetSelText(Text(line.begin(), line.end()));  // as the walk appends
        expected += line;
    }
    const HWND view = app.txtResult.Handle();
    const auto length = SendMessageW(view, WM_GETTEXTLENGTH, 0, 0);
    ASSERT_EQ(static_cast<size_t>(length), expected.size());
    EXPECT_EQ(SendMessageW(view, EM_GETLINECOUNT, 0, 0), static_cast<LRESULT>(kLines + 1));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    EXPECT_EQ(SendMessageW(view, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())),
              length);
    text.pop_back();
    EXPECT_TRUE(text == expected);  // not printed: 30 MB
}

// The screen catches up with the text a few times a second; the vertical bar must then
// span every line and show the caret's, however it was moved.
TEST_F(RealWindowTest, TheScrollBarsFollowTheTextAndTheCaret) {
    const HWND view = app.txtResult.Handle();
    auto bar = [&] {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_ALL;
        GetScrollInfo(view, SB_VERT, &info);
        return info;
    };
    auto caughtUp = [&](int max) {  // bounded only so that a broken refresh can't hang the test
        for (int i = 0; i < 12000 && bar().nMax != max; ++i) {
            Sleep(5);
            events.DoEvents();
        }
        return bar();
    };
    for (int i = 0; i < 1000; ++i) app.txtResult.SetSelText(u"C:\\folder\\name\r\n");
    SCROLLINFO v = caughtUp(1000);  // 1000 lines and the empty one after the last line end
    ASSERT_EQ(v.nMax, 1000);
    ASSERT_GT(v.nPage, 0u);
    EXPECT_EQ(v.nPos, 1001 - static_cast<int>(v.nPage));  // the caret's line at the bottom

    SetFocus(view);
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(view, WM_KEYDOWN, VK_HOME, 1);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(bar().nPos, 0);
    EXPECT_EQ(bar().nMax, 1000);

    app.txtResult.SetText(u"");
    v = caughtUp(0);
    EXPECT_EQ(v.nMax, 0);
    EXPECT_EQ(v.nPos, 0);
}

TEST_F(RealWindowTest, CtrlAAndCtrlCCopyTheListing) {
    app.txtResult.SetText(u"C:\\a\r\n文件夹\r\n");
    SetFocus(app.txtResult.Handle());
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(app.txtResult.Handle(), WM_KEYDOWN, 'A', 1);
    SendMessageW(app.txtResult.Handle(), WM_KEYDOWN, 'C', 1);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    ASSERT_TRUE(OpenClipboard(nullptr));
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(data, nullptr);
    EXPECT_STREQ(static_cast<const wchar_t*>(GlobalLock(data)), L"C:\\a\r\n文件夹\r\n");
    GlobalUnlock(data);
    CloseClipboard();
}

// The drive list's icons made its items higher than the designed closed box; the field and
// the icons now fit the design, also after the list has dropped down and closed.
TEST_F(RealWindowTest, TheClosedDriveListIsAsHighAsDesigned) {
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (dpi != 96) GTEST_SKIP() << "the design's pixels are at 96 DPI";
    const HWND list = app.drDrive.Handle();
    auto height = [list] {
        RECT r;
        GetWindowRect(list, &r);
        return static_cast<float>(r.bottom - r.top);
    };
    EXPECT_EQ(height(), design::drDrive.height);
    SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageW(list, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_EQ(height(), design::drDrive.height);
}

// Wine lays out a line of n digits in time quadratic in n. However a long number comes into
// the depth box, the box lays it out masked (a run of one character, in linear time), the
// depth is read from the whole text, and what stays in a box shows plainly.
TEST_F(RealWindowTest, ALongNumberComesInMaskedAndIsReadWhole) {
    const HWND box = app.txtLevel.Handle();
    size_t longest = 0;  // the longest text the box laid out unmasked
    app.txtLevel.onChange = [&, change = app.txtLevel.onChange] {
        if (!SendMessageW(box, EM_GETPASSWORDCHAR, 0, 0))
            longest = std::max<size_t>(longest, static_cast<size_t>(GetWindowTextLengthW(box)));
        change();
    };
    auto zeros = [](size_t n, const wchar_t* tail) { return std::wstring(n, L'0') + tail; };
    auto setText = [&](const std::wstring& t) {
        SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t.c_str()));
    };
    auto replace = [&](const std::wstring& t) {
        SendMessageW(box, EM_SETSEL, 0, -1);
        SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(t.c_str()));
    };
    auto paste = [&](const std::wstring& t) {
        ASSERT_TRUE(OpenClipboard(app.Me.Handle()));
        EmptyClipboard();
        const HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (t.size() + 1) * sizeof(wchar_t));
        std::copy_n(t.c_str(), t.size() + 1, static_cast<wchar_t*>(GlobalLock(data)));
        GlobalUnlock(data);
        SetClipboardData(CF_UNICODETEXT, data);
        CloseClipboard();
        SendMessageW(box, EM_SETSEL, 0, -1);
        SendMessageW(box, WM_PASTE, 0, 0);
    };
    // Pastes stay within the box's default limit of 30,000 characters.
    const struct {
        std::function<void(const std::wstring&)> put;
        std::wstring text;
        int32_t levels;
    } cases[] = {{setText, std::wstring(100000, L'9'), 32767},
                 {setText, zeros(100000, L"123"), 123},
                 {replace, zeros(20000, L"45"), 45},
                 {paste, zeros(20000, L"678"), 678}};
    for (const auto& c : cases) {
        c.put(c.text);
        EXPECT_EQ(app.form.Levels, c.levels);
        EXPECT_EQ(win32::WindowText(box), Digits(c.levels));
        EXPECT_EQ(SendMessageW(box, EM_GETPASSWORDCHAR, 0, 0), 0);
    }
    EXPECT_LE(longest, 5u);
    const std::wstring path(2000, L'7');  // no folder: the path box keeps it as typed
    SendMessageW(app.txtPath.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    EXPECT_EQ(win32::WindowText(app.txtPath.Handle()), Text(path.begin(), path.end()));
    EXPECT_EQ(SendMessageW(app.txtPath.Handle(), EM_GETPASSWORDCHAR, 0, 0), 0);
}

TEST_F(RealWindowTest, ListingLinesGoInAtTheCaretTheUserSet) {
    TempTree tree;
    tree.Folder(u"a/b");
    SetPath(tree.Root());
    app.txtLevel.SetText(u"2");
    app.txtResult.SetText(u"");
    app.form.Levels = 2;
    // The user clicks at the start of the box while the walk is inside folder a.
    struct Pump : EventPump {
        Win32Form* app;
        int DoEvents() override {
            if (app->txtResult.GetText() == u"a\r\n")
                SendMessageW(app->txtResult.Handle(), EM_SETSEL, 0, 0);
            return 1;
        }
        [[noreturn]] void End() override { std::abort(); }
    } pump;
    pump.app = &app;
    frmMain form(
        frmMainControls{app.Me, app.Command1, app.txtPath, app.frmSettings, app.drDir, app.drDrive,
                        app.lblPath, app.cmdSave, app.cmdDoIt, app.txtResult, app.VSLevel,
                        app.txtLevel, app.ChNoPath, app.ChHidden, app.ChFiles, app.lblLevels},
        frmMainServices{*files, pump, desktop});
    form.Levels = 2;
    form.cmdDoIt_Click();
    EXPECT_EQ(app.txtResult.GetText(), u"    b\r\na\r\n");
}

TEST_F(RealWindowTest, TabbingIntoTheListingKeepsItsSelection) {
    app.txtResult.SetText(u"one\r\ntwo\r\n");
    SendMessageW(app.txtResult.Handle(), EM_SETSEL, 1, 2);
    SetFocus(app.txtLevel.Handle());
    Key(VK_TAB);
    ASSERT_EQ(GetFocus(), app.txtResult.Handle());
    DWORD from = 0, to = 0;
    SendMessageW(app.txtResult.Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                 reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 1u);
    EXPECT_EQ(to, 2u);
}

TEST_F(RealWindowTest, CaretKeysInTheListing) {
    const HWND view = app.txtResult.Handle();
    app.txtResult.SetText(u"ab\ncd\r\nef");  // a bare LF as well as CR LF
    auto caret = [&] {
        DWORD from = 0, to = 0;
        SendMessageW(view, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                     reinterpret_cast<LPARAM>(&to));
        return std::pair<DWORD, DWORD>(from, to);
    };
    SendMessageW(view, EM_SETSEL, 3, 3);  // the start of "cd"
    SendMessageW(view, WM_KEYDOWN, VK_LEFT, 1);
    EXPECT_EQ(caret(), std::make_pair(2ul, 2ul));  // after "ab"
    SendMessageW(view, WM_KEYDOWN, VK_RIGHT, 1);
    EXPECT_EQ(caret(), std::make_pair(3ul, 3ul));
    SendMessageW(view, WM_KEYDOWN, VK_END, 1);
    EXPECT_EQ(caret(), std::make_pair(5ul, 5ul));  // before the CR LF
    SendMessageW(view, WM_KEYDOWN, VK_RIGHT, 1);
    EXPECT_EQ(caret(), std::make_pair(7ul, 7ul));  // over the CR LF at once
    SendMessageW(view, WM_KEYDOWN, VK_HOME, 1);
    EXPECT_EQ(caret(), std::make_pair(7ul, 7ul));
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(view, WM_KEYDOWN, VK_UP, 1);  // Shift+Up selects back to the line above
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(caret(), std::make_pair(3ul, 7ul));
}

// The error box is a real message box: found by its title, read, and closed.
TEST(ErrorBox, ShowsTheDescriptionUnderTheNumberedTitle) {
    static Text seenText;
    static bool found;
    found = false;
    SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
        const HWND box = FindWindowW(nullptr, L"VB运行时错误：76");
        if (!box) return;
        KillTimer(nullptr, id);
        found = true;
        wchar_t text[64] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 64);  // the message's static control
        seenText = Text(reinterpret_cast<const char16_t*>(text));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    win32::Win32Desktop desktop(nullptr);
    desktop.ShowErrorBox(MakeError(76));
    EXPECT_TRUE(found);
    EXPECT_EQ(seenText, u"路径未找到");
}

}  // namespace
}  // namespace tarnwick::testing
