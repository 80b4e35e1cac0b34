// /list against the window: for generated trees and every combination of the options,
// the command writes the bytes that a listing in the window followed by a save writes.
#include <fstream>
#include <iterator>
#include <random>

#include "TarnwickVersion.h"
#include "cli/ListCommand.h"
#include "tests/support/CountingFileSystem.h"
#include "tests/support/RecordedConsole.h"
#include "tests/window/WindowFixture.h"
#include "window/memory/MemoryForm.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/native/Utf8.h"
#endif

namespace tarnwick::testing {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A random tree of folders and files, some hidden, with Chinese names and one name
// that the ANSI code page cannot hold (so that a listing with it goes out as UTF-8).
void Grow(TempTree& tree, unsigned seed) {
    static const TextView kNames[] = {u"a",        u"数据",  u"照片 2024",
                                      u"报告.txt", u"b.log", u"한국어"};
    std::mt19937 random(seed);
    std::vector<Text> folders{u""};
    for (int i = 0; i < 14; ++i) {
        const Text parent = folders[random() % folders.size()];
        const bool hidden = random() % 4 == 0;
        Text name = Text(hidden ? u"." : u"") + Text(kNames[random() % std::size(kNames)]) +
                    Text(1, static_cast<char16_t>(u'0' + i % 10));
        const Text path = parent.empty() ? name : parent + u"/" + name;
        if (random() % 3 == 0) {
            tree.File(path);
        } else {
            tree.Folder(path);
            folders.push_back(path);
        }
        if (hidden) tree.Hide(path);
    }
}

struct Options {
    bool withFiles, hidden, noPath;
};

class ListCommandTest : public WindowTest {
  protected:
    // The user: ticks the options, types the depth, puts the folder in, starts, saves.
    std::string WindowListing(TextView root, Options o, TextView depth) {
        form.ChFiles.SetValue(o.withFiles ? 1 : 0);
        form.ChHidden.SetValue(o.hidden ? 1 : 0);
        form.ChNoPath.SetValue(o.noPath ? 1 : 0);
        w->Paste(form.txtLevel, depth);
        form.SkipChange = True;  // as the folder list puts a folder in
        form.txtPath.SetText(root);
        w->Click(form.cmdDoIt);
        w->Desktop().answers = {out.Path(u"window.txt")};
        w->Click(form.cmdSave);
        return ReadFile(out.FsPath(u"window.txt"));
    }
    int Run(const std::vector<Text>& args) { return RunCommand(args, *files, console); }

