// A tree shaped like a user's documents: folders of 5 to 20 files, some holding many
// sub-folders and some a chain of one below another, a few of 1,000 to 8,000 files (a
// camera's dump, a mail export), names of a few words in English or Chinese, so that a
// full path averages about 180 characters. Made from a fixed seed: every build, natively
// or under Wine, makes the same tree for the same number of entries.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "bench/bench_tree.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace tarnwick::bench {
namespace {

// English at [0], Chinese at [1]: a name is in one language or the other.
const std::vector<Text> kFolderWords[] = {
    {u"Documents",       u"Projects",      u"Archive",        u"Backup",         u"Photos",
     u"Music",           u"Invoices",      u"Reports",        u"Clients",        u"Drafts",
     u"Templates",       u"Meeting Notes", u"Research",       u"Personal",       u"Travel",
     u"Family",          u"Work",          u"Old Files",      u"Scans",          u"Contracts",
     u"Budget",          u"Presentations", u"Marketing",      u"Design Assets",  u"Source Material",
     u"Tax Returns",     u"Receipts",      u"Correspondence", u"Summer Holiday", u"Thesis",
     u"Screenshots",     u"Recordings",    u"Manuals",        u"Exports",        u"Final Versions",
     u"Shared With Team"},
    {u"项目资料", u"客户",   u"报告",   u"照片",     u"合同", u"财务",     u"会议记录", u"工作",
     u"备份",     u"旧文件", u"设计稿", u"年度总结", u"发票", u"培训资料", u"个人",     u"家庭",
     u"旅行",     u"学习",   u"论文",   u"素材",     u"归档", u"重要文件", u"部门共享", u"方案"}};
const std::vector<Text> kFileWords[] = {
    {u"report",       u"summary",  u"invoice",   u"minutes",   u"proposal", u"budget",  u"overview",
     u"contract",     u"letter",   u"schedule",  u"notes",     u"analysis", u"review",  u"plan",
     u"statement",    u"customer", u"quarterly", u"annual",    u"project",  u"meeting", u"design",
     u"presentation", u"request",  u"approval",  u"timesheet", u"photo",    u"scan",    u"receipt"},
    {u"财务报告", u"会议纪要", u"合同", u"发票", u"方案", u"总结", u"计划书", u"客户名单",
     u"报价单", u"说明书", u"申请表", u"照片", u"通知", u"预算表"}};
const std::vector<Text> kQualifiers[] = {
    {u"2019", u"2020", u"2021", u"2022", u"2023", u"2024", u"Q1", u"Q3", u"v2", u"final", u"draft",
     u"copy", u"old", u"signed", u"review", u"backup"},
    {u"2019", u"2021", u"2023", u"2024", u"副本", u"修订版", u"最终版", u"第二稿", u"已签"}};
// Repeated by how common each is.
const char16_t* const kExtensions[] = {u".docx", u".docx", u".xlsx", u".pdf",  u".pdf",
                                       u".jpg",  u".png",  u".txt",  u".pptx", u".mp3",
                                       u".zip",  u".csv",  u".eml",  u".md"};
const std::vector<Text> kSeparators = {u" ", u"_", u" - ", u"-"};

// Paths stay within Windows' usual limit of 260 with a root of up to 60 characters.
constexpr size_t kLongestBelowRoot = 200;
constexpr size_t kLargeFolderEvery = 40000;  // entries

// splitmix64: the same numbers from the same seed with every compiler and library.
class Random {
  public:
    size_t Below(size_t n) {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<size_t>((z ^ (z >> 31)) % n);
    }
    size_t Between(size_t low, size_t high) { return low + Below(high - low + 1); }
    template <typename T, size_t N>
    T Pick(T (&list)[N]) {
        return list[Below(N)];
    }
    const Text& Pick(const std::vector<Text>& list) { return list[Below(list.size())]; }
    // A quarter of the names are Chinese.
    size_t Language() { return Below(4) == 0 ? 1 : 0; }

