#include "resultview/model/TextUnits.h"

#include <algorithm>

#include "resultview/model/TextBoundaries.h"

namespace tarnwick {
namespace {

using Starts = TextStore::Starts;

TextUnit Supported(TextUnit unit) {
    return unit == TextUnit::Format ? TextUnit::Word : unit;  // no formats: the next larger
}

// How many units a negative count asks for, INT_MIN included.
size_t Magnitude(int count) {
    return static_cast<size_t>(-static_cast<long long>(count));
}

}  // namespace

bool TextUnits::IsBoundary(TextUnit unit, size_t pos) const {
    if (pos == 0 || pos >= text_.Length()) return true;
    const char16_t before = text_.At(pos - 1), at = text_.At(pos);
    switch (Supported(unit)) {
        case TextUnit::Character:
            return StartsCharacter(before, at);
        case TextUnit::Word:
            return StartsWord(before, at);
        case TextUnit::Line:
        case TextUnit::Paragraph:
            return before == u'\n';
        case TextUnit::Page:
            return before == u'\n' && text_.LineOf(pos) % linesPerPage_ == 0;
        default:
            return false;
    }
}

size_t TextUnits::LinesInside() const {
    const size_t length = text_.Length(), lineFeeds = text_.LineCount() - 1;
    return length > 0 && text_.At(length - 1) == u'\n' ? lineFeeds - 1 : lineFeeds;
}

size_t TextUnits::Inside(TextUnit unit) const {
    switch (Supported(unit)) {
        case TextUnit::Character:
            return text_.StartCount(Starts::kCharacterStarts);
        case TextUnit::Word:
            return text_.StartCount(Starts::kWordStarts);
        case TextUnit::Line:
        case TextUnit::Paragraph:
            return LinesInside();
        case TextUnit::Page:
            return LinesInside() / linesPerPage_;
        default:
            return 0;
    }
}

size_t TextUnits::Last(TextUnit unit) const {
    return text_.Length() > 0 ? Inside(unit) + 1 : 0;
}

size_t TextUnits::NumberOf(TextUnit unit, size_t pos) const {
    if (pos >= text_.Length()) return Last(unit);
    switch (Supported(unit)) {
        case TextUnit::Character:
            return text_.StartsBefore(Starts::kCharacterStarts, pos + 1);
        case TextUnit::Word:
            return text_.StartsBefore(Starts::kWordStarts, pos + 1);
        case TextUnit::Line:
        case TextUnit::Paragraph:
            return text_.LineOf(pos);
        case TextUnit::Page:
            return text_.LineOf(pos) / linesPerPage_;
        default:
            return 0;
    }
}

size_t TextUnits::PositionOf(TextUnit unit, size_t number) const {
    if (number == 0) return 0;
    if (number >= Last(unit)) return text_.Length();
    switch (Supported(unit)) {
        case TextUnit::Character:
            return text_.NthStart(Starts::kCharacterStarts, number);
        case TextUnit::Word:
            return text_.NthStart(Starts::kWordStarts, number);
        case TextUnit::Line:
        case TextUnit::Paragraph:
            return text_.LineStart(number);
        case TextUnit::Page:
            return text_.LineStart(number * linesPerPage_);
        default:
            return text_.Length();
    }
}

size_t TextUnits::Next(TextUnit unit, size_t pos) const {
    if (pos >= text_.Length()) return text_.Length();
    return PositionOf(unit, NumberOf(unit, pos) + 1);
}

size_t TextUnits::Previous(TextUnit unit, size_t pos) const {
    pos = Clamp(pos);
    return pos == 0 ? 0 : PositionOf(unit, NumberOf(unit, pos - 1));
}

size_t TextUnits::Floor(TextUnit unit, size_t pos) const {
    return PositionOf(unit, NumberOf(unit, Clamp(pos)));
}

// The end of the text begins a unit of its own only where that unit may be empty: the
// empty line after a final line end (its word, and its page where one starts there).
bool TextUnits::EmptyUnitAtEnd(TextUnit unit) const {
    const size_t length = text_.Length();
    if (length == 0) return true;
    const bool emptyLastLine = text_.At(length - 1) == u'\n';
    switch (Supported(unit)) {
        case TextUnit::Word:
        case TextUnit::Line:
        case TextUnit::Paragraph:
            return emptyLastLine;
        case TextUnit::Page:
            return emptyLastLine && text_.LineOf(length) % linesPerPage_ == 0;
        default:
            return false;
    }
}

// Elsewhere the end belongs to the unit before it; no character starts there.
size_t TextUnits::UnitStart(TextUnit unit, size_t pos) const {
    const size_t length = text_.Length();
    const size_t start = Floor(unit, pos);
    if (start == length && Supported(unit) != TextUnit::Character && !EmptyUnitAtEnd(unit))
        return Previous(unit, length);
    return start;
}

void TextUnits::ExpandToEnclosingUnit(TextSpan& span, TextUnit unit) const {
    span = {Clamp(span.start), Clamp(span.end)};
    if (span.start < span.end && UnitStart(unit, span.start) == span.start &&
        IsBoundary(unit, span.end))
        return;  // already whole units
    const size_t start = UnitStart(unit, span.start);
    span = {start, start == text_.Length() ? start : Next(unit, start)};
}

// A range collapses to its start, goes back to the start of its unit, moves from unit
// start to unit start, and spans the unit it lands on; one that cannot move stays. The
// move is counted in boundary numbers, so it costs the same for any count.
int TextUnits::Move(TextSpan& span, TextUnit unit, int count) const {
    const size_t length = text_.Length();
    if (count == 0) return 0;
    if (span.start >= span.end) {  // an insertion point moves alone
        TextSpan point{Clamp(span.start), Clamp(span.start)};
        const int moved = MoveEndpoint(point, false, unit, count);
        span = {point.start, point.start};
        return moved;
    }
    const size_t from = NumberOf(unit, UnitStart(unit, span.start));
    const size_t last = Last(unit);
    const size_t highest = EmptyUnitAtEnd(unit) || last == 0 ? last : last - 1;
    size_t to = from;
    if (count > 0)
        to += std::min<size_t>(static_cast<size_t>(count), highest - std::min(highest, from));
    if (count < 0) to -= std::min(Magnitude(count), from);
    if (to == from) return 0;
    const size_t at = PositionOf(unit, to);
    span = {at, at == length ? length : PositionOf(unit, to + 1)};
    return static_cast<int>(static_cast<long long>(to) - static_cast<long long>(from));
}

// Forward, the first step goes to the boundary after the point, the last to the end of the
// text; backward, the first goes to the boundary before it, the last to the start.
int TextUnits::MoveEndpoint(TextSpan& span, bool end, TextUnit unit, int count) const {
    size_t& point = end ? span.end : span.start;
    point = Clamp(point);
    long long moved = 0;
    if (count > 0 && point < text_.Length()) {
        const size_t from = NumberOf(unit, point);
        const size_t steps = std::min<size_t>(static_cast<size_t>(count), Last(unit) - from);
        point = PositionOf(unit, from + steps);
        moved = static_cast<long long>(steps);
    } else if (count < 0 && point > 0) {
        const size_t first = NumberOf(unit, point - 1);
        const size_t steps = std::min(Magnitude(count), first + 1);
        point = PositionOf(unit, first + 1 - steps);
        moved = -static_cast<long long>(steps);
    }
    if (end && span.end < span.start) span.start = span.end;
    if (!end && span.start > span.end) span.end = span.start;
    return static_cast<int>(moved);
}

}  // namespace tarnwick
