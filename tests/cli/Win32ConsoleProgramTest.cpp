// Tarnwick.com, the console program beside Tarnwick.exe, started as a shell starts it, and
// both programs installed in a folder whose path is longer than the classic limit.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "cli/ListCommand.h"
#include "tests/support/ProgramProcess.h"
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

// What a program did for a command line: its exit code and output, for a command; the
// window it started, for anything else (Tarnwick.com exits at once; Tarnwick.exe's own
// exit code then comes when the window closes, and counts as 0).
struct Outcome {
    DWORD exitCode = STILL_ACTIVE;
    std::string out;
    Shown shown;
    bool operator==(const Outcome&) const = default;
    friend void PrintTo(const Outcome& o, std::ostream* os) {
        *os << "exit " << o.exitCode << " " << ::testing::PrintToString(o.out) << " ";
        PrintTo(o.shown, os);
    }
};

Outcome RunProgram(const fs::path& program, bool quoted, const std::wstring& arguments,
                   const fs::path& here) {
    const bool window =
        !IsCommand(SplitCommandLine(u"x" + Text(arguments.begin(), arguments.end())));
    const bool console = program.extension() == L".com";
    const Finished f = Start(program.wstring(), quoted, arguments, here, !window || console);
    if (!window || !f.process) return {f.exitCode, f.out, {}};
    return {console ? f.exitCode : 0, f.out, ReadAndClose(console ? 0 : f.process)};
}

// Tarnwick.com and Tarnwick.exe, from the build's folder or installed in a folder of 300
// characters (with a dot in it, or without), answer a command line as Tarnwick.exe from the
// build's folder answers it, started in the same folder: the same listing or usage, or the
// same window, with relative folders read against that folder, and quotes, blanks and a
// final backslash passed on as they were written.
TEST(ConsoleProgram, AnyInstallAnswersACommandLineAsTarnwickExeDoes) {
    TempTree tree;
    tree.File(u"数据/空 格 中文/报告.txt");
    tree.Folder(u"当前/子 目录/深");
    const fs::path here = tree.FsPath(u"当前/子 目录"),
                   built = fs::path(ProgramPath()).parent_path(), longDot = LongFolder(tree, true),
                   longPlain = LongFolder(tree, false);
    Install(longDot);
    Install(longPlain);
    ASSERT_EQ(built.wstring().find(L' '), std::wstring::npos);  // so that it can go unquoted
    const std::wstring data = tree.FsPath(u"数据/空 格 中文").wstring(),
                       list = L" /list " + Quoted(data) + L" /depth 2 /files";
    const fs::path com = L"Tarnwick.com", exe = L"Tarnwick.exe";
    const struct {
        fs::path program;
        bool quoted;  // the program's own name
        std::wstring arguments;
    } cases[] = {
        {built / com, false, L" " + Quoted(data)},
        {built / com, true, L" " + Quoted(data + L"\\")},  // as a batch file writes "%~dp0"
        {built / com, false, L" .."},
        {built / com, true, L"\t."},
        {built / com, false, L"  \"..\\..\\数据\\空 格\"\" 中文\""},
        {longDot / com, true, L" " + Quoted(data)},
        {longPlain / com, true, L" .."},
        {longDot / exe, true, L" /?"},
        {longPlain / com, true, L" /?"},
        {longDot / com, true, list},
        {longPlain / exe, true, list},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.program.wstring().size() << ":"
                                          << std::string(c.arguments.begin(), c.arguments.end()));
        const Outcome reference = RunProgram(built / exe, true, c.arguments, here);
        EXPECT_TRUE(reference.shown.boxes.empty());  // each names a folder
        EXPECT_FALSE(reference.out.empty() && reference.shown.controls.empty());
        EXPECT_EQ(RunProgram(c.program, c.quoted, c.arguments, here), reference);
    }
}

}  // namespace
}  // namespace tarnwick::testing
