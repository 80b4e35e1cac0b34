#pragma once
// Finding a text in the listing, as automation clients ask for it. The text is read where
// its tree holds it, a leaf at a time, and sixteen positions at a time are asked, with a
// few vector compares, whether any has a unit that can begin the needle and, the needle's
// length on, one that can end it; only those are compared in full. Only the few positions
// of a match that would run into the next leaf, or a long needle, are read through a copy
// into a small buffer, which stays in the processor's cache. Case is ignored through a
// table that folds each code unit, which the platform fills.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "resultview/model/TextStore.h"

namespace tarnwick {

class TextSearch {
  public:
    static constexpr size_t kNone = static_cast<size_t>(-1);
    static constexpr size_t kFoldSize = 0x10000;

    // `fold` holds kFoldSize code units, each unit's folded form; null compares as they are.
    TextSearch(TextView needle, const char16_t* fold);

    // The first match in [from, to), or the last one (backward); kNone if there is none.
    size_t Find(const TextStore& text, size_t from, size_t to, bool backward) const;

  private:
    static constexpr size_t kUnits = 4;
    struct Units {  // the units that fold to one of the needle's, repeated to fill
        char16_t of[kUnits];
        bool many = false;  // more than kUnits: every unit is looked at closely
    };
    Units UnitsFor(char16_t folded) const;
    char16_t Folded(char16_t c) const { return fold_ ? fold_[c] : c; }
    size_t FindCopied(const TextStore& text, size_t from, size_t limit, bool backward,
                      std::vector<char16_t>& window) const;
    size_t Scan(const char16_t* at, size_t starts, bool backward) const;
    template <class Anchors>
    size_t ScanWith(const char16_t* at, size_t starts, bool backward) const;
    bool MatchesAt(const char16_t* at) const;

    Text needle_;  // folded
    const char16_t* fold_;
    Units first_{}, last_{};
    int compared_ = 0;  // units compared at each end: 1, 2 or 4; 0 when every one may match
};

}  // namespace tarnwick
