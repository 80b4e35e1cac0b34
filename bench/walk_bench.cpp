// Times the folder walk into an in-memory result box with read-ahead against the walk
// that reads every folder itself (no read-ahead) and against a reference walk of the same
// tree (`find` natively, a bare FindFirstFileExW walk on Windows), taken in turn in each
// round, on each tree given; prints every run's readers, threads and processor time, the
// least and median times, the ratios beside their targets and the peak memory against the
// size of the listing text; then the time a stop takes at five points of the walk. Then
// both walks over a file system that adds a network share's delays, how fast a walk lets
// go of a hung share, and the most names read ahead at once.
//
//   walk_bench [--keep DIR] [--rounds N] [--latency ENTRIES] [TREE...]
//
// A TREE is a number of entries (a tree shaped as a user's documents, made here), flat:N
// (one folder of N files, made here) or a folder made beforehand; by default 10^5 and
// 10^6 entries and one folder of 10^5 files natively, 10^5 entries and the folder on
// Windows. --keep makes the trees in DIR (realistic-N, flat-N) and leaves them there for
// other runs, which use them as they are. 3 rounds by default; 30,000 entries (about 2,700
// folders) for the share's delays.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/Timing.h"
#include "bench/bench_tree.h"
#include "bench/hung_share.h"
#include "bench/synthetic_tree.h"
#include "bench/walk_figures.h"
#include "listing/HelperThreads.h"
#include "listing/ReadAhead.h"
#include "platform/Lock.h"
#include "tests/support/LatencyFileSystem.h"
#include "tests/support/TimerTickWaits.h"
#include "window/memory/MemoryForm.h"

#ifdef _WIN32
#include <windows.h>

#include <psapi.h>  // needs windows.h first
#else
#include <sys/resource.h>

#include "platform/native/Utf8.h"
#endif

namespace tarnwick::bench {
namespace {

namespace fs = std::filesystem;
using std::chrono::microseconds;
using testing::LatencyFileSystem;

// Clicks stop once the listing holds `stopAt` characters.
struct StoppingPump : EventPump {
    int DoEvents() override {
        if (stopAt && !stopped && box->Store().Length() >= stopAt) {
            *stop = True;
            stopped = Clock::now();
        }
        return 1;
    }
    [[noreturn]] void End() override { std::abort(); }
    size_t stopAt = 0;
    MemoryResultBox* box = nullptr;
    Boolean* stop = nullptr;
    std::optional<Clock::time_point> stopped;
};

struct EngineRun {
    double seconds = 0;
    size_t lines = 0;
    size_t characters = 0;
    double stopSeconds = 0;  // from the stop click to the end of the walk
};

// Files too, hidden entries too, full paths, every level.
EngineRun RunEngine(const Text& root, FileSystem& files, size_t stopAt = 0,
                    const ReadAheadPolicy& policy = {}) {
    StoppingPump pump;
    MemoryForm window(files, pump);
    frmMain& form = window.form;
    form.readAhead = policy;
    MemoryResultBox& box = window.txtResult;
    pump.stopAt = stopAt;
    pump.box = &box;
    pump.stop = &form.StopRequested;
    form.DirsOnly = False;
    form.DirAttr = 18;
    form.NoPath = False;
    form.Levels = 32767;
    form.StopRequested = False;
    const auto start = Clock::now();
    form.ListFile(root, 1);
    const auto end = Clock::now();
    return {Seconds(start, end), box.Store().Count(u'\n'), box.Store().Length(),
            pump.stopped ? Seconds(*pump.stopped, end) : 0.0};
}

// The real file system, through the same decorator either way so that both walks pay
// for it alike: with read-ahead, or without (every folder read by the walk).
struct Engines {
    explicit Engines(LatencyFileSystem::Delays delays)
        : ahead(*real, delays), plain(*real, Without(delays)) {}
    static LatencyFileSystem::Delays Without(LatencyFileSystem::Delays d) {
        d.readers = false;
        return d;
    }
    std::unique_ptr<FileSystem> real = MakeFileSystem();
    LatencyFileSystem ahead;
    LatencyFileSystem plain;
};
const LatencyFileSystem::Delays kNoDelay{
    .open = microseconds(0), .batch = microseconds(0), .remote = false};

constexpr double kStopTargetMs = 50;

#ifdef _WIN32
const char* kReference = "bare FindFirstFileExW walk";

void RunReference(const Text& root) {
    BareWalk(std::wstring(root.begin(), root.end()) + L"\\");
}

double PeakMegabytes() {
    PROCESS_MEMORY_COUNTERS c{};
    GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c);
    return static_cast<double>(c.PeakWorkingSetSize) / 1048576.0;
}

// bench/run's paths are ASCII.
Text FromArgument(const std::string& s) {
    return Text(s.begin(), s.end());
}
std::string Printable(const Text& path) {
    std::string s;
    for (char16_t c : path) s += c < 128 ? static_cast<char>(c) : '?';
    return s;
}
#else
const char* kReference = "find";

void RunReference(const Text& root) {
    const std::string command = "find '" + native::ToBytes(root) + "' -mindepth 1 >/dev/null";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "find failed\n");
}

double PeakMegabytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

Text FromArgument(const std::string& s) {
    return native::ToUtf16(s);
}
std::string Printable(const Text& path) {
    return native::ToBytes(path);
}
#endif

// One folder's entries through the program's own file system (the tree's deepest paths are
// longer than the standard library reaches on Windows): how many, and its sub-folders.
size_t ReadFolder(FileSystem& files, const Text& folder, std::vector<Text>& subFolders) {
    size_t entries = 0;
    for (TextView name = files.FindFirst(folder, attr::Folder | attr::Hidden); !name.empty();
         name = files.FindNext()) {
        if (IsDotOrDotDot(name)) continue;
        ++entries;
        const auto attributes = files.EnumeratedAttributes();
        if (attributes && (*attributes & attr::Folder))
            subFolders.push_back(folder + Text(name) + kSeparator);
    }
    files.EndFind();
    return entries;
}

size_t CountFolders(FileSystem& files, const Text& folder) {
    std::vector<Text> subFolders;
    ReadFolder(files, folder, subFolders);
    size_t n = subFolders.size();
    for (const Text& sub : subFolders) n += CountFolders(files, sub);
    return n;
}

// A timed engine walk with its figures; the time is the walk's own, without the window's
// making.
RunFigures MeasureEngine(const Text& root, FileSystem& files, EngineRun& run,
                         const ReadAheadPolicy& policy = {}) {
    RunFigures f = Measure([&] { run = RunEngine(root, files, 0, policy); });
    f.seconds = run.seconds;
    return f;
}

void TimeStops(const Text& root, size_t characters) {
    Engines engines(kNoDelay);
    double worst = 0;
    std::printf("  stop (read-ahead walk), from the click to the end of the walk:");
    for (int point = 1; point <= 5; ++point) {
        const EngineRun run = RunEngine(root, engines.ahead, characters * point / 6);
        std::printf(" %.1f ms", run.stopSeconds * 1000);
        worst = std::max(worst, run.stopSeconds);
    }
    std::printf("\n");
    PrintAgainst("worst stop", worst * 1000, kStopTargetMs);
}

// The share's folders read by `threads` readers of the same file system at once, in no
// order and with no listing: how much reading the folders together can gain here at all,
// the file system's own serial part (under Wine, its server and its lock on every folder
// read) included. The folder found last is read first (depth first), or the one found
// first (breadth first, nearer the order a walk reads ahead in). Gives the entries read.
size_t SpreadReads(FileSystem& files, const Text& root, size_t threads, bool depthFirst) {
    Mutex lock;  // the program's own hand-over, for a fair ceiling
    Condition changed;
    std::deque<Text> queue{root + kSeparator};
    size_t busy = 0, entries = 0;
    const auto read = [&](FileSystem& reader, const Text& folder) {
        std::vector<Text> found;
        const size_t n = ReadFolder(reader, folder, found);
        std::lock_guard held(lock);
        entries += n;
        for (Text& f : found) queue.push_back(std::move(f));
    };
    std::vector<std::thread> readers;
    for (size_t i = 0; i < threads; ++i) {
        readers.emplace_back([&] {
            const std::unique_ptr<FileSystem> reader = files.NewReader();
            std::unique_lock held(lock);
            for (;;) {
                changed.wait(held, [&] { return !queue.empty() || busy == 0; });
                if (queue.empty()) break;
                const Text folder = std::move(depthFirst ? queue.back() : queue.front());
                if (depthFirst)
                    queue.pop_back();
                else
                    queue.pop_front();
                ++busy;
                held.unlock();
                read(*reader, folder);
                held.lock();
                --busy;
                changed.notify_all();
            }
        });
    }
    for (std::thread& t : readers) t.join();
    return entries;
}

