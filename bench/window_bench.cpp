// Lists trees into the visible window under Wine, through a click on the start button, and
// times each listing against /list of the same tree (run in this process, in its hidden
// window), a bare FindFirstFileExW walk, and that walk's reading spread over twice as many
// threads as cores, in no order, taken in turn in each round; prints every run's readers,
// threads and processor time (the Wine server's too when bench/run names its process), the
// least and median times and the ratios beside their targets. Under Wine a process reads
// one folder's entries at a time, whichever thread asks, and Wine's server is a single
// thread: the spread reading is the least time that any listing in one process can take
// on this machine. Then, on the last tree: stop clicks at several points of a run, and the
// save of the listing.
//
//   window_bench [--rounds N] [--stop FOLDER] [--clicks N] ENTRIES|FOLDER...
//       (default: 3 rounds, a tree of 10,000 entries shaped as a user's documents, built here)
//   window_bench --caret FOLDER
//
// --caret lists the folder with the caret left at the end of the listing and with the
// caret put on its first line by a click early in the walk, so that every later line goes
// in near the top: each listing in a process of its own, so that each one's peak working
// set is its own, taken in turn, three of each.
//
// A number builds a tree of that many entries here; a folder is a tree built beforehand
// (bench/run builds them natively, which is many times faster than through Wine). The stop
// clicks go to the --stop folder (bench/run gives one folder of 10^5 files, where a click
// must be answered in the middle of a single enumeration), else to the last tree; --clicks N
// adds N more at random moments of runs of the last tree.
#include <windows.h>

#include <psapi.h>  // needs windows.h first

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/Timing.h"
#include "bench/bench_tree.h"
#include "bench/walk_figures.h"
#include "cli/ListCommand.h"
#include "platform/memory/MemoryControls.h"
#include "platform/win32/Win32EventPump.h"
#include "window/win32/Win32Form.h"

namespace tarnwick::bench {
namespace {

double Megabytes(size_t bytes) {
    return static_cast<double>(bytes) / 1048576.0;
}

double PeakMegabytes() {
    PROCESS_MEMORY_COUNTERS c{};
    GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c);
    return Megabytes(c.PeakWorkingSetSize);
}

// The program's own pump, which also clicks on the listing's first line once the walk has
// put two lines there, as a user would.
class ClickingPump : public EventPump {
  public:
    explicit ClickingPump(EventPump& pump) : pump_(pump) {}
    void Arm(HWND view) { view_ = view; }
    int DoEvents() override {
        if (view_ && SendMessageW(view_, EM_GETLINECOUNT, 0, 0) > 2) {
            const LRESULT first = SendMessageW(view_, EM_POSFROMCHAR, 0, 0);
            const int x = static_cast<short>(LOWORD(first)) + 1,
                      y = static_cast<short>(HIWORD(first)) + 2;
            PostMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
            PostMessageW(view_, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
            view_ = nullptr;
        }
        return pump_.DoEvents();
    }
    [[noreturn]] void End() override {
        pump_.End();
        std::abort();  // not reached: ending does not return
    }

  private:
    EventPump& pump_;
    HWND view_ = nullptr;
};

constexpr double kStopTargetMs = 50;

// What /list writes, only counted.
struct LineCounter : CommandConsole {
    bool Output(std::string_view bytes) override {
        lines += static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
        return true;
    }
    void OutputLine(TextView) override {}
    void ErrorLine(TextView) override {}
    size_t lines = 0;
};

struct Tree {
    Text root;
    bool built = false;  // here, so removed at the end
};

class Bench {
  public:
    explicit Bench(bool quiet = false) : app_(*files_, clicking_, &desktop_) {
        app_.Show(SW_SHOWNORMAL);
        app_.ChFiles.SetValue(1);
        app_.ChNoPath.SetValue(0);
        app_.txtLevel.SetText(u"32767");
        events_.DoEvents();
        baseline_ = PeakMegabytes();
        if (!quiet)
            std::printf("window open, before any listing: peak working set %.1f MB\n", baseline_);
    }

