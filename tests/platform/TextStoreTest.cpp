#include "platform/TextStore.h"

#include <gtest/gtest.h>

#include <vector>

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

// The line index after any edit matches the lines of the text.
void ExpectLinesOf(const TextStore& t) {
    const Text text = t.GetText();
    std::vector<size_t> starts{0};
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == u'\n') starts.push_back(i + 1);
    ASSERT_EQ(t.LineCount(), starts.size());
    for (size_t l = 0; l < starts.size(); ++l) {
        ASSERT_EQ(t.LineStart(l), starts[l]) << l;
        size_t end = l + 1 < starts.size() ? starts[l + 1] - 1 : text.size();
        if (l + 1 < starts.size() && end > starts[l] && text[end - 1] == u'\r') --end;
        ASSERT_EQ(t.LineLength(l), end - starts[l]) << l;
        ASSERT_EQ(t.LineOf(starts[l]), l);
    }
}

TEST(TextStoreLines, IndexFollowsAppendsInsertionsAndDeletions) {
    TextStore t;
    ExpectLinesOf(t);
    t.ReplaceSelection(u"one\r\ntwo\r\n");
    ExpectLinesOf(t);
    EXPECT_EQ(t.LineCount(), 3u);  // an empty line after the last CR LF
    t.Select(5, 5);
    t.ReplaceSelection(u"mid\r\n");
    ExpectLinesOf(t);
    t.Select(2, 12);  // across lines
    t.ReplaceSelection(u"X");
    ExpectLinesOf(t);
    EXPECT_EQ(t.Substr(0, 6), u"onXo\r\n");
    t.SetText(u"a\r\nbb\r\nccc");
    ExpectLinesOf(t);
    EXPECT_EQ(t.LongestLine(), 3u);
    EXPECT_EQ(t.LineOf(t.Length()), 2u);
}

TEST(TextStoreLines, IndexStaysExactAcrossBlocks) {
    TextStore t;
    uint32_t seed = 7;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 300; ++round) {
        Text piece;
        for (size_t n = next() % 3000; n > 0; --n) piece += (next() % 40 == 0) ? u'\n' : u'x';
        const size_t a = next() % (t.Length() + 1);
        t.Select(a, next() % 3 ? a : next() % (t.Length() + 1));
        t.ReplaceSelection(piece);
    }
    ExpectLinesOf(t);
}

// Saving reads the text in pieces; together they must be the text, and no piece may end
// with the first half of a character whose second half begins the next.
TEST(TextStore, PiecesMakeTheWholeTextAndKeepPairsTogether) {
    TextStore t;
    Text text(TextStore::kPiece - 1, u'a');
    text += u"\xD83D\xDE00";  // a pair across the first piece's end
    text += Text(TextStore::kPiece + 5, u'b');
    t.SetText(text);
    std::vector<Text> pieces;
    t.ForEachPiece([&](TextView piece) {
        pieces.emplace_back(piece);
        return true;
    });
    Text joined;
    for (const Text& p : pieces) {
        EXPECT_LE(p.size(), TextStore::kPiece);
        EXPECT_FALSE(p.back() >= 0xD800 && p.back() < 0xDC00);
        joined += p;
    }
    EXPECT_EQ(pieces.size(), 3u);
    EXPECT_EQ(joined, text);

    int calls = 0;
    t.ForEachPiece([&](TextView) { return ++calls < 2; });
    EXPECT_EQ(calls, 2);  // asked to stop after the second piece

    TextStore empty;
    empty.ForEachPiece([&](TextView) { return ADD_FAILURE(), false; });
}

TEST(TextStore, AMillionLinesAppendInOrder) {
    TextStore t;
    for (int i = 0; i < 1000000; ++i) t.ReplaceSelection(u"C:\\folder\\name\r\n");
    EXPECT_EQ(t.Length(), 16u * 1000000u);
    EXPECT_EQ(t.Substr(t.Length() - 16, 16), u"C:\\folder\\name\r\n");
    EXPECT_EQ(t.LineCount(), 1000001u);
    EXPECT_EQ(t.LineStart(999999), 16u * 999999u);
}

}  // namespace
}  // namespace tarnwick
