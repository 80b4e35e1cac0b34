#pragma once
// One folder's enumeration as the walk sees it: the names it keeps, in order, and the
// points where it pumps. The walk runs it on its own file system, pumping at each point;
// a read-ahead worker runs it on a reader of its own and records the points instead.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "listing/CollectedNames.h"
#include "platform/FileSystem.h"

namespace tarnwick {

inline constexpr size_t kEntriesPerClockCheck =
    256;  // reading the clock for every entry costs too much

enum class PumpPoint : uint8_t {
    Waiting,     // the folder is slow to open
    Dot,         // "." or ".."
    ClockCheck,  // 256 more entries: a pump runs only when one is due
    End,         // no more points: the names are complete
    GivenBack,   // no more points: the walk reads the folder itself
};

// Which entries a listing keeps, by name: a kept folder is listed and entered, one left
// out is neither. Asked on the read-ahead's threads too.
class EntryFilter {
  public:
    virtual ~EntryFilter() = default;
    virtual bool Keeps(TextView name, bool folder) const = 0;
};

struct EnumerationSettings {
    int32_t mask;                                         // the enumeration mask
    bool dirsOnly;                                        // names that are not folders are left out
    bool details = false;                                 // each name's EntryDetails kept too
    std::shared_ptr<const EntryFilter> filter = nullptr;  // none: every name is kept
    bool noWaiting = false;  // no Waiting point: nothing runs while a folder opens
};

// Reads `folder` (ending in the separator) into `names`. At each pump point `at` runs;
// when it answers true the folder is given up, and the result is false.
bool EnumerateFolder(FileSystem& files, Text& folder, const EnumerationSettings& settings,
                     CollectedNames& names, const std::function<bool(PumpPoint)>& at);

}  // namespace tarnwick
