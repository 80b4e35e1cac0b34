// The drive list, folder list and path box over the system's real drives: the current
// folder is a test folder on one drive, another drive is found among the system's, and a
// drive letter that leads nowhere stands for a dead network drive.
#include <windows.h>

#include <winioctl.h>

#include <shlobj.h>

#include <cstring>
#include <optional>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/memory/MemoryControls.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32EventPump.h"
#include "tests/support/TempTree.h"
#include "window/win32/Win32Form.h"

namespace tarnwick::testing {
namespace {

using win32::W;

Text CurrentFolder() {
    wchar_t buffer[MAX_PATH];
    const DWORD n = GetCurrentDirectoryW(MAX_PATH, buffer);
    return Text(win32::FromW(buffer, n));
}

Text ListText(HWND list, UINT getText, int i) {
    wchar_t buffer[MAX_PATH + 64] = {};
    SendMessageW(list, getText, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
    return Text(win32::FromW(buffer));
}

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

// A drive that appears while the program runs, leading to `folder`; gone again at the end.
// On Windows a subst drive; Wine lists those but can't open them, so there the drive is
// made as Wine's configuration tool makes one, through the mount manager.
class AddedDrive {
  public:
    AddedDrive(char16_t letter, TextView folder)
        : letter_(letter), device_{static_cast<wchar_t>(letter), L':'}, root_(device_ + L"\\") {
        if (DefineDosDeviceW(0, device_.c_str(), W(Text(folder)))) {
            if (GetDriveTypeW(root_.c_str()) != DRIVE_NO_ROOT_DIR) return;
            DefineDosDeviceW(DDD_REMOVE_DEFINITION, device_.c_str(), W(Text(folder)));
        }
        mounted_ = Mount(UnixName(folder).c_str(), DRIVE_FIXED);
    }
    ~AddedDrive() {
        if (mounted_) {
            Mount(nullptr, DRIVE_NO_ROOT_DIR);
        } else {
            DefineDosDeviceW(DDD_REMOVE_DEFINITION, device_.c_str(), nullptr);
        }
    }
    AddedDrive(const AddedDrive&) = delete;
    AddedDrive& operator=(const AddedDrive&) = delete;
    bool Readable() const { return GetFileAttributesW(root_.c_str()) != INVALID_FILE_ATTRIBUTES; }

  private:
    static std::string UnixName(TextView folder) {
        using ToUnix = char* (*)(const wchar_t*);
        const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
        char* name = toUnix ? toUnix(W(Text(folder))) : nullptr;
        const std::string s = name ? name : "";
        if (name) HeapFree(GetProcessHeap(), 0, name);
        return s;
    }
    // Wine's own request to its mount manager (IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE); without a
    // folder, and as no root directory, it removes the drive.
    bool Mount(const char* unixFolder, ULONG type) {
        struct Request {
            ULONG size, type, fsType;
            DWORD serial;
            ULONGLONG unixDevice;
            WCHAR letter;
            USHORT mountPointOffset, deviceOffset, labelOffset;
        };
        std::vector<char> buffer(sizeof(Request) + (unixFolder ? strlen(unixFolder) + 1 : 0));
        Request request{static_cast<ULONG>(buffer.size()), type, 0, 0, 0,
                        static_cast<WCHAR>(letter_),       0,    0, 0};
        if (unixFolder) {
            if (!*unixFolder) return false;
            request.mountPointOffset = sizeof request;
            std::memcpy(buffer.data() + sizeof request, unixFolder, strlen(unixFolder) + 1);
        }
        std::memcpy(buffer.data(), &request, sizeof request);
        const HANDLE manager =
            CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (manager == INVALID_HANDLE_VALUE) return false;
        DWORD returned = 0;
        const DWORD code =
            CTL_CODE(0x6d, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
        const BOOL ok =
            DeviceIoControl(manager, code, buffer.data(), static_cast<DWORD>(buffer.size()),
                            nullptr, 0, &returned, nullptr);
        CloseHandle(manager);
        return ok;
    }

    char16_t letter_;
    std::wstring device_, root_;
    bool mounted_ = false;
};

class RealLocationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tree.Folder(u"Work/Sub");
        saved = CurrentFolder();
        SetCurrentDirectoryW(W(tree.Path(u"Work")));
        here = Lower(tree.Root()[0]);
        DefineDeadDrive();
        other = FindOtherDrive();
        app.emplace(*files, events, &desktop);
        app->Show(SW_HIDE);
    }
    void TearDown() override {
        app.reset();
        SetCurrentDirectoryW(W(saved));
        if (dead) {
            const wchar_t device[] = {static_cast<wchar_t>(dead), L':', 0};
            DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION, device, nullptr);
        }
    }

