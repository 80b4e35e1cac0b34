// Memory that runs out at any allocation of a run, a save or /list: never a crash, and never
// a listing cut short that looks whole. Each sweep fails the 1st, 2nd, ... allocation of the
// window's thread in turn, until one goes through without reaching the failure.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cli/ListCommand.h"
#include "listing/HelperThreads.h"
#include "resultview/model/LineEntries.h"
#include "tests/support/FailingAllocation.h"
#include "tests/support/RecordedConsole.h"
#include "tests/support/Watchdog.h"
#include "tests/window/WindowFixture.h"

namespace tarnwick::testing {
namespace {

class AllocationSweep : public WindowTest {
  protected:
    // Every worker a run started ends, also when an allocation failed as it started.
    ~AllocationSweep() override {
        Watchdog watchdog;
        watchdog.Arm("the workers' end");
        helpers::WaitUntilAllEnded();
        watchdog.Arm({}, false);
    }
    void SetUp() override {
        for (TextView f : {u"a/1.txt", u"a/b/2.txt", u"c/3.txt", u"文件夹/d/4.txt"}) tree.File(f);
        form.ChFiles.SetValue(1);
        form.ChNoPath.SetValue(0);
        form.txtLevel.SetText(u"9");
        form.SkipChange = True;  // without the location handlers
        form.txtPath.SetText(tree.Root());
        form.cmdDoIt_Click();
        whole = form.txtResult.GetText();
        ASSERT_EQ(std::count(whole.begin(), whole.end(), u'\n'), 9);
    }
    // Runs `step` with its `n`th allocation failing; false once `step` made fewer.
    template <typename Step>
    bool FailingAt(long n, Step step) {
        FailAllocation(n);
        step();
        const bool reached = AllocationsMade() >= n;
        FailAllocation(0);
        return reached;
    }
    std::string Read(TextView relative) {
        std::ifstream in(tree.FsPath(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    size_t FilesBeside() {
        return static_cast<size_t>(
            std::distance(std::filesystem::directory_iterator(tree.FsPath(u"")),
                          std::filesystem::directory_iterator()));
    }
    TempTree tree;
    Text whole;
};

TEST_F(AllocationSweep, ARunCutShortEndsWithTheErrorBox) {
    long n = 1;
    for (; FailingAt(n, [&] { form.cmdDoIt_Click(); }); ++n) {
        const Text listed = form.txtResult.GetText();
        const auto& boxes = w->Desktop().errorBoxes;
        if (listed != whole) {
            ASSERT_FALSE(boxes.empty()) << "allocation " << n << " cut the listing short silently";
            EXPECT_EQ(boxes.back().number, 7);
            EXPECT_TRUE(whole.starts_with(listed)) << "allocation " << n;
        }
        EXPECT_EQ(form.Running, False) << "allocation " << n;
        EXPECT_NE(form.cmdDoIt.GetCaption(), u"停止(&X)") << "allocation " << n;
        w->Desktop().errorBoxes.clear();
    }
    EXPECT_GT(n, 20);
}

TEST_F(AllocationSweep, ASaveCutShortLeavesTheOldFile) {
    std::ofstream(tree.FsPath(u"out.txt"), std::ios::binary) << "old";
    const size_t before = FilesBeside();
    long n = 1;
    for (; w->Desktop().answers = {tree.Path(u"out.txt")},
           FailingAt(n, [&] { form.cmdSave_Click(); });
         ++n) {
        const Text title = form.Me.GetCaption();
        if (title.starts_with(u"保存成功")) {
            EXPECT_NE(Read(u"out.txt"), "old") << "allocation " << n;
            std::ofstream(tree.FsPath(u"out.txt"), std::ios::binary) << "old";
        } else {
            EXPECT_EQ(title, u"保存失败。内存不足") << "allocation " << n;
            EXPECT_EQ(Read(u"out.txt"), "old") << "allocation " << n;
        }
        EXPECT_EQ(FilesBeside(), before) << "allocation " << n;
    }
    EXPECT_GT(n, 5);
}

TEST_F(AllocationSweep, ListExitsZeroOnlyWithTheWholeListing) {
    const std::vector<Text> args{u"/list", tree.Root(), u"/depth", u"9", u"/files"};
    RecordedConsole full;
    ASSERT_EQ(RunCommand(args, *files, full), 0);
    long n = 1;
    for (;; ++n) {
        RecordedConsole c;
        int code = -1;
        if (!FailingAt(n, [&] { code = RunCommand(args, *files, c); })) break;
        if (code == 0) {
            EXPECT_EQ(c.out, full.out) << "allocation " << n;
        } else {
            EXPECT_EQ(code, 6) << "allocation " << n;
            EXPECT_EQ(c.errorLines.size(), 1u) << "allocation " << n;
            EXPECT_TRUE(c.out.empty()) << "allocation " << n;
        }
    }
    EXPECT_GT(n, 50);
}

// A walk's lines go in one at a time: each costs allocations for its own text, never a
// copy of what the listing holds already (10^6 lines would otherwise take minutes).
TEST(ListingLines, CostAllocationsByTheirTextNotByTheLinesBefore) {
    constexpr int kLines = 20000;
    TextStore text;
    LineEntries entries;
    entries.Begin(u"C:\\", false);
    FailAllocation(0);
    for (int i = 0; i < kLines; ++i)
        entries.ReplaceSelection(text, u"C:\\a\\b\r\n", 1 + i % 3, u"");
    EXPECT_LT(AllocationsMade(), kLines / 10);
    EXPECT_EQ(text.LineCount(), size_t{kLines} + 1);
}

}  // namespace
}  // namespace tarnwick::testing
