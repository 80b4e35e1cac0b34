// Windows matches names as FindFirstFile does: case ignored, "*.*" for every name.
#include <windows.h>

#include "platform/NameCase.h"

namespace tarnwick {

WildcardRules SystemWildcardRules() {
    return {true, true};
}

// Upper case by the invariant rules, as the file system's own table folds names.
void FoldCase(Text& name) {
    if (name.empty()) return;
    const int n = static_cast<int>(name.size());
    auto* chars = reinterpret_cast<wchar_t*>(name.data());
    LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, chars, n, chars, n);  // in place is allowed
}

}  // namespace tarnwick
