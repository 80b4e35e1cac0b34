// Times the result view's text store, each figure against another taken in the same run:
// lines inserted near the top of a long text against lines appended at its end, appending
// into an empty store against a flat string with a vector of line starts, and the heap
// that lines inserted at the top and at the end take.
//
//   text_store_bench [text-lines] [timed-lines] [heap-lines]   (default 10^6 10^4 10^5)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/Timing.h"
#include "resultview/model/TextStore.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <malloc.h>
#endif

namespace tarnwick::bench {
namespace {

// Lines like a listing's, numbered so that no two are alike.
class Lines {
  public:
    TextView Next() {
        for (size_t i = kLastDigit; i >= kFirstDigit; --i) {
            if (line_[i] != u'9') {
                ++line_[i];
                break;
            }
            line_[i] = u'0';
        }
        return line_;
    }

  private:
    static constexpr size_t kFirstDigit = 15, kLastDigit = 21;
    Text line_ = u"C:\\folder\\name\\0000000.txt\r\n";
};

// What a flat store does for an appended line: the text grows and each LF adds a start.
struct FlatStore {
    void Append(TextView line) {
        const size_t at = text.size();
        text.append(line);
        for (size_t i = 0; i < line.size(); ++i)
            if (line[i] == u'\n') starts.push_back(at + i + 1);
    }
    Text text;
    std::vector<size_t> starts{0};
};

void TrimHeap();

// Appends `count` lines to a fresh store of either kind; the seconds it took.
template <class Store, class Append, class CountLines>
double AppendTo(size_t count, Append append, CountLines lineCount) {
    TrimHeap();
    Lines lines;
    Store store;
    const auto start = Clock::now();
    for (size_t i = 0; i < count; ++i) append(store, lines.Next());
    const double seconds = Seconds(start);
    if (lineCount(store) != count + 1) std::printf("MISMATCH: %zu lines\n", lineCount(store));
    return seconds;
}

double AppendToStore(size_t count) {
    return AppendTo<TextStore>(
        count, [](TextStore& s, TextView line) { s.ReplaceSelection(line); },
        [](const TextStore& s) { return s.LineCount(); });
}

double AppendToFlat(size_t count) {
    return AppendTo<FlatStore>(
        count, [](FlatStore& s, TextView line) { s.Append(line); },
        [](const FlatStore& s) { return s.starts.size(); });
}

void Fill(TextStore& store, size_t count) {
    Lines lines;
    for (size_t i = 0; i < count; ++i) store.ReplaceSelection(lines.Next());
}

// `count` lines inserted one after the other from `at`, as the walk inserts a folder's.
double Insert(TextStore& store, size_t at, size_t count) {
    Lines lines;
    store.Select(at, at);
    const auto start = Clock::now();
    for (size_t i = 0; i < count; ++i) store.ReplaceSelection(lines.Next());
    return Seconds(start);
}

#ifdef _WIN32
void TrimHeap() {}

// Private bytes stay where the heap's high water left them; the blocks in use tell.
const char* kHeapMeasure = "bytes in use in the process's heaps";
double HeapBytes() {
    HANDLE heaps[64];
    const DWORD n = std::min<DWORD>(GetProcessHeaps(64, heaps), 64);
    double used = 0;
    for (DWORD i = 0; i < n; ++i) {
        PROCESS_HEAP_ENTRY entry{};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) used += static_cast<double>(entry.cbData);
        HeapUnlock(heaps[i]);
    }
    return used;
}
#else
// Each timed run starts from a trimmed heap, so one does not inherit free memory from the
// run before it: otherwise the flat reference ran up to twice as fast after one store
// than after another.
void TrimHeap() {
    malloc_trim(0);
}

const char* kHeapMeasure = "bytes in use by malloc";
double HeapBytes() {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<double>(m.uordblks + m.hblkhd);
}
#endif

// The heap taken by `count` lines inserted at `at` of a text of `textLines` lines.
double HeapGrowth(size_t textLines, bool top, size_t count) {
    TextStore store;
    Fill(store, textLines);
    const double before = HeapBytes();
    Insert(store, top ? 0 : store.Length(), count);
    return HeapBytes() - before;
}

// The same figures for the store of commit 5580c4d (fixed 32 K-character blocks and a flat
// vector of line starts), measured natively on the development machine with this
// benchmark; at the top only 100 lines, as each took tens of milliseconds there.
const char* const kBefore[] = {
    "141 ns per line, ratio 0.97 to the flat reference (median of 8 runs; commit 5580c4d)",
    "25 ms per line at the top, 0.38 us at the end: ratio 64612 (100 lines; commit 5580c4d)",
    "6.3 MB for 100 lines at the top, a 64 KB block each; 0 at the end (commit 5580c4d)",
};

int Main(int argc, char** argv) {
    const auto arg = [&](int i, size_t fallback) {
        return argc > i ? std::strtoul(argv[i], nullptr, 10) : fallback;
    };
    const size_t textLines = arg(1, 1000000), timedLines = arg(2, 10000),
                 heapLines = arg(3, 100000);
    const double lineBytes = static_cast<double>(Lines().Next().size() * sizeof(char16_t));

    // Appending into an empty store, best of 3 against the flat reference.
    double store = 1e9, flat = 1e9;
    for (int round = 0; round < 3; ++round) {
        store = std::min(store, AppendToStore(textLines));
        flat = std::min(flat, AppendToFlat(textLines));
    }
    const double perLine = store / static_cast<double>(textLines) * 1e9;
    std::printf("append %zu lines into an empty store: %.1f ns per line (best of 3)\n", textLines,
                perLine);
    std::printf("  flat string + vector of line starts: %.1f ns per line\n",
                flat / static_cast<double>(textLines) * 1e9);
    std::printf("  ratio store / flat: %.2f\n", store / flat);
    std::printf("  before (natively): %s\n", kBefore[0]);

    // Inserting near the top against appending at the end of the same long text.
    TextStore text;
    Fill(text, textLines);
    double top = 1e9, end = 1e9;
    for (int round = 0; round < 3; ++round) {
        top = std::min(top, Insert(text, 0, timedLines));
        end = std::min(end, Insert(text, text.Length(), timedLines));
    }
    std::printf("%zu lines into a text of %zu lines (best of 3):\n", timedLines, textLines);
    std::printf("  at the top: %.3f ms, %.1f ns per line\n", top * 1e3,
                top / static_cast<double>(timedLines) * 1e9);
    std::printf("  at the end: %.3f ms, %.1f ns per line\n", end * 1e3,
                end / static_cast<double>(timedLines) * 1e9);
    std::printf("  ratio top / end: %.2f\n", top / end);
    std::printf("  before (natively): %s\n", kBefore[1]);

    // The heap the same lines take inserted at the top and at the end.
    const double atTop = HeapGrowth(textLines, true, heapLines);
    const double atEnd = HeapGrowth(textLines, false, heapLines);
    const double inserted = lineBytes * static_cast<double>(heapLines);
    std::printf("heap growth for %zu lines (%.1f MB of text) into a text of %zu lines (%s):\n",
                heapLines, inserted / 1048576.0, textLines, kHeapMeasure);
    std::printf("  at the top: %.1f MB, ratio to the text inserted %.2f\n", atTop / 1048576.0,
                atTop / inserted);
    std::printf("  at the end: %.1f MB, ratio to the text inserted %.2f\n", atEnd / 1048576.0,
                atEnd / inserted);
    std::printf("  before (natively): %s\n", kBefore[2]);
    return 0;
}

}  // namespace
}  // namespace tarnwick::bench

int main(int argc, char** argv) {
    return tarnwick::bench::Main(argc, argv);
}
