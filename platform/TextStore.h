#pragma once
// The text of a multi-line box held in fixed blocks, so that appending a line costs the
// same however long the text is, and growing it never copies what is already there. An
// index of line starts lets a view find any line at once.
#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Text.h"

namespace tarnwick {

class TextStore {
  public:
    size_t Length() const { return length_; }
    size_t Count(char16_t c) const;  // occurrences of one character, without a copy of the text
    Text GetText() const;
    // The text a piece at a time, without a copy of the whole: pieces of at most kPiece
    // characters, never ending between the halves of a surrogate pair. `take` returns
    // false to stop.
    static constexpr size_t kPiece = size_t{1} << 20;
    void ForEachPiece(const std::function<bool(TextView)>& take) const;
    void SetText(TextView text);  // the caret goes to the start, as in an edit box

    // A selection from `anchor` to `caret`; positions past the end stand for the end.
    void Select(size_t anchor, size_t caret);
    size_t SelStart() const { return std::min(anchor_, caret_); }
    size_t SelEnd() const { return std::max(anchor_, caret_); }
    size_t Anchor() const { return anchor_; }
    size_t Caret() const { return caret_; }

    Text Substr(size_t pos, size_t count) const;

    // Lines end at each LF (the CR before it belongs to the line's end); a text ending in
    // CR LF has an empty last line, as in an edit box.
    size_t LineCount() const { return lineStarts_.size(); }
    size_t LineStart(size_t line) const { return lineStarts_[line]; }
    size_t LineLength(size_t line) const;  // without its CR LF
    size_t LineOf(size_t pos) const;
    size_t LongestLine() const { return longestLine_; }  // in characters; never shrinks

    // Replaces the selection with `text`; the caret then stands right after it. Either
    // succeeds or throws std::bad_alloc with the text unchanged.
    void ReplaceSelection(TextView text);

  private:
    static constexpr size_t kBlockSize = size_t{1} << 15;
    struct Block {
        std::unique_ptr<char16_t[]> data;
        size_t size = 0;
    };
    struct Place {
        size_t block;
        size_t offset;
    };

    Place Locate(size_t pos) const;
    void Insert(size_t pos, TextView text);
    void Append(TextView text);
    void Erase(size_t pos, size_t count);
    static Block NewBlock();
    void Reserve(size_t count);
    void IndexLinesFrom(size_t line);
    char16_t At(size_t pos) const;

    std::vector<Block> blocks_;
    size_t length_ = 0;
    size_t anchor_ = 0;
    size_t caret_ = 0;
    std::vector<size_t> lineStarts_{0};
    size_t longestLine_ = 0;
};

}  // namespace tarnwick
