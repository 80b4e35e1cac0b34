#pragma once
// Where characters and words begin. Each is decided by the two code units either side of a
// position, so the text tree can count them as it counts line feeds, and the text units
// can move by them without reading the text in between.
#include "platform/Text.h"

namespace tarnwick {

enum class CharKind : unsigned char { Blank, LineEnd, Punctuation, Letter };

namespace detail {
inline constexpr CharKind AsciiKindOf(char16_t c) {
    if (c == u' ' || c == u'\t') return CharKind::Blank;
    if (c == u'\r' || c == u'\n') return CharKind::LineEnd;
    if ((c > u' ' && c < u'0') || (c > u'9' && c < u'A') || (c > u'Z' && c < u'a') ||
        (c > u'z' && c < 0x7F))
        return CharKind::Punctuation;
    return CharKind::Letter;
}
inline constexpr struct AsciiKinds {
    CharKind of[0x80];
    constexpr AsciiKinds() : of() {
        for (char16_t c = 0; c < 0x80; ++c) of[c] = AsciiKindOf(c);
    }
} kAsciiKinds;
}  // namespace detail

// Looked up for ASCII, which most of a listing is.
inline constexpr CharKind KindOf(char16_t c) {
    if (c < 0x80) return detail::kAsciiKinds.of[c];
    if (c == u'\x3000') return CharKind::Blank;
    // The Chinese punctuation of file names and prose, tested by range first: most
    // characters past ASCII are letters.
    if ((c >= 0x2014 && c <= 0x2026) || (c >= 0x3001 && c <= 0x3011) ||
        (c >= 0xFF01 && c <= 0xFF1F))
        if (TextView(u"，。、；：？！…—（）《》「」【】“”‘’").find(c) != TextView::npos)
            return CharKind::Punctuation;
    return CharKind::Letter;
}

// Every position starts a character but those between the CR and the LF of a line end
// and between the halves of a surrogate pair.
inline constexpr bool StartsCharacter(char16_t before, char16_t at) {
    return !(before == u'\r' && at == u'\n') && !(IsHighSurrogate(before) && IsLowSurrogate(at));
}

// A word starts at a line's start and where a run of letters, of punctuation or of a line
// end begins; blanks belong to the word before them.
inline constexpr bool StartsWord(CharKind before, char16_t beforeChar, CharKind at) {
    return beforeChar == u'\n' || (at != CharKind::Blank && at != before);
}
inline constexpr bool StartsWord(char16_t before, char16_t at) {
    return StartsWord(KindOf(before), before, KindOf(at));
}

}  // namespace tarnwick
