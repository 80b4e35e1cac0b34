#pragma once
// The text of a multi-line box, held in a tree of small leaves that count their characters
// and line feeds: an edit, or finding a line or a position, costs O(log n) wherever it
// happens, and appending a line costs the same however long the text is.
#include <algorithm>
#include <cstddef>
#include <functional>

#include "platform/Text.h"
#include "resultview/model/TextTree.h"

namespace tarnwick {

class TextStore {
  public:
    using Geometry = TextTree::Geometry;
    TextStore() = default;
    explicit TextStore(Geometry geometry) : text_(geometry) {}  // tests: tiny leaves and nodes

    size_t Length() const { return text_.Length(); }
    size_t Count(char16_t c) const;  // occurrences of one character, without a copy of the text
    char16_t At(size_t pos) const { return text_.At(pos); }  // pos < Length()
    Text GetText() const;
    // The text a piece at a time, without a copy of the whole: pieces of at most kPiece
    // characters, never ending between the halves of a surrogate pair. `take` returns
    // false to stop.
    static constexpr size_t kPiece = size_t{1} << 20;
    void ForEachPiece(const std::function<bool(TextView)>& take) const;
    // The caret goes to the start, as in an edit box. Either succeeds or throws
    // std::bad_alloc with the text unchanged.
    void SetText(TextView text);

    // A selection from `anchor` to `caret`; positions past the end stand for the end.
    void Select(size_t anchor, size_t caret);
    size_t SelStart() const { return std::min(anchor_, caret_); }
    size_t SelEnd() const { return std::max(anchor_, caret_); }
    size_t Anchor() const { return anchor_; }
    size_t Caret() const { return caret_; }

    Text Substr(size_t pos, size_t count) const;
    // Writes the characters Substr would give into `out`, which has room for them; returns
    // how many. No copy of its own: a client's buffer of the whole text is filled directly.
    size_t CopyTo(size_t pos, size_t count, char16_t* out) const;
    // The text of [from, to) where the tree holds it, a leaf's part at a time, from the start
    // or (backward) from the end: take(start, run) returns false to stop. No copy at all.
    template <class Take>
    void ReadRuns(size_t from, size_t to, bool backward, Take take) const;
    // At most `count` characters from `pos`, one fewer where the last would be the first
    // half of a pair.
    size_t WholeCharacters(size_t pos, size_t count) const;

    // Lines end at each LF (the CR before it belongs to the line's end); a text ending in
    // CR LF has an empty last line, as in an edit box.
    size_t LineCount() const { return text_.LineFeeds() + 1; }
    size_t LineStart(size_t line) const { return text_.LineStart(line); }
    size_t LineLength(size_t line) const;                              // without its CR LF
    size_t LineEnd(size_t line) const { return text_.LineEnd(line); }  // before its CR LF
    size_t LineOf(size_t pos) const { return text_.LineFeedsBefore(pos); }
    // Where characters and words start (TextBoundaries.h), the text's first position left
    // out: how many there are, how many before pos, and where the k-th (from 1) is.
    using Starts = TextTree::Kind;
    size_t StartCount(Starts kind) const { return text_.Total(kind); }
    size_t StartsBefore(Starts kind, size_t pos) const { return text_.CountBefore(kind, pos); }
    size_t NthStart(Starts kind, size_t k) const { return text_.FindNth(kind, k); }
    // In characters; never shrinks, and is at least the length of any line as an edit left
    // it (or as SetText made it).
    size_t LongestLine() const { return longestLine_; }

    // Replaces the selection with `text`; the caret then stands right after it. Either
    // succeeds or throws std::bad_alloc with the text unchanged.
    void ReplaceSelection(TextView text);

    const TextTree& Tree() const { return text_; }  // for tests: its shape and invariants

  private:
    struct LinesIn;
    void NoteLongestLine(size_t start, TextView text, const LinesIn& lines, size_t column) noexcept;

    TextTree text_;
    size_t anchor_ = 0;
    size_t caret_ = 0;
    size_t longestLine_ = 0;
};

template <class Take>
void TextStore::ReadRuns(size_t from, size_t to, bool backward, Take take) const {
    to = std::min(to, Length());
    if (from >= to) return;
    if (!backward) {
        text_.Read(from, [&](TextView run) {
            run = run.substr(0, to - from);
            const bool more = take(from, run);
            from += run.size();
            return more && from < to;
        });
        return;
    }
    text_.ReadBack(to, [&](TextView run) {
        if (run.size() > to - from) run.remove_prefix(run.size() - (to - from));
        to -= run.size();
        return take(to, run) && from < to;
    });
}

}  // namespace tarnwick