    // A drive letter defined to lead nowhere, before the drive list reads the drives.
    void DefineDeadDrive() {
        const DWORD used = GetLogicalDrives();
        for (char16_t c = u'y'; c > u'd'; --c) {
            if (used & (1u << (c - u'a'))) continue;
            const wchar_t device[] = {static_cast<wchar_t>(c), L':', 0};
            if (DefineDosDeviceW(DDD_RAW_TARGET_PATH, device, L"\\Device\\TarnwickNowhere"))
                dead = c;
            return;
        }
    }
    char16_t FindOtherDrive() {
        const DWORD used = GetLogicalDrives();
        for (char16_t c = u'a'; c <= u'z'; ++c) {
            const wchar_t root[] = {static_cast<wchar_t>(c), L':', L'\\', 0};
            if (c != here && c != dead && (used & (1u << (c - u'a'))) &&
                GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES)
                return c;
        }
        return 0;
    }
    // A sub-folder of the other drive's root, found by enumeration.
    Text FolderOnOtherDrive() {
        const Text pattern = Text{other, u':', u'\\', u'*'};
        WIN32_FIND_DATAW d;
        const HANDLE h = FindFirstFileW(W(pattern), &d);
        Text found;
        if (h == INVALID_HANDLE_VALUE) return found;
        do {
            const bool folder = d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
            if (folder && d.cFileName[0] != L'.' && found.empty())
                found = Text{other, u':', u'\\'} + Text(win32::FromW(d.cFileName));
        } while (FindNextFileW(h, &d));
        FindClose(h);
        return found;
    }

    // The user's actions: a letter key in the drive list, Enter on a folder list item,
    // a paste or characters typed into the path box.
    void PickDrive(char16_t letter) { SendMessageW(app->drDrive.Handle(), WM_CHAR, letter, 1); }
    void OpenFolderItem(TextView name) {
        const HWND list = app->drDir.Handle();
        const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            const Text item = ListText(list, LB_GETTEXT, i);
            if (item.substr(item.find_first_not_of(u' ')) != name) continue;
            SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
            SendMessageW(list, WM_KEYDOWN, VK_RETURN, 1);
            return;
        }
        ADD_FAILURE() << "no item " << Narrow(name);
    }
    void Paste(TextView text) {
        SendMessageW(app->txtPath.Handle(), EM_SETSEL, 0, -1);
        SendMessageW(app->txtPath.Handle(), EM_REPLACESEL, TRUE,
                     reinterpret_cast<LPARAM>(W(Text(text))));
    }
    void Type(TextView text) {
        for (char16_t c : text) SendMessageW(app->txtPath.Handle(), WM_CHAR, c, 1);
    }

    char16_t Drive() { return Lower(app->drDrive.GetDrive()[0]); }
    Text Dir() { return app->drDir.GetPath(); }
    Text PathBox() { return app->txtPath.GetText(); }
    std::vector<int32_t> ErrorNumbers() {
        std::vector<int32_t> n;
        for (const auto& e : desktop.errorBoxes) n.push_back(e.number);
        return n;
    }
    void ExpectFlagClear() { EXPECT_EQ(app->form.SkipChange, False); }

    TempTree tree;
    Text saved;
    char16_t here = 0, other = 0, dead = 0;
    std::unique_ptr<FileSystem> files = MakeFileSystem();
    win32::Win32EventPump events;
    MemoryDesktop desktop;
    std::optional<Win32Form> app;
};

TEST_F(RealLocationTest, AtStartUpAllThreeShowTheCurrentFolder) {
    EXPECT_EQ(Drive(), here);
    EXPECT_EQ(Dir(), tree.Path(u"Work"));
    EXPECT_EQ(PathBox(), tree.Path(u"Work"));
    ExpectFlagClear();
}

