#include "platform/TextStore.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {

// Room for `count` blocks, grown geometrically so the table is seldom copied.
void TextStore::Reserve(size_t count) {
    if (count > blocks_.capacity()) blocks_.reserve(std::max(count, 2 * blocks_.capacity()));
}

TextStore::Block TextStore::NewBlock() {
    return Block{std::make_unique_for_overwrite<char16_t[]>(kBlockSize), 0};
}

Text TextStore::GetText() const {
    Text text;
    text.reserve(length_);
    for (const Block& b : blocks_) text.append(b.data.get(), b.size);
    return text;
}

void TextStore::ForEachPiece(const std::function<bool(TextView)>& take) const {
    Text piece;
    piece.reserve(std::min(length_, kPiece));
    for (const Block& b : blocks_) {
        for (size_t from = 0; from < b.size;) {
            const size_t n = std::min(b.size - from, kPiece - piece.size());
            piece.append(b.data.get() + from, n);
            from += n;
            if (piece.size() < kPiece) continue;
            const bool high = piece.back() >= 0xD800 && piece.back() < 0xDC00;
            if (!take(TextView(piece).substr(0, kPiece - high))) return;
            piece.erase(0, kPiece - high);  // the high half waits for its partner
        }
    }
    if (!piece.empty()) take(piece);
}

size_t TextStore::Count(char16_t c) const {
    size_t n = 0;
    for (const Block& b : blocks_)
        n += static_cast<size_t>(std::count(b.data.get(), b.data.get() + b.size, c));
    return n;
}

void TextStore::SetText(TextView text) {
    TextStore fresh;
    fresh.ReplaceSelection(text);  // if this fails, the old text stays
    fresh.Select(0, 0);
    *this = std::move(fresh);
}

void TextStore::Select(size_t anchor, size_t caret) {
    anchor_ = std::min(anchor, length_);
    caret_ = std::min(caret, length_);
}

void TextStore::ReplaceSelection(TextView text) {
    const size_t start = SelStart();
    const size_t end = SelEnd();
    const size_t firstLine = LineOf(start);
    // With room for every new line start reserved, the index grows without allocating.
    const size_t needed =
        lineStarts_.size() + static_cast<size_t>(std::count(text.begin(), text.end(), u'\n'));
    if (needed > lineStarts_.capacity())
        lineStarts_.reserve(std::max(needed, 2 * lineStarts_.capacity()));
    // Insert first: if that fails for want of memory, the selected text is still there.
    Insert(end, text);
    Erase(start, end - start);
    anchor_ = caret_ = start + text.size();
    IndexLinesFrom(firstLine);
}

// Renumbers the line starts after `line`, whose own start is unchanged; an append only
// reads what was added to the last line.
void TextStore::IndexLinesFrom(size_t line) {
    lineStarts_.resize(line + 1);
    size_t pos = lineStarts_[line];
    char16_t previous = 0;
    if (pos < length_) {
        const Place p = Locate(pos);
        for (size_t b = p.block; b < blocks_.size(); ++b) {
            const Block& block = blocks_[b];
            for (size_t i = b == p.block ? p.offset : 0; i < block.size; ++i, ++pos) {
                const char16_t c = block.data[i];
                if (c == u'\n') {
                    const size_t length = pos - lineStarts_.back() - (previous == u'\r' ? 1 : 0);
                    longestLine_ = std::max(longestLine_, length);
                    lineStarts_.push_back(pos + 1);
                }
                previous = c;
            }
        }
    }
    longestLine_ = std::max(longestLine_, length_ - lineStarts_.back());
}

char16_t TextStore::At(size_t pos) const {
    const Place p = Locate(pos);
    return blocks_[p.block].data[p.offset];
}

size_t TextStore::LineLength(size_t line) const {
    const size_t start = lineStarts_[line];
    size_t end = line + 1 < lineStarts_.size() ? lineStarts_[line + 1] - 1 : length_;  // at the LF
    if (end > start && line + 1 < lineStarts_.size() && At(end - 1) == u'\r') --end;
    return end - start;
}

size_t TextStore::LineOf(size_t pos) const {
    return static_cast<size_t>(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), pos) -
                               lineStarts_.begin()) -
           1;
}

