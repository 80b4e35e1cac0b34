// Times the native program's /list of a tree (full paths, files, hidden entries, every level)
// into a file, by /out (written as the walk goes, then flushed and renamed into place) and
// to its output redirected (made whole first, as a console can't take back what it was
// given), against `find TREE > file` and against bare_walk, a getdents64 walk that writes nothing,
// and its /format csv against its text and against `find -printf` of each entry's size and
// time (a stat of each, as the records make natively); with --wine, Tarnwick.com's /format csv
// against its text under Wine too: one warm-up round, then ROUNDS rounds with all of them
// interleaved. Prints each one's minimum and median, wall-clock and processor time, and the ratios
// beside their targets; with --load N, the same again while N processes spin. Then, cold: /list
// /out, find and bare_walk each run after the system's caches are dropped (which needs root;
// it says so when it can't), as a user's first listing of a drive is; with --load N, first
// while they spin.
//   list_bench TREE [--rounds R] [--load N] [--wine TARNWICK_COM]
// tarnwick is looked for in the build's root, bare_walk beside this program, and Wine is
// run through the repository's tools/wine-run (its server already started).
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/Timing.h"

namespace fs = std::filesystem;

namespace tarnwick::bench {
namespace {

struct Times {
    double wall, processor;  // seconds; the processor's of every thread, user and system
};

// Runs `argv` with its output into `out`, as a shell's redirection would; exits on failure.
Times Run(const std::vector<std::string>& argv, const fs::path& out) {
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd == -1 || dup2(fd, STDOUT_FILENO) == -1) _exit(126);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child == -1 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "list_bench: %s failed\n", argv[0].c_str());
        std::exit(1);
    }
    const auto seconds = [](timeval t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return {Seconds(start), seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

size_t Lines(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return static_cast<size_t>(std::count(std::istreambuf_iterator<char>(in), {}, '\n'));
}

bool SameBytes(const fs::path& a, const fs::path& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(x), {}, std::istreambuf_iterator<char>(y), {});
}

struct Contender {
    const char* name;
    std::vector<std::string> argv;
    fs::path out;  // its output, redirected
    std::vector<Times> runs;
    int linesMore = -1;     // than the text listing (the CSV header row); -1: not compared
    fs::path written = {};  // where it writes the listing itself, if not to its output

    const fs::path& Listing() const { return written.empty() ? out : written; }
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

struct Summary {
    double min, median, processor;
};

Summary Summarise(const Contender& c) {
    std::vector<double> wall, processor;
    for (const Times& t : c.runs) wall.push_back(t.wall), processor.push_back(t.processor);
    return {*std::min_element(wall.begin(), wall.end()), Median(wall), Median(processor)};
}

// The time of contender `of` against that of contender `against`.
struct Ratio {
    size_t of, against;
    double target;  // none when 0
};

// Writes what is cached back to the disk and drops the page, directory and inode caches;
// false when the system does not let this process (not root, or in a container).
bool DropCaches() {
    sync();
    std::FILE* f = std::fopen("/proc/sys/vm/drop_caches", "w");
    if (!f) return false;
    const bool written = std::fputs("3\n", f) >= 0;
    return std::fclose(f) == 0 && written;
}

void Measure(std::vector<Contender>& contenders, const std::vector<Ratio>& ratios, int rounds,
             const char* label, bool cold = false) {
    for (Contender& c : contenders) c.runs.clear();
    for (int round = 0; round < rounds; ++round) {
        for (Contender& c : contenders) {
            if (cold) DropCaches();
            c.runs.push_back(Run(c.argv, c.out));
        }
    }
    std::printf("%s, %d rounds interleaved:\n", label, rounds);
    std::vector<Summary> s;
    for (const Contender& c : contenders) {
        s.push_back(Summarise(c));
        std::printf("  %-42s min %.3f s  median %.3f s  (processor %.3f s)\n", c.name, s.back().min,
                    s.back().median, s.back().processor);
    }
    for (const Ratio& r : ratios) {
        std::printf("  ratio %s / %s: median %.2f  min %.2f", contenders[r.of].name,
                    contenders[r.against].name, s[r.of].median / s[r.against].median,
                    s[r.of].min / s[r.against].min);
        if (r.target > 0) std::printf("  (target <= %.2f)", r.target);
        std::printf("\n");
    }
}

// Tarnwick.com under Wine, text then CSV, with the tree as Wine's Z: drive shows it.
void AddWine(std::vector<Contender>& contenders, std::vector<Ratio>& ratios,
             const std::string& program, const fs::path& tree, const fs::path& here) {
    std::string windowsTree = "Z:" + tree.string();
    std::replace(windowsTree.begin(), windowsTree.end(), '/', '\\');
    const std::string wineRun = (here / "../../../tools/wine-run").lexically_normal().string();
    const fs::path outs = tree.parent_path();
    for (const char* format : {"text", "csv"}) {
        contenders.push_back(
            {format == std::string("text") ? "Tarnwick.com under Wine" : "Tarnwick.com /format csv",
             {wineRun, program, "/list", windowsTree, "/depth", "32767", "/files", "/hidden",
              "/format", format},
             outs / ("list_bench.wine." + std::string(format) + ".txt"),
             {},
             format == std::string("text") ? 0 : 1});
    }
    ratios.push_back({contenders.size() - 1, contenders.size() - 2, 1.2});
}

// N processes that only spin, as tools/test-under-load starts, ended when it is done.
std::vector<pid_t> Spin(int n) {
    std::vector<pid_t> spinning;
    for (int i = 0; i < n; ++i) {
        const pid_t p = fork();
        if (p == 0 && prctl(PR_SET_PDEATHSIG, SIGKILL) == 0)  // never outlives the benchmark
            for (;;) asm volatile("");
        if (p == 0) _exit(1);
        if (p > 0) spinning.push_back(p);
    }
    return spinning;
}

int Main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: list_bench TREE [--rounds R] [--load N]\n");
        return 2;
    }
    const fs::path tree = fs::absolute(argv[1]);
    int rounds = 5, load = 0;
    std::string wine;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--wine") {
            wine = argv[i + 1];
        } else {
            (flag == "--load" ? load : rounds) = std::atoi(argv[i + 1]);
        }
    }
    const fs::path here = fs::canonical("/proc/self/exe").parent_path();
    const fs::path outs = tree.parent_path();
    std::vector<Contender> contenders{
        {"tarnwick /list TREE /depth 32767 /files /hidden",
         {(here.parent_path() / "tarnwick").string(), "/list", tree.string(), "/depth", "32767",
          "/files", "/hidden"},
         outs / "list_bench.tarnwick.txt",
         {}},
        {"tarnwick /list ... /out FILE",
         {(here.parent_path() / "tarnwick").string(), "/list", tree.string(), "/depth", "32767",
          "/files", "/hidden", "/out", (outs / "list_bench.tarnwick-out.txt").string()},
         "/dev/null",
         {},
         0,
         outs / "list_bench.tarnwick-out.txt"},
        {"find TREE > file", {"find", tree.string()}, outs / "list_bench.find.txt", {}},
        {"bare_walk TREE", {(here / "bare_walk").string(), tree.string()}, "/dev/null", {}},
        {"tarnwick ... /format csv",
         {(here.parent_path() / "tarnwick").string(), "/list", tree.string(), "/depth", "32767",
          "/files", "/hidden", "/format", "csv"},
         outs / "list_bench.csv.txt",
         {},
         1},
        // A peer that, like the records, stats every entry.
        {"find TREE -printf '%p,%s,%T@\\n'",
         {"find", tree.string(), "-printf", "%p,%s,%T@\n"},
         outs / "list_bench.find-stat.txt",
         {},
         1},  // the tree itself too
    };
    std::vector<Ratio> ratios{{1, 2, 1.0}, {1, 3, 2.0}, {0, 2, 0},
                              {0, 3, 0},   {4, 0, 1.2}, {4, 5, 1.0}};
    if (!wine.empty()) AddWine(contenders, ratios, wine, tree, here);
    for (Contender& c : contenders) c.runs.push_back(Run(c.argv, c.out));  // warms the caches
    const size_t listed = Lines(contenders[0].out), found = Lines(contenders[2].out);
    for (const Contender& c : contenders)
        if (c.linesMore >= 0 && Lines(c.Listing()) != listed + static_cast<size_t>(c.linesMore))
            std::printf("MISMATCH: %s gave %zu lines\n", c.name, Lines(c.Listing()));
    if (!SameBytes(contenders[0].out, contenders[1].Listing()))
        std::printf("MISMATCH: the listing by /out and to the output differ\n");
    std::printf("tree %s: %zu lines listed, %zu found (the tree itself is one more)\n",
                tree.c_str(), listed, found);
    if (listed + 1 != found) std::printf("MISMATCH: the listing and find differ in lines\n");
    Measure(contenders, ratios, rounds, "quiet");
    // Cold last, loaded and then quiet: a warm set after it would find the caches emptied.
    const bool dropping = DropCaches();
    const auto measureCold = [&](const std::string& how) {
        std::vector<Contender> cold{contenders[1], contenders[2], contenders[3]};
        Measure(cold, {{0, 1, 0.85}, {0, 2, 0}}, rounds,
                ("cold (the caches dropped before each run)" + how).c_str(), true);
    };
    if (load > 0) {
        const std::vector<pid_t> spinning = Spin(load);
        const std::string with = "with " + std::to_string(load) + " spinning";
        Measure(contenders, ratios, rounds, with.c_str());
        if (dropping) measureCold(", " + with);
        for (pid_t p : spinning) kill(p, SIGKILL), waitpid(p, nullptr, 0);
    }
    if (dropping) {
        measureCold("");
    } else {
        std::printf("cold: not measured, the caches can't be dropped here (it needs root)\n");
    }
    for (const Contender& c : contenders)
        if (c.Listing() != "/dev/null") fs::remove(c.Listing());  // 200 to 300 MB each
    return listed + 1 == found ? 0 : 1;
}

}  // namespace
}  // namespace tarnwick::bench

int main(int argc, char** argv) {
    return tarnwick::bench::Main(argc, argv);
}
