#include "tests/window/FormFixture.h"
#include "tests/window/WindowFixture.h"

namespace tarnwick::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class RunTest : public WindowTest {
  protected:
    void SetUp() override {
        tree.Folder(u"a/b");
        SetPathQuietly(tree.Root());
    }
    // Into the path box without the location handlers (the native build has no drive
    // letters for real folders).
    void SetPathQuietly(TextView path) {
        form.SkipChange = True;
        form.txtPath.SetText(path);
        ASSERT_EQ(form.SkipChange, False);
    }
    std::vector<Text> Lines() { return SplitLines(form.txtResult.GetText()); }
    TempTree tree;
};

TEST_F(RunTest, DesignTimeOptionsListFoldersOnlyAsBareNames) {
    tree.File(u"file.txt");
    w->Click(form.cmdDoIt);
    EXPECT_EQ(form.DirsOnly, True);
    EXPECT_EQ(form.DirAttr, 16);
    EXPECT_EQ(form.NoPath, True);
    EXPECT_THAT(Lines(), ElementsAre(u"a"));  // depth 1
}

TEST_F(RunTest, EveryBoxTickedOrGrayedCountsAsTicked) {
    for (int16_t v : {int16_t{1}, int16_t{2}}) {
        form.ChFiles.SetValue(v);
        form.ChHidden.SetValue(v);
        form.ChNoPath.SetValue(v);
        w->Click(form.cmdDoIt);
        EXPECT_EQ(form.DirsOnly, False);
        EXPECT_EQ(form.DirAttr, 18);
        EXPECT_EQ(form.NoPath, True);
    }
    form.ChFiles.SetValue(0);
    form.ChHidden.SetValue(0);
    form.ChNoPath.SetValue(0);
    w->Click(form.cmdDoIt);
    EXPECT_EQ(form.DirsOnly, True);
    EXPECT_EQ(form.DirAttr, 16);
    EXPECT_EQ(form.NoPath, False);
    EXPECT_THAT(Lines(), ElementsAre(tree.Path(u"a")));
}

TEST_F(RunTest, CaptionsBeforeDuringAndAfterRuns) {
    std::vector<Text> during;
    pump.onPump = [&](int) { during.push_back(form.cmdDoIt.GetCaption()); };
    EXPECT_EQ(form.cmdDoIt.GetCaption(), u"开始(&B)");
    w->Click(form.cmdDoIt);
    EXPECT_THAT(during, ::testing::Each(Text(u"停止(&X)")));
    EXPECT_FALSE(during.empty());
    EXPECT_EQ(form.cmdDoIt.GetCaption(), u"开始列举(&B)");
    EXPECT_EQ(form.Running, False);
    w->Click(form.cmdDoIt);
    EXPECT_EQ(form.cmdDoIt.GetCaption(), u"开始列举(&B)");
}

TEST_F(RunTest, AClickDuringARunOnlyAsksItToStop) {
    form.ChNoPath.SetValue(0);
    form.Levels = 5;
    std::vector<Text> linesAtStop;
    pump.onPump = [&](int) {
        if (Lines().size() != 1 || !linesAtStop.empty()) return;
        linesAtStop = Lines();
        form.ChFiles.SetValue(1);  // ticking a box during a run changes nothing of it
        w->Click(form.cmdDoIt);
        EXPECT_EQ(form.StopRequested, True);
        EXPECT_EQ(form.Running, True);
        EXPECT_EQ(form.DirsOnly, True);
        EXPECT_EQ(form.cmdDoIt.GetCaption(), u"停止(&X)");
        EXPECT_EQ(Lines(), linesAtStop);
        w->Click(form.cmdDoIt);  // and again: nothing more
        EXPECT_EQ(form.Running, True);
    };
    w->Click(form.cmdDoIt);
    EXPECT_THAT(Lines(), ElementsAre(tree.Path(u"a")));  // a's contents were never listed
    EXPECT_EQ(form.cmdDoIt.GetCaption(), u"开始列举(&B)");
    EXPECT_EQ(form.Running, False);
    EXPECT_EQ(form.StopRequested, True);  // kept until the next start
}

TEST_F(RunTest, StartingAgainAfterAStopListsFromScratch) {
    pump.onPump = [&](int n) {
        if (n == 1) w->Click(form.cmdDoIt);
    };
    w->Click(form.cmdDoIt);
    EXPECT_THAT(Lines(), IsEmpty());
    pump.onPump = [&](int) { EXPECT_EQ(form.StopRequested, False); };
    w->Click(form.cmdDoIt);
    EXPECT_THAT(Lines(), ElementsAre(u"a"));
}

TEST_F(RunTest, AMissingFolderGivesAnEmptyListingAndNoMessage) {
    form.txtResult.SetText(u"old listing\r\n");
    SetPathQuietly(tree.Path(u"missing"));
    w->Click(form.cmdDoIt);
    EXPECT_EQ(form.txtResult.GetText(), u"");
    EXPECT_TRUE(w->Desktop().errorBoxes.empty());
    EXPECT_EQ(form.cmdDoIt.GetCaption(), u"开始列举(&B)");
}

TEST_F(RunTest, DepthRaisedDuringTheRunGovernsLaterDescents) {
    pump.onPump = [&](int n) {
        if (n == 3) w->Paste(form.txtLevel, u"3");  // the root's last pump, before its lines
    };
    w->Click(form.cmdDoIt);
    EXPECT_THAT(Lines(), ElementsAre(u"a", u"    b"));
}

// A check box that cannot be read: the error box, and the button keeps its caption.
class BrokenCheckBox : public MemoryCheckBox {
  public:
    int16_t GetValue() const override { throw MakeError(error::DeviceIo); }
};

TEST_F(FormTest, AnErrorBeforeTheRunStartsShowsTheErrorBox) {
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
TEST_F(FormTest, AnErrorAfterTheRunStartedEndsTheRun) {
    class BrokenResult : public MemoryResultBox {
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

// A handler without a trap of its own that meets a run-time error shows the error box,
// and the program goes on.
TEST_F(FormTest, AnUntrappedErrorShowsTheErrorBoxAndTheProgramGoesOn) {
    struct NoLauncher : MemoryDesktop {
        void Launch(TextView, int) override { throw MakeError(error::FileNotFound); }
    } desktop;
    MemoryForm other(*files, pump);
    frmMain form2(frmMainControls{other.Me, other.Command1, other.txtPath, other.frmSettings,
                                  other.drDir, other.drDrive, other.lblPath, other.cmdSave,
                                  other.cmdDoIt, other.txtResult, other.VSLevel, other.txtLevel,
                                  other.ChNoPath, other.ChHidden, other.ChFiles, other.lblLevels},
                  frmMainServices{*files, pump, desktop});
    other.Command1.Click();
    ASSERT_EQ(desktop.errorBoxes.size(), 1u);
    EXPECT_EQ(desktop.errorBoxes[0].number, 53);
    other.txtLevel.SetText(u"9");  // still answering
    EXPECT_EQ(form2.Levels, 9);
}

}  // namespace
}  // namespace tarnwick::testing
