#include "resultview/model/TextStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <new>
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

struct Lines {  // what a plain string says of its lines
    explicit Lines(const Text& of) : text(of) {
        for (size_t i = 0; i < of.size(); ++i)
            if (of[i] == u'\n') starts.push_back(i + 1);
    }
    size_t Of(size_t pos) const {
        return static_cast<size_t>(std::upper_bound(starts.begin(), starts.end(), pos) -
                                   starts.begin()) -
               1;
    }
    size_t Length(size_t line) const {
        if (line + 1 == starts.size()) return text.size() - starts[line];
        const size_t lf = starts[line + 1] - 1;
        return lf - starts[line] - (lf > starts[line] && text[lf - 1] == u'\r');
    }
    size_t Longest() const {
        size_t longest = 0;
        for (size_t l = 0; l < starts.size(); ++l) longest = std::max(longest, Length(l));
        return longest;
    }
    const Text& text;
    std::vector<size_t> starts{0};
};

// The line index after any edit matches the lines of the text.
void ExpectLinesOf(const TextStore& t) {
    const Text text = t.GetText();
    const Lines lines(text);
    ASSERT_EQ(t.LineCount(), lines.starts.size());
    for (size_t l = 0; l < lines.starts.size(); ++l) {
        ASSERT_EQ(t.LineStart(l), lines.starts[l]) << l;
        ASSERT_EQ(t.LineLength(l), lines.Length(l)) << l;
        ASSERT_EQ(t.LineOf(lines.starts[l]), l);
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

// Random edits against a plain string: small ones at random places, runs of lines at a
// moving caret as a walk makes, wide selections either way, positions past the end, CR LF,
// bare LF and CR, surrogate pairs, and pieces spanning many leaves. Tiny leaves and nodes
// make a deep tree; the default shape checks the real one.
class Random {
  public:
    explicit Random(uint32_t seed) : state_(seed) {}
    size_t Below(size_t n) {  // 0 when n is 0
        state_ = state_ * 6364136223846793005u + 1442695040888963407u;
        return n == 0 ? 0 : static_cast<size_t>(state_ >> 33) % n;
    }
    Text Piece(size_t longest) {
        static const TextView kBits[] = {u"a", u"bc", u"\r\n", u"\n", u"\r", u"\xD83D\xDE00", u"x"};
        Text text;
        for (size_t n = Below(longest + 1); text.size() < n;) text += kBits[Below(7)];
        return text;
    }

  private:
    uint64_t state_;
};

void ExpectSameAsModel(const TextStore& t, const Lines& lines, Random& random) {
    const Text& model = lines.text;
    ASSERT_EQ(t.Length(), model.size());
    ASSERT_EQ(t.Tree().Audit(), "");
    ASSERT_EQ(t.LineCount(), lines.starts.size());
    // Positions where lines meet and the ends are where mistakes hide: sample those too.
    const size_t line = random.Below(lines.starts.size());
    const size_t start = lines.starts[line];
    const size_t positions[] = {random.Below(model.size() + 1),
                                start,
                                start + lines.Length(line),
                                start + lines.Length(line) + 1,
                                start > 0 ? start - 1 : 0,
                                model.size(),
                                model.size() + 3};
    for (const size_t pos : positions) {
        ASSERT_EQ(t.LineOf(pos), lines.Of(std::min(pos, model.size()))) << pos;
        if (pos < model.size()) {
            ASSERT_EQ(t.At(pos), model[pos]) << pos;
        }
        const size_t count = random.Below(3) ? random.Below(40) : model.size();
        ASSERT_EQ(t.Substr(pos, count), pos < model.size() ? model.substr(pos, count) : Text());
    }
    for (const size_t l : {line, lines.starts.size() - 1}) {
        ASSERT_EQ(t.LineStart(l), lines.starts[l]) << l;
        ASSERT_EQ(t.LineLength(l), lines.Length(l)) << l;
    }
}

void EditAtRandom(TextStore::Geometry geometry, size_t edits, size_t longest, uint32_t seed,
                  size_t& height) {
    TextStore t(geometry);
    Text model;
    size_t anchor = 0, caret = 0;
    size_t longestLine = 0;  // of the lines SetText made and those edits made or changed
    Random random(seed);
    for (size_t edit = 0; edit < edits; ++edit) {
        SCOPED_TRACE(testing::Message() << "edit " << edit);
        const size_t kind = random.Below(20);
        if (kind == 0) {
            model = random.Piece(random.Below(2) ? longest : 10);
            t.SetText(model);
            anchor = caret = 0;
            longestLine = Lines(model).Longest();
        } else {
            if (kind > 6) {  // else a walk's next line at the caret
                anchor = random.Below(model.size() + 5);
                caret = random.Below(4) ? anchor : random.Below(model.size() + 5);
                t.Select(anchor, caret);
                anchor = std::min(anchor, model.size());
                caret = std::min(caret, model.size());
            }
            const Text piece = random.Piece(random.Below(15) == 0 ? longest : 12);
            const size_t from = std::min(anchor, caret), to = std::max(anchor, caret);
            t.ReplaceSelection(piece);
            model.replace(from, to - from, piece);
            anchor = caret = from + piece.size();
            const Lines lines(model);
            for (size_t l = lines.Of(from); l <= lines.Of(caret); ++l)
                longestLine = std::max(longestLine, lines.Length(l));
        }
        ASSERT_EQ(t.Anchor(), anchor);
        ASSERT_EQ(t.Caret(), caret);
        const Lines lines(model);
        ASSERT_EQ(t.LongestLine(), longestLine);
        ASSERT_GE(longestLine, lines.Longest());
        ASSERT_NO_FATAL_FAILURE(ExpectSameAsModel(t, lines, random));
        height = std::max(height, t.Tree().Height());
    }
    EXPECT_EQ(t.GetText(), model);
    Text joined;
    t.ForEachPiece([&](TextView piece) {
        joined += piece;
        return true;
    });
    EXPECT_EQ(joined, model);
}

TEST(TextStore, RandomEditsMatchAPlainString) {
    size_t height = 0;
    ASSERT_NO_FATAL_FAILURE(EditAtRandom({.leafChars = 4, .fanOut = 3}, 1500, 400, 1, height));
    ASSERT_NO_FATAL_FAILURE(EditAtRandom({.leafChars = 7, .fanOut = 4}, 1500, 600, 2, height));
    EXPECT_GE(height, 5u);  // deep enough for splits and merges at every level
    height = 0;
    ASSERT_NO_FATAL_FAILURE(EditAtRandom({}, 300, 150000, 3, height));
    EXPECT_GE(height, 2u);
}

// An edit that runs out of memory at any of its allocations leaves the text, selection and
// lines as they were.
TEST(TextStore, AFailedAllocationChangesNothing) {
    Random random(4);
    const struct {
        TextStore::Geometry geometry;
        size_t base, piece;  // lengths: several leaves each
    } cases[] = {{{4, 3}, 300, 200}, {{}, 7000, 9000}};
    for (const auto& c : cases) {
        const Text base = random.Piece(c.base) + Text(c.base, u'b');
        const Text piece = random.Piece(c.piece) + Text(c.piece, u'c');
        const size_t anchor = base.size() * 5 / 6, caret = base.size() / 8;
        for (const bool replace : {true, false}) {
            long n = 0;
            for (bool failed = true; failed; ++n) {
                TextStore t(c.geometry);
                t.SetText(base);
                t.Select(anchor, caret);
                TextTree::FailAllocationAfter(n);
                try {
                    replace ? t.ReplaceSelection(piece) : t.SetText(piece);
                    failed = false;
                } catch (const std::bad_alloc&) {
                }
                TextTree::FailAllocationAfter(-1);
                if (!failed) {
                    EXPECT_EQ(t.GetText(), replace
                                               ? base.substr(0, caret) + piece + base.substr(anchor)
                                               : piece);
                    break;
                }
                ASSERT_EQ(t.Tree().Audit(), "");
                ASSERT_EQ(t.GetText(), base) << n;
                ASSERT_EQ(t.Anchor(), anchor);
                ASSERT_EQ(t.Caret(), caret);
                ASSERT_EQ(t.LineCount(), Lines(base).starts.size());
                ASSERT_EQ(t.LongestLine(), Lines(base).Longest());
            }
            EXPECT_GT(n, 3);  // it did fail, at more than one place
        }
    }
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