  private:
    uint64_t state_ = 20240521;
};

void AppendNumber(Text& text, size_t n) {
    for (char c : std::to_string(n)) text += static_cast<char16_t>(c);
}

void MakeFile(const fs::path& p) {
#ifdef _WIN32
    CloseHandle(CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
#else
    std::ofstream{p};
#endif
}

// Names within one folder, unique without regard to case, as Windows compares them.
class FolderNames {
  public:
    // `stem` + `extension`, numbered when taken, and cut to fit below `room` characters.
    Text Take(Text stem, const Text& extension, size_t room) {
        const size_t most = room > extension.size() + 8 ? room - extension.size() : 8;
        if (stem.size() > most) stem.resize(most);
        while (!stem.empty() && (stem.back() == u' ' || stem.back() == u'-')) stem.pop_back();
        Text name = stem + extension;
        for (size_t n = 2; !taken_.insert(Lower(name)).second; ++n) {
            name = stem + u" (";
            AppendNumber(name, n);
            name += u")" + extension;
        }
        return name;
    }

  private:
    static Text Lower(Text s) {
        for (char16_t& c : s)
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        return s;
    }
    std::set<Text> taken_;
};

class Builder {
  public:
    Builder() : nextLarge_(kLargeFolderEvery / 2 + 1) {}

    // Fills `folder` (`length` characters below the root) with at most `budget` entries;
    // gives the number made. The root goes on taking folders until the budget is spent.
    size_t Fill(const fs::path& folder, size_t length, size_t budget, int depth) {
        FolderNames names;
        const size_t room = length + 13 < kLongestBelowRoot ? kLongestBelowRoot - length - 1 : 12;
        size_t made = std::min(budget, FileCount(depth, budget));
        for (size_t i = 0; i < made; ++i) MakeFile(folder / fs::path(FileName(names, room, i)));
        serial_ += made;
        if (room < 40) return made;  // no room for a folder and a file in it
        std::vector<size_t> weights = SubfolderWeights(depth, budget - made);
        size_t weight = 0;
        for (size_t w : weights) weight += w;
        for (size_t i = 0; made < budget && (i < weights.size() || depth == 0); ++i) {
            const size_t left = budget - made;
            size_t share = left;
            if (i < weights.size()) {
                share = std::max<size_t>(1, left * weights[i] / weight);
                weight -= weights[i];
            }
            const Text name = names.Take(FolderStem(), u"", room - 20);
            const fs::path sub = folder / fs::path(name);
            fs::create_directory(sub);
            ++serial_;
            made += 1 + Fill(sub, length + 1 + name.size(), share - 1, depth + 1);
        }
        return made;
    }

  private:
    size_t FileCount(int depth, size_t budget) {
        if (depth >= 1 && serial_ >= nextLarge_ && budget >= 1000) {
            nextLarge_ = serial_ + kLargeFolderEvery;
            return random_.Between(1000, 8000);
        }
        return random_.Between(5, 20);
    }

    // A chain of single folders, a wide folder, or a few; the root is wide. Each gets
    // enough of what is `left` for a folder's files.
    std::vector<size_t> SubfolderWeights(int depth, size_t left) {
        const size_t kind = depth == 0 ? 99 : random_.Below(100);
        const size_t count = kind < 30   ? 1
                             : kind < 75 ? random_.Between(2, 6)
                                         : random_.Between(10, 40);
        std::vector<size_t> weights(std::min(count, std::max<size_t>(1, left / 16)));
        for (size_t& w : weights) {
            const size_t r = random_.Below(4);
            w = 1 + r * r;
        }
        return weights;
    }

    Text FolderStem() {
        const size_t l = random_.Language();
        const Text& stem = random_.Pick(kFolderWords[l]);
        switch (random_.Below(4)) {
            case 0:
                return stem + u" " + random_.Pick(kQualifiers[l]);
            case 1:
                return random_.Pick(kFolderWords[l]) + u" " + stem;
            default:
                return stem + random_.Pick(kSeparators) + random_.Pick(kFolderWords[l]) + u" " +
                       random_.Pick(kQualifiers[l]);
        }
    }

    Text FileName(FolderNames& names, size_t room, size_t i) {
        if (random_.Below(10) == 0) {  // a camera's or a scanner's own name
            Text stem = u"IMG_20";
            AppendNumber(stem, 100000 + random_.Below(900000));
            stem += u'_';
            AppendNumber(stem, serial_ + i);
            return names.Take(stem, u".jpg", room);
        }
        const size_t l = random_.Language();
        const Text& separator = random_.Pick(kSeparators);
        Text stem = random_.Pick(kFileWords[l]);
        for (size_t words = random_.Between(3, 9); words > 1; --words) {
            stem += separator;
            stem += random_.Pick(random_.Below(3) == 0 ? kQualifiers[l] : kFileWords[l]);
        }
        return names.Take(stem, random_.Pick(kExtensions), room);
    }

    Random random_;
    size_t serial_ = 0;
    size_t nextLarge_;
};

}  // namespace

size_t BuildRealisticTree(const Text& root, size_t entries) {
    fs::create_directories(fs::path(root));
    return Builder().Fill(fs::path(root), 0, entries, 0);
}

}  // namespace tarnwick::bench
