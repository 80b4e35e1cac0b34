#pragma once
// Finding a text in the listing, as automation clients ask for it: the range is read a
// block at a time into one buffer (never a copy of the whole), and each run of positions
// is first asked, in a loop the compiler turns into vector instructions, whether any has a
// unit that can begin the needle and, the needle's length on, one that can end it; only
// such runs are looked at closely. Case is ignored through a table that folds each code
// unit, which the platform fills.
#include <cstddef>
#include <vector>

#include "platform/TextStore.h"

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
    bool MayMatchAt(const char16_t* at) const;
    void MarkRuns(const char16_t* window, size_t runs, unsigned char* marks) const;
    size_t Scan(const char16_t* window, size_t starts, bool backward,
                std::vector<unsigned char>& marks) const;
    bool MatchesAt(const char16_t* at) const;

    Text needle_;  // folded
    const char16_t* fold_;
    Units first_{}, last_{};
};

}  // namespace tarnwick
