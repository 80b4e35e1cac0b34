#pragma once
// Whether a folder lies on a network drive, decided from what the system tells of its path,
// in any of the forms a path takes: "\\server\share\...", "\\?\UNC\server\share\...",
// "\\?\X:\...", a drive mapped to a share, a subst drive (of a local or a network folder),
// a volume mounted in a folder.
#include <windows.h>

#include "platform/Text.h"

namespace tarnwick::win32 {

// What the system answers about paths and drives; the system itself, or a test's table.
class DriveQueries {
  public:
    virtual ~DriveQueries() = default;
    // GetVolumePathNameW: the mount point the path lies under ("C:\", "C:\mnt\disk\",
    // "\\?\C:\", "\\server\share\"); empty when the call fails.
    virtual Text VolumePath(TextView path) = 0;
    // GetDriveTypeW of a root ending in "\".
    virtual UINT DriveType(TextView root) = 0;
    // QueryDosDeviceW of "X:": what the drive letter stands for; a subst drive's is
    // "\??\" and its folder ("\??\C:\dir", "\??\UNC\server\share\dir"). Empty when none.
    virtual Text DosDevice(TextView drive) = 0;
};

DriveQueries& SystemDriveQueries();

// A share is remote without a question: its root may be one the system can't resolve (a
// server gone, a share the user may not read), and the system answers nothing for it then.
// A subst drive is followed to its folder, and the drive type asked of the volume the path
// then lies on.
bool IsOnNetwork(TextView path, DriveQueries& system = SystemDriveQueries());

}  // namespace tarnwick::win32