    // The listing in the window, /list, the bare walk and the spread one in turn on a warm
    // tree, each round starting with the next.
    void Measure(const Text& root, int rounds) {
        const std::wstring folder = std::wstring(root.begin(), root.end()) + L"\\";
        const size_t entries = BareWalk(folder);  // warms the tree
        const unsigned threads = 2 * std::max(1u, std::thread::hardware_concurrency());
        Series window("window"), list("/list"), bare("bare walk"),
            parallel("bare walk over " + std::to_string(threads) + " threads");
        size_t lines = 0, listLines = 0;
        for (int round = 0; round < rounds; ++round) {
            for (int i = 0; i < 4; ++i) {
                switch ((round + i) % 4) {
                    case 0:
                        window.Add(bench::Measure([&] { List(root); }));
                        lines = LineCount();
                        break;
                    case 1:
                        list.Add(bench::Measure([&] { listLines = ListCommand(root); }));
                        break;
                    case 2:
                        bare.Add(bench::Measure([&] { BareWalk(folder); }));
                        break;
                    default:
                        parallel.Add(bench::Measure([&] { ParallelBareWalk(folder, threads); }));
                }
            }
        }
        const double text = Megabytes(TextLength() * 2);
        const bool same = lines == entries && listLines == entries;
        std::printf("%zu entries; %zu lines in the window, %zu from /list%s\n", entries, lines,
                    listLines, same ? "" : "  <-- MISMATCH");
        for (const Series* s : {&window, &list, &bare, &parallel}) s->Print();
        PrintRatio(window, list, "<= 1.05", 1.05);
        PrintRatio(window, bare, "<= 1.0", 1.0);
        PrintRatio(parallel, bare);
        std::printf(
            "  (the bare walk's reading spread over %u threads, in no order: no listing in one "
            "process can be faster here)\n",
            threads);
        const double peak = PeakMegabytes();
        std::printf(
            "  listing %.1f MB as UTF-16; peak working set so far %.1f MB: ratio %.2f "
            "(%.2f for what the listings added to the open window)\n",
            text, peak, peak / text, (peak - baseline_) / text);
        ok_ = ok_ && same;
    }

    // A stop clicked from another thread, as a user's click arrives, at several points of
    // a run (`clicks` of them at random moments, else at tenths 1, 3, 5, 7 and 9): how long
    // until the run has ended; with random moments, the median, 95th percentile and most.
    void MeasureStops(const Text& root, int clicks = 0) {
        // The clicks are placed in the fastest of three listings, so that a later, faster
        // run (the folder now in the cache) still sees each of them.
        const double whole = std::min({List(root), List(root), List(root)});
        std::vector<double> at{0.1, 0.3, 0.5, 0.7, 0.9}, stops;
        if (clicks > 0) {
            at.clear();
            for (int i = 0; i < clicks; ++i) at.push_back((std::rand() % 1000 + 0.5) / 1000);
        }
        std::printf("  stop clicks:");
        for (double moment : at) {
            const double ms = StopAt(whole * moment);
            if (ms < 0) {
                std::printf(" %.0f%%: ended first;", moment * 100);
                continue;
            }
            stops.push_back(ms);
            std::printf(" %.0f%%: %.0f ms;", moment * 100, ms);
        }
        std::printf("\n");
        if (stops.empty()) return;
        std::sort(stops.begin(), stops.end());
        if (clicks > 0) {
            std::printf("  %zu stops: median %.0f ms\n", stops.size(), stops[stops.size() / 2]);
            PrintAgainst("95th percentile stop", stops[(stops.size() * 95 + 99) / 100 - 1],
                         kStopTargetMs);
            PrintAgainst("worst stop", stops.back(), 2 * kStopTargetMs);
        } else {
            PrintAgainst("worst stop", stops.back(), kStopTargetMs);
        }
    }

