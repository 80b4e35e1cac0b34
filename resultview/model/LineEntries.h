#pragma once
// Which entry of a walk each line of the listing is, kept beside the text so that a line's
// full path is built again from its ancestors' lines and the walk's root, whether the
// lines show full paths or bare names (leading blanks and all): four bytes a line and four
// an entry, and nothing asked of the file system. Lines that go in or out anywhere (a
// walk's lines go in at the caret) leave the others matched; a line that an edit cut or
// joined is no entry any more.
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/Text.h"
#include "resultview/model/TextStore.h"

namespace tarnwick {

class LineEntries {
  public:
    LineEntries() : records_(1) {}  // an empty text has one line

    // A walk of `root` (as the walk was given it) starts; the lines there are not its.
    void Begin(TextView root, bool bareNames);
    // These edit `text` as its own calls of the same names do, keeping the lines matched.
    // Either succeeds or throws std::bad_alloc with both unchanged.
    void SetText(TextStore& text, TextView with);
    void ReplaceSelection(TextStore& text, TextView with);
    // `line` (with its CR LF) is the walk's line of an entry at `level`; `realName` its
    // name where the line shows it otherwise, else empty.
    void ReplaceSelection(TextStore& text, TextView line, int32_t level, TextView realName);

    // The full path of the entry on `line`; none where the line is no entry or an
    // ancestor's line is gone.
    std::optional<Text> PathOf(const TextStore& text, size_t line) const;
    // The lines the selection covers (a line it only touches at its start left out), or
    // the caret's line.
    struct Lines {
        size_t first, last;
    };
    static Lines Selected(const TextStore& text);
    // The paths of those lines that are entries, each ended by CR LF but the last.
    Text PathsOf(const TextStore& text, Lines lines) const;
    // The first of them; none where no line is an entry.
    std::optional<Text> FirstPathOf(const TextStore& text, Lines lines) const;

  private:
    // One record a line: 0, or the entry's number (from 1). A gap stands where the last
    // edit was, so that lines added one after another at one place cost no move.
    class Records {
      public:
        explicit Records(size_t n) : data_(n), gapStart_(n), gapEnd_(n) {}
        size_t Size() const { return data_.size() - (gapEnd_ - gapStart_); }
        uint32_t operator[](size_t i) const { return data_[i < gapStart_ ? i : i + Gap()]; }
        void Reserve(size_t more);  // room to grow by `more`, so the next Replace can't fail
        // Replaces `count` records at `at` with `n`: `front`, none, ..., `back` (only `back`
        // where n is 1); room was reserved.
        void Replace(size_t at, size_t count, size_t n, uint32_t front, uint32_t back) noexcept;
        void Reset(size_t n);

      private:
        size_t Gap() const { return gapEnd_ - gapStart_; }
        void MoveGap(size_t at) noexcept;
        std::vector<uint32_t> data_;
        size_t gapStart_, gapEnd_;
    };
    class Builder;
    static constexpr uint32_t kRealName = 0x80000000u;  // in an entry's parent: a name kept

    uint32_t Parent(uint32_t id) const { return entries_[id - 1] & ~kRealName; }
    std::optional<size_t> LineOfEntry(uint32_t id) const;
    void Replace(TextStore& text, TextView with, uint32_t id);

    Records records_;
    std::vector<uint32_t> entries_;  // each entry's parent (0: the root's own)
    std::vector<uint32_t> open_;     // the last entry at each level: the next one's parent
    std::unordered_map<uint32_t, Text> realNames_;
    Text root_;  // with its final separator, as the lines show it
    bool bareNames_ = false;
    uint64_t version_ = 0;  // of the records, for the map below
    mutable uint64_t mapped_ = ~uint64_t{0};
    mutable std::vector<uint32_t> lineOf_;  // each entry's line + 1, once the lines moved
};

}  // namespace tarnwick
