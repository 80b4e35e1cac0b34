#include "resultview/win32/CaseFold.h"

#include <windows.h>

#include <vector>

#include "resultview/model/TextSearch.h"

namespace tarnwick::win32 {

// Each code unit in upper case, as CharUpperBuffW gives it: a search then folds what it
// reads by a look-up.
const char16_t* UpperCase() {
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> upper(TextSearch::kFoldSize);
        for (size_t c = 0; c < upper.size(); ++c) upper[c] = static_cast<char16_t>(c);
        CharUpperBuffW(reinterpret_cast<wchar_t*>(upper.data()), 0xD800);
        CharUpperBuffW(reinterpret_cast<wchar_t*>(upper.data() + 0xE000), 0x2000);
        return upper;
    }();
    return table.data();
}

}  // namespace tarnwick::win32