TEST_F(RealLocationTest, TheDriveListStartsOnTheDriveOfTheCurrentFolder) {
    ASSERT_NE(other, 0);
    app.reset();
    const Text root{other, u':', u'\\'};
    SetCurrentDirectoryW(W(root));
    app.emplace(*files, events, &desktop);
    app->Show(SW_HIDE);
    EXPECT_EQ(Drive(), other);
    EXPECT_EQ(Dir(), root);
    EXPECT_EQ(PathBox(), root);
}

TEST_F(RealLocationTest, TheDriveListShowsEveryDriveOfTheSystemByLetter) {
    const HWND list = app->drDrive.Handle();
    const DWORD used = GetLogicalDrives();
    std::u16string letters, expected;
    const int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const Text item = ListText(list, CB_GETLBTEXT, i);
        ASSERT_GE(item.size(), 2u);
        EXPECT_EQ(item[1], u':');
        // The letter alone, or with the volume label or share in brackets.
        if (item.size() > 2) {
            EXPECT_TRUE(item.starts_with(Text{item[0], u':', u' ', u'['}));
        }
        letters += item[0];
    }
    for (int i = 0; i < 26; ++i)
        if (used & (1u << i)) expected += static_cast<char16_t>(u'a' + i);
    EXPECT_EQ(letters, expected);
}

TEST_F(RealLocationTest, PickingAnotherDriveMovesTheFolderListAndThePathBox) {
    ASSERT_NE(other, 0) << "no second readable drive";
    PickDrive(other);
    EXPECT_EQ(Drive(), other);
    EXPECT_EQ(Lower(Dir()[0]), other);
    EXPECT_EQ(PathBox(), Dir());
    EXPECT_TRUE(desktop.errorBoxes.empty());
    ExpectFlagClear();
}

TEST_F(RealLocationTest, PickingADeadDriveShowsTheErrorBoxAndKeepsTheFolder) {
    ASSERT_NE(dead, 0) << "no drive letter could be defined";
    PickDrive(dead);
    EXPECT_EQ(ErrorNumbers(), std::vector<int32_t>{68});
    EXPECT_EQ(Drive(), dead);
    EXPECT_EQ(Dir(), tree.Path(u"Work"));
    EXPECT_EQ(PathBox(), tree.Path(u"Work"));
    ExpectFlagClear();
}

TEST_F(RealLocationTest, OpeningAFolderInTheListCopiesItsPath) {
    OpenFolderItem(u"Sub");
    EXPECT_EQ(Dir(), tree.Path(u"Work/Sub"));
    EXPECT_EQ(PathBox(), tree.Path(u"Work/Sub"));
    EXPECT_EQ(Drive(), here);
    ExpectFlagClear();
}

TEST_F(RealLocationTest, PastingAFolderOnTheCurrentDriveKeepsTheTextAsPasted) {
    const Text pasted = tree.Path(u"Work/Sub") + u"\\";  // with a final separator
    Paste(pasted);
    EXPECT_EQ(Dir(), tree.Path(u"Work/Sub"));
    EXPECT_EQ(PathBox(), pasted);
    EXPECT_TRUE(desktop.errorBoxes.empty());
    ExpectFlagClear();
}

TEST_F(RealLocationTest, PastingAFolderOnAnotherDriveMovesAllThree) {
    const Text folder = FolderOnOtherDrive();
    ASSERT_FALSE(folder.empty());
    Paste(folder + u"\\");
    EXPECT_EQ(Drive(), other);
    EXPECT_EQ(Dir(), folder);
    EXPECT_EQ(PathBox(), folder);  // as the folder list gives it: no final separator
    EXPECT_TRUE(desktop.errorBoxes.empty());
    ExpectFlagClear();
}

TEST_F(RealLocationTest, PastingAMissingPathOnAnotherDriveLeavesTheListsApart) {
    ASSERT_NE(other, 0);
    Paste(Text{other, u':', u'\\'} + u"tarnwick-no-such-folder");
    EXPECT_EQ(ErrorNumbers(), std::vector<int32_t>{76});
    EXPECT_EQ(Drive(), other);
    EXPECT_EQ(Dir(), tree.Path(u"Work"));
    EXPECT_EQ(PathBox(), tree.Path(u"Work"));
    ExpectFlagClear();
}

