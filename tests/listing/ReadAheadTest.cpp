// The walk with folders read ahead on worker threads against the walk that reads every
// folder itself, over generated trees: the same lines and the same pumps, whatever the
// settings and whatever the user does at the pumps.
#include <array>
#include <atomic>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "tests/listing/WalkFixture.h"
#include "tests/support/LatencyFileSystem.h"
#include "tests/support/ThreadCount.h"
#include "tests/support/TimerTickWaits.h"

namespace tarnwick::testing {
namespace {

using ::testing::ElementsAreArray;

const char16_t* const kNames[] = {u"a", u"Beta", u"文件夹", u"\U0001F4C1 x",
                                  u"é", u"z z",  u"報告",   u"x.txt"};

// What a walk showed: the listing's length at each pump, the listing, and whether the
// program ended.
struct Outcome {
    std::vector<size_t> pumps;
    Text text;
    bool ended = false;
    friend bool operator==(const Outcome&, const Outcome&) = default;
};

// What the user does, by pump number (0: never).
struct Script {
    int levelsAt = 0;
    int32_t levels = 0;
    bool levelsAtEveryPump = false;  // 1 to 5, as a hash of the pump's number gives
    int stopAt = 0;
    int closeAt = 0;
};

class ReadAheadTest : public WalkTest {
  protected:
    // Folders of random shape a few levels deep, hidden entries among them, now and then a
    // folder of several hundred files (where the timed pumps come in), and links back up,
    // across and to nothing where the platform makes them.
    void MakeTree(const Text& top, uint32_t seed) {
        std::mt19937 rng(seed);
        std::vector<Text> folders{top + u"/"};
        int serial = 0;
        for (size_t i = 0; i < folders.size() && folders.size() < 40; ++i) {
            const Text parent = folders[i];
            const int depth = static_cast<int>(std::count(parent.begin(), parent.end(), u'/'));
            const int entries = 1 + static_cast<int>(rng() % 8);
            for (int e = 0; e < entries; ++e) {
                Text name = kNames[rng() % std::size(kNames)] + Digits(++serial);
                const bool hidden = rng() % 6 == 0;
                if (hidden) name = u"." + name;
                const Text relative = parent + name;
                if (i == 0 ? e < 3 : depth < 5 && rng() % 2 == 0) {
                    tree.Folder(relative);
                    folders.push_back(relative + u"/");
                } else {
                    tree.File(relative);
                }
                if (hidden) tree.Hide(relative);
            }
        }
        const Text big = folders[rng() % folders.size()] + u"big/";
        for (int f = 0; f < 520 + static_cast<int>(rng() % 400); ++f)
            tree.File(big + u"f" + Digits(f));
        for (int l = 0; l < 3; ++l) {
            const Text from = folders[rng() % folders.size()] + u"link" + Digits(l);
            const Text to = l == 2 ? u"nowhere/" : folders[rng() % folders.size()];
            tree.FolderLink(from, to.substr(0, to.size() - 1));
        }
    }

    Outcome Walk(const Text& top, bool readAhead, const Options& options, const Script& script) {
        files.readers = readAhead;
        box.Store().SetText(u"");
        Set(options);
        form.StopRequested = False;
        pump.pumps = 0;
        pump.windows = 1;
        now_ = 0;
        Outcome o;
        pump.onPump = [&](int n) {
            o.pumps.push_back(box.Store().Length());
            if (n == script.levelsAt) form.Levels = script.levels;
            if (script.levelsAtEveryPump)
                form.Levels = 1 + static_cast<int32_t>(n * 2654435761u >> 29) % 5;
            if (n == script.stopAt) form.StopRequested = True;
            if (n == script.closeAt) pump.windows = 0;
        };
        try {
            form.ListFile(P(top), 1);
        } catch (const ProgramEnded&) {
            o.ended = true;
        }
        o.text = box.Store().GetText();
        // The walk never waits for its workers; once they have ended, no folder is open.
        helpers::WaitUntilAllEnded();
        EXPECT_EQ(files.OpenInReaders(), 0);
        return o;
    }

