#include "resultview/model/TextUnits.h"

#include "tests/support/TextUnitsModel.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

namespace tarnwick {
namespace {

constexpr TextUnit kUnits[] = {TextUnit::Character, TextUnit::Format,    TextUnit::Word,
                               TextUnit::Line,      TextUnit::Paragraph, TextUnit::Page,
                               TextUnit::Document};

// The boundaries as defined, straight from the string, for texts made of a few pieces
// whose kind is plain: letters, blanks, punctuation, line ends, a pair of surrogates.
std::vector<bool> ModelBoundaries(const Text& t, TextUnit unit, size_t linesPerPage) {
    const size_t n = t.size();
    auto kind = [](char16_t c) {
        if (c == u' ') return 0;
        if (c == u'\r' || c == u'\n') return 1;
        if (c == u'\\' || c == u'.' || c == u'，') return 2;
        return 3;
    };
    std::vector<bool> b(n + 1, false);
    b[0] = b[n] = true;
    size_t line = 0;
    for (size_t i = 1; i < n; ++i) {
        const bool lineStart = t[i - 1] == u'\n';
        line += lineStart;
        const bool pair = IsHighSurrogate(t[i - 1]) && IsLowSurrogate(t[i]);
        switch (unit) {
            case TextUnit::Character:
                b[i] = !pair && !(t[i - 1] == u'\r' && t[i] == u'\n');
                break;
            case TextUnit::Format:
            case TextUnit::Word:
                b[i] = lineStart || (kind(t[i]) != 0 && kind(t[i]) != kind(t[i - 1]));
                break;
            case TextUnit::Line:
            case TextUnit::Paragraph:
                b[i] = lineStart;
                break;
            case TextUnit::Page:
                b[i] = lineStart && line % linesPerPage == 0;
                break;
            case TextUnit::Document:
                break;
        }
    }
    return b;
}

Text RandomText(std::mt19937& random) {
    static const TextView pieces[] = {u"a", u"bc", u"文件", u" ",  u"  ",          u"\\",
                                      u".", u"，", u"\r\n", u"\n", u"\xD83D\xDE00"};
    Text t;
    for (size_t n = random() % 40; n > 0; --n) t += pieces[random() % std::size(pieces)];
    return t;
}

// Every position of many generated texts, for every unit, against the definitions.
TEST(TextUnits, BoundariesNextAndPreviousFollowTheDefinitions) {
    std::mt19937 random(2024);
    for (int round = 0; round < 300; ++round) {
        TextStore store;
        const Text t = RandomText(random);
        store.SetText(t);
        const size_t page = 1 + random() % 3;
        const TextUnits units(store, page);
        for (TextUnit unit : kUnits) {
            const std::vector<bool> b = ModelBoundaries(t, unit, page);
            for (size_t pos = 0; pos <= t.size(); ++pos) {
                size_t next = pos + 1, previous = pos == 0 ? 0 : pos - 1;
                while (next < t.size() && !b[next]) ++next;
                while (previous > 0 && !b[previous]) --previous;
                const auto where = ::testing::Message()
                                   << "unit " << static_cast<int>(unit) << " at " << pos
                                   << " of a text of " << t.size();
                ASSERT_EQ(units.IsBoundary(unit, pos), b[pos]) << where;
                ASSERT_EQ(units.Next(unit, pos), std::min(next, t.size())) << where;
                ASSERT_EQ(units.Previous(unit, pos), previous) << where;
            }
        }
    }
}

struct RangeCase {
    const char16_t* text;
    TextUnit unit;
    TextSpan from;
    enum { Move, MoveStart, MoveEnd, Expand } operation;
    int count;
    TextSpan to;
    int moved;
};

// "ab\r\n😀c\r\n": a 0, b 1, CR LF 2-3, the pair 4-5, c 6, CR LF 7-8, the end 9.
constexpr const char16_t* kMixed =
    u"ab\r\n\xD83D\xDE00"
    u"c\r\n";

const RangeCase kRangeCases[] = {
    // An insertion point moves alone, over a line end and a pair as one character each.
    RangeCase{kMixed, TextUnit::Character, {0, 0}, RangeCase::Move, 3, {4, 4}, 3},
    RangeCase{kMixed, TextUnit::Character, {9, 9}, RangeCase::Move, 2, {9, 9}, 0},
    RangeCase{kMixed, TextUnit::Character, {6, 6}, RangeCase::Move, -1, {4, 4}, -1},
    RangeCase{kMixed, TextUnit::Character, {1, 1}, RangeCase::Move, -5, {0, 0}, -1},
    // A range moves to a unit and spans it; none starts at the end of the text.
    RangeCase{kMixed, TextUnit::Character, {0, 1}, RangeCase::Move, 2, {2, 4}, 2},
    RangeCase{kMixed, TextUnit::Character, {6, 7}, RangeCase::Move, 5, {7, 9}, 1},
    RangeCase{kMixed, TextUnit::Character, {5, 7}, RangeCase::Move, -1, {2, 4}, -1},
    RangeCase{kMixed, TextUnit::Line, {1, 2}, RangeCase::Move, 1, {4, 9}, 1},
    RangeCase{u"ab\r\ncd", TextUnit::Line, {4, 5}, RangeCase::Move, 1, {4, 5}, 0},
    RangeCase{kMixed, TextUnit::Line, {4, 9}, RangeCase::Move, 1, {9, 9}, 1},
    RangeCase{kMixed, TextUnit::Document, {0, 9}, RangeCase::Move, 1, {0, 9}, 0},
    // Expanding finds the unit around a point, the end included.
    RangeCase{kMixed, TextUnit::Character, {5, 5}, RangeCase::Expand, 0, {4, 6}, 0},
    RangeCase{kMixed, TextUnit::Character, {3, 3}, RangeCase::Expand, 0, {2, 4}, 0},
    RangeCase{kMixed, TextUnit::Line, {5, 5}, RangeCase::Expand, 0, {4, 9}, 0},
    RangeCase{kMixed, TextUnit::Line, {9, 9}, RangeCase::Expand, 0, {9, 9}, 0},
    RangeCase{u"ab\r\ncd", TextUnit::Line, {6, 6}, RangeCase::Expand, 0, {4, 6}, 0},
    RangeCase{u"C:\\资料 x\r\n", TextUnit::Word, {4, 6}, RangeCase::Expand, 0, {3, 6}, 0},
    RangeCase{u"l0\nl1\nl2\nl3", TextUnit::Page, {7, 7}, RangeCase::Expand, 0, {6, 11}, 0},
    RangeCase{kMixed, TextUnit::Document, {5, 5}, RangeCase::Expand, 0, {0, 9}, 0},
    RangeCase{u"", TextUnit::Word, {0, 0}, RangeCase::Expand, 0, {0, 0}, 0},
    // A range of whole units stays; one of a unit and a part is the unit around its start.
    RangeCase{kMixed, TextUnit::Line, {0, 9}, RangeCase::Expand, 0, {0, 9}, 0},
    RangeCase{kMixed, TextUnit::Line, {0, 5}, RangeCase::Expand, 0, {0, 4}, 0},
    // An insertion point reaches the end of the text, where no line starts.
    RangeCase{u"ab\r\ncd", TextUnit::Line, {4, 4}, RangeCase::Move, 1, {6, 6}, 1},
    // An endpoint moved past the other takes it along.
    RangeCase{kMixed, TextUnit::Line, {0, 2}, RangeCase::MoveStart, 1, {4, 4}, 1},
    RangeCase{kMixed, TextUnit::Word, {4, 9}, RangeCase::MoveEnd, -2, {4, 4}, -2},
    RangeCase{kMixed, TextUnit::Character, {0, 1}, RangeCase::MoveEnd, 100, {0, 9}, 5},
};

TEST(TextRanges, MoveAndExpandAsUiAutomationDefines) {
    for (const RangeCase& c : kRangeCases) {
        TextStore store;
        store.SetText(c.text);
        const TextUnits units(store, 2);
        TextSpan span = c.from;
        int moved = 0;
        switch (c.operation) {
            case RangeCase::Move:
                moved = units.Move(span, c.unit, c.count);
                break;
            case RangeCase::MoveStart:
                moved = units.MoveEndpoint(span, false, c.unit, c.count);
                break;
            case RangeCase::MoveEnd:
                moved = units.MoveEndpoint(span, true, c.unit, c.count);
                break;
            case RangeCase::Expand:
                units.ExpandToEnclosingUnit(span, c.unit);
                break;
        }
        EXPECT_EQ(span, c.to) << "case " << &c - kRangeCases << ": " << span.start << "-"
                              << span.end;
        EXPECT_EQ(moved, c.moved) << "case " << &c - kRangeCases;
    }
}

// Moves by every count, INT_MIN and INT_MAX included, from ranges anywhere (past the end
// too), in texts built by edits over tiny leaves: the same as the model's steps, and each
// at the cost of a few walks down the text's tree, never one per unit.
TEST(TextRanges, MovesByAnyCountAreStepsOneUnitAtATimeAtTheCostOfOne) {
    constexpr int kCounts[] = {INT_MIN, INT_MIN + 1, -1000000, -5,      -2,          -1,
                               1,       2,           5,        1000000, INT_MAX - 1, INT_MAX};
    constexpr size_t kMostWalks = 24;
    std::mt19937 random(77);
    for (int round = 0; round < 120; ++round) {
        TextStore store({.leafChars = 5, .fanOut = 3});
        store.SetText(RandomText(random));
        store.Select(random() % (store.Length() + 2), random() % (store.Length() + 2));
        store.ReplaceSelection(RandomText(random) + RandomText(random));
        const Text t = store.GetText();
        const size_t page = 1 + random() % 3;
        const TextUnits units(store, page);
        for (TextUnit unit : kUnits) {
            const SteppingModel model{t, unit, page, ModelBoundaries(t, unit, page)};
            for (int count : kCounts) {
                for (int operation = 0; operation < 3; ++operation) {
                    const TextSpan from{random() % (t.size() + 3), random() % (t.size() + 3)};
                    TextSpan mine = from, expected = from;
                    const size_t walks = store.Tree().Walks();
                    const int moved = operation == 0
                                          ? units.Move(mine, unit, count)
                                          : units.MoveEndpoint(mine, operation == 2, unit, count);
                    const int modelMoved =
                        operation == 0 ? model.Move(expected, count)
                                       : model.MoveEndpoint(expected, operation == 2, count);
                    const auto where = ::testing::Message()
                                       << "operation " << operation << " unit "
                                       << static_cast<int>(unit) << " count " << count << " from "
                                       << from.start << "-" << from.end << " in a text of "
                                       << t.size();
                    ASSERT_EQ(mine, expected) << where << ": " << mine.start << "-" << mine.end;
                    ASSERT_EQ(moved, modelMoved) << where;
                    ASSERT_LE(store.Tree().Walks() - walks, kMostWalks) << where;
                }
            }
        }
    }
}

}  // namespace
}  // namespace tarnwick
