#include "platform/native/ListingResultBox.h"

#include <cstring>

#include "platform/native/NativeAnsi.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tarnwick::native {
namespace {

constexpr size_t kBlockBytes = size_t{4} << 20;
constexpr size_t kHead = 8;                        // bytes shared, bytes of its own
constexpr size_t kPieceBytes = size_t{256} << 10;  // the save's, as it writes them

// How many units two texts start with alike, eight at a time.
size_t CommonStart(TextView a, TextView b) {
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
#ifdef __SSE2__
    for (; n - i >= 8; i += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a.data() + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b.data() + i));
        const int same = _mm_movemask_epi8(_mm_cmpeq_epi16(x, y));
        if (same != 0xFFFF) return i + static_cast<size_t>(__builtin_ctz(~same)) / 2;
    }
#endif
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

// Where `c` is first found in `text` from `from` on, eight units at a time; npos if nowhere.
size_t Find(TextView text, char16_t c, size_t from) {
    size_t i = from;
#ifdef __SSE2__
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(c));
    for (; text.size() - i >= 8; i += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const int found = _mm_movemask_epi8(_mm_cmpeq_epi16(x, wanted));
        if (found) return i + static_cast<size_t>(__builtin_ctz(found)) / 2;
    }
#endif
    return text.find(c, i);
}

}  // namespace

void ListingResultBox::Clear() {
    blocks_.clear();
    last_.text.clear();
    last_.separators.clear();
    longest_ = 0;
}

void ListingResultBox::SetText(TextView text) {
    store_.SetText(text);  // first: if it fails, nothing has changed
    Clear();
    held_ = text.empty();  // else the caret is at the start: lines would go in before the text
}

// A block's bytes are left as they come: only those below `used` are ever read.
char* ListingResultBox::RoomFor(size_t bytes) {
    if (blocks_.empty() || blocks_.back().size - blocks_.back().used < bytes) {
        const size_t size = std::max(kBlockBytes, bytes);
        blocks_.push_back({std::unique_ptr<char[]>(new char[size]), 0, size});
    }
    return blocks_.back().bytes.get() + blocks_.back().used;
}

// The text's bytes after those it shares with the last text's, a folder's name at a time to
// learn where its separators fall; false when the code page can't hold them. Nothing
// changes until all is made.
bool ListingResultBox::Hold(TextView text) {
    const size_t common = CommonStart(last_.text, text);
    size_t kept = 0;
    while (kept < last_.separators.size() && last_.separators[kept].first < common) ++kept;
    const size_t from = kept ? last_.separators[kept - 1].first + 1 : 0;
    const size_t shared = kept ? last_.separators[kept - 1].second + 1 : 0;
    char* const room = RoomFor(kHead + (text.size() - from) * 2);
    added_.clear();
    size_t own = 0;
    for (size_t at = from; at < text.size();) {
        const size_t separator = Find(text, kSeparator, at);
        const size_t end = separator == TextView::npos ? text.size() : separator + 1;
        const auto n = ToAnsiReversibly(text.substr(at, end - at), room + kHead + own);
        if (!n) return false;
        own += *n;
        if (separator != TextView::npos)
            added_.push_back(
                {static_cast<uint32_t>(separator), static_cast<uint32_t>(shared + own - 1)});
        at = end;
    }
    const uint32_t head[2] = {static_cast<uint32_t>(shared), static_cast<uint32_t>(own)};
    std::memcpy(room, head, kHead);
    blocks_.back().used += kHead + own;
    // Only what differs is copied: most of a line is its folder's path, the last line's too.
    last_.text.resize(common);
    last_.text.append(text.substr(common));
    last_.separators.resize(kept);
    last_.separators.insert(last_.separators.end(), added_.begin(), added_.end());
    longest_ = std::max(longest_, shared + own);
    return true;
}

bool ListingResultBox::SetSelText(TextView text) {
    if (text.empty()) return true;
    if (held_ && Hold(text)) return true;
    if (held_) ToStore();
    store_.ReplaceSelection(text);
    return true;
}

// The held text's bytes, whole lines at a time, each line made after the one before in the
// same buffer, which keeps the last line given for the next to start from. Its memory is
// taken before the first piece goes: running out of it never cuts what was given short.
void ListingResultBox::Expand(const std::function<bool(std::string_view)>& take) const {
    std::string piece;
    piece.reserve(kPieceBytes + 2 * longest_);
    size_t last = 0, given = 0;  // where the last line starts; how much was given
    for (const Block& b : blocks_) {
        for (size_t at = 0; at < b.used;) {
            uint32_t head[2];
            std::memcpy(head, b.bytes.get() + at, kHead);
            if (piece.size() - given >= kPieceBytes) {
                if (!take(std::string_view(piece).substr(given))) return;
                piece.erase(0, last);  // within its capacity: no allocation
                last = 0;
                given = piece.size();
            }
            const size_t start = piece.size();
            piece.append(piece.data() + last, head[0]);
            piece.append(b.bytes.get() + at + kHead, head[1]);
            last = start;
            at += kHead + head[1];
        }
    }
    if (piece.size() > given) take(std::string_view(piece).substr(given));
}

Text ListingResultBox::GetText() const {
    if (!held_) return store_.GetText();
    Text text;
    Expand([&](std::string_view bytes) { return AppendFromAnsi(bytes, text), true; });
    return text;
}

void ListingResultBox::ForEachPiece(const std::function<bool(TextView)>& take) const {
    if (!held_) return store_.ForEachPiece(take);
    Expand([&](std::string_view bytes) {
        Text piece;
        AppendFromAnsi(bytes, piece);
        return take(piece);
    });
}

bool ListingResultBox::ForEachPieceIn(uint32_t codePage,
                                      const std::function<bool(std::string_view)>& take) const {
    if (!held_ || codePage != kAnsiCodePage) return false;
    Expand(take);
    return true;
}

// The text held so far, into the store with the caret at its end. Made aside first: if
// memory runs out, the text stays held as it was.
void ListingResultBox::ToStore() {
    TextStore store;
    Expand([&](std::string_view bytes) {
        Text piece;
        AppendFromAnsi(bytes, piece);
        store.ReplaceSelection(piece);
        return true;
    });
    store_ = std::move(store);
    Clear();
    held_ = false;
}

}  // namespace tarnwick::native