// A share that answers each folder open in 2 ms and each 64 entries in 0.2 ms.
void TimeLatency(size_t wanted, int rounds) {
    const Text root = TempRoot();
    const size_t made = BuildRealisticTree(root, wanted);
    Engines engines({});
    EngineRun warm = RunEngine(root, *engines.real);  // warms the caches, without the delays
    std::printf(
        "share with 2 ms per folder open and 0.2 ms per 64 entries, %zu entries (%zu "
        "folders), walks taken in turn:\n",
        made, CountFolders(*engines.real, root + kSeparator));
    const size_t threads = helpers::kMostReaders;
    // Windows ends a short timed wait only at its timer's next tick (15.6 ms by default).
    const ReadAheadPolicy ticks{.waitFor = testing::TimerTickWaits(std::chrono::milliseconds(16))};
    Series ahead("read-ahead"), ticked("read-ahead, waits ending at 16 ms ticks"),
        plain("without read-ahead"),
        spread("reads spread over " + std::to_string(threads) + " threads"),
        breadth("the same, breadth first");
    bool same = true;
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < 5; ++i) {
            EngineRun run;
            run.lines = warm.lines;
            size_t read = warm.lines;
            switch ((round + i) % 5) {
                case 0:
                    ahead.Add(MeasureEngine(root, engines.ahead, run));
                    break;
                case 1:
                    plain.Add(MeasureEngine(root, engines.plain, run));
                    break;
                case 2:
                    ticked.Add(MeasureEngine(root, engines.ahead, run, ticks));
                    break;
                case 3:
                    spread.Add(
                        Measure([&] { read = SpreadReads(engines.ahead, root, threads, true); }));
                    break;
                default:
                    breadth.Add(
                        Measure([&] { read = SpreadReads(engines.ahead, root, threads, false); }));
            }
            same = same && run.lines == warm.lines && read == warm.lines;
        }
    }
    for (const Series* s : {&ahead, &ticked, &plain, &spread, &breadth}) s->Print();
    PrintRatio(plain, ahead, ">= 10", 10, true);
    PrintRatio(plain, ticked, ">= 10", 10, true);
    PrintRatio(plain, spread);
    PrintRatio(plain, breadth);
    std::printf(
        "  (the share's reading spread over %zu threads, in no order and with no listing: the "
        "most a walk can gain here; breadth first, the most in an order near a walk's)\n",
        threads);
    if (!same) std::printf("MISMATCH: a walk listed other than %zu lines\n", warm.lines);
    RemoveTree(root);
}

// Folders far larger than the window of names read ahead: the most held at once is bounded
// by the window and what each worker reads between two pump points (a chunk of names and
// 256 names with their places).
void MeasurePeakHeld() {
    constexpr size_t kFolders = 24, kFiles = 60000;
    constexpr size_t kBatch = 32768 + 256 * (SyntheticTree::kFileNameLength * 2 + 24);
    constexpr size_t kBound = (size_t{16} << 20) + helpers::kMostReaders * kBatch;
    SyntheticTree tree({u"synthetic", kFolders, kFiles});
    ReadAhead::ResetPeakHeldBytes();
    const EngineRun run = RunEngine(u"synthetic", tree, 0, {.fromStart = true});  // from memory
    const double peak = static_cast<double>(ReadAhead::PeakHeldBytes()) / 1048576.0;
    std::printf(
        "read-ahead over %zu folders of %zu files (names of %d characters): %zu lines in "
        "%.3f s\n",
        kFolders, kFiles, SyntheticTree::kFileNameLength, run.lines, run.seconds);
    std::printf(
        "  peak names held ahead %.2f MB (target <= 16 MB + one batch per worker = "
        "%.2f MB)\n",
        peak, static_cast<double>(kBound) / 1048576.0);
    helpers::WaitUntilAllEnded();  // the workers end with the walk, before the tree goes
}

struct Tree {
    Text root;
    size_t made = 0;  // 0: not made by this run
    bool remove = false;
};

