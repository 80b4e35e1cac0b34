// /format tree against a small model of the drawing rules: random trees, listed with random
// options, drawn from the entries' levels in walk order alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "cli/ListCommand.h"
#include "cli/NameFilter.h"
#include "export/SaveListing.h"
#include "listing/FolderWalk.h"
#include "listing/HelperThreads.h"
#include "platform/Ansi.h"
#include "resultview/ResultView.h"
#include "tests/support/RecordedConsole.h"
#include "tests/support/TempTree.h"

namespace tarnwick::testing {
namespace {

struct Entry {
    int32_t level;
    Text name;
};

// The entries a walk lists, in its order, with their levels: all the model is given.
class EntriesHost : public WalkHost {
  public:
    explicit EntriesHost(int32_t depth) : depth_(depth) {}
    void Pump() override {}
    bool StopAsked() const override { return false; }
    int32_t DepthLimit() const override { return depth_; }
    int64_t NowMs() const override { return 0; }
    void PushDir(TextView) override {}
    void PushLine(TextView, const LinePlace& place) override {
        entries.push_back({place.level, Text(place.name)});
    }
    std::vector<Entry> entries;

  private:
    int32_t depth_;
};

// The drawing: for each level above an entry, "│   " where its ancestor there has a later
// sibling, else four blanks; then "└── " for the last of its folder, else "├── ".
Text Drawn(TextView root, const std::vector<Entry>& e) {
    const auto isLast = [&](size_t i) {
        for (size_t j = i + 1; j < e.size(); ++j)
            if (e[j].level <= e[i].level) return e[j].level < e[i].level;
        return true;
    };
    Text text = Text(root) + u"\r\n";
    std::vector<size_t> ancestor;  // the index of the last entry seen at each level
    for (size_t i = 0; i < e.size(); ++i) {
        ancestor.resize(static_cast<size_t>(e[i].level - 1));
        for (const size_t a : ancestor) text += isLast(a) ? u"    " : u"│   ";
        text += (isLast(i) ? u"└── " : u"├── ") + e[i].name + u"\r\n";
        ancestor.push_back(i);
    }
    return text;
}

std::string Encoded(TextView text) {
    MemoryResultBox box;
    box.SetText(text);
    StringWriter bytes;
    WriteListing(box, AnsiCodePage(), bytes);
    return bytes.bytes_;
}

void Grow(TempTree& tree, std::mt19937& random, bool foreign) {
    static const TextView kNames[] = {u"a",        u"数据",  u"  前导空格",
                                      u"报告.txt", u"b.log", u"한국어"};
    std::vector<Text> folders{u""};
    const size_t names = std::size(kNames) - (foreign ? 0 : 1);
    for (int i = 0; i < 16; ++i) {
        const Text parent = folders[random() % folders.size()];
        const bool hidden = random() % 5 == 0;
        Text name(hidden ? u"." : u"");  // built in place: GCC 12 warns wrongly on a + b + c
        name += kNames[random() % names];
        name += static_cast<char16_t>(u'a' + i);
        const Text path = parent.empty() ? name : parent + u"/" + name;
        if (random() % 3 == 0) {
            tree.File(path);
        } else {
            tree.Folder(path);
            folders.push_back(path);
        }
        if (hidden) tree.Hide(path);
    }
}

TEST(TreeFormat, DrawsEachRandomTreeAsTheModelDoesInTheTextsEncoding) {
    std::mt19937 random(7);
    std::unique_ptr<FileSystem> files = MakeFileSystem();
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(round);
        TempTree tree;
        const bool foreign = round % 4 == 3;  // a name code page 936 can't hold: UTF-8
        Grow(tree, random, foreign);
        const bool withFiles = random() % 2, hidden = random() % 2;
        const int32_t depth = static_cast<int32_t>(1 + random() % 4);
        std::vector<Text> include, exclude;
        if (random() % 3 == 0) exclude.push_back(u"*a?");
        if (random() % 3 == 0) include.push_back(u"*.txt*");
        const Text root = tree.Root() + (round % 2 ? Text(1, kSeparator) : Text());

        WalkSettings walk{False, withFiles ? False : True, hidden ? 18 : 16};
        walk.filter = std::make_shared<NameFilter>(include, exclude);
        EntriesHost host(depth);
        FolderWalk(*files, walk, {}, host).ListFile(root, 1);

        std::vector<Text> args{u"/list", root,      u"/format",
                               u"TREE",  u"/depth", Text(1, static_cast<char16_t>(u'0' + depth))};
        if (withFiles) args.push_back(u"/files");
        if (hidden) args.push_back(u"/hidden");
        for (const Text& p : include) args.insert(args.end(), {u"/include", p});
        for (const Text& p : exclude) args.insert(args.end(), {u"/exclude", p});
        RecordedConsole console;
        ASSERT_EQ(RunCommand(args, *files, console), exitcode::Ok);
        EXPECT_EQ(console.out, Encoded(Drawn(root, host.entries)));
        const bool anyForeign =
            std::any_of(host.entries.begin(), host.entries.end(),
                        [](const Entry& e) { return e.name.starts_with(u"한"); });
        EXPECT_EQ(console.out.starts_with("\xEF\xBB\xBF"), anyForeign) << "box drawing is in 936";
        helpers::WaitUntilAllEnded();  // the walks' workers, before the tree goes
    }
}

}  // namespace
}  // namespace tarnwick::testing
