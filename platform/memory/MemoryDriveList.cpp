#include "platform/memory/MemoryDriveList.h"

#include <algorithm>

namespace tarnwick {

void MemoryDriveList::SetDrive(TextView drive) {
    const char16_t c = drive.empty() ? 0 : drive[0];
    const char16_t letter = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    if (std::find(letters.begin(), letters.end(), letter) == letters.end())
        throw MakeError(error::DeviceUnavailable);
    if (letter == selected_) return;
    selected_ = letter;
    if (onChange) onChange();
}

}  // namespace tarnwick
