// POSIX names differ by case, and the shell's and find's patterns hold them apart too.
#include "platform/NameCase.h"

namespace tarnwick {

WildcardRules SystemWildcardRules() {
    return {false, false};
}

void FoldCase(Text&) {}

}  // namespace tarnwick
