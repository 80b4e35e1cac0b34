#pragma once
// A file written in full beside the one it replaces, then put in its place, trying again
// while another program holds either for a moment.
#include <windows.h>

#include <functional>

#include "platform/FileSystem.h"

namespace tarnwick::win32 {

// The calls that make the new file and put it in place: the system's, or a test's that
// refuses them as the system does while another program holds a file.
class ReplaceCalls {
  public:
    virtual ~ReplaceCalls() = default;
    virtual HANDLE CreateNew(const Text& path);  // for writing, unshared; never an existing file
    virtual bool Replace(const Text& target, const Text& replacement, const Text& backup);
    virtual bool Move(const Text& from, const Text& to, DWORD flags);
    virtual bool Delete(const Text& path);
};

// FileSystem::WriteReplacing through `calls`.
void WriteReplacingFile(TextView path, const std::function<void(FileWriter&)>& content,
                        const HeldFileWaits& waits, ReplaceCalls& calls);

}  // namespace tarnwick::win32