Text TextStore::Substr(size_t pos, size_t count) const {
    Text out;
    if (pos >= length_) return out;
    count = std::min(count, length_ - pos);
    out.reserve(count);
    Place p = Locate(pos);
    while (out.size() < count) {
        const Block& b = blocks_[p.block];
        const size_t n = std::min(count - out.size(), b.size - p.offset);
        out.append(b.data.get() + p.offset, n);
        p = {p.block + 1, 0};
    }
    return out;
}

// The block holding `pos`; the end of the text is the end of the last block.
TextStore::Place TextStore::Locate(size_t pos) const {
    if (pos * 2 < length_) {
        size_t b = 0;
        while (pos >= blocks_[b].size) pos -= blocks_[b++].size;
        return {b, pos};
    }
    size_t b = blocks_.size();
    size_t after = length_ - pos;  // characters from pos to the end
    while (b > 0 && after > blocks_[b - 1].size) after -= blocks_[--b].size;
    if (b == 0) return {0, 0};
    return {b - 1, blocks_[b - 1].size - after};
}

void TextStore::Append(TextView text) {
    // The blocks it takes are allocated before anything changes.
    const size_t room = blocks_.empty() ? 0 : kBlockSize - blocks_.back().size;
    const size_t extra =
        text.size() > room ? (text.size() - room + kBlockSize - 1) / kBlockSize : 0;
    std::vector<Block> fresh(extra);
    for (Block& b : fresh) b = NewBlock();
    Reserve(blocks_.size() + extra);

    length_ += text.size();
    if (room > 0) {
        Block& last = blocks_.back();
        const size_t n = std::min(text.size(), room);
        std::memcpy(last.data.get() + last.size, text.data(), n * sizeof(char16_t));
        last.size += n;
        text.remove_prefix(n);
    }
    for (Block& b : fresh) {
        b.size = std::min(text.size(), kBlockSize);
        std::memcpy(b.data.get(), text.data(), b.size * sizeof(char16_t));
        text.remove_prefix(b.size);
        blocks_.push_back(std::move(b));
    }
}

void TextStore::Insert(size_t pos, TextView text) {
    if (text.empty()) return;
    if (pos >= length_) return Append(text);
    const Place at = Locate(pos);
    Block& block = blocks_[at.block];
    if (block.size + text.size() <= kBlockSize) {
        char16_t* p = block.data.get() + at.offset;
        std::memmove(p + text.size(), p, (block.size - at.offset) * sizeof(char16_t));
        std::memcpy(p, text.data(), text.size() * sizeof(char16_t));
        block.size += text.size();
        length_ += text.size();
        return;
    }
    // Split the block: the new text and the block's tail refill it and the blocks after it.
    // Everything that can fail happens before the first change.
    Text moved;
    moved.reserve(text.size() + block.size - at.offset);
    moved.append(text);
    moved.append(block.data.get() + at.offset, block.size - at.offset);
    const size_t room = kBlockSize - at.offset;
    std::vector<Block> fresh;
    for (size_t from = room; from < moved.size(); from += kBlockSize) {
        Block b = NewBlock();
        b.size = std::min(kBlockSize, moved.size() - from);
        std::memcpy(b.data.get(), moved.data() + from, b.size * sizeof(char16_t));
        fresh.push_back(std::move(b));
    }
    Reserve(blocks_.size() + fresh.size());

    Block& target = blocks_[at.block];  // the reserve may have moved it
    std::memcpy(target.data.get() + at.offset, moved.data(), room * sizeof(char16_t));
    target.size = kBlockSize;
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(at.block + 1),
                   std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
    length_ += text.size();
}

void TextStore::Erase(size_t pos, size_t count) {
    while (count > 0) {
        const Place at = Locate(pos);
        Block& block = blocks_[at.block];
        const size_t n = std::min(count, block.size - at.offset);
        char16_t* p = block.data.get() + at.offset;
        std::memmove(p, p + n, (block.size - at.offset - n) * sizeof(char16_t));
        block.size -= n;
        length_ -= n;
        count -= n;
        if (block.size == 0) blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(at.block));
    }
}

}  // namespace tarnwick
