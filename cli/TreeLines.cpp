#include "cli/TreeLines.h"

#include <algorithm>

namespace tarnwick {

void TreeLines::Make(const LinePlace& place, Text& line) {
    const auto above = static_cast<size_t>(std::max(place.level, 1) - 1);
    more_.resize(above);  // the walk gives an entry's folder before it
    line.clear();
    for (const bool more : more_) line += more ? u"│   " : u"    ";
    line += place.last ? u"└── " : u"├── ";
    line += place.name;
    more_.push_back(!place.last);
}

}  // namespace tarnwick