// A number of entries, flat:N or a folder; made in `keep` when given, and left there.
Tree Prepare(const std::string& asked, const std::string& keep) {
    const bool flat = asked.starts_with("flat:");
    const std::string count = flat ? asked.substr(5) : asked;
    if (count.empty() || count.find_first_not_of("0123456789") != std::string::npos)
        return {FromArgument(asked)};
    const size_t entries = std::strtoul(count.c_str(), nullptr, 10);
    const std::string name = (flat ? "flat-" : "realistic-") + count;
    Tree tree{keep.empty() ? TempRoot() : FromArgument(keep) + kSeparator + FromArgument(name)};
    if (!keep.empty() && fs::exists(fs::path(tree.root))) return tree;
    const auto start = Clock::now();
    tree.made = flat ? BuildFlat(tree.root, entries) : BuildRealisticTree(tree.root, entries);
    tree.remove = keep.empty();
    std::printf("%s: %zu entries made in %.1f s\n", name.c_str(), tree.made, Seconds(start));
    return tree;
}

// The three walks in turn, each round starting with the next, so that none always runs
// on caches the one before left.
bool MeasureTree(const Tree& tree, int rounds) {
    Engines engines(kNoDelay);
    const double before = PeakMegabytes();
    const EngineRun warm = RunEngine(tree.root, engines.ahead);  // warms the caches
    const double peak = PeakMegabytes();
    RunEngine(tree.root, engines.plain);
    Series ahead("read-ahead"), plain("without read-ahead"), reference(kReference);
    bool same = true;
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < 3; ++i) {
            EngineRun run = warm;
            switch ((round + i) % 3) {
                case 0:
                    ahead.Add(MeasureEngine(tree.root, engines.ahead, run));
                    break;
                case 1:
                    plain.Add(MeasureEngine(tree.root, engines.plain, run));
                    break;
                default:
                    reference.Add(Measure([&] { RunReference(tree.root); }));
            }
            same = same && run.lines == warm.lines;
        }
    }
    std::printf("%s: %zu lines\n", Printable(tree.root).c_str(), warm.lines);
    ahead.Print();
    plain.Print();
    reference.Print();
    PrintRatio(ahead, plain, "<= 1.05", 1.05);
    if (!ahead.AnyReaders())
        std::printf(
            "  (no walk with read-ahead started a reader: both ran nearly the same code, and "
            "their ratio is mostly how much one walk's time varies here)\n");
    PrintRatio(ahead, reference);
    const double text = static_cast<double>(warm.characters) * 2 / 1048576.0;
    std::printf(
        "  listing text %.1f MB as UTF-16; peak memory %.1f MB after the first walk (%.1f MB "
        "before it): ratio %.2f (%.2f for what the walk added)\n",
        text, peak, before, peak / text, (peak - before) / text);
    TimeStops(tree.root, warm.characters);
    const bool complete = same && (!tree.made || warm.lines == tree.made);
    if (!complete)
        std::printf("MISMATCH: %zu entries made, %zu lines listed, every walk alike: %d\n",
                    tree.made, warm.lines, same);
    return complete;
}

int Main(int argc, char** argv) {
    std::string keep;
    int rounds = 3;
    size_t latencyEntries = 30000;
    std::vector<std::string> trees_asked;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--keep" && i + 1 < argc)
            keep = argv[++i];
        else if (arg == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--latency" && i + 1 < argc)
            latencyEntries = std::strtoul(argv[++i], nullptr, 10);
        else
            trees_asked.push_back(arg);
    }
#ifdef _WIN32
    if (trees_asked.empty()) trees_asked = {"100000", "flat:100000"};
#else
    if (trees_asked.empty()) trees_asked = {"100000", "1000000", "flat:100000"};
#endif
    std::printf("cores: %u; %d rounds\n", std::thread::hardware_concurrency(), rounds);
    bool ok = true;
    for (const std::string& asked : trees_asked) {
        const Tree tree = Prepare(asked, keep);
        ok = MeasureTree(tree, rounds) && ok;
        if (tree.remove) RemoveTree(tree.root);
    }
    TimeLatency(latencyEntries, rounds);
    TimeHungShare();
    MeasurePeakHeld();
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace tarnwick::bench

int main(int argc, char** argv) {
    return tarnwick::bench::Main(argc, argv);
}
