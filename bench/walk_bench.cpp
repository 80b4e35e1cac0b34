// Times the folder walk into an in-memory result box against a reference walk of the same
// tree, in the same run: `find` natively, a bare FindFirstFileExW walk on Windows. Prints
// the ratio and the peak memory against the size of the listing text.
//
//   walk_bench [entries]      (default 1000000 natively, 100000 on Windows)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/Timing.h"
#include "bench/bench_tree.h"
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

struct CountingPump : EventPump {
    int DoEvents() override {
        ++pumps;
        return 1;
    }
    [[noreturn]] void End() override { std::abort(); }
    long pumps = 0;
};

struct EngineRun {
    double seconds;
    size_t lines;
    size_t characters;
};

EngineRun RunEngine(const Text& root) {
    auto files = MakeFileSystem();
    CountingPump pump;
    MemoryForm window(*files, pump);
    frmMain& form = window.form;
    MemoryResultBox& box = window.txtResult;
    form.DirsOnly = False;  // files too, hidden entries too, full paths, every level
    form.DirAttr = 18;
    form.NoPath = False;
    form.Levels = 32767;
    const auto start = Clock::now();
    form.ListFile(root, 1);
    const double seconds = Seconds(start);
    return {seconds, box.Store().Count(u'\n'), box.Store().Length()};
}

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

int Main(int argc, char** argv) {
#ifdef _WIN32
    size_t wanted = 100000;
#else
    size_t wanted = 1000000;
#endif
    if (argc > 1) wanted = std::strtoul(argv[1], nullptr, 10);
    const Text root = TempRoot();
    auto start = Clock::now();
    const size_t made = BuildTree(root, wanted);
    std::printf("tree: %zu entries made in %.1f s\n", made, Seconds(start));
    const double baseline = PeakMegabytes();

    RunEngine(root);  // one round to warm the caches for both walks
    double engine = 1e9, reference = 1e9;
    EngineRun run{};
    size_t referenceEntries = 0;
    for (int round = 0; round < 3; ++round) {
        run = RunEngine(root);
        engine = std::min(engine, run.seconds);
        reference = std::min(reference, RunReference(root, referenceEntries));
    }
    const double peak = PeakMegabytes();
    const double textMegabytes = static_cast<double>(run.characters) * 2 / 1048576.0;

    std::printf("engine: %zu lines, %.3f s (best of 3)\n", run.lines, engine);
    std::printf(
        "reference (%s): %.3f s (best of 3)%s\n", kReference, reference,
        referenceEntries ? (", " + std::to_string(referenceEntries) + " entries").c_str() : "");
    std::printf("ratio engine / reference: %.2f\n", engine / reference);
    std::printf("listing text: %.1f MB as UTF-16; peak memory %.1f MB (%.1f MB before the walks)\n",
                textMegabytes, peak, baseline);
    std::printf("ratio peak memory / listing text: %.2f\n", peak / textMegabytes);
    const bool complete = run.lines == made;
    if (!complete) std::printf("MISMATCH: %zu entries made, %zu lines listed\n", made, run.lines);
    RemoveTree(root);
    return complete ? 0 : 1;
}

}  // namespace
}  // namespace tarnwick::bench

int main(int argc, char** argv) {
    return tarnwick::bench::Main(argc, argv);
}
