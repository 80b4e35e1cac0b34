// The real save dialog under Wine: found by its caption, given a name, and pressed.
#include <windows.h>

#include <commdlg.h>
#include <dlgs.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "platform/win32/Win32Desktop.h"
#include "tests/support/TempTree.h"

namespace tarnwick::testing {
namespace {

// What the "user" does once the dialog shows: type a name (or nothing) and press a button.
struct DialogScript {
    std::wstring name;
    int button = IDOK;
    bool seen = false;
};
DialogScript script;

void CALLBACK ActOnDialog(HWND, UINT, UINT_PTR id, DWORD) {
    const HWND dialog = FindWindowW(L"#32770", L"保存文件清单");
    if (!dialog || !IsWindowVisible(dialog)) return;
    KillTimer(nullptr, id);
    script.seen = true;
    if (!script.name.empty()) {
        // The name field: a combo box in the explorer-style dialog, an edit box in others.
        if (!SetDlgItemTextW(dialog, cmb13, script.name.c_str()))
            SetDlgItemTextW(dialog, edt1, script.name.c_str());
    }
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(script.button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, script.button)));
}

std::optional<Text> RunDialog(const std::wstring& name, int button) {
    script = {name, button, false};
    SetTimer(nullptr, 0, 100, ActOnDialog);
    win32::Win32Desktop desktop(nullptr);
    const char16_t filter[] = u"文本文档(TXT)\0*.TXT\0所有文件\0*.*\0";
    return desktop.ShowSaveDialog(
        SaveRequest{Text(filter, std::size(filter)), u"保存文件清单", u"TXT", 0x008A0004, 260});
}

TEST(SaveDialog, ANameWithoutExtensionGetsTxt) {
    TempTree tree;
    const auto path = RunDialog(tree.FsPath(u"listing").wstring(), IDOK);
    ASSERT_TRUE(script.seen);
    ASSERT_TRUE(path.has_value()) << CommDlgExtendedError();
    // The default extension; Wine writes it in lower case.
    EXPECT_EQ(CompareStringOrdinal(reinterpret_cast<const wchar_t*>(path->c_str()), -1,
                                   tree.FsPath(u"listing.TXT").c_str(), -1, TRUE),
              CSTR_EQUAL);
}

TEST(SaveDialog, CancelGivesNoFileAndNoError) {
    const auto path = RunDialog(L"", IDCANCEL);
    ASSERT_TRUE(script.seen);
    EXPECT_FALSE(path.has_value());
    EXPECT_EQ(CommDlgExtendedError(), 0u);
}

}  // namespace
}  // namespace tarnwick::testing
