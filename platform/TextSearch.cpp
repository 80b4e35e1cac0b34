#include "platform/TextSearch.h"

#include <algorithm>

namespace tarnwick {
namespace {

// Characters read at a time; a block reaches into the next as far as a match starting in
// it can, so a block is never less than a few needles long.
constexpr size_t kBlock = size_t{1} << 20;

}  // namespace

// Positions are asked in runs of this many whether any may hold a match: one vector each.
constexpr size_t kRun = 8;

TextSearch::TextSearch(TextView needle, const char16_t* fold) : fold_(fold) {
    needle_.reserve(needle.size());
    for (char16_t c : needle) needle_ += Folded(c);
    if (needle_.empty()) return;
    first_ = UnitsFor(needle_.front());
    last_ = UnitsFor(needle_.back());
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

// For each run of kRun positions from `window`, whether any has units that can begin and
// end the needle. The inner loop has no exit and the units are set once, so that it
// becomes vector compares: most of the text is read here, and only here. Only as many
// units are compared as differ: one, the first two, or all four.
template <size_t kCompared>
void MarkRunsWith(const char16_t* window, const char16_t* end, size_t runs, const char16_t* first,
                  const char16_t* last, unsigned char* marks) {
    const char16_t a = first[0], b = first[1], c = first[2], d = first[3];
    const char16_t e = last[0], f = last[1], g = last[2], h = last[3];
    for (size_t r = 0; r < runs; ++r) {
        char16_t hit = 0;
        for (size_t i = r * 8; i < r * 8 + 8; ++i) {
            if constexpr (kCompared == 1) {
                hit |= static_cast<char16_t>((window[i] == a) & (end[i] == e));
            } else if constexpr (kCompared == 2) {
                hit |= static_cast<char16_t>(((window[i] == a) | (window[i] == b)) &
                                             ((end[i] == e) | (end[i] == f)));
            } else {
                hit |= static_cast<char16_t>(
                    ((window[i] == a) | (window[i] == b) | (window[i] == c) | (window[i] == d)) &
                    ((end[i] == e) | (end[i] == f) | (end[i] == g) | (end[i] == h)));
            }
        }
        marks[r] = hit != 0;
    }
}

void TextSearch::MarkRuns(const char16_t* window, size_t runs, unsigned char* marks) const {
    static_assert(kRun == 8);
    if (first_.many || last_.many) return std::fill(marks, marks + runs, 1);
    const char16_t* end = window + needle_.size() - 1;
    const auto distinct = [](const Units& units) {
        return std::count_if(units.of + 1, units.of + kUnits,
                             [&](char16_t c) { return c != units.of[0]; });
    };
    const auto differ = std::max(distinct(first_), distinct(last_));
    if (differ == 0) return MarkRunsWith<1>(window, end, runs, first_.of, last_.of, marks);
    if (differ == 1)  // each holds at most two units, the first two
        return MarkRunsWith<2>(window, end, runs, first_.of, last_.of, marks);
    MarkRunsWith<4>(window, end, runs, first_.of, last_.of, marks);
}

bool TextSearch::MayMatchAt(const char16_t* at) const {
    const auto among = [](const Units& units, char16_t c) {
        return units.many ||
               ((c == units.of[0]) | (c == units.of[1]) | (c == units.of[2]) | (c == units.of[3]));
    };
    return among(first_, at[0]) && among(last_, at[needle_.size() - 1]);
}

// From the end: lines of a listing share their start (the path) more often than their end
// (the name). The text's own unit is tried before its folded one.
bool TextSearch::MatchesAt(const char16_t* at) const {
    for (size_t i = needle_.size(); i-- > 0;)
        if (at[i] != needle_[i] && Folded(at[i]) != needle_[i]) return false;
    return true;
}

// The first (or last) match starting at one of `starts` positions of the window, which has
// kRun units of room past its text.
size_t TextSearch::Scan(const char16_t* window, size_t starts, bool backward,
                        std::vector<unsigned char>& marks) const {
    const size_t runs = (starts + kRun - 1) / kRun;
    marks.resize(runs);
    MarkRuns(window, runs, marks.data());
    for (size_t k = 0; k < runs; ++k) {
        const size_t r = backward ? runs - 1 - k : k;
        if (!marks[r]) continue;
        for (size_t j = 0; j < kRun; ++j) {
            const size_t i = r * kRun + (backward ? kRun - 1 - j : j);
            if (i < starts && MayMatchAt(window + i) && MatchesAt(window + i)) return i;
        }
    }
    return kNone;
}

size_t TextSearch::Find(const TextStore& text, size_t from, size_t to, bool backward) const {
    const size_t m = needle_.size();
    to = std::min(to, text.Length());
    if (m == 0 || from >= to || m > to - from) return kNone;
    const size_t block = std::max(kBlock, 4 * m);
    const size_t starts = to - from - m + 1;  // where a match may begin
    const size_t blocks = (starts + block - 1) / block;
    std::vector<char16_t> window(std::min(block + m - 1, to - from) + kRun);
    std::vector<unsigned char> marks;
    for (size_t i = 0; i < blocks; ++i) {
        const size_t start = from + (backward ? blocks - 1 - i : i) * block;
        const size_t n = text.CopyTo(start, std::min(to - start, block + m - 1), window.data());
        const size_t at = n < m ? kNone : Scan(window.data(), n - m + 1, backward, marks);
        if (at != kNone) return start + at;
    }
    return kNone;
}

}  // namespace tarnwick