TEST_F(RealLocationTest, TypingShowsAnErrorBoxForEachTextThatNamesNoFolder) {
    Paste(u"");
    desktop.errorBoxes.clear();
    const Text target = tree.Path(u"Work/Sub");
    Type(target);
    // The texts that name a folder: the drive alone (its current folder), each folder
    // on the way with and without its final separator, and the target.
    size_t folders = 0;
    for (size_t n = 1; n <= target.size(); ++n) {
        const Text prefix = target.substr(0, n);
        if (prefix.size() == 2 || prefix.back() == u'\\' ||
            (n < target.size() && target[n] == u'\\') || n == target.size())
            ++folders;
    }
    EXPECT_EQ(desktop.errorBoxes.size(), target.size() - folders);
    for (int32_t n : ErrorNumbers()) EXPECT_EQ(n, 76);
    EXPECT_EQ(PathBox(), target);
    EXPECT_EQ(Dir(), target);
    ExpectFlagClear();
}

TEST_F(RealLocationTest, PastingAPathOnADriveAddedSinceStartUpMovesAllThree) {
    const DWORD used = GetLogicalDrives();
    char16_t letter = 0;
    for (char16_t c = u'x'; c > u'd' && !letter; --c)
        if (!(used & (1u << (c - u'a')))) letter = c;
    ASSERT_NE(letter, 0);
    const AddedDrive drive(letter, tree.Path(u"Work"));
    ASSERT_TRUE(drive.Readable()) << "no drive could be added";
    const Text sub{static_cast<char16_t>(letter - 32), u':', u'\\', u'S', u'u', u'b'};
    Paste(sub);
    EXPECT_TRUE(desktop.errorBoxes.empty());
    EXPECT_EQ(Drive(), letter);
    EXPECT_EQ(Dir(), sub);
    EXPECT_EQ(PathBox(), sub);
    ExpectFlagClear();
}

TEST_F(RealLocationTest, ATextWhoseFirstLetterIsNoDriveChangesNothingElse) {
    const DWORD used = GetLogicalDrives();
    char16_t none = 0;
    for (char16_t c = u'b'; c <= u'z' && !none; ++c)
        if (!(used & (1u << (c - u'a')))) none = c;
    ASSERT_NE(none, 0);
    Paste(Text{none, u':', u'\\', u'x'});
    EXPECT_EQ(ErrorNumbers(), std::vector<int32_t>{68});
    EXPECT_EQ(Drive(), here);
    EXPECT_EQ(Dir(), tree.Path(u"Work"));
    EXPECT_EQ(PathBox(), (Text{none, u':', u'\\', u'x'}));
    ExpectFlagClear();
}

// Started as "Tarnwick.exe FOLDER": chosen after start-up as a paste would choose it; a
// text that names no folder shows one error box and leaves the start-up state.
TEST_F(RealLocationTest, TheCommandLinesFolderIsChosenAfterStartUp) {
    const Text elsewhere = FolderOnOtherDrive();
    ASSERT_FALSE(elsewhere.empty());
    const Text work = tree.Path(u"Work");
    const struct {
        Text arg;
        std::vector<int32_t> errors;
        char16_t drive;
        Text dir, path;
    } cases[] = {
        {elsewhere + u"\\", {}, other, elsewhere, elsewhere},
        {tree.Path(u"Work/Sub") + u"\\",
         {},
         here,
         tree.Path(u"Work/Sub"),
         tree.Path(u"Work/Sub") + u"\\"},
        {Text{other, u':', u'\\'} + u"tarnwick-no-such-folder", {76}, here, work, work},
        {Text{dead, u':', u'\\', u'x'}, {68}, here, work, work},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.arg));
        app.reset();
        desktop.errorBoxes.clear();
        app.emplace(*files, events, &desktop);
        app->Show(SW_HIDE, c.arg);
        EXPECT_EQ(ErrorNumbers(), c.errors);
        EXPECT_EQ(Drive(), c.drive);
        EXPECT_EQ(Dir(), c.dir);
        EXPECT_EQ(PathBox(), c.path);
        ExpectFlagClear();
    }
}

