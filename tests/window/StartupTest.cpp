#include "tests/window/WindowFixture.h"

namespace tarnwick::testing {
namespace {

TEST_F(WindowTest, StartUpState) {
    EXPECT_EQ(form.Me.GetCaption(), u"Tarnwick");
    EXPECT_EQ(w->Inner().width, 593);
    EXPECT_EQ(w->Inner().height, 437);
    EXPECT_EQ(form.Levels, 1);
    EXPECT_EQ(form.txtLevel.GetText(), u"1");
    EXPECT_EQ(form.VSLevel.GetValue(), 32766);  // thumb at the bottom
    EXPECT_EQ(form.ChNoPath.GetValue(), 1);
    EXPECT_EQ(form.ChFiles.GetValue(), 0);
    EXPECT_EQ(form.ChHidden.GetValue(), 0);
    EXPECT_EQ(form.cmdDoIt.GetCaption(), u"开始(&B)");
    EXPECT_EQ(form.cmdSave.GetCaption(), u"保存(&S)");
    EXPECT_EQ(form.txtResult.GetText(), u"");
    EXPECT_EQ(form.SkipChange, False);
    EXPECT_TRUE(w->Desktop().errorBoxes.empty());
}

TEST_F(WindowTest, StartUpCopiesTheFolderListsFolderIntoThePathBox) {
    EXPECT_FALSE(form.drDir.GetPath().empty());
    EXPECT_EQ(form.txtPath.GetText(), form.drDir.GetPath());
}

TEST_F(WindowTest, StartUpLayoutIsTheWorkedExample) {
    auto expect = [this](const Control& c, Rect e) {
        const Rect r = w->Shown(c);
        EXPECT_FLOAT_EQ(r.left, e.left);
        EXPECT_FLOAT_EQ(r.top, e.top);
        EXPECT_FLOAT_EQ(r.width, e.width);
        EXPECT_FLOAT_EQ(r.height, e.height);
    };
    expect(form.drDir, {8, 72, 193, 357});
    expect(form.frmSettings, {208, 8, 377, 421});
    expect(form.txtResult, {120, 1440, 5415, 4755});
    expect(form.cmdDoIt, {2880, 600, 2655, 375});
    expect(form.cmdSave, {2880, 960, 2655, 375});
    expect(form.Command1, {16, 408, 537, 25});
}

TEST_F(WindowTest, LinkButtonStartsExplorerMinimisedEachPress) {
    const Text path = form.txtPath.GetText();
    w->Click(form.Command1);
    w->Click(form.Command1);
    const auto& launches = w->Desktop().launches;
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_TRUE(launches[0].first.starts_with(u"explorer "));
    EXPECT_EQ(launches[0].second, 2);
    EXPECT_EQ(launches[1], launches[0]);
    EXPECT_EQ(form.Levels, 1);  // the program keeps its state
    EXPECT_EQ(form.txtPath.GetText(), path);
}

}  // namespace
}  // namespace tarnwick::testing
