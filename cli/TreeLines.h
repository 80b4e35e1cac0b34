#pragma once
// The lines of /format tree, drawn as GNU tree draws them: each entry's name after, for
// each level above it, "│   " where that level has entries still to come and four blanks
// where it has none, then "├── ", or "└── " for the last entry of its folder.
#include <vector>

#include "listing/FolderWalk.h"

namespace tarnwick {

class TreeLines {
  public:
    // The line of the entry the walk gives next, without its end, made in `line`. Only a
    // flag a level is kept, whatever the listing's length.
    void Make(const LinePlace& place, Text& line);

  private:
    std::vector<bool> more_;  // for each level down to the last entry's: more to come there
};

}  // namespace tarnwick
