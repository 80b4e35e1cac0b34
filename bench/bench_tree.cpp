#include "bench/bench_tree.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "platform/Lock.h"
#endif

namespace fs = std::filesystem;

namespace tarnwick::bench {
namespace {

const char16_t* const kWords[] = {u"report",   u"photos",  u"2024",    u"backup", u"报告",
                                  u"项目资料", u"invoice", u"draft",   u"照片",   u"music",
                                  u"notes",    u"客户",    u"archive", u"final",  u"temp"};
const char16_t* const kExtensions[] = {u".txt", u".docx", u".jpg", u".pdf", u".xlsx", u".mp3"};

Text Name(size_t i, bool folder) {
    Text name = kWords[i % 15];
    name += u'_';
    name += kWords[(i / 15 + 7) % 15];
    for (char c : std::to_string(i)) name += static_cast<char16_t>(c);
    if (!folder) name += kExtensions[i % 6];
    return name;
}

void MakeFile(const fs::path& p) {
#ifdef _WIN32
    CloseHandle(CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
#else
    std::ofstream{p};
#endif
}

// Depth first with the budget shared among the sub-folders: a balanced tree, built in
// little memory, so that the peak the benchmark reports belongs to the walk.
size_t Build(const fs::path& folder, size_t budget, size_t& serial) {
    constexpr size_t kPerFolder = 36;  // every sixth entry is a folder
    const size_t here = std::min(budget, kPerFolder);
    std::vector<fs::path> folders;
    for (size_t i = 0; i < here; ++i, ++serial) {
        const bool isFolder = i % 6 == 0;
        const fs::path p = folder / fs::path(Name(serial, isFolder));
        if (isFolder) {
            fs::create_directory(p);
            folders.push_back(p);
        } else {
            MakeFile(p);
        }
    }
    size_t made = here, left = budget - here;
    for (size_t i = 0; i < folders.size() && left > 0; ++i) {
        const size_t share = (left + (folders.size() - i) - 1) / (folders.size() - i);
        const size_t sub = Build(folders[i], share, serial);
        made += sub;
        left -= sub;
    }
    return made;
}

}  // namespace

size_t BuildTree(const Text& root, size_t entries) {
    fs::create_directories(fs::path(root));
    size_t serial = 0;
    return Build(fs::path(root), entries, serial);
}

size_t BuildFlat(const Text& root, size_t entries) {
    fs::create_directories(fs::path(root));
    for (size_t i = 0; i < entries; ++i) MakeFile(fs::path(root) / fs::path(Name(i, false)));
    return entries;
}

void RemoveTree(const Text& root) {
    std::error_code ec;
#ifdef _WIN32
    // Its deepest paths are longer than a path without this prefix may be.
    if (root.size() > 2 && root[1] == u':')
        return void(fs::remove_all(fs::path(u"\\\\?\\" + root), ec));
#endif
    fs::remove_all(fs::path(root), ec);
}

#ifdef _WIN32
namespace {

// Lists `folder`: its entry count; its sub-folders go to `found`.
size_t ReadFolder(const std::wstring& folder, std::vector<std::wstring>& found) {
    WIN32_FIND_DATAW d;
    const HANDLE h = FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &d,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return 0;
    size_t n = 0;
    do {
        const bool dots = d.cFileName[0] == L'.' &&
                          (d.cFileName[1] == 0 || (d.cFileName[1] == L'.' && d.cFileName[2] == 0));
        if (dots) continue;
        ++n;
        if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            found.push_back(folder + d.cFileName + L"\\");
    } while (FindNextFileW(h, &d));
    FindClose(h);
    return n;
}

}  // namespace

size_t ParallelBareWalk(const std::wstring& folder, unsigned threads) {
    Mutex mutex;
    Condition changed;
    std::vector<std::wstring> toRead{folder};
    unsigned busy = 0;
    size_t total = 0;
    const auto work = [&] {
        std::vector<std::wstring> found;
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return !toRead.empty() || busy == 0; });
            if (toRead.empty()) return;
            const std::wstring next = std::move(toRead.back());
            toRead.pop_back();
            ++busy;
            lock.unlock();
            found.clear();
            const size_t n = ReadFolder(next, found);
            lock.lock();
            --busy;
            total += n;
            for (auto& f : found) toRead.push_back(std::move(f));
            changed.notify_all();
        }
    };
    std::vector<std::thread> pool;
    for (unsigned i = 1; i < threads; ++i) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    return total;
}

size_t BareWalk(const std::wstring& folder) {
    std::vector<std::wstring> folders;
    size_t n = ReadFolder(folder, folders);
    for (const auto& f : folders) n += BareWalk(f);
    return n;
}
#endif

Text TempRoot() {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    return (fs::temp_directory_path() / ("tarnwick-bench-" + std::to_string(stamp))).u16string();
}

}  // namespace tarnwick::bench
