// Tarnwick.com, the console program beside Tarnwick.exe, started as a shell starts it, and
// both programs installed in a folder whose path is longer than the classic limit.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "cli/ListCommand.h"
#include "tests/support/ProgramProcess.h"
#include "tests/support/RecordedConsole.h"
#include "tests/support/TempTree.h"

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;

struct Finished {
    DWORD process = 0;  // 0 when it did not start
    DWORD exitCode = STILL_ACTIVE;
    std::string out;
};

// The "\\?\" form, which makes and copies at any length.
std::wstring Long(const fs::path& path) {
    return L"\\\\?\\" + path.wstring();
}

// The system's own way to start a program, below CreateProcessW, which Wine limits to
// programs whose path fits in MAX_PATH; Windows starts one at any length (given in the
// "\\?\" form). Only the fields used here of the structures it takes.
struct UnicodeString {
    USHORT length, maximumLength;
    const wchar_t* buffer;
};
struct ProcessParameters {
    ULONG maximumLength, length, flags, debugFlags;
    HANDLE console;
    ULONG consoleFlags;
    HANDLE input, output, error;
};
struct UserProcessInformation {
    ULONG length;
    HANDLE process, thread;
    HANDLE clientProcess, clientThread;
    BYTE image[256];
};
using CreateParameters = LONG(WINAPI*)(ProcessParameters**, const UnicodeString*,
                                       const UnicodeString*, const UnicodeString*,
                                       const UnicodeString*, void*, const UnicodeString*,
                                       const UnicodeString*, const UnicodeString*,
                                       const UnicodeString*, ULONG);
using CreateUserProcess = LONG(WINAPI*)(const UnicodeString*, ULONG, ProcessParameters*, void*,
                                        void*, HANDLE, BOOLEAN, HANDLE, HANDLE,
                                        UserProcessInformation*);

UnicodeString Counted(const std::wstring& s) {
    const auto bytes = static_cast<USHORT>(s.size() * sizeof(wchar_t));
    return {bytes, bytes, s.c_str()};
}

template <class F>
F FromNtdll(const char* name) {
    return reinterpret_cast<F>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), name)));
}

bool StartAtAnyLength(const std::wstring& program, const std::wstring& line, const fs::path& folder,
                      HANDLE out, PROCESS_INFORMATION& pi) {
    const auto createParameters = FromNtdll<CreateParameters>("RtlCreateProcessParametersEx");
    const auto createProcess = FromNtdll<CreateUserProcess>("RtlCreateUserProcess");
    if (!createParameters || !createProcess) return false;
    const std::wstring nt = L"\\??\\" + program, here = folder.wstring();
    const UnicodeString image = Counted(program), command = Counted(line), cwd = Counted(here),
                        ntImage = Counted(nt);
    ProcessParameters* params = nullptr;
    if (createParameters(&params, &image, nullptr, &cwd, &command, nullptr, nullptr, nullptr,
                         nullptr, nullptr, 1) != 0)  // 1: the strings already normalized
        return false;
    params->input = GetStdHandle(STD_INPUT_HANDLE);
    params->output = params->error = out;
    UserProcessInformation info{sizeof info, nullptr, nullptr, nullptr, nullptr, {}};
    if (createProcess(&ntImage, 0x40 /* case-insensitive */, params, nullptr, nullptr, nullptr,
                      TRUE, nullptr, nullptr, &info) != 0)
        return false;
    ResumeThread(info.thread);
    pi = {info.process, info.thread, GetProcessId(info.process), GetThreadId(info.thread)};
    return true;
}

// `program` started in `folder` with `arguments`, as a shell starts it; waited for, its
// output read, when `wait`.
Finished Start(const std::wstring& program, bool quoted, const std::wstring& arguments,
               const fs::path& folder, bool wait) {
    std::wstring line = (quoted ? L"\"" + program + L"\"" : program) + arguments;
    static int runs = 0;
    const fs::path outPath = folder / (L"~out" + std::to_wstring(++runs) + L".txt");
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                   CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
    PROCESS_INFORMATION pi{};
    const bool started = program.size() < MAX_PATH
                             ? CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                              CREATE_NO_WINDOW, nullptr, folder.c_str(), &si, &pi)
                             : StartAtAnyLength(program, line, folder, out, pi);
    const DWORD code = GetLastError();
    CloseHandle(out);
    EXPECT_TRUE(started) << code;
    if (!started) return {};
    Finished f{pi.dwProcessId, STILL_ACTIVE, {}};
    if (wait) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        GetExitCodeProcess(pi.hProcess, &f.exitCode);
        std::ifstream in(outPath, std::ios::binary);
        f.out.assign(std::istreambuf_iterator<char>(in), {});
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    DeleteFileW(outPath.c_str());
    return f;
}

// Lines as the programs write them to a file: the system's code page (936 here), CR LF.
std::string InCodePage936(const std::vector<Text>& lines) {
    std::wstring text;
    for (const Text& line : lines) text += std::wstring(line.begin(), line.end()) + L"\r\n";
    std::string bytes(text.size() * 2, '\0');
    bytes.resize(static_cast<size_t>(
        WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                            static_cast<int>(bytes.size()), nullptr, nullptr)));
    return bytes;
}

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

