// Folders opened on the worker thread while the caller waits.
#include "platform/win32/files/FolderOpener.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/Threads.h"
#include "platform/win32/Wide.h"
#include "tests/support/TempTree.h"
#include "tests/support/ThreadCount.h"

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
    std::atomic<DWORD> openedOn = 0;
    FolderOpener opener(50, [&](const Text& pattern, WIN32_FIND_DATAW& d) {
        openedOn = GetCurrentThreadId();
        return FolderOpener::FindFirst(pattern, d);
    });
    int waits = 0;
    WIN32_FIND_DATAW d;
    for (int i = 0; i < 3; ++i) {  // the worker serves one folder after another
        const HANDLE h = opener.Open(Pattern(tree, u"a"), d, [&] { return ++waits, false; });
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(win32::FromW(d.cFileName), FirstEntry(Pattern(tree, u"a")));
        EXPECT_NE(openedOn, GetCurrentThreadId());
        FindClose(h);
    }
    EXPECT_EQ(opener.Open(Pattern(tree, u"missing"), d, [] { return false; }),
              INVALID_HANDLE_VALUE);
}

class Event {
  public:
    Event() : h_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() { CloseHandle(h_); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    void Set() { SetEvent(h_); }
    // The limit only keeps a broken opener from hanging the test: each step takes microseconds.
    bool Wait() { return WaitForSingleObject(h_, 10000) == WAIT_OBJECT_0; }

  private:
    HANDLE h_;
};

// The opener still serves the next folder, with the same first entry as the call here.
void ExpectOpens(FolderOpener& opener, const TempTree& tree, TextView folder) {
    WIN32_FIND_DATAW d;
    const HANDLE h = opener.Open(Pattern(tree, folder), d, [] { return false; });
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(win32::FromW(d.cFileName), FirstEntry(Pattern(tree, folder)));
    FindClose(h);
}

// The caller's `waiting` runs before a slow folder's answer can come. Giving up (or the
// walk's pump ending the program, a throw in tests) leaves the opener usable.
TEST(FolderOpener, AFolderGivenUpGivesNothingAndTheNextOneOpens) {
    TempTree tree;
    tree.File(u"a/one.txt");
    tree.File(u"b/two.txt");
    // Folder a opens only once the test lets it (as slow as a hung share); b at once.
    Event firstA, secondA, openingA;
    std::atomic<int> opensOfA = 0;
    FolderOpener opener(10, [&](const Text& pattern, WIN32_FIND_DATAW& d) {
        if (pattern == Pattern(tree, u"a")) {
            const bool first = opensOfA++ == 0;
            if (first) openingA.Set();
            (first ? firstA : secondA).Wait();
        }
        return FolderOpener::FindFirst(pattern, d);
    });
    WIN32_FIND_DATAW d;
    int waits = 0;
    // Given up once the worker is in it, however late a busy machine lets the worker start.
    const auto giveUpWhileOpening = [&] { return openingA.Wait(), ++waits, true; };
    EXPECT_EQ(opener.Open(Pattern(tree, u"a"), d, giveUpWhileOpening), INVALID_HANDLE_VALUE);
    EXPECT_EQ(waits, 1);
    ExpectOpens(opener, tree, u"b");  // not held up by the folder given up
    firstA.Set();

    struct Ended {};
    EXPECT_THROW(opener.Open(Pattern(tree, u"a"), d, []() -> bool { throw Ended{}; }), Ended);
    ExpectOpens(opener, tree, u"b");
    secondA.Set();
}

TEST(FolderOpener, WithoutWaitingItOpensOnTheCallingThread) {
    TempTree tree;
    tree.File(u"a/one.txt");
    DWORD openedOn = 0;
    FolderOpener opener(0, [&](const Text& pattern, WIN32_FIND_DATAW& d) {
        openedOn = GetCurrentThreadId();
        return FolderOpener::FindFirst(pattern, d);
    });
    WIN32_FIND_DATAW d;
    const HANDLE h = opener.Open(Pattern(tree, u"a"), d, {});
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(openedOn, GetCurrentThreadId());
    FindClose(h);
}

// Opens and closes of folders, counted through the opener's seams.
struct Counts {
    FolderOpener::OpenFunction Counted(FolderOpener::OpenFunction open) {
        return [this, open](const Text& pattern, WIN32_FIND_DATAW& d) {
            const HANDLE h = open(pattern, d);
            if (h != INVALID_HANDLE_VALUE) ++opens;
            return h;
        };
    }
    std::function<void(HANDLE)> Close() {
        return [this](HANDLE h) {
            ++closes;
            FindClose(h);
        };
    }
    std::atomic<int> opens = 0;
    std::atomic<int> closes = 0;
};

TEST(FolderOpener, GoingAwayWhileAFolderOpensIsSafe) {
    TempTree tree;
    tree.File(u"a/one.txt");
    constexpr int kOpeners = helpers::kMostLeftOpening;  // as many as may be left opening
    Counts counts;
    std::atomic<int> opening = 0, ended = 0;
    Event released, allEnded;
    for (int i = 0; i < kOpeners; ++i) {
        FolderOpener::Hooks hooks;
        hooks.close = counts.Close();
        hooks.ended = [&] {
            if (++ended == kOpeners) allEnded.Set();
        };
        const auto open = [&](const Text& pattern, WIN32_FIND_DATAW& d) {
            ++opening;
            released.Wait();  // every opener goes away while its folder is still opening
            return FolderOpener::FindFirst(pattern, d);
        };
        FolderOpener opener(0, counts.Counted(open), std::move(hooks));
        WIN32_FIND_DATAW d;
        opener.Open(Pattern(tree, u"a"), d, [&] { return opening > i; });  // once it opens
    }  // each worker closes what it opened and ends on its own
    released.Set();
    ASSERT_TRUE(allEnded.Wait());
    EXPECT_EQ(counts.opens, kOpeners);
    EXPECT_EQ(counts.closes, kOpeners);
}

// Opening a folder that never opens, and giving it up, again and again: the openers left
// in it stay within their bound (the next one waiting for room, or given up meanwhile),
// and all end once it opens.
TEST(FolderOpener, OpenersLeftInAStuckFolderAreBounded) {
    TempTree tree;
    tree.File(u"a/one.txt");
    Event released;
    const auto stuck = [&](const Text& pattern, WIN32_FIND_DATAW& d) {
        released.Wait();
        return FolderOpener::FindFirst(pattern, d);
    };
    const int threadsBefore = ProcessThreads();
    for (int i = 0; i < 200; ++i) {
        FolderOpener opener(1, stuck);
        WIN32_FIND_DATAW d;
        EXPECT_EQ(opener.Open(Pattern(tree, u"a"), d, [] { return true; }), INVALID_HANDLE_VALUE);
        EXPECT_LE(helpers::LeftOpeningCount(), helpers::kMostLeftOpening);
        EXPECT_LE(ProcessThreads(), threadsBefore + helpers::kMostLeftOpening + 1);
    }
    released.Set();
    helpers::WaitUntilOpenersEnded();
    int threads = ProcessThreads();  // a thread that has ended is gone a moment later
    for (int i = 0; i < 10000 && threads > threadsBefore; ++i) {
        Sleep(1);
        threads = ProcessThreads();
    }
    EXPECT_LE(threads, threadsBefore);  // a thread of an earlier test may have ended meanwhile
}

// Where the worker's answer comes against a give-up: while the caller decides to give up,
// in the moment the give-up has let go of the lock, or once the worker is retired.
enum class AnswerComes { BeforeTheGiveUp, AsTheGiveUpLetsGo, AfterTheWorkerIsRetired };

class FolderGivenUpAsItOpens : public ::testing::TestWithParam<AnswerComes> {};

TEST_P(FolderGivenUpAsItOpens, IsClosedWhenEverTheAnswerComes) {
    TempTree tree;
    tree.File(u"a/one.txt");
    const AnswerComes when = GetParam();
    Counts counts;
    Event opening, mayAnswer, handled, ended;
    const auto answer = [&] {
        mayAnswer.Set();
        EXPECT_TRUE(handled.Wait());
    };
    FolderOpener::Hooks hooks;
    hooks.close = counts.Close();
    hooks.gaveUp = [&] {
        if (when == AnswerComes::AsTheGiveUpLetsGo) answer();
    };
    hooks.handled = [&] { handled.Set(); };
    hooks.ended = [&] { ended.Set(); };
    const auto heldOpen = [&](const Text& pattern, WIN32_FIND_DATAW& d) {
        opening.Set();
        mayAnswer.Wait();
        return FolderOpener::FindFirst(pattern, d);
    };
    {
        FolderOpener opener(0, counts.Counted(heldOpen), std::move(hooks));
        WIN32_FIND_DATAW d;
        const auto giveUp = [&] {
            EXPECT_TRUE(opening.Wait());
            if (when == AnswerComes::BeforeTheGiveUp) answer();
            return true;
        };
        EXPECT_EQ(opener.Open(Pattern(tree, u"a"), d, giveUp), INVALID_HANDLE_VALUE);
        if (when == AnswerComes::AfterTheWorkerIsRetired) answer();
    }
    ASSERT_TRUE(ended.Wait());
    EXPECT_EQ(counts.opens, 1);
    EXPECT_EQ(counts.closes, 1);
}

std::string CaseName(const ::testing::TestParamInfo<AnswerComes>& info) {
    static const char* const kNames[] = {"BeforeTheGiveUp", "AsTheGiveUpLetsGo",
                                         "AfterTheWorkerIsRetired"};
    return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(FolderOpener, FolderGivenUpAsItOpens,
                         ::testing::Values(AnswerComes::BeforeTheGiveUp,
                                           AnswerComes::AsTheGiveUpLetsGo,
                                           AnswerComes::AfterTheWorkerIsRetired),
                         CaseName);

}  // namespace
}  // namespace tarnwick::testing
