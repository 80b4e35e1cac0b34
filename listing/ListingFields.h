#pragma once
// The listing settings and the run state that the window hands to the folder walk.
#include <cstdint>

namespace tarnwick {

// A 16-bit Boolean: 0 is false, -1 is true, and any value other than 0 counts as true.
using Boolean = int16_t;
inline constexpr Boolean False = 0;
inline constexpr Boolean True = -1;

struct ListingFields {
    int32_t Levels = 0;  // depth limit, 1 to 32767 once set
    Boolean SkipChange =
        False;  // the next change notification of a depth or location control returns at once
    Boolean NoPath = False;    // bare names, indented, instead of full paths
    Boolean DirsOnly = False;  // folders only
    int32_t DirAttr = 0;       // enumeration mask: 16, or 18 with hidden entries
    Boolean StopRequested = False;
    Boolean Running = False;
};

static_assert(sizeof(ListingFields::Levels) == 4 && sizeof(ListingFields::DirAttr) == 4);
static_assert(sizeof(Boolean) == 2);

}  // namespace tarnwick
