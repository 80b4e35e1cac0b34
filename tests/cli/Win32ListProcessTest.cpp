// The real Tarnwick.exe started with /list, its output redirected to files as a shell
// would: the same bytes as the command run here, and its exit codes.
#include <windows.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "TarnwickVersion.h"
#include "cli/ListCommand.h"
#include "tests/support/ProgramProcess.h"
#include "tests/support/RecordedConsole.h"
#include "tests/window/WindowFixture.h"

namespace tarnwick::testing {
namespace {

struct Finished {
    DWORD exitCode;
    std::string out, err;
};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::wstring Quoted(const std::vector<Text>& args) {
    std::wstring line;
    for (const Text& a : args) line += L" \"" + std::wstring(a.begin(), a.end()) + L"\"";
    return line;
}

HANDLE Inheritable(const std::filesystem::path& path) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0,
                       nullptr);
}

class ProgramTest : public ::testing::Test {
  protected:
    Finished Start(const std::vector<Text>& args) { return StartWith(Quoted(args)); }
    // The arguments as written after the program's name.
    Finished StartWith(const std::wstring& arguments) {
        return StartLine(L"\"" + ProgramPath() + L"\"" + arguments);
    }
    Finished StartLine(std::wstring line) {
        const HANDLE stdOut = Inheritable(streams.FsPath(u"out")),
                     stdErr = Inheritable(streams.FsPath(u"err"));
        const DWORD code = Run(std::move(line), stdOut, stdErr);
        CloseHandle(stdOut);
        CloseHandle(stdErr);
        return {code, ReadFile(streams.FsPath(u"out")), ReadFile(streams.FsPath(u"err"))};
    }
    // `meanwhile` runs while the program does.
    static DWORD Run(std::wstring line, HANDLE stdOut, HANDLE stdErr,
                     const std::function<void(HANDLE process)>& meanwhile = {}) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = stdOut;
        si.hStdError = stdErr;
        PROCESS_INFORMATION pi{};
        const bool started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0,
                                            nullptr, nullptr, &si, &pi);
        EXPECT_TRUE(started) << GetLastError();
        if (!started) return ~DWORD{0};
        if (meanwhile) meanwhile(pi.hProcess);
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return code;
    }
    // Tarnwick.exe with DISPLAY unset, as on a build server: what it writes to its output,
    // then "exit=CODE". A child of ours would get the Wine loader's Unix environment, with
    // DISPLAY, whatever block it is given; so a shell takes DISPLAY away and starts the
    // loader. The shell gives no process to wait for: its output is read until it ends.
    std::string StartWithoutDisplay(const std::vector<Text>& args) {
        const HANDLE stdOut = Inheritable(streams.FsPath(u"out"));
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = stdOut;
        wchar_t loader[MAX_PATH] = L"wine";
        GetEnvironmentVariableW(L"WINELOADER", loader, MAX_PATH);
        std::wstring line =
            L"sh -c \"unset DISPLAY; \\\"$0\\\" \\\"$@\\\" 2>/dev/null; echo exit=$?\" \"" +
            std::wstring(loader) + L"\" \"" + ProgramPath() + L"\"" + Quoted(args);
        PROCESS_INFORMATION pi{};
        const bool started = CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, TRUE, 0,
                                            nullptr, nullptr, &si, &pi);
        CloseHandle(stdOut);
        EXPECT_TRUE(started);
        std::string run;
        while (started &&
               (run = ReadFile(streams.FsPath(u"out"))).find("exit=") == std::string::npos)
            Sleep(20);
        return run;
    }
    TempTree tree, streams, out;
};

