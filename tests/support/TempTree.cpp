#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <fstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace tarnwick::testing {
namespace {

fs::path UniqueFolder() {
    static std::atomic<int> counter{0};
#ifdef _WIN32
    const auto pid = GetCurrentProcessId();
#else
    const auto pid = getpid();
#endif
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    return fs::temp_directory_path() / ("tarnwick-test-" + std::to_string(pid) + "-" +
                                        std::to_string(stamp) + "-" + std::to_string(counter++));
}

void AddAttributes([[maybe_unused]] const fs::path& p, [[maybe_unused]] unsigned long bits) {
#ifdef _WIN32
    const DWORD a = GetFileAttributesW(p.c_str());
    ASSERT_NE(a, INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(SetFileAttributesW(p.c_str(), a | bits));
#endif
}

}  // namespace

TempTree::TempTree() : root_(UniqueFolder()) {
    fs::create_directories(root_);
}

#ifdef _WIN32
namespace {

// std::filesystem here follows folder links while removing, and would loop through one
// that leads back up: remove links as entries of their own, and clear the attribute
// bits that stop a removal.
void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW d;
    const HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &d);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = d.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            const bool folder = d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
            if (folder && !(d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) RemoveTree(child);
            folder ? RemoveDirectoryW(child.c_str()) : DeleteFileW(child.c_str());
        } while (FindNextFileW(h, &d));
        FindClose(h);
    }
    RemoveDirectoryW(path.c_str());
}

