#include "platform/native/ListingResultBox.h"

#include "platform/native/NativeAnsi.h"

namespace tarnwick::native {
namespace {

constexpr size_t kBlockBytes = size_t{4} << 20;  // a console takes it in one write

}  // namespace

Text ListingResultBox::GetText() const {
    if (!held_) return store_.GetText();
    Text text;
    for (const Block& b : blocks_) AppendFromAnsi({b.bytes.get(), b.used}, text);
    return text;
}

void ListingResultBox::SetText(TextView text) {
    if (text.empty()) {
        store_.SetText(text);
        blocks_.clear();
        held_ = true;
        return;
    }
    store_.SetText(text);  // the caret at the start: lines would go in before the text
    blocks_.clear();
    held_ = false;
}

// A block's bytes are left as they come: only those below `used` are ever read.
char* ListingResultBox::RoomFor(size_t bytes) {
    if (blocks_.empty() || blocks_.back().size - blocks_.back().used < bytes) {
        const size_t size = std::max(kBlockBytes, bytes);
        blocks_.push_back({std::unique_ptr<char[]>(new char[size]), 0, size});
    }
    return blocks_.back().bytes.get() + blocks_.back().used;
}

bool ListingResultBox::SetSelText(TextView text) {
    if (text.empty()) return true;
    if (held_) {
        char* room = RoomFor(text.size() * 2);
        if (const auto n = ToAnsiReversibly(text, room)) {
            blocks_.back().used += *n;
            return true;
        }
        ToStore();
    }
    store_.ReplaceSelection(text);
    return true;
}

// The text held so far, into the store with the caret at its end.
// Made aside first: if memory runs out, the text stays held as it was.
void ListingResultBox::ToStore() {
    TextStore store;
    for (const Block& b : blocks_) {
        Text piece;
        AppendFromAnsi({b.bytes.get(), b.used}, piece);
        store.ReplaceSelection(piece);
    }
    store_ = std::move(store);
    blocks_.clear();
    held_ = false;
}

void ListingResultBox::ForEachPiece(const std::function<bool(TextView)>& take) const {
    if (!held_) return store_.ForEachPiece(take);
    for (const Block& b : blocks_) {
        Text piece;
        AppendFromAnsi({b.bytes.get(), b.used}, piece);
        if (!take(piece)) return;
    }
}

bool ListingResultBox::ForEachPieceIn(uint32_t codePage,
                                      const std::function<bool(std::string_view)>& take) const {
    if (!held_ || codePage != kAnsiCodePage) return false;
    for (const Block& b : blocks_)
        if (b.used && !take({b.bytes.get(), b.used})) break;
    return true;
}

}  // namespace tarnwick::native