// What Explorer posts: a DROPFILES block with the wide full paths, each ending in a NUL,
// the list in one more.
HGLOBAL DropOf(const std::vector<Text>& paths) {
    std::wstring names;
    for (const Text& p : paths) names += std::wstring(p.begin(), p.end()) + L'\0';
    names += L'\0';
    const size_t bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    const HGLOBAL block = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(block);
    return block;
}

TEST_F(RealLocationTest, ADropChoosesTheFirstItemOrTheFolderOfAFile) {
    tree.File(u"Work/Sub/报告.txt");
    tree.Folder(u"数据");
    const Text elsewhere = FolderOnOtherDrive();
    const struct {
        std::vector<Text> dropped;
        Text dir, path;
    } cases[] = {
        {{tree.Path(u"数据"), tree.Path(u"Work/Sub")}, tree.Path(u"数据"), tree.Path(u"数据")},
        {{tree.Path(u"Work/Sub/报告.txt")}, tree.Path(u"Work/Sub"), tree.Path(u"Work/Sub")},
        {{elsewhere}, elsewhere, elsewhere},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.dropped[0]));
        PostMessageW(app->Me.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf(c.dropped)),
                     0);
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        EXPECT_EQ(Dir(), c.dir);
        EXPECT_EQ(PathBox(), c.path);
        EXPECT_TRUE(desktop.errorBoxes.empty());
        ExpectFlagClear();
    }
}

// "Tarnwick.exe FOLDER", or a drop, with a relative FOLDER: read against the current folder
// (for "X:x", against X:'s own, which cmd keeps in "=X:"), then chosen as a full path is.
TEST_F(RealLocationTest, ARelativeFolderIsReadAgainstTheCurrentFolder) {
    tree.Folder(u"Work/Sub/Deep");
    char16_t x = u'x';
    while (x > u'd' && (GetLogicalDrives() & (1u << (x - u'a')))) --x;
    const AddedDrive drive(x, tree.Path(u"Work"));
    ASSERT_TRUE(drive.Readable()) << "no drive could be added";
    const char16_t X = static_cast<char16_t>(x - 32);
    const Text variable{u'=', X, u':'}, onX = Text{X, u':', u'\\'} + u"Sub\\Deep";
    SetEnvironmentVariableW(W(variable), W(onX.substr(0, 6)));  // X:\Sub
    const Text work = tree.Path(u"Work"), sub = tree.Path(u"Work/Sub");
    const struct {
        Text given, dir, path;
        char16_t drive = 0;  // 0: the current folder's
        int32_t error = 0;
    } cases[] = {
        {u".", work, work},
        {u"..", tree.Root(), tree.Root()},
        {u"Sub\\Deep", tree.Path(u"Work/Sub/Deep"), tree.Path(u"Work/Sub/Deep")},
        {u".\\Sub\\", sub, sub + u"\\"},
        {sub.substr(2), sub, sub},  // "\x": on the current drive
        {Text{X, u':'} + u"Deep", onX, onX, x},
        {u"Nowhere", work, work, 0, 76},
    };
    for (const auto& c : cases) {
        for (const bool dropped : {false, true}) {
            SCOPED_TRACE(Narrow(c.given) + (dropped ? " dropped" : " on the command line"));
            app.reset();
            desktop.errorBoxes.clear();
            app.emplace(*files, events, &desktop);
            app->Show(SW_HIDE, dropped ? TextView{} : TextView(c.given));
            if (dropped) {
                PostMessageW(app->Me.Handle(), WM_DROPFILES,
                             reinterpret_cast<WPARAM>(DropOf({c.given})), 0);
                for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&m);
            }
            EXPECT_EQ(ErrorNumbers(), c.error ? std::vector{c.error} : std::vector<int32_t>{});
            EXPECT_EQ(std::tuple(Drive(), Dir(), PathBox()),
                      std::tuple(c.drive ? c.drive : here, c.dir, c.path));
            ExpectFlagClear();
        }
    }
    SetEnvironmentVariableW(W(variable), nullptr);
}

}  // namespace
}  // namespace tarnwick::testing
