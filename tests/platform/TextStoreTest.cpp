#include "platform/TextStore.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(TextStore, InsertsAtTheCaretAndMovesItAfterTheText) {
    TextStore t;
    t.ReplaceSelection(u"one\r\n");
    t.ReplaceSelection(u"two\r\n");
    EXPECT_EQ(t.GetText(), u"one\r\ntwo\r\n");
    EXPECT_EQ(t.SelStart(), 10u);
    t.Select(5, 5);
    t.ReplaceSelection(u"mid\r\n");
    EXPECT_EQ(t.GetText(), u"one\r\nmid\r\ntwo\r\n");
    EXPECT_EQ(t.SelStart(), 10u);
    EXPECT_EQ(t.SelEnd(), 10u);
}

TEST(TextStore, ReplacesTheSelectionWhicheverWayItWasMade) {
    TextStore t;
    t.SetText(u"abcdef");
    t.Select(4, 1);  // dragged backwards over "bcd"
    t.ReplaceSelection(u"X");
    EXPECT_EQ(t.GetText(), u"aXef");
    EXPECT_EQ(t.SelStart(), 2u);
}

TEST(TextStore, SetTextPutsTheCaretAtTheStart) {
    TextStore t;
    t.ReplaceSelection(u"old text");
    t.SetText(u"");
    EXPECT_EQ(t.Length(), 0u);
    t.ReplaceSelection(u"new");
    EXPECT_EQ(t.GetText(), u"new");
}

TEST(TextStore, PositionsPastTheEndStandForTheEnd) {
    TextStore t;
    t.SetText(u"abc");
    t.Select(100, 200);
    t.ReplaceSelection(u"d");
    EXPECT_EQ(t.GetText(), u"abcd");
}

// Large texts cross the store's internal blocks: every position must still be exact.
TEST(TextStore, InsertionsAndDeletionsAcrossManyBlocksMatchAPlainString) {
    TextStore t;
    Text model;
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 3000; ++round) {
        const size_t len = next() % 3 == 0 ? next() % 70000 : next() % 200;
        Text piece(len, static_cast<char16_t>(u'a' + round % 26));
        size_t a = model.empty() ? 0 : next() % (model.size() + 1);
        size_t b = model.empty() ? 0 : next() % (model.size() + 1);
        if (next() % 4) b = a;  // mostly plain insertions
        if (model.size() > 400000) b = std::min(model.size(), a + 50000);
        t.Select(a, b);
        t.ReplaceSelection(piece);
        model.replace(std::min(a, b), std::max(a, b) - std::min(a, b), piece);
        ASSERT_EQ(t.Length(), model.size()) << "round " << round;
        ASSERT_EQ(t.SelStart(), std::min(a, b) + len);
    }
    EXPECT_EQ(t.GetText(), model);
}

TEST(TextStore, AMillionLinesAppendInOrder) {
    TextStore t;
    for (int i = 0; i < 1000000; ++i) t.ReplaceSelection(u"C:\\folder\\name\r\n");
    EXPECT_EQ(t.Length(), 16u * 1000000u);
    const Text text = t.GetText();
    EXPECT_EQ(text.substr(text.size() - 16), u"C:\\folder\\name\r\n");
}

}  // namespace
}  // namespace tarnwick
