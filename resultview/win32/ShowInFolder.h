#pragma once
// Explorer showing an entry of the listing: the folder that holds it opened, with it
// selected.
#include "platform/Text.h"

namespace tarnwick::win32 {

// The folder itself opened where the entry can't be selected (gone since, or a path the
// shell can't parse).
void ShowInFolder(TextView path);

}  // namespace tarnwick::win32