// The host's path of `p`; empty where Wine does not provide it.
std::string UnixPath(const fs::path& p) {
    using ToUnix = char* (*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* unix = toUnix ? toUnix(p.c_str()) : nullptr;
    if (!unix) return {};
    std::string out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

// Sets the shell variable `name` to `text`, each byte but letters and digits written as an
// octal escape of printf, so that no quoting can break and no line break is lost.
std::string ShellAssign(const char* name, std::string_view text) {
    static const char kDigits[] = "01234567";
    std::string format;
    for (const unsigned char c : text) {
        if (std::isalnum(c)) {
            format += static_cast<char>(c);
        } else {
            format += {'\\', kDigits[c >> 6], kDigits[(c >> 3) & 7], kDigits[c & 7]};
        }
    }
    const std::string n = name;
    return n + "=\"$(printf '" + format + "_')\" && " + n + "=\"${" + n + "%_}\"";
}

std::string Utf8(TextView text) {
    const std::u8string s = fs::path(Text(text)).u8string();
    return std::string(s.begin(), s.end());
}

// Runs `script` in the host's shell with "$done" set to a mark beside `root`, and waits until
// the script has made that mark (Wine cannot wait for a host program through its handle).
bool RunOnHost(const fs::path& root, const std::string& script) {
    const std::string unixRoot = UnixPath(root);
    if (unixRoot.empty()) return false;
    std::string all = ShellAssign("done", unixRoot + ".done") + "; " + script;
    std::wstring cmd = L"/bin/sh -c \"";
    for (const char c : all) {
        if (c == '"') cmd += L'\\';
        cmd += static_cast<wchar_t>(static_cast<unsigned char>(c));  // ASCII throughout
    }
    cmd += L'"';
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(L"Z:\\bin\\sh", cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
        return false;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    // Wine can't wait on a host process: its marker file tells when it is done. The bound
    // only keeps a broken shell from holding the test for ever; a loaded machine is far
    // inside it.
    const std::wstring done = root.wstring() + L".done";
    for (int i = 0; i < 12000 && GetFileAttributesW(done.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(10);
    return DeleteFileW(done.c_str());
}

}  // namespace

TempTree::~TempTree() {
    if (hostMade_)
        RunOnHost(root_, ShellAssign("r", UnixPath(root_)) + " && rm -rf -- \"$r\"; : > \"$done\"");
    RemoveTree(L"\\\\?\\" + root_.wstring());
}

// Wine lists names holding characters that Windows refuses, but makes none: the host's shell
// makes them.
bool TempTree::HostFile(TextView relative) {
    const std::string unixRoot = UnixPath(root_);
    if (unixRoot.empty()) return false;
    const size_t slash = relative.find_last_of(u'/');
    const TextView parent = relative.substr(0, slash == TextView::npos ? 0 : slash);
    hostMade_ = true;
    const bool made =
        RunOnHost(root_, ShellAssign("r", unixRoot) + " && " + ShellAssign("p", Utf8(parent)) +
                             " && " + ShellAssign("f", Utf8(relative)) +
                             " && mkdir -p -- \"$r/$p\" && : > \"$r/$f\" && : > \"$done\"");
    // Under Wine there is a host to make it: a failure there is the test's, not a skip.
    if (!made) ADD_FAILURE() << "the host's shell did not make " << Narrow(relative);
    return made;
}
#else
TempTree::~TempTree() {
    std::error_code ec;
    fs::remove_all(root_, ec);
}

bool TempTree::HostFile(TextView relative) {
    File(relative);
    return fs::exists(FsPath(relative));
}
#endif

fs::path TempTree::FsPath(TextView relative) const {
    return root_ / fs::path(std::u16string(relative)).make_preferred();
}

Text TempTree::Root() const {
    return root_.u16string();
}

Text TempTree::Path(TextView relative) const {
    return FsPath(relative).u16string();
}

void TempTree::Folder(TextView relative) {
    fs::create_directories(FsPath(relative));
}

void TempTree::File(TextView relative) {
    const fs::path p = FsPath(relative);
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
    ASSERT_TRUE(fs::exists(p));
}

void TempTree::Hide(TextView relative) {
    AddAttributes(FsPath(relative), 0x2);
}

void TempTree::MarkSystem(TextView relative) {
    AddAttributes(FsPath(relative), 0x4);
}

#ifdef _WIN32
namespace {

bool IsLink(const fs::path& p) {
    const DWORD a = GetFileAttributesW(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Wine reports success for CreateSymbolicLinkW without making a link, but shows the host's
// symbolic links as reparse points: there the host's ln makes one.
bool HostSymlink(const fs::path& target, const fs::path& link) {
    const std::string t = UnixPath(target), l = UnixPath(link);
    if (t.empty() || l.empty()) return false;
    RunOnHost(link.parent_path(), ShellAssign("t", t) + " && " + ShellAssign("l", l) +
                                      " && ln -s -- \"$t\" \"$l\"; : > \"$done\"");
    return IsLink(link);
}

}  // namespace

bool TempTree::FolderLink(TextView relative, TextView target) {
    std::error_code ec;
    fs::create_directory_symlink(FsPath(target), FsPath(relative), ec);
    return IsLink(FsPath(relative)) || HostSymlink(FsPath(target), FsPath(relative));
}

bool TempTree::FileLink(TextView relative, TextView target) {
    const fs::path to(Text{target});
    const std::string t = to.is_absolute() ? UnixPath(to) : Utf8(target);
    const std::string l = UnixPath(FsPath(relative));
    return !t.empty() && !l.empty() &&
           RunOnHost(root_, ShellAssign("t", t) + " && " + ShellAssign("l", l) +
                                " && ln -s -- \"$t\" \"$l\"; : > \"$done\"");
}
#else
bool TempTree::FolderLink(TextView relative, TextView target) {
    std::error_code ec;
    fs::create_directory_symlink(FsPath(target), FsPath(relative), ec);
    return !ec;
}

bool TempTree::FileLink(TextView relative, TextView target) {
    return symlink(fs::path(Text{target}).c_str(), FsPath(relative).c_str()) == 0;
}
#endif

#ifdef _WIN32
void TempTree::DeepChain(TextView name, int depth, TextView file) {
    std::wstring path = L"\\\\?\\" + root_.wstring();
    const std::wstring step = L"\\" + fs::path(Text(name)).wstring();
    for (int i = 0; i < depth; ++i) {
        path += step;
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << i;
    }
    path += L"\\" + fs::path(Text(file)).wstring();
    std::ofstream(fs::path(path)) << "x";
}
#else
// Folder by folder through descriptors, so no call sees the whole path.
void TempTree::DeepChain(TextView name, int depth, TextView file) {
    const std::string n = fs::path(Text(name)).string();
    int fd = open(root_.c_str(), O_DIRECTORY | O_RDONLY);
    for (int i = 0; i < depth; ++i) {
        ASSERT_EQ(mkdirat(fd, n.c_str(), 0755), 0) << i;
        const int next = openat(fd, n.c_str(), O_DIRECTORY | O_RDONLY);
        close(fd);
        fd = next;
    }
    close(openat(fd, fs::path(Text(file)).c_str(), O_CREAT | O_WRONLY, 0644));
    close(fd);
}
#endif

std::vector<Text> SplitLines(TextView text) {
    std::vector<Text> lines;
    while (!text.empty()) {
        const size_t end = text.find(u"\r\n");
        EXPECT_NE(end, TextView::npos) << "the last line has no CR LF";
        if (end == TextView::npos) break;
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end + 2);
    }
    return lines;
}

std::string Narrow(TextView text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = u'?';
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
        } else if (c < 0x10000) {
            out +=
                {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                 static_cast<char>(0x80 | (c & 0x3F))};
        } else {
            out +=
                {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                 static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
        }
    }
    return out;
}

}  // namespace tarnwick::testing