    // A run stopped `seconds` after it starts: milliseconds from the click to its end, or
    // below 0 when it had ended first.
    double StopAt(double seconds) {
        Clock::time_point clicked;
        const HWND button = app_.cmdDoIt.Handle();
        std::atomic<bool> running = true, posted = false;
        std::thread user([&] {
            std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
            clicked = Clock::now();
            if (running) posted = PostMessageW(button, BM_CLICK, 0, 0) != 0;
        });
        SendMessageW(button, BM_CLICK, 0, 0);
        running = false;
        const auto ended = Clock::now();
        user.join();
        MSG stray;  // a click that came too late must not start the next run
        while (PeekMessageW(&stray, button, BM_CLICK, BM_CLICK, PM_REMOVE)) posted = false;
        return posted ? Seconds(clicked, ended) * 1000 : -1;
    }

    void MeasureSave(const Text& root) {
        List(root);
        const Text file = TempRoot() + u".txt";
        desktop_.answers = {file};
        const auto start = Clock::now();
        SendMessageW(app_.cmdSave.Handle(), BM_CLICK, 0, 0);
        const double seconds = Seconds(start);
        WIN32_FILE_ATTRIBUTE_DATA a{};
        GetFileAttributesExW(reinterpret_cast<const wchar_t*>(file.c_str()), GetFileExInfoStandard,
                             &a);
        const size_t bytes = (size_t{a.nFileSizeHigh} << 32) | a.nFileSizeLow;
        std::printf("  save of %zu lines: %.3f s, %.1f MB written; peak working set %.1f MB\n",
                    LineCount(), seconds, Megabytes(bytes), PeakMegabytes());
        DeleteFileW(reinterpret_cast<const wchar_t*>(file.c_str()));
    }

    // One listing, with the caret clicked onto the first line early on or left at the end.
    void ListOnce(const Text& root, bool caretOnTop, const std::wstring& resultFile) {
        if (caretOnTop) clicking_.Arm(app_.txtResult.Handle());
        const double seconds = List(root);
        const bool clicked = app_.txtResult.Store().Caret() < app_.txtResult.Store().Length();
        if (FILE* f = _wfopen(resultFile.c_str(), L"w")) {
            std::fprintf(f, "%f %f %zu %d\n", seconds, PeakMegabytes(), LineCount(), clicked);
            std::fclose(f);
        }
    }

    bool ok() const { return ok_; }

  private:
    // /list as the command line runs it, in a hidden window of this process, to the
    // console; gives the lines it wrote.
    size_t ListCommand(const Text& root) {
        LineCounter console;
        RunCommand({u"/list", root, u"/depth", u"32767", u"/files"}, *files_, console);
        return console.lines;
    }
    double List(const Text& root) {
        app_.form.SkipChange = True;  // the path box only: no location handlers
        app_.txtPath.SetText(root);
        const auto start = Clock::now();
        SendMessageW(app_.cmdDoIt.Handle(), BM_CLICK, 0, 0);
        return Seconds(start);
    }
    size_t TextLength() {
        return static_cast<size_t>(SendMessageW(app_.txtResult.Handle(), WM_GETTEXTLENGTH, 0, 0));
    }
    size_t LineCount() {
        return static_cast<size_t>(SendMessageW(app_.txtResult.Handle(), EM_GETLINECOUNT, 0, 0)) -
               1;  // the empty line after the last line end
    }