// Both programs copied into `folder`.
void Install(const fs::path& folder) {
    for (fs::path made; const fs::path& part : folder) {
        made /= part;
        if (made.has_relative_path()) CreateDirectoryW(Long(made).c_str(), nullptr);
    }
    for (const wchar_t* name : {L"Tarnwick.exe", L"Tarnwick.com"})
        ASSERT_TRUE(CopyFileW(ProgramPath(name).c_str(), Long(folder / name).c_str(), FALSE));
}

// A folder in `tree` whose path is 300 characters long, with a blank in it, and a dot
// when asked for. No name holds more than 80 Chinese characters: the host's file system
// takes 255 bytes of UTF-8 for a name.
fs::path LongFolder(const TempTree& tree, bool dot) {
    const std::wstring root = tree.FsPath(u"").wstring();
    std::wstring tail = L"安装 目录\\" + std::wstring(80, L'长') + L"\\" + std::wstring(80, L'径') +
                        (dot ? L"\\v1.2 " : L"\\v12 ");
    return fs::path(root) / (tail + std::wstring(300 - root.size() - tail.size(), L'x'));
}

// The window Tarnwick.exe shows for `arguments`: given them directly, and through
// Tarnwick.com, both from `install` and started in `here`.
std::pair<Shown, Shown> BothWays(const fs::path& install, bool quoted,
                                 const std::wstring& arguments, const fs::path& here) {
    const auto program = [&](const wchar_t* name) { return (install / name).wstring(); };
    const Finished direct = Start(program(L"Tarnwick.exe"), quoted, arguments, here, false);
    const Shown shownDirect = direct.process ? ReadAndClose(direct.process) : Shown{};
    const Finished relayed = Start(program(L"Tarnwick.com"), quoted, arguments, here, true);
    EXPECT_EQ(relayed.exitCode, 0u) << relayed.out;
    return {shownDirect, relayed.exitCode == 0 ? ReadAndClose() : Shown{}};
}

class ConsoleProgram : public ::testing::Test {
  protected:
    TempTree tree;
    const fs::path built = fs::path(ProgramPath()).parent_path();
};

// From a folder of its own, any arguments open the window that Tarnwick.exe opens for them:
// relative folders are read against the folder Tarnwick.com was started in, and quotes,
// blanks and a final backslash pass as they were written, wherever both are installed.
TEST_F(ConsoleProgram, StartsTheWindowAsTarnwickExeGivenTheSameArguments) {
    tree.Folder(u"数据/空 格 中文");
    tree.Folder(u"当前/子 目录/深");
    const fs::path here = tree.FsPath(u"当前/子 目录"), longDot = LongFolder(tree, true),
                   longPlain = LongFolder(tree, false);
    Install(longDot);
    Install(longPlain);
    const std::wstring data = tree.FsPath(u"数据/空 格 中文").wstring();
    ASSERT_EQ(built.wstring().find(L' '), std::wstring::npos);  // so that it can go unquoted
    const struct {
        fs::path install;
        bool quoted;  // the program's own name
        std::wstring arguments;
    } cases[] = {
        {built, false, L" " + Quoted(data)},
        {built, true, L" " + Quoted(data + L"\\")},  // as a batch file writes "%~dp0"
        {built, false, L" .."},
        {built, true, L"\t."},
        {built, false, L"  \"..\\..\\数据\\空 格\"\" 中文\""},
        {longDot, true, L" " + Quoted(data)},
        {longPlain, true, L" .."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.install.wstring().size() << " "
                                          << std::string(c.arguments.begin(), c.arguments.end()));
        const auto [direct, relayed] = BothWays(c.install, c.quoted, c.arguments, here);
        EXPECT_THAT(direct.boxes, ::testing::IsEmpty());  // each names a folder
        EXPECT_FALSE(direct.controls.empty());
        EXPECT_EQ(relayed, direct);
    }
}

// Installed in a folder of 300 characters, with or without a dot in it, both programs run
// their commands as they do anywhere.
TEST_F(ConsoleProgram, CommandsRunFromAFolderOfAnyLength) {
    tree.File(u"清单/子/a.txt");
    const std::vector<Text> list{u"/list", tree.Path(u"清单"), u"/depth", u"2", u"/files"};
    RecordedConsole listed, usage;
    ASSERT_EQ(RunCommand(list, *MakeFileSystem(), listed), exitcode::Ok);
    ASSERT_EQ(RunCommand({u"/?"}, *MakeFileSystem(), usage), exitcode::Ok);
    const std::wstring listArguments =
        L" /list " + Quoted(tree.FsPath(u"清单").wstring()) + L" /depth 2 /files";
    for (const bool dot : {false, true}) {
        const fs::path install = LongFolder(tree, dot);
        Install(install);
        for (const wchar_t* name : {L"Tarnwick.com", L"Tarnwick.exe"}) {
            SCOPED_TRACE(::testing::Message() << name << (dot ? " with a dot" : ""));
            const std::wstring program = (install / name).wstring();
            const Finished help = Start(program, true, L" /?", tree.FsPath(u""), true);
            EXPECT_EQ(help.exitCode, 0u);
            EXPECT_EQ(help.out, InCodePage936(usage.outLines));
            const Finished listing = Start(program, true, listArguments, tree.FsPath(u""), true);
            EXPECT_EQ(listing.exitCode, 0u);
            EXPECT_EQ(listing.out, listed.out);
        }
    }
}

}  // namespace
}  // namespace tarnwick::testing
