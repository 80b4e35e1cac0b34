#include "cli/native/ListingResultBox.h"

#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

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

// The lines in pieces of the bytes a save writes, each line made after the one before in
// the same buffer, which keeps the last line given for the next to start from.
class ListingResultBox::Expander {
  public:
    explicit Expander(size_t longest) { piece_.reserve(kPieceBytes + 2 * longest); }
    // The lines of `used` bytes of a block, after those fed before; false when `take` stopped.
    bool Feed(const char* bytes, size_t used, const std::function<bool(std::string_view)>& take) {
        for (size_t at = 0; at < used;) {
            uint32_t head[2];
            std::memcpy(head, bytes + at, kHead);
            if (piece_.size() - given_ >= kPieceBytes) {
                if (!take(std::string_view(piece_).substr(given_))) return false;
                piece_.erase(0, last_);  // within its capacity: no allocation
                last_ = 0;
                given_ = piece_.size();
            }
            const size_t start = piece_.size();
            piece_.reserve(start + head[0] + head[1]);  // before the line before is copied
            piece_.append(piece_.data() + last_, head[0]);
            piece_.append(bytes + at + kHead, head[1]);
            last_ = start;
            at += kHead + head[1];
        }
        return true;
    }
    void Finish(const std::function<bool(std::string_view)>& take) {
        if (piece_.size() > given_) take(std::string_view(piece_).substr(given_));
    }

  private:
    std::string piece_;
    size_t last_ = 0, given_ = 0;  // where the last line starts; how much was given
};

// What the adding thread and the giving one share. The giving thread reads a block only
// once it is filled, and never while the blocks change.
struct ListingResultBox::Stream {
    std::mutex mutex;
    std::condition_variable changed;
    size_t filled = 0;     // blocks that take no more lines
    size_t given = 0;      // blocks given
    bool giving = false;   // a block is being given, outside the lock
    bool ending = false;   // no more lines come: the filled blocks are given, then it ends
    bool stopped = false;  // the blocks go: it ends now
    std::exception_ptr failure;
};

void ListingResultBox::Clear() {
    StopGiving();
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
        Block block{std::unique_ptr<char[]>(new char[size]), 0, size};
        std::unique_lock<std::mutex> lock;  // the giving thread reads the filled ones
        if (stream_) lock = std::unique_lock(stream_->mutex);
        blocks_.push_back(std::move(block));
        if (stream_) {
            stream_->filled = blocks_.size() - 1;
            stream_->changed.notify_all();
        }
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

// The held text's bytes, whole lines at a time. Their memory is taken before the first
// piece goes: running out of it never cuts what was given short.
void ListingResultBox::Expand(const std::function<bool(std::string_view)>& take) const {
    Expander expander(longest_);
    for (const Block& b : blocks_) {
        if (!expander.Feed(b.bytes.get(), b.used, take)) return;
    }
    expander.Finish(take);
}

// On the giving thread: each block once filled. What `take` throws ends it, for the adding
// thread to throw once done.
void ListingResultBox::Give(Stream& s, Expander& expander,
                            const std::function<bool(std::string_view)>& give) const {
    std::unique_lock lock(s.mutex);
    while (!s.stopped && !s.failure) {
        if (s.given == s.filled) {
            if (s.ending) return;
            s.changed.wait(lock);
            continue;
        }
        const Block& b = blocks_[s.given];
        const char* const bytes = b.bytes.get();
        const size_t used = b.used;
        s.giving = true;
        lock.unlock();
        std::exception_ptr failure;
        try {
            expander.Feed(bytes, used, give);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        s.giving = false;
        s.changed.notify_all();
        if (failure)
            s.failure = failure;
        else
            ++s.given;
    }
}

// Before the blocks change otherwise than by a line added: the giving thread ends first.
void ListingResultBox::StopGiving() {
    if (!stream_) return;
    std::unique_lock lock(stream_->mutex);
    stream_->stopped = true;
    stream_->changed.notify_all();
    stream_->changed.wait(lock, [this] { return !stream_->giving; });
}

bool ListingResultBox::GiveWhileAdding(uint32_t codePage, const std::function<void()>& adding,
                                       const std::function<void(std::string_view)>& take) {
    if (!held_ || codePage != kAnsiCodePage || stream_)
        return ResultBox::GiveWhileAdding(codePage, adding, take);
    Stream stream;
    stream.filled = blocks_.empty() ? 0 : blocks_.size() - 1;
    Expander expander(longest_);
    const std::function<bool(std::string_view)> give = [&](std::string_view bytes) {
        return take(bytes), true;
    };
    std::thread giver;
    try {
        giver = std::thread([&] { Give(stream, expander, give); });
    } catch (const std::system_error&) {
        return ResultBox::GiveWhileAdding(codePage, adding, take);
    }
    stream_ = &stream;
    // The giving thread ends before this returns, whatever `adding` throws.
    const auto end = [&](bool now) {
        {
            std::lock_guard lock(stream.mutex);
            (now ? stream.stopped : stream.ending) = true;
            stream.changed.notify_all();
        }
        giver.join();
        stream_ = nullptr;
    };
    try {
        adding();
    } catch (...) {
        end(true);
        throw;
    }
    end(false);
    if (stream.failure) std::rethrow_exception(stream.failure);
    if (stream.stopped) return false;  // the text left the code page meanwhile
    for (size_t b = stream.given; b < blocks_.size(); ++b)
        expander.Feed(blocks_[b].bytes.get(), blocks_[b].used, give);
    expander.Finish(give);
    return true;
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