TEST_F(ProgramTest, ListsToAFileAndToARedirectedOutputAsTheCommandDoes) {
    tree.Folder(u"数据/照片 2024");
    tree.File(u"数据/报告.txt");
    tree.Folder(u"a b/c");
    const std::vector<Text> args{u"/list", tree.Root(), u"/depth", u"3", u"/files", u"/NOPATH"};
    RecordedConsole here;
    auto files = MakeFileSystem();
    ASSERT_EQ(RunCommand(args, *files, here), exitcode::Ok);
    ASSERT_NE(here.out.find("\x20\x20\x20\x20\xd5\xd5"), std::string::npos);  // "    照"

    std::vector<Text> toFile = args;
    toFile.insert(toFile.end(), {u"-out", out.Path(u"清单.txt")});
    const Finished written = Start(toFile);
    EXPECT_EQ(written.exitCode, 0u);
    EXPECT_EQ(ReadFile(out.FsPath(u"清单.txt")), here.out);
    EXPECT_EQ(written.out, "");

    const Finished printed = Start(args);
    EXPECT_EQ(printed.exitCode, 0u);
    EXPECT_EQ(printed.out, here.out);
    EXPECT_EQ(printed.err, "");

    // As a batch file writes "%~dp0": the backslash before the closing quote is the folder's.
    const Text dir = tree.Root() + u"\\";
    const Finished quoted = StartWith(L" /list \"" + std::wstring(dir.begin(), dir.end()) +
                                      L"\" /depth 3 /files /nopath ");
    EXPECT_EQ(quoted.exitCode, 0u);
    EXPECT_EQ(quoted.out, here.out);
}

TEST_F(ProgramTest, AFailureIsOneLineOnTheErrorStreamAndItsCode) {
    const struct {
        std::vector<Text> args;
        int exitCode;
    } cases[] = {
        {{u"/list", tree.Path(u"none")}, exitcode::NoFolder},
        {{u"/list", tree.Root(), u"/out", out.Path(u"none/x.txt")}, exitcode::CannotWrite},
        {{u"/LIST", tree.Root(), u"/x"}, exitcode::BadSwitch},
        {{u"-list", tree.Root(), u"-depth"}, exitcode::MissingValue},
    };
    for (const auto& c : cases) {
        const Finished f = Start(c.args);
        EXPECT_EQ(f.exitCode, static_cast<DWORD>(c.exitCode));
        EXPECT_EQ(f.out, "");
        EXPECT_TRUE(f.err.ends_with("\r\n"));
        EXPECT_EQ(f.err.find('\n'), f.err.size() - 1);
    }
    EXPECT_TRUE(std::filesystem::is_empty(out.FsPath(u"")));
}

// As on a build server: the command makes no window, so it lists without a display.
TEST_F(ProgramTest, WithoutADisplayItListsTheFolderAsked) {
    tree.File(u"sub/deeper/f.txt");
    const std::vector<Text> args{u"/list", tree.Root(), u"/depth", u"2", u"/files"};
    RecordedConsole here;
    ASSERT_EQ(RunCommand(args, *MakeFileSystem(), here), exitcode::Ok);
    EXPECT_EQ(StartWithoutDisplay(args), here.out + "exit=0\n");
}

