// The listing's 复制完整路径 and 打开所在文件夹 over real walks in both views: the path of
// the entry on the caret's line (of each line of a selection), built from what the walk
// listed, never read back from the indentation; greyed where a line is no entry.
#include <algorithm>
#include <optional>

#include "tests/window/WindowFixture.h"

namespace tarnwick::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::Optional;

// A full-path line with its name's breaks given back.
Text Unshown(Text line) {
    for (char16_t& c : line) {
        if (c == u'\u240A') c = u'\n';
        if (c == u'\u240D') c = u'\r';
    }
    return line;
}

class EntryItems : public WindowTest {
  protected:
    void SetUp() override {
        tree.File(u"dir/  lead/f.txt");
        tree.File(u"dir/g.txt");
        tree.File(u"top.txt");
        tree.Folder(u"void");
#ifndef _WIN32
        ASSERT_TRUE(tree.HostFile(u"dir/a\nb.txt"));  // Windows' own names hold no break
#endif
        Choose(tree.Root());
        form.ChFiles.SetValue(1);
        form.Levels = 5;
        Run(false);
        for (const Text& line : Lines()) paths.push_back(Unshown(line));
    }
    void Choose(TextView folder) {
        form.SkipChange = True;
        form.txtPath.SetText(folder);
    }
    void Run(bool bare) {
        form.ChNoPath.SetValue(bare ? 1 : 0);
        w->Click(form.cmdDoIt);
    }
    std::vector<Text> Lines() {
        return SplitLines(form.txtResult.GetText());
    }
    size_t Start(size_t line) {
        size_t at = 0;
        const std::vector<Text> lines = Lines();
        for (size_t i = 0; i < line && i < lines.size(); ++i) at += lines[i].size() + 2;
        return at;
    }
    size_t LineOf(TextView name) const {
        const auto found = std::find_if(paths.begin(), paths.end(), [&](const Text& p) {
            return p.ends_with(Text(1, kSeparator) + Text(name));
        });
        EXPECT_NE(found, paths.end()) << Narrow(name);
        return static_cast<size_t>(found - paths.begin());
    }
    // What the item did with this selection: the text copied or the path shown; none
    // where it was greyed.
    std::optional<Text> Item(size_t anchor, size_t caret, char key) {
        w->SelectInResult(anchor, caret);
        const size_t shown = w->shownInFolder.size();
        if (!w->ChooseInResultMenu(key)) return std::nullopt;
        if (key == 'l') return w->Copied();
        return w->shownInFolder.size() == shown + 1 ? w->shownInFolder.back() : u"(none shown)";
    }
    std::vector<Text> CopiedFromAll() {
        const std::optional<Text> all = Item(0, form.txtResult.GetText().size(), 'l');
        std::vector<Text> copied = all ? SplitLines(*all + u"\r\n") : std::vector<Text>{};
        std::sort(copied.begin(), copied.end());
        return copied;
    }

    TempTree tree;
    std::vector<Text> paths;  // of each line, as the full-path view lists them
};

// Each row for both items: 复制完整路径 copies the paths of the lines, 打开所在文件夹 shows
// the first.
TEST_F(EntryItems, EachGivesTheFullPathOfTheEntryOnTheCaretsLineInBothViews) {
    struct Case {
        const char* what;
        size_t line, column, lines;  // lines: a selection of that many from the column
    };
    std::vector<Case> cases = {{"a folder", LineOf(u"dir"), 1, 0},
                               {"a file", LineOf(u"g.txt"), 3, 0},
                               {"the first line", 0, 0, 0},
                               {"leading blanks", LineOf(u"  lead"), 0, 0},
                               {"below leading blanks", LineOf(u"f.txt"), 2, 0},
                               {"three lines", 1, 0, 3},
                               {"the empty last line", paths.size(), 0, 0}};
#ifndef _WIN32
    cases.push_back({"a name holding a line feed", LineOf(u"a\nb.txt"), 0, 0});
#endif
    for (const bool bare : {false, true}) {
        Run(bare);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (bare ? " bare" : " full"));
            std::optional<Text> copied, shown;
            for (size_t i = c.line; i < std::max(c.line + c.lines, c.line + 1) && i < paths.size();
                 ++i)
                copied = copied ? *copied + u"\r\n" + paths[i] : paths[i];
            if (copied) shown = paths[c.line];
            const size_t anchor = Start(c.line) + c.column;
            const size_t caret = c.lines ? Start(c.line + c.lines) : anchor;
            EXPECT_EQ(Item(anchor, caret, 'l'), copied);
            EXPECT_EQ(Item(anchor, caret, 'o'), shown);
        }
    }
    Choose(tree.Path(u"void"));  // 开始 again: the old lines are gone
    Run(true);
    EXPECT_EQ(Item(0, 0, 'l'), std::nullopt);
    EXPECT_EQ(Item(0, 0, 'o'), std::nullopt);
}

// Both work during a walk; the lines it then adds at the caret, away from their folders'
// lines, keep their own paths; a line cut in two by a caret inside it is no entry, and no
// path is ever given wrong.
TEST_F(EntryItems, BothWorkDuringAWalkThatAddsLinesAtTheCaret) {
    std::vector<Text> sorted = paths;
    std::sort(sorted.begin(), sorted.end());
    for (const bool bare : {false, true}) {
        SCOPED_TRACE(bare ? "bare" : "full");
        std::vector<std::optional<Text>> during;
        pump.onPump = [&](int) {
            if (!during.empty() || Lines().size() < 2) return;
            during.push_back(Item(Start(0) + 1, Start(0) + 1, 'l'));
            during.push_back(Item(Start(1), Start(1), 'o'));
            w->SelectInResult(Start(1), Start(1));  // the rest goes in here
        };
        Run(bare);
        EXPECT_THAT(during, ElementsAre(Optional(paths[0]), Optional(paths[1])));
        EXPECT_NE(Lines()[1], bare ? paths[1].substr(paths[1].rfind(kSeparator) + 1) : paths[1]);
        EXPECT_EQ(CopiedFromAll(), sorted);

        bool cut = false;
        pump.onPump = [&](int) {
            if (cut || Lines().size() < 2) return;
            cut = true;
            w->SelectInResult(Start(0) + 2, Start(0) + 2);
        };
        Run(bare);
        pump.onPump = nullptr;
        EXPECT_EQ(Item(Start(0), Start(0), 'l'), std::nullopt);
        EXPECT_EQ(Item(Start(0), Start(0), 'o'), std::nullopt);
        const std::vector<Text> copied = CopiedFromAll();
        EXPECT_TRUE(std::includes(sorted.begin(), sorted.end(), copied.begin(), copied.end()));
        EXPECT_FALSE(std::binary_search(copied.begin(), copied.end(), paths[0]));
    }
}

}  // namespace
}  // namespace tarnwick::testing
