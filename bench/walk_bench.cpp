// Times the folder walk into an in-memory result box against a reference walk of the same
// tree, in the same run: `find` natively, a bare FindFirstFileExW walk on Windows, and the
// walk that reads every folder itself (no read-ahead). Prints the ratios and the peak memory
// against the size of the listing text; then the time a stop takes at five points of the
// walk, and both walks over a file system that adds a network share's delays; then how
// fast a walk lets go of a hung share, and the most names read ahead at once.
//
//   walk_bench [entries|FOLDER] [latency-entries]
//       (default 1000000 natively, 100000 on Windows; 60000 entries, about 10^4 folders)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "bench/Timing.h"
#include "bench/bench_tree.h"
#include "bench/hung_share.h"
#include "bench/synthetic_tree.h"
#include "listing/ReadAhead.h"
#include "platform/HelperThreads.h"
#include "tests/support/LatencyFileSystem.h"
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
    double seconds;
    size_t lines;
    size_t characters;
    double stopSeconds;  // from the stop click to the end of the walk
};

// Files too, hidden entries too, full paths, every level.
EngineRun RunEngine(const Text& root, FileSystem& files, size_t stopAt = 0) {
    StoppingPump pump;
    MemoryForm window(files, pump);
    frmMain& form = window.form;
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
    explicit Engines(LatencyFileSystem::Delays delays,
                     LatencyFileSystem::Pause pause = LatencyFileSystem::Sleep)
        : ahead(*real, delays, pause), plain(*real, Without(delays), pause) {}
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

#ifdef _WIN32
const char* kReference = "bare FindFirstFileExW walk";

double RunReference(const Text& root, size_t& entries) {
    const auto start = Clock::now();
    entries = BareWalk(std::wstring(root.begin(), root.end()) + L"\\");
    return Seconds(start);
}

double PeakMegabytes() {
    PROCESS_MEMORY_COUNTERS c{};
    GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c);
    return static_cast<double>(c.PeakWorkingSetSize) / 1048576.0;
}
#else
const char* kReference = "find";

double RunReference(const Text& root, size_t& entries) {
    const std::string command = "find '" + native::ToBytes(root) + "' -mindepth 1 >/dev/null";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "find failed\n");
    const double seconds = Seconds(start);
    entries = 0;  // find's count is not read back: the engine's count is checked against the tree
    return seconds;
}

double PeakMegabytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}
#endif

void TimeStops(const Text& root, size_t characters) {
    Engines engines(kNoDelay);
    double worst = 0;
    std::printf("stop (read-ahead walk), from the click to the end of the walk:");
    for (int point = 1; point <= 5; ++point) {
        const EngineRun run = RunEngine(root, engines.ahead, characters * point / 6);
        std::printf(" %.1f ms", run.stopSeconds * 1000);
        worst = std::max(worst, run.stopSeconds);
    }
    std::printf("\nworst stop: %.1f ms\n", worst * 1000);
}

// A share that answers each folder open in 2 ms and each 64 entries in 0.2 ms.
void TimeLatency(size_t wanted) {
    const Text root = TempRoot();
    const size_t made = BuildTree(root, wanted);
    Engines engines({});
    RunEngine(root, *engines.real);  // warms the caches, without the delays
    const EngineRun ahead = RunEngine(root, engines.ahead);
    const EngineRun plain = RunEngine(root, engines.plain);
    std::printf(
        "share with 2 ms per folder open and 0.2 ms per 64 entries, %zu entries (%zu folders):\n",
        made, made / 6);
    std::printf("  read-ahead %.3f s, without %.3f s: %.1fx faster\n", ahead.seconds, plain.seconds,
                plain.seconds / ahead.seconds);
    if (ahead.lines != plain.lines)
        std::printf("MISMATCH: %zu lines against %zu\n", ahead.lines, plain.lines);
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
    const EngineRun run = RunEngine(u"synthetic", tree);
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

int Main(int argc, char** argv) {
#ifdef _WIN32
    size_t wanted = 100000;
#else
    size_t wanted = 1000000;
#endif
    // A tree built beforehand (bench/make_tree) is named instead of a number of entries.
    const std::string given = argc > 1 ? argv[1] : "";
    const bool built = given.find_first_not_of("0123456789") == std::string::npos;
    if (built && !given.empty()) wanted = std::strtoul(argv[1], nullptr, 10);
    const size_t latencyEntries = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 60000;
    std::printf("cores: %u\n", std::thread::hardware_concurrency());
    const Text root = built ? TempRoot() : Text(given.begin(), given.end());
    auto start = Clock::now();
    if (built) {
        wanted = BuildTree(root, wanted);
        std::printf("tree: %zu entries made in %.1f s\n", wanted, Seconds(start));
    }
    const double baseline = PeakMegabytes();

    Engines engines(kNoDelay);
    const size_t made = built ? wanted : RunEngine(root, engines.plain).lines;
    RunEngine(root, engines.ahead);       // one round to warm the caches for every walk
    const double peak = PeakMegabytes();  // the read-ahead walk's, the first
    double engine = 1e9, plain = 1e9, reference = 1e9;
    EngineRun run{};
    size_t referenceEntries = 0;
    for (int round = 0; round < 3; ++round) {
        run = RunEngine(root, engines.ahead);
        engine = std::min(engine, run.seconds);
        plain = std::min(plain, RunEngine(root, engines.plain).seconds);
        reference = std::min(reference, RunReference(root, referenceEntries));
    }
    const double textMegabytes = static_cast<double>(run.characters) * 2 / 1048576.0;

    std::printf("engine with read-ahead: %zu lines, %.3f s (best of 3)\n", run.lines, engine);
    std::printf("engine without read-ahead: %.3f s (best of 3)\n", plain);
    std::printf(
        "reference (%s): %.3f s (best of 3)%s\n", kReference, reference,
        referenceEntries ? (", " + std::to_string(referenceEntries) + " entries").c_str() : "");
    std::printf("ratio engine / reference: %.2f\n", engine / reference);
    std::printf("ratio engine / engine without read-ahead: %.2f\n", engine / plain);
    std::printf("listing text: %.1f MB as UTF-16; peak memory %.1f MB (%.1f MB before the walks)\n",
                textMegabytes, peak, baseline);
    std::printf(
        "ratio peak memory / listing text: %.2f (%.2f above what the process held before)\n",
        peak / textMegabytes, (peak - baseline) / textMegabytes);
    const bool complete = run.lines == made;
    if (!complete) std::printf("MISMATCH: %zu entries made, %zu lines listed\n", made, run.lines);
    TimeStops(root, run.characters);
    if (built) RemoveTree(root);
    TimeLatency(latencyEntries);
    TimeHungShare();
    MeasurePeakHeld();
    return complete ? 0 : 1;
}

}  // namespace
}  // namespace tarnwick::bench

int main(int argc, char** argv) {
    return tarnwick::bench::Main(argc, argv);
}
