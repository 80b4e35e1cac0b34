// A soak: cycles of a run stopped at a random point and a full walk of a tree, each through
// a click on the start button of the visible window, reading ahead all the way. After each
// cycle it reads the process's working set, committed memory, heap in use, handles and
// threads; it prints them at the start, the middle and the end, and the slope of each over
// the cycles (least squares), over all and after the first 100, against flat: under 1 KB
// and 0.01 handles a cycle after those; and which allocations of the process grew.
//
//   soak_bench [--cycles N] ENTRIES|FOLDER    (default: 500 cycles)
#include <windows.h>

#include <psapi.h>  // needs windows.h first

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/Timing.h"
#include "bench/bench_tree.h"
#include "listing/HelperThreads.h"
#include "platform/memory/MemoryControls.h"
#include "platform/win32/Win32EventPump.h"
#include "tests/support/HandleCount.h"
#include "tests/support/ThreadCount.h"
#include "window/win32/Win32Form.h"

namespace tarnwick::bench {
namespace {

// The program's own pump, which also clicks the start button (a stop) at a chosen pump.
class StoppingPump : public EventPump {
  public:
    explicit StoppingPump(EventPump& pump) : pump_(pump) {}
    int DoEvents() override {
        if (++pumps == stopAt) PostMessageW(button, BM_CLICK, 0, 0);
        return pump_.DoEvents();
    }
    [[noreturn]] void End() override {
        pump_.End();
        std::abort();  // not reached
    }
    HWND button = nullptr;
    long pumps = 0, stopAt = 0;

