// The layout follows the window's inner size; a step that would make a size negative
// changes nothing of its control.
#include "tests/window/WindowFixture.h"

namespace tarnwick::testing {
namespace {

class LayoutTest : public WindowTest {
  protected:
    void Expect(const Control& c, Rect e) {
        const Rect r = w->Shown(c);
        EXPECT_FLOAT_EQ(r.left, e.left);
        EXPECT_FLOAT_EQ(r.top, e.top);
        EXPECT_FLOAT_EQ(r.width, e.width);
        EXPECT_FLOAT_EQ(r.height, e.height);
    }
    void ExpectWorkedExample() {
        Expect(form.drDir, {8, 72, 193, 357});
        Expect(form.frmSettings, {208, 8, 377, 421});
        Expect(form.txtResult, {120, 1440, 5415, 4755});
        Expect(form.cmdDoIt, {2880, 600, 2655, 375});
        Expect(form.cmdSave, {2880, 960, 2655, 375});
    }
};

TEST_F(LayoutTest, WiderByAHundredPixels) {
    w->Resize(693, 437);
    Expect(form.drDir, {8, 72, 193, 357});
    Expect(form.frmSettings, {208, 8, 477, 421});
    Expect(form.txtResult, {120, 1440, 5415 + 1500, 4755});
    Expect(form.cmdDoIt, {2880, 600, 2655 + 1500, 375});
    Expect(form.cmdSave, {2880, 960, 2655 + 1500, 375});
    Expect(form.Command1, {16, 408, 537, 25});
}

TEST_F(LayoutTest, TallerByAHundredPixels) {
    w->Resize(593, 537);
    Expect(form.drDir, {8, 72, 193, 457});
    Expect(form.frmSettings, {208, 8, 377, 521});
    Expect(form.txtResult, {120, 1440, 5415, 4755 + 1500});
    Expect(form.Command1, {16, 408, 537, 25});
}

TEST_F(LayoutTest, NarrowWindowsKeepTheLastSizesThatFit) {
    w->Resize(300, 437);  // the frame and the result box follow, the buttons cannot
    Expect(form.frmSettings, {208, 8, 84, 421});
    Expect(form.txtResult, {120, 1440, 1020, 4755});
    Expect(form.cmdDoIt, {2880, 600, 2655, 375});
    Expect(form.cmdSave, {2880, 960, 2655, 375});
    w->Resize(220, 437);  // the frame follows, the result box cannot
    Expect(form.frmSettings, {208, 8, 4, 421});
    Expect(form.txtResult, {120, 1440, 1020, 4755});
    w->Resize(210, 400);  // the frame cannot either; the folder list still follows the height
    Expect(form.frmSettings, {208, 8, 4, 421});
    Expect(form.drDir, {8, 72, 193, 320});
}

TEST_F(LayoutTest, LowWindowsKeepTheResultBoxsLastSize) {
    w->Resize(593, 100);  // the frame would be 84 high: the box would need a negative height
    Expect(form.frmSettings, {208, 8, 377, 84});
    Expect(form.drDir, {8, 72, 193, 20});
    Expect(form.txtResult, {120, 1440, 5415, 4755});
    w->Resize(693, 100);  // not even its width follows
    Expect(form.txtResult, {120, 1440, 5415, 4755});
    Expect(form.cmdDoIt, {2880, 600, 4155, 375});
}

TEST_F(LayoutTest, MinimisingAndRestoringLeavesTheLayout) {
    w->Minimize();
    w->Restore();
    ExpectWorkedExample();
}

TEST_F(LayoutTest, RunningTheHandlerTwiceChangesNothing) {
    form.Form_Resize();
    form.Form_Resize();
    ExpectWorkedExample();
}

}  // namespace
}  // namespace tarnwick::testing
