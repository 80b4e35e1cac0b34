#include "resultview/model/TextStore.h"

namespace tarnwick {
namespace {

// The longest line of a text, in characters without its CR LF.
size_t LongestLineIn(TextView text) {
    size_t longest = 0, start = 0;
    for (size_t lf = text.find(u'\n'); lf != TextView::npos; lf = text.find(u'\n', start)) {
        const size_t end = lf > start && text[lf - 1] == u'\r' ? lf - 1 : lf;
        longest = std::max(longest, end - start);
        start = lf + 1;
    }
    return std::max(longest, text.size() - start);
}

}  // namespace

// What a text to insert holds of lines, found in one pass.
struct TextStore::LinesIn {
    explicit LinesIn(TextView text) {
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != u'\n') continue;
            if (lineFeeds++ > 0) {
                const bool cr = i - 1 > last && text[i - 1] == u'\r';
                longest = std::max(longest, i - last - 1 - cr);
            }
            first = std::min(first, i);
            last = i;
        }
    }
    size_t lineFeeds = 0;
    size_t first = TextView::npos, last = 0;  // its first and last LF
    size_t longest = 0;                       // of the lines between two of its LFs
};

Text TextStore::GetText() const {
    Text text;
    text.reserve(Length());
    text_.Read(0, [&](TextView run) {
        text.append(run);
        return true;
    });
    return text;
}

void TextStore::ForEachPiece(const std::function<bool(TextView)>& take) const {
    Text piece;
    piece.reserve(std::min(Length(), kPiece));
    bool more = true;
    text_.Read(0, [&](TextView run) {
        while (!run.empty()) {
            const size_t n = std::min(run.size(), kPiece - piece.size());
            piece.append(run.substr(0, n));
            run.remove_prefix(n);
            if (piece.size() < kPiece) break;
            const bool high = IsHighSurrogate(piece.back());
            if (!take(TextView(piece).substr(0, kPiece - high))) return more = false;
            piece.erase(0, kPiece - high);  // the high half waits for its partner
        }
        return true;
    });
    if (more && !piece.empty()) take(piece);
}

size_t TextStore::Count(char16_t c) const {
    if (c == u'\n') return text_.LineFeeds();
    size_t n = 0;
    text_.Read(0, [&](TextView run) {
        n += static_cast<size_t>(std::count(run.begin(), run.end(), c));
        return true;
    });
    return n;
}

void TextStore::SetText(TextView text) {
    TextTree fresh(text, text_.Shape());  // if this fails, the old text stays
    text_ = std::move(fresh);
    anchor_ = caret_ = 0;
    longestLine_ = LongestLineIn(text);
}

void TextStore::Select(size_t anchor, size_t caret) {
    anchor_ = std::min(anchor, Length());
    caret_ = std::min(caret, Length());
}

void TextStore::ReplaceSelection(TextView text) {
    const size_t start = SelStart();
    const size_t end = SelEnd();
    const LinesIn lines(text);
    // Insert first: if that fails, nothing has changed.
    const size_t column = text_.Insert(end, text, lines.lineFeeds);
    text_.Erase(start, end - start);
    anchor_ = caret_ = start + text.size();
    NoteLongestLine(start, text, lines, start == end ? column : TextView::npos);
}

// The lines an edit made or changed: the one through its start, those wholly inside the new
// text, and the one through its end. A line that the new text only cut short is no longer
// than it was, so it needs no look. `column` is that of start, if known.
void TextStore::NoteLongestLine(size_t start, TextView text, const LinesIn& lines,
                                size_t column) noexcept {
    size_t longest = lines.longest;
    if (lines.lineFeeds == 0) {
        const TextTree::Span line = text_.LineThrough(start);
        longest = line.end - line.start;
    } else {
        if (lines.first > 0)
            longest = std::max(longest, (column != TextView::npos ? column : text_.Column(start)) +
                                            lines.first - (text[lines.first - 1] == u'\r'));
        if (lines.last + 1 < text.size()) {
            const TextTree::Span line = text_.LineThrough(start + text.size());
            longest = std::max(longest, line.end - line.start);
        }
    }
    longestLine_ = std::max(longestLine_, longest);
}

size_t TextStore::WholeCharacters(size_t pos, size_t count) const {
    count = pos < Length() ? std::min(count, Length() - pos) : 0;
    if (count > 0 && pos + count < Length() && IsHighSurrogate(At(pos + count - 1))) --count;
    return count;
}

size_t TextStore::LineLength(size_t line) const {
    return text_.LineEnd(line) - text_.LineStart(line);
}

size_t TextStore::CopyTo(size_t pos, size_t count, char16_t* out) const {
    if (pos >= Length()) return 0;
    count = std::min(count, Length() - pos);
    size_t copied = 0;
    text_.Read(pos, [&](TextView run) {
        const size_t n = std::min(run.size(), count - copied);
        std::copy_n(run.data(), n, out + copied);
        copied += n;
        return copied < count;
    });
    return copied;
}

Text TextStore::Substr(size_t pos, size_t count) const {
    Text out;
    if (pos >= Length()) return out;
    count = std::min(count, Length() - pos);
    out.reserve(count);
    text_.Read(pos, [&](TextView run) {
        out.append(run.substr(0, count - out.size()));
        return out.size() < count;
    });
    return out;
}

}  // namespace tarnwick
