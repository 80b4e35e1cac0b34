#include "tests/window/FormFixture.h"

namespace tarnwick::testing {
namespace {

TEST_F(FormTest, StartUpState) {
    EXPECT_EQ(w.Me.GetCaption(), u"Tarnwick");
    EXPECT_EQ(w.Me.ScaleWidth(), 593);
    EXPECT_EQ(w.Me.ScaleHeight(), 437);
    EXPECT_EQ(form.Levels, 1);
    EXPECT_EQ(w.txtLevel.GetText(), u"1");
    EXPECT_EQ(w.VSLevel.GetValue(), 32766);  // thumb at the bottom
    EXPECT_EQ(w.ChNoPath.GetValue(), 1);
    EXPECT_EQ(w.ChFiles.GetValue(), 0);
    EXPECT_EQ(w.ChHidden.GetValue(), 0);
    EXPECT_EQ(w.cmdDoIt.GetCaption(), u"开始(&B)");
    EXPECT_EQ(w.cmdSave.GetCaption(), u"保存(&S)");
    EXPECT_EQ(w.txtResult.GetText(), u"");
    EXPECT_EQ(form.SkipChange, False);
    EXPECT_TRUE(w.desktop.errorBoxes.empty());
}

TEST_F(FormTest, StartUpCopiesTheCurrentFolderIntoThePathBox) {
    EXPECT_EQ(w.txtPath.GetText(), u"C:\\Work");
    EXPECT_EQ(w.drDrive.GetDrive(), u"c:");
}

TEST_F(FormTest, StartUpLayoutIsTheWorkedExample) {
    auto expect = [](Rect r, Rect e) {
        EXPECT_FLOAT_EQ(r.left, e.left);
        EXPECT_FLOAT_EQ(r.top, e.top);
        EXPECT_FLOAT_EQ(r.width, e.width);
        EXPECT_FLOAT_EQ(r.height, e.height);
    };
    expect(w.drDir.GetRect(), {8, 72, 193, 357});
    expect(w.frmSettings.GetRect(), {208, 8, 377, 421});
    expect(w.txtResult.GetRect(), {120, 1440, 5415, 4755});
    expect(w.cmdDoIt.GetRect(), {2880, 600, 2655, 375});
    expect(w.cmdSave.GetRect(), {2880, 960, 2655, 375});
    expect(w.Command1.GetRect(), {16, 408, 537, 25});
}

TEST_F(FormTest, LinkButtonStartsExplorerMinimisedEachPress) {
    w.Command1.Click();
    w.Command1.Click();
    ASSERT_EQ(w.desktop.launches.size(), 2u);
    EXPECT_TRUE(w.desktop.launches[0].first.starts_with(u"explorer "));
    EXPECT_EQ(w.desktop.launches[0].second, 2);
    EXPECT_EQ(form.Levels, 1);  // the program keeps its state
    EXPECT_EQ(w.txtPath.GetText(), u"C:\\Work");
}

}  // namespace
}  // namespace tarnwick::testing