    static Text Digits(int i) {
        const std::string s = std::to_string(i);
        return Text(s.begin(), s.end());
    }

    void SetUp() override {
        form.clock = [this] { return now_ += 12; };  // a pump is due at every second reading
        form.readAhead.stall = {};                   // the pumps compared are the walk's own
        form.readAhead.fromStart = true;             // read ahead to the end
    }
    int64_t now_ = 0;
};

TEST_F(ReadAheadTest, SameLinesAndPumpsAsReadingEveryFolderInTurn) {
    std::mt19937 rng(12);
    for (uint32_t seed = 1; seed <= 3; ++seed) {
        const Text top = u"t" + Digits(static_cast<int>(seed));
        MakeTree(top, seed);
        for (int combination = 0; combination < 32; ++combination) {
            const Options options{.files = (combination & 1) != 0,
                                  .hidden = (combination & 2) != 0,
                                  .bare = (combination & 4) != 0,
                                  .levels = std::array{1, 2, 3, 32767}[combination >> 3]};
            const int opened = files.enumerations;
            const Outcome plain = Walk(top, false, options, {});
            const int openedInTurn = files.enumerations - opened;
            ASSERT_EQ(Walk(top, true, options, {}), plain)
                << "seed " << seed << " settings " << combination;
            // Each folder is opened once, and only the folders the walk enters.
            EXPECT_EQ(files.enumerations - opened - openedInTurn, openedInTurn);
            const int pumps = static_cast<int>(plain.pumps.size());
            const auto at = [&] { return 1 + static_cast<int>(rng() % (pumps + 1)); };
            const auto depth = [&] { return 1 + static_cast<int32_t>(rng() % 5); };
            const Script scripts[] = {
                {.levelsAt = at(), .levels = depth(), .stopAt = at()},
                {.levelsAt = at(), .levels = depth(), .closeAt = at()},
                {.levelsAtEveryPump = true},
            };
            for (const Script& s : scripts) {
                ASSERT_EQ(Walk(top, true, options, s), Walk(top, false, options, s))
                    << "seed " << seed << " settings " << combination << ": levels " << s.levels
                    << " at pump " << s.levelsAt << ", stop at " << s.stopAt << ", close at "
                    << s.closeAt << (s.levelsAtEveryPump ? ", levels changed at every pump" : "");
            }
        }
    }
    EXPECT_GT(files.readerEnumerations, 0);  // the walk did take folders read ahead
}

// "stuck" is opened and then held by its reader whatever the walk does, as on a hung
// share. Whatever the user does, at a pump in "a" beside it or while the walk waits for
// it, the walk ends without waiting, and the folder is closed once the call returns.
TEST_F(ReadAheadTest, TheWalkNeverWaitsForAReaderStuckInAFolder) {
    tree.File(u"top/a/f.txt");
    tree.Folder(u"top/stuck/inside");
    files.stuckFolders = {u"stuck"};
    form.readAhead.stall = std::chrono::milliseconds(1);
    form.readAhead.fromStart = true;  // a reader must be there to get stuck
    enum Action { Stop, LowerDepth, Close };
    const struct {
        size_t linesAtPump;  // 1: in "a"; 2: waiting for "stuck"
        Action action;
    } cases[] = {{1, Stop}, {1, LowerDepth}, {1, Close}, {2, Stop}, {2, LowerDepth}, {2, Close}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.linesAtPump << " lines, action " << c.action);
        box.Store().SetText(u"");
        Set({.files = false});
        form.StopRequested = False;
        pump.windows = 1;
        bool acted = false;
        pump.onPump = [&](int) {
            if (acted) form.StopRequested = True;               // the window still answers: done
            if (Lines().size() == 1) files.WaitUntilHanging();  // a reader is in "stuck"
            if (Lines().size() != c.linesAtPump || acted) return;
            acted = true;
            if (c.action == Stop) form.StopRequested = True;
            if (c.action == LowerDepth) form.Levels = 1;
            if (c.action == Close) pump.windows = 0;
        };
        try {
            form.ListFile(P(u"top"), 1);
        } catch (const ProgramEnded&) {
        }
        EXPECT_TRUE(acted);
        // A close ends the program where it came; the others list "stuck" without its content.
        const auto all = Ps({u"top/a", u"top/stuck"});
        EXPECT_THAT(Lines(),
                    ElementsAreArray(all.begin(),
                                     c.action == Close ? all.begin() + c.linesAtPump : all.end()));
        EXPECT_GE(files.OpenInReaders(), 1);  // the walk did not wait for the stuck reader
        files.Release();
        helpers::WaitUntilAllEnded();
        EXPECT_EQ(files.OpenInReaders(), 0);
        files.HoldStuck();
    }
}

// Ending reading ahead tells whether a worker may still hold a folder open, also once it
// had ended: a worker may end (its reads came from memory) just before the walk runs short
// of descriptors, and the walk reads that folder again only while a worker may hold them.
TEST_F(ReadAheadTest, EndingReadingAheadTellsWhileAWorkerHoldsAFolder) {
    tree.Folder(u"top/stuck/inside");
    files.stuckFolders = {u"stuck"};
    files.readers = true;
    const EnumerationSettings settings{16 | 2, false};
    Text literal = files.LiteralFolder(P(u"top") + Text{kSeparator});
    CollectedNames names;
    ASSERT_TRUE(EnumerateFolder(files, literal, settings, names, [](PumpPoint) { return false; }));
    files.EndFind();
    ReadAhead ahead(files, settings, 32767, {.fromStart = true});  // a worker from the start
    ahead.Enter(1, literal, std::move(names));
    files.WaitUntilHanging();
    EXPECT_TRUE(ahead.Cancel());
    EXPECT_TRUE(ahead.Cancel());
    files.Release();
    helpers::WaitUntilAllEnded();
    EXPECT_FALSE(ahead.Cancel());
    files.HoldStuck();
}

// Start and stop again and again beside a folder that never opens: the readers left in it
// stay within their bound, and all go once it opens.
TEST_F(ReadAheadTest, ReadersLeftInAStuckFolderAreBounded) {
    tree.File(u"top/a/f.txt");
    tree.Folder(u"top/stuck/inside");
    files.stuckFolders = {u"stuck"};
    const int threadsBefore = ProcessThreads();
    int most = 0;
    Set({.files = false});
    pump.onPump = [&](int) {
        most = std::max(most, helpers::Readers());
        // A reader counted out is gone from the system's count a moment later, on a busy
        // machine some moments: a pile-up stays.
        int threads = ProcessThreads();
        for (int i = 0; i < 1000 && threads > threadsBefore + helpers::kMostReaders; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            threads = ProcessThreads();
        }
        EXPECT_LE(threads, threadsBefore + helpers::kMostReaders + 4);
        if (Lines().size() == 1) form.StopRequested = True;  // in "a", workers started
    };
    for (int cycle = 0; cycle < 200; ++cycle) {
        box.Store().SetText(u"");
        form.StopRequested = False;
        form.ListFile(P(u"top"), 1);
    }
    EXPECT_LE(most, helpers::kMostReaders);
    files.Release();
    helpers::WaitUntilAllEnded();
    EXPECT_EQ(files.OpenInReaders(), 0);
    int threads = ProcessThreads();  // a thread that has ended is gone a moment later
    for (int i = 0; i < 10000 && threads > threadsBefore; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        threads = ProcessThreads();
    }
    EXPECT_LE(threads, threadsBefore);  // a thread of an earlier test may have ended meanwhile
}

// A folder a worker can't read for want of a descriptor or of memory of its own, and one
// the walk can't read while workers hold descriptors, is read by the walk: the listing is
// whole.
TEST_F(ReadAheadTest, AFolderAWorkerCannotReadIsReadByTheWalk) {
    MakeTree(u"t", 7);
    const Outcome whole = Walk(u"t", false, {}, {});
    using Want = CountingFileSystem::Want;
    size_t failures = 0;
    for (const Want kind : {Want::Descriptor, Want::Memory}) {
        for (const bool inWalk : {false, true}) {
            if (inWalk && kind == Want::Memory) continue;  // that is the run's error
            std::mutex mutex;
            std::set<Text> failed;
            bool walkFailed = false;  // once: then the workers have let go
            files.want = [&](TextView folder, bool reader) {
                std::lock_guard lock(mutex);
                const bool top = folder.ends_with(Text{kSeparator, u't'});
                if (!reader && (!inWalk || top || std::exchange(walkFailed, true)))
                    return Want::None;
                return failed.insert(Text(folder)).second ? kind : Want::None;
            };
            EXPECT_EQ(Walk(u"t", true, {}, {}).text, whole.text)
                << "memory " << (kind == Want::Memory) << ", in the walk " << inWalk;
            failures += failed.size();
        }
    }
    EXPECT_GT(failures, 0u);
}

// A folder that can't be read is named to the walk's host, with its reason, whether a
// worker or the walk read it; the listing passes it over alike.
TEST_F(ReadAheadTest, FoldersThatCannotBeReadAreNamedAlikeReadAheadOrNot) {
    struct Host : WalkHost {
        // A moment for the worker to read ahead: only how much it reads depends on it.
        void Pump() override { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }
        bool StopAsked() const override { return false; }
        int32_t DepthLimit() const override { return 32767; }
        int64_t NowMs() const override { return now += 12; }
        void PushDir(TextView line) override { lines += Text(line) + u"\n"; }
        void FolderUnreadable(TextView folder, TextView reason) override {
            unread.push_back(Text(folder) + u" " + Text(reason));
        }
        mutable int64_t now = 0;
        Text lines;
        std::vector<Text> unread;
    };
    for (int d = 0; d < 40; ++d) {
        tree.Folder(u"top/d" + Digits(d) + u"/shut");
        tree.File(u"top/d" + Digits(d) + u"/open/x.txt");
    }
    files.unreadableFolders = {u"shut"};
    Host hosts[2];
    for (const bool readAhead : {false, true}) {
        files.readers = readAhead;
        const int before = files.readerEnumerations;
        FolderWalk(files, {}, form.readAhead, hosts[readAhead]).ListFile(P(u"top"), 1);
        helpers::WaitUntilAllEnded();
        if (!readAhead) {
            EXPECT_EQ(files.readerEnumerations, before);
        }
    }
    EXPECT_EQ(hosts[1].lines, hosts[0].lines);
    EXPECT_EQ(hosts[1].unread, hosts[0].unread);
    ASSERT_EQ(hosts[0].unread.size(), 40u);
    EXPECT_THAT(hosts[0].unread,
                ::testing::Contains(P(u"top/d0/shut") + Text(1, kSeparator) + u" 拒绝访问。"));
}

// How many workers read ahead follows from what the reads cost by the clock: on a local
// drive none while folders come from memory or reads are slow only because other programs
// hold the processors, one or more (up to 4) while reads wait on the disk, and a worker
// whose window's worth of folders came from memory ends; on a share the full 16 from the
// start.
TEST_F(ReadAheadTest, WorkersFollowWhatTheReadsCost) {
    for (int f = 0; f < 200; ++f) tree.File(u"top/f" + Digits(f) + u"/x.txt");
    using Clock = ReadAheadPolicy::Clock;
    using std::chrono::milliseconds;
    std::atomic<int> calls = 0;
    const auto frozen = [] { return Clock::time_point{}; };
    const auto firstReadWaits = [&] {  // the walk's first read takes a second, then no time
        return Clock::time_point{} + std::chrono::seconds(calls++ == 0 ? 0 : 1);
    };
    std::atomic<int> ticks = 0;
    const auto everyReadTakesASecond = [&] {
        return Clock::time_point{} + std::chrono::seconds(ticks++);
    };
    const auto uncounted = []() -> std::optional<uint64_t> { return std::nullopt; };  // Windows
    const auto neverWaited = []() -> std::optional<uint64_t> { return 0; };           // pre-empted
    std::atomic<uint64_t> firstWait = 0;
    const auto onlyFirstWaited = [&]() -> std::optional<uint64_t> { return firstWait.exchange(1); };
    const struct {
        const char* what;
        bool remote;
        milliseconds open;
        std::function<Clock::time_point()> now;
        int least, most, readerReads;  // the most folders workers read; -1 for any
        std::function<std::optional<uint64_t>()> waits = helpers::ThreadWaits;
        milliseconds stall{20};  // 0: the walk waits for a worker's folder without pumping
    } cases[] = {
        {"from memory", false, milliseconds(0), frozen, 0, 0, 0},
        {"from the disk", false, milliseconds(3), Clock::now, 2, 4, -1},
        {"a share", true, milliseconds(0), frozen, 16, 16, -1},
        {"the disk, then memory", false, milliseconds(0), firstReadWaits, 1, 1, 64, uncounted},
        {"busy processors", false, milliseconds(0), everyReadTakesASecond, 0, 0, 0, neverWaited},
        {"the disk once, then busy processors", false, milliseconds(3), everyReadTakesASecond, 1, 1,
         64, onlyFirstWaited, milliseconds(0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LatencyFileSystem slow(*real, {.open = c.open, .batch = {}, .remote = c.remote});
        CountingFileSystem counted(slow);
        MemoryForm w(counted, pump);
        w.form.DirsOnly = False;
        w.form.DirAttr = 16;
        w.form.Levels = 2;
        w.form.readAhead.now = c.now;
        w.form.readAhead.waits = c.waits;
        w.form.readAhead.stall = c.stall;
        calls = 0;
        ticks = 0;
        firstWait = 0;
        helpers::ResetReaderStatistics();
        w.form.ListFile(P(u"top"), 1);
        helpers::WaitUntilAllEnded();
        EXPECT_EQ(SplitLines(w.txtResult.Store().GetText()).size(), 400u);
        const int most = helpers::ReadersSinceReset().most;
        EXPECT_GE(most, c.least);
        EXPECT_LE(most, c.most);
        if (c.readerReads >= 0) {
            EXPECT_LE(counted.readerEnumerations, c.readerReads);
        }
    }
}

// Windows ends a short timed wait only at its next timer tick (15.6 ms by default): with
// the waits returning only at 16 ms ticks, a share still gets its 16 workers, and the walk,
// waiting for them, lists the whole tree.
TEST_F(ReadAheadTest, AShareGetsAllItsWorkersWhenWaitsEndAtTimerTicks) {
    for (int f = 0; f < 40; ++f) tree.File(u"top/f" + Digits(f) + u"/x.txt");
    LatencyFileSystem share(*real, {.open = std::chrono::milliseconds(2)});
    MemoryForm w(share, pump);
    w.form.DirsOnly = False;
    w.form.DirAttr = 16;
    w.form.Levels = 2;
    w.form.readAhead.stall = std::chrono::milliseconds(1);
    w.form.readAhead.waitFor = TimerTickWaits(std::chrono::milliseconds(16));
    helpers::WaitUntilAllEnded();
    helpers::ResetReaderStatistics();
    w.form.ListFile(P(u"top"), 1);
    helpers::WaitUntilAllEnded();
    EXPECT_EQ(helpers::ReadersSinceReset().most, helpers::kMostReaders);
    EXPECT_EQ(SplitLines(w.txtResult.Store().GetText()).size(), 80u);
}

}  // namespace
}  // namespace tarnwick::testing