    std::unique_ptr<FileSystem> files_ = MakeFileSystem();
    win32::Win32EventPump events_;
    ClickingPump clicking_{events_};
    MemoryDesktop desktop_;  // the save dialog answers with a path of the bench's
    Win32Form app_;
    bool ok_ = true;
    double baseline_ = 0;
};

struct Walk {
    double seconds = 0, peak = 0;
    size_t lines = 0;
    bool clicked = false;
};

// This program again, for one listing; what it measured comes back in a file.
Walk RunChild(const std::wstring& mode, const std::wstring& folder) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const Text name = TempRoot();
    const std::wstring file = std::wstring(name.begin(), name.end()) + L".txt";
    std::wstring line =
        L"\"" + std::wstring(self) + L"\" " + mode + L" \"" + folder + L"\" \"" + file + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    Walk walk;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return walk;
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (FILE* f = _wfopen(file.c_str(), L"r")) {
        int clicked = 0;
        if (std::fscanf(f, "%lf %lf %zu %d", &walk.seconds, &walk.peak, &walk.lines, &clicked) == 4)
            walk.clicked = clicked != 0;
        std::fclose(f);
    }
    DeleteFileW(file.c_str());
    return walk;
}

int MeasureCaret(const std::wstring& folder) {
    BareWalk(folder + L"\\");  // warms the tree
    Walk end{1e9}, top{1e9};
    bool allClicked = true;
    size_t lines[2] = {};
    for (int round = 0; round < 3; ++round) {
        for (bool onTop : {false, true}) {
            const Walk w = RunChild(onTop ? L"--caret-top" : L"--caret-end", folder);
            Walk& best = onTop ? top : end;
            best.seconds = std::min(best.seconds, w.seconds);
            best.peak = std::max(best.peak, w.peak);
            lines[onTop] = w.lines;
            if (onTop) allClicked = allClicked && w.clicked;
        }
    }
    std::printf("%zu lines with the caret at the end, %zu with it clicked onto the first line%s\n",
                lines[0], lines[1],
                allClicked && lines[0] == lines[1] ? "" : "  <-- MISMATCH or no click");
    std::printf(
        "  listing %.3f s with the caret at the end, %.3f s on the first line (best of 3): "
        "ratio %.2f\n",
        end.seconds, top.seconds, top.seconds / end.seconds);
    std::printf("  peak working set %.1f MB at the end, %.1f MB on the first line: ratio %.2f\n",
                end.peak, top.peak, top.peak / end.peak);
    return allClicked && lines[0] == lines[1] ? 0 : 1;
}

int Main(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"--caret") return MeasureCaret(argv[2]);
    if (argc == 4 && std::wstring(argv[1]).starts_with(L"--caret-")) {
        Bench bench(true);
        bench.ListOnce(reinterpret_cast<const char16_t*>(argv[2]),
                       std::wstring(argv[1]) == L"--caret-top", argv[3]);
        return 0;
    }
    std::vector<Tree> trees;
    Text stopFolder;
    int rounds = 3, clicks = 0;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--stop" && i + 1 < argc) {
            stopFolder = reinterpret_cast<const char16_t*>(argv[++i]);
        } else if (arg == L"--clicks" && i + 1 < argc) {
            clicks = std::max(1, _wtoi(argv[++i]));
        } else if (arg == L"--rounds" && i + 1 < argc) {
            rounds = std::max(1, _wtoi(argv[++i]));
        } else if (arg.find_first_not_of(L"0123456789") == std::wstring::npos) {
            const Text root = TempRoot();
            const auto start = Clock::now();
            BuildRealisticTree(root, std::wcstoul(arg.c_str(), nullptr, 10));
            std::printf("tree built in %.1f s\n", Seconds(start));
            trees.push_back({root, true});
        } else {
            trees.push_back({Text(arg.begin(), arg.end()), false});
        }
    }
    std::printf("cores: %u; %d rounds\n", std::thread::hardware_concurrency(), rounds);
    if (trees.empty())
        trees.push_back({TempRoot(), true}), BuildRealisticTree(trees[0].root, 10000);

    Bench bench;
    for (const Tree& t : trees) bench.Measure(t.root, rounds);
    std::printf("stop clicks in %s:\n", stopFolder.empty() ? "the last tree" : "the --stop folder");
    bench.MeasureStops(stopFolder.empty() ? trees.back().root : stopFolder);
    if (clicks > 0) {
        std::printf("%d stop clicks at random moments in the last tree:\n", clicks);
        bench.MeasureStops(trees.back().root, clicks);
    }
    bench.MeasureSave(trees.back().root);
    for (const Tree& t : trees)
        if (t.built) RemoveTree(t.root);
    return bench.ok() ? 0 : 1;
}

}  // namespace
}  // namespace tarnwick::bench

int wmain(int argc, wchar_t** argv) {
    return tarnwick::bench::Main(argc, argv);
}
