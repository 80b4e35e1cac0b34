#include "cli/NameFilter.h"

namespace tarnwick {
namespace {

// Where the character at `at` ends: a surrogate pair is one character.
size_t NextCharacter(TextView s, size_t at) {
    const bool pair = at + 1 < s.size() && IsHighSurrogate(s[at]) && IsLowSurrogate(s[at + 1]);
    return at + (pair ? 2 : 1);
}

// Left to right, going back only to the last star met: linear for most patterns, and
// never more than the pattern's length times the name's.
bool Matches(TextView p, TextView n) {
    size_t pi = 0, ni = 0, starP = TextView::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && p[pi] == u'*') {
            starP = ++pi;
            starN = ni;
        } else if (pi < p.size() && p[pi] == u'?') {
            ++pi;
            ni = NextCharacter(n, ni);
        } else if (pi < p.size() && p[pi] == n[ni]) {
            ++pi;
            ++ni;
        } else if (starP != TextView::npos) {
            pi = starP;
            ni = starN = NextCharacter(n, starN);
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'*') ++pi;
    return pi == p.size();
}

}  // namespace

bool WildcardMatches(TextView pattern, TextView name, const WildcardRules& rules) {
    if (Matches(pattern, name)) return true;
    // As FindFirstFile reads "x.*": x with any extension, or none.
    return rules.dotStarMatchesAll && pattern.ends_with(u".*") &&
           Matches(pattern.substr(0, pattern.size() - 2), name);
}

NameFilter::NameFilter(std::vector<Text> include, std::vector<Text> exclude, WildcardRules rules)
    : include_(std::move(include)), exclude_(std::move(exclude)), rules_(rules) {
    if (!rules_.ignoreCase) return;
    for (Text& p : include_) FoldCase(p);
    for (Text& p : exclude_) FoldCase(p);
}

bool NameFilter::AnyMatches(const std::vector<Text>& patterns, TextView name) const {
    for (const Text& p : patterns)
        if (WildcardMatches(p, name, rules_)) return true;
    return false;
}

// Asked on the read-ahead's threads as well: the folded name is each thread's own.
bool NameFilter::Keeps(TextView name, bool folder) const {
    thread_local Text folded;
    if (rules_.ignoreCase) {
        folded.assign(name);
        FoldCase(folded);
        name = folded;
    }
    if (AnyMatches(exclude_, name)) return false;
    return folder || include_.empty() || AnyMatches(include_, name);
}

}  // namespace tarnwick