// A virus scanner or an indexer opens the file just written for a moment without delete
// sharing: /out waits for it to let go rather than fail. Held here until the new listing
// waits beside it, and half a second more.
TEST_F(ProgramTest, AListingWaitsForAFileAnotherProgramHoldsForAMoment) {
    tree.File(u"数据/报告.txt");
    const std::vector<Text> args{u"/list", tree.Root(), u"/files", u"/out", out.Path(u"清单.txt")};
    std::ofstream(out.FsPath(u"清单.txt")) << "old";
    const HANDLE held =
        CreateFileW(out.FsPath(u"清单.txt").c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const auto besideIt = [&] {
        return std::distance(std::filesystem::directory_iterator(out.FsPath(u"")),
                             std::filesystem::directory_iterator{}) > 1;
    };
    const auto holdAWhile = [&](HANDLE program) {
        while (WaitForSingleObject(program, 1) == WAIT_TIMEOUT && !besideIt()) {
        }
        Sleep(500);
        CloseHandle(held);
    };
    EXPECT_EQ(Run(L"\"" + ProgramPath() + L"\"" + Quoted(args), nullptr, nullptr, holdAWhile), 0u);
    RecordedConsole here;
    ASSERT_EQ(RunCommand({args.begin(), args.end() - 2}, *MakeFileSystem(), here), exitcode::Ok);
    EXPECT_EQ(ReadFile(out.FsPath(u"清单.txt")), here.out);
    EXPECT_FALSE(besideIt());  // nothing of ours is left there
}

std::wstring Value(const std::wstring& key) {
    wchar_t value[1024] = L"(none)";
    DWORD size = sizeof value;
    RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
}

// Tarnwick.com, which cmd runs for `Tarnwick ...`: a command's output and exit code come
// back through cmd, in order; anything else starts the window with the same arguments.
TEST_F(ProgramTest, TheConsoleProgramRunsCommandsAndOpensTheWindowForTheRest) {
    tree.File(u"数据 2024/报告.txt");
    const std::vector<Text> args{u"/list", tree.Root(), u"/depth", u"2", u"/files"};
    RecordedConsole here;
    ASSERT_EQ(RunCommand(args, *MakeFileSystem(), here), exitcode::Ok);
    const std::wstring com = L"\"" + ProgramPath(L"Tarnwick.com") + L"\"";
    const Finished listed = StartLine(L"cmd /c \"" + com + Quoted(args) + L" & echo end\"");
    EXPECT_EQ(listed.out, here.out + "end\r\n");
    const Finished missing =
        StartLine(L"cmd /c \"" + com + Quoted({u"/list", tree.Path(u"none")}) + L"\"");
    EXPECT_EQ(missing.exitCode, static_cast<DWORD>(exitcode::NoFolder));
    EXPECT_TRUE(missing.err.starts_with("\xd5\xd2\xb2\xbb\xb5\xbd")) << missing.err;  // 找不到

    const Finished opened = StartLine(com + Quoted({tree.Path(u"数据 2024")}));
    EXPECT_EQ(opened.exitCode, 0u);
    const HWND window = ProgramWindow();
    ASSERT_NE(window, nullptr);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    const HANDLE running = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, process);
    WaitForInputIdle(running, INFINITE);  // made whole and waiting for the user
    // The path box holds the folder, as if it had been pasted there.
    EXPECT_THAT(ChildTexts(window),
                ::testing::Contains(std::filesystem::path(tree.FsPath(u"数据 2024")).wstring()));
    PostMessageW(window, WM_CLOSE, 0, 0);
    WaitForSingleObject(running, INFINITE);
    CloseHandle(running);
}

// The rows of a console's screen, each without the blanks that fill it out.
std::vector<std::wstring> ScreenRows(HANDLE screen) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(screen, &info);
    const auto width = static_cast<size_t>(info.dwSize.X);
    std::wstring cells(width * static_cast<size_t>(info.dwCursorPosition.Y), L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, cells.data(), static_cast<DWORD>(cells.size()), {0, 0},
                                &read);
    std::vector<std::wstring> rows;
    for (size_t at = 0; at < cells.size(); at += width) {
        std::wstring row = cells.substr(at, width);
        rows.push_back(row.erase(row.find_last_not_of(L' ') + 1));
    }
    return rows;
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    for (size_t at = 0, end; (end = text.find(L'\n', at)) != std::wstring::npos; at = end + 1)
        lines.push_back(text.substr(at, end - (text[end - 1] == L'\r') - at));
    return lines;
}

std::wstring Decoded(std::string bytes, UINT codePage) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    std::wstring text(bytes.size(), L'\0');
    text.resize(static_cast<size_t>(MultiByteToWideChar(codePage, 0, bytes.data(),
                                                        static_cast<int>(bytes.size()), text.data(),
                                                        static_cast<int>(text.size()))));
    return text;
}