  private:
    EventPump& pump_;
};

struct Sample {
    double workingSetKb, commitKb, heapKb;
    int handles, threads;
};

// The blocks in use in the process's heaps: what the program holds, where the working set
// also counts what the heaps keep free.
double HeapInUseKb() {
    HANDLE heaps[64];
    const DWORD count = std::min<DWORD>(GetProcessHeaps(64, heaps), 64);
    double bytes = 0;
    for (DWORD i = 0; i < count; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY e{};
        while (HeapWalk(heaps[i], &e))
            if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += e.cbData;
        HeapUnlock(heaps[i]);
    }
    return bytes / 1024;
}

// The private memory committed in each of the process's allocations, keyed by where each
// starts and whether it is a heap's own: where the committed memory went.
std::map<std::string, long> CommittedByAllocation() {
    HANDLE heaps[64];
    const DWORD count = std::min<DWORD>(GetProcessHeaps(64, heaps), 64);
    std::map<std::string, long> kb;
    MEMORY_BASIC_INFORMATION m;
    for (auto* at = static_cast<char*>(nullptr); VirtualQuery(at, &m, sizeof m) == sizeof m;
         at = static_cast<char*>(m.BaseAddress) + m.RegionSize) {
        if (m.State != MEM_COMMIT || m.Type != MEM_PRIVATE) continue;
        const bool heap = std::find(heaps, heaps + count, m.AllocationBase) != heaps + count;
        char key[64];
        std::snprintf(key, sizeof key, "%p%s", m.AllocationBase, heap ? " (a heap)" : "");
        kb[key] += static_cast<long>(m.RegionSize / 1024);
    }
    return kb;
}

// Which allocations grew between two readings, the most first.
void PrintGrowth(const std::map<std::string, long>& before,
                 const std::map<std::string, long>& after) {
    std::vector<std::pair<long, std::string>> grown;
    long total = 0;
    for (const auto& [mapping, kb] : after) {
        const auto was = before.find(mapping);
        const long by = kb - (was == before.end() ? 0 : was->second);
        total += by;
        if (by != 0) grown.emplace_back(by, mapping);
    }
    for (const auto& [mapping, kb] : before)
        if (!after.count(mapping)) total -= kb, grown.emplace_back(-kb, mapping + " (gone)");
    std::sort(grown.begin(), grown.end(), std::greater<>());
    std::printf("  committed memory by allocation: %+ld KB in all; grown most:\n", total);
    for (size_t i = 0; i < std::min<size_t>(grown.size(), 8); ++i)
        std::printf("    %+7ld KB  %s\n", grown[i].first, grown[i].second.c_str());
}

// The heaps give back what they keep free first: a cycle frees the megabytes of a whole
// listing, and where a heap's free segments happen to stand at the sample is noise of a
// megabyte either way, where a leak is memory still in use, which no compaction returns.
void CompactHeaps() {
    HANDLE heaps[64];
    const DWORD count = std::min<DWORD>(GetProcessHeaps(64, heaps), 64);
    for (DWORD i = 0; i < count; ++i) HeapCompact(heaps[i], 0);
}

Sample Take() {
    CompactHeaps();
    PROCESS_MEMORY_COUNTERS c{};
    GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c);
    return {static_cast<double>(c.WorkingSetSize) / 1024,
            static_cast<double>(c.PagefileUsage) / 1024, HeapInUseKb(), testing::ProcessHandles(),
            testing::ProcessThreads()};
}

constexpr size_t kWarmUpCycles = 100;

using Samples = std::vector<Sample>::const_iterator;

// Least squares slope of `value` over the cycles.
template <class Value>
double Slope(Samples first, Samples last, Value value) {
    const double n = static_cast<double>(last - first);
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (auto i = first; i != last; ++i) {
        const double x = static_cast<double>(i - first), y = value(*i);
        sx += x, sy += y, sxx += x * x, sxy += x * y;
    }
    return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

// Prints the slopes over [first, last); whether they are flat.
bool SlopeLine(const char* over, Samples first, Samples last) {
    const double ws = Slope(first, last, [](const Sample& s) { return s.workingSetKb; });
    const double priv = Slope(first, last, [](const Sample& s) { return s.commitKb; });
    const double heap = Slope(first, last, [](const Sample& s) { return s.heapKb; });
    const double handles = Slope(first, last, [](const Sample& s) { return double(s.handles); });
    const double threads = Slope(first, last, [](const Sample& s) { return double(s.threads); });
    const bool flat = ws < 1 && handles < 0.01;
    std::printf(
        "  slope a cycle, %s: working set %.3f KB (target < 1), committed %.3f KB, heap in use "
        "%.3f KB, handles %.4f (target < 0.01), threads %.4f: %s\n",
        over, ws, priv, heap, handles, threads, flat ? "flat" : "NOT FLAT");
    return flat;
}

class Soak {
  public:
    Soak() : app_(*files_, stopping_, &desktop_) {
        app_.Show(SW_SHOWNORMAL);
        app_.ChFiles.SetValue(1);
        app_.ChNoPath.SetValue(0);
        app_.txtLevel.SetText(u"32767");
        app_.form.readAhead.fromStart = true;  // read ahead to the end of every walk
        stopping_.button = app_.cmdDoIt.Handle();
        events_.DoEvents();
    }

    // A click on the start button, with a stop clicked at pump `stopAt` (0: none); gives the
    // pumps the run made.
    long Run(const Text& root, long stopAt) {
        app_.form.SkipChange = True;
        app_.txtPath.SetText(root);
        app_.form.SkipChange = False;
        stopping_.pumps = 0;
        stopping_.stopAt = stopAt;
        SendMessageW(app_.cmdDoIt.Handle(), BM_CLICK, 0, 0);
        MSG stray;  // a stop that came after the end must not start the next run
        while (PeekMessageW(&stray, app_.cmdDoIt.Handle(), BM_CLICK, BM_CLICK, PM_REMOVE)) {
        }
        events_.DoEvents();
        return stopping_.pumps;
    }

    int Main(const Text& root, int cycles) {
        const auto start = Clock::now();
        const long pumps = Run(root, 0);
        std::printf("a full walk: %.2f s, %ld pumps; %d cycles follow\n", Seconds(start), pumps,
                    cycles);
        std::mt19937 rng(22);
        std::vector<Sample> samples;
        samples.reserve(static_cast<size_t>(cycles) + 1);  // none of its growth in the heap's
        samples.push_back(Take());
        const auto firstMaps = CommittedByAllocation();
        for (int cycle = 1; cycle <= cycles; ++cycle) {
            Run(root, 1 + static_cast<long>(rng() % static_cast<unsigned>(pumps)));
            Run(root, 0);
            samples.push_back(Take());
            if (cycle % 50 == 0)
                std::printf("  cycle %d, %.0f s: working set %.0f KB, heap in use %.0f KB\n", cycle,
                            Seconds(start), samples.back().workingSetKb, samples.back().heapKb);
            std::fflush(stdout);
        }
        const auto print = [&](const char* when, const Sample& s) {
            std::printf(
                "  %-6s working set %9.0f KB, committed %9.0f KB, heap in use %9.0f KB, %4d "
                "handles, %3d threads\n",
                when, s.workingSetKb, s.commitKb, s.heapKb, s.handles, s.threads);
        };
        PrintGrowth(firstMaps, CommittedByAllocation());
        print("start", samples.front());
        print("middle", samples[samples.size() / 2]);
        print("end", samples.back());
        // The first cycles fill what fills once: Wine's heaps and the C library's arenas of
        // its Unix side grow to the size the walks' threads need, then stay. A leak keeps
        // growing after them, so the target is judged on the cycles after the warm-up.
        const size_t warmUp = std::min<size_t>(kWarmUpCycles, samples.size() / 2);
        SlopeLine("all cycles", samples.begin(), samples.end());
        const bool flat = SlopeLine(("after the first " + std::to_string(warmUp)).c_str(),
                                    samples.begin() + static_cast<long>(warmUp), samples.end());
        return flat ? 0 : 1;
    }

  private:
    std::unique_ptr<FileSystem> files_ = MakeFileSystem();
    win32::Win32EventPump events_;
    StoppingPump stopping_{events_};
    MemoryDesktop desktop_;
    Win32Form app_;
};

int Main(int argc, wchar_t** argv) {
    int cycles = 500;
    Text root;
    bool built = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--cycles" && i + 1 < argc) {
            cycles = std::max(2, _wtoi(argv[++i]));  // a slope needs two
        } else if (arg.find_first_not_of(L"0123456789") == std::wstring::npos) {
            root = TempRoot(), built = true;
            BuildRealisticTree(root, std::wcstoul(arg.c_str(), nullptr, 10));
        } else {
            root.assign(arg.begin(), arg.end());
        }
    }
    if (root.empty()) root = TempRoot(), built = true, BuildRealisticTree(root, 100000);
    const int result = Soak().Main(root, cycles);
    if (built) RemoveTree(root);
    return result;
}

}  // namespace
}  // namespace tarnwick::bench

int wmain(int argc, wchar_t** argv) {
    return tarnwick::bench::Main(argc, argv);
}
