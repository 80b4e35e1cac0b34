// Walk cases that only one of the platforms can show.
#include <fstream>

#include "tests/listing/WalkFixture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarnwick::testing {
namespace {

using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAreArray;

// A folder or file made under exactly the name given, which Windows' usual path rules
// would change when it ends in dots or blanks.
void MakeLiteral(TempTree& tree, TextView relative, bool folder) {
#ifdef _WIN32
    const std::wstring p = L"\\\\?\\" + tree.FsPath(relative).wstring();
    if (folder) {
        ASSERT_TRUE(CreateDirectoryW(p.c_str(), nullptr)) << Narrow(relative);
    } else {
        const HANDLE h = CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << Narrow(relative);
        CloseHandle(h);
    }
#else
    folder ? tree.Folder(relative) : tree.File(relative);
#endif
}

// Each folder lies beside the sibling that the rules would make of its name; each is
// listed and entered under its own name, in both forms of line.
TEST_F(WalkTest, NamesEndingInDotsOrBlanksAreTakenLiterally) {
    const std::pair<Text, Text> folders[] = {
        {u"same", u"a"},   {u"same.", u"b"}, {u"two..", u"c"},   {u"two.", u"d"},
        {u"blank ", u"e"}, {u"blank", u"f"}, {u"dots . .", u"g"}};
    std::vector<Text> expected;
    for (const auto& [folder, file] : folders) {
        MakeLiteral(tree, folder, true);
        MakeLiteral(tree, folder + u"/" + file, false);
        MakeLiteral(tree, folder + u"/" + file + u".", false);
        expected.push_back(P(folder));
        expected.push_back(P(folder + u"/" + file));
        expected.push_back(P(folder + u"/" + file + u"."));
    }
    Set({});
    const auto lines = List(tree.Root());
    EXPECT_THAT(lines, UnorderedElementsAreArray(expected));
    ExpectDepthFirst(lines, tree.Root());

    form.txtResult.SetText(u"");
    Set({.bare = true});
    const auto bare = List(tree.Root());
    ASSERT_EQ(bare.size(), lines.size());
    for (size_t i = 0; i < bare.size(); ++i) {
        const size_t slash = lines[i].find_last_of(kSeparator);
        const bool inside = lines[i].substr(0, slash) != tree.Root();
        EXPECT_EQ(bare[i], (inside ? u"    " : u"") + lines[i].substr(slash + 1));
    }
}

#ifdef _WIN32

TEST_F(WalkTest, SystemEntriesAreNeverListed) {
    tree.File(u"sys.txt");
    tree.MarkSystem(u"sys.txt");
    tree.File(u"sysdir/inside.txt");
    tree.MarkSystem(u"sysdir");
    tree.File(u"normal.txt");
    Set({.hidden = true});
    EXPECT_THAT(List(tree.Root()), ElementsAreArray(Ps({u"normal.txt"})));
}

TEST_F(WalkTest, HiddenAttributeHidesWhateverTheName) {
    tree.File(u"plain/inside.txt");
    tree.Hide(u"plain");
    Set({.hidden = false});
    EXPECT_THAT(List(tree.Root()), IsEmpty());
}

TEST_F(WalkTest, PathsBeyondTheClassicLimitAreListedAsTyped) {
    const Text name(60, u'n');
    Text relative = name;
    for (int i = 0; i < 6; ++i) relative += u"/" + name;
    std::filesystem::create_directories(L"\\\\?\\" + tree.FsPath(relative).wstring());
    std::ofstream(std::filesystem::path(L"\\\\?\\" + tree.FsPath(relative + u"/f.txt").wstring()))
        << "x";
    Set({});
    const auto lines = List(tree.Root());
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines.back(), P(relative + u"/f.txt"));
    EXPECT_GT(lines.back().size(), 400u);
    for (const Text& line : lines) EXPECT_FALSE(line.starts_with(u"\\\\?\\"));
}

TEST_F(WalkTest, DriveRootHasNoDoubledSeparatorAndPumpsOnce) {
    const Text root = P(u"").substr(0, 3);  // the drive of the temporary folder, as "X:\"
    Set({.files = false, .levels = 1});
    const auto lines = List(root);
    ASSERT_THAT(lines, ::testing::Not(IsEmpty()));
    for (const Text& line : lines) {
        EXPECT_TRUE(line.starts_with(root)) << Narrow(line);
        EXPECT_NE(line[3], u'\\') << Narrow(line);
        EXPECT_NE(line.substr(3), u".");
        EXPECT_NE(line.substr(3), u"..");
    }
    EXPECT_EQ(pump.pumps, 1);  // no "." or "..", only the pump after the enumeration
}

TEST_F(WalkTest, DriveRootWithoutItsSeparator) {
    const Text drive = P(u"").substr(0, 2);  // "X:"
    Set({.files = false, .levels = 1});
    const auto lines = List(drive);
    ASSERT_THAT(lines, ::testing::Not(IsEmpty()));
    EXPECT_TRUE(lines.front().starts_with(drive + u"\\"));
}

#else

// Makes a name from raw bytes, which need not be UTF-8.
void MakeRawFolder(const std::string& parent, const std::string& name) {
    ASSERT_EQ(mkdir((parent + "/" + name).c_str(), 0755), 0) << name;
}

TEST_F(WalkTest, NamesHoldingTheBarAreKeptApart) {
    tree.File(u"a|b/c|d.txt");
    tree.File(u"|");
    tree.File(u"e|");
    Set({});
    EXPECT_THAT(List(tree.Root()),
                UnorderedElementsAreArray(Ps({u"a|b", u"a|b/c|d.txt", u"|", u"e|"})));
}

TEST_F(WalkTest, NamesThatAreNotUtf8AreListedAndEntered) {
    const std::string root = tree.FsPath(u"").string();
    MakeRawFolder(root, "bad\xff\xfename");
    MakeRawFolder(root + "/bad\xff\xfename", "inner\xc3");
    Set({});
    const auto lines = List(tree.Root());
    ASSERT_EQ(lines.size(), 2u);
    const Text folder = tree.Root() + u"/bad\xdcff\xdcfename";
    EXPECT_EQ(lines[0], folder);
    EXPECT_EQ(lines[1], folder + u"/inner\xdcc3");
}

TEST_F(WalkTest, DotNamesAreHidden) {
    tree.File(u".config/x");
    tree.File(u"a.b");
    Set({});
    EXPECT_THAT(List(tree.Root()), ElementsAreArray(Ps({u"a.b"})));
}

size_t OpenDescriptors() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                             std::filesystem::directory_iterator{}));
}

TEST_F(WalkTest, AStoppedWalkLeavesNoFolderOpen) {
    tree.Folder(u"a/b/c");
    Set({});
    const size_t before = OpenDescriptors();
    pump.onPump = [this](int) {
        if (Lines().size() == 2) form.StopRequested = True;  // at "." of b
    };
    List(tree.Root());
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(WalkTest, ABrokenLinkIsListedAsAnEntry) {
    ASSERT_EQ(symlink("/nonexistent-target", tree.FsPath(u"dangling").c_str()), 0);
    Set({});
    EXPECT_THAT(List(tree.Root()), ElementsAreArray(Ps({u"dangling"})));
}

#endif

}  // namespace
}  // namespace tarnwick::testing
