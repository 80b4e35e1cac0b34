#include "resultview/model/TextSearch.h"

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tarnwick {
namespace {

// Characters copied at a time: 32 KB, so that the buffer is still in the first-level cache
// when they are compared. A block reaches into the next as far as a match starting in it
// can, so a block is never less than a few needles long.
constexpr size_t kBlock = size_t{1} << 14;
// Positions asked at a time whether any may hold a match: two vectors of eight units.
constexpr size_t kStep = 16;
constexpr uint32_t kAll = (uint32_t{1} << kStep) - 1;
// A longer needle is looked for through copies alone: in place, the positions whose match
// would run into the next leaf would be most of a leaf's.
constexpr size_t kInPlaceLongest = 256;

// Which of kStep positions from `at` have one of the first kCompared units of `first`, and
// one of `last`'s at `end` - `at` further on: one bit each.
template <int kCompared>
class Anchors {
  public:
#ifdef __SSE2__
    Anchors(const char16_t* first, const char16_t* last) {
        for (int i = 0; i < kCompared; ++i) {
            first_[i] = _mm_set1_epi16(static_cast<short>(first[i]));
            last_[i] = _mm_set1_epi16(static_cast<short>(last[i]));
        }
    }
    uint32_t operator()(const char16_t* at, const char16_t* end) const {
        const __m128i low = _mm_and_si128(AnyOf(at, first_), AnyOf(end, last_));
        const __m128i high = _mm_and_si128(AnyOf(at + 8, first_), AnyOf(end + 8, last_));
        return static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
    }

  private:
    static __m128i AnyOf(const char16_t* at, const __m128i* units) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        __m128i hit = _mm_cmpeq_epi16(v, units[0]);
        for (int i = 1; i < kCompared; ++i) hit = _mm_or_si128(hit, _mm_cmpeq_epi16(v, units[i]));
        return hit;
    }
    __m128i first_[kCompared], last_[kCompared];
#else
    Anchors(const char16_t* first, const char16_t* last) : first_(first), last_(last) {}
    uint32_t operator()(const char16_t* at, const char16_t* end) const {
        uint32_t bits = 0;
        for (size_t i = 0; i < kStep; ++i)
            bits |= uint32_t{AnyOf(at[i], first_) && AnyOf(end[i], last_)} << i;
        return bits;
    }

  private:
    static bool AnyOf(char16_t c, const char16_t* units) {
        return std::find(units, units + kCompared, c) != units + kCompared;
    }
    const char16_t* first_;
    const char16_t* last_;
#endif
};

struct AnyPosition {  // an end with more units than compared: every position is looked at
    AnyPosition(const char16_t*, const char16_t*) {}
    uint32_t operator()(const char16_t*, const char16_t*) const { return kAll; }
};

int LowestBit(uint32_t bits) {
    return __builtin_ctz(bits);
}
int HighestBit(uint32_t bits) {
    return 31 - __builtin_clz(bits);
}

}  // namespace

TextSearch::TextSearch(TextView needle, const char16_t* fold) : fold_(fold) {
    needle_.reserve(needle.size());
    for (char16_t c : needle) needle_ += Folded(c);
    if (needle_.empty()) return;
    first_ = UnitsFor(needle_.front());
    last_ = UnitsFor(needle_.back());
    // Only as many units are compared as differ: one, the first two, or all four.
    const auto distinct = [](const Units& units) {
        return std::count_if(units.of + 1, units.of + kUnits,
                             [&](char16_t c) { return c != units.of[0]; });
    };
    const auto differ = std::max(distinct(first_), distinct(last_));
    compared_ = first_.many || last_.many ? 0 : differ == 0 ? 1 : differ == 1 ? 2 : 4;
}

TextSearch::Units TextSearch::UnitsFor(char16_t folded) const {
    Units units;
    size_t n = 0;
    for (size_t c = 0; c < kFoldSize && !units.many; ++c) {
        if (Folded(static_cast<char16_t>(c)) != folded) continue;
        if (n == kUnits) units.many = true;
        if (n < kUnits) units.of[n++] = static_cast<char16_t>(c);
    }
    std::fill(units.of + n, units.of + kUnits, units.of[0]);
    return units;
}

