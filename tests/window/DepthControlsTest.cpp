#include "tests/window/WindowFixture.h"

namespace tarnwick::testing {
namespace {

constexpr int16_t kUp = 38, kDown = 40, kPageUp = 33, kPageDown = 34;

class DepthTest : public WindowTest {
  protected:
    void Type(TextView text) { w->Paste(form.txtLevel, text); }
    void ExpectDepth(int32_t levels) {
        EXPECT_EQ(form.Levels, levels);
        EXPECT_EQ(form.txtLevel.GetText(), Digits(levels));
        EXPECT_EQ(form.VSLevel.GetValue(), 32767 - levels);
        EXPECT_EQ(form.SkipChange, False);
    }
};

TEST_F(DepthTest, TextsThatReadAsZeroOrLessGiveOne) {
    for (TextView t : {u"", u"abc", u"0", u"-3", u"0.5"}) {
        Type(t);
        ExpectDepth(1);
    }
}

TEST_F(DepthTest, TextsAboveTheLimitGiveTheLimit) {
    Type(u"40000");
    ExpectDepth(32767);
    Type(u"32767");
    ExpectDepth(32767);
    Type(std::u16string(60, u'9'));  // beyond the 32-bit range: clamped, never a failure
    ExpectDepth(32767);
    EXPECT_TRUE(w->Desktop().errorBoxes.empty());
}

TEST_F(DepthTest, RoundingAndLeadingNumbers) {
    const std::pair<const char16_t*, int32_t> cases[] = {
        {u"2.5", 2}, {u"3.5", 4},    {u"1.5", 2},   {u"12abc", 12},
        {u" 7", 7},  {u"1e3", 1000}, {u"&H10", 16},
    };
    for (auto [text, levels] : cases) {
        Type(text);
        ExpectDepth(levels);
    }
}

TEST_F(DepthTest, TypingCharacterByCharacterRewritesTheCanonicalText) {
    Type(u"");                      // shows "1" at once
    w->Type(form.txtLevel, u"25");  // typed after it: "12", then "125"
    ExpectDepth(125);
}

TEST_F(DepthTest, ArrowAndPageKeys) {
    struct Case {
        const char16_t* from;
        int16_t key;
        int32_t levels;
    } cases[] = {{u"32767", kUp, 32767}, {u"1", kDown, 1},    {u"32760", kPageUp, 32767},
                 {u"5", kPageDown, 1},   {u"1", kPageUp, 11}, {u"7", kUp, 8},
                 {u"7", kDown, 6}};
    for (auto c : cases) {
        Type(c.from);
        w->PressKey(form.txtLevel, c.key);
        ExpectDepth(c.levels);
    }
}

TEST_F(DepthTest, ShiftMakesNoDifferenceAndOtherKeysDoNothing) {
    Type(u"7");
    w->PressKey(form.txtLevel, kUp, true);
    ExpectDepth(8);
    for (int16_t key : {int16_t{37}, int16_t{39}, int16_t{36}, int16_t{35}, int16_t{48},
                        int16_t{65}}) {  // Left, Right, Home, End, 0, A
        w->PressKey(form.txtLevel, key);
        ExpectDepth(8);
    }
}

TEST_F(DepthTest, ScrollBarArrowsTroughAndDrag) {
    w->Scroll(form.VSLevel, ScrollAction::LineUp);
    ExpectDepth(2);
    w->Scroll(form.VSLevel, ScrollAction::LineDown);
    ExpectDepth(1);
    w->Scroll(form.VSLevel, ScrollAction::LineDown);  // already at the bottom
    ExpectDepth(1);
    w->Scroll(form.VSLevel, ScrollAction::PageUp);
    ExpectDepth(11);
    w->Scroll(form.VSLevel, ScrollAction::PageDown);
    ExpectDepth(1);
    std::vector<Text> during;
    form.VSLevel.onScroll = [&, scroll = form.VSLevel.onScroll] {
        scroll();
        during.push_back(form.txtLevel.GetText());
    };
    w->Drag(form.VSLevel, {30000, 100, 0});
    EXPECT_EQ(during, (std::vector<Text>{u"2767", u"32667", u"32767"}));
    ExpectDepth(32767);
    w->Drag(form.VSLevel, {32766});
    ExpectDepth(1);
}

}  // namespace
}  // namespace tarnwick::testing
