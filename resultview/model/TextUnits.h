#pragma once
// The units in which screen readers move through a text (characters, words, lines, pages,
// the whole), and the moves of a text range in them as UI Automation defines its text
// ranges. A unit the text has no boundaries of its own for (formats) moves as the next
// larger one. Every operation finds its boundaries through the text's tree, in O(log n),
// whatever the count it is given: a move of INT_MAX units costs what a move of one does.
#include <cstddef>

#include "resultview/model/TextStore.h"

namespace tarnwick {

enum class TextUnit { Character, Format, Word, Line, Paragraph, Page, Document };

struct TextSpan {
    size_t start = 0;
    size_t end = 0;
    friend bool operator==(const TextSpan&, const TextSpan&) = default;
};

// Where units begin. The start and the end of the text are boundaries of every unit.
// - Character: every position but those between the halves of a surrogate pair and
//   between the CR and the LF of a line end.
// - Word: a line's start, and where a run of letters, of punctuation or of a line end
//   begins; blanks belong to the word before them.
// - Line and paragraph (lines never wrap): a line's start. Page: the start of every
//   linesPerPage-th line.
class TextUnits {
  public:
    TextUnits(const TextStore& text, size_t linesPerPage)
        : text_(text), linesPerPage_(linesPerPage > 0 ? linesPerPage : 1) {}

    bool IsBoundary(TextUnit unit, size_t pos) const;
    size_t Next(TextUnit unit, size_t pos) const;      // the first boundary after pos
    size_t Previous(TextUnit unit, size_t pos) const;  // the last boundary before pos
    size_t Floor(TextUnit unit, size_t pos) const;     // the last boundary at or before pos

    // The range operations. A range of whole units stays as it is; any other becomes the
    // unit around its start.
    void ExpandToEnclosingUnit(TextSpan& span, TextUnit unit) const;
    // Each gives how many units it moved (negative: backwards). An insertion point moves
    // from boundary to boundary, the end of the text included; a range moves from unit to
    // unit and spans the one it lands on.
    int Move(TextSpan& span, TextUnit unit, int count) const;
    int MoveEndpoint(TextSpan& span, bool end, TextUnit unit, int count) const;

  private:
    // A unit's boundaries are numbered in order: 0 is the start of the text, then come those
    // inside it, and last the end (in an empty text, the start).
    size_t Inside(TextUnit unit) const;                     // boundaries strictly inside
    size_t Last(TextUnit unit) const;                       // the number of the end
    size_t NumberOf(TextUnit unit, size_t pos) const;       // of the last one at or before pos
    size_t PositionOf(TextUnit unit, size_t number) const;  // number <= Last(unit)
    size_t LinesInside() const;                             // line starts inside the text
    bool EmptyUnitAtEnd(TextUnit unit) const;
    size_t UnitStart(TextUnit unit, size_t pos) const;  // of the unit that encloses pos
    size_t Clamp(size_t pos) const { return pos < text_.Length() ? pos : text_.Length(); }

    const TextStore& text_;
    size_t linesPerPage_;
};

}  // namespace tarnwick