// A console is given the characters themselves, in every format, whatever its code page:
// the bytes a file gets would show as others in code page 437. The console made for it
// would stay with the process (the registry test after it then failed under Wine), so the
// test runs in a process of its own.
TEST_F(ProgramTest, AConsoleShowsTheListingsCharactersWhateverItsCodePage) {
    if (GetEnvironmentVariableW(L"TARNWICK_OWN_CONSOLE", nullptr, 0) == 0) {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        SetEnvironmentVariableW(L"TARNWICK_OWN_CONSOLE", L"1");
        const Finished run =
            StartLine(L"\"" + std::wstring(self) + L"\" --gtest_filter=" +
                      L"ProgramTest.AConsoleShowsTheListingsCharactersWhateverItsCodePage");
        SetEnvironmentVariableW(L"TARNWICK_OWN_CONSOLE", nullptr);
        EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
        return;
    }
    tree.File(u"数据 2024/报告.txt");
    tree.File(u"数据 2024/a,b.txt");
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    SetConsoleOutputCP(437);
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const HANDLE screen =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherited, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(screen, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetConsoleScreenBufferSize(screen, {400, 100}));
    const std::wstring com = L"\"" + ProgramPath(L"Tarnwick.com") + L"\"";
    for (const auto& [format, codePage] :
         {std::pair{u"text", UINT{936}}, {u"csv", CP_UTF8}, {u"json", CP_UTF8}}) {
        SCOPED_TRACE(std::wstring(format, format + std::char_traits<char16_t>::length(format)));
        const std::vector<Text> args{u"/list",  tree.Root(), u"/depth", u"2",
                                     u"/files", u"/format",  format};
        RecordedConsole here;
        ASSERT_EQ(RunCommand(args, *MakeFileSystem(), here), exitcode::Ok);
        DWORD cleared = 0;
        FillConsoleOutputCharacterW(screen, L' ', 400 * 100, {0, 0}, &cleared);
        SetConsoleCursorPosition(screen, {0, 0});
        EXPECT_EQ(Run(com + Quoted(args), screen, screen), 0u);
        EXPECT_EQ(ScreenRows(screen), Lines(Decoded(here.out, codePage)));
    }
    CloseHandle(screen);
    FreeConsole();
}

