#pragma once
// How the system matches a name against a wildcard pattern (`*`, `?`) beyond the two
// wildcards themselves.
#include "platform/Text.h"

namespace tarnwick {

struct WildcardRules {
    bool ignoreCase;         // names that differ only in case match alike
    bool dotStarMatchesAll;  // "x.*" matches "x" too, so "*.*" matches every name
};

WildcardRules SystemWildcardRules();

// `name` in the one case the system compares names in where it ignores case.
void FoldCase(Text& name);

}  // namespace tarnwick
