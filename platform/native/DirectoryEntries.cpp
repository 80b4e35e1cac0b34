#include "platform/native/DirectoryEntries.h"

#include <dirent.h>

#include <cstdint>
#include <cstring>

namespace tarnwick::native {

std::optional<DirectoryEntry> NextDirectoryEntry(const char* batch, size_t used, size_t& at) {
    constexpr size_t kNameAt = offsetof(struct dirent64, d_name);
    const char* entry = batch + at;
    uint16_t length = 0;
    if (at < used && used - at > kNameAt)
        std::memcpy(&length, entry + offsetof(struct dirent64, d_reclen), sizeof length);
    // The kernel's records are whole, their names ended; anything else ends the batch.
    if (length <= kNameAt || length > used - at ||
        !std::memchr(entry + kNameAt, 0, length - kNameAt)) {
        at = used;
        return std::nullopt;
    }
    at += length;
    return DirectoryEntry{entry + kNameAt,
                          static_cast<unsigned char>(entry[offsetof(struct dirent64, d_type)])};
}

}  // namespace tarnwick::native
