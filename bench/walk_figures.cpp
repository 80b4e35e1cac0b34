#include "bench/walk_figures.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "listing/HelperThreads.h"

#ifdef _WIN32
#include <windows.h>

#include <winternl.h>  // needs windows.h first

#include <vector>
#else
#include <sys/resource.h>
#endif

namespace tarnwick::bench {
namespace {

constexpr auto kSampleEvery = std::chrono::milliseconds(10);

#ifdef _WIN32
// One call to the system for every process's threads. A thread snapshot costs several
// calls to Wine's server a sample, which its single thread then serves before the walk's
// own calls: on a busy machine that alone slowed the walks measured.
int Threads() {
    using Query = NTSTATUS(WINAPI*)(SYSTEM_INFORMATION_CLASS, void*, ULONG, ULONG*);
    static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    static std::vector<unsigned char> buffer(256 << 10);
    if (!query) return 0;
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = query(SystemProcessInformation, buffer.data(),
                           static_cast<ULONG>(buffer.size()), &needed)) ==
           static_cast<NTSTATUS>(0xC0000004L)) {  // the buffer is too small
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed));
    }
    if (status < 0) return 0;
    const auto self = static_cast<ULONG_PTR>(GetCurrentProcessId());
    for (size_t at = 0;;) {
        const auto* p = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + at);
        if (reinterpret_cast<ULONG_PTR>(p->UniqueProcessId) == self)
            return static_cast<int>(p->NumberOfThreads);
        if (p->NextEntryOffset == 0) return 0;
        at += p->NextEntryOffset;
    }
}

double ChildrenCpu() {
    return 0;  // the Windows references run in this process
}

// The server is a Linux process: Wine's drive Z: is the Linux root.
double ServerCpu() {
    const char* pid = std::getenv("TARNWICK_WINESERVER_PID");
    if (!pid || !*pid) return -1;
    FILE* f = std::fopen((std::string("Z:\\proc\\") + pid + "\\stat").c_str(), "r");
    if (!f) return -1;
    char line[1024] = {};
    const size_t n = std::fread(line, 1, sizeof line - 1, f);
    std::fclose(f);
    line[n] = 0;
    const char* fields = std::strrchr(line, ')');  // the name may hold blanks
    unsigned long user = 0, system = 0;
    if (!fields || std::sscanf(fields + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu",
                               &user, &system) != 2)
        return -1;
    return static_cast<double>(user + system) / 100;  // Linux counts in hundredths
}
#else
int Threads() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return 0;
    char line[256];
    int n = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "Threads: %d", &n) == 1) break;
    std::fclose(f);
    return n;
}

double ChildrenCpu() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double ServerCpu() {
    return -1;
}
#endif

const char* Verdict(bool least, bool median) {
    if (least && median) return "holds";
    if (least) return "holds at the least only";
    if (median) return "holds at the median only";
    return "FAILS";
}

}  // namespace

RunProbe::RunProbe()
    : walkCpu_(helpers::ThreadCpuSeconds()),
      childrenCpu_(ChildrenCpu()),
      serverCpu_(ServerCpu()),
      sampler_([this] { Sample(); }) {
    helpers::ResetReaderStatistics();
    start_ = Clock::now();
}

RunProbe::~RunProbe() {
    sampling_ = false;
    if (sampler_.joinable()) sampler_.join();
}

// The sampler's own thread is not counted.
void RunProbe::Sample() {
    while (sampling_) {
        const int n = Threads() - 1;
        if (n > threadsPeak_) threadsPeak_ = n;
        std::this_thread::sleep_for(kSampleEvery);
    }
}

RunFigures RunProbe::End() {
    RunFigures f;
    f.seconds = Seconds(start_);
    f.walkCpu = helpers::ThreadCpuSeconds() - walkCpu_;
    const helpers::ReaderStatistics readers = helpers::ReadersSinceReset();
    f.readersMost = readers.most;
    f.readersMean = readers.mean;
    sampling_ = false;
    sampler_.join();
    f.threadsPeak = threadsPeak_;
    helpers::WaitUntilAllEnded();
    f.readersCpu = helpers::ReadersSinceReset().cpuSeconds;
    f.childrenCpu = ChildrenCpu() - childrenCpu_;
    const double server = ServerCpu();
    f.serverCpu = server >= 0 && serverCpu_ >= 0 ? server - serverCpu_ : -1;
    return f;
}

double Series::Min() const {
    double least = 1e99;
    for (const RunFigures& r : runs_) least = std::min(least, r.seconds);
    return least;
}

double Series::Median() const {
    std::vector<double> s;
    for (const RunFigures& r : runs_) s.push_back(r.seconds);
    if (s.empty()) return 0;
    std::sort(s.begin(), s.end());
    const size_t m = s.size() / 2;
    return s.size() % 2 ? s[m] : (s[m - 1] + s[m]) / 2;
}

bool Series::AnyReaders() const {
    return std::any_of(runs_.begin(), runs_.end(),
                       [](const RunFigures& r) { return r.readersMost > 0; });
}

void Series::Print() const {
    int i = 0;
    for (const RunFigures& r : runs_) {
        std::printf("  %s %d: %.3f s; ", name_.c_str(), ++i, r.seconds);
        if (r.readersMost > 0)
            std::printf("readers most %d, mean %.2f; ", r.readersMost, r.readersMean);
        else
            std::printf("no readers; ");
        if (r.threadsPeak > 0) std::printf("threads at most %d; ", r.threadsPeak);
        std::printf("CPU: walk %.3f s", r.walkCpu);
        if (r.readersMost > 0) std::printf(", readers %.3f s", r.readersCpu);
        if (r.childrenCpu > 0) std::printf(", child processes %.3f s", r.childrenCpu);
        if (r.serverCpu >= 0) std::printf(", Wine server %.2f s", r.serverCpu);
        std::printf("\n");
    }
    std::printf("  %s: least %.3f s, median %.3f s of %zu\n", name_.c_str(), Min(), Median(),
                runs_.size());
}

void PrintRatio(const Series& a, const Series& b, const char* target, double bound, bool atLeast) {
    const double least = a.Min() / b.Min(), median = a.Median() / b.Median();
    std::printf("  ratio %s / %s: %.2f at the least, %.2f at the median", a.Name().c_str(),
                b.Name().c_str(), least, median);
    if (*target) {
        const auto holds = [&](double r) { return atLeast ? r >= bound : r <= bound; };
        std::printf("; target %s: %s", target, Verdict(holds(least), holds(median)));
    }
    std::printf("\n");
}

void PrintAgainst(const char* what, double ms, double boundMs) {
    std::printf("  %s: %.1f ms; target <= %.0f ms: %s\n", what, ms, boundMs,
                ms <= boundMs ? "holds" : "FAILS");
}

}  // namespace tarnwick::bench
