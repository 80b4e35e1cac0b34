#include "platform/TextUnits.h"

namespace tarnwick {
namespace {

enum class Kind { Blank, LineEnd, Punctuation, Letter };

Kind KindOf(char16_t c) {
    if (c == u' ' || c == u'\t' || c == u'\x3000') return Kind::Blank;
    if (c == u'\r' || c == u'\n') return Kind::LineEnd;
    if ((c > u' ' && c < u'0') || (c > u'9' && c < u'A') || (c > u'Z' && c < u'a') ||
        (c > u'z' && c < 0x7F))
        return Kind::Punctuation;
    if (TextView(u"，。、；：？！…—（）《》「」【】“”‘’").find(c) != TextView::npos)
        return Kind::Punctuation;
    return Kind::Letter;
}

// A word begins where the kind changes, except into blanks.
bool StartsWord(char16_t before, char16_t at) {
    const Kind k = KindOf(at);
    return k != Kind::Blank && k != KindOf(before);
}

TextUnit Supported(TextUnit unit) {
    return unit == TextUnit::Format ? TextUnit::Word : unit;  // no formats: the next larger
}

}  // namespace

size_t TextUnits::LineBoundary(size_t line) const {
    return line < text_.LineCount() ? text_.LineStart(line) : text_.Length();
}

bool TextUnits::IsBoundary(TextUnit unit, size_t pos) const {
    if (pos == 0 || pos >= text_.Length()) return true;
    const char16_t before = text_.At(pos - 1), at = text_.At(pos);
    switch (Supported(unit)) {
        case TextUnit::Character:
            return !(IsHighSurrogate(before) && IsLowSurrogate(at)) &&
                   !(before == u'\r' && at == u'\n');
        case TextUnit::Word:
            return before == u'\n' || StartsWord(before, at);
        case TextUnit::Line:
        case TextUnit::Paragraph:
            return before == u'\n';
        case TextUnit::Page:
            return before == u'\n' && text_.LineOf(pos) % linesPerPage_ == 0;
        default:
            return false;
    }
}

size_t TextUnits::Next(TextUnit unit, size_t pos) const {
    const size_t length = text_.Length();
    if (pos >= length) return length;
    switch (Supported(unit)) {
        case TextUnit::Character: {
            size_t next = pos + 1;
            while (next < length && !IsBoundary(unit, next)) ++next;
            return next;
        }
        case TextUnit::Word:
            return NextWord(pos);
        case TextUnit::Line:
        case TextUnit::Paragraph:
            return LineBoundary(text_.LineOf(pos) + 1);
        case TextUnit::Page:
            return LineBoundary((text_.LineOf(pos) / linesPerPage_ + 1) * linesPerPage_);
        default:
            return length;
    }
}

size_t TextUnits::Previous(TextUnit unit, size_t pos) const {
    pos = Clamp(pos);
    if (pos == 0) return 0;
    switch (Supported(unit)) {
        case TextUnit::Character: {
            size_t previous = pos - 1;
            while (previous > 0 && !IsBoundary(unit, previous)) --previous;
            return previous;
        }
        case TextUnit::Word:
            return PreviousWord(pos);
        case TextUnit::Line:
        case TextUnit::Paragraph:
            return text_.LineStart(text_.LineOf(pos - 1));
        case TextUnit::Page:
            return text_.LineStart(text_.LineOf(pos - 1) / linesPerPage_ * linesPerPage_);
        default:
            return 0;
    }
}

size_t TextUnits::Floor(TextUnit unit, size_t pos) const {
    pos = Clamp(pos);
    return IsBoundary(unit, pos) ? pos : Previous(unit, pos);
}

// Words never cross a line's start, so one line's text is all a step needs to read.
size_t TextUnits::NextWord(size_t pos) const {
    const size_t lineEnd = LineBoundary(text_.LineOf(pos) + 1);
    const Text rest = text_.Substr(pos, lineEnd - pos);
    for (size_t i = 1; i < rest.size(); ++i)
        if (StartsWord(rest[i - 1], rest[i])) return pos + i;
    return lineEnd;
}

size_t TextUnits::PreviousWord(size_t pos) const {
    const size_t lineStart = text_.LineStart(text_.LineOf(pos - 1));
    const Text before = text_.Substr(lineStart, pos - lineStart);
    for (size_t i = before.size() - 1; i > 0; --i)
        if (StartsWord(before[i - 1], before[i])) return lineStart + i;
    return lineStart;
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
// start to unit start, and spans the unit it lands on; one that cannot move stays.
int TextUnits::Move(TextSpan& span, TextUnit unit, int count) const {
    const size_t length = text_.Length();
    if (count == 0) return 0;
    if (span.start >= span.end) {  // an insertion point moves alone
        TextSpan point{Clamp(span.start), Clamp(span.start)};
        const int moved = MoveEndpoint(point, false, unit, count);
        span = {point.start, point.start};
        return moved;
    }
    size_t at = UnitStart(unit, span.start);
    int moved = 0;
    while (moved < count) {
        const size_t next = Next(unit, at);
        if (next == at || (next == length && !EmptyUnitAtEnd(unit))) break;
        at = next;
        ++moved;
    }
    while (moved > count && at > 0) {
        at = Previous(unit, at);
        --moved;
    }
    if (moved == 0) return 0;
    span = {at, at == length ? length : Next(unit, at)};
    return moved;
}

int TextUnits::MoveEndpoint(TextSpan& span, bool end, TextUnit unit, int count) const {
    size_t& point = end ? span.end : span.start;
    point = Clamp(point);
    int moved = 0;
    while (moved < count && point < text_.Length()) {
        point = Next(unit, point);
        ++moved;
    }
    while (moved > count && point > 0) {
        point = Previous(unit, point);
        --moved;
    }
    if (end && span.end < span.start) span.start = span.end;
    if (!end && span.start > span.end) span.end = span.start;
    return moved;
}

}  // namespace tarnwick
