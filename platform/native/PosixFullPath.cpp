// A path given to the program, read against the current folder.
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/native/PosixFileSystem.h"
#include "platform/native/Utf8.h"

namespace tarnwick::native {

// Joined, not resolved: "link/.." goes where the kernel takes it, not where a tidied
// text would.
Text PosixFileSystem::FullPath(TextView path) {
    if (path.starts_with(u'/')) return Text(path);
    std::string folder(256, '\0');
    while (!getcwd(folder.data(), folder.size())) {
        if (errno != ERANGE) return Text(path);  // the folder is gone: opening it will say so
        folder.resize(folder.size() * 2);
    }
    folder.resize(folder.find('\0'));
    if (folder.back() != '/') folder += '/';
    return ToUtf16(folder) + Text(path);
}

}  // namespace tarnwick::native