// From the end: lines of a listing share their start (the path) more often than their end
// (the name). The text's own unit is tried before its folded one.
bool TextSearch::MatchesAt(const char16_t* at) const {
    for (size_t i = needle_.size(); i-- > 0;)
        if (at[i] != needle_[i] && Folded(at[i]) != needle_[i]) return false;
    return true;
}

// The first (or last) match starting at one of `starts` positions from `at`, where the
// text runs on for at least kStep - 1 units past the last one's match. Most of the text is
// read here, and only here.
template <class Anchors>
size_t TextSearch::ScanWith(const char16_t* at, size_t starts, bool backward) const {
    const Anchors anchors(first_.of, last_.of);
    const size_t steps = (starts + kStep - 1) / kStep;
    const size_t toEnd = needle_.size() - 1;
    for (size_t k = 0; k < steps; ++k) {
        const size_t step = (backward ? steps - 1 - k : k) * kStep;
        uint32_t bits = anchors(at + step, at + step + toEnd);
        if (starts - step < kStep) bits &= (uint32_t{1} << (starts - step)) - 1;
        while (bits != 0) {
            const int i = backward ? HighestBit(bits) : LowestBit(bits);
            if (MatchesAt(at + step + static_cast<size_t>(i))) return step + i;
            bits &= ~(uint32_t{1} << i);
        }
    }
    return kNone;
}

size_t TextSearch::Scan(const char16_t* at, size_t starts, bool backward) const {
    switch (compared_) {
        case 1:
            return ScanWith<Anchors<1>>(at, starts, backward);
        case 2:
            return ScanWith<Anchors<2>>(at, starts, backward);
        case 4:
            return ScanWith<Anchors<4>>(at, starts, backward);
    }
    return ScanWith<AnyPosition>(at, starts, backward);
}

// The first (or last) match starting in [from, limit), read through copies into `window`.
size_t TextSearch::FindCopied(const TextStore& text, size_t from, size_t limit, bool backward,
                              std::vector<char16_t>& window) const {
    const size_t m = needle_.size();
    const size_t block = std::max(kBlock, 4 * m);
    const size_t blocks = (limit - from + block - 1) / block;
    const size_t room = std::min(block, limit - from) + m - 1 + kStep;
    if (window.size() < room) window.resize(room);
    for (size_t i = 0; i < blocks; ++i) {
        const size_t start = from + (backward ? blocks - 1 - i : i) * block;
        const size_t starts = std::min(block, limit - start);
        text.CopyTo(start, starts + m - 1, window.data());
        const size_t at = Scan(window.data(), starts, backward);
        if (at != kNone) return start + at;
    }
    return kNone;
}

size_t TextSearch::Find(const TextStore& text, size_t from, size_t to, bool backward) const {
    const size_t m = needle_.size();
    to = std::min(to, text.Length());
    if (m == 0 || from >= to || m > to - from) return kNone;
    const size_t limit = to - m + 1;  // where a match may begin, below this
    std::vector<char16_t> window;
    if (m > kInPlaceLongest) return FindCopied(text, from, limit, backward, window);
    // Each run's starts whose loads stay inside it are scanned in place, whole steps only;
    // the rest of its starts through a copy.
    size_t found = kNone;
    text.ReadRuns(from, to, backward, [&](size_t start, TextView run) {
        if (start >= limit) return true;
        const size_t starts = std::min(run.size(), limit - start);
        const size_t inPlace =
            run.size() < m + kStep - 1 ? 0 : (run.size() - m - kStep + 1) / kStep * kStep + kStep;
        const auto copied = [&] {
            if (inPlace == starts) return kNone;
            return FindCopied(text, start + inPlace, start + starts, backward, window);
        };
        const auto scanned = [&] {
            const size_t at = Scan(run.data(), inPlace, backward);
            return at == kNone ? kNone : start + at;
        };
        found = backward ? copied() : scanned();
        if (found == kNone) found = backward ? scanned() : copied();
        return found == kNone;
    });
    return found;
}

}  // namespace tarnwick
