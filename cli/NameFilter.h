#pragma once
// /list's /include and /exclude: wildcard patterns (`*` any run of characters, `?` one
// character) matched against whole names by the system's rules.
#include <vector>

#include "listing/FolderEnumeration.h"
#include "platform/NameCase.h"

namespace tarnwick {

// True when `name` matches `pattern` as given (any case folding done by the caller).
bool WildcardMatches(TextView pattern, TextView name, const WildcardRules& rules);

// An excluded name is neither listed nor, for a folder, entered, whatever /include says. A
// file is listed when it matches an /include (or there is none); a folder is listed and
// entered whatever /include says, so the tree above the files it selects stays whole.
class NameFilter : public EntryFilter {
  public:
    NameFilter(std::vector<Text> include, std::vector<Text> exclude,
               WildcardRules rules = SystemWildcardRules());
    bool Keeps(TextView name, bool folder) const override;

  private:
    bool AnyMatches(const std::vector<Text>& patterns, TextView name) const;

    std::vector<Text> include_, exclude_;  // folded once, as the names are
    WildcardRules rules_;
};

}  // namespace tarnwick
