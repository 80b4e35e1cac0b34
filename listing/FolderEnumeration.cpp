#include "listing/FolderEnumeration.h"

namespace tarnwick {
namespace {

bool HasFolderBit(std::optional<uint32_t> attributes) {
    return attributes && (*attributes & attr::Folder);
}

}  // namespace

// An entry is kept when TestPath (its attributes can be read) passes and, for folders only,
// it is a folder; each query is answered from the enumeration itself.
bool EnumerateFolder(FileSystem& files, Text& folder, const EnumerationSettings& settings,
                     CollectedNames& names, const std::function<bool(PumpPoint)>& at) {
    const size_t length = folder.size();
    bool givenUp = false;
    FileSystem::Waiting waiting;
    if (!settings.noWaiting) waiting = [&] { return givenUp = at(PumpPoint::Waiting); };
    size_t uncheckedEntries = 0;
    for (TextView name = files.FindFirst(folder, settings.mask, waiting); !name.empty();
         name = files.FindNext()) {
        if (IsDotOrDotDot(name)) {
            if (at(PumpPoint::Dot)) return false;
            continue;
        }
        if (++uncheckedEntries == kEntriesPerClockCheck) {
            uncheckedEntries = 0;
            if (at(PumpPoint::ClockCheck)) return false;
        }
        folder.resize(length);
        folder += name;
        // TestPath, then the folder test asks again, as the run's steps do; a filter takes
        // TestPath's answer.
        const std::optional<uint32_t> attributes = files.GetAttributes(folder);
        const bool kept =
            attributes && (!settings.dirsOnly || HasFolderBit(files.GetAttributes(folder))) &&
            (!settings.filter || settings.filter->Keeps(name, HasFolderBit(attributes)));
        folder.resize(length);
        if (!kept) continue;
        names.Add(name, files.EnumeratedAttributes());
        if (settings.details) names.AddDetails(files.EnumeratedDetails());
    }
    return !givenUp;
}

}  // namespace tarnwick
