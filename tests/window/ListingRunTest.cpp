#include "tests/window/FormFixture.h"

namespace tarnwick::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class RunTest : public FormTest {
  protected:
    void SetUp() override {
        FormTest::SetUp();
        tree.Folder(u"a/b");
        SetPathQuietly(tree.Root());
    }
    std::vector<Text> Lines() { return SplitLines(w.txtResult.GetText()); }
    TempTree tree;
};

TEST_F(RunTest, DesignTimeOptionsListFoldersOnlyAsBareNames) {
    tree.File(u"file.txt");
    w.cmdDoIt.Click();
    EXPECT_EQ(form.DirsOnly, True);
    EXPECT_EQ(form.DirAttr, 16);
    EXPECT_EQ(form.NoPath, True);
    EXPECT_THAT(Lines(), ElementsAre(u"a"));  // depth 1
}

TEST_F(RunTest, EveryBoxTickedOrGrayedCountsAsTicked) {
    for (int16_t v : {int16_t{1}, int16_t{2}}) {
        w.ChFiles.SetValue(v);
        w.ChHidden.SetValue(v);
        w.ChNoPath.SetValue(v);
        w.cmdDoIt.Click();
        EXPECT_EQ(form.DirsOnly, False);
        EXPECT_EQ(form.DirAttr, 18);
        EXPECT_EQ(form.NoPath, True);
    }
    w.ChFiles.SetValue(0);
    w.ChHidden.SetValue(0);
    w.ChNoPath.SetValue(0);
    w.cmdDoIt.Click();
    EXPECT_EQ(form.DirsOnly, True);
    EXPECT_EQ(form.DirAttr, 16);
    EXPECT_EQ(form.NoPath, False);
    EXPECT_THAT(Lines(), ElementsAre(tree.Path(u"a")));
}

TEST_F(RunTest, CaptionsBeforeDuringAndAfterRuns) {
    std::vector<Text> during;
    pump.onPump = [&](int) { during.push_back(w.cmdDoIt.GetCaption()); };
    EXPECT_EQ(w.cmdDoIt.GetCaption(), u"开始(&B)");
    w.cmdDoIt.Click();
    EXPECT_THAT(during, ::testing::Each(Text(u"停止(&X)")));
    EXPECT_FALSE(during.empty());
    EXPECT_EQ(w.cmdDoIt.GetCaption(), u"开始列举(&B)");
    EXPECT_EQ(form.Running, False);
    w.cmdDoIt.Click();
    EXPECT_EQ(w.cmdDoIt.GetCaption(), u"开始列举(&B)");
}

TEST_F(RunTest, AClickDuringARunOnlyAsksItToStop) {
    w.ChNoPath.SetValue(0);
    form.Levels = 5;
    std::vector<Text> linesAtStop;
    pump.onPump = [&](int) {
        if (Lines().size() != 1 || !linesAtStop.empty()) return;
        linesAtStop = Lines();
        w.ChFiles.SetValue(1);  // ticking a box during a run changes nothing of it
        w.cmdDoIt.Click();
        EXPECT_EQ(form.StopRequested, True);
        EXPECT_EQ(form.Running, True);
        EXPECT_EQ(form.DirsOnly, True);
        EXPECT_EQ(w.cmdDoIt.GetCaption(), u"停止(&X)");
        EXPECT_EQ(Lines(), linesAtStop);
        w.cmdDoIt.Click();  // and again: nothing more
        EXPECT_EQ(form.Running, True);
    };
    w.cmdDoIt.Click();
    EXPECT_THAT(Lines(), ElementsAre(tree.Path(u"a")));  // a's contents were never listed
    EXPECT_EQ(w.cmdDoIt.GetCaption(), u"开始列举(&B)");
    EXPECT_EQ(form.Running, False);
    EXPECT_EQ(form.StopRequested, True);  // kept until the next start
}

TEST_F(RunTest, StartingAgainAfterAStopListsFromScratch) {
    pump.onPump = [&](int n) {
        if (n == 1) w.cmdDoIt.Click();
    };
    w.cmdDoIt.Click();
    EXPECT_THAT(Lines(), IsEmpty());
    pump.onPump = [&](int) { EXPECT_EQ(form.StopRequested, False); };
    w.cmdDoIt.Click();
    EXPECT_THAT(Lines(), ElementsAre(u"a"));
}

TEST_F(RunTest, AMissingFolderGivesAnEmptyListingAndNoMessage) {
    w.txtResult.SetText(u"old listing\r\n");
    SetPathQuietly(tree.Path(u"missing"));
    w.cmdDoIt.Click();
    EXPECT_EQ(w.txtResult.GetText(), u"");
    EXPECT_TRUE(w.desktop.errorBoxes.empty());
    EXPECT_EQ(w.cmdDoIt.GetCaption(), u"开始列举(&B)");
}

TEST_F(RunTest, DepthRaisedDuringTheRunGovernsLaterDescents) {
    pump.onPump = [&](int n) {
        if (n == 3) w.txtLevel.SetText(u"3");  // the root's last pump, before its lines
    };
    w.cmdDoIt.Click();
    EXPECT_THAT(Lines(), ElementsAre(u"a", u"    b"));
}

// A check box that cannot be read: the error box, and the button keeps its caption.
class BrokenCheckBox : public MemoryCheckBox {
  public:
    int16_t GetValue() const override { throw MakeError(error::DeviceIo); }
};

TEST_F(RunTest, AnErrorBeforeTheRunStartsShowsTheErrorBox) {
    BrokenCheckBox broken;
    MemoryForm other(*files, pump);
    frmMain form2(frmMainControls{other.Me, other.Command1, other.txtPath, other.frmSettings,
                                  other.drDir, other.drDrive, other.lblPath, other.cmdSave,
                                  other.cmdDoIt, other.txtResult, other.VSLevel, other.txtLevel,
                                  other.ChNoPath, other.ChHidden, broken, other.lblLevels},
                  frmMainServices{*files, pump, other.desktop});
    other.cmdDoIt.SetCaption(u"开始(&B)");
    form2.cmdDoIt_Click();
    ASSERT_EQ(other.desktop.errorBoxes.size(), 1u);
    EXPECT_EQ(other.desktop.errorBoxes[0].number, 57);
    EXPECT_EQ(form2.Running, False);
    EXPECT_EQ(other.cmdDoIt.GetCaption(), u"开始(&B)");
}

// A result box that refuses to be emptied: the run still ends normally.
TEST_F(RunTest, AnErrorAfterTheRunStartedEndsTheRun) {
    class BrokenResult : public MemoryResultView {
      public:
        void SetText(TextView) override { throw MakeError(error::DeviceIo); }
    } broken;
    MemoryForm other(*files, pump);
    frmMain form2(frmMainControls{other.Me, other.Command1, other.txtPath, other.frmSettings,
                                  other.drDir, other.drDrive, other.lblPath, other.cmdSave,
                                  other.cmdDoIt, broken, other.VSLevel, other.txtLevel,
                                  other.ChNoPath, other.ChHidden, other.ChFiles, other.lblLevels},
                  frmMainServices{*files, pump, other.desktop});
    form2.cmdDoIt_Click();
    ASSERT_EQ(other.desktop.errorBoxes.size(), 1u);
    EXPECT_EQ(form2.Running, False);
    EXPECT_EQ(other.cmdDoIt.GetCaption(), u"开始列举(&B)");
}

}  // namespace
}  // namespace tarnwick::testing
