#include "bench/realistic_tree.h"
#include "bench/bench_tree.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace tarnwick::bench {
namespace {

// splitmix64: the same numbers on every system, unlike the standard distributions.
uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

struct Random {
    uint64_t state;
    size_t Below(size_t n) { return static_cast<size_t>((state = Mix(state)) % n); }
};

template <size_t N>
const char16_t* Pick(Random& r, const char16_t* const (&words)[N]) {
    return words[r.Below(N)];
}

const char16_t* const kEnglish[] = {
    u"Customer Documents",    u"Annual Reports",  u"Meeting Notes",     u"Design Drafts",
    u"Invoices and Receipts", u"Source Material", u"Working Copies",    u"Shared with Team",
    u"Photos from the Field", u"Project Archive", u"Quarterly Figures", u"Contracts Signed",
    u"Backup of Laptop",      u"Research Papers", u"Training Videos",   u"Product Sheets"};
const char16_t* const kChinese[] = {u"客户资料",   u"年度报告汇总", u"会议记录", u"设计稿件",
                                    u"合同与发票", u"项目归档",     u"工作备份", u"部门共享文件",
                                    u"现场照片",   u"参考文献",     u"培训视频", u"产品规格说明"};
const char16_t* const kFileWords[] = {u"summary for the regional office",
                                      u"minutes of the weekly meeting",
                                      u"draft for review",
                                      u"final version approved",
                                      u"scan",
                                      u"notes and comments",
                                      u"budget for next year",
                                      u"presentation to the board",
                                      u"photo taken on site",
                                      u"客户反馈意见汇总",
                                      u"季度销售数据",
                                      u"项目进度报告终稿"};
const char16_t* const kExtensions[] = {u".docx", u".xlsx", u".pdf", u".jpg", u".png",
                                       u".txt",  u".pptx", u".zip", u".mp4", u".csv"};

void AppendNumber(std::u16string& s, size_t n) {
    for (const char c : std::to_string(n)) s += static_cast<char16_t>(c);
}

// Unique among its siblings by its number.
std::u16string FolderName(size_t i) {
    Random r{i * 2 + 1};
    std::u16string name = r.Below(3) == 0 ? Pick(r, kChinese) : Pick(r, kEnglish);
    if (r.Below(4) == 0) name += std::u16string(u" ") + Pick(r, kEnglish);
    name += u" ";
    AppendNumber(name, 2008 + r.Below(17));
    name += u"-";
    AppendNumber(name, i);
    return name;
}

std::u16string FileName(size_t folder, size_t k) {
    Random r{Mix(folder) ^ (k * 2 + 1)};
    std::u16string name = r.Below(4) == 0 ? Pick(r, kChinese) : Pick(r, kEnglish);
    name += u" - ";
    name += Pick(r, kFileWords);
    name += u"_";
    AppendNumber(name, k + 1);
    name += u"v";
    AppendNumber(name, 1 + r.Below(9));
    name += Pick(r, kExtensions);
    return name;
}

// Node 0 is the root; folder i > 0 hangs under parent[i] < i.
struct Plan {
    std::vector<uint32_t> parent, depth, files;
};

Plan MakePlan(size_t entries) {
    const size_t folders = std::max<size_t>(1, entries * 64427 / 1000000);
    Plan p{{0}, {0}, {}};
    std::vector<uint32_t> wide;
    Random r{entries};
    size_t chainLeft = 0;
    for (size_t i = 1; i <= folders; ++i) {
        if (i % 4000 == 1) chainLeft = 20 + r.Below(15);  // a deep chain starts
        size_t parent;
        const size_t u = r.Below(100);
        if (chainLeft > 0) {
            parent = i - 1;
            --chainLeft;
        } else if (u < 6 && !wide.empty()) {
            parent = wide[r.Below(wide.size())];
        } else {  // most folders 4 to 7 levels down, some at 1 to 3 and some at 8 to 10
            constexpr uint32_t kLevels[] = {1, 2, 3, 3, 4, 4, 4, 5, 5, 5,
                                            5, 6, 6, 6, 7, 7, 8, 9, 10};
            const uint32_t level = kLevels[r.Below(std::size(kLevels))];
            parent = r.Below(i);
            while (p.depth[parent] >= level) parent = p.parent[parent];
        }
        p.parent.push_back(static_cast<uint32_t>(parent));
        p.depth.push_back(p.depth[parent] + 1);
        if (i % 3000 == 0) wide.push_back(static_cast<uint32_t>(i));
    }
    size_t placed = folders;
    for (size_t i = 0; i <= folders; ++i) {
        p.files.push_back(static_cast<uint32_t>(5 + r.Below(16)));
        placed += p.files.back();
    }
    // The rest in a few large folders of 1,000 to 8,000 files, spread through the tree.
    const size_t rest = entries > placed ? entries - placed : 0;
    const size_t large = std::min(folders, (rest + 4499) / 4500);
    std::vector<size_t> weights(large);
    size_t total = 0;
    for (size_t& w : weights) total += w = 2 + r.Below(5);
    for (size_t j = 0, given = 0; j < large; ++j) {
        const size_t n = j + 1 == large ? rest - given : rest * weights[j] / total;
        p.files[(j + 1) * folders / (large + 1) + 1] += static_cast<uint32_t>(n);
        given += n;
    }
    return p;
}

// Walks the plan: each folder's path, then its files' names.
template <class Folder, class File>
RealisticShape Visit(const fs::path& root, size_t entries, Folder folder, File file) {
    const Plan p = MakePlan(entries);
    RealisticShape s;
    std::vector<fs::path> paths{root};
    std::vector<size_t> lengths{root.u16string().size()};
    double characters = 0;
    for (size_t i = 1; i < p.parent.size(); ++i) {
        const std::u16string name = FolderName(i);
        paths.push_back(paths[p.parent[i]] / fs::path(name));
        lengths.push_back(lengths[p.parent[i]] + 1 + name.size());
        folder(paths.back());
        characters += static_cast<double>(lengths.back());
        s.deepest = std::max<size_t>(s.deepest, p.depth[i]);
    }
    for (size_t i = 0; i < p.parent.size(); ++i) {
        for (size_t k = 0; k < p.files[i]; ++k) {
            const std::u16string name = FileName(i, k);
            file(paths[i] / fs::path(name));
            characters += static_cast<double>(lengths[i] + 1 + name.size());
        }
        s.entries += p.files[i];
        s.largestFolder = std::max<size_t>(s.largestFolder, p.files[i]);
    }
    s.folders = p.parent.size() - 1;
    s.entries += s.folders;
    s.meanLine = characters / static_cast<double>(s.entries);
    return s;
}

}  // namespace

RealisticShape PlanRealistic(const fs::path& root, size_t entries) {
    return Visit(
        root, entries, [](const fs::path&) {}, [](const fs::path&) {});
}

RealisticShape BuildRealistic(const fs::path& root, size_t entries) {
    fs::create_directories(root);
    return Visit(
        root, entries, [](const fs::path& p) { fs::create_directory(p); },
        [](const fs::path& p) { std::ofstream{p}; });
}

}  // namespace tarnwick::bench

namespace tarnwick::bench {

size_t BuildRealisticTree(const Text& root, size_t entries) {
    return BuildRealistic(std::filesystem::path(root), entries).entries;
}

}  // namespace tarnwick::bench