    TempTree tree, out;
    RecordedConsole console;
};

TEST_F(ListCommandTest, WritesWhatTheWindowSavesForEveryOption) {
    for (unsigned seed : {1u, 2u, 3u}) {
        TempTree shape;
        Grow(shape, seed);
        for (int options = 0; options < 8; ++options) {
            for (TextView depth : {u"1", u"2", u"0", u"99999"}) {
                const Options o{(options & 1) != 0, (options & 2) != 0, (options & 4) != 0};
                SCOPED_TRACE(::testing::Message() << "seed " << seed << " options " << options
                                                  << " depth " << Narrow(depth));
                const std::string expected = WindowListing(shape.Root(), o, depth);
                std::vector<Text> args{u"/list",    shape.Root(), u"/depth",
                                       Text(depth), u"/out",      out.Path(u"command.txt")};
                if (o.withFiles) args.push_back(u"/files");
                if (o.hidden) args.push_back(u"-HIDDEN");
                if (o.noPath) args.push_back(u"/NoPath");
                ASSERT_EQ(Run(args), exitcode::Ok);
                EXPECT_EQ(ReadFile(out.FsPath(u"command.txt")), expected);
                args.resize(4);  // without /out: the same bytes to the console
                console.out.clear();
                if (o.withFiles) args.push_back(u"/files");
                if (o.hidden) args.push_back(u"/hidden");
                if (o.noPath) args.push_back(u"/nopath");
                ASSERT_EQ(Run(args), exitcode::Ok);
                EXPECT_EQ(console.out, expected);
            }
        }
        // Into the folder listed: the old file is listed, never the new one being made.
        shape.File(u"in.txt");
        const std::string inside = WindowListing(shape.Root(), {true, true, false}, u"9");
        ASSERT_EQ(Run({u"/list", shape.Root(), u"/depth", u"9", u"/files", u"/hidden", u"/out",
                       shape.Path(u"in.txt")}),
                  exitcode::Ok);
        EXPECT_EQ(ReadFile(shape.FsPath(u"in.txt")), inside);
    }
}

// A folder that can't be read is passed over as the window passes it over, the rest is
// listed in full, and each such folder is named after it, with exit code 7.
TEST_F(ListCommandTest, FoldersThatCannotBeReadAreNamedAndTheRestListed) {
    for (TextView f : {u"a/empty", u"a/b/c/shut", u"z/f.txt"}) tree.Folder(f);
    const std::string expected = WindowListing(tree.Root(), {true, false, false}, u"9");
    for (const bool readers : {false, true}) {
        CountingFileSystem failing(*files);
        failing.readers = readers;
        failing.unreadableFolders = {u"empty", u"shut"};
        console = {};
        EXPECT_EQ(RunCommand({u"/list", tree.Root(), u"/depth", u"9", u"/files"}, failing, console,
                             {.fromStart = true}),  // a reader from the start
                  exitcode::SomeUnread);
        EXPECT_EQ(console.out, expected);
        const Text sep(1, kSeparator);
        EXPECT_THAT(console.errorLines,
                    ::testing::UnorderedElementsAre(
                        u"无法读取文件夹：" + tree.Path(u"a/empty") + sep + u"（拒绝访问。）",
                        u"无法读取文件夹：" + tree.Path(u"a/b/c/shut") + sep + u"（拒绝访问。）"));
        // No window to keep answering: no folder is handed to a helper thread to open.
        EXPECT_EQ(failing.openedWhileAnswering, 0);
    }
}

#ifndef _WIN32
// The native program, its streams redirected to files as a shell would.
struct Ran {
    int exitCode;
    std::string out, err;
};
Ran RunProgram(const std::vector<Text>& args, const TempTree& streams) {
    const std::string out = native::ToBytes(streams.Path(u"out")),
                      err = native::ToBytes(streams.Path(u"err"));
    std::string line = TARNWICK_PROGRAM;
    for (const Text& a : args) line += " '" + native::ToBytes(a) + "'";
    const int status = std::system((line + " >'" + out + "' 2>'" + err + "'").c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
}

TEST_F(ListCommandTest, TheNativeProgramWritesWhatTheWindowSaves) {
    for (unsigned seed : {1u, 2u, 3u}) {
        TempTree shape;
        Grow(shape, seed);
        const std::string expected = WindowListing(shape.Root(), {true, true, false}, u"9");
        const Ran ran =
            RunProgram({u"/list", shape.Root(), u"/depth", u"9", u"/files", u"/hidden"}, out);
        EXPECT_EQ(ran.exitCode, exitcode::Ok);
        EXPECT_EQ(ran.out, expected);
        EXPECT_EQ(ran.err, "");
    }
    const Ran missing = RunProgram({u"/list", tree.Path(u"none")}, out);
    EXPECT_EQ(missing.exitCode, exitcode::NoFolder);
    EXPECT_EQ(missing.out, "");
    EXPECT_TRUE(missing.err.starts_with("找不到文件夹：")) << missing.err;  // UTF-8, as typed
}

// Without a descriptor left, code page 936 can't be loaded (nor ever again in that process:
// glibc keeps the failure): the listing fails with one line and nothing written, rather
// than go out in another encoding as if complete. In a process of its own, where nothing
// has loaded it yet; each call is made once first, as the sanitizer checks a call's type
// through a pipe.
TEST_F(ListCommandTest, ACodePageThatCantBeLoadedFailsTheListingRatherThanChangeItsEncoding) {
    tree.Folder(u"数据");
    const auto withoutDescriptors = [this] {
        Run({u"/list", tree.Root() + u"x"});
        Run({u"/list", tree.Root(), u"/format", u"json"});
        console = {};
        const rlimit few{64, 64};
        setrlimit(RLIMIT_NOFILE, &few);
        while (dup(STDERR_FILENO) >= 0) {
        }
        const int code = Run({u"/list", tree.Root()});
        std::_Exit(code == exitcode::ListingFailed && console.out.empty() &&
                           console.errorLines.size() == 1
                       ? 0
                       : 1);
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(withoutDescriptors(), ::testing::ExitedWithCode(0), "");
}
#endif

// An error line that names a path or an argument is one line: a CR or LF in it (names may
// hold them natively, and on a share) shows as the listing shows it.
TEST_F(ListCommandTest, AnErrorLineIsOneLineWhateverItNames) {
    const Text odd = u"cr\rlf\nname", root = tree.Root(), in = root + Text(1, kSeparator) + odd;
    CountingFileSystem failing(*files);
    std::vector<std::vector<Text>> cases{
        {u"/list", in + u"x"},        {u"/list", root, u"/out", in + u"x/y"}, {u"/list", root, odd},
        {u"/list", root, u"-" + odd}, {u"/list", root, u"/format", odd},      {u"/register", odd}};
#ifndef _WIN32
    tree.Folder(odd + u"/inside");  // which can't be read
    failing.unreadableFolders = {odd};
    cases.push_back({u"/list", root, u"/depth", u"2"});
#endif
    for (const auto& args : cases) {
        console = {};
        RunCommand(args, failing, console);
        ASSERT_EQ(console.errorLines.size(), 1u) << Narrow(args.back());
        EXPECT_NE(console.errorLines[0].find(u"cr\u240Dlf\u240Aname"), Text::npos)
            << Narrow(console.errorLines[0]);
    }
}

TEST_F(ListCommandTest, EachFailureHasItsOwnCodeAndOneLineAndWritesNothing) {
    tree.Folder(u"sub");
    const Text root = tree.Root(), file = out.Path(u"x.txt");
    struct Case {
        std::vector<Text> args;
        int exitCode;
    };
    const std::vector<Text> all{u"/list",   root,       u"/depth", u"3", u"/files",
                                u"/hidden", u"/nopath", u"/out",   file};
    const Case cases[] = {
        {{u"/list"}, exitcode::MissingValue},
        {{u"/list", root, u"/depth"}, exitcode::MissingValue},
        {{u"/list", root, u"/out"}, exitcode::MissingValue},
        {{u"/list", root, u"-deep", u"3", u"/out", file}, exitcode::BadSwitch},
        {{u"/list", root, u"sub", u"/out", file}, exitcode::BadSwitch},
        {{u"/list", tree.Path(u"none"), u"/out", file}, exitcode::NoFolder},
        {{u"/list", tree.Path(u"sub/x.txt"), u"/out", file}, exitcode::NoFolder},
        {{u"/list", root, u"/out", out.Path(u"none/x.txt")}, exitcode::CannotWrite},
        {{u"/list", root, u"/out", out.Path(u"")}, exitcode::CannotWrite},
        {{u"/Unregister", root}, exitcode::BadSwitch},
#ifndef _WIN32
        {{u"/register"}, exitcode::BadSwitch},  // there is no Explorer here
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        console = {};
        EXPECT_EQ(RunCommand(c.args, *files, console), c.exitCode);
        ASSERT_EQ(console.errorLines.size(), 1u);
        EXPECT_NE(console.errorLines[0].find_first_of(u"找缺未多无"), Text::npos);
        EXPECT_TRUE(console.out.empty());
        EXPECT_TRUE(console.outLines.empty());
        EXPECT_TRUE(std::filesystem::is_empty(out.FsPath(u"")));
    }
    EXPECT_EQ(RunCommand(all, *files, console), exitcode::Ok);
}

// A file made read-only while the walk goes is refused as one read-only from the start:
// exit 5, the file as it was, nothing beside it.
TEST_F(ListCommandTest, AFileMadeReadOnlyDuringTheWalkIsKept) {
    tree.Folder(u"a/b");
    const auto x = out.FsPath(u"x.txt");
    std::ofstream(x, std::ios::binary) << "old";
    CountingFileSystem watching(*files);
    watching.want = [&](TextView, bool) {
        std::filesystem::permissions(x, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
        return CountingFileSystem::Want::None;
    };
    EXPECT_EQ(RunCommand({u"/list", tree.Root(), u"/out", out.Path(u"x.txt")}, watching, console),
              exitcode::CannotWrite);
    std::filesystem::permissions(x, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(ReadFile(x), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.FsPath(u"")), {}), 1);
}

TEST_F(ListCommandTest, AnOutputThatCannotTakeTheListingIsAFailure) {
    console.full = true;
    EXPECT_EQ(Run({u"/list", tree.Root()}), exitcode::CannotWrite);
    EXPECT_EQ(console.errorLines.size(), 1u);
}

TEST_F(ListCommandTest, UsageGoesToTheOutputAndOnlyListOrHelpAreCommands) {
    EXPECT_EQ(Run({u"-?"}), exitcode::Ok);
    ASSERT_EQ(console.outLines.size(), 1u);
    EXPECT_TRUE(console.outLines[0].starts_with(
        u"Tarnwick " TARNWICK_VERSION u" 文件夹清单\r\n用法：Tarnwick.exe /list 文件夹"));
    EXPECT_TRUE(console.errorLines.empty());
    EXPECT_TRUE(IsCommand({u"-List", u"x"}));
    EXPECT_TRUE(IsCommand({u"/?"}));
    EXPECT_TRUE(IsCommand({u"-REGISTER"}));
    EXPECT_FALSE(IsCommand({tree.Root()}));
    EXPECT_FALSE(IsCommand({}));
}

TEST(CommandLineTest, QuotesGroupBlanksAndAFolderKeepsItsLastBackslash) {
    const struct {
        TextView line;
        std::vector<Text> args;
    } cases[] = {
        {uR"(T.exe /list "C:\lst\" /depth 2)", {u"/list", uR"(C:\lst\)", u"/depth", u"2"}},
        {uR"(T.exe /list "C:\lst\" )", {u"/list", uR"(C:\lst\)"}},  // before "> o.txt"
        {uR"("C:\Program Files\T.exe" "D:\资料\" /out "D:\清 单.txt")",
         {uR"(D:\资料\)", u"/out", u"D:\\清 单.txt"}},
        {uR"("C:\T.exe"/list x)", {u"/list", u"x"}},
        // As PowerShell, .NET and Python quote a trailing backslash; pairs count once.
        {uR"(T.exe "C:\my docs\\" C:\a\\\"b)", {uR"(C:\my docs\)", uR"(C:\a\\b)"}},
        {uR"(T.exe C:\a\"b c"\d \\srv\s\ "\\srv\s\")",
         {uR"(C:\a\b c\d)", uR"(\\srv\s\)", uR"(\\srv\s\)"}},
        {u"T.exe \"\" /out \"\"", {u"", u"/out", u""}},
        {u"T.exe \t a\t\"b\"\"c\"  \"d e", {u"a", u"bc", u"d e"}},
        {u"  /list x", {u"/list", u"x"}},  // a blank first: the name is empty
        {u"T.exe", {}},
        {u"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.line));
        EXPECT_EQ(SplitCommandLine(c.line), c.args);
    }
}

}  // namespace
}  // namespace tarnwick::testing
