#include "platform/memory/MemoryDirList.h"

namespace tarnwick {
namespace {

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

bool IsDriveText(TextView path) {
    return path.size() == 2 && path[1] == u':';
}

}  // namespace

void MemoryDirList::SetPath(TextView path) {
    Text target(path);
    if (path.size() >= 2 && path[1] == u':') {
        const char16_t letter = Lower(path[0]);
        if (auto n = notReady.find(letter); n != notReady.end()) throw MakeError(n->second);
        if (IsDriveText(path)) {
            auto f = currentFolders.find(letter);
            if (f == currentFolders.end()) throw MakeError(error::DeviceUnavailable);
            target = f->second;
        }
    }
    if (!exists || !exists(target)) throw MakeError(error::PathNotFound);
    path_ = target;
    if (onChange) onChange();
}

}  // namespace tarnwick