// Explorer's command: /register writes it for the current user; run as Explorer runs it
// (the folder in place of %1 or %V), it starts Tarnwick on that folder; /unregister takes
// away what /register added and nothing else, and says so when a key of another's under
// ours keeps it from doing so.
TEST_F(ProgramTest, RegisterAddsExplorersCommandAndUnregisterTakesAwayJustThat) {
    tree.Folder(u"我的 资料/子 文件夹");
    const std::wstring folder =
        std::filesystem::path(tree.FsPath(u"我的 资料/子 文件夹")).wstring();
    const std::wstring classes = L"Software\\Classes\\",
                       other = classes + L"Directory\\shell\\Other";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, other.c_str(), nullptr, REG_SZ, L"x", 4), 0);
    const struct {
        const wchar_t* kind;
        const wchar_t* placeholder;
        std::wstring folder;
    } places[] = {{L"Directory", L"%1", folder},
                  {L"Drive", L"%1", folder.substr(0, 3)},  // a drive, as Explorer gives it
                  {L"Directory\\Background", L"%V", folder}};
    const std::wstring com = L"\"" + ProgramPath(L"Tarnwick.com") + L"\"";
    const Finished added = StartLine(com + L" /register");
    EXPECT_EQ(added.exitCode, 0u);
    const std::wstring program = ProgramPath();
    const std::string exe(program.begin(), program.end());  // ASCII here
    EXPECT_TRUE(added.out.ends_with(" " + exe + "\r\n")) << added.out;
    for (const auto& place : places) {
        SCOPED_TRACE(std::string(place.kind, place.kind + wcslen(place.kind)));
        const std::wstring verb = classes + place.kind + L"\\shell\\Tarnwick";
        EXPECT_EQ(Value(verb), L"用 Tarnwick 列出(&T)");
        std::wstring line = Value(verb + L"\\command");
        EXPECT_EQ(line, L"\"" + program + L"\" \"" + place.placeholder + L"\"");
        line.replace(line.find(place.placeholder), 2, place.folder);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &si, &pi));
        const HWND window = ProgramWindow(pi.dwProcessId);
        EXPECT_NE(window, nullptr);
        WaitForInputIdle(pi.hProcess, INFINITE);
        EXPECT_THAT(ChildTexts(window), ::testing::Contains(place.folder));
        PostMessageW(window, WM_CLOSE, 0, 0);
        WaitForSingleObject(pi.hProcess, INFINITE);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    const std::wstring blocker = classes + L"Drive\\shell\\Tarnwick\\command\\Someone";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, blocker.c_str(), nullptr, REG_SZ, L"x", 4), 0);
    const Finished blocked = StartLine(com + L" /unregister");
    EXPECT_EQ(blocked.exitCode, static_cast<DWORD>(exitcode::CannotWrite));
    EXPECT_FALSE(blocked.err.empty());
    // The places after the one that failed went all the same.
    EXPECT_EQ(Value(classes + L"Directory\\Background\\shell\\Tarnwick"), L"(none)");
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, blocker.c_str()), 0);
    const Finished removed = StartLine(com + L" /unregister");
    EXPECT_EQ(removed.exitCode, 0u);
    for (const auto& place : places)
        EXPECT_EQ(Value(classes + place.kind + L"\\shell\\Tarnwick"), L"(none)") << place.kind;
    EXPECT_EQ(Value(other), L"x");
    const Finished again = StartLine(com + L" /unregister");
    EXPECT_EQ(again.exitCode, 0u);
    EXPECT_NE(again.out, removed.out);  // nothing was there to remove
    RegDeleteKeyW(HKEY_CURRENT_USER, other.c_str());
}

// What Explorer's Details tab shows of a program: a value of its version resource, the
// fixed file version ("\\") as its four numbers.
std::wstring VersionValue(const std::wstring& program, const std::wstring& name) {
    std::vector<char> info(GetFileVersionInfoSizeW(program.c_str(), nullptr));
    void* value = nullptr;
    UINT length = 0;
    if (info.empty() ||
        !GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(info.size()), info.data()) ||
        !VerQueryValueW(info.data(), name.c_str(), &value, &length))
        return L"(none)";
    if (name != L"\\") return static_cast<const wchar_t*>(value);
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    return std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
           std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
           std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
           std::to_wstring(LOWORD(fixed->dwFileVersionLS));
}

// Both programs carry the project's version where Explorer reads it, and /? says it first.
TEST_F(ProgramTest, BothProgramsCarryTheProjectsVersionAndUsageSaysItFirst) {
    const std::string narrow = TARNWICK_VERSION;
    const std::wstring version(narrow.begin(), narrow.end()),
        strings = L"\\StringFileInfo\\080404b0\\";
    for (const wchar_t* name : {L"Tarnwick.exe", L"Tarnwick.com"}) {
        const std::wstring program = ProgramPath(name);
        EXPECT_EQ(VersionValue(program, L"\\"), version + L".0");
        EXPECT_EQ(VersionValue(program, strings + L"ProductVersion"), version);
        EXPECT_EQ(VersionValue(program, strings + L"FileVersion"), version);
        EXPECT_EQ(VersionValue(program, strings + L"OriginalFilename"), name);
    }
    const Finished usage = StartLine(L"\"" + ProgramPath(L"Tarnwick.com") + L"\" /?");
    EXPECT_EQ(usage.exitCode, 0u);
    EXPECT_TRUE(usage.out.starts_with("Tarnwick " + narrow + " ")) << usage.out;
}

}  // namespace
}  // namespace tarnwick::testing
