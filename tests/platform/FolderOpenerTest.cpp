// Folders opened on the worker thread while the caller waits.
#include "platform/win32/FolderOpener.h"

#include <gtest/gtest.h>

#include "platform/win32/Wide.h"
#include "tests/support/TempTree.h"

namespace tarnwick::testing {
namespace {

using win32::FolderOpener;

Text Pattern(const TempTree& tree, TextView folder) {
    return tree.Path(folder) + u"\\*";
}

// The first entry as FindFirstFileExW itself gives it.
Text FirstEntry(const Text& pattern) {
    WIN32_FIND_DATAW d;
    const HANDLE h =
        FindFirstFileExW(win32::W(pattern), FindExInfoBasic, &d, FindExSearchNameMatch, nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) return {};
    FindClose(h);
    return Text(win32::FromW(d.cFileName));
}

TEST(FolderOpener, OpensOnTheWorkerAsTheCallWouldHere) {
    TempTree tree;
    tree.File(u"a/one.txt");
    FolderOpener opener;
    int waits = 0;
    WIN32_FIND_DATAW d;
    for (int i = 0; i < 3; ++i) {  // the worker serves one folder after another
        const HANDLE h = opener.Open(Pattern(tree, u"a"), d, [&] { return ++waits, false; });
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(win32::FromW(d.cFileName), FirstEntry(Pattern(tree, u"a")));
        FindClose(h);
    }
    EXPECT_EQ(opener.Open(Pattern(tree, u"missing"), d, [] { return false; }),
              INVALID_HANDLE_VALUE);
}

// The opener still serves the next folder, with the same first entry as the call here.
void ExpectOpens(FolderOpener& opener, const TempTree& tree, TextView folder) {
    WIN32_FIND_DATAW d;
    const HANDLE h = opener.Open(Pattern(tree, folder), d, [] { return false; });
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(win32::FromW(d.cFileName), FirstEntry(Pattern(tree, folder)));
    FindClose(h);
}

// A folder as slow to open as 10^5 entries under Wine.
HANDLE SlowFindFirst(const Text& pattern, WIN32_FIND_DATAW& data) {
    Sleep(150);
    return FolderOpener::FindFirst(pattern, data);
}

// The caller's `waiting` runs before a slow folder's answer can come. Giving up (or the
// walk's pump ending the program, a throw in tests) leaves the opener usable.
TEST(FolderOpener, AFolderGivenUpGivesNothingAndTheNextOneOpens) {
    TempTree tree;
    tree.File(u"a/one.txt");
    tree.File(u"b/two.txt");
    FolderOpener opener(10, SlowFindFirst);
    WIN32_FIND_DATAW d;
    int waits = 0;
    EXPECT_EQ(opener.Open(Pattern(tree, u"a"), d, [&] { return ++waits, true; }),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(waits, 1);
    ExpectOpens(opener, tree, u"b");  // not held up by the folder given up

    struct Ended {};
    EXPECT_THROW(opener.Open(Pattern(tree, u"a"), d, []() -> bool { throw Ended{}; }), Ended);
    ExpectOpens(opener, tree, u"b");
}

TEST(FolderOpener, WithoutWaitingItOpensOnTheCallingThread) {
    TempTree tree;
    tree.File(u"a/one.txt");
    FolderOpener opener(0);
    WIN32_FIND_DATAW d;
    const HANDLE h = opener.Open(Pattern(tree, u"a"), d, {});
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FindClose(h);
}

TEST(FolderOpener, GoingAwayWhileAFolderOpensIsSafe) {
    TempTree tree;
    tree.File(u"a/one.txt");
    for (int i = 0; i < 20; ++i) {
        FolderOpener opener(0, SlowFindFirst);
        WIN32_FIND_DATAW d;
        opener.Open(Pattern(tree, u"a"), d, [] { return true; });
    }            // each worker closes what it opened and ends on its own
    Sleep(300);  // before the folder goes
}

}  // namespace
}  // namespace tarnwick::testing
