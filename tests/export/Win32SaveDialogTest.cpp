// The real save dialog under Wine: found by its caption, given a name, and pressed.
#include <windows.h>

#include <cderr.h>
#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/Wide.h"
#include "platform/win32/controls/Win32Desktop.h"
#include "tests/support/TempTree.h"

namespace tarnwick::testing {
namespace {

using win32::W;

constexpr DWORD kGiveUpMs = 120000;  // far beyond a loaded machine's slowest dialog

// What the "user" does once the dialog shows: type a name (or nothing) and press a button.
// Any message box of its own that the dialog raises is answered; a dialog still open after
// kGiveUpMs is cancelled, so that no test waits for ever.
struct DialogScript {
    Text name;
    int button = IDOK;
    DWORD started = 0;
    HWND dialog = nullptr;
    bool timedOut = false;
    std::vector<HWND> answered;
    std::string boxes;  // the caption and text of each box answered, for failure messages
};
DialogScript script;

// This thread's own windows only: another test program may have the same dialog open.
HWND FindOwnWindow(const wchar_t* caption) {
    struct Search {
        const wchar_t* caption;
        HWND found;
    } search{caption, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            wchar_t text[64] = {};
            GetWindowTextW(w, text, 64);
            if (!IsWindowVisible(w) || std::wcscmp(text, s->caption) != 0) return TRUE;
            s->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK AnswerBox(HWND box, LPARAM) {
    wchar_t kind[16] = {};
    GetClassNameW(box, kind, 16);
    if (box == script.dialog || std::wcscmp(kind, L"#32770") != 0 || !IsWindowVisible(box))
        return TRUE;
    if (std::find(script.answered.begin(), script.answered.end(), box) == script.answered.end()) {
        script.answered.push_back(box);
        wchar_t caption[128] = {}, text[512] = {};
        GetWindowTextW(box, caption, 128);
        GetDlgItemTextW(box, 0xFFFF, text, 512);  // a message box's text control
        script.boxes +=
            " [" + Narrow(win32::FromW(caption)) + ": " + Narrow(win32::FromW(text)) + "]";
    }
    for (const int id : {IDOK, IDYES, IDCANCEL}) {
        if (const HWND b = GetDlgItem(box, id)) {
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(b));
            break;
        }
    }
    return TRUE;
}

void Press(HWND dialog, int button) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

void CALLBACK ActOnDialog(HWND, UINT, UINT_PTR, DWORD) {
    if (!script.dialog) {
        const HWND dialog = FindOwnWindow(L"保存文件清单");
        if (!dialog) return;
        script.dialog = dialog;
        if (!script.name.empty()) {
            // The name field: a combo box in the explorer-style dialog, an edit box in others.
            if (!SetDlgItemTextW(dialog, cmb13, W(script.name)))
                SetDlgItemTextW(dialog, edt1, W(script.name));
        }
        Press(dialog, script.button);
        return;
    }
    EnumThreadWindows(GetCurrentThreadId(), AnswerBox, 0);
    if (!script.timedOut && GetTickCount() - script.started > kGiveUpMs) {
        script.timedOut = true;
        Press(script.dialog, IDCANCEL);
    }
}

struct Outcome {
    std::optional<Text> path;
    uint32_t error;  // what the program is told when no path came back
};

Outcome RunDialog(const Text& name, int button) {
    script = DialogScript{};
    script.name = name;
    script.button = button;
    script.started = GetTickCount();
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, ActOnDialog);
    win32::Win32Desktop desktop(nullptr);
    const char16_t filter[] = u"文本文档(TXT)\0*.TXT\0所有文件\0*.*\0";
    Outcome out;
    out.path = desktop.ShowSaveDialog(
        SaveRequest{Text(filter, std::size(filter)), u"保存文件清单", u"TXT", 0x008A0004, 260});
    out.error = desktop.SaveDialogError();
    KillTimer(nullptr, timer);
    return out;
}

// The dialog was shown and closed by the script's button, not by the time limit.
::testing::AssertionResult Answered() {
    if (!script.dialog) return ::testing::AssertionFailure() << "the dialog never showed";
    if (script.timedOut)
        return ::testing::AssertionFailure()
               << "the dialog was still open after 10 s;" << script.boxes;
    return ::testing::AssertionSuccess();
}

std::string Shown(const std::optional<Text>& path) {
    return path ? Narrow(*path) : "(none)";
}

TEST(SaveDialog, ANameWithoutExtensionGetsTxt) {
    TempTree tree;
    const auto out = RunDialog(tree.Path(u"listing"), IDOK);
    ASSERT_TRUE(Answered());
    ASSERT_TRUE(out.path.has_value()) << out.error << script.boxes;
    // The default extension; Wine writes it in lower case.
    EXPECT_EQ(CompareStringOrdinal(W(*out.path), -1, tree.FsPath(u"listing.TXT").c_str(), -1, TRUE),
              CSTR_EQUAL);
}

TEST(SaveDialog, AnExistingFileIsChosenWithoutAQuestion) {
    TempTree tree;
    tree.File(u"old.txt");
    const auto out = RunDialog(tree.Path(u"old.txt"), IDOK);
    ASSERT_TRUE(Answered());
    EXPECT_TRUE(script.answered.empty()) << script.boxes;
    ASSERT_TRUE(out.path.has_value()) << out.error;
    EXPECT_EQ(*out.path, tree.Path(u"old.txt"));
}

TEST(SaveDialog, CancelGivesNoFileAndNoError) {
    const auto out = RunDialog(u"", IDCANCEL);
    ASSERT_TRUE(Answered());
    EXPECT_FALSE(out.path.has_value());
    EXPECT_EQ(out.error, 0u);
}

// A full path of `length` characters in the tree's folder: a run of "a", then `ending`.
Text PathOfLength(const TempTree& tree, size_t length, TextView ending) {
    Text path = tree.Root() + u"\\";
    path += Text(length - path.size() - ending.size(), u'a');
    return path + Text(ending);
}

// The buffer holds 259 characters and the NUL. Wine's dialog overruns a MAX_PATH buffer of
// its own, and crashes, on full paths a few characters longer, so the cases stay at the edge.
TEST(SaveDialog, AFullPathLongerThanTheBufferGivesNoPathButBufferTooSmall) {
    TempTree tree;
    {
        SCOPED_TRACE("259 characters: the longest that fits comes back whole");
        const Text name = PathOfLength(tree, 259, u".TXT");
        const auto out = RunDialog(name, IDOK);
        ASSERT_TRUE(Answered());
        ASSERT_TRUE(out.path.has_value()) << out.error << script.boxes;
        EXPECT_EQ(Narrow(*out.path), Narrow(name));
    }
    struct TooLong {
        const char* what;
        Text name;
    };
    for (const auto& c : {TooLong{"260 characters", PathOfLength(tree, 260, u".TXT")},
                          TooLong{"256 characters, 260 with the extension the dialog adds",
                                  PathOfLength(tree, 256, u"")}}) {
        SCOPED_TRACE(c.what);
        const auto out = RunDialog(c.name, IDOK);
        ASSERT_TRUE(Answered());
        EXPECT_FALSE(out.path.has_value()) << Shown(out.path);
        EXPECT_EQ(out.error, static_cast<uint32_t>(FNERR_BUFFERTOOSMALL)) << script.boxes;
    }
}

// Any name the file system takes comes back exactly: names the ANSI code page can't hold,
// and paths that fit the buffer in characters though not in the code page's bytes.
TEST(SaveDialog, NamesOutsideTheCodePageComeBackExactly) {
    TempTree tree;
    const Text chinese(80, u'长');  // 160 bytes in code page 936
    tree.Folder(chinese + u"/" + chinese);
    const Text names[] = {tree.Path(u"한국어.txt"), tree.Path(u"Ελληνικά \U0001F4C1.TXT"),
                          tree.Path(chinese + u"/" + chinese + u"/清单.TXT")};
    for (const Text& name : names) {
        SCOPED_TRACE(Narrow(name));
        ASSERT_LT(name.size(), 260u);
        const auto out = RunDialog(name, IDOK);
        ASSERT_TRUE(Answered());
        ASSERT_TRUE(out.path.has_value()) << out.error << script.boxes;
        EXPECT_EQ(*out.path, name);
    }
}

}  // namespace
}  // namespace tarnwick::testing
